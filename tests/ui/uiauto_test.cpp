// The automation library reads message boxes of another process correctly:
// caption, text, buttons, and which standard icon they show.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "uiauto.h"

namespace {

struct BoxCase {
  UINT type;
  ui::Icon icon;
  std::vector<int> buttons;
  int answer;
};

TEST(UiAuto, ReadsAndAnswersMessageBoxesOfAnotherProcess) {
  const BoxCase cases[] = {
      {MB_YESNOCANCEL | MB_ICONQUESTION, ui::Icon::Question, {IDCANCEL, IDYES, IDNO}, IDNO},
      {MB_OK | MB_ICONERROR, ui::Icon::Error, {IDOK}, IDOK},
      {MB_OK | MB_ICONINFORMATION, ui::Icon::Information, {IDOK}, IDOK},
      {MB_OKCANCEL | MB_ICONWARNING, ui::Icon::Warning, {IDOK, IDCANCEL}, IDCANCEL},
      {MB_YESNO, ui::Icon::None, {IDYES, IDNO}, IDYES},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const BoxCase& c = cases[i];
    std::string text = "Case " + std::to_string(i) + "\r\nsecond line";
    ui::Program helper;
    ASSERT_TRUE(helper.Start("uiauto_msgbox_helper.exe", std::to_string(c.type) + " " + text)) << "case " << i;
    ui::MessageBoxInfo box;
    ASSERT_TRUE(ui::FindMessageBox(helper.Id(), &box, 20000)) << "case " << i;
    EXPECT_EQ(box.caption, "Automation helper") << "case " << i;
    EXPECT_EQ(box.text, text) << "case " << i;
    EXPECT_EQ(ui::IconName(box.icon), std::string(ui::IconName(c.icon))) << "case " << i;
    std::vector<int> expected = c.buttons;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(box.buttons, expected) << "case " << i;
    ui::AnswerMessageBox(box, c.answer);
    EXPECT_EQ(helper.WaitExit(10000), static_cast<DWORD>(c.answer)) << "case " << i;
  }
}

}  // namespace
