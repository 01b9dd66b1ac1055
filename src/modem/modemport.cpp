#include "modem/modemport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/msgbox.h"
#include "core/textrules.h"
#include "modem/atchannel.h"
#include "modem/modemclock.h"

namespace {

const DWORD kApiLow = 0x00010003;
const DWORD kApiHigh = 0x00020001;
const DWORD kCapsInitialSize = 1276;
const DWORD kCapsLimit = 1u << 20;  // a line's capabilities never come near this
const DWORD kIdBufferSize = 2048;
const DWORD kCallParamsSize = 176;  // LINECALLPARAMS of TAPI 2.x
const DWORD kMakeCallWaitMs = 60000;
const unsigned long kRestartPauseMs = 15000;
const size_t kPortSize = 100;  // fallback port: up to 99 characters

void CALLBACK IgnoreLineMessage(DWORD, DWORD, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

// A line device's capabilities, read by the growth rule; null when they
// cannot be read. Free with std::free.
LINEDEVCAPS* ReadDevCaps(HLINEAPP app, DWORD device, DWORD apiVersion) {
  DWORD size = kCapsInitialSize;
  for (;;) {
    if (size > kCapsLimit) return nullptr;
    auto* caps = static_cast<LINEDEVCAPS*>(std::calloc(1, size));
    if (!caps) return nullptr;
    caps->dwTotalSize = size;
    LONG rc = lineGetDevCapsA(app, device, apiVersion, 0, caps);
    if (rc == static_cast<LONG>(LINEERR_STRUCTURETOOSMALL)) {
      std::free(caps);
      size += 1024;
      continue;
    }
    if (rc != 0) {
      std::free(caps);
      return nullptr;
    }
    if (caps->dwNeededSize > caps->dwTotalSize) {
      size = caps->dwNeededSize;
      std::free(caps);
      continue;
    }
    return caps;
  }
}

// The line name inside `caps`, cut at its terminator and at the buffer's end.
std::string LineName(const LINEDEVCAPS* caps) {
  DWORD total = caps->dwTotalSize;
  DWORD offset = caps->dwLineNameOffset, length = caps->dwLineNameSize;
  if (!length || offset >= total) return std::string();
  if (length > total - offset) length = total - offset;
  const char* p = reinterpret_cast<const char*>(caps) + offset;
  return std::string(p, strnlen(p, length));
}

bool IsDataModem(const LINEDEVCAPS* caps) { return (caps->dwMediaModes & LINEMEDIAMODE_DATAMODEM) != 0; }

// The string of a VARSTRING answer, bounded by the buffer.
bool VarStringBytes(const VARSTRING* vs, const char** bytes, DWORD* length) {
  DWORD total = vs->dwTotalSize;
  if (vs->dwStringOffset >= total || vs->dwStringSize > total - vs->dwStringOffset) return false;
  *bytes = reinterpret_cast<const char*>(vs) + vs->dwStringOffset;
  *length = vs->dwStringSize;
  return true;
}

// "comm/datamodem/portname" of an open line, into `port` (kPortSize bytes).
bool LinePortName(HLINE line, char* port) {
  alignas(8) char buffer[kIdBufferSize] = {};
  auto* vs = reinterpret_cast<VARSTRING*>(buffer);
  vs->dwTotalSize = kIdBufferSize;
  if (lineGetIDA(line, 0, 0, LINECALLSELECT_LINE, vs, "comm/datamodem/portname") != 0) return false;
  const char* bytes;
  DWORD length;
  if (!VarStringBytes(vs, &bytes, &length)) return false;
  size_t n = strnlen(bytes, length);
  if (n >= kPortSize) n = kPortSize - 1;
  std::memcpy(port, bytes, n);
  port[n] = '\0';
  return true;
}

// "comm/datamodem" of a call: the comm handle in the string's first four bytes.
LONG CallCommHandle(HCALL call, HANDLE* comm) {
  alignas(8) char buffer[kIdBufferSize] = {};
  auto* vs = reinterpret_cast<VARSTRING*>(buffer);
  vs->dwTotalSize = kIdBufferSize;
  LONG rc = lineGetIDA(0, 0, call, LINECALLSELECT_CALL, vs, "comm/datamodem");
  if (rc != 0) return rc;
  const char* bytes;
  DWORD length;
  if (!VarStringBytes(vs, &bytes, &length) || length < 4) return static_cast<LONG>(LINEERR_OPERATIONFAILED);
  LONG value;
  std::memcpy(&value, bytes, 4);
  // Handles are 32-bit values, sign-extended on 64-bit Windows.
  *comm = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(value));
  return 0;
}

// Waits up to 60 s for the call made by request `request` to complete: its
// LINE_REPLY, and when that succeeded, the call's connection. Messages of
// earlier calls still queued are taken on the way, so that their event
// does not cut this wait short.
void AwaitCall(HLINEAPP app, HANDLE event, LONG request, const HCALL* call) {
  if (!event) return;
  const DWORD start = GetTickCount();
  bool replied = false;
  LONG replyResult = 0;
  std::vector<DWORD> connected;
  for (;;) {
    LINEMESSAGE message;
    while (lineGetMessage(app, &message, 0) == 0) {
      if (message.dwMessageID == LINE_REPLY && message.dwParam1 == static_cast<DWORD_PTR>(request)) {
        replied = true;
        replyResult = static_cast<LONG>(message.dwParam2);
      } else if (message.dwMessageID == LINE_CALLSTATE && message.dwParam1 == LINECALLSTATE_CONNECTED) {
        connected.push_back(message.hDevice);
      }
    }
    if (replied && (replyResult != 0 || std::find(connected.begin(), connected.end(), *call) != connected.end()))
      return;
    DWORD elapsed = GetTickCount() - start;  // unsigned: right across the 49-day wrap
    if (elapsed >= kMakeCallWaitMs) return;
    WaitForSingleObject(event, kMakeCallWaitMs - elapsed);
  }
}

// "Unable to initialize <what>:  Error <hex> from <call>".
void ShowTapiError(const char* what, const char* call, LONG error, UINT icon = MB_ICONERROR) {
  ShowMessageF(nullptr, MB_SETFOREGROUND | icon, "Unable to initialize %s:  Error %X from %s", what,
               static_cast<unsigned>(error), call);
}

// The serial port without sharing, for overlapped I/O; the "\\.\" form is
// tried when the plain name fails. `*error` gets the last failure's code.
HANDLE OpenSerial(const char* name, bool deviceRetry, DWORD* error) {
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h != INVALID_HANDLE_VALUE) return h;
  *error = GetLastError();
  if (!deviceRetry) return h;
  char device[kModemTextSize];
  DevicePortPath(name, device, sizeof device);
  h = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) *error = GetLastError();
  return h;
}

