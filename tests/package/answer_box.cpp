// Answers a message box of any program of the prefix, as an administrator
// would: waits up to SECONDS for a dialog whose caption is CAPTION and whose
// text contains TEXT, then presses the button with the id BUTTON
// (6 = Yes, 7 = No, 1 = OK).
//   package_answer_box.exe CAPTION TEXT BUTTON SECONDS
// Exit code 0 once pressed, 1 when no such box showed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Search {
  const char* caption;
  const char* text;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  char className[64] = "", caption[256] = "";
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, caption, sizeof caption);
  if (strcmp(className, "#32770") != 0 || strcmp(caption, search->caption) != 0 || !IsWindowVisible(window))
    return TRUE;
  // The box's text is its one static control with more than a word.
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char text[1024] = "";
    SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                        nullptr);
    if (strstr(text, search->text)) {
      search->found = window;
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: package_answer_box CAPTION TEXT BUTTON SECONDS\n");
    return 2;
  }
  Search search = {argv[1], argv[2], nullptr};
  int button = atoi(argv[3]);
  DWORD limit = static_cast<DWORD>(atoi(argv[4])) * 1000, start = GetTickCount();
  while (GetTickCount() - start < limit) {
    search.found = nullptr;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(search.found, button)));
      printf("answered \"%s\" with %d\n", argv[2], button);
      return 0;
    }
    Sleep(200);
  }
  printf("no box \"%s\" within %s s\n", argv[2], argv[4]);
  return 1;
}
