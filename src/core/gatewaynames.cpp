#include "core/gatewaynames.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/textrules.h"

bool ConnectionSectionName(const char* name, char* out, size_t outSize) {
  if (!out || outSize == 0) return false;
  if (!name) name = "";
  static const char* const kOtherKinds[] = {"SMPP - ", "HTTP - ", "UCP - ", "CIMD - "};
  bool otherKind = false;
  for (const char* kind : kOtherKinds) otherKind = otherKind || StartsWithNoCase(name, kind);

  // Built aside first: `out` may be `name`.
  std::string section = otherKind ? "" : "Modem - ";
  bool fits = section.size() < outSize;
  if (!fits) section.clear();
  for (const char* p = name; *p && fits; ++p) {
    const char* piece = *p == '[' ? "\\x5B" : *p == ']' ? "\\x5D" : nullptr;
    size_t length = piece ? 4 : 1;
    if (section.size() + length >= outSize) {
      fits = false;
      break;
    }
    if (piece)
      section += piece;
    else
      section += *p;
  }
  memcpy(out, section.c_str(), section.size() + 1);
  return fits;
}

bool NormaliseIpAddress(char* text, size_t size) {
  if (!text || size == 0) return false;
  TrimRight(text);
  const char* p = SkipBlanks(static_cast<const char*>(text));
  unsigned parts[4] = {0, 0, 0, 0};
  int part = 0;
  for (; *p; ++p) {
    if (*p == '.') {
      if (++part > 3) return false;
    } else if (*p >= '0' && *p <= '9') {
      parts[part] = parts[part] * 10 + unsigned(*p - '0');
      if (parts[part] > 255) return false;  // also keeps long digit runs from overflowing
    } else {
      return false;
    }
  }
  char normal[16];
  int length = snprintf(normal, sizeof normal, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
  if (length < 0 || size_t(length) >= size) return false;
  memcpy(text, normal, size_t(length) + 1);
  return true;
}

bool PrepareWapGatewayAddress(char* address, size_t size) {
  if (!address || size == 0) return false;
  TrimRight(address);
  const char* start = SkipBlanks(static_cast<const char*>(address));
  if (start != address) memmove(address, start, strlen(start) + 1);
  if (StartsWithNoCase(address, "http://")) memmove(address + 5, address + 7, strlen(address + 7) + 1);
  if (!StartsWithNoCase(address, "http:")) return NormaliseIpAddress(address, size);
  // Only the host is checked; the text itself goes on as typed.
  std::string host(address + 5, strcspn(address + 5, ":/"));
  host.resize(host.size() + 16, '\0');  // room for the normal form
  return host[0] && NormaliseIpAddress(&host[0], host.size());
}
