// The debug-log options page: switches the three components' debug logs on
// and off and opens each log that exists in Notepad.
#include <windows.h>
#include <commctrl.h>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/pageprotocol.h"
#include "pages/msgopen.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;

struct DebugLogPageState {
  UINT_PTR timer = 0;  // the View buttons' refresh, while it runs
};

struct DebugLog {
  int checkId;
  int viewId;
  const char* iniName;  // in the program-data directory
  const char* section;
  const char* logName;  // in the program-data directory
};

const DebugLog kLogs[] = {
    {IDC_DEBUGLOG_SMSGW, IDC_DEBUGLOG_VIEW_SMSGW, "SMSGW.INI", "SMSGW", "SMSDEBUG.LOG"},
    {IDC_DEBUGLOG_MMSC, IDC_DEBUGLOG_VIEW_MMSC, "MMSC.INI", "MMSC", "MMSCDEBUG.LOG"},
    {IDC_DEBUGLOG_MMSWAP, IDC_DEBUGLOG_VIEW_MMSWAP, "MMSWAP.INI", "MMSWAP", "MMSWAPDEBUG.LOG"},
};

// SMSGW.INI is the file start-up resolved; the other two are located afresh.
void SettingsFile(const DebugLog& log, char* path) {
  if (log.checkId == IDC_DEBUGLOG_SMSGW)
    CopyBounded(path, MAX_PATH, g_SmsgwIni);
  else
    ProgramDataPath(log.iniName, path);
}

void RefreshViewButtons(HWND page) {
  for (const DebugLog& log : kLogs) {
    char path[MAX_PATH];
    ProgramDataPath(log.logName, path);
    EnableWindow(GetDlgItem(page, log.viewId), FileExists(path));
  }
}

// Opens the log in Notepad without waiting; a failure to start is not reported.
void ViewLog(const DebugLog& log) {
  char path[MAX_PATH];
  ProgramDataPath(log.logName, path);
  OpenInNotepad(path);
}

void SavePage(HWND page) {
  for (const DebugLog& log : kLogs) {
    char file[MAX_PATH];
    SettingsFile(log, file);
    bool on = IsDlgButtonChecked(page, log.checkId) == BST_CHECKED;
    WriteSetting(file, log.section, "Debug", on ? "Yes" : nullptr);
  }
}

BOOL OnInitDialog(HWND page, LPARAM initParam) {
  DebugLogPageState* state = KeepPageState<DebugLogPageState>(page, initParam);
  for (const DebugLog& log : kLogs) {
    char file[MAX_PATH];
    SettingsFile(log, file);
    CheckDlgButton(page, log.checkId, ReadYesSetting(file, log.section, "Debug") ? BST_CHECKED : BST_UNCHECKED);
  }
  state->timer = SetTimer(page, kRefreshTimer, 5000, nullptr);
  RefreshViewButtons(page);
  return TRUE;
}

BOOL OnCommand(HWND page, int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  for (const DebugLog& log : kLogs) {
    if (id == log.checkId) {
      NoteConfigChanged(page);
      return TRUE;
    }
    if (id == log.viewId) {
      ViewLog(log);
      return TRUE;
    }
  }
  return FALSE;
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  switch (header->code) {
    case PSN_APPLY:
      SavePage(page);
      return SetPageResult(page, PSNRET_NOERROR);
  }
  return AnswerSharedNotify(page, header->code, true);
}

INT_PTR CALLBACK DebugLogPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page, lParam);
    case WM_COMMAND:
      return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case PSM_QUERYSIBLINGS:
      return AnswerQuerySiblings(page, wParam);
    case WM_TIMER:
      if (wParam == kRefreshTimer) RefreshViewButtons(page);
      return TRUE;
    case WM_DESTROY:
      if (DebugLogPageState* state = StateOf<DebugLogPageState>(page); state && state->timer) {
        KillTimer(page, state->timer);
        state->timer = 0;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

const PageDefinition kDebugLogPage = StatefulPage<DebugLogPageState>(DebugLogPageProc);
