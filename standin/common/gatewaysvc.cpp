#include "gatewaysvc.h"

#include <cstdio>
#include <cstring>

#include "core/textrules.h"
#include "events.h"
#include "gateway/zarqacct.h"

namespace gatewaysvc {
namespace {

constexpr DWORD kPollMs = 250;
constexpr DWORD kRebindMs = 5000;
constexpr int kMaxPorts = 4;

const Description* g_desc;
SERVICE_STATUS_HANDLE g_statusHandle;
SERVICE_STATUS g_status;
HANDLE g_stopEvent;
char g_ini[MAX_PATH];

void Report(DWORD state, DWORD exitCode = NO_ERROR) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  g_status.dwWin32ExitCode = exitCode;
  g_status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 5000;
  if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
    ++g_status.dwCheckPoint;
  else
    g_status.dwCheckPoint = 0;
  SetServiceStatus(g_statusHandle, &g_status);
}

bool IgnoresStopRequests() {
  char value[16];
  GetPrivateProfileStringA(g_desc->section, "IgnoreStopRequests", "", value, sizeof value, g_ini);
  return IsYesValue(value);
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      if (control == SERVICE_CONTROL_STOP && IgnoresStopRequests()) return NO_ERROR;
      SetEvent(g_stopEvent);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// The block is created in the global namespace so that the setup program
// finds it from any session; a process without that privilege (run outside
// the service manager) falls back to its own session's namespace.
struct Block {
  HANDLE mapping = nullptr;
  unsigned char* view = nullptr;

  bool Create(const char* name) {
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);  // open to the setup program of any user
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    char global[128];
    snprintf(global, sizeof global, "Global\\%s", name);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, kStatusBlockSize, global);
    if (!mapping) mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, kStatusBlockSize, name);
    if (!mapping) return false;
    view = static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kStatusBlockSize));
    if (!view) {
      CloseHandle(mapping);
      mapping = nullptr;
      return false;
    }
    // A block kept open by a controller survives a restart: start clean.
    memset(view, 0, 16);
    return true;
  }
  ~Block() {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
  }
};

struct Listener {
  unsigned port = 0;
  unsigned conflictByte = 0;
  void (*serve)(SOCKET client, const char* ini) = nullptr;
  SOCKET socket = INVALID_SOCKET;
};

SOCKET OpenListener(unsigned port, int* error) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  *error = s == INVALID_SOCKET ? WSAGetLastError() : 0;
  if (s == INVALID_SOCKET) return s;
  BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = htons(static_cast<u_short>(port));
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, SOMAXCONN) != 0) {
    *error = WSAGetLastError();
    closesocket(s);
    return INVALID_SOCKET;
  }
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  return s;
}

// Opens every configured port that is not open yet and publishes which ones
// another program holds; a port newly refused is reported once.
void BindPorts(Listener* listeners, int count, unsigned char* view) {
  for (int i = 0; i < count; ++i) {
    Listener& l = listeners[i];
    if (l.port == 0 || l.socket != INVALID_SOCKET) continue;
    int error = 0;
    l.socket = OpenListener(l.port, &error);
    unsigned char conflict = l.socket == INVALID_SOCKET ? 1 : 0;
    if (conflict && !view[l.conflictByte]) {
      char text[160];
      if (error == WSAEADDRINUSE)
        snprintf(text, sizeof text, "%s %u already in use", g_desc->ports[i].key, l.port);
      else
        snprintf(text, sizeof text, "%s %u cannot be opened (error %d)", g_desc->ports[i].key, l.port, error);
      ReportGatewayEvent(g_desc->serviceName, EVENTLOG_ERROR_TYPE, text);
    }
    view[l.conflictByte] = conflict;
  }
}

// The web interface's answer to any request, for now a page that names the
// gateway; the real interface comes with message processing.
void Answer(SOCKET client) {
  char request[2048];
  recv(client, request, sizeof request, 0);
  char reply[512];
  int body = static_cast<int>(strlen(g_desc->banner)) + 2;
  int n = snprintf(reply, sizeof reply,
                   "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s\r\n",
                   body, g_desc->banner);
  if (n > 0) send(client, reply, n, 0);
  closesocket(client);
}

