// Installing, reconfiguring, starting, stopping and removing the two gateway
// services, always as a pair with the SMS gateway service first, and the
// elevated relaunch of this program when the rights are missing.
#include "service/services.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "service/scmaccess.h"

namespace {

struct ServiceInfo {
  const char* name;
  const char* displayName;
  const char* firewallExe;  // handed to the firewall program
  const char* serviceExe;
};

const ServiceInfo kSms = {"ZarqSMS", "Zarq SMS Gateway Lite Edition", "ZARQGATE.EXE", "ZARQGATESVC.EXE"};
const ServiceInfo kMmsc = {"ZarqMMSC", "Zarq MMS Gateway Lite Edition", "ZARQRELAY.EXE", "ZARQRELAYSVC.EXE"};

constexpr int kWaitPasses = 120;
constexpr DWORD kElevatedWaitMs = 60000;
constexpr DWORD kRestartPauseMs = 2000;

const char kRightsForChange[] = "Administrator rights are required for service installation or modification.";
const char kRightsForInstall[] = "Administrator rights are required for service installation.";
const char kRightsForRemove[] = "Administrator rights are required for service modification.";
const char kNotNt[] =
    "This product requires Windows 2000, XP, 2003, Vista or NT.\r\n(Windows 95, 98 and ME are not supported.)";

// Packed version of the system: high bit set on the non-NT family.
DWORD PackedVersion() {
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
  return GetVersion();
}

bool IsNtFamily() { return (PackedVersion() & 0x80000000u) == 0; }

// The running program's directory, ending in a backslash, followed by `file`.
void ProgramFilePath(const char* file, char* path) {
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = 0;
  path[n] = '\0';
  char* slash = strrchr(path, '\\');
  if (slash)
    slash[1] = '\0';
  else
    path[0] = '\0';
  BoundedAppend(path, MAX_PATH, file);
}

bool IsActiveState(DWORD state) {
  return state == SERVICE_RUNNING || state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
}

bool QueryActive(const char* name) {
  SC_HANDLE manager = OpenServiceManager(GENERIC_READ);
  if (!manager) return false;
  bool active = false;
  if (SC_HANDLE service = OpenServiceNamed(manager, name, SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status;
    if (QueryServiceStatus(service, &status)) active = IsActiveState(status.dwCurrentState);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return active;
}

bool QueryInstalled(const char* name) {
  SC_HANDLE manager = OpenServiceManager(GENERIC_READ);
  if (!manager) return false;
  SC_HANDLE service = OpenServiceNamed(manager, name, SERVICE_QUERY_STATUS);
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return service != nullptr;
}

void SetStopRequest() {
  StatusBlock block;
  if (!OpenStatusBlock(Gateway::Sms, &block)) return;
  block.view[kStopRequestByte] = 1;
  CloseStatusBlock(&block);
}

void SendStop(SC_HANDLE service) {
  SERVICE_STATUS status;
  ControlService(service, SERVICE_CONTROL_STOP, &status);
}

}  // namespace

void RunProgramCopy(const char* parameters, bool elevate, DWORD waitMs) {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return;
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = nullptr;
  info.lpVerb = elevate ? "runas" : nullptr;
  info.lpFile = self;
  info.lpParameters = parameters;
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExA(&info) && info.hProcess) {
    WaitForSingleObject(info.hProcess, waitMs);
    CloseHandle(info.hProcess);
  }
}

namespace {

// Relaunches this program elevated with `sw` as its only parameter and waits
// for it a bounded time. A refused elevation gives no process and no wait.
void RunElevated(const char* sw) { RunProgramCopy(sw, true, kElevatedWaitMs); }

// The elevation rule: relaunch elevated when the operator may be asked, the
// system knows elevation and the operator agrees. True when it relaunched.
bool ElevateIfAgreed(bool unattended, const char* sw) {
  if (unattended || !IsVistaOrLater() || !ConfirmElevation()) return false;
  RunElevated(sw);
  return true;
}

void ShowChangeRightsMessage() {
  ShowMessage(nullptr, kRightsForChange, MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

// Starts the firewall program, when it is there, for one service; it is not waited for.
void RunFirewallProgram(const ServiceInfo& info) {
  char ports[MAX_PATH];
  ProgramFilePath("ZARQPORTS.EXE", ports);
  if (!FileExists(ports)) return;
  char gate[MAX_PATH];
  ProgramFilePath(info.firewallExe, gate);
  char commandLine[3 * MAX_PATH + 16];
  // The program's own path is quoted too: in a directory with blanks in its
  // name the firewall program would otherwise read the wrong arguments.
  snprintf(commandLine, sizeof commandLine, "\"%s\" \"%s\" \"%s\"", ports, gate, info.displayName);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  // The application name is given as well, so that Windows never searches
  // for another program along the path's blanks.
  if (CreateProcessA(ports, commandLine, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

// Creates the service, or rewrites the configuration of an existing one, and
// starts it. False (after its message) when creation is refused.
bool InstallOne(SC_HANDLE manager, const ServiceInfo& info) {
  RunFirewallProgram(info);

  char full[MAX_PATH];
  ProgramFilePath(info.serviceExe, full);
  char binary[MAX_PATH];
  DWORD n = GetShortPathNameA(full, binary, sizeof binary);
  if (n == 0 || n >= sizeof binary) CopyBounded(binary, sizeof binary, full);

  SC_HANDLE service = OpenServiceNamed(manager, info.name, SERVICE_ALL_ACCESS);
  if (service) {
    ChangeServiceConfigA(service, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary, "",
                         nullptr, "", nullptr, nullptr, info.displayName);
  } else {
    service = CreateServiceA(manager, info.name, info.displayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                             SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary, "", nullptr, "", nullptr, nullptr);
    if (!service) {
      DWORD error = GetLastError();
      ShowMessageF(nullptr, MB_OK,
                   "CreateService Failed, %lu\r\nAdministrator rights are required for service installation.", error);
      return false;
    }
  }
  StartServiceA(service, 0, nullptr);
  CloseServiceHandle(service);
  return true;
}

// Starts one service; a failure other than "already running" is reported.
// False when the service cannot be opened.
bool StartOne(SC_HANDLE manager, const ServiceInfo& info) {
  SC_HANDLE service = OpenServiceNamed(manager, info.name, SERVICE_ALL_ACCESS);
  if (!service) return false;
  if (!StartServiceA(service, 0, nullptr)) {
    DWORD error = GetLastError();
    if (error != ERROR_SERVICE_ALREADY_RUNNING) ShowMessageF(nullptr, MB_OK | MB_ICONERROR, "Error %lu starting service", error);
  }
  CloseServiceHandle(service);
  return true;
}

// Stops one service, waits for it to end, then deletes it. False when it
// cannot be opened.
bool RemoveOne(SC_HANDLE manager, const ServiceInfo& info, bool setStopRequest) {
  SC_HANDLE service = OpenServiceNamed(manager, info.name, SERVICE_ALL_ACCESS);
  if (!service) return false;
  SendStop(service);
  for (int pass = 0; pass < kWaitPasses && QueryActive(info.name); ++pass) {
    if (setStopRequest) SetStopRequest();
    SleepOnePass();
  }
  DeleteService(service);
  CloseServiceHandle(service);
  return true;
}

}  // namespace

bool IsSmsServiceActive() { return QueryActive(kSms.name); }
bool IsMmscServiceActive() { return QueryActive(kMmsc.name); }
bool IsSmsServiceInstalled() { return QueryInstalled(kSms.name); }
bool IsMmscServiceInstalled() { return QueryInstalled(kMmsc.name); }

bool HasAdminRights() {
  SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) return false;
  CloseServiceHandle(manager);
  return true;
}

bool IsVistaOrLater() {
  DWORD version = PackedVersion();
  return (version & 0x80000000u) == 0 && LOBYTE(LOWORD(version)) >= 6;
}

bool ConfirmElevation() {
  return ShowMessage(nullptr,
                     "Administrator rights are required for service installation or modification.\r\n\r\n"
                     "If you continue, Windows will ask you to confirm that you will allow this application to "
                     "assume administrator rights to perform this task.\r\n\r\nDo you wish to continue?",
                     MB_YESNOCANCEL | MB_TASKMODAL | MB_SETFOREGROUND) == IDYES;
}

bool InstallServices(bool unattended) {
  SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) {
    if (!IsNtFamily()) {
      ShowMessage(nullptr, kNotNt, MB_OK);
      return false;
    }
    if (ElevateIfAgreed(unattended, "/INSTALLSERVICE")) return IsSmsServiceInstalled() && IsMmscServiceInstalled();
    ShowMessage(nullptr, kRightsForInstall, MB_OK);
    return false;
  }
  bool ok = InstallOne(manager, kSms) && InstallOne(manager, kMmsc);
  CloseServiceHandle(manager);
  return ok;
}

bool RemoveServices(bool unattended) {
  if (!IsSmsServiceInstalled()) return true;
  bool lacksRights = false;
  bool result = false;
  if (SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS)) {
    if (RemoveOne(manager, kSms, true))
      result = true;
    else
      lacksRights = true;
    if (RemoveOne(manager, kMmsc, false))
      result = true;
    else
      lacksRights = true;
    CloseServiceHandle(manager);
  } else {
    lacksRights = true;
  }
  if (!lacksRights) return result;
  if (unattended || !IsVistaOrLater() || !ConfirmElevation()) {
    ShowMessage(nullptr, kRightsForRemove, MB_OK | MB_SETFOREGROUND);
    return result;
  }
  RunElevated("/REMOVESERVICE");
  return !IsSmsServiceInstalled() && !IsMmscServiceInstalled();
}

void StopServices(bool unattended) {
  bool lacksRights = true;
  if (SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS)) {
    lacksRights = false;
    if (SC_HANDLE service = OpenServiceNamed(manager, kSms.name, SERVICE_ALL_ACCESS)) {
      SendStop(service);
      SetStopRequest();
      CloseServiceHandle(service);
    } else {
      lacksRights = true;
    }
    if (SC_HANDLE service = OpenServiceNamed(manager, kMmsc.name, SERVICE_ALL_ACCESS)) {
      SendStop(service);
      CloseServiceHandle(service);
    } else {
      lacksRights = true;
    }
    CloseServiceHandle(manager);
  }
  if (!lacksRights) {
    for (int pass = 0; pass < kWaitPasses && (IsSmsServiceActive() || IsMmscServiceActive()); ++pass) {
      SetStopRequest();
      SleepOnePass();
    }
    return;
  }
  if (!ElevateIfAgreed(unattended, "/STOPSERVICE")) ShowChangeRightsMessage();
}

void StartServices(bool unattended) {
  bool lacksRights = true;
  if (SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS)) {
    bool smsOpened = StartOne(manager, kSms);
    bool mmscOpened = StartOne(manager, kMmsc);
    lacksRights = !smsOpened || !mmscOpened;
    CloseServiceHandle(manager);
  }
  if (!lacksRights) {
    for (int pass = 0; pass < kWaitPasses && !IsSmsServiceActive(); ++pass) SleepOnePass();
    return;
  }
  if (!ElevateIfAgreed(unattended, "/STARTSERVICE")) ShowChangeRightsMessage();
}

void RestartServices(bool unattended) {
  bool opened = false;
  if (SC_HANDLE manager = OpenServiceManager(SC_MANAGER_ALL_ACCESS)) {
    if (SC_HANDLE service = OpenServiceNamed(manager, kSms.name, SERVICE_ALL_ACCESS)) {
      opened = true;
      CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
  }
  if (opened) {
    HCURSOR cursor = BeginBusyCursor();
    StopServices(unattended);
    Sleep(kRestartPauseMs);
    StartServices(unattended);
    EndBusyCursor(cursor);
    return;
  }
  if (!ElevateIfAgreed(unattended, "/RESTARTSERVICE")) ShowChangeRightsMessage();
}
