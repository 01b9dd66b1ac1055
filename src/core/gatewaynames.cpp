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

bool IsHostName(const char* text, size_t length) {
  if (length == 0 || length > 253) return false;
  size_t label = 0;
  bool named = false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c == '.') {
      if (label == 0 || text[i - 1] == '-') return false;
      label = 0;
      continue;
    }
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !(c >= '0' && c <= '9') && c != '-') return false;
    if (c == '-' && label == 0) return false;
    if (++label > 63) return false;
    named = named || letter || c == '-';
  }
  return label > 0 && text[length - 1] != '-' && named;
}

bool IsHttpGatewayTarget(const char* text) {
  if (!text) return false;
  if (text[0] == '/' && text[1] == '/') text += 2;
  size_t hostLength = strcspn(text, ":/");
  if (hostLength == 0 || hostLength > 253) return false;
  char host[256];
  memcpy(host, text, hostLength);
  host[hostLength] = '\0';
  if (!IsHostName(host, hostLength) && !NormaliseIpAddress(host, sizeof host)) return false;
  const char* rest = text + hostLength;
  if (*rest == ':') {
    unsigned port = 0;
    size_t digits = 0;
    for (++rest; *rest >= '0' && *rest <= '9'; ++rest, ++digits) {
      port = port * 10 + unsigned(*rest - '0');
      if (port > 65535) return false;
    }
    if (digits == 0 || port == 0) return false;
  }
  if (*rest == '\0') return true;
  if (*rest != '/') return false;
  for (; *rest; ++rest)
    if (static_cast<unsigned char>(*rest) <= 32) return false;  // a path has no blanks or controls
  return true;
}

bool PrepareWapGatewayAddress(char* address, size_t size) {
  if (!address || size == 0) return false;
  TrimRight(address);
  const char* start = SkipBlanks(static_cast<const char*>(address));
  if (start != address) memmove(address, start, strlen(start) + 1);
  if (StartsWithNoCase(address, "http://")) memmove(address + 5, address + 7, strlen(address + 7) + 1);
  if (!StartsWithNoCase(address, "http:")) return NormaliseIpAddress(address, size);
  return IsHttpGatewayTarget(address + 5);
}
