// Stands for Notepad (copied as NOTEPAD.EXE where the program looks first)
// and for the program the shell opens a document or a test part type with:
// appends its command line and its working directory, one line each, to the
// file named by ZARQ_OPEN_LOG and ends.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char log[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("ZARQ_OPEN_LOG", log, sizeof log);
  if (n == 0 || n >= sizeof log) return 1;
  char directory[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  // One write, so that a reader never sees half a record.
  std::string record = std::string(GetCommandLineA()) + "\n" + directory + "\n";
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written;
  WriteFile(file, record.data(), DWORD(record.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
