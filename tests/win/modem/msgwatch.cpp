#include "msgwatch.h"

#include <algorithm>

namespace {

const int kIconControl = 1088;

BoxIcon IdentifyIcon(HICON icon) {
  if (!icon) return BoxIcon::kNone;
  // The message box loads the shared system icons, so in-process handles compare equal.
  if (icon == LoadIcon(nullptr, IDI_ERROR)) return BoxIcon::kError;
  if (icon == LoadIcon(nullptr, IDI_INFORMATION)) return BoxIcon::kInformation;
  if (icon == LoadIcon(nullptr, IDI_WARNING)) return BoxIcon::kWarning;
  if (icon == LoadIcon(nullptr, IDI_QUESTION)) return BoxIcon::kQuestion;
  return BoxIcon::kOther;
}

std::string WindowText(HWND w) {
  char text[4096] = "";
  GetWindowTextA(w, text, sizeof text);
  return text;
}

struct ChildScan {
  std::string text;
  HWND button = nullptr;
};

BOOL CALLBACK ScanChild(HWND child, LPARAM param) {
  auto* scan = reinterpret_cast<ChildScan*>(param);
  char cls[64] = "";
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0 && GetDlgCtrlID(child) != kIconControl) {
    std::string t = WindowText(child);
    if (t.size() > scan->text.size()) scan->text = t;
  } else if (lstrcmpiA(cls, "Button") == 0 && !scan->button) {
    scan->button = child;
  }
  return TRUE;
}

struct TopScan {
  DWORD pid;
  std::vector<HWND> boxes;
};

BOOL CALLBACK ScanTop(HWND w, LPARAM param) {
  auto* scan = reinterpret_cast<TopScan*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[64] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (pid == scan->pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w)) scan->boxes.push_back(w);
  return TRUE;
}

}  // namespace

const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone: return "none";
    case BoxIcon::kError: return "error";
    case BoxIcon::kInformation: return "information";
    case BoxIcon::kWarning: return "warning";
    case BoxIcon::kQuestion: return "question";
    default: return "other";
  }
}

MessageBoxWatcher::MessageBoxWatcher() : thread_(&MessageBoxWatcher::Run, this) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

std::vector<SeenBox> MessageBoxWatcher::Boxes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

void MessageBoxWatcher::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.clear();
}

void MessageBoxWatcher::Answer(HWND box) {
  SeenBox seen;
  seen.caption = WindowText(box);
  seen.owner = GetWindow(box, GW_OWNER);
  ChildScan scan;
  EnumChildWindows(box, ScanChild, reinterpret_cast<LPARAM>(&scan));
  seen.text = scan.text;
  HWND iconControl = GetDlgItem(box, kIconControl);
  if (iconControl && IsWindowVisible(iconControl))
    seen.icon = IdentifyIcon(reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0)));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.push_back(seen);
  }
  int id = scan.button ? GetDlgCtrlID(scan.button) : IDOK;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(scan.button));
}

void MessageBoxWatcher::Run() {
  while (!stop_) {
    TopScan scan{GetCurrentProcessId(), {}};
    EnumWindows(ScanTop, reinterpret_cast<LPARAM>(&scan));
    answered_.erase(std::remove_if(answered_.begin(), answered_.end(), [](HWND w) { return !IsWindow(w); }),
                    answered_.end());
    for (HWND box : scan.boxes) {
      if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
      answered_.push_back(box);
      Answer(box);
    }
    Sleep(20);
  }
}
