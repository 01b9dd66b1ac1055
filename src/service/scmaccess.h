// The service manager and the clock as the service operations meet them.
//
// Wine runs every program as administrator, so the road of a user without
// rights cannot be reached there by itself. Starting the program with the
// environment variable ZARQ_TEST_WITHOUT_ADMIN=1 makes every open that asks
// for change access (manager: SC_MANAGER_ALL_ACCESS; service: SERVICE_ALL_ACCESS)
// fail with ERROR_ACCESS_DENIED, as it does for such a user. The variable is
// read once and then removed from the process's environment, so the elevated
// copy the program starts has its rights, as on Windows.
//
// ZARQ_TEST_WAIT_PASS_MS=<n> shortens each pass of the 120-pass service waits
// from 1000 ms to n ms (1..1000); the number of passes is never changed.
#pragma once
#include <windows.h>

SC_HANDLE OpenServiceManager(DWORD access);
SC_HANDLE OpenServiceNamed(SC_HANDLE manager, const char* name, DWORD access);

// One pass of a service wait: 1000 ms.
void SleepOnePass();

// The same switch for tests that link the operations in their own process.
void DenyServiceChangeAccess(bool deny);
