#include "datadirs.h"

#include <shlobj.h>

#include <cstring>

#include "core/textrules.h"

namespace datadirs {
namespace {

void EnsureBackslash(char* path) {
  size_t n = std::strlen(path);
  if (n && path[n - 1] != '\\' && n + 1 < MAX_PATH) {
    path[n] = '\\';
    path[n + 1] = '\0';
  }
}

bool FromRegistry(const char* value, char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZarqSMS", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return false;
  DWORD type = 0, size = MAX_PATH - 2;
  LONG rc = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return false;
  path[size < MAX_PATH - 1 ? size : MAX_PATH - 2] = '\0';
  return path[0] != '\0';
}

void Resolve(const char* envName, const char* regValue, char* path) {
  path[0] = '\0';
  DWORD n = GetEnvironmentVariableA(envName, path, MAX_PATH - 1);
  if (n == 0 || n >= MAX_PATH - 1) {
    path[0] = '\0';
    if (!FromRegistry(regValue, path)) {
      if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) path[0] = '\0';
      BoundedAppend(path, MAX_PATH - 1, "\\ZarqSMS");
    }
  }
  EnsureBackslash(path);
  CreateTree(path);
}

}  // namespace

void CreateTree(const char* dir) {
  char part[MAX_PATH];
  CopyBounded(part, sizeof part, dir);
  // Create each level in turn; levels that exist fail harmlessly.
  for (char* p = part; *p; ++p) {
    if ((*p == '\\' || *p == '/') && p > part && p[-1] != ':' && p[-1] != '\\') {
      char c = *p;
      *p = '\0';
      CreateDirectoryA(part, nullptr);
      *p = c;
    }
  }
  CreateDirectoryA(part, nullptr);
}

void ProgramData(char* path) { Resolve("ZARQ_PROGRAMDATA_DIR", "ProgramDataDirectory", path); }
void PrivateData(char* path) { Resolve("ZARQ_PRIVATEDATA_DIR", "PrivateDataDirectory", path); }

void RealProgram(char* path) {
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    path[0] = '\0';
    return;
  }
  char* slash = std::strrchr(path, '\\');
  if (slash) slash[1] = '\0';
}

std::vector<std::string> FilesIn(const std::string& dir, const char* pattern) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return files;
}

std::vector<std::string> DirectoryAndSubdirectories(const std::string& dir) {
  std::vector<std::string> dirs = {dir};
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return dirs;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != '.')
      dirs.push_back(dir + found.cFileName + "\\");
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return dirs;
}

bool AppendToFile(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(h);
  return ok;
}

}  // namespace datadirs
