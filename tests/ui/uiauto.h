// Drives ZARQCFG.EXE from outside, through its windows, as an operator would:
// launch it, find its property sheet, switch pages, press the sheet's
// buttons, read and set controls, and read and answer its message boxes.
//
// Everything works across processes under Wine: only messages that Wine
// marshals are used (text, button and property-sheet messages; never
// WM_NOTIFY), and a message box's icon is told by its pixels, since icon
// handles mean nothing in another process.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

// The directory of this test program, ending in a backslash.
std::string ModuleDirectory();

// Polls `condition` every 50 ms until it holds or `timeoutMs` has passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
// Waits until the thread of `window` has returned from what it is handling
// now (a WM_NULL sent to it is answered only then); false when it did not
// within `timeoutMs` or the window is gone. Messages posted to it before may
// still be waiting: wait for their effect first.
bool WaitIdle(HWND window, DWORD timeoutMs);

// A started program. The destructor ends it if it still runs.
class Program {
 public:
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts `exe` (a name beside the test executable, or a full path) with
  // `arguments`; the child inherits this process's environment, so the data
  // directory variables set by the test apply to it.
  bool Start(const std::string& exe, const std::string& arguments = "");
  // ZARQCFG.EXE beside the test executable.
  bool StartConfig(const std::string& arguments = "") { return Start("ZARQCFG.EXE", arguments); }

  DWORD Id() const { return id_; }
  bool Running() const;
  // Waits for the end; the exit code, or STILL_ACTIVE when it did not end in time.
  DWORD WaitExit(DWORD timeoutMs);
  // Ends this program (only this one) if it still runs.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// The program's visible top-level windows.
std::vector<HWND> TopWindows(DWORD processId);
// The program's visible top-level window with exactly this caption, once it
// shows; null when none did within `timeoutMs`.
HWND WaitTopWindow(DWORD processId, const std::string& caption, DWORD timeoutMs);

// ---- property sheets ----
// Dialog ids of the sheet's own buttons.
enum : int {
  kApplyButton = 0x3021,
  kBackButton = 0x3023,
  kNextButton = 0x3024,
  kFinishButton = 0x3025,
};

// The program's property sheet (the window that answers PSM_GETCURRENTPAGEHWND), or null.
HWND FindSheet(DWORD processId, DWORD timeoutMs);
HWND CurrentPage(HWND sheet);
// Switches to page `index` (PSM_SETCURSEL) and returns the page shown then.
HWND SelectPage(HWND sheet, int index);
// The sheet's button (PSBTN_OK, PSBTN_CANCEL, PSBTN_APPLYNOW, PSBTN_NEXT, PSBTN_BACK,
// PSBTN_FINISH), pressed asynchronously: a message box it opens does not block the caller.
void PressButton(HWND sheet, int button);

// ---- controls ----
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
// WM_SETTEXT, as typing would leave it (an edit control reports EN_CHANGE).
void SetItemText(HWND dialog, int id, const std::string& text);
// BM_CLICK, posted: the click runs in the program's own time.
void ClickItem(HWND dialog, int id);
bool IsItemChecked(HWND dialog, int id);
bool IsItemEnabled(HWND dialog, int id);
bool IsItemVisible(HWND dialog, int id);
// Entry `index` of a list box or a combo box of another process, in the ANSI
// code page; "" for no such entry. Asked for in Unicode: Wine hands the ANSI
// form of these messages across processes unconverted.
std::string ListBoxEntry(HWND list, LRESULT index);
std::string ComboBoxEntry(HWND combo, LRESULT index);
// Waits until the control's text equals `text`, then until the dialog's
// thread has finished the handler that set it (so its other controls are set too).
bool WaitItemText(HWND dialog, int id, const std::string& text, DWORD timeoutMs);

// ---- message boxes ----
enum class Icon { None, Error, Question, Warning, Information, Unknown };
const char* IconName(Icon icon);

struct MessageBoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  Icon icon = Icon::None;
  std::vector<int> buttons;  // IDOK, IDYES, ... in id order
};

// The program's message box, when one shows within `timeoutMs`.
bool FindMessageBox(DWORD processId, MessageBoxInfo* box, DWORD timeoutMs);
// Presses one of the box's buttons (IDYES, IDNO, IDCANCEL, IDOK, ...).
void AnswerMessageBox(const MessageBoxInfo& box, int button);
// Saves what the screen shows of `window` as a 24-bit BMP file, raised above
// other windows and painted afresh first; with `ownerBusy` (its thread
// blocked, unable to answer either) just as it stands.
bool SaveWindowImage(HWND window, const std::string& path, bool ownerBusy = false);

// 32-bit top-down pixels (0x00RRGGBB) of a width x height area.
struct Pixels {
  int width = 0, height = 0;
  std::vector<DWORD> bits;
};
// What the screen shows of a window; no pixels when it is more than `limit`
// pixels wide or high.
Pixels CaptureScreen(HWND window, int limit = 256);

// What the screen shows of a window where no other window lies over it: how
// many of its pixels show, how many of those have the colour `background`
// and how many are ink (less than half as light, as text is), in which rows
// the ink lies, and the window's height.
struct ScreenInk {
  int pixels = 0;
  int visible = 0;
  int background = 0;
  int ink = 0;
  int inkTop = -1, inkBottom = -1;
  int height = 0;
  std::string coveredBy;  // a window over it, when one is
};
ScreenInk ReadScreenInk(HWND window, COLORREF background);

// Waits until `window` is gone.
bool WaitGone(HWND window, DWORD timeoutMs);

}  // namespace ui
