#include "store/queuecount.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/configstore.h"
#include "store/msgfiles.h"

namespace {

bool IsDirectory(const WIN32_FIND_DATAA& e) { return (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Sums `count(directory)` over the root ("." stands for it) and each of its
// immediate subdirectories, whose path `directoryOf` makes from the name.
template <typename DirectoryOf, typename Count>
unsigned CountTree(DirectoryOf directoryOf, Count count) {
  char root[MAX_PATH];
  directoryOf("", root);
  char search[MAX_PATH + 2];
  if (std::snprintf(search, sizeof search, "%s*", root) >= int(sizeof search)) return 0;
  WIN32_FIND_DATAA d;
  HANDLE dirs = FindFirstFileA(search, &d);
  if (dirs == INVALID_HANDLE_VALUE) return 0;
  unsigned total = 0;
  do {
    if (!IsDirectory(d) || std::strcmp(d.cFileName, "..") == 0) continue;
    char dir[MAX_PATH];
    if (std::strcmp(d.cFileName, ".") == 0)
      std::memcpy(dir, root, sizeof root);
    else
      directoryOf(d.cFileName, dir);
    total += count(dir);
  } while (FindNextFileA(dirs, &d));
  FindClose(dirs);
  return total;
}

// Plain files matching `pattern` in `dir` for which `keep(path)` holds.
template <typename Keep>
unsigned CountFiles(const char* dir, const char* pattern, Keep keep) {
  char path[2 * MAX_PATH];
  if (std::snprintf(path, sizeof path, "%s%s", dir, pattern) >= int(sizeof path)) return 0;
  WIN32_FIND_DATAA f;
  HANDLE files = FindFirstFileA(path, &f);
  if (files == INVALID_HANDLE_VALUE) return 0;
  unsigned n = 0;
  do {
    if (IsDirectory(f)) continue;
    if (std::snprintf(path, sizeof path, "%s%s", dir, f.cFileName) >= int(sizeof path)) continue;
    if (keep(path)) ++n;
  } while (FindNextFileA(files, &f));
  FindClose(files);
  return n;
}

}  // namespace

unsigned CountSmsQueue() {
  return CountTree([](const char* name, char* dir) { QueueDirectory(dir, name); },
                   [](const char* dir) { return CountFiles(dir, "*.REQ", [](const char*) { return true; }); });
}

unsigned CountMmsQueue() {
  char base[MAX_PATH];
  VaspQueueDirectory(base);
  return CountTree(
      [&](const char* name, char* dir) {
        std::snprintf(dir, MAX_PATH, "%s%s%s", base, name, *name ? "\\" : "");
      },
      [](const char* dir) {
        return CountFiles(dir, "*.MMS", [](const char* mms) {
          char control[2 * MAX_PATH];
          return MmsControlPath(mms, control, sizeof control) && FileExists(control);
        });
      });
}
