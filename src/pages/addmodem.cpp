// The two add-modem dialogs: the modal "Add Modem" dialog of the Modem page
// and the setup wizard's Select Modem page. Both list the Windows data
// modems, and accept a modem only once the modem test has passed.
#include <windows.h>
#include <commctrl.h>


#include "app/appstate.h"
#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "core/gatewaynames.h"
#include "gateway/linkbinding.h"
#include "modem/modemport.h"
#include "modem/modemtest.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

constexpr size_t kNameSize = sizeof AddModemChoice::name;
constexpr int kWizardPinSize = 50;  // the wizard uses up to 49 characters of the PIN
constexpr unsigned kAllocateWaitLimit = 60;
constexpr UINT_PTR kSheetSubclassId = 0x5a4d;

const char kNotListedAdvice[] =
    "To use a modem with this application, a Windows modem driver must be installed.\r\n\r\n"
    "To add a Windows modem driver, go to the Windows Control Panel, select 'Phone and Modem Options', then "
    "'Modems.\r\n\r\nAfter defining the modem, return to the ZarqSMS Setup.";
const char kInUse[] = "Modem is in use by the ZarqSMS service.\r\n\r\nPlease try again later.";

// The text of entry `index` of the modem list, empty when there is none or it
// does not fit the name buffer.
void EntryText(HWND dialog, LRESULT index, char* name) {
  name[0] = '\0';
  if (index < 0) return;
  LRESULT length = SendDlgItemMessageA(dialog, IDC_ADDMODEM_LIST, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0 || length >= static_cast<LRESULT>(kNameSize)) return;
  SendDlgItemMessageA(dialog, IDC_ADDMODEM_LIST, CB_GETLBTEXT, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(name));
}

void SelectedText(HWND dialog, char* name) {
  EntryText(dialog, SendDlgItemMessageA(dialog, IDC_ADDMODEM_LIST, CB_GETCURSEL, 0, 0), name);
}

