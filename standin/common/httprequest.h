// The gateway's web interface reads plain HTTP/1.x requests: the request
// line, the headers it needs, a form (query or url-encoded body) and Basic
// login. Pure code: no <windows.h>; every reader takes any bytes.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace http {

// A request is at most this long, headers and body together.
constexpr size_t kMaxRequest = 16384;

enum class Parse { Incomplete, Complete, Bad };

struct Request {
  std::string method;        // "GET", "POST", ... as sent
  std::string path;          // without the query, not decoded
  std::string query;         // after "?", not decoded
  std::string authorization; // the Authorization header's value
  std::string contentType;
  std::string body;
};

// Reads what has arrived so far. Incomplete until the headers' blank line and
// the Content-Length body are there; Bad for anything not HTTP/1.x, a body
// announced longer than kMaxRequest, or more bytes than that.
Parse ParseRequest(const std::string& received, Request* request);

// Name and value pairs of "a=1&b=x+y%21" (plus as blank, %XX decoded).
std::vector<std::pair<std::string, std::string>> ParseForm(const std::string& text);
// The first value of `name` (exact), or "".
std::string FormValue(const std::vector<std::pair<std::string, std::string>>& form, const char* name);
std::string UrlDecode(const std::string& text);

// User name and password of "Basic <base64>"; false for anything else.
bool ParseBasicLogin(const std::string& authorization, std::string* user, std::string* password);

// Text made safe inside HTML.
std::string HtmlEscape(const std::string& text);

}  // namespace http
