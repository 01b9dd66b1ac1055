#include "core/reentrantlock.h"

void ReentrantLock::Lock() {
  std::unique_lock<std::mutex> guard(mutex_);
  const std::thread::id self = std::this_thread::get_id();
  if (depth_ > 0 && owner_ == self) {
    ++depth_;
    return;
  }
  released_.wait(guard, [this] { return depth_ == 0; });
  owner_ = self;
  depth_ = 1;
}

void ReentrantLock::Unlock() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
  if (--depth_ == 0) {
    owner_ = std::thread::id();
    released_.notify_one();
  }
}

unsigned ReentrantLock::Depth() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return depth_ > 0 && owner_ == std::this_thread::get_id() ? depth_ : 0;
}
