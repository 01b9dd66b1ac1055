// The message list dialogs of the gateway's four message stores: one
// owner-data list per store that stays current every minute, sorts by any
// column, opens the selected message and deletes the selected ones. The four
// kinds share this code and differ only by the table below.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pagestate.h"
#include "app/uihelpers.h"
#include "core/listorder.h"
#include "core/reentrantlock.h"
#include "core/textrules.h"
#include "pages/mmsview.h"
#include "pages/msgopen.h"
#include "pages/pages.h"
#include "resource.h"
#include "store/msgfiles.h"
#include "store/scanners.h"

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 60000;
constexpr unsigned kMaxColumns = 6;
// A relative path (subdirectory, backslash, file name) and a full path.
constexpr size_t kRelativePathSize = 2 * MAX_PATH;
constexpr size_t kFullPathSize = 3 * MAX_PATH;

enum class ViewAction { Notepad, ControlFileInNotepad, MmsView };
enum class DeleteAction { File, MessageAndControlFile, HeaderAndPartDirectory };

// What one kind of list shows and does.
struct ListKindDefinition {
  const char* title;
  const char* columns[kMaxColumns];
  unsigned columnCount;
  void (*scan)(ListRecord** records, unsigned* listed, unsigned* total);
  void (*root)(char* path);  // the store's directory, for View and Delete
  int openingKey;            // the sort at opening, and the key when the program starts
  const char* headerPrefix;
  const char* zeroWord;
  ViewAction view;
  DeleteAction remove;
  unsigned utf8Field;  // the field holding UTF-8 text; 0 for none
};

void QueueRoot(char* path) { QueueDirectory(path); }

const ListKindDefinition kKinds[] = {
    {"Outbound SMS Queue",
     {"ID", "Submit User", "Recipient", "Submit Time", "Status"},
     5,
     ScanSmsQueue,
     QueueRoot,
     +4,
     "Outbound SMS Message Queue:  ",
     "Empty",
     ViewAction::Notepad,
     DeleteAction::File,
     0},
    {"Outbound MMS Queue",
     {"ID", "Sender", "Recipient", "Submit Time", "Status"},
     5,
     ScanMmsQueue,
     VaspQueueDirectory,
     +4,
     "Outbound MMS Message Queue:  ",
     "Empty",
     ViewAction::ControlFileInNotepad,
     DeleteAction::MessageAndControlFile,
     0},
    {"Received SMS Messages",
     {"ID", "Sender", "Recipient", "Receive Time", "Status", "Text"},
     6,
     ScanSmsInbox,
     SmsInboxDirectory,
     -4,
     "Received SMS Messages:  ",
     "None",
     ViewAction::Notepad,
     DeleteAction::File,
     6},
    {"Received MMS Messages",
     {"ID", "Sender", "Recipient", "Receive Time", "Subject"},
     5,
     ScanMmsInbox,
     MmsInboxDirectory,
     -4,
     "Received MMS Messages:  ",
     "None",
     ViewAction::MmsView,
     DeleteAction::HeaderAndPartDirectory,
     0},
};
constexpr unsigned kKindCount = sizeof kKinds / sizeof kKinds[0];

// One per kind for the life of the process: the rows of the last scan and
// the sort key outlive the dialog and are reused when it opens again.
struct MessageListStore {
  ListRecord** list;
  unsigned listed;
  unsigned total;
  signed char sortKey;
  ReentrantLock* lock;  // created at opening, destroyed at closing
  char display[kListCellBuffer];
  wchar_t wideDisplay[kListCellBuffer];
};

MessageListStore g_stores[kKindCount] = {
    {nullptr, 0, 0, +4, nullptr, {}, {}},
    {nullptr, 0, 0, +4, nullptr, {}, {}},
    {nullptr, 0, 0, -4, nullptr, {}, {}},
    {nullptr, 0, 0, -4, nullptr, {}, {}},
};

