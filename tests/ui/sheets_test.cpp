// The wizard on first run, the Server page's ports, and the question before
// unsaved edits are thrown away.
#include <string>

#include "apptest.h"
#include "app/configstore.h"
#include "resource.h"

namespace {

bool ButtonUsable(HWND sheet, int id) { return ui::IsItemVisible(sheet, id) && ui::IsItemEnabled(sheet, id); }

TEST_F(AppTest, WizardOnFirstRunSwitchesDebugLogsOnAndItsCancelEndsTheProgram) {
  ASSERT_TRUE(app_.StartConfig());
  HWND wizard = ui::FindSheet(app_.Id(), kStartTimeoutMs);
  ASSERT_TRUE(wizard);

  // Switched on before the wizard shows, in all three files.
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "Debug"), "Yes");
  EXPECT_EQ(IniValue(MmscIni(), "MMSC", "Debug"), "Yes");
  EXPECT_EQ(IniValue(MmswapIni(), "MMSWAP", "Debug"), "Yes");

  EXPECT_TRUE(ui::WaitUntil([&] { return ButtonUsable(wizard, ui::kNextButton); }, 5000)) << "first step";
  EXPECT_FALSE(ButtonUsable(wizard, ui::kBackButton)) << "first step";

  // The title bar follows the page; the Server step is not left with Next
  // here, which would install the services. The Modem step is left only with
  // a modem named, as the Select Modem step would have named one.
  const char* const titles[] = {
      "ZarqSMS Lite Setup Wizard:  Select Modem", "ZarqSMS Lite Setup Wizard:  Modem Settings",
      "ZarqSMS Lite Setup Wizard:  Server Settings", "ZarqSMS Lite Setup Wizard:  Configuration Complete",
      "ZarqSMS Lite Setup Wizard:  Send Test Message"};
  for (int i = 0; i < 5; ++i) {
    HWND step = ui::SelectPage(wizard, i);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::WindowText(wizard) == titles[i]; }, 5000))
        << "step " << i << ": " << ui::WindowText(wizard);
    if (i == kModemSettingsStep) ui::SetItemText(step, IDC_MODEM_NAME, "COM9:");
  }
  // The test message step: Finish shows but waits for a test to end.
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemVisible(wizard, ui::kFinishButton); }, 5000)) << "last step";
  EXPECT_FALSE(ButtonUsable(wizard, ui::kFinishButton)) << "last step";

  // Configuration Complete: Back alone until Yes (Next) or No (Finish) is chosen.
  HWND complete = ui::SelectPage(wizard, kCompleteStep);
  EXPECT_TRUE(ui::WaitUntil([&] { return ButtonUsable(wizard, ui::kBackButton); }, 5000));
  ui::WaitIdle(wizard, 5000);
  EXPECT_FALSE(ui::IsItemChecked(complete, IDC_WIZCOMPLETE_YES));
  EXPECT_FALSE(ui::IsItemChecked(complete, IDC_WIZCOMPLETE_NO));
  EXPECT_FALSE(ButtonUsable(wizard, ui::kNextButton));
  EXPECT_FALSE(ButtonUsable(wizard, ui::kFinishButton));
  ui::ClickItem(complete, IDC_WIZCOMPLETE_YES);
  EXPECT_TRUE(ui::WaitUntil([&] { return ButtonUsable(wizard, ui::kNextButton); }, 5000)) << "after Yes";
  EXPECT_FALSE(ButtonUsable(wizard, ui::kFinishButton)) << "after Yes";
  ui::ClickItem(complete, IDC_WIZCOMPLETE_NO);
  EXPECT_TRUE(ui::WaitUntil([&] { return ButtonUsable(wizard, ui::kFinishButton); }, 5000)) << "after No";
  EXPECT_TRUE(ButtonUsable(wizard, ui::kBackButton)) << "after No";
  // Yes and Next go on to the test message.
  ui::ClickItem(complete, IDC_WIZCOMPLETE_YES);
  EXPECT_TRUE(ui::WaitUntil([&] { return ButtonUsable(wizard, ui::kNextButton); }, 5000)) << "Yes again";
  ui::PressButton(wizard, PSBTN_NEXT);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::WindowText(wizard) == titles[kTestMessageStep]; }, 5000));

  // Nothing unsaved: Cancel ends the program at once, without the configuration sheet.
  ui::PressButton(wizard, PSBTN_CANCEL);
  EXPECT_EQ(app_.WaitExit(kBoxTimeoutMs), 0u);
  EXPECT_EQ(IniValue(MmswapIni(), "MMSWAP", "Debug"), "Yes");
}

