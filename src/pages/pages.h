// Page procedures of the setup wizard and the configuration sheet.
#pragma once
#include <windows.h>

INT_PTR CALLBACK ServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DebugLogPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WizardAddModemPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ModemPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The modal "Add Modem" dialog. `result` holds 500 bytes: on 1 the tested
// modem's name, followed by "\tPIN=" and the PIN when one was typed; on 0 it
// is empty.
INT_PTR RunAddModemDialog(HWND owner, char* result);