struct MessageListDialogState {
  const ListKindDefinition* kind;
  MessageListStore* store;
  HWND list;
};

int CompareCells(const char* a, const char* b) { return lstrcmpiA(a, b); }

// ---- rows and selection ----

// Field 0 of the first selected row, or the empty text.
void RememberSelectedPath(const MessageListDialogState* s, char* path) {
  path[0] = '\0';
  int row = ListView_GetNextItem(s->list, -1, LVNI_SELECTED);
  if (row >= 0 && unsigned(row) < s->store->listed)
    CopyBounded(path, kRelativePathSize, ListRecordField(s->store->list[row], 0));
}

// Clears the selected and focused state of every row. Row by row when few are
// selected: the control's "all rows" form visits each of thousands of rows.
void ClearSelection(HWND list) {
  const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
  if (ListView_GetSelectedCount(list) > 64) {
    ListView_SetItemState(list, -1, 0, both);
    return;
  }
  for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(list, row, LVNI_SELECTED))
    ListView_SetItemState(list, row, 0, both);
  int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (focused >= 0) ListView_SetItemState(list, focused, 0, both);
}

void RestoreSelection(const MessageListDialogState* s, const char* path) {
  const MessageListStore& st = *s->store;
  int row = FindListRecordByPath(st.list, st.listed, path, CompareCells);
  ClearSelection(s->list);
  if (row >= 0) {
    ListView_SetItemState(s->list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(s->list, row);
    ListView_EnsureVisible(s->list, row, FALSE);
  } else if (st.listed) {
    ListView_EnsureVisible(s->list, 0, FALSE);
  }
}

// Every row shows afresh: the rows in view are drawn again at once, the others
// ask for their texts when they come into view. (Redrawing row by row costs a
// region update per row, seconds for 5000 rows.)
void RedrawAllRows(const MessageListDialogState* s) { InvalidateRect(s->list, nullptr, FALSE); }

void WriteHeader(HWND dialog, const MessageListDialogState* s) {
  char text[200];
  ListHeaderText(s->kind->headerPrefix, s->kind->zeroWord, s->store->total, text, sizeof text);
  SetTextIfChanged(GetDlgItem(dialog, IDC_SMSQ_HEADER), text);
}

// The message's full path: the store's directory and the row's relative path.
bool MessageFullPath(const MessageListDialogState* s, unsigned row, char* full) {
  char root[MAX_PATH];
  s->kind->root(root);
  int n = snprintf(full, kFullPathSize, "%s%s", root, ListRecordField(s->store->list[row], 0));
  return n > 0 && size_t(n) < kFullPathSize;
}

// ---- deleting ----

// Retries the deletion of one file that something still holds, every 5 s for
// two minutes, on its own copy of the path.
DWORD WINAPI DeleteRetryWorker(void* param) {
  std::unique_ptr<char[]> path(static_cast<char*>(param));
  const DWORD start = GetTickCount();
  while (FileExists(path.get()) && GetTickCount() - start < 120000) {
    DeleteFileA(path.get());
    if (FileExists(path.get())) Sleep(5000);
  }
  return 0;
}

void DeleteWithRetry(const char* path) {
  DeleteFileA(path);
  if (!FileExists(path)) return;
  size_t n = std::strlen(path) + 1;
  char* copy = new (std::nothrow) char[n];
  if (!copy) return;
  std::memcpy(copy, path, n);
  HANDLE worker = CreateThread(nullptr, 0, DeleteRetryWorker, copy, 0, nullptr);
  if (worker)
    CloseHandle(worker);
  else
    delete[] copy;
}

void DeleteMessageFiles(const ListKindDefinition& kind, const char* full) {
  switch (kind.remove) {
    case DeleteAction::File:
      DeleteWithRetry(full);
      break;
    case DeleteAction::MessageAndControlFile: {
      DeleteWithRetry(full);
      char control[kFullPathSize];
      if (MmsControlPath(full, control, sizeof control)) DeleteWithRetry(control);
      break;
    }
    case DeleteAction::HeaderAndPartDirectory: {
      // The parts go only with their header, so that a header that stays
      // still finds its parts.
      DeleteFileA(full);
      if (FileExists(full)) break;
      if (std::strlen(full) >= MAX_PATH) break;  // a directory whose path would be cut is not touched
      char parts[MAX_PATH];
      CopyBounded(parts, sizeof parts, full);
      char* dot = std::strrchr(parts, '.');
      char* slash = std::strrchr(parts, '\\');
      if (dot && (!slash || dot > slash)) {
        *dot = '\0';
        DeleteDirectoryTree(parts);
      }
      break;
    }
  }
}

// ---- handlers ----

BOOL OnInit(HWND dialog, LPARAM param) {
  auto* s = KeepDialogState<MessageListDialogState>(dialog, param);
  MessageListStore& st = *s->store;
  const ListKindDefinition& kind = *s->kind;
  s->list = GetDlgItem(dialog, IDC_SMSQ_LIST);
  if (!st.lock) st.lock = new (std::nothrow) ReentrantLock;
  SetWindowTextA(dialog, kind.title);
  // Cells are handed over as UTF-16, so that every script reads right.
  SendMessageA(s->list, LVM_SETUNICODEFORMAT, TRUE, 0);

  RECT client;
  GetClientRect(s->list, &client);
  int w = client.right - client.left;
  for (unsigned c = 0; c < kind.columnCount; ++c) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = c + 1 < kind.columnCount ? w / 6 : w;
    column.pszText = const_cast<char*>(kind.columns[c]);
    column.iSubItem = int(c);
    SendMessageA(s->list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
  }
  ListView_SetExtendedListViewStyleEx(s->list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);

  HCURSOR cursor = BeginBusyCursor();
  {
    LockHold hold(st.lock);
    FreeScanArray(st.list, st.listed);
    st.list = NewScanArray();
    st.listed = 0;
    if (st.list) {
      kind.scan(st.list, &st.listed, &st.total);
      SortListRecords(st.list, st.listed, kind.openingKey, CompareCells);
    }
    ListView_SetItemCountEx(s->list, int(st.listed), 0);
    ClearSelection(s->list);
    if (st.listed) ListView_EnsureVisible(s->list, 0, FALSE);
  }
  EndBusyCursor(cursor);
  WriteHeader(dialog, s);
  SetTimer(dialog, kRefreshTimer, kRefreshMs, nullptr);
  return TRUE;
}

// The minute's refresh: a fresh scan built aside and swapped in, unless the
// operator holds a multiple selection.
void OnRefresh(HWND dialog, MessageListDialogState* s) {
  if (ListView_GetSelectedCount(s->list) >= 2) return;
  MessageListStore& st = *s->store;
  ListRecord** fresh = NewScanArray();
  if (!fresh) return;
  unsigned listed = 0, total = 0;
  s->kind->scan(fresh, &listed, &total);
  st.total = total;
  SortListRecords(fresh, listed, st.sortKey, CompareCells);
  {
    LockHold hold(st.lock);
    if (ListView_GetSelectedCount(s->list) >= 2) {
      FreeScanArray(fresh, listed);
    } else {
      char path[kRelativePathSize];
      RememberSelectedPath(s, path);
      ListRecord** old = st.list;
      unsigned oldCount = st.listed;
      st.list = fresh;
      st.listed = listed;
      ListView_SetItemCountEx(s->list, int(listed), LVSICF_NOSCROLL);
      RedrawAllRows(s);
      RestoreSelection(s, path);
      FreeScanArray(old, oldCount);
    }
  }
  WriteHeader(dialog, s);
}

void OnColumnClick(MessageListDialogState* s, int column) {
  MessageListStore& st = *s->store;
  if (column < 0 || unsigned(column) >= s->kind->columnCount) return;
  LockHold hold(st.lock);
  if (!st.listed) return;
  char path[kRelativePathSize];
  RememberSelectedPath(s, path);
  st.sortKey = static_cast<signed char>(NextSortKey(st.sortKey, unsigned(column)));
  SortListRecords(st.list, st.listed, st.sortKey, CompareCells);
  RedrawAllRows(s);
  RestoreSelection(s, path);
}

// A cell: at most 499 bytes of the field, handed over as UTF-16 from UTF-8
// (received text) or from the ANSI code page (everything read from files).
void OnCellText(MessageListDialogState* s, NMLVDISPINFOW* info) {
  if (!(info->item.mask & LVIF_TEXT)) return;
  MessageListStore& st = *s->store;
  LockHold hold(st.lock);
  st.display[0] = '\0';
  unsigned field = unsigned(info->item.iSubItem) + 1;
  bool utf8 = field == s->kind->utf8Field;
  int row = info->item.iItem;
  if (row >= 0 && unsigned(row) < st.listed && field <= s->kind->columnCount)
    ListCellText(st.list[row], field, utf8, st.display);
  if (utf8) {
    uint16_t units[kListCellBuffer];
    Utf8CellToUtf16(st.display, units, kListCellBuffer);
    for (size_t i = 0; i < kListCellBuffer; ++i) {
      st.wideDisplay[i] = wchar_t(units[i]);
      if (!units[i]) break;
    }
  } else if (!MultiByteToWideChar(CP_ACP, 0, st.display, -1, st.wideDisplay, int(kListCellBuffer))) {
    st.wideDisplay[0] = L'\0';
  }
  info->item.pszText = st.wideDisplay;
}

// Typing on the list finds the next row whose ID begins with the typed text.
LRESULT OnFindRow(MessageListDialogState* s, const NMLVFINDITEMW* find) {
  if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return -1;
  char typed[kListCellBuffer];
  int n = WideCharToMultiByte(CP_ACP, 0, find->lvfi.psz, -1, typed, sizeof typed, nullptr, nullptr);
  if (n <= 1) return -1;
  const bool partial = (find->lvfi.flags & LVFI_PARTIAL) != 0;
  MessageListStore& st = *s->store;
  LockHold hold(st.lock);
  unsigned start = find->iStart >= 0 && unsigned(find->iStart) < st.listed ? unsigned(find->iStart) : 0;
  for (unsigned i = 0; i < st.listed; ++i) {
    unsigned row = (start + i) % st.listed;
    const char* id = ListRecordField(st.list[row], 1);
    int length = partial ? std::min(int(std::strlen(id)), n - 1) : -1;
    if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, id, length, typed, partial ? n - 1 : -1) == CSTR_EQUAL)
      return LRESULT(row);
  }
  return -1;
}

