// ZARQPORTS.EXE, the firewall program (stand-in): the setup program hands it
// a gateway executable and its display name when it installs a service; it
// records the pair, one line per call, in PORTS.LOG of the program-data
// directory. The last two arguments are taken, so that a caller that leaves
// its own path unquoted is still read right.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/textrules.h"
#include "gateway/zarqacct.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 3) return 2;
  char path[MAX_PATH];
  GetProgramDataDirectory(path);
  BoundedAppend(path, sizeof path, "PORTS.LOG");
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  char line[2 * MAX_PATH + 16];
  int n = snprintf(line, sizeof line, "\"%s\" \"%s\"\r\n", __argv[__argc - 2], __argv[__argc - 1]);
  DWORD written = 0;
  BOOL ok = n > 0 && WriteFile(file, line, DWORD(n < int(sizeof line) ? n : int(sizeof line) - 1), &written, nullptr);
  CloseHandle(file);
  return ok ? 0 : 1;
}
