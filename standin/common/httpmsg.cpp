#include "httpmsg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/textrules.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

bool ParseHttpUrl(const std::string& url, HttpUrl* out) {
  std::string s = url;
  for (unsigned char c : s)
    if (c <= 32 || c == 127) return false;
  size_t scheme = s.find("://");
  if (scheme != std::string::npos) {
    if (Lower(s.substr(0, scheme)) != "http") return false;
    s.erase(0, scheme + 3);
  }
  HttpUrl u;
  size_t slash = s.find('/');
  if (slash != std::string::npos) {
    u.path = s.substr(slash);
    s.erase(slash);
  }
  size_t colon = s.rfind(':');
  if (colon != std::string::npos) {
    std::string digits = s.substr(colon + 1);
    s.erase(colon);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    u.port = unsigned(atoi(digits.c_str()));
    if (u.port == 0 || u.port > 65535) return false;
  }
  if (s.empty() || s.find_first_of("@?#[]") != std::string::npos) return false;
  u.host = s;
  *out = u;
  return true;
}

std::string HttpRequestHead(const char* method, const HttpUrl& url, bool viaProxy, const std::string& contentType,
                            size_t bodyLength) {
  std::string hostPort = url.host;
  if (url.port != 80) hostPort += ":" + std::to_string(url.port);
  std::string head = std::string(method) + " " + (viaProxy ? "http://" + hostPort + url.path : url.path) +
                     " HTTP/1.0\r\nHost: " + hostPort + "\r\n";
  head += "User-Agent: ZarqMMSC\r\nAccept: application/vnd.wap.mms-message, */*\r\n";
  if (!contentType.empty()) head += "Content-Type: " + contentType + "\r\n";
  if (bodyLength || std::strcmp(method, "POST") == 0) head += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
  head += "Connection: close\r\n\r\n";
  return head;
}

HeadState ParseHttpAnswerHead(const char* data, size_t size, HttpAnswerHead* out) {
  const char* end = nullptr;
  for (size_t i = 0; i + 1 < size; ++i) {
    if (data[i] == '\n' && data[i + 1] == '\n') {
      end = data + i + 2;
      break;
    }
    if (i + 3 < size && memcmp(data + i, "\r\n\r\n", 4) == 0) {
      end = data + i + 4;
      break;
    }
  }
  if (!end) return size > 16384 ? HeadState::Malformed : HeadState::Incomplete;
  HttpAnswerHead h;
  h.headLength = size_t(end - data);
  std::string head(data, h.headLength);
  unsigned major = 0, minor = 0;
  int status = 0;
  if (sscanf(head.c_str(), "HTTP/%u.%u %d", &major, &minor, &status) != 3 || status < 100 || status > 999)
    return HeadState::Malformed;
  h.status = status;
  size_t pos = head.find('\n');
  while (pos != std::string::npos && pos + 1 < head.size()) {
    size_t next = head.find('\n', pos + 1);
    std::string line = head.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string name = Lower(Trim(line.substr(0, colon)));
      std::string value = Trim(line.substr(colon + 1));
      if (name == "content-type") {
        h.contentType = Lower(Trim(value.substr(0, value.find(';'))));
      } else if (name == "content-length") {
        if (value.empty() || value.size() > 12 || value.find_first_not_of("0123456789") != std::string::npos)
          return HeadState::Malformed;
        h.hasLength = true;
        h.contentLength = size_t(strtoull(value.c_str(), nullptr, 10));
      } else if (name == "transfer-encoding" && Lower(value) != "identity") {
        h.chunked = true;
      }
    }
    pos = next;
  }
  *out = h;
  return HeadState::Complete;
}
