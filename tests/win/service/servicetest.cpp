#include "servicetest.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "app/msgbox.h"

namespace {

const char kKey[] = "SOFTWARE\\ZarqSMS";

bool ReadRegistryValue(const char* name, std::string* out) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return false;
  char value[MAX_PATH] = {};
  DWORD size = sizeof value - 1, type = 0;
  bool ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (ok) *out = value;
  return ok;
}

void WriteRegistryValue(const char* name, const std::string* value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  if (value)
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()), DWORD(value->size() + 1));
  else
    RegDeleteValueA(key, name);
  RegCloseKey(key);
}

std::string ClassOf(HWND w) {
  char name[64] = {};
  GetClassNameA(w, name, sizeof name);
  return name;
}

std::string TextOf(HWND w) {
  char text[2048] = {};
  // WM_GETTEXT is marshalled across processes.
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

struct BoxSearch {
  SeenBox* box;
  bool found;
};

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
  SeenBox* box = reinterpret_cast<SeenBox*>(param);
  std::string cls = ClassOf(child);
  int id = GetDlgCtrlID(child);
  if (cls == "Static") {
    if (id == 1088) {
      // Wine keeps the control when there is no icon, with no image in it.
      box->icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
      box->iconShown = IsWindowVisible(child) && box->icon;
    } else {
      std::string t = TextOf(child);
      if (!t.empty()) box->text += t;
    }
  } else if (cls == "Button" && IsWindowVisible(child)) {
    box->buttons.push_back(TextOf(child));
    box->buttonIds.push_back(id);
  }
  return TRUE;
}

BOOL CALLBACK HasTabControl(HWND child, LPARAM param) {
  if (ClassOf(child) == "SysTabControl32") {
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
  }
  return TRUE;
}

// The programs this test started, while their Program objects hold their
// handles (so their ids are not given to other processes meanwhile).
std::mutex g_startedLock;
std::set<DWORD> g_started;

bool IsStartedProgram(DWORD pid) {
  std::lock_guard<std::mutex> hold(g_startedLock);
  return g_started.count(pid) != 0;
}

// Whether a window of process `pid` belongs to this test: this process, a
// program it started, or a descendant of either (the elevated copy a program
// starts). Other tests running side by side in the same prefix show boxes
// with the same caption; those must be neither read nor answered.
bool OwnedByThisTest(DWORD pid) {
  const DWORD self = GetCurrentProcessId();
  if (pid == self || IsStartedProgram(pid)) return true;
  std::map<DWORD, DWORD> parents;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  // A parent that has ended still names its id, which is enough when it was
  // one of the started programs.
  for (int depth = 0; depth < 16; ++depth) {
    auto parent = parents.find(pid);
    if (parent == parents.end() || parent->second == 0 || parent->second == pid) return false;
    pid = parent->second;
    if (pid == self || IsStartedProgram(pid)) return true;
  }
  return false;
}

BOOL CALLBACK FindBox(HWND w, LPARAM param) {
  BoxSearch* s = reinterpret_cast<BoxSearch*>(param);
  if (!IsWindowVisible(w) || ClassOf(w) != "#32770" || TextOf(w) != kProductTitle) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (!OwnedByThisTest(owner)) return TRUE;
  bool sheet = false;
  EnumChildWindows(w, HasTabControl, reinterpret_cast<LPARAM>(&sheet));
  if (sheet) return TRUE;  // the configuration sheet carries the same caption
  *s->box = SeenBox();
  s->box->window = w;
  s->box->processId = owner;
  EnumChildWindows(w, ReadChild, reinterpret_cast<LPARAM>(s->box));
  s->found = true;
  return FALSE;
}

struct WindowSearch {
  DWORD processId;
  const char* part;
  HWND found;
};

BOOL CALLBACK FindTop(HWND w, LPARAM param) {
  WindowSearch* s = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if ((s->processId && pid != s->processId) || !IsWindowVisible(w)) return TRUE;
  if (TextOf(w).find(s->part) == std::string::npos) return TRUE;
  s->found = w;
  return FALSE;
}

}  // namespace

GatewayFixtureDir::GatewayFixtureDir(const char* tag) : dir_(tag) {
  ForceRemoveBoth();
  hadProgramData_ = ReadRegistryValue("ProgramDataDirectory", &savedProgramData_);
  hadPrivateData_ = ReadRegistryValue("PrivateDataDirectory", &savedPrivateData_);
  WriteRegistryValue("ProgramDataDirectory", &dir_.Path());
  WriteRegistryValue("PrivateDataDirectory", &dir_.Path());
  UseDataDirectory(dir_);
}

