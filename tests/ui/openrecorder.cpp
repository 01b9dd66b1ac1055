// Stands for Notepad (copied as NOTEPAD.EXE where the program looks first)
// and for the program the shell opens a test part type with: appends its
// command line to the file named by ZARQ_OPEN_LOG and ends.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char log[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("ZARQ_OPEN_LOG", log, sizeof log);
  if (n == 0 || n >= sizeof log) return 1;
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const char* line = GetCommandLineA();
  DWORD written;
  WriteFile(file, line, DWORD(std::strlen(line)), &written, nullptr);
  WriteFile(file, "\n", 1, &written, nullptr);
  CloseHandle(file);
  return 0;
}
