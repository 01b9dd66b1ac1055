// "pid=" and "dcs=" values of message files.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/msgtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  unsigned want = 0;
  for (const char* p = text.get(); isxdigit(static_cast<unsigned char>(*p)); ++p)
    want = (want * 16 + unsigned(isdigit(static_cast<unsigned char>(*p)) ? *p - '0' : (*p | 0x20) - 'a' + 10)) & 0xFF;
  if (ParseHexByte(text.get()) != want) __builtin_trap();
  return 0;
}
