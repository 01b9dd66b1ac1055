// Rows for the four message lists, built by walking a store's directory tree
// (the root and its immediate subdirectories). Each scanner sets both counts
// to 0, lists at most kScanCap records into the caller's array (kScanArraySize
// zero-filled pointers, see core/listrecord.h) and counts every matching file.
// The caller owns the array and its records.
#pragma once
#include <windows.h>

#include "core/listrecord.h"

void ScanSmsQueue(ListRecord** records, unsigned* listed, unsigned* total);
void ScanMmsQueue(ListRecord** records, unsigned* listed, unsigned* total);
void ScanSmsInbox(ListRecord** records, unsigned* listed, unsigned* total);
void ScanMmsInbox(ListRecord** records, unsigned* listed, unsigned* total);

// Removes an empty directory (path without a trailing backslash) whose last
// write is more than five minutes old; any failure is ignored.
void PruneStaleDirectory(const char* path);

// Walks the files matching a pattern in a received-message store: the root
// first found as ".", then each immediate subdirectory, one file per call.
// A subdirectory whose search has run out is handed to PruneStaleDirectory.
class InboxWalker {
 public:
  InboxWalker() = default;
  ~InboxWalker() { Close(); }
  InboxWalker(const InboxWalker&) = delete;
  InboxWalker& operator=(const InboxWalker&) = delete;

  bool First(const char* root, const char* pattern);
  bool Next();
  void Close();

  // After a successful call: the file's path relative to the root, its full
  // path and its directory entry.
  const char* RelativePath() const { return relative_; }
  const char* FullPath() const { return full_; }
  const WIN32_FIND_DATAA& Entry() const { return file_; }

 private:
  bool NextDirectory();
  void PruneSubdirectory();

  char root_[MAX_PATH] = "";
  char pattern_[MAX_PATH] = "";
  char subdir_[MAX_PATH] = "";  // empty for the root
  HANDLE dirs_ = INVALID_HANDLE_VALUE;
  HANDLE files_ = INVALID_HANDLE_VALUE;
  bool dirsStarted_ = false;
  bool pending_ = false;  // file_ holds a first match not yet handed out
  WIN32_FIND_DATAA dir_ = {};
  WIN32_FIND_DATAA file_ = {};
  char relative_[2 * MAX_PATH] = "";
  char full_[3 * MAX_PATH] = "";
};
