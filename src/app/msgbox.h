// Every message box of the program goes through here, with the product title.
#pragma once
#include <windows.h>

extern const char kProductTitle[];

int ShowMessage(HWND owner, const char* text, UINT type);
// printf-style text, at most 1023 characters.
int ShowMessageF(HWND owner, UINT type, const char* format, ...);
// The few boxes whose caption is not the product title ("Warning", "Remove Service").
int ShowMessageCaptioned(HWND owner, const char* text, const char* caption, UINT type);
