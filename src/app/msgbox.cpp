#include "app/msgbox.h"

#include <cstdarg>
#include <cstdio>

const char kProductTitle[] = "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)";

int ShowMessage(HWND owner, const char* text, UINT type) { return MessageBoxA(owner, text, kProductTitle, type); }

int ShowMessageF(HWND owner, UINT type, const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return ShowMessage(owner, text, type);
}

int ShowMessageCaptioned(HWND owner, const char* text, const char* caption, UINT type) {
  return MessageBoxA(owner, text, caption, type);
}
