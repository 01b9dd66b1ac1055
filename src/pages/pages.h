// Page procedures of the setup wizard and the configuration sheet.
#pragma once
#include <windows.h>

INT_PTR CALLBACK ServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DebugLogPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
