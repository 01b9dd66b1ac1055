// Entry point of ZARQCFG.EXE.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "gateway/zarqacct.h"

namespace {

// Creates `path` empty when it is missing; a failure is left to the settings
// functions, which then fall back to their defaults.
void CreateIfMissing(const char* path) {
  if (FileExists(path)) return;
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  WSADATA wsa;
  if (WSAStartup(0x0101, &wsa) != 0) {
    fputs("Error initializing Winsock\n", stdout);
    return -1;
  }

  char dir[MAX_PATH];
  GetProgramDataDirectory(dir);
  CopyBounded(g_SmsgwIni, sizeof g_SmsgwIni, dir);
  BoundedAppend(g_SmsgwIni, sizeof g_SmsgwIni, "SMSGW.INI");
  CreateIfMissing(g_SmsgwIni);
  SMSIniSetFilename(g_SmsgwIni);
  CopyBounded(g_MmscIni, sizeof g_MmscIni, dir);
  BoundedAppend(g_MmscIni, sizeof g_MmscIni, "MMSC.INI");
  CreateIfMissing(g_MmscIni);
  MMSCIniSetFilename(g_MmscIni);

  GetRealProgramDirectory(g_HelpDocumentPath);
  BoundedAppend(g_HelpDocumentPath, sizeof g_HelpDocumentPath, "ZarqSMS Lite.pdf");

  (void)commandLine;
  HICON icon = LoadIconA(instance, "SMSGW");
  if (!icon) MessageBoxA(nullptr, "Error loading Icon", "Debug", MB_OK);

  return WSACleanup();
}
