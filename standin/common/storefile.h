// A RecordStore kept in a file. Every read first checks the file's generation
// and reloads when another handle or process changed it; every change is made
// under a machine-wide mutex on the newest content, written beside the file
// and then moved over it, so a reader never sees a half-written store. A file
// that was not read back whole (cut, damaged, of another format) is kept
// beside the store as "<file>.damaged" (".damaged.2" ...) before the first
// change replaces it; a file that exists but cannot be read is never replaced.
#pragma once
#include <windows.h>

#include <string>

#include "recordstore.h"

class StoreFile {
 public:
  StoreFile(std::string path, const char* mutexName, size_t recordSize, size_t keySize);
  ~StoreFile();
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;

  // The current content (reloaded when the file changed).
  const RecordStore& Current();
  // Applies `change` to the newest content and saves it; false when the change
  // reports false or the file cannot be written.
  template <class F>
  bool Change(F change) {
    Lock lock(mutex_);
    Reload(true);
    if (!change(store_)) return false;
    return Save();
  }

 private:
  struct Lock {
    explicit Lock(HANDLE m) : m_(m) {
      if (m_) WaitForSingleObject(m_, 10000);
    }
    ~Lock() {
      if (m_) ReleaseMutex(m_);
    }
    HANDLE m_;
  };
  void Reload(bool force);
  bool KeepDamagedFile();
  bool Save();

  std::string path_;
  HANDLE mutex_;
  RecordStore store_;
  uint64_t generation_ = 0;
  uint64_t stamp_ = 0;  // write time and size of the file last read
  bool loaded_ = false;
  bool damaged_ = false;     // the file holds more than the records read from it
  bool unreadable_ = false;  // the file exists but could not be read

};
