// Page procedures of the setup wizard and the configuration sheet.
#pragma once
#include <windows.h>

#include "app/pagestate.h"

extern const PageDefinition kServerPage;
extern const PageDefinition kDebugLogPage;
extern const PageDefinition kWizardAddModemPage;
extern const PageDefinition kModemPage;

// What the "Add Modem" dialog hands back: the modem that passed its test and
// the PIN typed for it (empty when none was).
struct AddModemChoice {
  char name[500] = "";
  char pin[20] = "";  // the dialog uses up to 19 characters
};

// The modal "Add Modem" dialog (template DIALOG_ADDMODEM) owned by `owner`:
// true with `choice` filled once a modem passed its test, false with `choice`
// empty when the operator cancelled.
bool RunAddModemDialog(HWND owner, AddModemChoice* choice);

// The list dialog of one of the gateway's four message stores (template
// DIALOG_SMSQ), modal, with `owner` as parent.
enum class MessageListKind { OutboundSms, OutboundMms, ReceivedSms, ReceivedMms };
void ShowMessageList(HWND owner, MessageListKind kind);
