// The MMS view opened from the received-MMS list: the raw header of one
// message and the parts the gateway stored for it.
#include "pages/mmsview.h"

#include <cstdio>
#include <cstring>

#include "app/configstore.h"
#include "app/pagestate.h"
#include "core/mmsparts.h"
#include "pages/msgopen.h"
#include "resource.h"
#include "store/msgfiles.h"

namespace {

struct MmsViewState {
  const char* headerPath;
};

// An entry: file name, content type, tab, stored path (each bounded).
constexpr size_t kEntrySize = 3 * MAX_PATH + 200;

void ShowHeader(HWND dialog, const char* text) {
  char shown[2 * kMmsHeaderReadSize + 2];  // every byte a line break at worst
  WithCrLfLineBreaks(text, shown, sizeof shown);
  HWND edit = GetDlgItem(dialog, IDC_MMSVIEW_HEADER);
  SetWindowTextA(edit, shown);
  SendMessageA(edit, EM_SETSEL, WPARAM(-1), 0);
}

void ListParts(HWND dialog, const char* text) {
  HWND parts = GetDlgItem(dialog, IDC_MMSVIEW_PARTS);
  const char* cursor = text;
  MmsPartLocation part;
  while (NextMmsPartLocation(&cursor, &part)) {
    char entry[kEntrySize];
    MmsPartEntryText(part, entry, sizeof entry);
    SendMessageA(parts, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  }
  SendMessageA(parts, LB_SETCURSEL, 0, 0);
}

BOOL OnInit(HWND dialog, LPARAM param) {
  auto* state = KeepDialogState<MmsViewState>(dialog, param);
  HWND parts = GetDlgItem(dialog, IDC_MMSVIEW_PARTS);
  int stop = 300;  // beyond the box: the stored path travels unseen
  SendMessageA(parts, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));

  char text[kMmsHeaderReadSize + 1] = "";
  HANDLE file = OpenMessageFile(state->headerPath);
  if (file != INVALID_HANDLE_VALUE) {
    ReadMmsHeaderText(file, text);
    CloseHandle(file);
    ShowHeader(dialog, text);
    ListParts(dialog, text);
  }
  // The focus on the parts, so that the header shows no selection.
  SetFocus(parts);
  return FALSE;
}

// Opens the selected part: only a part stored inside the received-MMS directory.
void ViewPart(HWND dialog) {
  HWND parts = GetDlgItem(dialog, IDC_MMSVIEW_PARTS);
  LRESULT index = SendMessageA(parts, LB_GETCURSEL, 0, 0);
  if (index < 0) return;
  LRESULT length = SendMessageA(parts, LB_GETTEXTLEN, WPARAM(index), 0);
  if (length < 0 || size_t(length) >= kEntrySize) return;
  char entry[kEntrySize];
  SendMessageA(parts, LB_GETTEXT, WPARAM(index), reinterpret_cast<LPARAM>(entry));
  const char* stored = MmsPartEntryPath(entry);
  if (!stored || !IsContainedPartPath(stored)) return;
  char root[MAX_PATH];
  MmsInboxDirectory(root);
  char full[3 * MAX_PATH];
  int n = snprintf(full, sizeof full, "%s%s", root, stored);
  if (n < 0 || size_t(n) >= sizeof full || !IsPathInsideDirectory(root, full)) return;
  if (MmsPartOpensInNotepad(entry, stored))
    OpenInNotepad(full);
  else
    OpenMessageWithShell(dialog, full);
}

INT_PTR CALLBACK MmsViewProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInit(dialog, lParam);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_MMSVIEW_VIEW:
          ViewPart(dialog);
          return TRUE;
        case IDC_MMSVIEW_PARTS:
          if (HIWORD(wParam) == LBN_DBLCLK) ViewPart(dialog);
          return TRUE;
        case IDOK:
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR ShowMmsView(HWND owner, const char* headerPath) {
  MmsViewState state{headerPath};
  return DialogBoxParamA(GetModuleHandleA(nullptr), "DIALOG_MMSVIEW", owner, MmsViewProc,
                         reinterpret_cast<LPARAM>(&state));
}
