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
  ~ModalThread();  // closes what a failed test left open, then joins
  ModalThread(const ModalThread&) = delete;
  ModalThread& operator=(const ModalThread&) = delete;

  // The thread's visible top-level window titled `title`, or null.
  HWND Window(const std::string& title, DWORD timeoutMs = 10000) const;
  // Returns once the thread has handled what was posted and sent before (or sits in a modal loop).
  void Sync(HWND window) const;
  // The thread's next message box, answered with `button`.
  ui::MessageBoxInfo Answer(int button, DWORD timeoutMs = 10000) const;
  // Whether `control` has the thread's keyboard focus (within a moment:
  // activation returns to a window asynchronously after its message box).
  bool HasFocus(HWND control) const;
  // The body's result, or -2 when it did not end in time.
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
