#include "uiauto.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

namespace ui {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

LRESULT SendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) return 0;
  return static_cast<LRESULT>(result);
}

std::string ClassName(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

struct EnumState {
  DWORD processId;
  std::vector<HWND>* windows;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == state->processId && IsWindowVisible(window)) state->windows->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

bool IsSheet(HWND window) { return SendTimed(window, PSM_GETCURRENTPAGEHWND, 0, 0) != 0; }

// The icon control of a message box: id 1088 in Wine's template, 20 in Windows'.
HWND MessageBoxIconControl(HWND window) {
  for (int id : {1088, 20}) {
    HWND control = GetDlgItem(window, id);
    if (control && ClassName(control) == "Static") return control;
  }
  return nullptr;
}

HBITMAP CreateCanvas(HDC dc, int width, int height, DWORD** bits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* raw = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
  *bits = static_cast<DWORD*>(raw);
  return bitmap;
}

}  // namespace

Pixels CaptureScreen(HWND window, int limit) {
  Pixels out;
  RECT r;
  if (!GetWindowRect(window, &r)) return out;
  out.width = r.right - r.left;
  out.height = r.bottom - r.top;
  if (out.width <= 0 || out.height <= 0 || out.width > limit || out.height > limit) return out;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  DWORD* bits = nullptr;
  HBITMAP canvas = CreateCanvas(screen, out.width, out.height, &bits);
  if (canvas) {
    HGDIOBJ old = SelectObject(memory, canvas);
    BitBlt(memory, 0, 0, out.width, out.height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    out.bits.assign(bits, bits + out.width * out.height);
    SelectObject(memory, old);
    DeleteObject(canvas);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

namespace {

// A system icon drawn in this process over `background`, at the given size.
Pixels RenderIcon(LPCSTR which, int width, int height, DWORD background) {
  Pixels out;
  out.width = width;
  out.height = height;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  DWORD* bits = nullptr;
  HBITMAP canvas = CreateCanvas(screen, width, height, &bits);
  if (canvas) {
    HGDIOBJ old = SelectObject(memory, canvas);
    for (int i = 0; i < width * height; ++i) bits[i] = background;
    DrawIconEx(memory, 0, 0, LoadIconA(nullptr, which), width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    out.bits.assign(bits, bits + width * height);
    SelectObject(memory, old);
    DeleteObject(canvas);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

int ChannelDistance(DWORD a, DWORD b) {
  int d = 0;
  for (int shift = 0; shift < 24; shift += 8) d += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
  return d;
}

int DifferingPixels(const Pixels& a, const Pixels& b) {
  int count = 0;
  for (size_t i = 0; i < a.bits.size() && i < b.bits.size(); ++i)
    if (ChannelDistance(a.bits[i], b.bits[i]) > 60) ++count;
  return count;
}

// Compares what the icon control shows with each standard icon drawn here.
Icon MatchIcon(HWND control) {
  Pixels shown = CaptureScreen(control);
  if (shown.bits.empty()) return Icon::Unknown;
  struct Candidate {
    LPCSTR id;
    Icon icon;
  };
  const Candidate candidates[] = {{IDI_HAND, Icon::Error},
                                  {IDI_QUESTION, Icon::Question},
                                  {IDI_EXCLAMATION, Icon::Warning},
                                  {IDI_ASTERISK, Icon::Information}};
  Icon best = Icon::Unknown;
  int bestDiff = shown.width * shown.height / 6;  // more than this differs: not that icon
  for (const Candidate& c : candidates) {
    int diff = DifferingPixels(shown, RenderIcon(c.id, shown.width, shown.height, shown.bits[0]));
    if (diff < bestDiff) {
      bestDiff = diff;
      best = c.icon;
    }
  }
  return best;
}

Icon ClassifyIcon(HWND box) {
  HWND control = MessageBoxIconControl(box);
  if (!control || !IsWindowVisible(control) || !SendTimed(control, STM_GETICON, 0, 0)) return Icon::None;
  // Keep the box above anything else on a shared display while it is looked at.
  SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Icon icon = Icon::Unknown;
  // The box may not have painted itself yet.
  WaitUntil([&] { return (icon = MatchIcon(control)) != Icon::Unknown; }, 2000);
  return icon;
}

bool ReadMessageBox(HWND window, MessageBoxInfo* box) {
  // A box becomes visible once its texts are set; before that it reads empty.
  if (ClassName(window) != "#32770" || IsSheet(window) || !IsWindowVisible(window)) return false;
  HWND iconControl = MessageBoxIconControl(window);
  if (!iconControl) return false;
  box->window = window;
  box->caption = WindowText(window);
  box->text.clear();
  box->buttons.clear();
  for (HWND child : Children(window)) {
    std::string cls = ClassName(child);
    if (cls == "Static" && child != iconControl)
      box->text = WindowText(child);
    else if (cls == "Button" && IsWindowVisible(child))
      box->buttons.push_back(GetDlgCtrlID(child));
  }
  std::sort(box->buttons.begin(), box->buttons.end());
  box->icon = ClassifyIcon(window);
  return true;
}

}  // namespace

std::string ModuleDirectory() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

bool WaitIdle(HWND window, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

Program::~Program() {
  Kill();
  if (process_) CloseHandle(process_);
}

bool Program::Start(const std::string& exe, const std::string& arguments) {
  std::string path = exe.find_first_of("\\/:") == std::string::npos ? ModuleDirectory() + exe : exe;
  std::string command = "\"" + path + "\"";
  if (!arguments.empty()) command += " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  if (process_) CloseHandle(process_);  // a program started before by this object
  process_ = info.hProcess;
  id_ = info.dwProcessId;
  return true;
}

bool Program::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

DWORD Program::WaitExit(DWORD timeoutMs) {
  if (!process_) return STILL_ACTIVE;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_, &code);
  return code;
}

void Program::Kill() {
  if (!Running()) return;
  TerminateProcess(process_, 1);
  WaitForSingleObject(process_, 5000);
}

std::vector<HWND> TopWindows(DWORD processId) {
  std::vector<HWND> windows;
  EnumState state{processId, &windows};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&state));
  return windows;
}

HWND WaitTopWindow(DWORD processId, const std::string& caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(processId))
          if (WindowText(w) == caption) return (found = w) != nullptr;
        return false;
      },
      timeoutMs);
  return found;
}

HWND FindSheet(DWORD processId, DWORD timeoutMs) {
  HWND sheet = nullptr;
  WaitUntil(
      [&] {
        for (HWND w : TopWindows(processId))
          if (IsSheet(w)) return (sheet = w) != nullptr;
        return false;
      },
      timeoutMs);
  return sheet;
}

HWND CurrentPage(HWND sheet) { return reinterpret_cast<HWND>(SendTimed(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); }

HWND SelectPage(HWND sheet, int index) {
  SendTimed(sheet, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
  return CurrentPage(sheet);
}

void PressButton(HWND sheet, int button) { PostMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0); }

std::string WindowText(HWND window) {
  char text[2048] = "";
  DWORD_PTR length = 0;
  if (SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                          &length))
    return text;
  // The program is busy (a service wait blocks its thread): the text the
  // system keeps for the window, right for captions, labels and buttons.
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string& text) {
  SendTimed(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ClickItem(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool IsItemChecked(HWND dialog, int id) { return SendTimed(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool IsItemEnabled(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item && IsWindowEnabled(item);
}

bool IsItemVisible(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item && IsWindowVisible(item);
}

namespace {

std::string EntryText(HWND control, UINT lengthMessage, UINT textMessage, LRESULT index) {
  LRESULT length = SendMessageW(control, lengthMessage, WPARAM(index), 0);
  if (length < 0) return "";
  // Room to spare: a list that changes between the two questions may have a longer entry there.
  std::vector<wchar_t> wide(size_t(length) + 1024, L'\0');
  SendMessageW(control, textMessage, WPARAM(index), reinterpret_cast<LPARAM>(wide.data()));
  wide.back() = L'\0';
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return "";
  std::string text(size_t(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, &text[0], bytes, nullptr, nullptr);
  text.pop_back();
  return text;
}

}  // namespace

std::string ListBoxEntry(HWND list, LRESULT index) { return EntryText(list, LB_GETTEXTLEN, LB_GETTEXT, index); }

std::string ComboBoxEntry(HWND combo, LRESULT index) {
  return EntryText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

bool WaitItemText(HWND dialog, int id, const std::string& text, DWORD timeoutMs) {
  if (!WaitUntil([&] { return ItemText(dialog, id) == text; }, timeoutMs)) return false;
  // The handler that set the text may still be setting the dialog's other
  // controls: let it finish before the caller reads them.
  WaitIdle(dialog, 5000);
  return true;
}

const char* IconName(Icon icon) {
  switch (icon) {
    case Icon::None: return "none";
    case Icon::Error: return "error";
    case Icon::Question: return "question";
    case Icon::Warning: return "warning";
    case Icon::Information: return "information";
    case Icon::Unknown: break;
  }
  return "unknown";
}

bool FindMessageBox(DWORD processId, MessageBoxInfo* box, DWORD timeoutMs) {
  return WaitUntil(
      [&] {
        for (HWND w : TopWindows(processId))
          if (ReadMessageBox(w, box)) return true;
        return false;
      },
      timeoutMs);
}

void AnswerMessageBox(const MessageBoxInfo& box, int button) {
  PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, button)));
}

ScreenInk ReadScreenInk(HWND control, COLORREF background) {
  ScreenInk out;
  Pixels shown = CaptureScreen(control, 4096);
  // The capture holds 0x00RRGGBB, a COLORREF 0x00BBGGRR.
  DWORD wanted = (DWORD(GetRValue(background)) << 16) | (DWORD(GetGValue(background)) << 8) | GetBValue(background);
  int backgroundLight = GetRValue(background) + GetGValue(background) + GetBValue(background);
  RECT at = {};
  GetWindowRect(control, &at);
  // Only what the window itself shows: other programs' windows may lie over
  // part of it on a shared display. Asked of the system in blocks of 4 x 4.
  HWND owner = GetAncestor(control, GA_ROOT);
  const int columns = (shown.width + 3) / 4;
  std::vector<char> mine(size_t(columns) * size_t((shown.height + 3) / 4));
  for (size_t b = 0; b < mine.size(); ++b) {
    POINT centre = {at.left + LONG(b % size_t(columns)) * 4 + 1, at.top + LONG(b / size_t(columns)) * 4 + 1};
    HWND top = WindowFromPoint(centre);
    HWND root = top ? GetAncestor(top, GA_ROOT) : nullptr;
    mine[b] = root == owner;
    if (!mine[b] && root && out.coveredBy.empty()) out.coveredBy = WindowText(root) + " (" + ClassName(root) + ")";
  }
  for (size_t i = 0; i < shown.bits.size(); ++i) {
    DWORD p = shown.bits[i];
    ++out.pixels;
    int x = int(i % size_t(shown.width)), y = int(i / size_t(shown.width));
    if (!mine[size_t(y / 4) * size_t(columns) + size_t(x / 4)]) continue;
    ++out.visible;
    int light = int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF);
    if ((p & 0xFFFFFF) == wanted) {
      ++out.background;
    } else if (light < backgroundLight / 2) {
      ++out.ink;
      int row = int(i / size_t(shown.width));
      if (out.inkTop < 0) out.inkTop = row;
      out.inkBottom = row;
    }
  }
  out.height = shown.height;
  return out;
}

bool SaveWindowImage(HWND window, const std::string& path, bool ownerBusy) {
  Pixels image;
  if (ownerBusy) {
    image = CaptureScreen(window, 4096);  // as it stands: raising it would wait for its thread
  } else {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(300);
    image = CaptureScreen(window, 4096);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (image.bits.empty()) return false;

  int stride = (image.width * 3 + 3) & ~3;
  std::vector<BYTE> rows(size_t(stride) * image.height);
  for (int y = 0; y < image.height; ++y)  // bottom-up, as BMP files keep them
    for (int x = 0; x < image.width; ++x) {
      DWORD p = image.bits[size_t(y) * image.width + x];
      BYTE* d = &rows[size_t(image.height - 1 - y) * stride + x * 3];
      d[0] = BYTE(p);
      d[1] = BYTE(p >> 8);
      d[2] = BYTE(p >> 16);
    }
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = image.width;
  info.biHeight = image.height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = DWORD(rows.size());
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;

  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, &file, sizeof file, &written, nullptr) && WriteFile(h, &info, sizeof info, &written, nullptr) &&
            WriteFile(h, rows.data(), DWORD(rows.size()), &written, nullptr);
  CloseHandle(h);
  return ok;
}

bool WaitGone(HWND window, DWORD timeoutMs) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeoutMs);
}

}  // namespace ui