GatewayFixtureDir::~GatewayFixtureDir() {
  ForceRemoveBoth();
  WriteRegistryValue("ProgramDataDirectory", hadProgramData_ ? &savedProgramData_ : nullptr);
  WriteRegistryValue("PrivateDataDirectory", hadPrivateData_ ? &savedPrivateData_ : nullptr);
}

std::string BinDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = strrchr(path, '\\');
  if (slash) slash[1] = '\0';
  return path;
}

ServiceFacts QueryFacts(const char* name) {
  ServiceFacts f;
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  if (!scm) return f;
  if (SC_HANDLE s = OpenServiceA(scm, name, SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG)) {
    f.installed = true;
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (QueryServiceStatusEx(s, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
      f.state = status.dwCurrentState;
      f.processId = status.dwProcessId;
    }
    alignas(8) BYTE buffer[8192];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
    if (QueryServiceConfigA(s, config, sizeof buffer, &needed)) {
      f.serviceType = config->dwServiceType;
      f.startType = config->dwStartType;
      f.errorControl = config->dwErrorControl;
      f.binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : "";
      f.displayName = config->lpDisplayName ? config->lpDisplayName : "";
      f.account = config->lpServiceStartName ? config->lpServiceStartName : "";
      f.group = config->lpLoadOrderGroup ? config->lpLoadOrderGroup : "";
      f.dependencies = config->lpDependencies ? config->lpDependencies : "";
    }
    CloseServiceHandle(s);
  }
  CloseServiceHandle(scm);
  return f;
}

bool WaitForState(const char* name, DWORD state, DWORD ms) {
  DWORD start = GetTickCount();
  do {
    if (QueryFacts(name).state == state) return true;
    Sleep(100);
  } while (GetTickCount() - start < ms);
  return QueryFacts(name).state == state;
}

bool StartGatewayService() {
  if (!CreateServiceByHand("ZarqSMS", "Zarq SMS Gateway", BinDirectory() + "ZARQGATESVC.EXE")) return false;
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = scm ? OpenServiceA(scm, "ZarqSMS", SERVICE_START) : nullptr;
  bool started = service && StartServiceA(service, 0, nullptr);
  if (service) CloseServiceHandle(service);
  if (scm) CloseServiceHandle(scm);
  return started && WaitForState("ZarqSMS", SERVICE_RUNNING, 15000);
}

bool ForceRemoveService(const char* name, DWORD ms) {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!scm) return false;
  SC_HANDLE s = OpenServiceA(scm, name, SERVICE_ALL_ACCESS);
  if (s) {
    SERVICE_STATUS status;
    ControlService(s, SERVICE_CONTROL_STOP, &status);
    if (!WaitForState(name, SERVICE_STOPPED, ms)) {
      // A service told to ignore stop requests: end its process.
      DWORD pid = QueryFacts(name).processId;
      if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(p, 1);
        WaitForSingleObject(p, 5000);
        CloseHandle(p);
      }
      WaitForState(name, SERVICE_STOPPED, 5000);
    }
    DeleteService(s);
    CloseServiceHandle(s);
  }
  CloseServiceHandle(scm);
  DWORD start = GetTickCount();
  while (QueryFacts(name).installed && GetTickCount() - start < 5000) Sleep(100);
  return !QueryFacts(name).installed;
}

void ForceRemoveBoth() {
  ForceRemoveService("ZarqSMS", 3000);
  ForceRemoveService("ZarqMMSC", 3000);
}

bool CreateServiceByHand(const char* name, const char* display, const std::string& exe) {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!scm) return false;
  SC_HANDLE s = CreateServiceA(scm, name, display, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                               SERVICE_ERROR_IGNORE, exe.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  if (s) CloseServiceHandle(s);
  CloseServiceHandle(scm);
  return s != nullptr;
}

bool WaitForBox(DWORD ms, SeenBox* box) {
  DWORD start = GetTickCount();
  for (;;) {
    BoxSearch s = {box, false};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
    if (s.found && !box->text.empty()) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(50);
  }
}

void PressBox(const SeenBox& box, int id) {
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  DWORD start = GetTickCount();
  while (IsWindow(box.window) && GetTickCount() - start < 5000) Sleep(20);
}

