#include "debugtrace.h"

#include <windows.h>

#include <cstdio>

#include "core/textrules.h"

void AppendDebugLine(const std::string& settingsFile, const char* section, const std::string& logPath,
                     const std::string& text) {
  char value[16] = "";
  GetPrivateProfileStringA(section, "Debug", "", value, sizeof value, settingsFile.c_str());
  if (!IsYesValue(value)) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[48];
  snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond, now.wMilliseconds);
  std::string line = stamp;
  for (unsigned char c : text) {
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c < 32 || c == 127) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      line += hex;
    } else {
      line += char(c);
    }
  }
  line += "\r\n";
  // Appends from both services' threads interleave by whole lines.
  HANDLE h = CreateFileA(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, line.data(), DWORD(line.size()), &written, nullptr);
  CloseHandle(h);
}
