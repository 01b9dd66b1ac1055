// Modem names and typed WAP gateway addresses.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

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

  // The Modem page's WAP gateway rule: never grows the text, and an accepted
  // address is either a normal dotted address or begins with "http:".
  std::string wap = text;
  wap.resize(text.size() + 1);
  if (PrepareWapGatewayAddress(&wap[0], wap.size())) {
    if (strlen(wap.c_str()) >= wap.size()) __builtin_trap();
    if (strncasecmp(wap.c_str(), "http:", 5) != 0) {
      unsigned a, b, c, d;
      char tail;
      if (sscanf(wap.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) __builtin_trap();
    }
  }
  return 0;
}
