#include "remotelist.h"

#include <commctrl.h>

#include <cstring>

namespace ui {
namespace {

constexpr UINT kTimeoutMs = 5000;

LRESULT SendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

// A block of memory in the window's process, freed with the object.
class RemoteBlock {
 public:
  RemoteBlock(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteBlock() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;

  bool Ok() const { return address_ != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= size_ && WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= size_ && ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

bool SetItemState(HWND list, int item, UINT state, UINT mask) {
  RemoteBlock block(list, sizeof(LVITEMA));
  LVITEMA lv = {};
  lv.stateMask = mask;
  lv.state = state;
  return block.Ok() && block.Write(0, &lv, sizeof lv) &&
         SendTimed(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(block.At(0)));
}

}  // namespace

int ListItemCount(HWND list) { return static_cast<int>(SendTimed(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string ListItemText(HWND list, int item, int subItem) {
  constexpr size_t kText = 1024;
  RemoteBlock block(list, sizeof(LVITEMA) + kText);
  if (!block.Ok()) return "<no memory>";
  LVITEMA lv = {};
  lv.iSubItem = subItem;
  lv.pszText = block.At(sizeof lv);
  lv.cchTextMax = kText;
  char text[kText] = "";
  if (!block.Write(0, &lv, sizeof lv) || !block.Write(sizeof lv, text, 1)) return "<no memory>";
  SendTimed(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(block.At(0)));
  block.Read(sizeof lv, text, kText);
  text[kText - 1] = '\0';
  return text;
}

bool SelectListItems(HWND list, const std::vector<int>& items) {
  bool ok = SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  for (size_t i = 0; i < items.size(); ++i)
    ok = SetItemState(list, items[i], LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0),
                      LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0)) && ok;
  return ok;
}

std::vector<int> SelectedListItems(HWND list) {
  std::vector<int> items;
  int i = -1;
  while ((i = static_cast<int>(SendTimed(list, LVM_GETNEXTITEM, static_cast<WPARAM>(i), LVNI_SELECTED))) >= 0 &&
         items.size() < 100000)
    items.push_back(i);
  return items;
}

POINT ListItemCenter(HWND list, int item) {
  POINT center = {-1, -1};
  RemoteBlock block(list, sizeof(RECT));
  RECT rect = {};
  rect.left = LVIR_BOUNDS;
  if (!block.Ok() || !block.Write(0, &rect, sizeof rect) ||
      !SendTimed(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(block.At(0))) ||
      !block.Read(0, &rect, sizeof rect))
    return center;
  center.x = (rect.left + rect.right) / 2;
  center.y = (rect.top + rect.bottom) / 2;
  return center;
}

}  // namespace ui