// The direct road: the port itself, probed at the usual rates. The handle is
// returned unprobed when the port refuses serial set-up.
HANDLE OpenDirect(const char* name, const char* pin, bool* noAnswer) {
  *noAnswer = false;
  DWORD error = 0;
  HANDLE h = OpenSerial(name, true, &error);
  if (h == INVALID_HANDLE_VALUE) {
    ShowAccessError(name, error);
    return h;
  }
  if (!SetupComm(h, 1024, 1024)) {
    ShowMessage(nullptr, "SetupComm Failed", MB_OK);
    return h;
  }
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) {
    ShowMessage(nullptr, "GetCommState Failed", MB_OK);
    return h;
  }
  SetOpenTimeouts(h);
  if (ProbeBaudRates(h, pin)) return h;
  CloseHandle(h);
  *noAnswer = true;
  return INVALID_HANDLE_VALUE;
}

// The TAPI road over every line device called `name`. On success the comm
// handle is returned with `*app` and `*line` open; otherwise both are zero.
HANDLE OpenThroughTapi(const char* name, bool retried, char* fallback, HLINEAPP* app, HLINE* line,
                       bool* initFailed) {
  *initFailed = false;
  LINEINITIALIZEEXPARAMS params = {};
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
  DWORD devices = 0, apiVersion = kApiHigh;
  LONG rc = lineInitializeExA(app, GetModuleHandleA(nullptr), nullptr, kProductTitle, &devices, &apiVersion, &params);
  if (rc != 0) {
    *app = 0;
    *initFailed = true;
    ShowTapiError("TAPI", "lineInitialize", rc);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE event = params.Handles.hEvent;

  char found[kModemTextSize];
  FindModemComPort(name, found);
  CopyBounded(fallback, kPortSize, found);

  for (DWORD device = 0; device < devices; ++device) {
    DWORD version = 0;
    LINEEXTENSIONID extension;
    if (lineNegotiateAPIVersion(*app, device, kApiLow, kApiHigh, &version, &extension) != 0) continue;
    LINEDEVCAPS* caps = ReadDevCaps(*app, device, version);
    if (!caps) continue;
    bool match = IsDataModem(caps) && CompareNoCase(LineName(caps).c_str(), name) == 0;
    std::free(caps);
    if (!match) continue;

    // Stay quiet while a reset over the serial port may still rescue the open.
    auto report = [&](const char* call, LONG error) {
      if (!fallback[0] || retried) ShowTapiError("modem", call, error);
    };

    rc = lineOpenA(*app, device, line, version, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM, nullptr);
    if (rc != 0) {
      *line = 0;
      report("lineOpen", rc);
      continue;
    }
    if (!LinePortName(*line, fallback) || !fallback[0]) {
      FindModemComPort(name, found);
      CopyBounded(fallback, kPortSize, found);
    }

    alignas(8) char callBuffer[kCallParamsSize] = {};
    auto* call = reinterpret_cast<LINECALLPARAMS*>(callBuffer);
    call->dwTotalSize = kCallParamsSize;
    call->dwBearerMode = LINEBEARERMODE_PASSTHROUGH;
    call->dwMediaMode = LINEMEDIAMODE_DATAMODEM;
    HCALL hcall = 0;
    rc = lineMakeCallA(*line, &hcall, nullptr, 0, call);
    if (rc < 0) {
      report("lineMakeCall", rc);
      lineClose(*line);
      *line = 0;
      continue;
    }
    AwaitCall(*app, event, rc, &hcall);
    HANDLE comm = INVALID_HANDLE_VALUE;
    rc = CallCommHandle(hcall, &comm);
    if (rc == 0) return comm;
    report("lineGetID", rc);
    lineClose(*line);
    *line = 0;
  }
  lineShutdown(*app);
  *app = 0;
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void ShowAccessError(const char* portName, DWORD error) {
  char text[kModemTextSize];
  snprintf(text, sizeof text, "Unable to access modem at %s -- Error %lX -- ", portName,
           static_cast<unsigned long>(error));
  size_t used = std::strlen(text);
  if (used + 1 < sizeof text) {
    DWORD room = static_cast<DWORD>(sizeof text - used);
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text + used,
                        room, nullptr))
      text[used] = '\0';
  }
  if (error == ERROR_ACCESS_DENIED)
    BoundedAppend(text, sizeof text, "\r\nAnother application is already using this device.");
  ShowMessage(nullptr, text, MB_SETFOREGROUND | MB_ICONERROR);
}