// Lists the modems afresh and selects `wanted`, else the first entry.
void FillModemList(HWND dialog, const char* wanted) {
  SendDlgItemMessageA(dialog, IDC_ADDMODEM_LIST, CB_RESETCONTENT, 0, 0);
  ListDataModems(dialog, IDC_ADDMODEM_LIST);
  LRESULT index = CB_ERR;
  if (wanted[0])
    index = SendDlgItemMessageA(dialog, IDC_ADDMODEM_LIST, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(wanted));
  if (index == CB_ERR) index = 0;
  SendDlgItemMessageA(dialog, IDC_ADDMODEM_LIST, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void FillFromConfiguration(HWND dialog) {
  char configured[kNameSize];
  ReadSetting(g_SmsgwIni, "SMSGW", "Modem1", "", configured, sizeof configured);
  FillModemList(dialog, configured);
}

// The operator may come back from the Windows modem settings with another
// modem installed: list again, keeping the choice.
void Refill(HWND dialog) {
  char chosen[kNameSize];
  SelectedText(dialog, chosen);
  FillModemList(dialog, chosen);
}

bool IsActivation(WPARAM wParam) { return LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE; }

// Activated from another program (or from nothing): the modems may have
// changed. Coming back from one of our own message boxes is not: listing
// again there would loop when listing itself reports a TAPI failure.
bool IsReturnFromElsewhere(WPARAM wParam, LPARAM lParam) {
  if (!IsActivation(wParam)) return false;
  HWND previous = reinterpret_cast<HWND>(lParam);
  if (!previous) return true;
  DWORD process = 0;
  return GetWindowThreadProcessId(previous, &process) != 0 && process != GetCurrentProcessId();
}

void ShowNotListedAdvice(HWND dialog) { ShowMessage(dialog, kNotListedAdvice, MB_OK); }

// ---- DIALOG_ADDMODEM ----

struct AddModemDialogState {
  AddModemChoice choice;  // filled once a modem passed its test
};

// Asks the gateway service to let go of the modem for the test; 0 when it
// would not (the test is tried all the same) or there is no link library.
MODEMLEASE BorrowModem(HWND dialog, const LinkLibrary* link, const char* name) {
  if (!link) return nullptr;
  HCURSOR cursor = BeginBusyCursor();
  unsigned scratch = 0;
  MODEMLEASE lease = link->ModemAllocate(name, kAllocateWaitLimit, &scratch);
  EndBusyCursor(cursor);
  if (!lease) ShowMessage(dialog, kInUse, MB_OK | MB_ICONERROR);
  return lease;
}

void OnTestAndSelect(HWND dialog) {
  char name[kNameSize];
  SelectedText(dialog, name);
  if (!name[0]) return;
  char pin[sizeof AddModemChoice::pin];
  GetDlgItemTextA(dialog, IDC_ADDMODEM_PIN, pin, sizeof pin);

  const LinkLibrary* link = BindLinkLibrary();
  MODEMLEASE lease = BorrowModem(dialog, link, name);
  bool passed = TestModem(dialog, name, pin) != 0;
  if (lease) link->ModemRelease(lease);
  if (!passed) return;

  AddModemChoice& choice = StateOf<AddModemDialogState>(dialog)->choice;
  CopyBounded(choice.name, sizeof choice.name, name);
  CopyBounded(choice.pin, sizeof choice.pin, pin);
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK AddModemDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      KeepDialogState<AddModemDialogState>(dialog, lParam)->choice = AddModemChoice();
      FillFromConfiguration(dialog);
      return TRUE;
    case WM_ACTIVATE:
      if (IsReturnFromElsewhere(wParam, lParam)) Refill(dialog);
      return FALSE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDC_ADDMODEM_TEST:
          OnTestAndSelect(dialog);
          return TRUE;
        case IDC_ADDMODEM_NOT_LISTED:
          ShowNotListedAdvice(dialog);
          return TRUE;
        case IDCANCEL:
          StateOf<AddModemDialogState>(dialog)->choice = AddModemChoice();
          EndDialog(dialog, 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

// ---- DIALOG_WIZADDMODEM ----

struct SelectModemPageState {
  HWND sheet = nullptr;  // the wizard, whose activation the page follows
};

// A wizard page is a child window and gets no WM_ACTIVATE of its own: the
// sheet's activation is passed on to it.
LRESULT CALLBACK SheetActivationSubclass(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR page) {
  if (message == WM_ACTIVATE && IsActivation(wParam)) {
    LRESULT result = DefSubclassProc(sheet, message, wParam, lParam);
    SendMessageA(reinterpret_cast<HWND>(page), WM_ACTIVATE, wParam, lParam);
    return result;
  }
  return DefSubclassProc(sheet, message, wParam, lParam);
}

// Next: the modem must pass the test before it is written.
LONG_PTR OnWizardNext(HWND page) {
  char name[kNameSize];
  SelectedText(page, name);
  if (!name[0] && SendDlgItemMessageA(page, IDC_ADDMODEM_LIST, CB_GETCURSEL, 0, 0) == CB_ERR) EntryText(page, 0, name);
  if (!name[0]) return -1;
  char pin[kWizardPinSize];
  GetDlgItemTextA(page, IDC_ADDMODEM_PIN, pin, sizeof pin);
  if (!TestModem(page, name, pin)) return -1;

  char section[kSectionNameSize];
  ConnectionSectionName(name, section, sizeof section);
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", name);
  WriteSetting(g_SmsgwIni, section, "PIN", pin);
  return 0;
}

BOOL OnInitSelectModemPage(HWND page, LPARAM initParam) {
  SelectModemPageState* state = KeepPageState<SelectModemPageState>(page, initParam);
  FillFromConfiguration(page);
  ShowWindow(GetDlgItem(page, IDC_ADDMODEM_TEST), SW_HIDE);
  ShowWindow(GetDlgItem(page, IDCANCEL), SW_HIDE);
  state->sheet = GetParent(page);
  SetWindowSubclass(state->sheet, SheetActivationSubclass, kSheetSubclassId, reinterpret_cast<DWORD_PTR>(page));
  return TRUE;
}

INT_PTR CALLBACK WizardAddModemPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitSelectModemPage(page, lParam);
    case WM_DESTROY:
      if (SelectModemPageState* state = StateOf<SelectModemPageState>(page))
        RemoveWindowSubclass(state->sheet, SheetActivationSubclass, kSheetSubclassId);
      return FALSE;
    case WM_ACTIVATE:
      if (IsReturnFromElsewhere(wParam, lParam)) Refill(page);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_ADDMODEM_NOT_LISTED) {
        ShowNotListedAdvice(page);
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY:
      switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
          SetWizardButtons(page, PSWIZB_NEXT);
          return SetPageResult(page, 0);
        case PSN_WIZNEXT:
          return SetPageResult(page, OnWizardNext(page));
      }
      return AnswerSharedNotify(page, reinterpret_cast<const NMHDR*>(lParam)->code, false);
  }
  return FALSE;
}

}  // namespace

bool RunAddModemDialog(HWND owner, AddModemChoice* choice) {
  AddModemDialogState state;
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_ADDMODEM", owner, AddModemDialogProc,
                                   reinterpret_cast<LPARAM>(&state));
  *choice = result == 1 ? state.choice : AddModemChoice();
  return result == 1 && choice->name[0];
}

const PageDefinition kWizardAddModemPage = StatefulPage<SelectModemPageState>(WizardAddModemPageProc);
