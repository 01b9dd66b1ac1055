#include "core/listrecord.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char kStatusQueued[] = "Queued";
const char kStatusReceived[] = "Received";

size_t WholeUtf8Length(const char* text, size_t n) {
  size_t lead = n;
  while (lead > 0 && n - lead < 4 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return n;
  unsigned char c = static_cast<unsigned char>(text[lead - 1]);
  size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return (n - (lead - 1) < need) ? lead - 1 : n;
}

void BeginListRecord(ListRecordBuilder* b) {
  std::memset(b->buffer, 0, sizeof b->buffer);
  b->used = 0;
}

void AddListField(ListRecordBuilder* b, const char* text, bool utf8) {
  // Room for this field's terminator and the record's final NUL.
  if (b->used + 2 > sizeof b->buffer) return;
  size_t room = sizeof b->buffer - b->used - 2;
  size_t n = text ? std::strlen(text) : 0;
  if (n > room) n = utf8 ? WholeUtf8Length(text, room) : room;
  if (n) std::memcpy(b->buffer + b->used, text, n);
  b->buffer[b->used + n] = '\0';
  b->used += n + 1;
}

ListRecord* FinishListRecord(ListRecordBuilder* b) {
  size_t length = b->used + 1;  // the final NUL
  if (length > sizeof b->buffer) length = sizeof b->buffer;
  b->buffer[length - 1] = '\0';
  auto* record = static_cast<ListRecord*>(std::calloc(1, length + 16));
  if (record) std::memcpy(record, b->buffer, length);
  return record;
}

void FreeListRecord(ListRecord* record) { std::free(record); }

const char* ListRecordField(const ListRecord* record, unsigned index) {
  // Fields may be empty, so the walk cannot stop at an empty text; past the
  // last field it moves one byte per field through the final NUL and the 16
  // zero bytes behind it, which bounds the index.
  if (!record || index >= kListRecordMaxFields) return "";
  const char* p = record;
  for (unsigned i = 0; i < index; ++i) p += std::strlen(p) + 1;
  return p;
}

ListRecord** NewScanArray() { return static_cast<ListRecord**>(std::calloc(kScanArraySize, sizeof(ListRecord*))); }

void FreeScanArray(ListRecord** records, unsigned count) {
  if (!records) return;
  for (unsigned i = 0; i < count && i < kScanArraySize; ++i) FreeListRecord(records[i]);
  std::free(records);
}

void QueueStatusText(long retryCount, const char* lastError, char* out, size_t outSize) {
  if (!outSize) return;
  if (retryCount == 0) {
    std::snprintf(out, outSize, "%s", kStatusQueued);
  } else if (lastError && *lastError) {
    std::snprintf(out, outSize, "Retry - %2u attempt(s) - %s", unsigned(retryCount), lastError);
  } else {
    std::snprintf(out, outSize, "Retry - %2u attempt(s)", unsigned(retryCount));
  }
}
