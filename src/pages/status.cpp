// The Status page, first tab of the configuration sheet: once a second it
// shows whether both services are installed and running, which port each
// failed to open, which modems report errors, how many messages wait in the
// outbound queues and the day, 7-day and 30-day counters. Its buttons install
// or remove, start and stop the services and open the message lists, the log
// files and the event log.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "app/uihelpers.h"
#include "core/daycounter.h"
#include "core/profilesection.h"
#include "gateway/zarqacct.h"
#include "pages/msgopen.h"
#include "pages/pages.h"
#include "resource.h"
#include "service/services.h"
#include "store/msgfiles.h"
#include "store/queuecount.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr long long kQueueCountSeconds = 10;
constexpr size_t kInfoTextSize = 1024;  // at most 1023 characters
constexpr size_t kModemNameLength = 1023;
constexpr DWORD kSectionLimit = 16u << 20;

// The page's values, kept for the life of the sheet (and so of the process).
struct StatusPageState {
  long long lastQueueCount = 0;  // wall-clock second of the last queue count; 0 at start
  bool smsQueueAlert = false;
  bool mmsQueueAlert = false;
  bool infoAlert = false;
  bool statusAlert = false;
  bool serviceToggleBusy = false;  // the check box handler runs: the refresh leaves the box alone
};

struct CounterRow {
  const char* names[2];  // summed cell by cell; the second may be null
  int cells[3];          // today, last 7 days, last 30 days
};

const CounterRow kCounterRows[] = {
    {{"SMSSUBMIT", nullptr}, {IDC_STATUS_SMSSUBMIT_TODAY, IDC_STATUS_SMSSUBMIT_LAST7, IDC_STATUS_SMSSUBMIT_LAST30}},
    {{"SMSSENT", nullptr}, {IDC_STATUS_SMSSENT_TODAY, IDC_STATUS_SMSSENT_LAST7, IDC_STATUS_SMSSENT_LAST30}},
    {{"SMSRECEIVED", nullptr},
     {IDC_STATUS_SMSRECEIVED_TODAY, IDC_STATUS_SMSRECEIVED_LAST7, IDC_STATUS_SMSRECEIVED_LAST30}},
    {{"SMSFAILED", nullptr}, {IDC_STATUS_SMSFAILED_TODAY, IDC_STATUS_SMSFAILED_LAST7, IDC_STATUS_SMSFAILED_LAST30}},
    {{"SMSRETRY", nullptr}, {IDC_STATUS_SMSRETRY_TODAY, IDC_STATUS_SMSRETRY_LAST7, IDC_STATUS_SMSRETRY_LAST30}},
    {{"MMSIN-VASP", "MMSIN-USER"},
     {IDC_STATUS_MMSPROCESSED_TODAY, IDC_STATUS_MMSPROCESSED_LAST7, IDC_STATUS_MMSPROCESSED_LAST30}},
    {{"MMSOUT-VASP", "MMSOUT-MMSC"}, {IDC_STATUS_MMSSENT_TODAY, IDC_STATUS_MMSSENT_LAST7, IDC_STATUS_MMSSENT_LAST30}},
    {{"MMSIN-MODEM", nullptr},
     {IDC_STATUS_MMSRECEIVED_TODAY, IDC_STATUS_MMSRECEIVED_LAST7, IDC_STATUS_MMSRECEIVED_LAST30}},
};

const char kLogFilter[] =
    "ZarqSMS Log Files\0*.log\0SMS Out Log Files\0smsout*.log\0SMS In Files\0smsin*.log\0"
    "SMS Submit Log Files\0smsweb*.log\0MMSC Log Files\0mmsc*.log\0All Files\0*.*\0";

long long WallClockSecond() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  return static_cast<long long>(t.QuadPart / 10000000ull);
}

// A whole counter file, at most its 1464 bytes; the number of bytes read (0
// for a missing file).
DWORD ReadCounterFile(const char* privateDir, const char* name, unsigned year, unsigned char* bytes) {
  char file[MAX_PATH], path[MAX_PATH];
  CounterFileName(name, year, file, sizeof file);
  CopyBounded(path, sizeof path, privateDir);
  BoundedAppend(path, sizeof path, file);
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  DWORD total = 0, got = 0;
  while (total < kCounterFileSize && ReadFile(h, bytes + total, kCounterFileSize - total, &got, nullptr) && got)
    total += got;
  CloseHandle(h);
  return total;
}

