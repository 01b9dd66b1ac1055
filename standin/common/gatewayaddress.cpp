#include "gatewayaddress.h"

#include "core/textrules.h"

bool ParseGatewayAddress(const std::string& text, std::string* host, unsigned* port) {
  host->clear();
  *port = 0;
  std::string s = text;
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.pop_back();
  size_t start = 0;
  while (start < s.size() && s[start] == ' ') ++start;
  s.erase(0, start);
  if (StartsWithNoCase(s.c_str(), "http:")) {
    s.erase(0, 5);
    while (!s.empty() && s[0] == '/') s.erase(0, 1);
  }
  size_t slash = s.find('/');
  if (slash != std::string::npos) s.erase(slash);
  size_t colon = s.find(':');
  if (colon != std::string::npos) {
    std::string digits = s.substr(colon + 1);
    s.erase(colon);
    if (digits.empty() || digits.size() > 5) return false;
    unsigned value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + unsigned(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    *port = value;
  }
  if (s.empty()) return false;
  for (char c : s)
    if (static_cast<unsigned char>(c) <= 32 || c == '@' || c == '?' || c == '#') return false;
  *host = s;
  return true;
}
