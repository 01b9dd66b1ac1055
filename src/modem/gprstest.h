// The GPRS connection test and modem driver update, run by an elevated copy
// of the program started with "/MODEMTEST".
#pragma once

// Borrows the modem from the gateway service, dials the GPRS data connection
// of MODEMTEST.INI and leaves the verdict in its `Result` key. 1 when the
// connection test passed, 0 otherwise.
int RunGprsConnectionTest();

// How the test restarts Windows once the operator agreed after a driver
// update. Tests install their own so that nothing restarts; null restores
// the real restart (shutdown privilege, then ExitWindowsEx).
using RestartWindowsFunction = void (*)();
void SetRestartWindows(RestartWindowsFunction restart);
