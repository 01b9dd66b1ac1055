// TAPI 2.x line devices for Wine runs, whose own tapi32 reports success without
// doing anything. The line devices are the Windows modems installed in the
// registry; a call is a pass-through data-modem call whose "comm/datamodem"
// identifier is the modem's opened serial port. State is per process (there is
// no telephony server), which is all a modem-testing program can observe.
//
// Test switches under a modem's key (all optional):
//   ZarqTapiFail        REG_SZ    comma list: open, call, callreply, getid, portname
//   ZarqTapiBaud        REG_DWORD line speed set on the port at lineOpen (default 115200)
//   ZarqTapiMediaModes  REG_DWORD media modes reported (default LINEMEDIAMODE_DATAMODEM)
//   ZarqTapiCallDelay   REG_DWORD ms before a lineMakeCall completes (default 100)
#include <windows.h>
#include <tapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "serialline.h"

// tapi.h maps these names to their ANSI forms; the DLL exports both spellings.
#undef lineGetDevCaps
#undef lineOpen
#undef lineMakeCall
#undef lineGetID

extern "C" {
LONG WINAPI lineGetDevCaps(HLINEAPP, DWORD, DWORD, DWORD, LPLINEDEVCAPS);
LONG WINAPI lineOpen(HLINEAPP, DWORD, LPHLINE, DWORD, DWORD, DWORD_PTR, DWORD, DWORD, LPLINECALLPARAMS);
LONG WINAPI lineMakeCall(HLINE, LPHCALL, LPCSTR, DWORD, LPLINECALLPARAMS);
LONG WINAPI lineGetID(HLINE, DWORD, HCALL, DWORD, LPVARSTRING, LPCSTR);
}

namespace {

const char kModemClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";
const DWORD kVersions[] = {0x00010003, 0x00010004, 0x00020000, 0x00020001, 0x00020002};
const DWORD kLowestVersion = 0x00010003;
const DWORD kHighestVersion = 0x00020002;
const char kProviderInfo[] = "Zarq modem lines";
// Device classes answered by lineGetID, as listed in the capabilities.
const char kDeviceClasses[] = "comm\0comm/datamodem\0comm/datamodem/portname\0tapi/line\0";
const UINT kDeliverMessage = WM_APP + 0x54;
const DWORD kMaxNameBytes = 65536;

enum Failure : unsigned { kFailOpen = 1, kFailCall = 2, kFailCallReply = 4, kFailGetId = 8, kFailPortName = 16 };

struct Device {
  std::string key;   // "0000"
  std::string name;  // FriendlyName
  std::string port;  // AttachedTo, e.g. "COM3"
  DWORD baud = 115200;
  DWORD mediaModes = LINEMEDIAMODE_DATAMODEM;
  DWORD callDelay = 100;  // ms from lineMakeCall to its LINE_REPLY
  unsigned failures = 0;
};

struct App {
  HINSTANCE instance = nullptr;
  LINECALLBACK callback = nullptr;
  DWORD options = 0;
  HANDLE event = nullptr;  // ours in event mode
  HANDLE completionPort = nullptr;
  DWORD completionKey = 0;
  HWND window = nullptr;  // hidden-window mode
  std::deque<LINEMESSAGE> queue;
  std::vector<Device> devices;
};

struct Line {
  HLINEAPP app = 0;
  DWORD device = 0;
  DWORD version = 0;
  DWORD_PTR instance = 0;
  HANDLE comm = INVALID_HANDLE_VALUE;
  HCALL call = 0;
  DWORD pendingRequest = 0;  // a lineMakeCall not yet completed
};

struct Call {
  HLINE line = 0;
  DWORD state = LINECALLSTATE_IDLE;
};

CRITICAL_SECTION g_lock;
HMODULE g_module;
DWORD g_nextHandle = 0x10000;
LONG g_nextRequest = 0;
std::map<DWORD, App> g_apps;
std::map<DWORD, Line> g_lines;
std::map<DWORD, Call> g_calls;

struct Lock {
  Lock() { EnterCriticalSection(&g_lock); }
  ~Lock() { LeaveCriticalSection(&g_lock); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
};

DWORD NewHandle() { return ++g_nextHandle; }

bool KnownVersion(DWORD version) {
  return std::find(std::begin(kVersions), std::end(kVersions), version) != std::end(kVersions);
}

// -- registry -----------------------------------------------------------------

bool ReadString(HKEY key, const char* name, std::string& out) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxNameBytes) return false;
  std::vector<char> buf(size + 1, '\0');
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS)
    return false;
  out.assign(buf.data());  // up to the first NUL, whatever the stored size says
  return true;
}

