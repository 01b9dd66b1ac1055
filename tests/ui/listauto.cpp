#include "listauto.h"

#include <commctrl.h>

namespace ui {
namespace {

constexpr UINT kTimeoutMs = 5000;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &result)) return 0;
  return LRESULT(result);
}

// Memory in the process that owns `window`, freed at the end of the scope.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, size_t size) : size_(size) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  bool Ok() const { return address_ != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  LPARAM Param() const { return reinterpret_cast<LPARAM>(address_); }
  bool Write(const void* data, size_t size, size_t offset = 0) const {
    SIZE_T done = 0;
    return offset + size <= size_ && WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
  }
  bool Read(void* data, size_t size, size_t offset = 0) const {
    SIZE_T done = 0;
    return offset + size <= size_ && ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

bool ItemRect(HWND list, int row, RECT* rect) {
  RemoteMemory memory(list, sizeof(RECT));
  RECT request = {LVIR_LABEL, 0, 0, 0};
  if (!memory.Ok() || !memory.Write(&request, sizeof request)) return false;
  if (!Send(list, LVM_GETITEMRECT, WPARAM(row), memory.Param())) return false;
  return memory.Read(rect, sizeof *rect);
}

void PostMouse(HWND window, UINT message, WPARAM keys, POINT at) {
  PostMessageW(window, message, keys, MAKELPARAM(at.x, at.y));
}

bool SetRowState(HWND list, int row, UINT state, UINT mask) {
  RemoteMemory memory(list, sizeof(LVITEMW));
  LVITEMW item = {};
  item.stateMask = mask;
  item.state = state;
  return memory.Ok() && memory.Write(&item, sizeof item) &&
         Send(list, LVM_SETITEMSTATE, WPARAM(row), memory.Param());
}

// A point inside the row's first column, scrolled into view first.
bool RowPoint(HWND list, int row, POINT* at) {
  Send(list, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
  RECT r;
  if (!ItemRect(list, row, &r)) return false;
  at->x = r.left + 4;
  at->y = (r.top + r.bottom) / 2;
  return true;
}

}  // namespace

int ListRowCount(HWND list) { return int(Send(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring ListCellWide(HWND list, int row, int column) {
  constexpr size_t kChars = 1024;
  RemoteMemory memory(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!memory.Ok()) return L"<no memory>";
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(memory.At(sizeof item));
  item.cchTextMax = int(kChars);
  wchar_t empty = 0;
  if (!memory.Write(&item, sizeof item) || !memory.Write(&empty, sizeof empty, sizeof item)) return L"<no memory>";
  LRESULT length = Send(list, LVM_GETITEMTEXTW, WPARAM(row), memory.Param());
  if (length < 0 || size_t(length) >= kChars) return L"<too long>";
  std::wstring text(size_t(length), L'\0');
  if (length && !memory.Read(&text[0], size_t(length) * sizeof(wchar_t), sizeof item)) return L"<unreadable>";
  return text;
}

std::string ListCell(HWND list, int row, int column) {
  std::wstring wide = ListCellWide(list, row, column);
  if (wide.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &text[0], n, nullptr, nullptr);
  return text;
}

std::string ListColumn(HWND list, int column) {
  std::string out;
  for (int row = 0, n = ListRowCount(list); row < n; ++row) out += ListCell(list, row, column) + "|";
  return out;
}

std::vector<int> SelectedRows(HWND list) {
  std::vector<int> rows;
  for (int row = -1; (row = int(Send(list, LVM_GETNEXTITEM, WPARAM(row), LVNI_SELECTED))) >= 0;) {
    if (!rows.empty() && row <= rows.back()) break;
    rows.push_back(row);
  }
  return rows;
}

bool SelectRows(HWND list, const std::vector<int>& rows) {
  bool ok = SetRowState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (size_t i = 0; i < rows.size(); ++i) {
    UINT state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
    ok = SetRowState(list, rows[i], state, state) && ok;
  }
  return ok;
}

int ListTopRow(HWND list) { return int(Send(list, LVM_GETTOPINDEX, 0, 0)); }

bool ListRowVisible(HWND list, int row) {
  int top = ListTopRow(list);
  return row >= top && row < top + int(Send(list, LVM_GETCOUNTPERPAGE, 0, 0));
}

void ClickRow(HWND list, int row, WPARAM keys) {
  POINT at;
  if (!RowPoint(list, row, &at)) return;
  PostMouse(list, WM_LBUTTONDOWN, keys | MK_LBUTTON, at);
  PostMouse(list, WM_LBUTTONUP, keys, at);
}

void DoubleClickRow(HWND list, int row) {
  POINT at;
  if (!RowPoint(list, row, &at)) return;
  PostMouse(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMouse(list, WM_LBUTTONUP, 0, at);
  PostMouse(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMouse(list, WM_LBUTTONUP, 0, at);
}

void ClickColumn(HWND list, int column) {
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  RemoteMemory memory(header, sizeof(RECT));
  RECT r = {};
  if (!header || !memory.Ok() || !Send(header, HDM_GETITEMRECT, WPARAM(column), memory.Param()) ||
      !memory.Read(&r, sizeof r))
    return;
  // Near the left edge: a last column may reach beyond what the list shows.
  POINT at = {r.left + (r.right - r.left < 40 ? (r.right - r.left) / 2 : 20), (r.top + r.bottom) / 2};
  PostMouse(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMouse(header, WM_LBUTTONUP, 0, at);
}

void PressKey(HWND window, UINT key) {
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, LPARAM(0xC0000001));
}

}  // namespace ui
