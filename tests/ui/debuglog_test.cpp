// The debug-log page: keys read as yes values, written "Yes" or removed, and
// View buttons that follow the log files.
#include <shlwapi.h>

#include <string>

#include "apptest.h"
#include "app/configstore.h"
#include "resource.h"

namespace {

struct TitleSearch {
  const char* part;
  HWND found;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  char title[256] = "";
  GetWindowTextA(window, title, sizeof title);
  if (IsWindowVisible(window) && StrStrIA(title, search->part)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible top-level window whose title holds `part`.
HWND FindWindowTitled(const char* part) {
  TitleSearch search{part, nullptr};
  EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(AppTest, DebugLogPageSwitchesLogsAndFollowsTheirFiles) {
  WriteSetting(g_SmsgwIni, "SMSGW", "Debug", "1");
  WriteSetting(g_MmscIni, "MMSC", "Debug", "TRUE");
  WriteSetting(MmswapIni().c_str(), "MMSWAP", "Debug", "No");
  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kDebugLogPage);
  ASSERT_TRUE(page);

  const int boxes[] = {IDC_DEBUGLOG_SMSGW, IDC_DEBUGLOG_MMSC, IDC_DEBUGLOG_MMSWAP};
  const int views[] = {IDC_DEBUGLOG_VIEW_SMSGW, IDC_DEBUGLOG_VIEW_MMSC, IDC_DEBUGLOG_VIEW_MMSWAP};
  const bool checked[] = {true, true, false};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ui::IsItemChecked(page, boxes[i]), checked[i]) << "log " << i;
    EXPECT_FALSE(ui::IsItemEnabled(page, views[i])) << "log " << i;
  }

  // A log that appears enables its View button within 5 s; one that goes disables it.
  WriteFileText(dir_ / "MMSCDEBUG.LOG", "mmsc debug\r\n");
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, views[1]); }, 6500));
  ui::WaitIdle(page, 5000);  // the same tick sets the other buttons
  EXPECT_FALSE(ui::IsItemEnabled(page, views[0]));
  EXPECT_FALSE(ui::IsItemEnabled(page, views[2]));

  // View opens the log in Notepad.
  ui::ClickItem(page, views[1]);
  HWND notepad = nullptr;
  EXPECT_TRUE(ui::WaitUntil([&] { return (notepad = FindWindowTitled("MMSCDEBUG.LOG")) != nullptr; }, 20000));
  if (notepad) PostMessageA(notepad, WM_CLOSE, 0, 0);

  DeleteFileA((dir_ / "MMSCDEBUG.LOG").c_str());
  WriteFileText(dir_ / "SMSDEBUG.LOG", "");
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, views[0]) && !ui::IsItemEnabled(page, views[1]); },
                            6500));

  // Off removes the key; on writes "Yes" (also over a hand-written TRUE).
  ui::ClickItem(page, IDC_DEBUGLOG_SMSGW);
  ui::ClickItem(page, IDC_DEBUGLOG_MMSWAP);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(sheet, ui::kApplyButton); }, 5000));
  ui::PressButton(sheet, PSBTN_APPLYNOW);
  EXPECT_TRUE(ui::WaitUntil([&] { return IniValue(MmswapIni(), "MMSWAP", "Debug") == "Yes"; }, 5000));
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "Debug"), kAbsent);
  EXPECT_EQ(IniValue(MmscIni(), "MMSC", "Debug"), "Yes");
  EXPECT_EQ(ReadFileText(SmsgwIni()).find("Debug"), std::string::npos);

  // Saving here leaves the unsaved-edits flag to the pages that own it (Modem,
  // Server, 2-Way), none of which was opened: Cancel still asks.
  ui::PressButton(sheet, PSBTN_CANCEL);
  ui::AnswerMessageBox(ExpectBox("Exit without saving configuration changes?"), IDYES);
  DeclineServiceOfferAndExpectExit();
  EXPECT_EQ(IniValue(MmswapIni(), "MMSWAP", "Debug"), "Yes");
}

}  // namespace