bool ReadDword(HKEY key, const char* name, DWORD& out) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return false;
  out = value;
  return true;
}

unsigned ParseFailures(const std::string& text) {
  static const struct {
    const char* word;
    unsigned bit;
  } words[] = {{"open", kFailOpen}, {"call", kFailCall}, {"callreply", kFailCallReply},
               {"getid", kFailGetId}, {"portname", kFailPortName}};
  unsigned bits = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(pos, end - pos);
    word.erase(0, word.find_first_not_of(' '));
    word.erase(word.find_last_not_of(' ') + 1);
    for (const auto& w : words)
      if (lstrcmpiA(word.c_str(), w.word) == 0) bits |= w.bit;
    pos = end + 1;
  }
  return bits;
}

// The installed modems, in the order of their key names.
std::vector<Device> ReadDevices() {
  std::vector<Device> devices;
  HKEY cls;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kModemClassKey, 0, KEY_READ, &cls) != ERROR_SUCCESS) return devices;
  std::vector<std::string> keys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    LONG rc = RegEnumKeyExA(cls, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS) keys.push_back(name);
  }
  std::sort(keys.begin(), keys.end());
  for (const std::string& k : keys) {
    HKEY modem;
    if (RegOpenKeyExA(cls, k.c_str(), 0, KEY_READ, &modem) != ERROR_SUCCESS) continue;
    Device d;
    d.key = k;
    if (ReadString(modem, "FriendlyName", d.name) && !d.name.empty()) {
      ReadString(modem, "AttachedTo", d.port);
      ReadDword(modem, "ZarqTapiBaud", d.baud);
      ReadDword(modem, "ZarqTapiMediaModes", d.mediaModes);
      ReadDword(modem, "ZarqTapiCallDelay", d.callDelay);
      std::string fail;
      if (ReadString(modem, "ZarqTapiFail", fail)) d.failures = ParseFailures(fail);
      devices.push_back(d);
    }
    RegCloseKey(modem);
  }
  RegCloseKey(cls);
  return devices;
}

// -- messages -----------------------------------------------------------------

// Queues a message for the application; called with the lock held.
void Post(App& app, DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
  LINEMESSAGE m = {};
  m.hDevice = device;
  m.dwMessageID = message;
  m.dwCallbackInstance = instance;
  m.dwParam1 = p1;
  m.dwParam2 = p2;
  m.dwParam3 = p3;
  if (app.options == LINEINITIALIZEEXOPTION_USECOMPLETIONPORT) {
    // The application frees each message with LocalFree.
    LINEMESSAGE* copy = static_cast<LINEMESSAGE*>(LocalAlloc(LMEM_FIXED, sizeof m));
    if (!copy) return;
    *copy = m;
    if (!PostQueuedCompletionStatus(app.completionPort, sizeof m, app.completionKey,
                                    reinterpret_cast<LPOVERLAPPED>(copy)))
      LocalFree(copy);
    return;
  }
  app.queue.push_back(m);
  if (app.options == LINEINITIALIZEEXOPTION_USEEVENT)
    SetEvent(app.event);
  else
    PostMessageA(app.window, kDeliverMessage, 0, 0);
}

