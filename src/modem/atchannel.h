// The AT command channel: writes commands to a modem's overlapped comm handle
// (a serial port or the data-modem handle TAPI hands out) and collects its
// answers up to a final result code or a deadline. Callers supply the
// terminating "\r" of every command; nothing is added or stripped.
#pragma once
#include <windows.h>

#include "core/atreply.h"

// True when the write was accepted (done at once or pending); false when it
// failed at once. A write still pending after 30 s is cancelled and counted as sent.
bool SendCommand(HANDLE comm, const char* command);

// Collects what arrives into `buffer` (zero-filled first, always terminated,
// at most capacity - 1 bytes) until the text holds a final result code or
// `seconds` whole seconds of the modem clock have passed. Returns the number
// of bytes collected; 0 when nothing came or a read failed.
DWORD WaitResponse(HANDLE comm, char* buffer, DWORD capacity, unsigned seconds);

// The comm time-outs of a fresh direct open (write limit 2000 ms) and of the
// modem test (write limit 15000 ms); reads return 1 s after silence or 200 ms
// after the end of a burst.
BOOL SetOpenTimeouts(HANDLE comm);
BOOL SetTestTimeouts(HANDLE comm);

// Sets the port to `baud` 8N1, wakes the modem, sends the PIN when one is
// given and switches echo off; true when that got an OK, after telling the
// operator at which rate the modem answered.
bool InitAtBaud(HANDLE comm, unsigned baud, const char* pin);

// InitAtBaud at 115200, 57600, 38400, 19200, 9600 and 2400 bps, up to the first success.
bool ProbeBaudRates(HANDLE comm, const char* pin);

// The same from 115200 down to 9600, trying each rate once more after a
// "+++ATH0" escape in case the modem was left in data mode.
bool ProbeBaudRatesWithEscape(HANDLE comm, const char* pin);
