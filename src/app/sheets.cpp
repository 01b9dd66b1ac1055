// The setup wizard and the configuration sheet, built from tables of pages,
// the wizard's "Configuration Complete" page, the wait window, and the
// unsaved-edits protocol every page follows.
#include "app/sheets.h"

#include <commctrl.h>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "app/pagestate.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

struct PageEntry {
  const char* templateName;
  const PageDefinition* page;
  const char* title;
};

// Wizard buttons of a page by its place in the sheet: Next on the first page,
// Back and Finish on the last, Back and Next between.
DWORD ButtonsForPosition(HWND page) {
  HWND sheet = GetParent(page);
  LRESULT index = SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0);
  if (index <= 0) return PSWIZB_NEXT;
  if (!SendMessageA(sheet, PSM_INDEXTOPAGE, static_cast<WPARAM>(index + 1), 0)) return PSWIZB_BACK | PSWIZB_FINISH;
  return PSWIZB_BACK | PSWIZB_NEXT;
}

// The procedure of the pages whose own controls are not part of this build:
// they take part in the sheets (help, unsaved-edits protocol, wizard
// buttons) and hold nothing else.
INT_PTR CALLBACK PlainPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message != WM_NOTIFY) return FALSE;
  switch (reinterpret_cast<NMHDR*>(lParam)->code) {
    case PSN_SETACTIVE:
      SetWizardButtons(page, ButtonsForPosition(page));
      return SetPageResult(page, 0);
  }
  return AnswerSharedNotify(page, reinterpret_cast<const NMHDR*>(lParam)->code, false);
}

// "Configuration Complete": Yes goes on to the test message, No finishes.
void ApplyCompleteButtons(HWND page) {
  DWORD buttons = PSWIZB_BACK;
  if (IsDlgButtonChecked(page, IDC_WIZCOMPLETE_YES) == BST_CHECKED)
    buttons |= PSWIZB_NEXT;
  else if (IsDlgButtonChecked(page, IDC_WIZCOMPLETE_NO) == BST_CHECKED)
    buttons |= PSWIZB_FINISH;
  SetWizardButtons(page, buttons);
}

INT_PTR CALLBACK WizardCompletePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED &&
          (LOWORD(wParam) == IDC_WIZCOMPLETE_YES || LOWORD(wParam) == IDC_WIZCOMPLETE_NO)) {
        ApplyCompleteButtons(page);
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY:
      switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
          ApplyCompleteButtons(page);
          return SetPageResult(page, 0);
        case PSN_WIZNEXT:
        case PSN_WIZFINISH:
        case PSN_KILLACTIVE:
          return SetPageResult(page, 0);
      }
      return AnswerSharedNotify(page, reinterpret_cast<const NMHDR*>(lParam)->code, false);
  }
  return FALSE;
}

const PageDefinition kPlainPage = StatelessPage(PlainPageProc);
const PageDefinition kWizardCompletePage = StatelessPage(WizardCompletePageProc);

const PageEntry kWizardPages[] = {
    {"DIALOG_WIZADDMODEM", &kWizardAddModemPage, "ZarqSMS Lite Setup Wizard:  Select Modem"},
    {"DIALOG_MODEM", &kModemPage, "ZarqSMS Lite Setup Wizard:  Modem Settings"},
    {"DIALOG_SERVER", &kServerPage, "ZarqSMS Lite Setup Wizard:  Server Settings"},
    {"DIALOG_WIZCOMPLETE", &kWizardCompletePage, "ZarqSMS Lite Setup Wizard:  Configuration Complete"},
    {"DIALOG_TESTMSG", &kTestMessagePage, "ZarqSMS Lite Setup Wizard:  Send Test Message"},
};

const PageEntry kConfigurationPages[] = {
    {"DIALOG_STATUS", &kStatusPage, "Status"},
    {"DIALOG_MODEM", &kModemPage, "Modem"},
    {"DIALOG_SERVER", &kServerPage, "Server"},
    {"DIALOG_SMSUSERS", &kUsersPage, "Users"},
    {"DIALOG_RECV", &kTwoWayPage, "2-Way"},
    {"DIALOG_TESTMSG", &kTestMessagePage, "Test Message"},
    {"DIALOG_DEBUGLOG", &kDebugLogPage, "Debug Logs"},
};