void ListDataModems(HWND dialog, int comboId) {
  HLINEAPP app = 0;
  LINEINITIALIZEEXPARAMS params = {};
  params.dwTotalSize = sizeof params;
  DWORD devices = 0, apiVersion = kApiHigh;
  LONG rc = lineInitializeExA(&app, GetModuleHandleA(nullptr), IgnoreLineMessage, kProductTitle, &devices,
                              &apiVersion, &params);
  if (rc != 0) {
    ShowTapiError("TAPI", "lineInitialize", rc, 0);
    return;
  }
  for (DWORD device = 0; device < devices; ++device) {
    DWORD version = 0;
    LINEEXTENSIONID extension;
    if (lineNegotiateAPIVersion(app, device, kApiLow, kApiHigh, &version, &extension) != 0) continue;
    LINEDEVCAPS* caps = ReadDevCaps(app, device, version);
    if (!caps) continue;
    if (IsDataModem(caps))
      SendDlgItemMessageA(dialog, comboId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LineName(caps).c_str()));
    std::free(caps);
  }
  lineShutdown(app);
}

namespace {

// A string value of an open key into a 500-byte buffer, always terminated.
bool ReadTextValue(HKEY key, const char* name, char* out) {
  DWORD type = 0, size = kModemTextSize - 1;
  out[0] = '\0';
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    out[0] = '\0';
    return false;
  }
  out[size < kModemTextSize ? size : kModemTextSize - 1] = '\0';
  return true;
}

// Looks through the modems of one device class for `modemName`.
bool FindInModemClass(HKEY classKey, const char* modemName, char* port) {
  char sub[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof sub;
    LONG rc = RegEnumKeyExA(classKey, i, sub, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return false;
    if (rc != ERROR_SUCCESS) continue;
    HKEY modem;
    if (RegOpenKeyExA(classKey, sub, 0, KEY_READ, &modem) != ERROR_SUCCESS) continue;
    char value[kModemTextSize];
    bool found = false;
    if (ReadTextValue(modem, "FriendlyName", value) && CompareNoCase(value, modemName) == 0 &&
        ReadTextValue(modem, "AttachedTo", value) && value[0]) {
      CopyBounded(port, kModemTextSize, value);
      found = true;
    }
    RegCloseKey(modem);
    if (found) return true;
  }
}

}  // namespace

