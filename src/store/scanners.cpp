#include "store/scanners.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/configstore.h"
#include "gateway/zarqacct.h"
#include "store/msgfiles.h"
#include "core/msgtext.h"

namespace {

bool IsDirectory(const WIN32_FIND_DATAA& e) { return (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// "a" + "b" into out, false when it does not fit.
bool JoinPath(char* out, size_t size, const char* a, const char* b, const char* c = "") {
  int n = std::snprintf(out, size, "%s%s%s", a, b, c);
  return n >= 0 && size_t(n) < size;
}

// One scan's result and counts.
struct ScanResult {
  ListRecord** records;
  unsigned* listed;
  unsigned* total;

  // Counts a matching file; false when the cap leaves it unlisted.
  bool Count() {
    ++*total;
    return *listed < kScanCap;
  }
  void Add(ListRecordBuilder* b) {
    ListRecord* r = FinishListRecord(b);
    if (r) records[(*listed)++] = r;
  }
};

// Starts a record with the relative path, the file name and the given fields.
void BeginRow(ListRecordBuilder* b, const char* relative, const char* name) {
  BeginListRecord(b);
  AddListField(b, relative);
  AddListField(b, name);
}

// The queue walk: the root's own files (through ".") and those of its
// immediate subdirectories; `directory` makes the search directory of a
// subdirectory name ("" for the root).
template <typename DirectoryOf, typename PerFile>
void QueueWalk(const char* root, const char* pattern, DirectoryOf directory, PerFile perFile) {
  char search[3 * MAX_PATH];
  if (!JoinPath(search, sizeof search, root, "*")) return;
  WIN32_FIND_DATAA d;
  HANDLE dirs = FindFirstFileA(search, &d);
  if (dirs == INVALID_HANDLE_VALUE) return;
  do {
    if (!IsDirectory(d) || std::strcmp(d.cFileName, "..") == 0) continue;
    const char* name = std::strcmp(d.cFileName, ".") == 0 ? "" : d.cFileName;
    char dir[2 * MAX_PATH];
    directory(name, dir, sizeof dir);
    size_t rootLen = std::strlen(root);
    // Relative paths are taken from the directory actually searched.
    const char* relDir = std::strncmp(dir, root, rootLen) == 0 ? dir + rootLen : dir;
    if (!JoinPath(search, sizeof search, dir, pattern)) continue;
    WIN32_FIND_DATAA f;
    HANDLE files = FindFirstFileA(search, &f);
    if (files == INVALID_HANDLE_VALUE) continue;
    do {
      if (IsDirectory(f)) continue;
      char relative[2 * MAX_PATH], full[3 * MAX_PATH];
      JoinPath(relative, sizeof relative, relDir, f.cFileName);
      JoinPath(full, sizeof full, dir, f.cFileName);
      perFile(relative, full, f);
    } while (FindNextFileA(files, &f));
    FindClose(files);
  } while (FindNextFileA(dirs, &d));
  FindClose(dirs);
}

// The per-scan working space, too large for the stack of a dialog's thread.
struct Work {
  SmsFileInfo info;
  ListRecordBuilder row;
};

}  // namespace

void PruneStaleDirectory(const char* path) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER limit;
  limit.LowPart = now.dwLowDateTime;
  limit.HighPart = now.dwHighDateTime;
  limit.QuadPart -= 3000000000ull;  // five minutes in 100 ns units
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(path, &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  FindClose(h);
  ULARGE_INTEGER written;
  written.LowPart = fd.ftLastWriteTime.dwLowDateTime;
  written.HighPart = fd.ftLastWriteTime.dwHighDateTime;
  if (written.QuadPart < limit.QuadPart) RemoveDirectoryA(path);  // fails unless empty
}

bool InboxWalker::First(const char* root, const char* pattern) {
  Close();
  CopyBounded(root_, sizeof root_, root);
  size_t n = std::strlen(root_);
  if (n && root_[n - 1] != '\\') BoundedAppend(root_, sizeof root_, "\\");
  CopyBounded(pattern_, sizeof pattern_, pattern);
  return Next();
}

void InboxWalker::Close() {
  if (files_ != INVALID_HANDLE_VALUE) FindClose(files_);
  if (dirs_ != INVALID_HANDLE_VALUE) FindClose(dirs_);
  files_ = dirs_ = INVALID_HANDLE_VALUE;
  dirsStarted_ = false;
  pending_ = false;
  subdir_[0] = '\0';
}

void InboxWalker::PruneSubdirectory() {
  if (!subdir_[0]) return;
  char path[2 * MAX_PATH];
  if (JoinPath(path, sizeof path, root_, subdir_)) PruneStaleDirectory(path);
}

bool InboxWalker::NextDirectory() {
  for (;;) {
    if (!dirsStarted_) {
      dirsStarted_ = true;
      char search[MAX_PATH + 2];
      if (!JoinPath(search, sizeof search, root_, "*")) return false;
      dirs_ = FindFirstFileA(search, &dir_);
      if (dirs_ == INVALID_HANDLE_VALUE) return false;
    } else if (dirs_ == INVALID_HANDLE_VALUE || !FindNextFileA(dirs_, &dir_)) {
      return false;
    }
    if (!IsDirectory(dir_) || std::strcmp(dir_.cFileName, "..") == 0) continue;
    CopyBounded(subdir_, sizeof subdir_, std::strcmp(dir_.cFileName, ".") == 0 ? "" : dir_.cFileName);
    char search[3 * MAX_PATH];
    if (!JoinPath(search, sizeof search, root_, subdir_, subdir_[0] ? "\\" : "") ||
        !JoinPath(search + std::strlen(search), sizeof search - std::strlen(search), pattern_, ""))
      continue;
    files_ = FindFirstFileA(search, &file_);
    if (files_ != INVALID_HANDLE_VALUE) {
      pending_ = true;
      return true;
    }
    PruneSubdirectory();
  }
}

bool InboxWalker::Next() {
  for (;;) {
    if (files_ != INVALID_HANDLE_VALUE) {
      while (pending_ || FindNextFileA(files_, &file_)) {
        pending_ = false;
        if (IsDirectory(file_)) continue;
        const char* sep = subdir_[0] ? "\\" : "";
        JoinPath(relative_, sizeof relative_, subdir_, sep, file_.cFileName);
        JoinPath(full_, sizeof full_, root_, relative_);
        return true;
      }
      FindClose(files_);
      files_ = INVALID_HANDLE_VALUE;
      PruneSubdirectory();
    }
    if (!NextDirectory()) return false;
  }
}

void ScanSmsQueue(ListRecord** records, unsigned* listed, unsigned* total) {
  *listed = *total = 0;
  ScanResult result{records, listed, total};
  std::unique_ptr<Work> w(new (std::nothrow) Work);
  if (!w) return;
  char root[MAX_PATH];
  QueueDirectory(root);
  auto directory = [](const char* name, char* dir, size_t size) {
    char path[MAX_PATH];
    QueueDirectory(path, name);
    CopyBounded(dir, size, path);
  };
  QueueWalk(root, "*.REQ", directory, [&](const char* relative, const char* full, const WIN32_FIND_DATAA& f) {
    if (!result.Count()) return;
    HANDLE file = OpenMessageFile(full);
    if (file == INVALID_HANDLE_VALUE) return;
    ReadSmsFile(file, &w->info);
    CloseHandle(file);
    if (!w->info.PhoneNumber[0]) return;
    char time[20], status[300];
    FileTimeText(f.ftCreationTime, time);
    QueueStatusText(w->info.RetryCount, w->info.LastErrorInfo, status, sizeof status);
    BeginRow(&w->row, relative, f.cFileName);
    AddListField(&w->row, w->info.SubmitUser);
    AddListField(&w->row, w->info.PhoneNumber);
    AddListField(&w->row, time);
    AddListField(&w->row, status);
    result.Add(&w->row);
  });
}

void ScanMmsQueue(ListRecord** records, unsigned* listed, unsigned* total) {
  *listed = *total = 0;
  ScanResult result{records, listed, total};
  std::unique_ptr<Work> w(new (std::nothrow) Work);
  if (!w) return;
  char root[MAX_PATH];
  VaspQueueDirectory(root);
  auto directory = [&root](const char* name, char* dir, size_t size) {
    JoinPath(dir, size, root, name, *name ? "\\" : "");
  };
  QueueWalk(root, "*.MMS", directory, [&](const char* relative, const char* full, const WIN32_FIND_DATAA& f) {
    if (!result.Count()) return;
    char control[3 * MAX_PATH];
    if (!MmsControlPath(full, control, sizeof control)) return;
    HANDLE file = OpenMessageFile(control);
    if (file == INVALID_HANDLE_VALUE) return;
    MmsControlInfo info;
    ReadMmsControlFile(control, &info);
    CloseHandle(file);
    char time[20], status[600];
    FileTimeText(f.ftCreationTime, time);
    QueueStatusText(long(info.RetryCount), info.LastErrorInfo, status, sizeof status);
    BeginRow(&w->row, relative, f.cFileName);
    AddListField(&w->row, info.SenderAddress);
    AddListField(&w->row, info.Recipients);
    AddListField(&w->row, time);
    AddListField(&w->row, status);
    result.Add(&w->row);
  });
}

void ScanSmsInbox(ListRecord** records, unsigned* listed, unsigned* total) {
  *listed = *total = 0;
  ScanResult result{records, listed, total};
  std::unique_ptr<Work> w(new (std::nothrow) Work);
  if (!w) return;
  char root[MAX_PATH];
  SmsInboxDirectory(root);
  static const struct {
    const char* pattern;
    const char* status;
  } kPasses[] = {{"*.IN", kStatusQueued}, {"*.REC", kStatusQueued}, {"*.SMS", kStatusReceived}};
  for (const auto& pass : kPasses) {
    InboxWalker walk;
    for (bool found = walk.First(root, pass.pattern); found; found = walk.Next()) {
      if (!result.Count()) continue;
      HANDLE file = OpenMessageFile(walk.FullPath());
      if (file == INVALID_HANDLE_VALUE) continue;
      ReadSmsFile(file, &w->info);
      CloseHandle(file);
      DisplayText(&w->info, &GSM7ToUTF8String);
      char time[20];
      FileTimeText(walk.Entry().ftCreationTime, time);
      BeginRow(&w->row, walk.RelativePath(), walk.Entry().cFileName);
      AddListField(&w->row, w->info.Sender);
      AddListField(&w->row, w->info.PhoneNumber);
      AddListField(&w->row, time);
      AddListField(&w->row, pass.status);
      AddListField(&w->row, w->info.Data, true);  // a text too long for the record is shortened
      result.Add(&w->row);
    }
  }
}

void ScanMmsInbox(ListRecord** records, unsigned* listed, unsigned* total) {
  *listed = *total = 0;
  ScanResult result{records, listed, total};
  std::unique_ptr<Work> w(new (std::nothrow) Work);
  if (!w) return;
  char root[MAX_PATH];
  MmsInboxDirectory(root);
  char text[kMmsHeaderReadSize + 1];
  InboxWalker walk;
  for (bool found = walk.First(root, "*.HDR"); found; found = walk.Next()) {
    if (!result.Count()) continue;
    HANDLE file = OpenMessageFile(walk.FullPath());
    if (file == INVALID_HANDLE_VALUE) continue;
    ReadMmsHeaderText(file, text);
    CloseHandle(file);
    MmsHeaderInfo header;
    ParseMmsHeader(text, &header);
    char time[20];
    FileTimeText(walk.Entry().ftCreationTime, time);
    BeginRow(&w->row, walk.RelativePath(), walk.Entry().cFileName);
    AddListField(&w->row, header.From);
    AddListField(&w->row, header.To);
    AddListField(&w->row, time);
    AddListField(&w->row, header.Subject);
    result.Add(&w->row);
  }
}