// The configuration sheet can be minimised: a minimise box and a "Minimize"
// item in its system menu.
int CALLBACK ConfigurationSheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && sheet) {
    SetWindowLongPtrA(sheet, GWL_STYLE, GetWindowLongPtrA(sheet, GWL_STYLE) | WS_MINIMIZEBOX);
    HMENU menu = GetSystemMenu(sheet, FALSE);
    if (menu) AppendMenuA(menu, MF_STRING, SC_MINIMIZE, "Minimize");
    DrawMenuBar(sheet);
  }
  return 0;
}

template <size_t N>
INT_PTR ShowSheet(const PageEntry (&pages)[N], DWORD flags, HICON icon) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  // Each page's state lives as long as the sheet.
  void* states[N] = {};
  PROPSHEETPAGEA records[N] = {};
  for (size_t i = 0; i < N; ++i) {
    if (pages[i].page->newState) states[i] = pages[i].page->newState();
    records[i].dwSize = sizeof records[i];
    records[i].dwFlags = PSP_USETITLE | (g_HelpExists ? PSP_HASHELP : 0);
    records[i].hInstance = instance;
    records[i].pszTemplate = pages[i].templateName;
    records[i].pfnDlgProc = pages[i].page->procedure;
    records[i].pszTitle = pages[i].title;
    records[i].lParam = reinterpret_cast<LPARAM>(states[i]);
  }

  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = flags | PSH_PROPSHEETPAGE | PSH_USEHICON | (g_HelpExists ? PSH_HASHELP : 0);
  header.hwndParent = nullptr;
  header.hInstance = instance;
  header.hIcon = icon;
  header.pszCaption = kProductTitle;
  header.nPages = N;
  header.nStartPage = 0;
  header.ppsp = records;
  if (flags & PSH_USECALLBACK) header.pfnCallback = ConfigurationSheetCallback;
  INT_PTR result = PropertySheetA(&header);
  for (size_t i = 0; i < N; ++i)
    if (states[i]) pages[i].page->deleteState(states[i]);
  return result;
}

INT_PTR CALLBACK WaitWindowProc(HWND window, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunSetupWizard(HICON icon) { return ShowSheet(kWizardPages, PSH_WIZARD | PSH_NOAPPLYNOW, icon); }

void RunConfigurationSheet(HICON icon) { ShowSheet(kConfigurationPages, PSH_USECALLBACK, icon); }

HWND CreateWaitWindow(HWND owner) {
  return CreateDialogParamA(GetModuleHandleA(nullptr), "WAITDLG", owner, WaitWindowProc, 0);
}

void NoteConfigChanged(HWND page) {
  SendMessageA(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
  g_ConfigChanged = true;
}

INT_PTR AnswerQueryCancel(HWND page, bool askSiblings) {
  HWND sheet = GetParent(page);
  bool unsaved = g_ConfigChanged;
  if (!unsaved && askSiblings) unsaved = SendMessageA(sheet, PSM_QUERYSIBLINGS, kQueryConfigChanged, 0) != 0;
  bool close = !unsaved || ShowMessage(sheet, "Exit without saving configuration changes?",
                                       MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES;
  return SetPageResult(page, close ? FALSE : TRUE);
}

INT_PTR AnswerSharedNotify(HWND page, UINT code, bool askSiblings) {
  switch (code) {
    case PSN_KILLACTIVE:
      return SetPageResult(page, FALSE);
    case PSN_QUERYCANCEL:
      return AnswerQueryCancel(page, askSiblings);
    case PSN_HELP:
      OpenHelpDocument();
      return TRUE;
  }
  return FALSE;
}

INT_PTR AnswerQuerySiblings(HWND page, WPARAM code) {
  if (code != kQueryConfigChanged) return FALSE;
  return SetPageResult(page, g_ConfigChanged ? 1 : 0);
}

INT_PTR SetPageResult(HWND page, LONG_PTR result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

void SetWizardButtons(HWND page, DWORD buttons) {
  PostMessageA(GetParent(page), PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(buttons));
}
