// One HTTP/1.0 exchange with an operator's MMS server, directly or through
// the WAP gateway as an HTTP proxy (the way today's operators run them).
#pragma once
#include <string>
#include <vector>

struct HttpExchange {
  bool answered = false;  // an HTTP answer came back (any status)
  int status = 0;
  std::string contentType;
  std::vector<unsigned char> body;
  std::string error;  // why there was no usable answer
};

// `wapGateway` empty: straight to the URL's host. Otherwise the gateway
// address as the settings hold it ("a.b.c.d", "host:port", "http://host:port");
// a bare address is tried on the WAP gateway ports 9201, 8080 and 80.
// Winsock must have been started. The answer body is limited to `maxBody`.
HttpExchange HttpSend(const char* method, const std::string& url, const std::string& wapGateway,
                      const std::string& contentType, const std::vector<unsigned char>& body, unsigned timeoutMs,
                      size_t maxBody);
