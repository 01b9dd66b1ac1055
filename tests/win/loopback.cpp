#include <winsock2.h>

#include "loopback.h"

namespace {

sockaddr_in Loopback(unsigned port) {
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(u_short(port));
  return a;
}

}  // namespace

void StartWinsock() {
  static bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

UINT_PTR BindLoopback(unsigned* port, bool listening) {
  StartWinsock();
  *port = 0;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = Loopback(0);
  int size = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0)
    *port = ntohs(a.sin_port);
  if (listening) listen(s, 5);
  return s;
}

LoopbackSocket::LoopbackSocket(bool listening) : socket_(BindLoopback(&port_, listening)) {}

LoopbackSocket::~LoopbackSocket() { Close(); }

void LoopbackSocket::Close() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

std::string LoopbackSocket::HttpAddress() const { return "http:127.0.0.1:" + std::to_string(port_); }

bool LoopbackSocket::Accepts() const {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = Loopback(port_);
  bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  closesocket(s);
  return ok;
}

unsigned FreeTcpPort() { return LoopbackSocket(false).Port(); }