struct PortCase {
  const char* web;
  bool smpp;
  const char* smppPort;
  bool mm7;
  const char* mm7Port;
  const char* savedWeb;
  const char* savedSmpp;
  const char* savedMm7;
};

void SetCheck(HWND page, int id, bool on) {
  if (ui::IsItemChecked(page, id) != on) ui::ClickItem(page, id);
  ui::WaitUntil([&] { return ui::IsItemChecked(page, id) == on; }, 5000);
}

TEST_F(AppTest, ServerPageLoadsAndSavesPortsByItsRules) {
  WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", "0");
  WriteSetting(g_SmsgwIni, "SMSGW", "SMPPPort", "abc");
  WriteSetting(g_MmscIni, "MMSC", "WebPort", "8080x");
  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kServerPage);
  ASSERT_TRUE(page);

  EXPECT_EQ(ui::ItemText(page, IDC_SERVER_WEBPORT), "8800");
  EXPECT_FALSE(ui::IsItemChecked(page, IDC_SERVER_SMPP_ENABLE));
  EXPECT_EQ(ui::ItemText(page, IDC_SERVER_SMPP_PORT), "");
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_SERVER_SMPP_PORT));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_SERVER_SMPP_PORT_LABEL));
  EXPECT_TRUE(ui::IsItemChecked(page, IDC_SERVER_MM7_ENABLE));
  EXPECT_EQ(ui::ItemText(page, IDC_SERVER_MM7_PORT), "8080");
  EXPECT_TRUE(ui::IsItemEnabled(page, IDC_SERVER_MM7_PORT));
  EXPECT_TRUE(ui::IsItemEnabled(page, IDC_SERVER_MM7_PORT_LABEL));

  const PortCase cases[] = {
      {"", false, "", false, "8080", "8800", kAbsent, kAbsent},
      {"25abc", true, "2775", true, " 9090", "25", "2775", "9090"},
      {"0", false, "2775", true, "0", "8800", kAbsent, kAbsent},
      {"  443", true, "x1", true, "+81", "443", kAbsent, "81"},
      {"8800", true, "", true, "2948", "8800", kAbsent, "2948"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const PortCase& c = cases[i];
    SetCheck(page, IDC_SERVER_SMPP_ENABLE, c.smpp);
    SetCheck(page, IDC_SERVER_MM7_ENABLE, c.mm7);
    EXPECT_EQ(ui::IsItemEnabled(page, IDC_SERVER_SMPP_PORT), c.smpp) << "case " << i;
    EXPECT_EQ(ui::IsItemEnabled(page, IDC_SERVER_MM7_PORT_LABEL), c.mm7) << "case " << i;
    ui::SetItemText(page, IDC_SERVER_WEBPORT, c.web);
    ui::SetItemText(page, IDC_SERVER_SMPP_PORT, c.smppPort);
    ui::SetItemText(page, IDC_SERVER_MM7_PORT, c.mm7Port);
    WriteFileText(SmsgwIni(), "[SMSGW]\r\nModem1=Test Modem\r\nSMPPPort=1\r\n");  // the page must rewrite all
    WriteFileText(MmscIni(), "[MMSC]\r\nWebPort=1\r\n");
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(sheet, ui::kApplyButton); }, 5000)) << "case " << i;
    ui::PressButton(sheet, PSBTN_APPLYNOW);
    // Each key is its own write: wait for the last of them, not the first.
    EXPECT_TRUE(ui::WaitUntil(
        [&] {
          return IniValue(SmsgwIni(), "SMSGW", "WebPort") == c.savedWeb &&
                 IniValue(SmsgwIni(), "SMSGW", "SMPPPort") == c.savedSmpp &&
                 IniValue(MmscIni(), "MMSC", "WebPort") == c.savedMm7;
        },
        5000))
        << "case " << i << ": " << IniValue(SmsgwIni(), "SMSGW", "WebPort");
    EXPECT_TRUE(ui::WaitIdle(sheet, 5000)) << "case " << i;  // the rest of the save is in the same handler
    EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "SMPPPort"), c.savedSmpp) << "case " << i;
    EXPECT_EQ(IniValue(MmscIni(), "MMSC", "WebPort"), c.savedMm7) << "case " << i;
  }

  // Saved: Cancel asks nothing. Opened again, the page shows what was saved;
  // SMPP, enabled without a port, is off.
  CancelAndExpectExit(sheet);
  sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  page = ui::SelectPage(sheet, kServerPage);
  EXPECT_EQ(ui::ItemText(page, IDC_SERVER_WEBPORT), "8800");
  EXPECT_FALSE(ui::IsItemChecked(page, IDC_SERVER_SMPP_ENABLE));
  EXPECT_TRUE(ui::IsItemChecked(page, IDC_SERVER_MM7_ENABLE));
  EXPECT_EQ(ui::ItemText(page, IDC_SERVER_MM7_PORT), "2948");
  CancelAndExpectExit(sheet);
}