HWND FindTopWindow(DWORD processId, const char* captionPart, DWORD ms) {
  DWORD start = GetTickCount();
  for (;;) {
    WindowSearch s = {processId, captionPart, nullptr};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&s));
    if (s.found || GetTickCount() - start >= ms) return s.found;
    Sleep(50);
  }
}

Program::~Program() {
  if (process) {
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 1);
    {
      std::lock_guard<std::mutex> hold(g_startedLock);
      g_started.erase(id);
    }
    CloseHandle(process);
  }
}

DWORD Program::Wait(DWORD ms) {
  if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  return code;
}

bool StartProgram(Program* p, const std::string& exe, const std::string& arguments,
                  const std::vector<std::string>& extraEnv) {
  // The child inherits this process's environment, changed for the moment.
  std::vector<std::pair<std::string, std::string>> saved;
  for (const std::string& pair : extraEnv) {
    std::string name = pair.substr(0, pair.find('='));
    char old[1024];
    DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof old);
    saved.emplace_back(name, n && n < sizeof old ? std::string(old) : std::string("\x01"));
    SetEnvironmentVariableA(name.c_str(), pair.substr(name.size() + 1).c_str());
  }
  std::string commandLine = "\"" + exe + "\" " + arguments;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  BOOL ok = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  for (auto& [name, value] : saved) SetEnvironmentVariableA(name.c_str(), value == "\x01" ? nullptr : value.c_str());
  if (!ok) return false;
  CloseHandle(pi.hThread);
  p->process = pi.hProcess;
  p->id = pi.dwProcessId;
  std::lock_guard<std::mutex> hold(g_startedLock);
  g_started.insert(p->id);
  return true;
}

const char kRightsForChange[] = "Administrator rights are required for service installation or modification.";
const char kRightsForInstall[] = "Administrator rights are required for service installation.";
const char kRightsForRemove[] = "Administrator rights are required for service modification.";
const char kElevationQuestion[] =
    "Administrator rights are required for service installation or modification.\r\n\r\nIf you continue, Windows "
    "will ask you to confirm that you will allow this application to assume administrator rights to perform this "
    "task.\r\n\r\nDo you wish to continue?";

std::string ShortPath(const std::string& path) {
  char s[MAX_PATH];
  DWORD n = GetShortPathNameA(path.c_str(), s, sizeof s);
  return n && n < sizeof s ? std::string(s) : path;
}

void ExpectConfigured(const std::string& what) {
  struct {
    const char* name;
    const char* display;
    const char* exe;
  } rows[] = {{"ZarqSMS", "Zarq SMS Gateway Lite Edition", "ZARQGATESVC.EXE"},
              {"ZarqMMSC", "Zarq MMS Gateway Lite Edition", "ZARQRELAYSVC.EXE"}};
  for (auto& row : rows) {
    std::string tag = what + ", " + row.name;
    ServiceFacts f = QueryFacts(row.name);
    EXPECT_TRUE(f.installed) << tag;
    EXPECT_EQ(f.serviceType & 0xff, DWORD(SERVICE_WIN32_OWN_PROCESS)) << tag;
    EXPECT_EQ(f.startType, DWORD(SERVICE_AUTO_START)) << tag;
    EXPECT_EQ(f.errorControl, DWORD(SERVICE_ERROR_NORMAL)) << tag;
    EXPECT_EQ(f.binaryPath, ShortPath(BinDirectory() + row.exe)) << tag;
    EXPECT_EQ(f.displayName, row.display) << tag;
    EXPECT_EQ(f.group, "") << tag;
    EXPECT_EQ(f.dependencies, "") << tag;
    EXPECT_TRUE(f.account.empty() || f.account == "LocalSystem") << tag << ": " << f.account;
  }
}

std::string FirewallLog(const std::string& log) {
  std::string text;
  for (int i = 0; i < 50; ++i, Sleep(100)) {
    text = ReadFileText(log);
    if (std::count(text.begin(), text.end(), '\n') >= 2) break;
  }
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\n', start);
    if (end == std::string::npos) end = text.size() - 1;
    lines.push_back(text.substr(start, end + 1 - start));
  }
  std::sort(lines.begin(), lines.end());
  std::string sorted;
  for (const std::string& line : lines) sorted += line;
  return sorted;
}

std::string ExpectedFirewallLog(const std::string& dir) {
  return "\"" + dir + "ZARQGATE.EXE\" \"Zarq SMS Gateway Lite Edition\"\r\n\"" + dir +
         "ZARQRELAY.EXE\" \"Zarq MMS Gateway Lite Edition\"\r\n";
}
