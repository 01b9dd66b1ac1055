// A lock that the thread holding it may take again. The message lists take
// it around every use of their rows; a modal dialog opened under it runs a
// nested message loop whose timer and drawing requests take it once more on
// the same thread. Another thread waits until the holder has released it as
// often as it took it. Pure code: no <windows.h>.
#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

class ReentrantLock {
 public:
  ReentrantLock() = default;
  ReentrantLock(const ReentrantLock&) = delete;
  ReentrantLock& operator=(const ReentrantLock&) = delete;

  void Lock();
  // Releases one Lock of the calling thread; a thread that does not hold the
  // lock changes nothing.
  void Unlock();
  // How many times the calling thread holds the lock (0 when it does not).
  unsigned Depth() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  unsigned depth_ = 0;
};

// Holds a lock for a scope; a null lock holds nothing.
class LockHold {
 public:
  explicit LockHold(ReentrantLock* lock) : lock_(lock) {
    if (lock_) lock_->Lock();
  }
  ~LockHold() {
    if (lock_) lock_->Unlock();
  }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;

 private:
  ReentrantLock* lock_;
};
