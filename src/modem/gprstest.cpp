#include "modem/gprstest.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "core/textrules.h"
#include "gateway/linkbinding.h"

namespace {

constexpr DWORD kAllocateWaitLimit = 30000;
constexpr size_t kValueSize = 250;
constexpr size_t kVerdictSize = 500;

const char kSection[] = "ModemTest";
const char kRestartQuestion[] =
    "ZarqSMS has updated your modem driver settings to enable GPRS connectivity.\r\n\r\n"
    "Your system must be rebooted to apply these updates.\r\n\r\n"
    "Do you wish to reboot now?";

// Asks for the shutdown privilege (failures ignored: ExitWindowsEx then
// fails on its own) and restarts Windows.
void RestartWindowsNow() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES privileges = {};
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
      privileges.PrivilegeCount = 1;
      privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
    CloseHandle(token);
  }
  ExitWindowsEx(EWX_REBOOT, 0);
}

RestartWindowsFunction g_restart = RestartWindowsNow;

struct TestSettings {
  char wapGateway[kValueSize];
  char apn[kValueSize];
  char apnLogin[kValueSize];
  char apnPassword[kValueSize];
  char modemName[kValueSize];
  char profile[kValueSize + 8];  // DialUpProfile, else "Modem: " + ModemName
};

void ReadTestSettings(const char* file, TestSettings* s) {
  ReadSetting(file, kSection, "WAPGatewayIP", "", s->wapGateway, kValueSize);
  ReadSetting(file, kSection, "APN", "", s->apn, kValueSize);
  ReadSetting(file, kSection, "APNLogin", "", s->apnLogin, kValueSize);
  ReadSetting(file, kSection, "APNPass", "", s->apnPassword, kValueSize);
  ReadSetting(file, kSection, "ModemName", "", s->modemName, kValueSize);
  ReadSetting(file, kSection, "DialUpProfile", "", s->profile, kValueSize);
  if (!s->profile[0]) {
    CopyBounded(s->profile, sizeof s->profile, ZARQLINK_MODEM_PREFIX);
    BoundedAppend(s->profile, sizeof s->profile, s->modemName);
  }
}

// The driver's init strings must define a data context for the APN before
// the modem can dial it. True when they were changed and the operator chose
// to restart Windows now.
bool UpdateDriverAndRestart(const LinkLibrary& link, const TestSettings& s) {
  const size_t prefix = strlen(ZARQLINK_MODEM_PREFIX);
  if (!link.ModemGetCIDForAPN || !s.apn[0] || !StartsWithNoCase(s.profile, ZARQLINK_MODEM_PREFIX)) return false;
  const char* modem = s.profile + prefix;
  if (link.ModemGetCIDForAPN(modem, s.apn, 0) != 0) return false;  // already defined
  unsigned short wanted = link.ModemGetCIDForAPN(modem, s.apn, 1);
  if (wanted == 0) return false;  // nothing the driver settings could change
  if (link.ModemGetCIDForAPN(modem, s.apn, 0) == wanted) return false;
  if (!link.ModemDriverUpdateInitStrings || !link.ModemDriverUpdateInitStrings(modem, s.apn)) return false;
  if (ShowMessage(nullptr, kRestartQuestion, MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES) return false;
  g_restart();
  return true;
}

void DialVerdict(const LinkLibrary& link, int result, char* verdict) {
  if (result == 0) {
    CopyBounded(verdict, kVerdictSize, "Connection Test OK!");
  } else if (result == 1) {
    CopyBounded(verdict, kVerdictSize, "Unable to connect to WAP Gateway");
  } else {
    CopyBounded(verdict, kVerdictSize, "Connection Failed");
    if (result >= 600 && result <= 799) {
      char number[40];
      snprintf(number, sizeof number, "\r\nRAS Error %u\r\n", static_cast<unsigned>(result));
      BoundedAppend(verdict, kVerdictSize, number);
      size_t used = strlen(verdict);
      if (link.WSPRasGetErrorString && used + 1 < kVerdictSize)
        link.WSPRasGetErrorString(static_cast<unsigned>(result), verdict, static_cast<unsigned>(kVerdictSize - used));
      verdict[kVerdictSize - 1] = '\0';  // whatever the library wrote, the text ends inside the buffer
    }
  }
}

// The whole test; the verdict text and 1 for a passed connection test.
int Run(const TestSettings& s, char* verdict) {
  const LinkLibrary* link = BindLinkLibrary();
  if (!link) {
    CopyBounded(verdict, kVerdictSize, "Internal Error");
    return 0;
  }
  unsigned scratch = 0;
  MODEMLEASE lease = link->ModemAllocate(s.modemName, kAllocateWaitLimit, &scratch);
  if (!lease) {
    CopyBounded(verdict, kVerdictSize, "Unable to allocate modem, modem in use by ZarqSMS");
    return 0;
  }
  if (UpdateDriverAndRestart(*link, s)) {
    // Windows is going down; the service gets its modem back meanwhile.
    link->ModemRelease(lease);
    CopyBounded(verdict, kVerdictSize, "Please restart your system before continuing");
    return 0;
  }
  int result = link->WSPRasDial(s.profile, s.apn, s.apnLogin, s.apnPassword, s.wapGateway);
  if (result == 0) link->WSPRasHangUp(s.profile);
  link->ModemRelease(lease);
  DialVerdict(*link, result, verdict);
  return result == 0 ? 1 : 0;
}

}  // namespace

void SetRestartWindows(RestartWindowsFunction restart) { g_restart = restart ? restart : RestartWindowsNow; }

int RunGprsConnectionTest() {
  char path[MAX_PATH];
  ProgramDataPath("MODEMTEST.INI", path);
  TestSettings settings;
  ReadTestSettings(path, &settings);
  char verdict[kVerdictSize];
  int passed = Run(settings, verdict);
  WriteSetting(path, kSection, "Result", EscapeLineBreaks(verdict).c_str());
  return passed;
}