// Hidden-window mode: the callback runs in the thread that initialised,
// from its message loop, outside the lock.
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != kDeliverMessage) return DefWindowProcA(hwnd, msg, wp, lp);
  DWORD handle = DWORD(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  for (;;) {
    LINEMESSAGE m;
    LINECALLBACK callback;
    {
      Lock lock;
      auto it = g_apps.find(handle);
      if (it == g_apps.end() || it->second.queue.empty()) break;
      m = it->second.queue.front();
      it->second.queue.pop_front();
      callback = it->second.callback;
    }
    callback(m.hDevice, m.dwMessageID, m.dwCallbackInstance, m.dwParam1, m.dwParam2, m.dwParam3);
  }
  return 0;
}

HWND CreateHiddenWindow(DWORD handle) {
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = g_module;
    wc.lpszClassName = "ZarqTapiWindow";
    atom = RegisterClassA(&wc);
    if (!atom && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) atom = 1;
    if (!atom) return nullptr;
  }
  HWND hwnd = CreateWindowExA(0, "ZarqTapiWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, g_module, nullptr);
  if (hwnd) SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(handle));
  return hwnd;
}

// -- lines and calls ----------------------------------------------------------

HANDLE OpenModemPort(const Device& d) {
  if (d.port.empty()) return INVALID_HANDLE_VALUE;
  std::string path = "\\\\.\\" + d.port;
  if (!path.empty() && path.back() == ':') path.pop_back();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  // As a modem driver leaves it: queues, the modem's speed, 8N1, bounded reads.
  SetupComm(h, 1024, 1024);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(h, &dcb)) {
    SetModemLineFormat(&dcb, d.baud);
    SetCommState(h, &dcb);
  }
  COMMTIMEOUTS t = {200, 0, 1000, 0, 2000};
  SetCommTimeouts(h, &t);
  return h;
}

void CloseLine(DWORD handle) {
  auto it = g_lines.find(handle);
  if (it == g_lines.end()) return;
  if (it->second.call) g_calls.erase(it->second.call);
  if (it->second.comm != INVALID_HANDLE_VALUE) CloseHandle(it->second.comm);
  g_lines.erase(it);
}

App* FindApp(HLINEAPP handle) {
  auto it = g_apps.find(handle);
  return it == g_apps.end() ? nullptr : &it->second;
}

Line* FindLine(HLINE handle) {
  auto it = g_lines.find(handle);
  return it == g_lines.end() ? nullptr : &it->second;
}

Call* FindCall(HCALL handle) {
  auto it = g_calls.find(handle);
  return it == g_calls.end() ? nullptr : &it->second;
}

const Device* DeviceOf(const Line& line) {
  App* app = FindApp(line.app);
  if (!app || line.device >= app->devices.size()) return nullptr;
  return &app->devices[line.device];
}

// Fills a VARSTRING as TAPI does: the fixed part always, the string only when
// all of it fits (dwNeededSize tells the caller how much to give).
bool VarStringTooSmall(LPVARSTRING out, DWORD format, DWORD size) {
  out->dwNeededSize = sizeof(VARSTRING) + size;
  out->dwStringFormat = format;
  if (out->dwTotalSize >= out->dwNeededSize) return false;
  out->dwUsedSize = sizeof(VARSTRING);
  out->dwStringSize = 0;
  out->dwStringOffset = 0;
  return true;
}

LONG FillVarString(LPVARSTRING out, DWORD format, const void* data, DWORD size) {
  if (VarStringTooSmall(out, format, size)) return 0;
  memcpy(reinterpret_cast<BYTE*>(out) + sizeof(VARSTRING), data, size);
  out->dwUsedSize = out->dwNeededSize;
  out->dwStringSize = size;
  out->dwStringOffset = sizeof(VARSTRING);
  return 0;
}

