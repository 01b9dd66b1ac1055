// The Server page (wizard page 3 and the "Server" tab): the gateway's
// listening ports, and the services' state with one button to install, start
// or stop them.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/uihelpers.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "pages/pages.h"
#include "resource.h"
#include "service/services.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr unsigned kDefaultWebPort = 8800;

struct ServerPageState {
  bool initialising = false;  // the page is filling its own controls
};

unsigned ControlNumber(HWND page, int id) {
  char text[64];
  GetDlgItemTextA(page, id, text, sizeof text);
  return DecimalValue(text);
}

void ShowNumber(HWND page, int id, unsigned value) {
  char text[16];
  snprintf(text, sizeof text, "%u", value);
  SetDlgItemTextA(page, id, text);
}

// An optional port: shown and enabled when its key holds a non-zero number.
void LoadOptionalPort(HWND page, const char* file, const char* section, const char* key, int enableId, int portId) {
  char value[64];
  ReadSetting(file, section, key, "", value, sizeof value);
  unsigned port = DecimalValue(value);
  if (port) ShowNumber(page, portId, port);
  CheckDlgButton(page, enableId, port ? BST_CHECKED : BST_UNCHECKED);
}

// Written only while enabled with a non-zero number; otherwise the key goes.
void SaveOptionalPort(HWND page, const char* file, const char* section, const char* key, int enableId, int portId) {
  unsigned port = IsDlgButtonChecked(page, enableId) == BST_CHECKED ? ControlNumber(page, portId) : 0;
  char value[16] = "";
  if (port) snprintf(value, sizeof value, "%u", port);
  WriteSetting(file, section, key, value);
}

void ApplyEnableRule(HWND page) {
  BOOL smpp = IsDlgButtonChecked(page, IDC_SERVER_SMPP_ENABLE) == BST_CHECKED;
  EnableWindow(GetDlgItem(page, IDC_SERVER_SMPP_PORT), smpp);
  EnableWindow(GetDlgItem(page, IDC_SERVER_SMPP_PORT_LABEL), smpp);
  BOOL mm7 = IsDlgButtonChecked(page, IDC_SERVER_MM7_ENABLE) == BST_CHECKED;
  EnableWindow(GetDlgItem(page, IDC_SERVER_MM7_PORT), mm7);
  EnableWindow(GetDlgItem(page, IDC_SERVER_MM7_PORT_LABEL), mm7);
}

void RefreshStatus(HWND page) {
  const char* status = "Not Active";
  const char* action;
  if (IsSmsServiceActive() || IsMmscServiceActive()) {
    status = "Active";
    action = "Stop Service";
  } else if (IsSmsServiceInstalled() && IsMmscServiceInstalled()) {
    action = "Start Service";
  } else {
    action = "Install Service";
  }
  SetTextIfChanged(GetDlgItem(page, IDC_SERVER_STATUS), status);
  SetTextIfChanged(GetDlgItem(page, IDC_SERVER_ACTION), action);
}

void SavePage(HWND page) {
  unsigned web = ControlNumber(page, IDC_SERVER_WEBPORT);
  char value[16];
  snprintf(value, sizeof value, "%u", web ? web : kDefaultWebPort);
  WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", value);
  SaveOptionalPort(page, g_SmsgwIni, "SMSGW", "SMPPPort", IDC_SERVER_SMPP_ENABLE, IDC_SERVER_SMPP_PORT);
  SaveOptionalPort(page, g_MmscIni, "MMSC", "WebPort", IDC_SERVER_MM7_ENABLE, IDC_SERVER_MM7_PORT);
  g_ConfigChanged = false;
}

void InstallBehindBusyCursor() {
  HCURSOR cursor = BeginBusyCursor();
  InstallServices(false);
  EndBusyCursor(cursor);
}

BOOL OnInitDialog(HWND page, LPARAM initParam) {
  ServerPageState* state = KeepPageState<ServerPageState>(page, initParam);
  state->initialising = true;
  char value[64];
  ReadSetting(g_SmsgwIni, "SMSGW", "WebPort", "", value, sizeof value);
  unsigned web = DecimalValue(value);
  ShowNumber(page, IDC_SERVER_WEBPORT, web ? web : kDefaultWebPort);
  LoadOptionalPort(page, g_SmsgwIni, "SMSGW", "SMPPPort", IDC_SERVER_SMPP_ENABLE, IDC_SERVER_SMPP_PORT);
  LoadOptionalPort(page, g_MmscIni, "MMSC", "WebPort", IDC_SERVER_MM7_ENABLE, IDC_SERVER_MM7_PORT);
  ApplyEnableRule(page);
  state->initialising = false;
  SetTimer(page, kRefreshTimer, 1000, nullptr);
  RefreshStatus(page);
  return TRUE;
}

// Stops the services when either runs; otherwise offers to save unsaved edits
// and installs (or reconfigures) and starts both.
void OnServiceAction(HWND page) {
  if (IsSmsServiceActive() || IsMmscServiceActive()) {
    HCURSOR cursor = BeginBusyCursor();
    StopServices(false);
    EndBusyCursor(cursor);
  } else {
    if (g_ConfigChanged &&
        ShowMessage(page, "Save configuration changes?", MB_YESNOCANCEL | MB_ICONQUESTION) == IDYES) {
      if (!SendMessageA(GetParent(page), PSM_APPLY, 0, 0)) return;  // a page refused: nothing else happens
      g_ConfigChanged = false;
    }
    InstallBehindBusyCursor();
  }
  RefreshStatus(page);
}

BOOL OnCommand(HWND page, int id, int code) {
  const ServerPageState* state = StateOf<ServerPageState>(page);
  switch (id) {
    case IDC_SERVER_WEBPORT:
    case IDC_SERVER_SMPP_PORT:
    case IDC_SERVER_MM7_PORT:
      if (code != EN_CHANGE) return FALSE;
      if (!state->initialising) NoteConfigChanged(page);
      return TRUE;
    case IDC_SERVER_SMPP_ENABLE:
    case IDC_SERVER_MM7_ENABLE:
      if (code != BN_CLICKED) return FALSE;
      if (!state->initialising) NoteConfigChanged(page);
      ApplyEnableRule(page);
      return TRUE;
    case IDC_SERVER_ACTION:
      if (code != BN_CLICKED) return FALSE;
      OnServiceAction(page);
      return TRUE;
  }
  return FALSE;
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_SETACTIVE:
      SetWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
      return SetPageResult(page, 0);
    case PSN_APPLY:
      SavePage(page);
      return SetPageResult(page, PSNRET_NOERROR);
    case PSN_WIZNEXT:
      SavePage(page);
      InstallBehindBusyCursor();
      return SetPageResult(page, 0);
  }
  return AnswerSharedNotify(page, header->code, false);
}

INT_PTR CALLBACK ServerPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page, lParam);
    case WM_COMMAND:
      return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      if (wParam == kRefreshTimer) RefreshStatus(page);
      return TRUE;
    case WM_DESTROY:
      KillTimer(page, kRefreshTimer);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

const PageDefinition kServerPage = StatefulPage<ServerPageState>(ServerPageProc);
