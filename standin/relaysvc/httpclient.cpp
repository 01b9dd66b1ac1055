#include "httpclient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>

#include "gatewayaddress.h"
#include "httpmsg.h"
#include "sendall.h"

namespace {

// Connects to host on the first port that answers within the time limit.
SOCKET Connect(const std::string& host, const std::vector<unsigned>& ports, unsigned timeoutMs, std::string* error) {
  for (unsigned port : ports) {
    addrinfo hints = {}, *found = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    char service[8];
    snprintf(service, sizeof service, "%u", port);
    if (getaddrinfo(host.c_str(), service, &hints, &found) != 0 || !found) {
      *error = "cannot resolve " + host;
      return INVALID_SOCKET;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
      freeaddrinfo(found);
      *error = "no socket";
      return s;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    connect(s, found->ai_addr, int(found->ai_addrlen));
    freeaddrinfo(found);
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait = {long(timeoutMs / 1000), long(timeoutMs % 1000) * 1000};
    if (select(0, nullptr, &writable, &failed, &wait) == 1 && FD_ISSET(s, &writable)) {
      u_long blocking = 0;
      ioctlsocket(s, FIONBIO, &blocking);
      DWORD limit = timeoutMs;
      setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
      setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
      return s;
    }
    closesocket(s);
    char text[160];
    snprintf(text, sizeof text, "cannot connect to %s:%u", host.c_str(), port);
    *error = text;
  }
  return INVALID_SOCKET;
}

}  // namespace

HttpExchange HttpSend(const char* method, const std::string& url, const std::string& wapGateway,
                      const std::string& contentType, const std::vector<unsigned char>& body, unsigned timeoutMs,
                      size_t maxBody) {
  HttpExchange x;
  HttpUrl target;
  if (!ParseHttpUrl(url, &target)) {
    x.error = "invalid MMS server URL \"" + url + "\"";
    return x;
  }
  std::string host = target.host;
  std::vector<unsigned> ports = {target.port};
  bool viaProxy = !wapGateway.empty();
  if (viaProxy) {
    unsigned port = 0;
    if (!ParseGatewayAddress(wapGateway, &host, &port)) {
      x.error = "invalid WAP gateway address \"" + wapGateway + "\"";
      return x;
    }
    ports = port ? std::vector<unsigned>{port} : std::vector<unsigned>{9201, 8080, 80};
  }
  // Each port of a silent host costs its own wait: keep connecting short.
  SOCKET s = Connect(host, ports, timeoutMs < 10000 ? timeoutMs : 10000, &x.error);
  if (s == INVALID_SOCKET) {
    if (viaProxy) x.error = "WAP gateway: " + x.error;
    return x;
  }
  DWORD limit = timeoutMs;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  std::string head = HttpRequestHead(method, target, viaProxy, contentType, body.size());
  if (!SendAll(s, head.data(), head.size()) ||
      (!body.empty() && !SendAll(s, reinterpret_cast<const char*>(body.data()), body.size()))) {
    closesocket(s);
    x.error = "the connection broke while sending";
    return x;
  }
  std::vector<char> got;
  HttpAnswerHead answer;
  HeadState state = HeadState::Incomplete;
  char buffer[8192];
  for (;;) {
    int n = recv(s, buffer, sizeof buffer, 0);
    if (n == 0) break;
    if (n < 0) {
      int code = WSAGetLastError();
      x.error = code == WSAETIMEDOUT ? "no answer in time" : "the connection broke while receiving";
      closesocket(s);
      return x;
    }
    got.insert(got.end(), buffer, buffer + n);
    if (state == HeadState::Incomplete) state = ParseHttpAnswerHead(got.data(), got.size(), &answer);
    if (state == HeadState::Malformed) break;
    if (state == HeadState::Complete) {
      size_t have = got.size() - answer.headLength;
      if (have > maxBody) {
        closesocket(s);
        x.error = "the answer is too large";
        return x;
      }
      if (answer.hasLength && have >= answer.contentLength) break;
    }
  }
  closesocket(s);
  if (state == HeadState::Incomplete) state = ParseHttpAnswerHead(got.data(), got.size(), &answer);
  if (state != HeadState::Complete) {
    x.error = got.empty() ? "the server closed the connection without answering" : "the answer is not HTTP";
    return x;
  }
  if (answer.chunked) {
    x.error = "the answer uses a transfer encoding we do not read";
    return x;
  }
  size_t have = got.size() - answer.headLength;
  if (answer.hasLength && have < answer.contentLength) {
    x.error = "the answer was cut short";
    return x;
  }
  size_t n = answer.hasLength ? answer.contentLength : have;
  x.answered = true;
  x.status = answer.status;
  x.contentType = answer.contentType;
  x.body.assign(got.begin() + long(answer.headLength), got.begin() + long(answer.headLength + n));
  return x;
}
