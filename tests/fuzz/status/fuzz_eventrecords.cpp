// A chunk of event-log records as a read returns it, walked as the viewer
// walks it: every view stays inside the bytes and the walk always advances.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/eventrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<unsigned char> bytes(data, data + size);  // exact size: reads past it are caught
  SmsDateTime time = {2012, 2, 4, 16, 13, 5, 9, 0};
  char line[2048];
  size_t at = 0;
  EventRecordView v;
  while (ViewEventRecord(bytes.data(), bytes.size(), at, &v)) {
    const char* begin = reinterpret_cast<const char*>(bytes.data());
    if (v.length < kEventRecordFixedSize || at + v.length > size) __builtin_trap();
    if (v.firstString[0] && (v.firstString < begin || v.firstString + v.firstStringLength > begin + size))
      __builtin_trap();
    if (v.source < begin || v.source + v.sourceLength > begin + size) __builtin_trap();
    EventSourceIs(v, "ZarqSMS");
    EventLineText(&time, v, line, sizeof line);
    if (std::strlen(line) >= sizeof line) __builtin_trap();
    at += v.length;
  }
  return 0;
}
