// The 2-way command dialog: one entry of the received-SMS command table,
// checked before it is handed back.
#include <windows.h>

#include <string>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pagestate.h"
#include "core/commandtable.h"
#include "pages/twoway.h"
#include "resource.h"

namespace {

// The entry's fields are limited so that a built entry always fits what the
// gateway reads back (kCommandEntrySize), flag included.
constexpr int kPrefixLimit = int(kCommandPrefixSize) - 1;
constexpr int kCommandLimit = int(kCommandEntrySize) - 1 - kPrefixLimit - 5;

constexpr char kNoReplacementString[] =
    "You must include one or more of the following replacement strings in the command to be executed:\r\n\r\n"
    "@@SENDER@@ - Will contain the phone number of the sender of the inbound SMS message\r\n"
    "@@SMS@@ - Will contain the text of the SMS message without the command prefix\r\n"
    "@@FULLSMS@@ - Will contain the complete text of the SMS message, including the command prefix";

struct CommandDialogState {
  char* entry;  // the caller's buffer, kCommandEntrySize bytes
};

bool ProgramExists(const char* path) { return IsPlainFile(path); }

void RefuseCommand(HWND dialog, const char* text) {
  ShowMessage(dialog, text, MB_OK | MB_ICONERROR);
  FocusDialogControl(dialog, IDC_COMMAND_TEXT);
}

BOOL OnInitDialog(HWND dialog, LPARAM initParam) {
  CommandDialogState* state = KeepDialogState<CommandDialogState>(dialog, initParam);
  SendDlgItemMessageA(dialog, IDC_COMMAND_PREFIX, EM_LIMITTEXT, kPrefixLimit, 0);
  SendDlgItemMessageA(dialog, IDC_COMMAND_TEXT, EM_LIMITTEXT, kCommandLimit, 0);
  if (state->entry[0]) {
    SetDlgItemTextA(dialog, IDC_COMMAND_PREFIX, CommandField(state->entry, 0).c_str());
    SetDlgItemTextA(dialog, IDC_COMMAND_TEXT, CommandField(state->entry, 1).c_str());
    CheckDlgButton(dialog, IDC_COMMAND_RESPONSE,
                   IsYesValue(CommandField(state->entry, 2).c_str()) ? BST_CHECKED : BST_UNCHECKED);
  }
  return TRUE;
}

void OnOk(HWND dialog) {
  char command[kCommandEntrySize];
  GetDlgItemTextA(dialog, IDC_COMMAND_TEXT, command, sizeof command);
  bool response = IsDlgButtonChecked(dialog, IDC_COMMAND_RESPONSE) == BST_CHECKED;
  char program[kCommandProgramSize];
  switch (CheckCommand(command, response, ProgramExists, program, sizeof program, &AnsiUpper())) {
    case CommandProblem::Empty:
      return RefuseCommand(dialog, "Field is required!");
    case CommandProblem::MailTo:
      return RefuseCommand(dialog, "mailto: not supported by this edition of ZarqSMS");
    case CommandProblem::NoReplacementString:
      return RefuseCommand(dialog, kNoReplacementString);
    case CommandProblem::ProgramMissing: {
      std::string text = std::string("Cannot locate program file:  ") + program +
                         "\r\n\r\nPlease specify an http://url, or a valid executable file name.";
      return RefuseCommand(dialog, text.c_str());
    }
    case CommandProblem::None:
      break;
  }
  char prefix[kCommandEntrySize];
  GetDlgItemTextA(dialog, IDC_COMMAND_PREFIX, prefix, sizeof prefix);
  BuildCommandEntry(prefix, command, response, StateOf<CommandDialogState>(dialog)->entry, kCommandEntrySize);
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK CommandDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, lParam);
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (LOWORD(wParam) == IDOK) {
        OnOk(dialog);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void FocusDialogControl(HWND dialog, int id) {
  HWND root = GetAncestor(dialog, GA_ROOT);
  SetActiveWindow(root);
  SendMessageA(root, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

INT_PTR EditCommandEntry(HWND owner, char* entry) {
  CommandDialogState state = {entry};
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_2WAYCOMMAND", owner, CommandDialogProc,
                                   reinterpret_cast<LPARAM>(&state));
  return result == 1 ? 1 : 0;
}