void Serve(Listener* listeners, int count) {
  fd_set ready;
  FD_ZERO(&ready);
  for (int i = 0; i < count; ++i)
    if (listeners[i].socket != INVALID_SOCKET) FD_SET(listeners[i].socket, &ready);
  if (ready.fd_count == 0) {
    WaitForSingleObject(g_stopEvent, kPollMs);
    return;
  }
  timeval wait = {0, static_cast<long>(kPollMs * 1000)};
  if (select(0, &ready, nullptr, nullptr, &wait) <= 0) return;
  for (int i = 0; i < count; ++i) {
    if (listeners[i].socket == INVALID_SOCKET || !FD_ISSET(listeners[i].socket, &ready)) continue;
    SOCKET client = accept(listeners[i].socket, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    u_long blocking = 0;
    ioctlsocket(client, FIONBIO, &blocking);
    DWORD timeout = 2000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    if (listeners[i].serve)
      listeners[i].serve(client, g_ini);
    else
      Answer(client);
  }
}

bool StopRequested(const unsigned char* view) {
  if (WaitForSingleObject(g_stopEvent, 0) == WAIT_OBJECT_0) return true;
  return g_desc->honoursStopRequestByte && view[0] == 1 && !IgnoresStopRequests();
}

unsigned ReadPort(const PortSetting& setting) {
  char value[32];
  GetPrivateProfileStringA(g_desc->section, setting.key, "", value, sizeof value, g_ini);
  unsigned port = DecimalValue(value);
  if (port == 0) port = setting.defaultPort;
  return port <= 65535 ? port : 0;
}

DWORD WINAPI RunWorker(void*) {
  g_desc->worker(g_stopEvent, g_ini);
  return 0;
}

void WINAPI ServiceMain(DWORD, char**) {
  g_statusHandle = RegisterServiceCtrlHandlerExA(g_desc->serviceName, OnControl, nullptr);
  if (!g_statusHandle) return;
  Report(SERVICE_START_PENDING);

  char dir[MAX_PATH];
  GetProgramDataDirectory(dir);
  CopyBounded(g_ini, sizeof g_ini, dir);
  BoundedAppend(g_ini, sizeof g_ini, g_desc->iniName);

  g_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  WSADATA wsa;
  bool winsock = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  Block block;
  if (!g_stopEvent || !block.Create(g_desc->blockName)) {
    if (winsock) WSACleanup();
    Report(SERVICE_STOPPED, ERROR_NOT_ENOUGH_MEMORY);
    return;
  }

  Listener listeners[kMaxPorts];
  int count = g_desc->portCount < kMaxPorts ? g_desc->portCount : kMaxPorts;
  for (int i = 0; i < count; ++i) {
    listeners[i].port = winsock ? ReadPort(g_desc->ports[i]) : 0;
    listeners[i].conflictByte = g_desc->ports[i].conflictByte;
    listeners[i].serve = g_desc->ports[i].serve;
  }
  BindPorts(listeners, count, block.view);
  HANDLE worker = g_desc->worker ? CreateThread(nullptr, 0, RunWorker, nullptr, 0, nullptr) : nullptr;
  Report(SERVICE_RUNNING);
  char event[128];
  snprintf(event, sizeof event, "%s service started", g_desc->serviceName);
  ReportGatewayEvent(g_desc->serviceName, EVENTLOG_INFORMATION_TYPE, event);

  // Message processing (queues, logs, counters) will run in this loop.
  DWORD lastBind = GetTickCount();
  while (!StopRequested(block.view)) {
    Serve(listeners, count);
    if (GetTickCount() - lastBind >= kRebindMs) {
      BindPorts(listeners, count, block.view);
      lastBind = GetTickCount();
    }
  }

  Report(SERVICE_STOP_PENDING);
  SetEvent(g_stopEvent);
  if (worker) {
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
  }
  for (int i = 0; i < count; ++i)
    if (listeners[i].socket != INVALID_SOCKET) closesocket(listeners[i].socket);
  if (winsock) WSACleanup();
  CloseHandle(g_stopEvent);
  snprintf(event, sizeof event, "%s service stopped", g_desc->serviceName);
  ReportGatewayEvent(g_desc->serviceName, EVENTLOG_INFORMATION_TYPE, event);
  Report(SERVICE_STOPPED);
}

}  // namespace

int Run(const Description& description) {
  g_desc = &description;
  char name[64];
  CopyBounded(name, sizeof name, description.serviceName);
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : static_cast<int>(GetLastError());
}

}  // namespace gatewaysvc
