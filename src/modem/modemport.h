// Finding the GSM modem and opening it for AT commands: a serial port named
// "COMn:" is opened directly; any other name is a Windows modem, opened as a
// TAPI data-modem line, with one recovery that resets the modem over the
// serial port the registry gives for it.
#pragma once
#include <windows.h>
#include <tapi.h>

// The handles of an open modem; the comm handle is INVALID_HANDLE_VALUE when
// the open failed, and the TAPI handles are zero unless TAPI opened it.
struct ModemPort {
  HANDLE comm = INVALID_HANDLE_VALUE;
  HLINEAPP app = 0;
  HLINE line = 0;
};

// Appends the line name of every TAPI line device able to make data-modem
// calls to the combo box `comboId` of `dialog`, in device order.
void ListDataModems(HWND dialog, int comboId);

// The serial port ("AttachedTo") of the installed Windows modem whose
// FriendlyName is `modemName` (any case). `port` holds 500 bytes and is empty
// when there is none.
bool FindModemComPort(const char* modemName, char* port);

// Opens the modem; returns its overlapped comm handle or INVALID_HANDLE_VALUE.
// `*app` and `*line` are set to zero unless the TAPI road succeeded. The
// caller closes the comm handle, then lineClose(*line) and lineShutdown(*app).
HANDLE OpenModemPort(const char* modemName, const char* pin, HLINEAPP* app, HLINE* line);

// OpenModemPort into a ModemPort, and its release (zero handles pass harmlessly).
ModemPort OpenModem(const char* modemName, const char* pin);
void CloseModem(ModemPort* port);

// Opens the serial port, finds the modem's rate (with escapes out of data
// mode) and resets it once, reopening after its restart. True when the modem
// answered; the port is closed again in every case.
bool ResetModemDirect(const char* portName, const char* pin);

// Tries the reset commands modems know, in turn; true at the first OK.
bool ResetModem(HANDLE comm);

// "Unable to access modem at <port> -- Error <n> -- <system text>", shown to
// the operator (with a note for a port in use by another program).
void ShowAccessError(const char* portName, DWORD error);
