#include "counters.h"

#include <windows.h>

#include <cstring>

#include "core/daycounter.h"
#include "core/textrules.h"
#include "datadirs.h"

bool AddDayCounter(const char* name, unsigned n) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char path[MAX_PATH], file[MAX_PATH];
  datadirs::PrivateData(path);
  BoundedAppend(path, sizeof path, "STATS\\");
  CreateDirectoryA(path, nullptr);
  CounterFileName(name, now.wYear, file, sizeof file);
  datadirs::PrivateData(path);
  BoundedAppend(path, sizeof path, file);

  // Readers open the file shared for reading and writing; writers serialise
  // on a lock over the whole array.
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole = {};
  bool ok = false;
  if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, kCounterFileSize, 0, &whole)) {
    unsigned char bytes[kCounterFileSize] = {};
    DWORD got = 0;
    if (ReadFile(h, bytes, sizeof bytes, &got, nullptr)) {
      unsigned day = CounterDayOfYear(now.wYear, now.wMonth, now.wDay);
      uint32_t value = CounterValue(bytes, got, day) + n;
      size_t at = 4 * size_t(day - 1);
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
      // A short file grows to its full size, the days it lacked as zeros.
      DWORD written = 0;
      ok = SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 &&
           WriteFile(h, bytes, sizeof bytes, &written, nullptr) && written == sizeof bytes;
    }
    UnlockFileEx(h, 0, kCounterFileSize, 0, &whole);
  }
  CloseHandle(h);
  return ok;
}
