// What the Windows benchmarks share: a millisecond clock, the figures taken
// from their rounds, whole-file writing and the scratch data directory they
// point the gateway's data at.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "gateway/zarqacct.h"

// Milliseconds from the performance counter.
inline double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// The middle of the rounds (the upper middle of an even count); 0 for none.
inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The least disturbed of the runs on a machine shared with other work.
inline double Best(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

// Replaces the file with `text`; nothing happens when it cannot be created.
inline void PutFile(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

// "<temp>\<name>-<pid>\": a directory of this run's own.
inline std::string ScratchDirectory(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  char base[MAX_PATH];
  snprintf(base, sizeof base, "%s%s-%lu\\", temp, name, GetCurrentProcessId());
  return base;
}

// Creates `dir` (ending in a backslash) and makes it this process's program
// and private data directory, with empty SMSGW.INI and MMSC.INI.
inline void UseDataDirectory(const std::string& dir) {
  CreateDirectoryA(dir.c_str(), nullptr);
  SetEnvironmentVariableA("ZARQ_PROGRAMDATA_DIR", dir.c_str());
  SetEnvironmentVariableA("ZARQ_PRIVATEDATA_DIR", dir.c_str());
  snprintf(g_SmsgwIni, sizeof g_SmsgwIni, "%sSMSGW.INI", dir.c_str());
  snprintf(g_MmscIni, sizeof g_MmscIni, "%sMMSC.INI", dir.c_str());
  PutFile(g_SmsgwIni, "");
  PutFile(g_MmscIni, "");
  SMSIniSetFilename(g_SmsgwIni);
  MMSCIniSetFilename(g_MmscIni);
}