void OnView(HWND dialog, MessageListDialogState* s) {
  SetFocus(s->list);
  MessageListStore& st = *s->store;
  LockHold hold(st.lock);
  int row = ListView_GetNextItem(s->list, -1, LVNI_SELECTED);
  if (row < 0 || unsigned(row) >= st.listed) return;
  char full[kFullPathSize];
  if (!MessageFullPath(s, unsigned(row), full)) return;
  switch (s->kind->view) {
    case ViewAction::Notepad:
      OpenInNotepad(full);
      break;
    case ViewAction::ControlFileInNotepad: {
      char control[kFullPathSize];
      if (MmsControlPath(full, control, sizeof control)) OpenInNotepad(control);
      break;
    }
    case ViewAction::MmsView:
      ShowMmsView(dialog, full);  // the lock stays held while it is open
      break;
  }
}

void OnDelete(HWND dialog, MessageListDialogState* s) {
  SetFocus(s->list);
  MessageListStore& st = *s->store;
  LockHold hold(st.lock);
  UINT count = ListView_GetSelectedCount(s->list);
  if (!count) return;
  int answer = count == 1 ? ShowMessage(dialog, "Delete Message?", MB_ICONQUESTION | MB_YESNO)
                          : ShowMessageF(dialog, MB_ICONQUESTION | MB_YESNO, "Delete %u messages?", count);
  if (answer != IDYES) return;
  for (;;) {
    int row = ListView_GetNextItem(s->list, -1, LVNI_SELECTED);
    if (row < 0 || unsigned(row) >= st.listed) break;
    char full[kFullPathSize];
    if (MessageFullPath(s, unsigned(row), full)) DeleteMessageFiles(*s->kind, full);
    FreeListRecord(st.list[row]);
    std::memmove(&st.list[row], &st.list[row + 1], (st.listed - unsigned(row) - 1) * sizeof(ListRecord*));
    st.list[--st.listed] = nullptr;
    if (!ListView_DeleteItem(s->list, row)) {
      // The control no longer follows the rows: show them afresh.
      ListView_SetItemCountEx(s->list, int(st.listed), LVSICF_NOSCROLL);
      break;
    }
  }
}

