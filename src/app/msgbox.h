// Every message box of the program goes through here, with the product title.
#pragma once
#include <windows.h>

#include "core/formatcheck.h"

extern const char kProductTitle[];

int ShowMessage(HWND owner, const char* text, UINT type);
// printf-style text, at most 1023 characters. The format is a literal, checked
// against the arguments when the program is compiled.
int ShowMessageF(HWND owner, UINT type, ZARQ_FORMAT_STRING const char* format, ...) ZARQ_PRINTF_LIKE(3, 4);
// The few boxes whose caption is not the product title ("Warning", "Remove Service").
int ShowMessageCaptioned(HWND owner, const char* text, const char* caption, UINT type);