// Today's, the last 7 days' and the last 30 days' counts of one counter.
DayCounts ReadDayCounters(const char* privateDir, const char* name, const SYSTEMTIME& today) {
  unsigned char thisYear[kCounterFileSize], lastYear[kCounterFileSize];
  DWORD thisSize = ReadCounterFile(privateDir, name, today.wYear, thisYear), lastSize = 0;
  if (CounterNeedsPreviousYear(today.wYear, today.wMonth, today.wDay))
    lastSize = ReadCounterFile(privateDir, name, today.wYear - 1u, lastYear);
  return SumDayCounters(today.wYear, today.wMonth, today.wDay, thisYear, thisSize, lastYear, lastSize);
}

// [section] of `file` as one block of "key=value" entries, read whole (the
// profile functions answer size - 2 when the buffer was too small).
std::vector<char> ReadSection(const char* file, const char* section) {
  std::vector<char> buffer(32768);
  while (GetPrivateProfileSectionA(section, buffer.data(), DWORD(buffer.size()), file) + 2 >= buffer.size() &&
         buffer.size() < kSectionLimit)
    buffer.assign(buffer.size() * 2, '\0');
  return buffer;
}

void Invalidate(HWND page, int id) { InvalidateRect(GetDlgItem(page, id), nullptr, TRUE); }

// One queue's count; the alert is set before the text so that the repaint
// takes the new colour, and the label follows when either changes.
void ShowQueue(HWND page, int labelId, int countId, unsigned count, unsigned alertSize, bool* alert) {
  bool red = alertSize != 0 && count > alertSize;
  bool flipped = red != *alert;
  *alert = red;
  char text[16] = "Empty";
  if (count) snprintf(text, sizeof text, "%u", count);
  if (SetTextIfChanged(GetDlgItem(page, countId), text) || flipped) {
    Invalidate(page, labelId);
    Invalidate(page, countId);
  }
}

void RefreshQueues(HWND page, StatusPageState* state) {
  long long now = WallClockSecond();
  if (now >= state->lastQueueCount && now - state->lastQueueCount < kQueueCountSeconds) return;
  char value[32];
  ReadSetting(g_SmsgwIni, "SMSGW", "AlertEMailQueueSize", "100", value, sizeof value);
  unsigned alertSize = DecimalValue(value);
  ShowQueue(page, IDC_STATUS_SMSQ_LABEL, IDC_STATUS_SMSQ_COUNT, CountSmsQueue(), alertSize, &state->smsQueueAlert);
  ShowQueue(page, IDC_STATUS_MMSQ_LABEL, IDC_STATUS_MMSQ_COUNT, CountMmsQueue(), alertSize, &state->mmsQueueAlert);
  state->lastQueueCount = now;
}

void ShowAlertText(HWND page, int id, const char* text, bool red, bool* alert) {
  bool flipped = red != *alert;
  *alert = red;
  if (SetTextIfChanged(GetDlgItem(page, id), text) || flipped) Invalidate(page, id);
}

// The modems' route errors, "name : error" a line, while the SMS gateway runs.
void RefreshInformation(HWND page, StatusPageState* state, const ServicePairState& services, const char* privateDir) {
  if (!services.smsInstalled || !services.smsActive) {
    ShowAlertText(page, IDC_STATUS_INFO, "Service is NOT active", true, &state->infoAlert);
    return;
  }
  std::vector<char> section = ReadSection(g_SmsgwIni, "SMSGW");
  char text[kInfoTextSize] = "";
  char error[251];
  for (const std::string& modem : ConfiguredModemNames(section.data(), section.size(), kModemNameLength)) {
    ReadRouteErrorFileIn(privateDir, modem.c_str(), RouteKind::Modem, error);
    if (!error[0]) continue;
    BoundedAppend(text, sizeof text, modem.c_str());
    BoundedAppend(text, sizeof text, " : ");
    BoundedAppend(text, sizeof text, error);
    BoundedAppend(text, sizeof text, "\r\n");
  }
  ShowAlertText(page, IDC_STATUS_INFO, text, text[0] != '\0', &state->infoAlert);
}

