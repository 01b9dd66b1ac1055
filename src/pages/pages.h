// Page procedures of the setup wizard and the configuration sheet.
#pragma once
#include <windows.h>

#include "app/pagestate.h"
#include "gateway/records.h"
#include "gateway/zarqacct.h"

extern const PageDefinition kServerPage;
extern const PageDefinition kDebugLogPage;
extern const PageDefinition kWizardAddModemPage;
extern const PageDefinition kModemPage;
extern const PageDefinition kTwoWayPage;
extern const PageDefinition kTestMessagePage;
extern const PageDefinition kStatusPage;

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

// The Users page of the configuration sheet.
extern const PageDefinition kUsersPage;

// The modal "Edit User" dialog of the Users page, for adding (a zero-filled
// `record`) and editing (the record as stored). On OK the user's routing key
// and MM7/EAIF login are saved at once and `record` holds the user built
// afresh, for the caller to store; on Cancel nothing changes.
struct UserDialogResult {
  bool confirmed = false;
  unsigned char record[UserRecord::kSize];
};
UserDialogResult RunUserDialog(HWND owner, SMSUSERFILE store, const unsigned char* record);
// The modal event log viewer (template DIALOG_EVENT) with `owner` as parent:
// 1 for OK, 0 for Cancel.
INT_PTR RunEventLogDialog(HWND owner);