// Ends a lineMakeCall: the call handle is written to the caller's variable
// (which must live until LINE_REPLY) and the reply queued. Lock held. A line
// closed meanwhile gets nothing: its application has given up on the call.
void CompleteCall(HLINE hLine, DWORD request, LPHCALL lphCall) {
  Line* line = FindLine(hLine);
  if (!line || line->pendingRequest != request) return;
  line->pendingRequest = 0;
  const Device* d = DeviceOf(*line);
  App* app = FindApp(line->app);
  if (!d || !app) return;
  if (d->failures & kFailCallReply) {
    Post(*app, 0, LINE_REPLY, line->instance, request, DWORD_PTR(LONG_PTR(LINEERR_OPERATIONFAILED)), 0);
    return;
  }
  DWORD handle = NewHandle();
  Call call;
  call.line = hLine;
  call.state = LINECALLSTATE_CONNECTED;
  g_calls[handle] = call;
  line->call = handle;
  *lphCall = handle;
  Post(*app, 0, LINE_REPLY, line->instance, request, 0, 0);
  Post(*app, handle, LINE_CALLSTATE, line->instance, LINECALLSTATE_CONNECTED, 0, LINECALLPRIVILEGE_OWNER);
}

struct PendingCall {
  HLINE line;
  DWORD request;
  LPHCALL out;
  DWORD delay;
};

DWORD WINAPI CompleteLater(LPVOID param) {
  PendingCall* p = static_cast<PendingCall*>(param);
  Sleep(p->delay);
  {
    Lock lock;
    CompleteCall(p->line, p->request, p->out);
  }
  delete p;
  return 0;
}

LONG Initialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback, LPDWORD lpdwNumDevs,
                LPLINEINITIALIZEEXPARAMS params) {
  if (!lphLineApp || !lpdwNumDevs) return LINEERR_INVALPOINTER;
  DWORD options = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  if (params) {
    if (params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS)) {
      params->dwNeededSize = sizeof(LINEINITIALIZEEXPARAMS);
      return LINEERR_STRUCTURETOOSMALL;
    }
    if (params->dwOptions) options = params->dwOptions;
  }
  if (options != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW && options != LINEINITIALIZEEXOPTION_USEEVENT &&
      options != LINEINITIALIZEEXOPTION_USECOMPLETIONPORT)
    return LINEERR_INVALPARAM;
  if (options == LINEINITIALIZEEXOPTION_USEHIDDENWINDOW && !lpfnCallback) return LINEERR_INVALPOINTER;
  if (options == LINEINITIALIZEEXOPTION_USECOMPLETIONPORT && !params->Handles.hCompletionPort)
    return LINEERR_INVALPARAM;

  App app;
  app.instance = hInstance;
  app.callback = lpfnCallback;
  app.options = options;
  app.devices = ReadDevices();
  Lock lock;
  DWORD handle = NewHandle();
  if (options == LINEINITIALIZEEXOPTION_USEEVENT) {
    // Manual reset: signalled while messages wait, as TAPI keeps it.
    app.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!app.event) return LINEERR_NOMEM;
    params->Handles.hEvent = app.event;
  } else if (options == LINEINITIALIZEEXOPTION_USECOMPLETIONPORT) {
    app.completionPort = params->Handles.hCompletionPort;
    app.completionKey = params->dwCompletionKey;
  } else {
    app.window = CreateHiddenWindow(handle);
    if (!app.window) return LINEERR_NOMEM;
  }
  if (params) {
    params->dwNeededSize = sizeof(LINEINITIALIZEEXPARAMS);
    params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
  }
  *lpdwNumDevs = DWORD(app.devices.size());
  g_apps[handle] = app;
  *lphLineApp = handle;
  return 0;
}

}  // namespace

// -- exported -------------------------------------------------------------------

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    InitializeCriticalSection(&g_lock);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

LONG WINAPI lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                              LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                              LPLINEINITIALIZEEXPARAMS lpLineInitializeExParams) {
  if (!lpdwAPIVersion) return LINEERR_INVALPOINTER;
  if (*lpdwAPIVersion < 0x00020000) return LINEERR_INCOMPATIBLEAPIVERSION;
  LONG rc = Initialize(lphLineApp, hInstance, lpfnCallback, lpdwNumDevs, lpLineInitializeExParams);
  if (rc == 0) *lpdwAPIVersion = kHighestVersion;
  return rc;
}

