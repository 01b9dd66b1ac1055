// Loopback TCP sockets for tests that stand in for a WAP gateway or a server.
// (Declared without the Winsock headers so that it mixes with <windows.h>.)
#pragma once
#include <windows.h>

#include <string>

// Starts Winsock for the process, once.
void StartWinsock();

// A socket bound to 127.0.0.1 on a port the system chose; the caller closes it.
// Listening, or with `listening` false bound only, so that connections to the
// port are refused while no other socket can take it.
UINT_PTR BindLoopback(unsigned* port, bool listening = true);

// A TCP port nothing listens on now, for a service's own listener: other
// checkouts' tests share the host's ports.
unsigned FreeTcpPort();

// The same, closed with the object.
class LoopbackSocket {
 public:
  explicit LoopbackSocket(bool listening = true);
  ~LoopbackSocket();
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;
  void Close();
  UINT_PTR Socket() const { return socket_; }
  unsigned Port() const { return port_; }
  // "http:127.0.0.1:<port>", a WAP gateway address as the operator types it.
  std::string HttpAddress() const;
  // A connection to the port is taken (a check of the test itself).
  bool Accepts() const;

 private:
  unsigned port_ = 0;
  UINT_PTR socket_;  // after port_, which binding it sets
};
