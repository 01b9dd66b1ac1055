// Modem names and typed WAP gateway addresses.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/gatewaynames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // as a C string arrives
  char section[kSectionNameSize];
  ConnectionSectionName(text.c_str(), section);
  if (strlen(section) >= sizeof section) __builtin_trap();
  // In place, in a buffer just big enough for the name.
  std::string inPlace = text;
  inPlace.resize(text.size() + 1 > 16 ? text.size() + 1 : 16);
  ConnectionSectionName(&inPlace[0], &inPlace[0], inPlace.size());
  if (strlen(inPlace.c_str()) >= inPlace.size()) __builtin_trap();

  std::string address = text;
  address.resize(text.size() + 1);
  if (NormaliseIpAddress(&address[0], address.size())) {
    unsigned a, b, c, d;
    char tail;
    if (sscanf(address.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 || d > 255)
      __builtin_trap();
  }
  return 0;
}