// The first problem of one gateway, or null when it runs without a port conflict.
const char* GatewayProblem(Gateway which, bool installed, bool active, const char* byte2Text, const char* byte4Text) {
  if (!installed) return "Service is NOT Installed";
  if (!active) return "Service is NOT Active";
  const char* problem = nullptr;
  StatusBlock block;
  if (OpenStatusBlock(which, &block)) {
    if (block.view[kWebPortConflictByte])
      problem = byte2Text;
    else if (block.view[kSmppPortConflictByte])
      problem = byte4Text;
    CloseStatusBlock(&block);
  }
  return problem;
}

void RefreshStatusLine(HWND page, StatusPageState* state, const ServicePairState& s) {
  const char* problem = GatewayProblem(Gateway::Sms, s.smsInstalled, s.smsActive, "ERROR:  Web Port already in use",
                                       "ERROR:  SMPP Server Port already in use");
  if (!problem)
    problem = GatewayProblem(Gateway::Mmsc, s.mmscInstalled, s.mmscActive, "ERROR:  MM7 Port already in use",
                             "ERROR:  SMPP Port already in use");
  ShowAlertText(page, IDC_STATUS_LINE, problem ? problem : "Service is Active", problem != nullptr,
                &state->statusAlert);
}

void ShowCell(HWND page, int id, uint32_t value) {
  char text[16] = "";
  if (value) snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  SetTextIfChanged(GetDlgItem(page, id), text);
}

void RefreshCounters(HWND page, const char* privateDir) {
  SYSTEMTIME today;
  GetLocalTime(&today);
  for (const CounterRow& row : kCounterRows) {
    DayCounts sum;
    for (const char* name : row.names) {
      if (!name) continue;
      DayCounts c = ReadDayCounters(privateDir, name, today);
      sum.today += c.today;
      sum.last7 += c.last7;
      sum.last30 += c.last30;
    }
    ShowCell(page, row.cells[0], sum.today);
    ShowCell(page, row.cells[1], sum.last7);
    ShowCell(page, row.cells[2], sum.last30);
  }
}

void RefreshControls(HWND page, const StatusPageState* state, const ServicePairState& s) {
  bool installed = s.smsInstalled && s.mmscInstalled;
  bool ticked = IsDlgButtonChecked(page, IDC_STATUS_RUN_AS_SERVICE) == BST_CHECKED;
  if (ticked != installed && !state->serviceToggleBusy)
    CheckDlgButton(page, IDC_STATUS_RUN_AS_SERVICE, installed ? BST_CHECKED : BST_UNCHECKED);
  bool running = s.smsActive && s.mmscActive;
  EnableWindow(GetDlgItem(page, IDC_STATUS_START), installed && !running);
  EnableWindow(GetDlgItem(page, IDC_STATUS_STOP), installed && running);
}

void Refresh(HWND page) {
  StatusPageState* state = StateOf<StatusPageState>(page);
  if (!state) return;
  // The services are asked once a tick; every step below sees the same answers.
  ServicePairState services = QueryServicePair();
  char privateDir[MAX_PATH];
  GetPrivateDataDirectory(privateDir);
  RefreshQueues(page, state);
  RefreshInformation(page, state, services, privateDir);
  RefreshStatusLine(page, state, services);
  RefreshCounters(page, privateDir);
  RefreshControls(page, state, services);
}

