// The HTTP the MMSC speaks to an operator's MMS server, directly or through
// the WAP gateway as an HTTP proxy: URLs, request heads and answer heads.
// Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>

struct HttpUrl {
  std::string host;
  unsigned port = 80;
  std::string path = "/";  // with its query
};

// "http://host[:port][/path]" (the scheme may be left out). False for other
// schemes, a missing or malformed host or port, and control characters or
// blanks anywhere (they would split the request line).
bool ParseHttpUrl(const std::string& url, HttpUrl* out);

// The request head, HTTP/1.0 with "Connection: close": the path alone for a
// direct request, the absolute URL when it goes through a proxy.
std::string HttpRequestHead(const char* method, const HttpUrl& url, bool viaProxy, const std::string& contentType,
                            size_t bodyLength);

struct HttpAnswerHead {
  int status = 0;
  std::string contentType;  // lower case, parameters cut off
  bool hasLength = false;
  size_t contentLength = 0;
  bool chunked = false;
  size_t headLength = 0;  // bytes up to and with the blank line
};

enum class HeadState { Incomplete, Complete, Malformed };
// Reads the answer head from the first `size` bytes received so far.
HeadState ParseHttpAnswerHead(const char* data, size_t size, HttpAnswerHead* out);
