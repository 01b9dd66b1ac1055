// The MM7 receiver account dialog (DIALOG_MM7) and its connection test.
#pragma once
#include <windows.h>

// The account that received MMS are passed on through.
constexpr char kMm7Account[] = "zarqlocalmm7";

// 1 after OK tested the server and saved the settings, 0 on Cancel.
INT_PTR RunMm7Dialog(HWND owner);

// Connects `socket` (a new TCP stream socket) to `host` at `port`: a dotted
// IPv4 address directly, a name through every address it resolves to.
// 0 when connected, 1 otherwise; the caller closes the socket either way.
int ConnectTest(UINT_PTR socket, const char* host, unsigned port);
