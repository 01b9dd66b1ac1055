#include "core/listorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

int NextSortKey(int key, unsigned column) {
  int n = int(column) + 1;
  return key == n ? -n : n;
}

namespace {

// A record with the field it is sorted by, found once before the sort so
// that the comparisons cost what comparing the bare texts costs.
struct SortEntry {
  const char* field;
  ListRecord* record;
};

}  // namespace

void SortListRecords(ListRecord** records, unsigned count, int key, TextCompare compare) {
  if (!records || count < 2 || key == 0) return;
  const unsigned field = unsigned(key < 0 ? -key : key);
  const bool descending = key < 0;
  std::unique_ptr<SortEntry[]> entries(new (std::nothrow) SortEntry[count]);
  if (!entries) {
    // Without room for the entries, look the field up at each comparison.
    std::sort(records, records + count, [&](const ListRecord* a, const ListRecord* b) {
      const char* fa = ListRecordField(a, field);
      const char* fb = ListRecordField(b, field);
      return descending ? compare(fb, fa) < 0 : compare(fa, fb) < 0;
    });
    return;
  }
  for (unsigned i = 0; i < count; ++i) entries[i] = {ListRecordField(records[i], field), records[i]};
  if (descending)
    std::sort(entries.get(), entries.get() + count,
              [compare](const SortEntry& a, const SortEntry& b) { return compare(b.field, a.field) < 0; });
  else
    std::sort(entries.get(), entries.get() + count,
              [compare](const SortEntry& a, const SortEntry& b) { return compare(a.field, b.field) < 0; });
  for (unsigned i = 0; i < count; ++i) records[i] = entries[i].record;
}

int FindListRecordByPath(ListRecord* const* records, unsigned count, const char* path, TextCompare compare) {
  if (!records || !path || !*path) return -1;
  for (unsigned i = 0; i < count; ++i)
    if (records[i] && compare(ListRecordField(records[i], 0), path) == 0) return int(i);
  return -1;
}

void ListCellText(const ListRecord* record, unsigned field, bool utf8, char* out) {
  const char* text = record ? ListRecordField(record, field) : "";
  size_t n = std::strlen(text);
  if (n > kListCellMax) n = utf8 ? WholeUtf8Length(text, kListCellMax) : kListCellMax;
  std::memcpy(out, text, n);
  out[n] = '\0';
}

void ListHeaderText(const char* prefix, const char* zeroWord, unsigned total, char* out, size_t size) {
  if (!size) return;
  if (total == 0)
    std::snprintf(out, size, "%s%s", prefix, zeroWord);
  else
    std::snprintf(out, size, "%s%u message%s", prefix, total, total > 1 ? "s" : "");
}

void Utf8CellToUtf16(const char* text, uint16_t* out, size_t outSize) {
  if (!outSize) return;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  size_t n = 0;
  auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  while (*p) {
    uint32_t code = 0xFFFD;
    size_t length = 1;
    unsigned char c = p[0];
    if (c < 0x80) {
      code = c;
    } else if (c >= 0xC2 && c <= 0xDF && continuation(p[1])) {
      code = (uint32_t(c & 0x1F) << 6) | (p[1] & 0x3F);
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF && continuation(p[1]) && continuation(p[2])) {
      uint32_t v = (uint32_t(c & 0x0F) << 12) | (uint32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
      if (v >= 0x800) {  // surrogates included
        code = v;
        length = 3;
      }
    } else if (c >= 0xF0 && c <= 0xF4 && continuation(p[1]) && continuation(p[2]) && continuation(p[3])) {
      uint32_t v = (uint32_t(c & 0x07) << 18) | (uint32_t(p[1] & 0x3F) << 12) | (uint32_t(p[2] & 0x3F) << 6) |
                   (p[3] & 0x3F);
      if (v >= 0x10000 && v <= 0x10FFFF) {
        code = v;
        length = 4;
      }
    }
    size_t units = code >= 0x10000 ? 2 : 1;
    if (n + units >= outSize) break;
    if (units == 2) {
      out[n++] = uint16_t(0xD800 + ((code - 0x10000) >> 10));
      out[n++] = uint16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out[n++] = uint16_t(code);
    }
    p += length;
  }
  out[n] = 0;
}
