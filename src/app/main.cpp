// Entry point of ZARQCFG.EXE: settings files, command-line actions, then the
// setup wizard and/or the configuration sheet.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "app/cmdline.h"
#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "app/sheets.h"
#include "gateway/zarqacct.h"
#include "service/services.h"

namespace {

// Creates `path` empty when it is missing; a failure is left to the settings
// functions, which then fall back to their defaults.
void CreateIfMissing(const char* path) {
  if (FileExists(path)) return;
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

void SettingsFilePath(const char* dir, const char* name, char* path) {
  CopyBounded(path, MAX_PATH, dir);
  BoundedAppend(path, MAX_PATH, name);
}

// Stops the services behind the wait window before the wizard changes anything.
void StopServicesForWizard() {
  if (!IsSmsServiceActive() && !IsMmscServiceActive()) return;
  HCURSOR cursor = BeginBusyCursor();
  HWND wait = CreateWaitWindow(nullptr);
  if (wait) {
    SetForegroundWindow(wait);
    SetWindowTextA(wait, "Please wait...");
    SetDlgItemTextA(wait, 1444, "Stopping Services...");
    PaintNow(wait);  // the service waits below block this thread
  }
  StopServices(false);
  if (wait && IsWindow(wait)) SendMessageA(wait, WM_CLOSE, 0, 0);
  EndBusyCursor(cursor);
}

void SwitchDebugLogsOn() {
  char path[MAX_PATH];
  WriteSetting(g_SmsgwIni, "SMSGW", "Debug", "Yes");
  ProgramDataPath("MMSC.INI", path);
  WriteSetting(path, "MMSC", "Debug", "Yes");
  ProgramDataPath("MMSWAP.INI", path);
  WriteSetting(path, "MMSWAP", "Debug", "Yes");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
  WSADATA wsa;
  if (WSAStartup(0x0101, &wsa) != 0) {
    fputs("Error initializing Winsock\n", stdout);
    return -1;
  }

  char dir[MAX_PATH];
  GetProgramDataDirectory(dir);
  SettingsFilePath(dir, "SMSGW.INI", g_SmsgwIni);
  CreateIfMissing(g_SmsgwIni);
  SMSIniSetFilename(g_SmsgwIni);
  SettingsFilePath(dir, "MMSC.INI", g_MmscIni);
  CreateIfMissing(g_MmscIni);
  MMSCIniSetFilename(g_MmscIni);

  GetRealProgramDirectory(dir);
  SettingsFilePath(dir, "ZarqSMS Lite.pdf", g_HelpDocumentPath);
  g_HelpExists = FileExists(g_HelpDocumentPath);

  bool quiet = false;
  if (RunCommandLineAction(arguments, &quiet)) return 0;

  HICON icon = LoadIconA(instance, "SMSGW");
  if (!icon) MessageBoxA(nullptr, "Error loading Icon", "Debug", MB_OK);

  char modem[261];
  ReadSetting(g_SmsgwIni, "SMSGW", "Modem1", "", modem, sizeof modem);
  CopyBounded(g_ConfiguredModem, sizeof g_ConfiguredModem, modem);

  if (!modem[0] || WizardRequested(arguments)) {
    StopServicesForWizard();
    SwitchDebugLogsOn();
    if (RunSetupWizard(icon) < 1) ExitProcess(0);  // no sheet, no Winsock clean-up
  }

  g_ConfigChanged = false;
  RunConfigurationSheet(icon);

  ReadSetting(g_SmsgwIni, "SMSGW", "Modem1", "", modem, sizeof modem);
  if (modem[0] && !(IsSmsServiceActive() && IsMmscServiceActive()) &&
      ShowMessage(nullptr, "Service is not active, do you wish to activate the service?", MB_YESNO | MB_ICONQUESTION) ==
          IDYES)
    InstallServices(false);

  return WSACleanup();
}
