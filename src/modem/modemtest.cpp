#include "modem/modemtest.h"

#include <cstdio>
#include <cstring>

#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "core/textrules.h"
#include "modem/atchannel.h"
#include "modem/modemclock.h"
#include "modem/modemport.h"

namespace {

const unsigned kLongWait = 30;   // seconds for an answer to a set-up command
const unsigned kShortWait = 5;   // seconds for a status query or the CMGS prompt
const unsigned kRadioWait = 10;  // seconds for the radio and network queries
const int kCsmsAttempts = 8;
const unsigned long kCsmsPauseMs = 5000;
const int kOperatorPolls = 18;
const unsigned long kOperatorPauseMs = 5000;
const int kStoragePolls = 10;
const unsigned long kStoragePauseMs = 2000;

// The test's one answer buffer and the outcome it has reached.
struct Session {
  HANDLE comm;
  char answer[kModemTextSize];
  char message[kModemTextSize];
  UINT icon;
  int result;

  bool Send(const char* command) { return SendCommand(comm, command); }
  DWORD Wait(unsigned seconds) { return WaitResponse(comm, answer, sizeof answer, seconds); }
  bool Ok() const { return HasOk(answer); }

  bool Fail(const char* text) {
    CopyBounded(message, sizeof message, text);
    return false;
  }
  bool Pass(const char* text) {
    CopyBounded(message, sizeof message, text);
    icon = MB_ICONINFORMATION;
    result = 1;
    return true;
  }
  bool FailQuoting(const char* prefix) {
    BuildAnswerMessage(message, sizeof message, prefix, answer);
    return false;
  }

  // One command of a set-up step: false (with its message) when the send
  // fails, nothing arrives or, for `needOk`, the answer lacks OK.
  struct StepTexts {
    const char* sendFailed;
    const char* silent;
    const char* noOk;  // quoted with the answer
  };
  bool Step(const char* command, const StepTexts& texts) {
    if (!Send(command)) return Fail(texts.sendFailed);
    if (!Wait(kLongWait)) return Fail(texts.silent);
    if (texts.noOk && !Ok()) return FailQuoting(texts.noOk);
    return true;
  }

  bool UnlockSim(const char* pin);
  bool CheckEcho();
  bool SelectSmsService();
  bool RetrySmsService();
  bool CheckSubmission();
  bool Run(const char* pin);
};

bool Session::UnlockSim(const char* pin) {
  Send("AT+CPIN?\r");
  Wait(kShortWait);
  if (ContainsNoCase(answer, "READY")) return true;
  char command[kModemTextSize];
  snprintf(command, sizeof command, "AT+CPIN=\"%s\"\r", pin);
  if (!Send(command)) return true;
  Wait(kLongWait);
  if (!Ok()) return FailQuoting("Invalid PIN --\r\n\r\n");
  // Let the SIM settle after unlocking; the answer does not matter.
  Send("AT+CPIN?\r");
  Wait(25);
  return true;
}

bool Session::CheckEcho() {
  return Step("ATE0V1\r", {"Unable to send initialization command to modem",
                           "Error waiting for initialization response from modem",
                           "Error initializing modem --\r\n\r\n"}) &&
         Step("ATE0V1\r", {"Unable to send initial command to modem", "Error waiting for initial response from modem",
                           "Error initialising modem --\r\n\r\n"});
}

bool Session::SelectSmsService() {
  const StepTexts texts = {"Unable to send SMS initialization command to modem",
                           "Error waiting for SMS initialization response from modem", nullptr};
  if (!Step("AT+CSMS=0\r", texts)) return false;
  if (Ok()) return true;
  if (!Step("AT+CSMS=128\r", texts)) return false;
  if (Ok()) return true;
  // Many modems refuse SMS commands until the radio is up and registered.
  if (EnsureRadioOn(comm)) WaitForNetwork(comm);
  if (RetrySmsService()) return true;
  return FailQuoting("Modem does not support SMS --\r\n\r\n");
}

bool Session::RetrySmsService() {
  for (int attempt = 0; attempt < kCsmsAttempts; ++attempt) {
    ModemSleep(kCsmsPauseMs);
    if (!Send("AT+CSMS=0\r") || !Wait(kLongWait)) continue;
    if (Ok()) return true;
    if (!Send("AT+CSMS=128\r") || !Wait(kLongWait)) continue;
    if (Ok()) return true;
    if (!Send("AT+CSMS?\r") || !Wait(kLongWait)) continue;
    if (Ok() && ContainsNoCase(answer, "+CSMS:")) return true;
  }
  return false;
}

bool Session::CheckSubmission() {
  if (!Step("AT+CMGF=0\r", {"Unable to send SMS PDU mode initialization command to modem",
                            "Error waiting for SMS PDU mode initialization response from modem", nullptr}))
    return false;
  if (Ok()) {
    if (!Send("AT+CMGS=86\r")) return Fail("Unable to send SMS message command to modem");
    Wait(kShortWait);
    // A modem that can submit asks for the message body instead of answering OK.
    if (Ok()) return Fail("Modem does not properly support command for sending SMS (AT+CMGS)");
    Send("\x1b");  // abandon the half-entered message
    Sleep(100);
    Send("\r");
    Sleep(100);
    Send("AT\r");
    Wait(kShortWait);
    return Pass("Modem successfully tested!");
  }
  if (!Step("AT+CMGF=1\r", {"Unable to send SMS text mode initialization command to modem",
                            "Error waiting for SMS text mode initialization response from modem",
                            "Modem does not support SMS text or PDU mode commands --\r\n\r\n"}))
    return false;
  return Pass("Modem successfully tested!\r\n\r\nModem supports text messages only.");
}

bool Session::Run(const char* pin) {
  SetTestTimeouts(comm);
  if (EnsureRadioOn(comm)) WaitForNetwork(comm);
  if (pin && *pin && !UnlockSim(pin)) return false;
  return CheckEcho() && SelectSmsService() && CheckSubmission();
}

}  // namespace

