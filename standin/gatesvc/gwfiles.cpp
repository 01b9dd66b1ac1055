#include "gwfiles.h"

#include <cstdio>

#include "core/smsfile.h"
#include "core/textrules.h"
#include "datadirs.h"
#include "debugtrace.h"

namespace gw {

std::string Setting(const char* ini, const char* section, const char* key, const char* def) {
  char value[1024];
  GetPrivateProfileStringA(section, key, def, value, sizeof value, ini);
  return value;
}

unsigned NumberSetting(const char* ini, const char* section, const char* key, unsigned def) {
  std::string v = Setting(ini, section, key);
  return v.empty() ? def : DecimalValue(v.c_str());
}

std::string ProgramDataDir() {
  char path[MAX_PATH];
  datadirs::ProgramData(path);
  return path;
}

std::string PrivateDataDir() {
  char path[MAX_PATH];
  datadirs::PrivateData(path);
  return path;
}

namespace {
std::string ConfiguredDir(const char* ini, const char* key, const char* def) {
  std::string dir = Setting(ini, "SMSGW", key);
  if (dir.empty()) {
    dir = ProgramDataDir() + def;
    datadirs::CreateTree(dir.c_str());
  }
  if (dir.back() != '\\') dir += '\\';
  return dir;
}
}  // namespace

std::string QueueDir(const char* ini) { return ConfiguredDir(ini, "QDir", "Q\\"); }
std::string InboxDir(const char* ini) { return ConfiguredDir(ini, "SmsInDir", "SMS-IN\\"); }

std::string DisplayTime(const SYSTEMTIME& t) {
  char b[32];
  snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return b;
}

std::string CompactTime(const SYSTEMTIME& t) {
  char b[32];
  snprintf(b, sizeof b, "%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return b;
}

bool ReadWholeFile(HANDLE file, size_t limit, std::string* text) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > limit)
    return false;
  text->assign(size_t(size.QuadPart), '\0');
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
  DWORD got = 0;
  if (!text->empty() && (!ReadFile(file, &(*text)[0], DWORD(text->size()), &got, nullptr) || got != text->size()))
    return false;
  return true;
}

bool ReadWholeFile(const std::string& path, size_t limit, std::string* text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = ReadWholeFile(h, limit, text);
  CloseHandle(h);
  return ok;
}

std::string WriteNewFile(const std::string& directory, const char* prefix, const char* extension,
                         const std::string& text) {
  static LONG counter = 0;
  SYSTEMTIME now;
  GetLocalTime(&now);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[96];
    snprintf(name, sizeof name, "%s%s-%03u%04lX", prefix, CompactTime(now).c_str(), now.wMilliseconds,
             static_cast<unsigned long>(InterlockedIncrement(&counter) & 0xFFFF));
    std::string temporary = directory + name + ".TMP", final = directory + name + extension;
    if (GetFileAttributesA(final.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    HANDLE h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return "";
    }
    DWORD written = 0;
    bool ok = WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(h);
    if (ok && MoveFileA(temporary.c_str(), final.c_str())) return final;
    DeleteFileA(temporary.c_str());
    if (!ok) return "";
  }
  return "";
}

void DebugLog(const char* ini, const std::string& text) {
  AppendDebugLine(ini, "SMSGW", ProgramDataDir() + "SMSDEBUG.LOG", text);
}

void SetRouteError(const char* route, const std::string& text) {
  char name[MAX_PATH];
  RouteErrorFileName(route, RouteKind::Modem, name, sizeof name);
  std::string path = PrivateDataDir() + name;
  if (text.empty() && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  if (!text.empty()) WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

}  // namespace gw
