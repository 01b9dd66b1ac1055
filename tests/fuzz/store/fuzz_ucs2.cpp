// UCS-2 user data of received messages, converted in place.
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/msgtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> text(new char[size + 1]);
  memcpy(text.get(), data, size);
  text[size] = '\0';
  size_t before = strlen(text.get());
  Ucs2HexToUtf8(text.get());
  if (strlen(text.get()) > before) __builtin_trap();
  std::unique_ptr<char[]> copy(new char[size + 1]);
  memcpy(copy.get(), data, size);
  copy[size] = '\0';
  std::unique_ptr<char[]> out(new char[before + 1]);
  Ucs2HexToUtf8(copy.get(), out.get());
  if (strcmp(out.get(), text.get()) != 0) __builtin_trap();  // in place and apart agree
  return 0;
}
