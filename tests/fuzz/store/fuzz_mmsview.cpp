// What the MMS view makes of a received header file (from the network through
// the gateway): the text it shows, its part entries, and the rule that keeps
// the parts it opens inside the store.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/mmsparts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMmsHeaderReadSize) size = kMmsHeaderReadSize;
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  std::unique_ptr<char[]> shown(new char[2 * size + 2]);
  WithCrLfLineBreaks(text.get(), shown.get(), 2 * size + 2);
  for (const char* p = shown.get(); *p; ++p)  // every break whole
    if ((*p == '\r' && p[1] != '\n') || (*p == '\n' && (p == shown.get() || p[-1] != '\r'))) __builtin_trap();

  const char* cursor = text.get();
  MmsPartLocation part;
  while (NextMmsPartLocation(&cursor, &part)) {
    char entry[1000];
    MmsPartEntryText(part, entry, sizeof entry);
    const char* stored = MmsPartEntryPath(entry);
    if (!stored) __builtin_trap();
    MmsPartOpensInNotepad(entry, stored);
    if (!IsContainedPartPath(stored)) continue;
    // A contained path climbs nowhere and names no drive or stream.
    if (strchr(stored, ':') || stored[0] == '\\' || stored[0] == '/') __builtin_trap();
    for (const char* c = stored;;) {
      size_t n = strcspn(c, "\\/");
      if (n == 2 && c[0] == '.' && c[1] == '.') __builtin_trap();
      if (!c[n]) break;
      c += n + 1;
    }
  }
  return 0;
}
