#include "debugtrace.h"

#include <windows.h>

#include <cstdio>

#include "core/textrules.h"
#include "datadirs.h"

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
  datadirs::AppendToFile(logPath, line + "\r\n");
}