int TestModem(HWND owner, const char* modemName, const char* pin) {
  HCURSOR previous = BeginBusyCursor();
  ModemPort port = OpenModem(modemName, pin);
  EndBusyCursor(previous);
  if (port.comm == INVALID_HANDLE_VALUE) {
    ShowMessage(owner, "Unable to access modem, ensure that it is powered on and passes diagnostic tests.",
                MB_ICONERROR);
    return 0;
  }

  previous = BeginBusyCursor();
  Session session = {};
  session.comm = port.comm;
  session.icon = MB_ICONERROR;
  session.Run(pin);
  EndBusyCursor(previous);
  ShowMessage(owner, session.message, session.icon);
  CloseModem(&port);
  return session.result;
}

bool EnsureRadioOn(HANDLE comm) {
  char answer[kModemTextSize];
  if (!SendCommand(comm, "AT+CFUN?\r")) return false;
  if (!WaitResponse(comm, answer, sizeof answer, kRadioWait)) return false;
  if (!CfunReportsRadioOff(answer)) return false;
  SendCommand(comm, "AT+CFUN=1\r");
  WaitResponse(comm, answer, sizeof answer, kRadioWait);
  return HasOk(answer);
}

bool WaitForNetwork(HANDLE comm) {
  char answer[kModemTextSize];
  EnsureRadioOn(comm);
  bool registered = false;
  for (int poll = 0; poll < kOperatorPolls && !registered; ++poll) {
    if (!SendCommand(comm, "AT+COPS?\r")) return false;
    if (!WaitResponse(comm, answer, sizeof answer, kRadioWait)) return false;
    switch (ReadCopsReply(answer)) {
      case CopsReply::kNoReport:
        break;
      case CopsReply::kOperator:
        registered = true;
        break;
      case CopsReply::kNoOperator:
        ModemSleep(kOperatorPauseMs);
        break;
    }
  }
  if (!registered) return false;
  for (int poll = 0; poll < kStoragePolls; ++poll) {
    if (!SendCommand(comm, "AT+CPMS?\r")) return false;
    if (!WaitResponse(comm, answer, sizeof answer, kRadioWait)) return false;
    if (!std::strstr(answer, "+CMS ERROR")) return true;
    if (poll + 1 < kStoragePolls) ModemSleep(kStoragePauseMs);
  }
  return false;
}
