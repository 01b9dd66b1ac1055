// The gateway's conversation with its GSM modem over the serial port: AT
// commands with their final results, message submission in PDU mode, and the
// modem's unsolicited announcements of new messages (+CMTI), collected
// wherever they arrive.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "initstrings.h"

class ModemLine {
 public:
  ModemLine() = default;
  ~ModemLine() { Close(); }
  ModemLine(const ModemLine&) = delete;
  ModemLine& operator=(const ModemLine&) = delete;

  // Opens "COMn:" (or "\\.\COMn") exclusively at `baudRate`, 8N1.
  bool Open(const std::string& port, DWORD baudRate);
  void Close();
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // Sends `command` and CR; what came back until a final result or the time
  // limit goes to `reply`. AtResult::None when the modem did not finish.
  AtResult Command(const std::string& command, DWORD timeoutMs, std::string* reply = nullptr);
  // AT+CMGS=<length>, the "> " prompt, the PDU and Ctrl-Z, then the result.
  AtResult SubmitPdu(unsigned length, const std::string& pduHex, std::string* reply);
  // Reads what the modem says by itself for up to `ms`.
  void Poll(DWORD ms);
  // The message indexes announced since the last call.
  std::vector<unsigned> TakeAnnounced();
  // Receives every exchange ("> " what was sent, "< " what came back), for
  // the debug log; none when empty.
  void SetTrace(std::function<void(const std::string&)> trace) { trace_ = std::move(trace); }

 private:
  bool Write(const std::string& data);
  // Reads until `done(received)` or the time limit; true when done.
  template <class Done>
  bool ReadUntil(DWORD timeoutMs, std::string* received, Done done);
  void NoteAnnouncements(const std::string& text);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::vector<unsigned> announced_;
  std::function<void(const std::string&)> trace_;
};
