// A modem's serial port driven with AT commands, for the link library's own
// short conversations (dialling, reset). One command at a time, blocking.
#pragma once
#include <windows.h>

#include <string>

#include "initstrings.h"

class AtPort {
 public:
  AtPort() = default;
  ~AtPort() { Close(); }
  AtPort(const AtPort&) = delete;
  AtPort& operator=(const AtPort&) = delete;

  // Opens "COMn" exclusively at `baudRate` (0 = 115200), 8N1, DTR and RTS on.
  // False with GetLastError() as the system left it.
  bool Open(const std::string& port, DWORD baudRate);
  void Close();
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

  // Sends `command` and a carriage return and reads until a final result or
  // `timeoutMs`; `reply` (optional) gets what came back.
  AtResult Command(const char* command, DWORD timeoutMs, std::string* reply = nullptr);
  // Leaves a data call: DTR drop, then "+++" when the modem still does not
  // take commands, then ATH.
  void HangUp();

 private:
  AtResult ReadFinal(DWORD timeoutMs, std::string* reply);
  bool Write(const char* data, size_t size);
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};
