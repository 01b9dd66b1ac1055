#include "app/uihelpers.h"

#include <shellapi.h>

#include <cstring>

#include "core/textrules.h"

char g_HelpDocumentPath[MAX_PATH];

void OpenHelpDocument() {
  char dir[MAX_PATH];
  CopyBounded(dir, sizeof dir, g_HelpDocumentPath);
  char* slash = std::strrchr(dir, '\\');
  if (slash) *slash = '\0';
  ShellExecuteA(nullptr, "open", g_HelpDocumentPath, nullptr, dir, SW_SHOWNORMAL);
}

HCURSOR BeginBusyCursor() {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  ShowCursor(TRUE);
  return previous;
}

void EndBusyCursor(HCURSOR previous) {
  ShowCursor(FALSE);
  SetCursor(previous);
}

bool SetTextIfChanged(HWND control, const char* text) {
  char current[1025];
  current[0] = '\0';
  // A text longer than the buffer could never compare equal: it is set.
  if (std::strlen(text) < sizeof current - 1) GetWindowTextA(control, current, sizeof current);
  if (lstrcmpiA(current, text) == 0) return false;
  SetWindowTextA(control, text);
  return true;
}

void PaintNow(HWND window) {
  if (!window) return;
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // What is left for the window comes now too; the last look at an empty
  // queue is also when some window systems put the picture on the screen.
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  GdiFlush();
}