bool FindModemComPort(const char* modemName, char* port) {
  port[0] = '\0';
  HKEY classes;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Class", 0, KEY_READ, &classes) !=
      ERROR_SUCCESS)
    return false;
  bool found = false;
  char sub[256];
  for (DWORD i = 0; !found; ++i) {
    DWORD length = sizeof sub;
    LONG rc = RegEnumKeyExA(classes, i, sub, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    HKEY deviceClass;
    if (RegOpenKeyExA(classes, sub, 0, KEY_READ, &deviceClass) != ERROR_SUCCESS) continue;
    char value[kModemTextSize];
    if (ReadTextValue(deviceClass, "Class", value) && CompareNoCase(value, "Modem") == 0)
      found = FindInModemClass(deviceClass, modemName, port);
    RegCloseKey(deviceClass);
  }
  RegCloseKey(classes);
  return found;
}

HANDLE OpenModemPort(const char* modemName, const char* pin, HLINEAPP* app, HLINE* line) {
  bool retried = false;
  char fallback[kPortSize] = "";
  for (;;) {
    *app = 0;
    *line = 0;
    HANDLE comm;
    if (IsDirectPortName(modemName)) {
      CopyBounded(fallback, sizeof fallback, modemName);
      bool noAnswer;
      comm = OpenDirect(modemName, pin, &noAnswer);
      if (comm != INVALID_HANDLE_VALUE || !noAnswer) return comm;
    } else {
      bool initFailed;
      comm = OpenThroughTapi(modemName, retried, fallback, app, line, &initFailed);
      if (comm != INVALID_HANDLE_VALUE || initFailed) return comm;
    }
    if (!fallback[0] || retried || !ResetModemDirect(fallback, pin)) return INVALID_HANDLE_VALUE;
    retried = true;
  }
}

ModemPort OpenModem(const char* modemName, const char* pin) {
  ModemPort port;
  port.comm = OpenModemPort(modemName, pin, &port.app, &port.line);
  return port;
}

void CloseModem(ModemPort* port) {
  if (port->comm != INVALID_HANDLE_VALUE) CloseHandle(port->comm);
  port->comm = INVALID_HANDLE_VALUE;
  lineClose(port->line);
  port->line = 0;
  lineShutdown(port->app);
  port->app = 0;
}

bool ResetModemDirect(const char* portName, const char* pin) {
  char port[kPortSize + 1];
  ResetPortName(portName, port, sizeof port);
  bool isCom = StartsWithNoCase(port, "COM");
  bool result = false, resetDone = false;
  for (;;) {
    DWORD error = 0;
    HANDLE h = OpenSerial(port, isCom, &error);
    if (h == INVALID_HANDLE_VALUE) {
      ShowAccessError(port, error);
      return result;
    }
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (SetupComm(h, 1024, 1024) && GetCommState(h, &dcb)) {
      SetOpenTimeouts(h);
      if (ProbeBaudRatesWithEscape(h, pin)) result = true;
    }
    if (result && !resetDone) {
      resetDone = ResetModem(h);
      if (resetDone) {
        CloseHandle(h);
        ModemSleep(kRestartPauseMs);
        continue;
      }
    }
    CloseHandle(h);
    return result;
  }
}

bool ResetModem(HANDLE comm) {
  char answer[kModemTextSize];
  SendCommand(comm, "AT+CFUN=?\r");
  WaitResponse(comm, answer, sizeof answer, 10);
  if (HasOk(answer) && CfunTakesResetParameter(answer)) {
    SendCommand(comm, "AT+CFUN=1,1\r");
    WaitResponse(comm, answer, sizeof answer, 10);
    if (HasOk(answer)) return true;
  }
  SendCommand(comm, "AT*E2RESET=?\r");
  WaitResponse(comm, answer, sizeof answer, 10);
  if (HasOk(answer)) {
    SendCommand(comm, "AT*E2RESET\r");
    WaitResponse(comm, answer, sizeof answer, 10);
    if (HasOk(answer)) return true;
  }
  SendCommand(comm, "AT!RESET\r");
  WaitResponse(comm, answer, sizeof answer, 10);
  if (HasOk(answer)) return true;
  SendCommand(comm, "AT+CFUN=1\r");
  WaitResponse(comm, answer, sizeof answer, 10);
  return HasOk(answer);
}