LONG WINAPI lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                           LPCSTR lpszAppName, LPDWORD lpdwNumDevs) {
  return Initialize(lphLineApp, hInstance, lpfnCallback, lpdwNumDevs, nullptr);
}

LONG WINAPI lineShutdown(HLINEAPP hLineApp) {
  HWND window = nullptr;
  {
    Lock lock;
    App* app = FindApp(hLineApp);
    if (!app) return LINEERR_INVALAPPHANDLE;
    std::vector<DWORD> lines;
    for (const auto& l : g_lines)
      if (l.second.app == hLineApp) lines.push_back(l.first);
    for (DWORD l : lines) CloseLine(l);
    if (app->event) CloseHandle(app->event);
    window = app->window;
    g_apps.erase(hLineApp);
  }
  if (window) {
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
      DestroyWindow(window);
    else
      PostMessageA(window, WM_CLOSE, 0, 0);
  }
  return 0;
}

LONG WINAPI lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                    DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                    LPLINEEXTENSIONID lpExtensionID) {
  Lock lock;
  App* app = FindApp(hLineApp);
  if (!app) return LINEERR_INVALAPPHANDLE;
  if (!lpdwAPIVersion || !lpExtensionID) return LINEERR_INVALPOINTER;
  if (dwDeviceID >= app->devices.size()) return LINEERR_BADDEVICEID;
  if (dwAPILowVersion > dwAPIHighVersion || dwAPIHighVersion < kLowestVersion || dwAPILowVersion > kHighestVersion)
    return LINEERR_INCOMPATIBLEAPIVERSION;
  DWORD chosen = 0;
  for (DWORD v : kVersions)
    if (v >= dwAPILowVersion && v <= dwAPIHighVersion) chosen = v;
  if (!chosen) return LINEERR_INCOMPATIBLEAPIVERSION;
  *lpdwAPIVersion = chosen;
  memset(lpExtensionID, 0, sizeof *lpExtensionID);
  return 0;
}

LONG WINAPI lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                            LPLINEDEVCAPS lpLineDevCaps) {
  Lock lock;
  App* app = FindApp(hLineApp);
  if (!app) return LINEERR_INVALAPPHANDLE;
  if (dwDeviceID >= app->devices.size()) return LINEERR_BADDEVICEID;
  if (!KnownVersion(dwAPIVersion)) return LINEERR_INCOMPATIBLEAPIVERSION;
  if (dwExtVersion) return LINEERR_INCOMPATIBLEEXTVERSION;
  if (!lpLineDevCaps) return LINEERR_INVALPOINTER;
  // The fixed part grows with the version the application negotiated.
  DWORD fixed = dwAPIVersion < 0x00010004   ? offsetof(LINEDEVCAPS, dwLineFeatures)
                : dwAPIVersion < 0x00020000 ? offsetof(LINEDEVCAPS, dwSettableDevStatus)
                : dwAPIVersion < 0x00020002 ? offsetof(LINEDEVCAPS, PermanentLineGuid)
                                            : offsetof(LINEDEVCAPS, dwAddressTypes);
  DWORD total = lpLineDevCaps->dwTotalSize;
  if (total < fixed) return LINEERR_STRUCTURETOOSMALL;
  const Device& d = app->devices[dwDeviceID];

  BYTE* base = reinterpret_cast<BYTE*>(lpLineDevCaps);
  memset(base, 0, fixed);
  LINEDEVCAPS& c = *lpLineDevCaps;
  c.dwTotalSize = total;
  c.dwPermanentLineID = dwDeviceID + 1;
  c.dwStringFormat = STRINGFORMAT_ASCII;
  c.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
  c.dwNumAddresses = 1;
  c.dwBearerModes = LINEBEARERMODE_PASSTHROUGH;
  c.dwMaxRate = d.baud;
  c.dwMediaModes = d.mediaModes;
  c.dwDevCapFlags = LINEDEVCAPFLAGS_CLOSEDROP;
  c.dwMaxNumActiveCalls = 1;
  c.dwAnswerMode = LINEANSWERMODE_NONE;
  c.dwLineStates = LINEDEVSTATE_OTHER | LINEDEVSTATE_OPEN | LINEDEVSTATE_CLOSE;
  if (dwAPIVersion >= 0x00010004) c.dwLineFeatures = LINEFEATURE_MAKECALL;

  struct Part {
    const void* data;
    DWORD size;
    DWORD* sizeField;
    DWORD* offsetField;
  } parts[] = {
      {kProviderInfo, DWORD(sizeof kProviderInfo), &c.dwProviderInfoSize, &c.dwProviderInfoOffset},
      {d.name.c_str(), DWORD(d.name.size() + 1), &c.dwLineNameSize, &c.dwLineNameOffset},
      {kDeviceClasses, DWORD(sizeof kDeviceClasses), &c.dwDeviceClassesSize, &c.dwDeviceClassesOffset},
  };
  size_t count = dwAPIVersion >= 0x00020000 ? 3 : 2;
  DWORD needed = fixed;
  for (size_t i = 0; i < count; ++i) needed += parts[i].size;
  c.dwNeededSize = needed;
  c.dwUsedSize = fixed;
  if (total >= needed) {
    DWORD at = fixed;
    for (size_t i = 0; i < count; ++i) {
      memcpy(base + at, parts[i].data, parts[i].size);
      *parts[i].sizeField = parts[i].size;
      *parts[i].offsetField = at;
      at += parts[i].size;
    }
    c.dwUsedSize = needed;
  }
  return 0;
}

