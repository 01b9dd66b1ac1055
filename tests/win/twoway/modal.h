// Runs a modal dialog or sheet of the program's code on a thread of its own,
// so that the test's thread can work it as an operator would (in the same
// process, where every message, WM_NOTIFY included, reaches it).
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "uiauto.h"

class ModalThread {
 public:
  explicit ModalThread(std::function<INT_PTR()> body);
  // Closes whatever the thread still shows (a failed test) and joins it.
  ~ModalThread();
  ModalThread(const ModalThread&) = delete;
  ModalThread& operator=(const ModalThread&) = delete;

  // The thread's visible top-level window titled `title`, or null.
  HWND Window(const std::string& title, DWORD timeoutMs = 10000) const;
  // Waits until the thread has handled everything sent or posted before.
  void Sync(HWND window) const;
  // The next message box of the thread, answered with `button`.
  ui::MessageBoxInfo Answer(int button, DWORD timeoutMs = 10000) const;
  // The control that has the thread's keyboard focus.
  HWND Focus() const;
  // Waits for the body to return; its result, or -2 when it did not end in time.
  INT_PTR Wait(DWORD timeoutMs = 10000);

 private:
  static DWORD WINAPI Run(void* self);
  std::function<INT_PTR()> body_;
  INT_PTR result_ = -2;
  DWORD id_ = 0;
  HANDLE thread_ = nullptr;
};

// A user of the account store, SMPP login on or off.
void AddTestUser(const char* name, bool smpp);
