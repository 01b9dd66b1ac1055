// The Users page: the gateway's user accounts, listed straight from the open
// user store (owner-data list), added, edited and deleted through the
// "Edit User" dialog, and the switch that makes the web interface ask for a
// login. Account changes reach the store at once; only the switch waits for
// Apply.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "app/appstate.h"
#include "app/configstore.h"
#include "app/msgbox.h"
#include "app/pageprotocol.h"
#include "pages/pages.h"
#include "pages/useraccounts.h"
#include "resource.h"

namespace {

constexpr UINT_PTR kListSubclassId = 0x5553;

struct UsersPageState {
  SMSUSERFILE store = nullptr;  // open for the page's lifetime
  long cachedIndex = -1;        // the last record fetched, -1 when none
  unsigned char cached[UserRecord::kSize] = {};
  bool initialising = false;
  bool virtualLists = false;
};

HWND List(HWND page) { return GetDlgItem(page, IDC_SMSUSERS_LIST); }

void EmptyCache(UsersPageState* state) { state->cachedIndex = -1; }

// A store that could not be opened holds nothing, and nothing is asked of it.
unsigned RecordCount(const UsersPageState* state) { return state->store ? SMSGetRecordCount(state->store) : 0; }

// The record at `index`, from the cache or the store; null when there is none.
const unsigned char* FetchRecord(UsersPageState* state, long index) {
  if (index < 0 || !state->store) return nullptr;
  if (state->cachedIndex == index) return state->cached;
  EmptyCache(state);
  if (!SMSGetUserRecord(state->store, static_cast<unsigned>(index), state->cached)) return nullptr;
  state->cachedIndex = index;
  return state->cached;
}

long FirstSelected(HWND page) {
  return static_cast<long>(SendMessageA(List(page), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Items whose text the list asks for, one per record index (lists without
// owner data only).
void InsertItems(HWND list, unsigned from, unsigned to) {
  for (unsigned i = from; i < to; ++i) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.lParam = static_cast<LPARAM>(i);
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
}

void Refresh(HWND page) {
  UsersPageState* state = StateOf<UsersPageState>(page);
  HWND list = List(page);
  EmptyCache(state);
  unsigned count = RecordCount(state);
  if (state->virtualLists) {
    SendMessageA(list, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL);
  } else {
    unsigned shown = static_cast<unsigned>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    InsertItems(list, shown, count);
    while (shown-- > count) SendMessageA(list, LVM_DELETEITEM, shown, 0);
  }
  LRESULT top = SendMessageA(list, LVM_GETTOPINDEX, 0, 0);
  LRESULT perPage = SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
  SendMessageA(list, LVM_REDRAWITEMS, static_cast<WPARAM>(top), top + perPage);
  UpdateWindow(list);
}

void OnAdd(HWND page) {
  UsersPageState* state = StateOf<UsersPageState>(page);
  if (!state->store) return;
  if (RecordCount(state) >= kUserLimit) {
    ShowMessage(page, "User Limit Exceeded", MB_OK | MB_ICONERROR);
    return;
  }
  unsigned char fresh[UserRecord::kSize] = {};
  UserDialogResult result = RunUserDialog(page, state->store, fresh);
  if (!result.confirmed) return;
  SMSAddUser(state->store, result.record);
  Refresh(page);
}

void OnEdit(HWND page) {
  UsersPageState* state = StateOf<UsersPageState>(page);
  const unsigned char* fetched = FetchRecord(state, FirstSelected(page));
  if (!fetched) return;
  unsigned char before[UserRecord::kSize];
  std::memcpy(before, fetched, sizeof before);
  UserDialogResult result = RunUserDialog(page, state->store, before);
  if (!result.confirmed) return;
  StoreEditedUser(state->store, before, result.record);
  Refresh(page);
}

void OnDelete(HWND page) {
  UsersPageState* state = StateOf<UsersPageState>(page);
  HWND list = List(page);
  unsigned selected = static_cast<unsigned>(SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0));
  if (!selected || !state->store) return;
  int answer = selected == 1 ? ShowMessage(page, "Delete User?", MB_YESNO | MB_ICONQUESTION)
                             : ShowMessageF(page, MB_YESNO | MB_ICONQUESTION, "Delete %u users?", selected);
  if (answer != IDYES) return;
  for (long index; (index = FirstSelected(page)) >= 0;) {
    EmptyCache(state);
    DeleteUserAt(state->store, static_cast<unsigned>(index));  // an unreadable record leaves the list only
    if (!SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(index), 0)) break;
  }
}

// The text of one cell, asked for by the list.
void OnGetDisplayInfo(HWND page, NMLVDISPINFOA* info) {
  if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0) return;
  info->item.pszText[0] = '\0';
  const unsigned char* record = FetchRecord(StateOf<UsersPageState>(page), info->item.iItem);
  if (!record) return;
  UserFields user = ReadUserRecord(record);
  CopyBounded(info->item.pszText, static_cast<size_t>(info->item.cchTextMax),
              info->item.iSubItem == 0 ? user.name : info->item.iSubItem == 1 ? user.fullName : "");
}

// Type-ahead: the first user whose name begins with the typed text.
LRESULT FindItem(HWND page, UINT flags, const char* text) {
  UsersPageState* state = StateOf<UsersPageState>(page);
  if (!(flags & (LVFI_STRING | LVFI_PARTIAL)) || (flags & LVFI_PARAM) || !text || !state->store) return -1;
  unsigned char found[UserRecord::kSize];
  int index = SMSFindFirstUserRecord(state->store, text, found);
  if (index < 0) return -1;
  std::memcpy(state->cached, found, sizeof found);
  state->cachedIndex = index;
  return index;
}

// Some list implementations ask in Unicode even of an ANSI page.
LRESULT FindItemW(HWND page, const NMLVFINDITEMW* find) {
  char text[UserRecord::kNameSize + 1];
  // A text longer than any user name does not convert into the buffer: no match.
  if (!find->lvfi.psz || !WideCharToMultiByte(CP_ACP, 0, find->lvfi.psz, -1, text, sizeof text, nullptr, nullptr))
    return -1;
  return FindItem(page, find->lvfi.flags, text);
}

// The dialog manager would take Enter for the sheet's default button: the
// list keeps it and edits the selected user.
LRESULT CALLBACK ListSubclass(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_GETDLGCODE) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
      return DefSubclassProc(list, message, wParam, lParam) | DLGC_WANTALLKEYS;
  } else if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    OnEdit(GetParent(list));
    return 0;
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

void AddColumns(HWND list) {
  RECT client;
  GetClientRect(list, &client);
  char names[][16] = {"User Name", "Full Name"};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = (client.right - client.left) / 2;
    column.pszText = names[i];
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
}

BOOL OnInitDialog(HWND page, LPARAM initParam) {
  UsersPageState* state = KeepPageState<UsersPageState>(page, initParam);
  state->initialising = true;
  CheckDlgButton(page, IDC_SMSUSERS_WEBAUTH,
                 ReadYesSetting(g_SmsgwIni, "SMSGW", "WebAuth", "No") ? BST_CHECKED : BST_UNCHECKED);
  EmptyCache(state);
  if (!SMSOpenUserFile(&state->store, SMS_USERFILE_READWRITE)) state->store = nullptr;
  HMODULE controls = GetModuleHandleA("comctl32.dll");
  state->virtualLists = controls && GetProcAddress(controls, "InitCommonControlsEx");

  HWND list = List(page);
  SetWindowLongPtrA(list, GWL_EXSTYLE, GetWindowLongPtrA(list, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
  SetWindowPos(list, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  if (state->virtualLists) SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  AddColumns(list);
  unsigned count = RecordCount(state);
  if (state->virtualLists)
    SendMessageA(list, LVM_SETITEMCOUNT, count, 0);
  else
    InsertItems(list, 0, count);
  LVITEMA item = {};
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  SetWindowSubclass(list, ListSubclass, kListSubclassId, 0);
  state->initialising = false;
  return TRUE;
}

BOOL OnCommand(HWND page, int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case IDC_SMSUSERS_WEBAUTH:
      if (!StateOf<UsersPageState>(page)->initialising) NoteConfigChanged(page);
      return TRUE;
    case IDC_SMSUSERS_EDIT:
      OnEdit(page);
      return TRUE;
    case IDC_SMSUSERS_ADD:
      OnAdd(page);
      return TRUE;
    case IDC_SMSUSERS_DELETE:
      OnDelete(page);
      return TRUE;
  }
  return FALSE;
}

INT_PTR OnListNotify(HWND page, NMHDR* header) {
  switch (header->code) {
    case LVN_GETDISPINFOA:
      OnGetDisplayInfo(page, reinterpret_cast<NMLVDISPINFOA*>(header));
      return TRUE;
    case LVN_ODFINDITEMA: {
      const auto* find = reinterpret_cast<NMLVFINDITEMA*>(header);
      return SetPageResult(page, FindItem(page, find->lvfi.flags, find->lvfi.psz));
    }
    case LVN_ODFINDITEMW:
      return SetPageResult(page, FindItemW(page, reinterpret_cast<NMLVFINDITEMW*>(header)));
    case NM_DBLCLK:
      OnEdit(page);
      return TRUE;
    case LVN_KEYDOWN:
      switch (reinterpret_cast<NMLVKEYDOWN*>(header)->wVKey) {
        case VK_INSERT:
          OnAdd(page);
          return TRUE;
        case VK_DELETE:
          OnDelete(page);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR OnNotify(HWND page, NMHDR* header) {
  if (header->idFrom == IDC_SMSUSERS_LIST) return OnListNotify(page, header);
  switch (header->code) {
    case PSN_SETACTIVE:
      Refresh(page);
      return SetPageResult(page, 0);
    case PSN_APPLY:
      WriteSetting(g_SmsgwIni, "SMSGW", "WebAuth",
                   IsDlgButtonChecked(page, IDC_SMSUSERS_WEBAUTH) == BST_CHECKED ? "Yes" : "No");
      return SetPageResult(page, PSNRET_NOERROR);
  }
  return AnswerSharedNotify(page, header->code, false);
}

INT_PTR CALLBACK UsersPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(page, lParam);
    case WM_COMMAND:
      return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      return OnNotify(page, reinterpret_cast<NMHDR*>(lParam));
    case WM_DESTROY:
      RemoveWindowSubclass(List(page), ListSubclass, kListSubclassId);
      if (UsersPageState* state = StateOf<UsersPageState>(page)) {
        if (state->store) SMSCloseUserFile(state->store);
        state->store = nullptr;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

const PageDefinition kUsersPage = StatefulPage<UsersPageState>(UsersPageProc);
