#include "modal.h"

#include <prsht.h>

#include <cstring>

#include "gateway/records.h"
#include "gateway/zarqacct.h"

ModalThread::ModalThread(std::function<INT_PTR()> body) : body_(std::move(body)) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, &id_);
}

DWORD WINAPI ModalThread::Run(void* self) {
  auto* t = static_cast<ModalThread*>(self);
  t->result_ = t->body_();
  return 0;
}

namespace {
BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}
std::vector<HWND> ThreadWindows(DWORD id) {
  std::vector<HWND> windows;
  EnumThreadWindows(id, CollectThreadWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}
}  // namespace

ModalThread::~ModalThread() {
  if (!thread_) return;
  // A failed test may leave a box or dialog open: cancel, answer, close.
  while (WaitForSingleObject(thread_, 100) == WAIT_TIMEOUT) {
    for (HWND w : ThreadWindows(id_)) {
      PostMessageA(w, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      PostMessageA(w, WM_COMMAND, IDYES, 0);
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    }
  }
  CloseHandle(thread_);
}

HWND ModalThread::Window(const std::string& title, DWORD timeoutMs) const {
  HWND found = nullptr;
  ui::WaitUntil(
      [&] {
        for (HWND w : ThreadWindows(id_))
          if (ui::WindowText(w) == title) return (found = w) != nullptr;
        return false;
      },
      timeoutMs);
  return found;
}

namespace {
// A marker posted behind what the test posted: the thread takes posted messages
// in order, so once it takes the marker it has handled everything before it.
// (A sent message alone would jump the queue ahead of a posted click.)
const UINT kSyncMarker = RegisterWindowMessageA("ZarqTestSyncMarker");
HANDLE g_markerTaken = CreateEventA(nullptr, FALSE, FALSE, nullptr);
LRESULT CALLBACK WatchForMarker(int code, WPARAM removal, LPARAM message) {
  const MSG* msg = reinterpret_cast<const MSG*>(message);
  if (code == HC_ACTION && removal == PM_REMOVE && msg->message == kSyncMarker) SetEvent(g_markerTaken);
  return CallNextHookEx(nullptr, code, removal, message);
}
}  // namespace

void ModalThread::Sync(HWND window) const {
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, WatchForMarker, nullptr, id_);
  ResetEvent(g_markerTaken);
  if (hook && PostMessageA(window, kSyncMarker, 0, 0)) WaitForSingleObject(g_markerTaken, 60000);
  if (hook) UnhookWindowsHookEx(hook);
  DWORD_PTR ignored;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
}

ui::MessageBoxInfo ModalThread::Answer(int button, DWORD timeoutMs) const {
  ui::MessageBoxInfo box;
  if (ui::FindMessageBox(GetCurrentProcessId(), &box, timeoutMs)) {
    ui::AnswerMessageBox(box, button);
    ui::WaitGone(box.window, 5000);
  }
  return box;
}

bool ModalThread::HasFocus(HWND control) const {
  return ui::WaitUntil(
      [&] {
        GUITHREADINFO info = {sizeof info};
        return GetGUIThreadInfo(id_, &info) && info.hwndFocus == control;
      },
      3000);
}

INT_PTR ModalThread::Wait(DWORD timeoutMs) {
  return WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0 ? result_ : -2;
}

void AddTestUser(const char* name, bool smpp) {
  unsigned char record[UserRecord::kSize] = {};
  strcpy(reinterpret_cast<char*>(record + UserRecord::kNameOffset), name);
  record[UserRecord::kSmppEnabledOffset] = smpp ? 1 : 0;
  SMSUSERFILE file = nullptr;
  if (!SMSOpenUserFile(&file, SMS_USERFILE_READWRITE)) return;
  SMSAddUser(file, record);
  SMSCloseUserFile(file);
}
