// The serial line as a modem driver sets it up, shared by the link library and
// TAPI for Wine.
#pragma once
#include <windows.h>

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