// The question asked before the services start while edits are unsaved. False
// when the operator chose to save and a page refused.
bool SaveIfAsked(HWND page) {
  HWND sheet = GetParent(page);
  if (!SendMessageA(sheet, PSM_QUERYSIBLINGS, kQueryConfigChanged, 0)) return true;
  if (ShowMessage(page, "Save configuration changes?", MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES) return true;
  if (!SendMessageA(sheet, PSM_APPLY, 0, 0)) return false;
  g_ConfigChanged = false;
  return true;
}

template <typename Operation>
void BehindBusyCursor(Operation operation) {
  HCURSOR cursor = BeginBusyCursor();
  operation();
  EndBusyCursor(cursor);
}

// Ticking installs (or reconfigures) and starts both services; clearing
// removes them after a question. The next refresh shows what came of it.
void OnRunAsService(HWND page) {
  StatusPageState* state = StateOf<StatusPageState>(page);
  state->serviceToggleBusy = true;
  if (IsDlgButtonChecked(page, IDC_STATUS_RUN_AS_SERVICE) == BST_CHECKED) {
    if (SaveIfAsked(page)) BehindBusyCursor([] { InstallServices(false); });
  } else if (ShowMessageCaptioned(page, "Are you sure?", "Remove Service",
                                  MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
    BehindBusyCursor([] { RemoveServices(false); });
  }
  state->serviceToggleBusy = false;
}

bool Ticked(HWND page) { return IsDlgButtonChecked(page, IDC_STATUS_RUN_AS_SERVICE) == BST_CHECKED; }

// Picks a log file and opens it in Notepad; a failure to start is ignored.
void ViewLogFiles(HWND page) {
  char dir[261];
  ReadSetting(g_SmsgwIni, "SMSGW", "LogDirectory", "", dir, sizeof dir);
  if (!dir[0]) GetProgramDataDirectory(dir);
  char file[261] = "";
  OPENFILENAMEA choice = {};
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = page;
  choice.lpstrFilter = kLogFilter;
  choice.nFilterIndex = 1;
  choice.lpstrFile = file;
  choice.nMaxFile = sizeof file;
  choice.lpstrInitialDir = dir;
  choice.Flags = OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&choice)) return;
  OpenInNotepad(file);
}

BOOL OnCommand(HWND page, int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_STATUS_RUN_AS_SERVICE:
      OnRunAsService(page);
      break;
    case IDC_STATUS_START:
      if (Ticked(page) && SaveIfAsked(page)) BehindBusyCursor([] { StartServices(false); });
      break;
    case IDC_STATUS_STOP:
      if (Ticked(page)) BehindBusyCursor([] { StopServices(false); });
      break;
    case IDC_STATUS_SMSQ_VIEW:
      ShowMessageList(page, MessageListKind::OutboundSms);
      break;
    case IDC_STATUS_MMSQ_VIEW:
      ShowMessageList(page, MessageListKind::OutboundMms);
      break;
    case IDC_STATUS_SMSIN_VIEW:
      ShowMessageList(page, MessageListKind::ReceivedSms);
      break;
    case IDC_STATUS_MMSIN_VIEW:
      ShowMessageList(page, MessageListKind::ReceivedMms);
      break;
    case IDC_STATUS_VIEW_LOGS:
      ViewLogFiles(page);
      break;
    case IDC_STATUS_EVENT_LOG:
      RunEventLogDialog(page);
      break;
    default:
      return FALSE;
  }
  return TRUE;
}

// Red text on the button face for the statics whose alert is set; the others
// keep their default colours.
INT_PTR OnColorStatic(HWND page, HDC dc, HWND control) {
  const StatusPageState* state = StateOf<StatusPageState>(page);
  if (!state) return FALSE;
  bool red = false;
  switch (GetDlgCtrlID(control)) {
    case IDC_STATUS_SMSQ_LABEL:
    case IDC_STATUS_SMSQ_COUNT:
      red = state->smsQueueAlert;
      break;
    case IDC_STATUS_MMSQ_LABEL:
    case IDC_STATUS_MMSQ_COUNT:
      red = state->mmsQueueAlert;
      break;
    case IDC_STATUS_INFO:
      red = state->infoAlert;
      break;
    case IDC_STATUS_LINE:
      red = state->statusAlert;
      break;
  }
  if (!red) return FALSE;
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR OnNotify(HWND page, const NMHDR* header) {
  if (header->code == PSN_APPLY) return SetPageResult(page, PSNRET_NOERROR);
  return AnswerSharedNotify(page, header->code, true);
}

INT_PTR CALLBACK StatusPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      KeepPageState<StatusPageState>(page, lParam);
      SetTimer(page, kRefreshTimer, 1000, nullptr);
      Refresh(page);
      return TRUE;
    case WM_COMMAND:
      return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<const NMHDR*>(lParam));
    case PSM_QUERYSIBLINGS:
      return AnswerQuerySiblings(page, wParam);
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      if (wParam == kRefreshTimer) Refresh(page);
      return TRUE;
    case WM_DESTROY:
      KillTimer(page, kRefreshTimer);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

const PageDefinition kStatusPage = StatefulPage<StatusPageState>(StatusPageProc);
