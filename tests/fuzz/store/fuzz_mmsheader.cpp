// Received MMS header files come from the network through the gateway.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/smsfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMmsHeaderReadSize) size = kMmsHeaderReadSize;
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  MmsHeaderInfo h;
  ParseMmsHeader(text.get(), &h);
  if (strnlen(h.From, sizeof h.From) >= sizeof h.From || strnlen(h.To, sizeof h.To) >= sizeof h.To ||
      strnlen(h.Subject, sizeof h.Subject) >= sizeof h.Subject)
    __builtin_trap();
  const char* cursor = text.get();
  MmsPartLocation part;
  size_t parts = 0;
  while (NextMmsPartLocation(&cursor, &part)) {
    if (cursor < text.get() || cursor > text.get() + size || ++parts > size) __builtin_trap();
    if (strnlen(part.Path, sizeof part.Path) >= sizeof part.Path ||
        strnlen(part.ContentType, sizeof part.ContentType) >= sizeof part.ContentType)
      __builtin_trap();
  }
  return 0;
}
