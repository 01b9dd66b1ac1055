// Answers the message boxes the code under test shows on this process's
// threads, recording what each one said. A watcher thread finds every visible
// dialog box (#32770) of this process, reads it and presses its first button.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class BoxIcon { kNone, kError, kInformation, kWarning, kQuestion, kOther };
const char* IconName(BoxIcon icon);

struct SeenBox {
  std::string text;
  std::string caption;
  BoxIcon icon = BoxIcon::kNone;
  HWND owner = nullptr;
};

class MessageBoxWatcher {
 public:
  MessageBoxWatcher();
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  // The boxes answered so far, oldest first, and a fresh start.
  std::vector<SeenBox> Boxes();
  void Clear();

 private:
  void Run();
  void Answer(HWND box);

  std::mutex mutex_;
  std::vector<SeenBox> boxes_;
  std::vector<HWND> answered_;
  volatile bool stop_ = false;
  std::thread thread_;
};
