#include "app/configstore.h"

#include <cstring>

#include "gateway/zarqacct.h"

char g_SmsgwIni[MAX_PATH];
char g_MmscIni[MAX_PATH];

namespace {

void AppendBackslash(char* path) {
  size_t n = std::strlen(path);
  if ((n == 0 || path[n - 1] != '\\') && n + 1 < MAX_PATH) {
    path[n] = '\\';
    path[n + 1] = '\0';
  }
}

// A default data directory: program-data directory + name, created when
// `create` and missing, with a backslash appended.
void DefaultDirectory(const char* name, bool create, char* path) {
  ProgramDataPath(name, path);
  if (create && !FileExists(path)) CreateDirectoryA(path, nullptr);
  AppendBackslash(path);
}

// Resolves a directory setting: used as written (never created), else the default.
void SettingDirectory(const char* file, const char* section, const char* key, const char* defName, bool create,
                      char* path) {
  ReadSetting(file, section, key, "", path, MAX_PATH);
  if (!path[0])
    DefaultDirectory(defName, create, path);
  else
    AppendBackslash(path);
}

UpperTable MakeAnsiUpper() {
  UpperTable t;
  for (int i = 0; i < 256; ++i) t.map[i] = static_cast<unsigned char>(i);
  char buf[256];
  for (int i = 1; i < 256; ++i) buf[i - 1] = static_cast<char>(i);
  CharUpperBuffA(buf, 255);
  for (int i = 1; i < 256; ++i) t.map[i] = static_cast<unsigned char>(buf[i - 1]);
  return t;
}

}  // namespace

void ProgramDataPath(const char* name, char* path) {
  GetProgramDataDirectory(path);
  BoundedAppend(path, MAX_PATH, name);
}

DWORD ReadSetting(const char* file, const char* section, const char* key, const char* def, char* out, DWORD size) {
  if (!size) return 0;
  out[0] = '\0';
  return GetPrivateProfileStringA(section, key, def ? def : "", out, size, file);
}

BOOL WriteSetting(const char* file, const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value && *value ? value : nullptr, file);
}

bool ReadYesSetting(const char* file, const char* section, const char* key, const char* def) {
  char value[1024];
  ReadSetting(file, section, key, def, value, sizeof value);
  return IsYesValue(value);
}

void QueueDirectory(char* path, const char* subdirectory) {
  SettingDirectory(g_SmsgwIni, "SMSGW", "QDir", "Q", true, path);
  if (!subdirectory || !*subdirectory) return;
  size_t base = std::strlen(path);
  if (base + std::strlen(subdirectory) + 1 >= MAX_PATH) return;  // would not fit whole: the base directory
  BoundedAppend(path, MAX_PATH, subdirectory);
  for (char* p = path + base; *p; ++p)
    if (*p == ':' || *p == '/' || *p == '\\') *p = '-';
  if (!FileExists(path)) {
    CreateDirectoryA(path, nullptr);
    if (!FileExists(path)) path[base] = '\0';
  }
  AppendBackslash(path);
}

void SmsInboxDirectory(char* path) { SettingDirectory(g_SmsgwIni, "SMSGW", "SmsInDir", "SMS-IN\\", false, path); }
void MmsInboxDirectory(char* path) { SettingDirectory(g_SmsgwIni, "SMSGW", "MMSDir", "MMS-IN", true, path); }

void VaspQueueDirectory(char* path) { SettingDirectory(g_MmscIni, "MMSC", "VASPQDir", "VASPQ", true, path); }

bool FileExists(const char* pathOrPattern) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pathOrPattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}

bool IsPlainFile(const char* path) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(path, &fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteDirectoryTree(const char* path) {
  if (!path || !*path) return;
  {
    // A tree that is itself a junction or link: only the link goes.
    char link[MAX_PATH];
    CopyBounded(link, sizeof link, path);
    size_t end = std::strlen(link);
    while (end > 0 && link[end - 1] == '\\') link[--end] = '\0';
    DWORD attributes = GetFileAttributesA(link);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      RemoveDirectoryA(link);
      return;
    }
  }
  char pattern[MAX_PATH];
  CopyBounded(pattern, sizeof pattern, path);
  size_t n = std::strlen(pattern);
  if (pattern[n - 1] != '\\') BoundedAppend(pattern, sizeof pattern, "\\");
  size_t dirLen = std::strlen(pattern);
  BoundedAppend(pattern, sizeof pattern, "*");

  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(pattern, &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      char child[MAX_PATH];
      CopyBounded(child, sizeof child, pattern);
      child[dirLen] = '\0';
      if (dirLen + std::strlen(fd.cFileName) >= MAX_PATH) continue;  // would name another file
      BoundedAppend(child, sizeof child, fd.cFileName);
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (fd.cFileName[0] == '.') continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
          RemoveDirectoryA(child);  // the link itself; never its target
        else
          DeleteDirectoryTree(child);
      } else {
        DeleteFileA(child);
      }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }

  char dir[MAX_PATH];
  CopyBounded(dir, sizeof dir, path);
  n = std::strlen(dir);
  while (n > 0 && dir[n - 1] == '\\') dir[--n] = '\0';
  RemoveDirectoryA(dir);
}

DWORD WriteText(HANDLE file, const char* text) {
  DWORD written = 0;
  if (!WriteFile(file, text, DWORD(std::strlen(text)), &written, nullptr)) return 0;
  return written;
}

const UpperTable& AnsiUpper() {
  static const UpperTable table = MakeAnsiUpper();
  return table;
}
