// The "Edit User" dialog of the Users page, for adding and editing a user:
// its logins (web, SMPP, MM7/EAIF), the web menu and admin rights, and the
// recipient addresses routed to it. OK builds the record afresh and saves the
// routing key and the MM7/EAIF login at once; the page stores the record.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/msgbox.h"
#include "app/pagestate.h"
#include "pages/pages.h"
#include "pages/useraccounts.h"
#include "resource.h"

namespace {


const char kUnusableName[] =
    "A user name cannot hold any of the characters \\ / : * ? \" < > | = ; [ ]\r\n"
    "nor begin or end with a blank, nor end with a dot.";

struct UserDialogState {
  SMSUSERFILE store = nullptr;
  UserFields original;  // as the dialog opened
  UserDialogResult result;
};

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE); }

// Web menu and admin access belong to the web login.
void ApplyWebLoginRule(HWND dialog) {
  bool web = Checked(dialog, IDC_USERINFO_WEBLOGIN);
  Enable(dialog, IDC_USERINFO_WEBMENU, web);
  Enable(dialog, IDC_USERINFO_WEBMENU_LABEL, web);
  Enable(dialog, IDC_USERINFO_ADMIN, web);
}

void EnableAddresses(HWND dialog, bool on) {
  Enable(dialog, IDC_USERINFO_ADDRESSES_LABEL, on);
  Enable(dialog, IDC_USERINFO_ADDRESSES, on);
}

std::string ItemText(HWND dialog, int id, size_t size) {
  std::vector<char> text(size);
  GetDlgItemTextA(dialog, id, text.data(), static_cast<int>(size));
  return text.data();
}

void FillText(HWND dialog, int id, const char* text, int limit) {
  SendDlgItemMessageA(dialog, id, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
  SetDlgItemTextA(dialog, id, text);
}

BOOL OnInitDialog(HWND dialog, LPARAM initParam) {
  UserDialogState* state = KeepDialogState<UserDialogState>(dialog, initParam);
  const UserFields& user = state->original;
  FillText(dialog, IDC_USERINFO_NAME, user.name, UserRecord::kNameSize - 1);
  FillText(dialog, IDC_USERINFO_PASSWORD, user.password, UserRecord::kPasswordSize - 1);
  FillText(dialog, IDC_USERINFO_FULLNAME, user.fullName, UserRecord::kFullNameSize - 1);
  CheckDlgButton(dialog, IDC_USERINFO_WEBLOGIN, user.webLogin ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_USERINFO_SMPP, user.smppLogin ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_USERINFO_ACCEPT, user.acceptReceived ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_USERINFO_MM7, HasMm7Account(user.name) ? BST_CHECKED : BST_UNCHECKED);
  ApplyWebLoginRule(dialog);

  SendDlgItemMessageA(dialog, IDC_USERINFO_ADDRESSES, EM_LIMITTEXT, kRoutingLimit, 0);
  // Addresses are shown only for an SMPP user that has some.
  std::string addresses = user.smppLogin ? ReadUserRouting(user.name) : std::string();
  if (!addresses.empty()) {
    CheckDlgButton(dialog, IDC_USERINFO_ACCEPT, BST_CHECKED);
    SetDlgItemTextA(dialog, IDC_USERINFO_ADDRESSES, addresses.c_str());
  } else {
    EnableAddresses(dialog, false);
  }

  FillText(dialog, IDC_USERINFO_IP, user.ipAddresses, UserRecord::kIpAddressesSize - 1);
  for (const char* option : kWebMenuOptions)
    SendDlgItemMessageA(dialog, IDC_USERINFO_WEBMENU, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(option));
  // Codes beyond the offered options select nothing.
  SendDlgItemMessageA(dialog, IDC_USERINFO_WEBMENU, CB_SETCURSEL, static_cast<WPARAM>(user.webMenu), 0);
  CheckDlgButton(dialog, IDC_USERINFO_ADMIN, user.webLogin && user.admin ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

void RefuseName(HWND dialog, const char* text) {
  ShowMessage(dialog, text, MB_OK | MB_ICONERROR);
  SetFocus(GetDlgItem(dialog, IDC_USERINFO_NAME));
}

void OnOk(HWND dialog) {
  UserDialogState* state = StateOf<UserDialogState>(dialog);
  UserFields user;
  GetDlgItemTextA(dialog, IDC_USERINFO_NAME, user.name, sizeof user.name);
  GetDlgItemTextA(dialog, IDC_USERINFO_PASSWORD, user.password, sizeof user.password);
  GetDlgItemTextA(dialog, IDC_USERINFO_FULLNAME, user.fullName, sizeof user.fullName);
  user.webLogin = Checked(dialog, IDC_USERINFO_WEBLOGIN);
  user.smppLogin = Checked(dialog, IDC_USERINFO_SMPP);

  switch (CheckUserName(state->store, state->original.name, user.name)) {
    case UserNameCheck::kRequired:
      return RefuseName(dialog, "Field is required!");
    case UserNameCheck::kAlreadyDefined:
      ShowMessageF(dialog, MB_OK | MB_ICONERROR, "User %s is already defined.", user.name);
      SetFocus(GetDlgItem(dialog, IDC_USERINFO_NAME));
      return;
    case UserNameCheck::kUnusable:
      return RefuseName(dialog, kUnusableName);
    case UserNameCheck::kOk:
      break;
  }

  GetDlgItemTextA(dialog, IDC_USERINFO_IP, user.ipAddresses, sizeof user.ipAddresses);
  user.webMenu = static_cast<int>(SendDlgItemMessageA(dialog, IDC_USERINFO_WEBMENU, CB_GETCURSEL, 0, 0));
  user.admin = Checked(dialog, IDC_USERINFO_ADMIN);
  user.acceptReceived = Checked(dialog, IDC_USERINFO_ACCEPT);
  BuildUserRecord(user, state->result.record);
  SaveUserExtras(user, ItemText(dialog, IDC_USERINFO_ADDRESSES, kRoutingLimit + 1).c_str(),
                 Checked(dialog, IDC_USERINFO_MM7));
  state->result.confirmed = true;
  EndDialog(dialog, 1);
}

BOOL OnCommand(HWND dialog, int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_USERINFO_WEBLOGIN:
      ApplyWebLoginRule(dialog);
      return TRUE;
    case IDC_USERINFO_SMPP:
    case IDC_USERINFO_ACCEPT:
      EnableAddresses(dialog, Checked(dialog, IDC_USERINFO_ACCEPT));
      return TRUE;
    case IDOK:
      OnOk(dialog);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK UserDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, lParam);
    case WM_COMMAND:
      return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
  }
  return FALSE;
}

}  // namespace

UserDialogResult RunUserDialog(HWND owner, SMSUSERFILE store, const unsigned char* record) {
  UserDialogState state;
  state.store = store;
  state.original = ReadUserRecord(record);
  std::memset(state.result.record, 0, sizeof state.result.record);
  DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_USERINFO", owner, UserDialogProc,
                  reinterpret_cast<LPARAM>(&state));
  return state.result;
}
