// ZARQGATESVC.EXE, the SMS gateway service `ZarqSMS` (stand-in): status block
// "ZARQ_SMSGW_ShMem", web interface on WebPort (8800 when unset) and the SMPP
// server on SMPPPort (when set) of [SMSGW] in SMSGW.INI. While it runs it
// holds the configured modem's port open, as the real gateway does, and lends
// it to the setup program on request (the modem hand-over). Through that
// modem it sends the outbound SMS queue and takes in received messages
// (outbound.h, inbound.h); while the modem does not answer, the modem's route
// error file in the private data directory says why.
//
// Test-only settings in [SMSGW]: `RefuseModemRequests=Yes` makes it answer
// every hand-over request with a refusal, as a gateway busy sending would
// when it cannot let go within the program's wait limit. `TestQueueHold`
// stops the message work so that a test can play the gateway's part: "Idle"
// touches nothing (no modem, no queue, no error file), "Open" also keeps every
// request of the base queue directory open as a send in progress does, until
// the setting changes or the service stops.
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/atreply.h"
#include "core/gatewaynames.h"
#include "core/textrules.h"
#include "events.h"
#include "gatewaysvc.h"
#include "gwfiles.h"
#include "inbound.h"
#include "modemhandover.h"
#include "modemline.h"
#include "modems.h"
#include "outbound.h"
#include "smsgateway.h"
#include "webui.h"

namespace {

constexpr DWORD kReopenMs = 5000;
constexpr DWORD kTickMs = 1000;
constexpr DWORD kReceivePollMs = 10000;

// The port behind `modem`: a "COMn:" name directly, else the registry
// modem's AttachedTo port. Empty when there is none.
std::string PortOf(const std::string& modem, DWORD* baudRate) {
  *baudRate = 0;
  if (modem.empty()) return std::string();
  if (IsDirectPortName(modem.c_str())) return modem;
  InstalledModem installed;
  if (!FindInstalledModem(modem.c_str(), &installed) || installed.port.empty()) return std::string();
  *baudRate = installed.baudRate;
  return installed.port + ":";
}

bool RefusesModemRequests(const char* ini) {
  return IsYesValue(gw::Setting(ini, "SMSGW", "RefuseModemRequests").c_str());
}

// The gateway's modem and the message work done through it.
class Gateway {
 public:
  explicit Gateway(const char* ini) : ini_(ini), outbound_(ini), inbound_(ini) {
    line_.SetTrace([ini](const std::string& text) { gw::DebugLog(ini, text); });
  }

  // Once a second: keeps the modem open and answering, takes in what it
  // received and sends the queue.
  void Tick(const std::function<bool()>& stopping) {
    std::string hold = gw::Setting(ini_, "SMSGW", "TestQueueHold");
    if (CompareNoCase(hold.c_str(), "Idle") == 0 || CompareNoCase(hold.c_str(), "Open") == 0) {
      Close();
      if (CompareNoCase(hold.c_str(), "Open") == 0) HoldRequests();
      else ReleaseRequests();
      return;
    }
    ReleaseRequests();
    std::string modem = gw::Setting(ini_, "SMSGW", "Modem1");
    if (modem != modem_) {  // configured anew: the old modem is let go
      Close();
      if (!modem_.empty()) gw::SetRouteError(modem_.c_str(), "");
      modem_ = modem;
      offline_ = false;
      nextOpen_ = GetTickCount();
    }
    if (lent_ || modem_.empty()) {
      outbound_.Pass(nullptr, modem_, stopping);
      return;
    }
    if (!ready_ && LONG(GetTickCount() - nextOpen_) >= 0) Open();
    if (!ready_) {
      outbound_.Pass(nullptr, modem_, stopping);
      return;
    }
    line_.Poll(50);
    bool announced = !line_.TakeAnnounced().empty();
    if (announced || GetTickCount() - lastReceive_ >= kReceivePollMs) {
      lastReceive_ = GetTickCount();
      std::string section = Section();
      if (IsYesValue(gw::Setting(ini_, section.c_str(), "ReceiveSMS", "Yes").c_str()) &&
          !inbound_.Pass(&line_, ownNumber_, modem_)) {
        Offline("Modem not responding");
        return;
      }
    }
    if (!outbound_.Pass(&line_, modem_, stopping)) Offline("Modem not responding");
  }

  bool LetGo() {
    if (RefusesModemRequests(ini_)) return false;
    Close();
    lent_ = true;
    return true;
  }
  void TakeBack() {
    lent_ = false;
    nextOpen_ = GetTickCount();
  }
  void Close() {
    line_.Close();
    ready_ = false;
  }
  void ReleaseRequests() {
    for (HANDLE h : held_) CloseHandle(h);
    held_.clear();
    heldNames_.clear();
  }
  ~Gateway() { ReleaseRequests(); }

 private:
  std::string Section() const {
    char section[kSectionNameSize];
    ConnectionSectionName(modem_.c_str(), section, sizeof section);
    return section;
  }

