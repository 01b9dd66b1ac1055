// "Data=" values of message files, unescaped in place.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/smsfile.h"
#include "core/textrules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  size_t before = strlen(text.get());
  size_t pairs = 0;
  for (const char* p = text.get(); *p; ++p)
    if (p[0] == '\\' && p[1] == 'r') ++pairs, ++p;
  UnescapeLineBreaks(text.get());
  size_t after = strlen(text.get());
  if (after > before || before - after < pairs) __builtin_trap();
  if (strstr(text.get(), "\\r") || strstr(text.get(), "\\n")) __builtin_trap();
  return 0;
}