TEST_F(AppTest, CancelWithUnsavedEditsAsksBeforeThrowingThemAway) {
  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND server = ui::SelectPage(sheet, kServerPage);
  ui::SelectPage(sheet, kDebugLogPage);
  // The pages answer the sibling query 2038 with the unsaved-edits flag, and nothing else.
  auto query = [&](WPARAM code) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(sheet, PSM_QUERYSIBLINGS, code, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    return answer;
  };
  EXPECT_EQ(query(2038), 0u);
  ui::SetItemText(server, IDC_SERVER_WEBPORT, "9999");
  EXPECT_EQ(query(2038), 1u);
  EXPECT_EQ(query(2037), 0u);

  // Asked on whichever page the sheet shows; No and Cancel keep the sheet open.
  for (int pageIndex : {kServerPage, kDebugLogPage, kStatusPage}) {
    ui::SelectPage(sheet, pageIndex);
    for (int answer : {IDNO, IDCANCEL}) {
      ui::PressButton(sheet, PSBTN_CANCEL);
      ui::MessageBoxInfo box = ExpectBox("Exit without saving configuration changes?");
      EXPECT_EQ(box.caption, kProductTitle) << "page " << pageIndex;
      EXPECT_EQ(box.icon, ui::Icon::Question) << "page " << pageIndex;
      EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO})) << "page " << pageIndex;
      ui::AnswerMessageBox(box, answer);
      EXPECT_TRUE(ui::WaitGone(box.window, 5000));
      // Once the cancel handler has returned, the sheet has closed or it never will.
      EXPECT_TRUE(ui::WaitIdle(sheet, 5000)) << "page " << pageIndex << ", answer " << answer;
      EXPECT_TRUE(app_.Running()) << "page " << pageIndex << ", answer " << answer;
      EXPECT_TRUE(IsWindowVisible(sheet)) << "page " << pageIndex << ", answer " << answer;
    }
  }
  ui::PressButton(sheet, PSBTN_CANCEL);
  ui::AnswerMessageBox(ExpectBox("Exit without saving configuration changes?"), IDYES);
  DeclineServiceOfferAndExpectExit();
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "WebPort"), kAbsent);
}

}  // namespace

namespace {

struct FrameCase {
  bool helpDocument;
  bool wizard;
};

// The Help button follows the help document's presence beside the program,
// in both sheets; the configuration sheet has a minimise box, the wizard not.
TEST_F(AppTest, SheetsOfferHelpOnlyWithTheDocumentAndOnlyTheConfigurationSheetMinimises) {
  const FrameCase cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const FrameCase& c = cases[i];
    ScratchDir program("prog");
    char here[MAX_PATH];
    GetModuleFileNameA(nullptr, here, sizeof here);
    std::string bin(here);
    bin.erase(bin.find_last_of('\\') + 1);
    for (const char* file : {"ZARQCFG.EXE", "ZARQACCT.DLL", "ZARQPEER.DLL"})
      ASSERT_TRUE(CopyFileA((bin + file).c_str(), (program / file).c_str(), FALSE)) << file;
    if (c.helpDocument) WriteFileText(program / "ZarqSMS Lite.pdf", "%PDF-1.4\n");
    WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", c.wizard ? "" : "Test Modem");

    ui::Program app;
    ASSERT_TRUE(app.Start(program / "ZARQCFG.EXE")) << "case " << i;
    HWND sheet = ui::FindSheet(app.Id(), kStartTimeoutMs);
    ASSERT_TRUE(sheet) << "case " << i;
    EXPECT_EQ(ui::IsItemVisible(sheet, IDHELP) && ui::IsItemEnabled(sheet, IDHELP), c.helpDocument) << "case " << i;
    LONG_PTR style = GetWindowLongPtrA(sheet, GWL_STYLE);
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, !c.wizard) << "case " << i;
    EXPECT_EQ(CancelAnsweringNo(app, sheet), 0u) << "case " << i;
  }
}

}  // namespace
