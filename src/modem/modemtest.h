// The interactive proof that a modem can serve the SMS gateway: it opens,
// its SIM unlocks, it answers AT commands, offers the SMS service and takes
// message submission in PDU mode (or at least text mode).
#pragma once
#include <windows.h>

// Opens `modemName`, runs the AT sequence and shows exactly one outcome
// message (owned by `owner`); the modem is released before it returns.
// 1 when the modem passed (fully or for text messages only), 0 otherwise.
int TestModem(HWND owner, const char* modemName, const char* pin);

// True when the modem reported a functionality level other than 1 and then
// accepted "AT+CFUN=1" with OK.
bool EnsureRadioOn(HANDLE comm);

// Waits (about 18 polls of 15 s at most) for a registered operator and then
// for the SIM's message storage; true when both are ready.
bool WaitForNetwork(HANDLE comm);
