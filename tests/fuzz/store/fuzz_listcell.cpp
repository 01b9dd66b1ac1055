// List cells of received text (UTF-8 made from what came over the air) and
// of everything read from message files: cut to 499 bytes and turned into
// UTF-16 within the list's buffer.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/listorder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  ListRecordBuilder b;
  BeginListRecord(&b);
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i)  // fields split at NUL bytes
    if (i == text.size() || text[i] == '\0') {
      AddListField(&b, text.substr(start, i - start).c_str(), true);
      start = i + 1;
    }
  ListRecord* record = FinishListRecord(&b);
  if (!record) return 0;
  for (unsigned field = 0; field < kListRecordMaxFields; ++field) {
    for (bool utf8 : {false, true}) {
      char cell[kListCellBuffer];
      memset(cell, 'z', sizeof cell);
      ListCellText(record, field, utf8, cell);
      if (!memchr(cell, '\0', sizeof cell)) __builtin_trap();
      uint16_t wide[kListCellBuffer + 1];
      wide[kListCellBuffer] = 0xBEEF;
      Utf8CellToUtf16(cell, wide, kListCellBuffer);
      size_t n = 0;
      while (n < kListCellBuffer && wide[n]) ++n;
      if (n >= kListCellBuffer || wide[kListCellBuffer] != 0xBEEF || n > strlen(cell)) __builtin_trap();
    }
  }
  FreeListRecord(record);
  return 0;
}
