#include "httprequest.h"

#include <cstdlib>
#include <cstring>

#include "core/textrules.h"

namespace http {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

Parse ParseRequest(const std::string& received, Request* request) {
  *request = Request();
  size_t end = received.find("\r\n\r\n");
  size_t endLength = 4;
  size_t lf = received.find("\n\n");
  if (lf != std::string::npos && (end == std::string::npos || lf < end)) {
    end = lf;
    endLength = 2;
  }
  if (end == std::string::npos) return received.size() > kMaxRequest ? Parse::Bad : Parse::Incomplete;
  std::string head = received.substr(0, end);
  size_t lineEnd = head.find('\n');
  std::string line = head.substr(0, lineEnd);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  size_t sp1 = line.find(' ');
  size_t sp2 = sp1 == std::string::npos ? std::string::npos : line.find(' ', sp1 + 1);
  if (sp1 == 0 || sp2 == std::string::npos || line.compare(sp2 + 1, 7, "HTTP/1.") != 0) return Parse::Bad;
  request->method = line.substr(0, sp1);
  std::string target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  if (target.empty() || target[0] != '/') return Parse::Bad;
  size_t q = target.find('?');
  request->path = target.substr(0, q);
  if (q != std::string::npos) request->query = target.substr(q + 1);
  size_t contentLength = 0;
  size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 1;
  while (pos < head.size()) {
    size_t e = head.find('\n', pos);
    if (e == std::string::npos) e = head.size();
    std::string h = head.substr(pos, e - pos);
    pos = e + 1;
    if (!h.empty() && h.back() == '\r') h.pop_back();
    size_t colon = h.find(':');
    if (colon == std::string::npos) continue;
    std::string name = h.substr(0, colon), value = Trim(h.substr(colon + 1));
    if (CompareNoCase(name.c_str(), "Content-Length") == 0) {
      if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos)
        return Parse::Bad;
      contentLength = strtoul(value.c_str(), nullptr, 10);
      if (contentLength > kMaxRequest) return Parse::Bad;
    } else if (CompareNoCase(name.c_str(), "Authorization") == 0) {
      request->authorization = value;
    } else if (CompareNoCase(name.c_str(), "Content-Type") == 0) {
      request->contentType = value;
    }
  }
  size_t bodyStart = end + endLength;
  if (received.size() - bodyStart < contentLength)
    return received.size() > kMaxRequest ? Parse::Bad : Parse::Incomplete;
  request->body = received.substr(bodyStart, contentLength);
  return Parse::Complete;
}

std::string UrlDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out.push_back(char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> ParseForm(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t i = 0;
  while (i <= text.size()) {
    size_t amp = text.find('&', i);
    if (amp == std::string::npos) amp = text.size();
    std::string pair = text.substr(i, amp - i);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      if (eq == std::string::npos)
        out.push_back({UrlDecode(pair), ""});
      else
        out.push_back({UrlDecode(pair.substr(0, eq)), UrlDecode(pair.substr(eq + 1))});
    }
    i = amp + 1;
  }
  return out;
}

std::string FormValue(const std::vector<std::pair<std::string, std::string>>& form, const char* name) {
  for (const auto& p : form)
    if (p.first == name) return p.second;
  return "";
}

bool ParseBasicLogin(const std::string& authorization, std::string* user, std::string* password) {
  if (authorization.size() < 6 || CompareNoCase(authorization.substr(0, 6).c_str(), "Basic ") != 0) return false;
  std::string encoded = Trim(authorization.substr(6)), decoded;
  unsigned bits = 0;
  int count = 0;
  for (char c : encoded) {
    if (c == '=') break;
    int v = Base64Value(c);
    if (v < 0) return false;
    bits = (bits << 6) | unsigned(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      decoded.push_back(char((bits >> count) & 0xFF));
    }
  }
  size_t colon = decoded.find(':');
  if (colon == std::string::npos) return false;
  *user = decoded.substr(0, colon);
  *password = decoded.substr(colon + 1);
  return true;
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace http
