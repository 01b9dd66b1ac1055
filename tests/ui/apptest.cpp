#include "apptest.h"

#include "app/configstore.h"

std::string IniValue(const std::string& file, const std::string& section, const std::string& key) {
  std::string text = ReadFileText(file);
  std::string current;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line[0] == '[') {
      current = line.substr(1, line.find(']') - 1);
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos || lstrcmpiA(current.c_str(), section.c_str()) != 0) continue;
    std::string name = line.substr(0, eq);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (lstrcmpiA(name.c_str(), key.c_str()) == 0) return line.substr(eq + 1);
  }
  return kAbsent;
}

void AppTest::SetUp() { UseDataDirectory(dir_); }

DWORD CancelAnsweringNo(ui::Program& app, HWND sheet) {
  ui::PressButton(sheet, PSBTN_CANCEL);
  ui::WaitUntil(
      [&] {
        ui::MessageBoxInfo box;
        if (ui::FindMessageBox(app.Id(), &box, 0)) ui::AnswerMessageBox(box, IDNO);
        return !app.Running();
      },
      kBoxTimeoutMs);
  return app.WaitExit(1000);
}

HWND AppTest::OpenConfigurationSheet(const std::string& arguments) {
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", "Test Modem");
  if (!app_.StartConfig(arguments)) return nullptr;
  return ui::FindSheet(app_.Id(), kStartTimeoutMs);
}

ui::MessageBoxInfo AppTest::ExpectBox(const std::string& text) {
  ui::MessageBoxInfo box;
  EXPECT_TRUE(ui::FindMessageBox(app_.Id(), &box, kBoxTimeoutMs)) << "no message box \"" << text << "\"";
  EXPECT_EQ(box.text, text);
  return box;
}

void AppTest::DeclineServiceOfferAndExpectExit() {
  ui::MessageBoxInfo box;
  bool asked = false;
  ui::WaitUntil([&] { return !app_.Running() || (asked = ui::FindMessageBox(app_.Id(), &box, 0)); }, kBoxTimeoutMs);
  if (asked) {
    EXPECT_EQ(box.text, "Service is not active, do you wish to activate the service?");
    EXPECT_EQ(box.caption, kProductTitle);
    EXPECT_EQ(box.icon, ui::Icon::Question);
    ui::AnswerMessageBox(box, IDNO);
  }
  EXPECT_EQ(app_.WaitExit(kBoxTimeoutMs), 0u);
}

void AppTest::CancelAndExpectExit(HWND sheet) {
  ui::PressButton(sheet, PSBTN_CANCEL);
  DeclineServiceOfferAndExpectExit();
}