INT_PTR OnNotify(HWND dialog, MessageListDialogState* s, NMHDR* header) {
  if (!s || header->idFrom != IDC_SMSQ_LIST) return FALSE;
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 0);
  switch (header->code) {
    case LVN_GETDISPINFOW:
      OnCellText(s, reinterpret_cast<NMLVDISPINFOW*>(header));
      return TRUE;
    case LVN_ODFINDITEMW:
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, OnFindRow(s, reinterpret_cast<NMLVFINDITEMW*>(header)));
      return TRUE;
    case LVN_COLUMNCLICK:
      OnColumnClick(s, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
      return TRUE;
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey == VK_DELETE)
        PostMessageA(dialog, WM_COMMAND, IDC_SMSQ_DELETE, 0);
      return TRUE;
    case NM_DBLCLK:
    case NM_RETURN:
      PostMessageA(dialog, WM_COMMAND, IDC_SMSQ_VIEW, 0);
      return TRUE;
  }
  return FALSE;
}

void OnCommand(HWND dialog, MessageListDialogState* s, int id) {
  switch (id) {
    case IDC_SMSQ_VIEW:
      OnView(dialog, s);
      break;
    case IDC_SMSQ_DELETE:
      OnDelete(dialog, s);
      break;
    case IDOK:
      // Enter on the list views the message; the button closes.
      if (GetFocus() == s->list)
        OnView(dialog, s);
      else
        EndDialog(dialog, 1);
      break;
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
  }
}

