#include "testenv.h"

#include <cstdio>

#include "app/configstore.h"
#include "gateway/zarqacct.h"

ScratchDir::ScratchDir(const char* tag) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  static LONG counter = 0;
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%s%s-%lu-%lu-%ld\\", temp, tag, GetCurrentProcessId(), GetTickCount(),
           InterlockedIncrement(&counter));
  path_ = name;
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void UseDataDirectory(const ScratchDir& dir) {
  SetEnvironmentVariableA("ZARQ_PROGRAMDATA_DIR", dir.Path().c_str());
  SetEnvironmentVariableA("ZARQ_PRIVATEDATA_DIR", dir.Path().c_str());
  snprintf(g_SmsgwIni, sizeof g_SmsgwIni, "%sSMSGW.INI", dir.Path().c_str());
  snprintf(g_MmscIni, sizeof g_MmscIni, "%sMMSC.INI", dir.Path().c_str());
  WriteFileText(g_SmsgwIni, "");
  WriteFileText(g_MmscIni, "");
  SMSIniSetFilename(g_SmsgwIni);
  MMSCIniSetFilename(g_MmscIni);
}

void WriteFileText(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

std::string ReadFileText(const std::string& path) {
  std::string out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  char buf[4096];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path) {
  std::string dir = path;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = dir + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
          RemoveDirectoryA(child.c_str());
        else
          RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  dir.pop_back();
  RemoveDirectoryA(dir.c_str());
}
