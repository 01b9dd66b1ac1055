// Small TCP helpers of the link library.
#pragma once
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>
#include <vector>

// Winsock for this library, started once.
bool EnsureWinsock();

// Connects to the first of `ports` on `host` that accepts within
// `timeoutMs`: a name is resolved and every address it gives is tried, on
// every port, all at once. INVALID_SOCKET when none did.
SOCKET ConnectAny(const std::string& host, const std::vector<unsigned>& ports, DWORD timeoutMs);