  void Open() {
    DWORD baud = 0;
    std::string port = PortOf(modem_, &baud);
    std::string reason;
    if (port.empty()) {
      reason = "Modem \"" + modem_ + "\" is not installed";
    } else if (!line_.Open(port, baud)) {
      reason = "Unable to open modem port " + port + " (error " + std::to_string(GetLastError()) + ")";
    } else if (Initialise(&reason)) {
      ready_ = true;
      lastReceive_ = GetTickCount() - kReceivePollMs;  // what arrived meanwhile is taken at once
      gw::SetRouteError(modem_.c_str(), "");
      if (offline_) {
        offline_ = false;
        ReportGatewayEvent("ZarqSMS", EVENTLOG_INFORMATION_TYPE, ("Modem " + modem_ + " is back on-line.").c_str());
      }
      return;
    }
    Offline(reason);
  }

  void Offline(const std::string& reason) {
    gw::DebugLog(ini_, "Modem " + modem_ + " off-line: " + reason);
    Close();
    nextOpen_ = GetTickCount() + kReopenMs;
    gw::SetRouteError(modem_.c_str(), reason);
    if (!offline_) {
      offline_ = true;
      ReportGatewayEvent("ZarqSMS", EVENTLOG_ERROR_TYPE, ("Modem " + modem_ + " is off-line: " + reason).c_str());
    }
  }

  bool Initialise(std::string* reason) {
    std::string reply;
    bool answered = false;
    for (int i = 0; i < 3 && !answered; ++i) answered = line_.Command("AT", 2000, &reply) == AtResult::Ok;
    if (!answered) {
      *reason = "Modem not responding";
      return false;
    }
    line_.Command("ATE0", 2000);
    line_.Command("AT+CMEE=1", 2000);
    if (line_.Command("AT+CPIN?", 5000, &reply) == AtResult::Ok && reply.find("SIM PIN") != std::string::npos) {
      std::string pin = gw::Setting(ini_, Section().c_str(), "PIN");
      if (pin.empty()) {
        *reason = "SIM PIN required";
        return false;
      }
      if (line_.Command("AT+CPIN=\"" + pin + "\"", 10000, &reply) != AtResult::Ok) {
        *reason = "SIM PIN refused: " + smsgw::ErrorLine(reply);
        return false;
      }
    }
    if (line_.Command("AT+CMGF=0", 5000, &reply) != AtResult::Ok) {
      *reason = "Modem does not support PDU mode: " + smsgw::ErrorLine(reply);
      return false;
    }
    line_.Command("AT+CNMI=2,1,0,0,0", 5000);
    ownNumber_.clear();
    if (line_.Command("AT+CNUM", 5000, &reply) == AtResult::Ok) smsgw::ParseOwnNumber(reply, &ownNumber_);
    return true;
  }

  void HoldRequests() {
    std::string dir = gw::QueueDir(ini_);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*.REQ").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      if (heldNames_.count(found.cFileName)) continue;
      HANDLE h = CreateFileA((dir + found.cFileName).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      held_.push_back(h);
      heldNames_.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }

  const char* ini_;
  std::vector<HANDLE> held_;
  std::set<std::string> heldNames_;
  ModemLine line_;
  Outbound outbound_;
  Inbound inbound_;
  std::string modem_;
  std::string ownNumber_;
  bool ready_ = false;
  bool lent_ = false;
  bool offline_ = false;  // reported off-line, not yet back
  DWORD nextOpen_ = 0;
  DWORD lastReceive_ = 0;
};

// The service's worker thread: the modem, the queue and the hand-over.
void RunGateway(HANDLE stop, const char* ini) {
  Gateway gateway(ini);
  handover::Server handover;
  bool serving = handover.Open();
  HANDLE waits[2] = {stop, serving ? handover.RequestEvent() : nullptr};
  auto stopping = [&] {
    return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0 || (serving && handover::IsRequested(nullptr));
  };
  DWORD lastTick = GetTickCount() - kTickMs;
  for (;;) {
    DWORD waited = GetTickCount() - lastTick;
    DWORD r = WaitForMultipleObjects(serving ? 2 : 1, waits, FALSE, waited >= kTickMs ? 0 : kTickMs - waited);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1 || (serving && handover::IsRequested(nullptr))) {
      handover.Serve([&](const std::string&, DWORD) { return gateway.LetGo(); }, [&] { gateway.TakeBack(); }, stop);
      if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
      continue;
    }
    lastTick = GetTickCount();
    gateway.Tick(stopping);
  }
  gateway.Close();
  handover.Close();
}

}  // namespace

int main() {
  static const gatewaysvc::PortSetting kPorts[] = {
      {"WebPort", 8800, 2, ServeWebClient},
      {"SMPPPort", 0, 4, nullptr},
  };
  static const gatewaysvc::Description kService = {
      "ZarqSMS", "ZARQ_SMSGW_ShMem", "SMSGW.INI", "SMSGW", true, kPorts, 2, "Zarq SMS Gateway Lite Edition",
      RunGateway};
  return gatewaysvc::Run(kService);
}
