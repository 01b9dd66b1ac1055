// Anything that connects to the web port is read by the request parser.
#include <cstdint>
#include <string>

#include "httprequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  http::Request r;
  if (http::ParseRequest(text, &r) == http::Parse::Complete) {
    if (r.body.size() > http::kMaxRequest || r.path.empty() || r.path[0] != '/') __builtin_trap();
    auto form = http::ParseForm(r.query + "&" + r.body);
    http::FormValue(form, "PhoneNumber");
    std::string user, password;
    http::ParseBasicLogin(r.authorization, &user, &password);
  }
  std::string escaped = http::HtmlEscape(text);
  if (escaped.find('<') != std::string::npos || escaped.find('"') != std::string::npos) __builtin_trap();
  http::UrlDecode(text);
  return 0;
}
