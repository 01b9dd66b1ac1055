// Test scaffolding for the Win32 layer: a scratch data directory per test,
// pointed to by the environment so that tests run side by side in one prefix.
#pragma once
#include <windows.h>

#include <string>

#include "testfiles.h"

// A fresh, empty directory under %TEMP%, deleted with its content at the end.
class ScratchDir {
 public:
  explicit ScratchDir(const char* tag = "zarq");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // The directory with a trailing backslash, and a path inside it.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Points the account library and the program's INI paths at `dir` (program
// data and private data alike) for this process, creating SMSGW.INI and
// MMSC.INI there as start-up does.
void UseDataDirectory(const ScratchDir& dir);

