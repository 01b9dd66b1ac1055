// WSPConnect / WSPRequest / WSPDisconnect: requests through the WAP gateway,
// which today's operators run as an HTTP proxy. One request per session
// (HTTP/1.0, the proxy closes after answering).
#define ZARQLINK_BUILD
#include "net.h"  // before <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "gateway/zarqlink.h"
#include "gatewayaddress.h"
#include "sendall.h"

namespace {

struct Session {
  SOCKET socket = INVALID_SOCKET;
  std::string host;
  unsigned port = 0;
};

// The status code of "HTTP/x.y nnn ...", 0 when the line is not one.
int StatusOf(const std::string& head) {
  unsigned major = 0, minor = 0;
  int status = 0;
  if (sscanf(head.c_str(), "HTTP/%u.%u %d", &major, &minor, &status) != 3) return 0;
  return status >= 100 && status <= 999 ? status : 0;
}

}  // namespace

ZARQLINK_API WSPSESSION __cdecl WSPConnect(const char* wapGateway, unsigned port, unsigned timeoutMs) {
  std::string host;
  unsigned named = 0;
  if (!ParseGatewayAddress(wapGateway ? wapGateway : "", &host, &named)) return nullptr;
  if (port == 0) port = named ? named : 8080;
  if (port > 65535) return nullptr;
  SOCKET s = ConnectAny(host, {port}, timeoutMs ? timeoutMs : 10000);
  if (s == INVALID_SOCKET) return nullptr;
  // A gateway that stops talking must not hold the caller for ever.
  DWORD receiveLimit = 30000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveLimit), sizeof receiveLimit);
  auto* session = new Session;
  session->socket = s;
  session->host = host;
  session->port = port;
  return session;
}

ZARQLINK_API void __cdecl WSPDisconnect(WSPSESSION session) {
  auto* s = static_cast<Session*>(session);
  if (!s) return;
  if (s->socket != INVALID_SOCKET) closesocket(s->socket);
  delete s;
}

ZARQLINK_API int __cdecl WSPRequest(WSPSESSION session, const char* method, const char* url, const char* contentType,
                                    const void* body, unsigned bodyLength, void* reply, unsigned replySize,
                                    unsigned* replyLength) {
  if (replyLength) *replyLength = 0;
  auto* s = static_cast<Session*>(session);
  if (!s || s->socket == INVALID_SOCKET || !url || !*url) return 0;
  if (!method || !*method) method = body && bodyLength ? "POST" : "GET";
  for (const char* p : {method, url, contentType ? contentType : ""})
    for (; *p; ++p)
      if (static_cast<unsigned char>(*p) < 32) return 0;  // no header injection

  std::string request = std::string(method) + " " + url + " HTTP/1.0\r\n";
  if (contentType && *contentType) request += std::string("Content-Type: ") + contentType + "\r\n";
  if (body && bodyLength) request += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
  request += "Connection: close\r\n\r\n";
  if (!SendAll(s->socket, request.data(), request.size())) return 0;
  if (body && bodyLength && !SendAll(s->socket, static_cast<const char*>(body), bodyLength)) return 0;

  // Head up to the blank line (bounded), then the body into the caller's buffer.
  std::string head;
  size_t headEnd = std::string::npos;
  char buffer[4096];
  unsigned stored = 0;
  for (;;) {
    int n = recv(s->socket, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    const char* data = buffer;
    size_t size = size_t(n);
    if (headEnd == std::string::npos) {
      head.append(buffer, size_t(n));
      headEnd = head.find("\r\n\r\n");
      if (headEnd == std::string::npos) {
        if (head.size() > 65536) return 0;
        continue;
      }
      data = head.data() + headEnd + 4;
      size = head.size() - headEnd - 4;
    }
    if (reply && stored < replySize) {
      size_t take = size < replySize - stored ? size : replySize - stored;
      memcpy(static_cast<char*>(reply) + stored, data, take);
      stored += unsigned(take);
    }
    if (headEnd != std::string::npos && data != buffer) head.resize(headEnd + 4);
  }
  if (replyLength) *replyLength = stored;
  return headEnd == std::string::npos ? 0 : StatusOf(head);
}
