// ZARQGATESVC.EXE, the SMS gateway service `ZarqSMS` (stand-in): status block
// "ZARQ_SMSGW_ShMem", web interface on WebPort (8800 when unset) and the SMPP
// server on SMPPPort (when set) of [SMSGW] in SMSGW.INI. While it runs it
// holds the configured modem's port open, as the real gateway does, and lends
// it to the setup program on request (the modem hand-over).
//
// Test-only setting: `RefuseModemRequests=Yes` in [SMSGW] makes it answer
// every hand-over request with a refusal, as a gateway busy sending would
// when it cannot let go within the program's wait limit.
#include <windows.h>

#include <string>

#include "core/textrules.h"
#include "gatewaysvc.h"
#include "core/atreply.h"
#include "modemhandover.h"
#include "modems.h"

namespace {

constexpr DWORD kReopenMs = 5000;

// The port behind Modem1: a "COMn:" name directly, else the registry
// modem's AttachedTo port. Empty when there is none.
std::string ConfiguredPort(const char* ini) {
  char modem[500];
  GetPrivateProfileStringA("SMSGW", "Modem1", "", modem, sizeof modem, ini);
  if (!modem[0]) return std::string();
  if (IsDirectPortName(modem)) return modem;
  InstalledModem installed;
  if (!FindInstalledModem(modem, &installed) || installed.port.empty()) return std::string();
  return installed.port + ":";
}

HANDLE OpenPort(const std::string& port) {
  if (port.empty()) return INVALID_HANDLE_VALUE;
  HANDLE h = CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE && port.size() > 1) {
    std::string device = "\\\\.\\" + port.substr(0, port.size() - 1);  // "\\.\COM12" for two-digit ports
    h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  return h;
}

bool RefusesModemRequests(const char* ini) {
  char value[16];
  GetPrivateProfileStringA("SMSGW", "RefuseModemRequests", "", value, sizeof value, ini);
  return IsYesValue(value);
}

// Holds the modem's port while the service runs, and serves the hand-over.
struct ModemHolder {
  const char* ini;
  HANDLE port = INVALID_HANDLE_VALUE;

  void Open() {
    if (port == INVALID_HANDLE_VALUE) port = OpenPort(ConfiguredPort(ini));
  }
  void Close() {
    if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
  }
  bool LetGo() {
    if (RefusesModemRequests(ini)) return false;
    Close();
    return true;
  }
};

void HoldModem(HANDLE stop, const char* ini) {
  ModemHolder holder{ini};
  handover::Server handover;
  bool serving = handover.Open();
  holder.Open();
  HANDLE waits[2] = {stop, serving ? handover.RequestEvent() : nullptr};
  for (;;) {
    DWORD r = WaitForMultipleObjects(serving ? 2 : 1, waits, FALSE, kReopenMs);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      handover.Serve([&](const std::string&, DWORD) { return holder.LetGo(); }, [&] { holder.Open(); }, stop);
      if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
    } else {
      holder.Open();  // the modem may have been configured or plugged in meanwhile
    }
  }
  holder.Close();
  handover.Close();
}

}  // namespace

int main() {
  static const gatewaysvc::PortSetting kPorts[] = {
      {"WebPort", 8800, 2},
      {"SMPPPort", 0, 4},
  };
  static const gatewaysvc::Description kService = {
      "ZarqSMS", "ZARQ_SMSGW_ShMem", "SMSGW.INI", "SMSGW", true, kPorts, 2, "Zarq SMS Gateway Lite Edition",
      HoldModem};
  return gatewaysvc::Run(kService);
}
