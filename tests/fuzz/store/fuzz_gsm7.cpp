// GSM 7-bit user data and its header from received messages: the header, a
// line feed, then the data.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "gsm7.h"

namespace {
// Well-formed UTF-8 of at most three bytes a character.
bool IsUtf8(const unsigned char* p) {
  while (*p) {
    size_t n = *p < 0x80 ? 1 : (*p & 0xE0) == 0xC0 ? 2 : (*p & 0xF0) == 0xE0 ? 3 : 0;
    if (!n) return false;
    for (size_t i = 1; i < n; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;
    p += n;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t cut = all.find('\n');
  std::string udh = cut == std::string::npos ? "" : all.substr(0, cut);
  std::string hex = cut == std::string::npos ? all : all.substr(cut + 1);
  if (hex.size() >= kGsm7OutputCapacity) hex.resize(kGsm7OutputCapacity - 1);
  // The Data buffer, exactly as large as the library may assume, in place.
  std::unique_ptr<char[]> buf(new char[kGsm7OutputCapacity]);
  memset(buf.get(), 0, kGsm7OutputCapacity);
  memcpy(buf.get(), hex.data(), hex.size());
  Gsm7HexToUtf8(udh.c_str(), buf.get(), buf.get());
  if (strnlen(buf.get(), kGsm7OutputCapacity) >= kGsm7OutputCapacity) __builtin_trap();
  if (!IsUtf8(reinterpret_cast<const unsigned char*>(buf.get()))) __builtin_trap();
  std::unique_ptr<char[]> out(new char[kGsm7OutputCapacity]);
  Gsm7HexToUtf8(udh.c_str(), hex.c_str(), out.get());
  if (strcmp(out.get(), buf.get()) != 0) __builtin_trap();
  return 0;
}
