// The serial line as a modem driver sets it up, shared by the link library,
// the gateway service and TAPI for Wine.
#pragma once
#include <windows.h>

#include <string>

// 8 data bits, no parity, one stop bit, binary, no flow control, DTR and RTS raised.
inline void SetModemLineFormat(DCB* dcb, DWORD baudRate) {
  dcb->BaudRate = baudRate;
  dcb->ByteSize = 8;
  dcb->Parity = NOPARITY;
  dcb->StopBits = ONESTOPBIT;
  dcb->fBinary = TRUE;
  dcb->fParity = FALSE;
  dcb->fOutxCtsFlow = FALSE;
  dcb->fOutxDsrFlow = FALSE;
  dcb->fDtrControl = DTR_CONTROL_ENABLE;
  dcb->fRtsControl = RTS_CONTROL_ENABLE;
  dcb->fOutX = FALSE;
  dcb->fInX = FALSE;
}

// Sets up a modem's port just opened: the line format above at `baudRate`
// (0 = 115200), reads that return what has arrived or after 100 ms without
// anything, writes that give up after `writeLimitMs`, both queues emptied.
// False with GetLastError() as the failing call left it.
inline bool SetUpModemPort(HANDLE port, DWORD baudRate, DWORD writeLimitMs) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(port, &dcb)) return false;
  SetModemLineFormat(&dcb, baudRate ? baudRate : CBR_115200);
  if (!SetCommState(port, &dcb)) return false;
  COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, 100, 0, writeLimitMs};
  if (!SetCommTimeouts(port, &timeouts)) return false;
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return true;
}

// Reads what the modem sends into `received` until `done(*received)` or
// `timeoutMs`; a modem that talks on and on keeps only its last `keep` bytes.
// True when done.
template <class Done>
bool ReadModemUntil(HANDLE port, DWORD timeoutMs, size_t keep, std::string* received, Done done) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    char buffer[512];
    DWORD n = 0;
    if (!ReadFile(port, buffer, sizeof buffer, &n, nullptr)) {
      Sleep(50);
      continue;
    }
    if (n == 0) continue;
    received->append(buffer, n);
    if (received->size() > keep) received->erase(0, received->size() - keep);
    if (done(*received)) return true;
  }
  return false;
}
