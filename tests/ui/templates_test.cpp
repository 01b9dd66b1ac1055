// Every dialog template of ZARQCFG.EXE, laid out by the system as the program
// shows it: no two sibling controls overlap (a group box and what stands
// inside it excepted), and every label, check box, radio button and push
// button has room for its whole text, with a little to spare, so that a text
// never runs into the control beside it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "uiauto.h"

namespace {

// Pixels a text keeps free before the edge of its control.
constexpr int kTextSpare = 2;

BOOL CALLBACK CollectTemplateName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::string>*>(param)->push_back(name);
  return TRUE;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The template's bytes with WS_VISIBLE taken off, so that nothing shows.
std::vector<BYTE> InvisibleCopy(HMODULE module, const char* name) {
  HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (!found) return {};
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  std::vector<BYTE> copy(bytes, bytes + SizeofResource(module, found));
  bool extended = copy.size() > 16 && copy[0] == 1 && copy[1] == 0 && copy[2] == 0xFF && copy[3] == 0xFF;
  size_t styleOffset = extended ? 12 : 0;
  DWORD style;
  std::memcpy(&style, &copy[styleOffset], sizeof style);
  style &= ~static_cast<DWORD>(WS_VISIBLE);
  std::memcpy(&copy[styleOffset], &style, sizeof style);
  return copy;
}

struct Control {
  HWND window;
  int id;
  std::string kind;  // window class
  std::string text;
  DWORD style;
  RECT rect;  // in the dialog's client coordinates
};

std::string Describe(const Control& c) {
  return std::to_string(c.id) + " (" + c.kind + (c.text.empty() ? "" : " \"" + c.text + "\"") + ")";
}

std::vector<Control> Children(HWND dialog) {
  std::vector<Control> out;
  for (HWND w = GetWindow(dialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    Control c = {w, GetDlgCtrlID(w), "", "", static_cast<DWORD>(GetWindowLongPtrA(w, GWL_STYLE)), {}};
    char text[512] = "";
    GetClassNameA(w, text, sizeof text);
    c.kind = text;
    GetWindowTextA(w, text, sizeof text);
    c.text = text;
    GetWindowRect(w, &c.rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&c.rect), 2);
    out.push_back(c);
  }
  return out;
}

bool IsButtonKind(const Control& c, DWORD type) {
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, c.kind.c_str(), -1, "Button", -1) == CSTR_EQUAL &&
         (c.style & BS_TYPEMASK) == type;
}
bool IsGroupBox(const Control& c) { return IsButtonKind(c, BS_GROUPBOX); }

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The room a control's text needs, drawn in the control's font: width and
// height of `text` laid out within `width` pixels (words wrapped when
// `wrap`).
SIZE TextNeed(const Control& c, int width, bool wrap, UINT prefix) {
  HDC dc = GetDC(c.window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c.window, WM_GETFONT, 0, 0)));
  RECT r = {0, 0, width, 0};
  DrawTextA(dc, c.text.c_str(), -1, &r, DT_CALCRECT | DT_EXPANDTABS | prefix | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(c.window, dc);
  return {r.right - r.left, r.bottom - r.top};
}

// What does not fit: empty when the text has its room.
std::string TextProblem(const Control& c) {
  if (c.text.empty()) return "";
  int width = c.rect.right - c.rect.left, height = c.rect.bottom - c.rect.top;
  int room = width - kTextSpare;
  SIZE need;
  bool isStatic = CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, c.kind.c_str(), -1, "Static", -1) == CSTR_EQUAL;
  if (isStatic) {
    DWORD type = c.style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP) return "";
    need = TextNeed(c, room, type != SS_LEFTNOWORDWRAP, (c.style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  } else if (IsButtonKind(c, BS_PUSHBUTTON) || IsButtonKind(c, BS_DEFPUSHBUTTON)) {
    room = width - 8;  // the button's frame and a little air on each side
    need = TextNeed(c, room, (c.style & BS_MULTILINE) != 0, 0);
  } else if (IsButtonKind(c, BS_CHECKBOX) || IsButtonKind(c, BS_AUTOCHECKBOX) || IsButtonKind(c, BS_RADIOBUTTON) ||
             IsButtonKind(c, BS_AUTORADIOBUTTON) || IsButtonKind(c, BS_3STATE) || IsButtonKind(c, BS_AUTO3STATE)) {
    room = width - GetSystemMetrics(SM_CXMENUCHECK) - 4 - kTextSpare;  // the box, then the text
    need = TextNeed(c, room, (c.style & BS_MULTILINE) != 0, 0);
  } else {
    return "";
  }
  if (need.cx <= room && need.cy <= height) return "";
  return "needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy) + " px for its text, has " +
         std::to_string(room) + "x" + std::to_string(height);
}

// Lays out one template and lists its faults.
std::vector<std::string> CheckTemplate(HMODULE module, const std::string& name, HWND host) {
  std::vector<std::string> faults;
  std::vector<BYTE> bytes = InvisibleCopy(module, name.c_str());
  if (bytes.empty()) return {name + ": cannot be read"};
  HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()),
                                           host, QuietDialog, 0);
  if (!dialog) return {name + ": cannot be created, error " + std::to_string(GetLastError())};
  std::vector<Control> controls = Children(dialog);
  for (size_t i = 0; i < controls.size(); ++i) {
    std::string problem = TextProblem(controls[i]);
    if (!problem.empty()) faults.push_back(name + ": " + Describe(controls[i]) + " " + problem);
    for (size_t k = i + 1; k < controls.size(); ++k) {
      const Control& a = controls[i];
      const Control& b = controls[k];
      RECT common;
      if (!IntersectRect(&common, &a.rect, &b.rect)) continue;
      if ((IsGroupBox(a) && Inside(b.rect, a.rect)) || (IsGroupBox(b) && Inside(a.rect, b.rect))) continue;
      faults.push_back(name + ": " + Describe(a) + " and " + Describe(b) + " overlap");
    }
  }
  DestroyWindow(dialog);
  return faults;
}

TEST(DialogTemplates, ControlsNeitherOverlapNorCutTheirTexts) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  std::string exe = ui::ModuleDirectory() + "ZARQCFG.EXE";
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(module) << exe << " error " << GetLastError();
  std::vector<std::string> names;
  EnumResourceNamesA(module, MAKEINTRESOURCEA(5), CollectTemplateName, reinterpret_cast<LONG_PTR>(&names));
  EXPECT_GE(names.size(), 8u) << "the program's templates were not found";
  // Pages are children of a sheet; the host stands for it and stays hidden.
  HWND host = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(host);
  std::vector<std::string> faults;
  for (const std::string& name : names) {
    std::vector<std::string> found = CheckTemplate(module, name, host);
    faults.insert(faults.end(), found.begin(), found.end());
  }
  DestroyWindow(host);
  FreeLibrary(module);
  std::string report;
  for (const std::string& fault : faults) report += "\n  " + fault;
  EXPECT_TRUE(faults.empty()) << faults.size() << " layout faults:" << report;
}

}  // namespace
