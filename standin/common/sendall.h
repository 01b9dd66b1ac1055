// Sending a whole buffer on a blocking socket, for the link and TLS libraries.
#pragma once
#include <winsock2.h>

#include <cstddef>

// Sends all `size` bytes in pieces send() takes; false when the connection fails.
inline bool SendAll(SOCKET s, const char* data, size_t size) {
  while (size > 0) {
    int n = send(s, data, size > 65536 ? 65536 : int(size), 0);
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}