LONG WINAPI lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                           LPLINEDEVCAPS lpLineDevCaps) {
  return lineGetDevCapsA(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps);
}

LONG WINAPI lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                      DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                      LPLINECALLPARAMS lpCallParams) {
  Lock lock;
  App* app = FindApp(hLineApp);
  if (!app) return LINEERR_INVALAPPHANDLE;
  if (dwDeviceID >= app->devices.size()) return LINEERR_BADDEVICEID;
  if (!lphLine) return LINEERR_INVALPOINTER;
  if (!KnownVersion(dwAPIVersion)) return LINEERR_INCOMPATIBLEAPIVERSION;
  if (dwExtVersion) return LINEERR_INCOMPATIBLEEXTVERSION;
  const DWORD privileges = LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER;
  if (dwPrivileges & ~privileges) return LINEERR_INVALPRIVSELECT;
  const Device& d = app->devices[dwDeviceID];
  if ((dwPrivileges & LINECALLPRIVILEGE_OWNER) && (!dwMediaModes || (dwMediaModes & ~d.mediaModes)))
    return LINEERR_INVALMEDIAMODE;
  if (d.failures & kFailOpen) return LINEERR_OPERATIONFAILED;
  Line line;
  line.app = hLineApp;
  line.device = dwDeviceID;
  line.version = dwAPIVersion;
  line.instance = dwCallbackInstance;
  // The modem's port is held from open to close, as a modem driver does.
  line.comm = OpenModemPort(d);
  if (line.comm == INVALID_HANDLE_VALUE) return LINEERR_RESOURCEUNAVAIL;
  DWORD handle = NewHandle();
  g_lines[handle] = line;
  *lphLine = handle;
  return 0;
}

LONG WINAPI lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                     DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                     LPLINECALLPARAMS lpCallParams) {
  return lineOpenA(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivileges,
                   dwMediaModes, lpCallParams);
}

LONG WINAPI lineClose(HLINE hLine) {
  Lock lock;
  if (!FindLine(hLine)) return LINEERR_INVALLINEHANDLE;
  CloseLine(hLine);
  return 0;
}

