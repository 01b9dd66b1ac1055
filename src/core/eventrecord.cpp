#include "core/eventrecord.h"

#include <cstdio>
#include <cstring>

#include "core/textrules.h"

namespace {

uint32_t Read32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Read16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// Length of the text at `from` up to its NUL or `end`.
size_t TextLength(const unsigned char* from, const unsigned char* end) {
  const void* nul = std::memchr(from, 0, size_t(end - from));
  return nul ? size_t(static_cast<const unsigned char*>(nul) - from) : size_t(end - from);
}

}  // namespace

bool ViewEventRecord(const unsigned char* bytes, size_t size, size_t offset, EventRecordView* record) {
  if (!bytes || offset > size || size - offset < kEventRecordFixedSize) return false;
  const unsigned char* r = bytes + offset;
  uint32_t length = Read32(r + kEventLengthOffset);
  if (length < kEventRecordFixedSize || length > size - offset) return false;
  const unsigned char* end = r + length;
  record->length = length;
  record->recordNumber = Read32(r + kEventRecordNumberOffset);
  record->timeGenerated = Read32(r + kEventTimeGeneratedOffset);
  record->eventType = Read16(r + kEventTypeOffset);
  record->source = reinterpret_cast<const char*>(r + kEventSourceNameOffset);
  record->sourceLength = TextLength(r + kEventSourceNameOffset, end);
  uint16_t strings = Read16(r + kEventNumStringsOffset);
  uint32_t at = Read32(r + kEventStringOffsetOffset);
  if (strings > 0 && at >= kEventRecordFixedSize && at < length) {
    record->firstString = reinterpret_cast<const char*>(r + at);
    record->firstStringLength = TextLength(r + at, end);
  } else {
    record->firstString = "";
    record->firstStringLength = 0;
  }
  return true;
}

bool EventSourceIs(const EventRecordView& record, const char* name) {
  char source[256];
  if (record.sourceLength >= sizeof source) return false;
  std::memcpy(source, record.source, record.sourceLength);
  source[record.sourceLength] = '\0';
  return CompareNoCase(source, name) == 0;
}

const char* EventTypeWord(uint16_t eventType) {
  switch (eventType) {
    case kEventErrorType:
      return "Error: ";
    case kEventWarningType:
      return "Warning: ";
    default:
      return "Info: ";
  }
}

void EventLineText(const SmsDateTime* localTime, const EventRecordView& record, char* out, size_t outSize) {
  if (!outSize) return;
  out[0] = '\0';
  if (localTime) {
    char time[64];
    std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d:%02d - ", localTime->year, localTime->month,
                  localTime->day, localTime->hour, localTime->minute, localTime->second);
    BoundedAppend(out, outSize, time);
  }
  BoundedAppend(out, outSize, EventTypeWord(record.eventType));
  size_t used = std::strlen(out);
  size_t room = outSize - 1 - used;
  size_t n = record.firstStringLength < room ? record.firstStringLength : room;
  std::memcpy(out + used, record.firstString, n);
  out[used + n] = '\0';
}
