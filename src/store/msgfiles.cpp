#include "store/msgfiles.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/textrules.h"
#include "gateway/zarqacct.h"

namespace {

// Reads up to `size` bytes from the current position; the number read.
DWORD ReadUpTo(HANDLE file, char* buf, DWORD size) {
  DWORD total = 0;
  while (total < size) {
    DWORD got = 0;
    if (!ReadFile(file, buf + total, size - total, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace

HANDLE OpenMessageFile(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

void ReadSmsFile(HANDLE file, SmsFileInfo* info) {
  std::memset(info, 0, sizeof *info);
  LARGE_INTEGER size;
  if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size) || size.QuadPart < 0) return;
  // A file that could not be read whole in one piece is left unread.
  if (static_cast<unsigned long long>(size.QuadPart) > 0x7FFFFFF0ull) return;
  DWORD length = static_cast<DWORD>(size.QuadPart);

  char fixed[kSmsFileFixedBuffer + 1];
  std::unique_ptr<char[]> heap;
  char* buf = fixed;
  if (length > kSmsFileFixedBuffer) {
    heap.reset(new (std::nothrow) char[size_t(length) + 16]);
    if (!heap) return;
    buf = heap.get();
  }
  LARGE_INTEGER start = {};
  SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
  // The gateway may shorten the file meanwhile: the text ends where reading did.
  DWORD got = ReadUpTo(file, buf, length);
  buf[got] = '\0';
  ParseSmsText(buf, info);
}

DWORD ReadMmsHeaderText(HANDLE file, char* text) {
  DWORD got = file == INVALID_HANDLE_VALUE ? 0 : ReadUpTo(file, text, DWORD(kMmsHeaderReadSize));
  text[got] = '\0';
  return got;
}

bool MmsControlPath(const char* mmsPath, char* out, size_t outSize) {
  if (!outSize) return false;
  out[0] = '\0';
  const char* dot = std::strrchr(mmsPath, '.');
  size_t keep = dot ? size_t(dot - mmsPath) : std::strlen(mmsPath);
  if (keep + sizeof ".INI" > outSize) return false;
  std::memcpy(out, mmsPath, keep);
  std::memcpy(out + keep, ".INI", sizeof ".INI");
  return true;
}

void ReadMmsControlFile(const char* controlPath, MmsControlInfo* info) {
  std::memset(info, 0, sizeof *info);
  GetPrivateProfileStringA("Routing", "SenderAddress", "", info->SenderAddress, sizeof info->SenderAddress,
                           controlPath);
  info->RetryCount = GetPrivateProfileIntA("Routing", "RetryCount", 0, controlPath);
  GetPrivateProfileStringA("Routing", "LastErrorInfo", "", info->LastErrorInfo, sizeof info->LastErrorInfo,
                           controlPath);
  // One read of the whole section: recipients beyond what fits are not seen.
  char section[500] = {};
  GetPrivateProfileSectionA("Recipients", section, sizeof section, controlPath);
  MmsRecipientsText(section, sizeof section, info->Recipients, sizeof info->Recipients);
}

void ReadRouteErrorFile(const char* route, RouteKind kind, char* text) {
  char dir[MAX_PATH];
  GetPrivateDataDirectory(dir);
  ReadRouteErrorFileIn(dir, route, kind, text);
}

void ReadRouteErrorFileIn(const char* privateDir, const char* route, RouteKind kind, char* text) {
  text[0] = '\0';
  char path[MAX_PATH];
  CopyBounded(path, sizeof path, privateDir);
  char name[MAX_PATH];
  RouteErrorFileName(route, kind, name, sizeof name);
  if (std::strlen(path) + std::strlen(name) >= sizeof path) return;
  BoundedAppend(path, sizeof path, name);
  HANDLE file = OpenMessageFile(path);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD got = ReadUpTo(file, text, 250);
  text[got] = '\0';
  CloseHandle(file);
}

void FileTimeText(const FILETIME& utc, char* out) {
  FILETIME local;
  SYSTEMTIME t = {};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) t = SYSTEMTIME{};
  std::snprintf(out, 20, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear % 10000, t.wMonth % 100, t.wDay % 100,
                t.wHour % 100, t.wMinute % 100, t.wSecond % 100);
}
