// The event log viewer: the SMS gateway's entries in the Application event
// log, newest on top, kept current every five seconds; it can also clear the
// whole Application log.
#include <windows.h>

#include <memory>
#include <new>

#include "app/msgbox.h"
#include "app/pagestate.h"
#include "core/eventrecord.h"
#include "gateway/eventlog.h"
#include "pages/pages.h"
#include "resource.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr DWORD kReadSize = 131072;
constexpr size_t kLineSize = 2048;
constexpr char kSource[] = "ZarqSMS";

struct EventLogDialogState {
  // Record number of the next Application-log record to read; 0: unset.
  // Reset whenever the dialog opens, so it lives with the dialog.
  DWORD nextRecord = 0;
  // A refresh is running (and may be showing a message box): the timer's
  // refreshes wait for it instead of stacking boxes.
  bool refreshing = false;
};

bool LocalTimeOf(DWORD secondsSince1970, SmsDateTime* out) {
  ULARGE_INTEGER t;
  t.QuadPart = secondsSince1970 * 10000000ull + 116444736000000000ull;
  FILETIME utc = {t.LowPart, t.HighPart};
  SYSTEMTIME universal, local;
  if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return false;
  *out = SmsDateTime{local.wYear, local.wMonth, local.wDayOfWeek, local.wDay,
                     local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
  return true;
}

enum class ChunkResult { Listed, Refused, Unreadable };

// Lists the chunk's records of our source at the top, each moving the reading
// position past it. Stops at a record the list refuses, the position left on it.
ChunkResult ListChunk(HWND list, const unsigned char* bytes, DWORD size, DWORD* nextRecord) {
  size_t at = 0;
  EventRecordView record;
  char line[kLineSize];
  while (ViewEventRecord(bytes, size, at, &record)) {
    if (EventSourceIs(record, kSource)) {
      SmsDateTime local;
      EventLineText(LocalTimeOf(record.timeGenerated, &local) ? &local : nullptr, record, line, sizeof line);
      LRESULT index = SendMessageA(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line));
      if (index == LB_ERR || index == LB_ERRSPACE) return ChunkResult::Refused;
    }
    *nextRecord = record.recordNumber + 1;
    at += record.length;
  }
  return at ? ChunkResult::Listed : ChunkResult::Unreadable;
}

// Reads the records numbered from `nextRecord` on, chunk by chunk.
void ReadNewRecords(HWND dialog, const EventLogFunctions& log, HANDLE handle, EventLogDialogState* state) {
  DWORD oldest = 0, count = 0;
  if (!state->nextRecord) {
    log.GetOldestEventLogRecord(handle, &oldest);
    state->nextRecord = oldest;
  }
  oldest = 0;
  log.GetOldestEventLogRecord(handle, &oldest);
  log.GetNumberOfEventLogRecords(handle, &count);
  if (oldest + count <= state->nextRecord) return;

  std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kReadSize + 1]);
  if (!buffer) return;
  HWND list = GetDlgItem(dialog, IDC_EVENT_LIST);
  DWORD read = 0, needed = 0;
  BOOL more = log.ReadEventLogA(handle, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, state->nextRecord, buffer.get(),
                                kReadSize, &read, &needed);
  while (more && read > 0) {
    ChunkResult result = ListChunk(list, buffer.get(), read < kReadSize ? read : kReadSize, &state->nextRecord);
    if (result == ChunkResult::Refused) {
      ShowMessageCaptioned(dialog, "Too many events.  Please use Windows Event Log viewer to view all events.",
                           "Warning", MB_OK);
      // Reading on would move the position past the refused record and lose
      // it and the rest of its chunk: the next refresh starts again there.
      return;
    }
    if (result == ChunkResult::Unreadable) return;
    more = log.ReadEventLogA(handle, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.get(), kReadSize,
                             &read, &needed);
  }
}

void ShowUnableToOpen(HWND dialog) { ShowMessage(dialog, "Unable to open event log", MB_OK | MB_ICONERROR); }

void Refresh(HWND dialog) {
  EventLogDialogState* state = StateOf<EventLogDialogState>(dialog);
  if (!state || state->refreshing) return;
  state->refreshing = true;
  const EventLogFunctions& log = EventLog();
  if (HANDLE handle = log.OpenEventLogA(nullptr, "Application")) {
    ReadNewRecords(dialog, log, handle, state);
    log.CloseEventLog(handle);
  } else {
    ShowUnableToOpen(dialog);
  }
  state->refreshing = false;
}

void OnClear(HWND dialog) {
  if (ShowMessage(dialog,
                  "This will clear all events from the application event log for this system, which includes events "
                  "from applications other than ZarqSMS.\r\n\r\nContinue?",
                  MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  const EventLogFunctions& log = EventLog();
  HANDLE handle = log.OpenEventLogA(nullptr, "Application");
  if (!handle) {
    ShowUnableToOpen(dialog);
    return;
  }
  log.ClearEventLogA(handle, nullptr);  // its outcome shows in the next refresh
  log.CloseEventLog(handle);
  SendDlgItemMessageA(dialog, IDC_EVENT_LIST, LB_RESETCONTENT, 0, 0);
  StateOf<EventLogDialogState>(dialog)->nextRecord = 0;
  PostMessageA(dialog, WM_TIMER, kRefreshTimer, 0);
}

INT_PTR CALLBACK EventLogDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      KeepDialogState<EventLogDialogState>(dialog, lParam)->nextRecord = 0;
      SendDlgItemMessageA(dialog, IDC_EVENT_LIST, LB_SETHORIZONTALEXTENT, 1000, 0);
      SetTimer(dialog, kRefreshTimer, 5000, nullptr);
      Refresh(dialog);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_EVENT_CLEAR:
          OnClear(dialog);
          return TRUE;
      }
      return FALSE;
    case WM_TIMER:
      if (wParam == kRefreshTimer) Refresh(dialog);
      return TRUE;
    case WM_DESTROY:
      KillTimer(dialog, kRefreshTimer);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunEventLogDialog(HWND owner) {
  EventLogDialogState state;
  return DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_EVENT", owner, EventLogDialogProc,
                         reinterpret_cast<LPARAM>(&state));
}
