#include "net.h"

#include <cstring>

bool EnsureWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

SOCKET ConnectAny(const std::string& host, const std::vector<unsigned>& ports, DWORD timeoutMs) {
  if (!EnsureWinsock() || host.empty() || ports.empty()) return INVALID_SOCKET;
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return INVALID_SOCKET;
  // A name may stand for several addresses: every one of them is tried.
  std::vector<sockaddr_in> addresses;
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in)) continue;
    sockaddr_in address;
    memcpy(&address, a->ai_addr, sizeof address);
    bool seen = false;
    for (const sockaddr_in& known : addresses) seen = seen || known.sin_addr.s_addr == address.sin_addr.s_addr;
    if (!seen && addresses.size() < FD_SETSIZE / 4) addresses.push_back(address);
  }
  freeaddrinfo(found);

  std::vector<SOCKET> tries;
  for (sockaddr_in address : addresses) {
    for (unsigned port : ports) {
      if (tries.size() >= FD_SETSIZE) break;
      SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      if (s == INVALID_SOCKET) continue;
      u_long nonBlocking = 1;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      address.sin_port = htons(u_short(port));
      if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
          WSAGetLastError() == WSAEWOULDBLOCK)
        tries.push_back(s);
      else
        closesocket(s);
    }
  }

  SOCKET connected = INVALID_SOCKET;
  DWORD start = GetTickCount();
  while (connected == INVALID_SOCKET && !tries.empty()) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) break;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    for (SOCKET s : tries) {
      FD_SET(s, &writable);
      FD_SET(s, &failed);
    }
    timeval wait = {long((timeoutMs - elapsed) / 1000), long((timeoutMs - elapsed) % 1000 * 1000)};
    if (select(0, nullptr, &writable, &failed, &wait) <= 0) break;
    for (size_t i = 0; i < tries.size();) {
      SOCKET s = tries[i];
      if (FD_ISSET(s, &writable) && connected == INVALID_SOCKET) {
        connected = s;
        tries.erase(tries.begin() + long(i));
      } else if (FD_ISSET(s, &failed)) {  // refused: that port does not answer
        closesocket(s);
        tries.erase(tries.begin() + long(i));
      } else {
        ++i;
      }
    }
  }
  for (SOCKET s : tries) closesocket(s);
  if (connected != INVALID_SOCKET) {
    u_long blocking = 0;
    ioctlsocket(connected, FIONBIO, &blocking);
  }
  return connected;
}