// Only pass-through calls: the application talks to the modem itself over the
// "comm/datamodem" handle; nothing is dialled here.
LONG WINAPI lineMakeCallA(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                          LPLINECALLPARAMS lpCallParams) {
  Lock lock;
  Line* line = FindLine(hLine);
  if (!line) return LINEERR_INVALLINEHANDLE;
  if (!lphCall) return LINEERR_INVALPOINTER;
  if (!lpCallParams) return LINEERR_INVALBEARERMODE;  // the default is a voice call
  DWORD fixed = line->version < 0x00020000 ? offsetof(LINECALLPARAMS, dwPredictiveAutoTransferStates)
                                           : offsetof(LINECALLPARAMS, dwAddressType);
  if (lpCallParams->dwTotalSize < fixed) return LINEERR_STRUCTURETOOSMALL;
  if (lpCallParams->dwBearerMode != LINEBEARERMODE_PASSTHROUGH) return LINEERR_INVALBEARERMODE;
  if (lpCallParams->dwMediaMode != LINEMEDIAMODE_DATAMODEM) return LINEERR_INVALMEDIAMODE;
  const Device* d = DeviceOf(*line);
  if (!d) return LINEERR_INVALLINEHANDLE;
  if (line->call || (d->failures & kFailCall)) return LINEERR_CALLUNAVAIL;
  if (line->pendingRequest) return LINEERR_CALLUNAVAIL;
  DWORD request = DWORD(InterlockedIncrement(&g_nextRequest)) & 0x7FFFFFFF;
  if (!request) request = DWORD(InterlockedIncrement(&g_nextRequest)) & 0x7FFFFFFF;
  line->pendingRequest = request;
  if (!d->callDelay) {
    CompleteCall(hLine, request, lphCall);
    return LONG(request);
  }
  PendingCall* pending = new (std::nothrow) PendingCall{hLine, request, lphCall, d->callDelay};
  HANDLE thread = pending ? CreateThread(nullptr, 0, CompleteLater, pending, 0, nullptr) : nullptr;
  if (!thread) {
    delete pending;
    line->pendingRequest = 0;
    return LINEERR_NOMEM;
  }
  CloseHandle(thread);
  return LONG(request);
}

LONG WINAPI lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                         LPLINECALLPARAMS lpCallParams) {
  return lineMakeCallA(hLine, lphCall, lpszDestAddress, dwCountryCode, lpCallParams);
}

LONG WINAPI lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
  Lock lock;
  Call* call = FindCall(hCall);
  if (!call) return LINEERR_INVALCALLHANDLE;
  Line* line = FindLine(call->line);
  if (!line) return LINEERR_INVALCALLHANDLE;
  DWORD request = DWORD(InterlockedIncrement(&g_nextRequest)) & 0x7FFFFFFF;
  App& app = g_apps[line->app];
  bool wasUp = call->state != LINECALLSTATE_IDLE;
  call->state = LINECALLSTATE_IDLE;
  Post(app, 0, LINE_REPLY, line->instance, request, 0, 0);
  if (wasUp) Post(app, hCall, LINE_CALLSTATE, line->instance, LINECALLSTATE_IDLE, 0, 0);
  return LONG(request);
}