void OnDestroy(HWND dialog, MessageListDialogState* s) {
  KillTimer(dialog, kRefreshTimer);
  delete s->store->lock;
  s->store->lock = nullptr;
}

INT_PTR CALLBACK MessageListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = StateOf<MessageListDialogState>(dialog);
  switch (message) {
    case WM_INITDIALOG:
      return OnInit(dialog, lParam);
    case WM_NOTIFYFORMAT:
      // The list asks before WM_INITDIALOG: its notifications come in UTF-16.
      if (lParam == NF_QUERY && GetDlgCtrlID(reinterpret_cast<HWND>(wParam)) == IDC_SMSQ_LIST) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, NFR_UNICODE);
        return TRUE;
      }
      break;
    case WM_NOTIFY:
      return OnNotify(dialog, s, reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
      if (s && wParam == kRefreshTimer) OnRefresh(dialog, s);
      return TRUE;
    case WM_COMMAND:
      if (s) OnCommand(dialog, s, LOWORD(wParam));
      return TRUE;
    case WM_DESTROY:
      if (s) OnDestroy(dialog, s);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowMessageList(HWND owner, MessageListKind kind) {
  unsigned index = static_cast<unsigned>(kind);
  if (index >= kKindCount) return;
  MessageListDialogState state{&kKinds[index], &g_stores[index], nullptr};
  DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_SMSQ", owner, MessageListProc, reinterpret_cast<LPARAM>(&state));
}
