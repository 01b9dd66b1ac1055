#include "pages/msgopen.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "core/textrules.h"

void OpenInNotepad(const char* path) {
  char command[3 * MAX_PATH + 32];
  int n = snprintf(command, sizeof command, "NOTEPAD.EXE \"%s\"", path);
  if (n < 0 || size_t(n) >= sizeof command) return;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                     &process)) {
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

void OpenMessageWithShell(HWND owner, const char* path) {
  char dir[3 * MAX_PATH];
  CopyBounded(dir, sizeof dir, path);
  char* slash = std::strrchr(dir, '\\');
  if (slash) *slash = '\0';
  ShellExecuteA(owner, "open", path, nullptr, dir, SW_SHOWNORMAL);
}

bool IsPathInsideDirectory(const char* directory, const char* path) {
  char base[MAX_PATH], full[MAX_PATH];
  DWORD nb = GetFullPathNameA(directory, sizeof base, base, nullptr);
  DWORD nf = GetFullPathNameA(path, sizeof full, full, nullptr);
  if (nb == 0 || nb >= sizeof base || nf == 0 || nf >= sizeof full) return false;
  if (base[nb - 1] != '\\') {
    if (nb + 1 >= sizeof base) return false;
    base[nb++] = '\\';
    base[nb] = '\0';
  }
  if (nf <= nb) return false;
  full[nb] = '\0';  // compare the leading part only
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, full, -1, base, -1) == CSTR_EQUAL;
}