LONG WINAPI lineDeallocateCall(HCALL hCall) {
  Lock lock;
  Call* call = FindCall(hCall);
  if (!call) return LINEERR_INVALCALLHANDLE;
  if (call->state != LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
  Line* line = FindLine(call->line);
  if (line) line->call = 0;
  g_calls.erase(hCall);
  return 0;
}

LONG WINAPI lineGetIDA(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
                       LPCSTR lpszDeviceClass) {
  Lock lock;
  Line* line = nullptr;
  Call* call = nullptr;
  if (dwSelect == LINECALLSELECT_CALL) {
    call = FindCall(hCall);
    if (!call) return LINEERR_INVALCALLHANDLE;
    line = FindLine(call->line);
    if (!line) return LINEERR_INVALCALLHANDLE;
  } else if (dwSelect == LINECALLSELECT_LINE || dwSelect == LINECALLSELECT_ADDRESS) {
    line = FindLine(hLine);
    if (!line) return LINEERR_INVALLINEHANDLE;
    if (dwSelect == LINECALLSELECT_ADDRESS && dwAddressID != 0) return LINEERR_INVALADDRESSID;
  } else {
    return LINEERR_INVALCALLSELECT;
  }
  if (!lpDeviceID || !lpszDeviceClass) return LINEERR_INVALPOINTER;
  if (lpDeviceID->dwTotalSize < sizeof(VARSTRING)) return LINEERR_STRUCTURETOOSMALL;
  const Device* d = DeviceOf(*line);
  if (!d) return LINEERR_INVALLINEHANDLE;

  if (lstrcmpiA(lpszDeviceClass, "comm/datamodem/portname") == 0 || lstrcmpiA(lpszDeviceClass, "comm") == 0) {
    if ((d->failures & kFailPortName) || d->port.empty()) return LINEERR_OPERATIONFAILED;
    return FillVarString(lpDeviceID, STRINGFORMAT_ASCII, d->port.c_str(), DWORD(d->port.size() + 1));
  }
  if (lstrcmpiA(lpszDeviceClass, "tapi/line") == 0) {
    DWORD id = line->device;
    return FillVarString(lpDeviceID, STRINGFORMAT_BINARY, &id, sizeof id);
  }
  if (lstrcmpiA(lpszDeviceClass, "comm/datamodem") == 0) {
    // The open port of the call: a handle of the caller's own, followed by the device name.
    if (!call) return LINEERR_OPERATIONUNAVAIL;
    if (call->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
    if (d->failures & kFailGetId) return LINEERR_OPERATIONFAILED;
    DWORD size = DWORD(sizeof(HANDLE) + d->name.size() + 1);
    if (VarStringTooSmall(lpDeviceID, STRINGFORMAT_BINARY, size)) return 0;
    HANDLE dup = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), line->comm, GetCurrentProcess(), &dup, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
      return LINEERR_OPERATIONFAILED;
    std::vector<BYTE> data(size);
    memcpy(data.data(), &dup, sizeof dup);
    memcpy(data.data() + sizeof dup, d->name.c_str(), d->name.size() + 1);
    return FillVarString(lpDeviceID, STRINGFORMAT_BINARY, data.data(), size);
  }
  return LINEERR_INVALDEVICECLASS;
}

LONG WINAPI lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, LPVARSTRING lpDeviceID,
                      LPCSTR lpszDeviceClass) {
  return lineGetIDA(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
}

LONG WINAPI lineGetMessage(HLINEAPP hLineApp, LPLINEMESSAGE lpMessage, DWORD dwTimeout) {
  HANDLE event;
  {
    Lock lock;
    App* app = FindApp(hLineApp);
    if (!app || app->options != LINEINITIALIZEEXOPTION_USEEVENT) return LINEERR_INVALAPPHANDLE;
    if (!lpMessage) return LINEERR_INVALPOINTER;
    event = app->event;
  }
  DWORD start = GetTickCount();
  for (;;) {
    {
      Lock lock;
      App* app = FindApp(hLineApp);
      if (!app) return LINEERR_INVALAPPHANDLE;
      if (!app->queue.empty()) {
        *lpMessage = app->queue.front();
        app->queue.pop_front();
        if (app->queue.empty()) ResetEvent(app->event);
        return 0;
      }
    }
    DWORD waited = GetTickCount() - start;
    if (dwTimeout != INFINITE && waited >= dwTimeout) return LINEERR_OPERATIONFAILED;
    DWORD left = dwTimeout == INFINITE ? INFINITE : dwTimeout - waited;
    if (WaitForSingleObject(event, left) != WAIT_OBJECT_0 && dwTimeout != INFINITE) {
      Lock lock;
      App* app = FindApp(hLineApp);
      if (!app || app->queue.empty()) return LINEERR_OPERATIONFAILED;
    }
  }
}

}  // extern "C"
