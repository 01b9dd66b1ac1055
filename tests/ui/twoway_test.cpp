// The 2-Way page of the real program, end to end: received SMS go to the
// command table, a command is added through its dialog, received MMS are
// routed to an MM7 server that the receiver dialog reaches on this machine,
// and OK writes it all.
#include <string>

#include "apptest.h"
#include "app/configstore.h"
#include "loopback.h"
#include "resource.h"

namespace {

HWND ProgramWindow(DWORD processId, const std::string& title) {
  return ui::WaitTopWindow(processId, title, kBoxTimeoutMs);
}


TEST_F(AppTest, TwoWayPageRoutesMessagesToCommandsAndMm7) {
  LoopbackSocket mm7;
  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kTwoWayPage);
  ASSERT_TRUE(page);
  EXPECT_FALSE(ui::IsItemChecked(page, IDC_RECV_PROCESS_SMS));
  EXPECT_TRUE(ui::IsItemChecked(page, IDC_RECV_COMMANDS));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_RECV_ADD));

  ui::ClickItem(page, IDC_RECV_PROCESS_SMS);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_RECV_ADD); }, 5000));
  ui::ClickItem(page, IDC_RECV_ADD);
  HWND command = ProgramWindow(app_.Id(), "2-Way SMS Command");
  ASSERT_TRUE(command);
  ui::SetItemText(command, IDC_COMMAND_PREFIX, "INFO");
  ui::SetItemText(command, IDC_COMMAND_TEXT, "http://127.0.0.1/info?t=@@SMS@@");
  ui::ClickItem(command, IDOK);
  ASSERT_TRUE(ui::WaitGone(command, 5000));
  // (List texts do not cross processes under Wine; what the line holds shows in the file.)
  EXPECT_TRUE(ui::WaitUntil([&] { return SendMessageA(GetDlgItem(page, IDC_RECV_TABLE), LB_GETCOUNT, 0, 0) == 1; }, 5000));

  ui::ClickItem(page, IDC_RECV_PROCESS_MMS);
  ui::ClickItem(page, IDC_RECV_MMS_ROUTE);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_RECV_CONFIGURE); }, 5000));
  ui::ClickItem(page, IDC_RECV_CONFIGURE);
  HWND receiver = ProgramWindow(app_.Id(), "Configure MM7 Receiver");
  ASSERT_TRUE(receiver);
  std::string server = "http://127.0.0.1:" + std::to_string(mm7.Port()) + "/mm7";
  ui::SetItemText(receiver, IDC_MM7_SERVER, server);
  ui::ClickItem(receiver, IDOK);
  ASSERT_TRUE(ui::WaitGone(receiver, kBoxTimeoutMs));
  std::string vasp = dir_ / "VASPOUT\\zarqlocalmm7\\VASP.INI";
  EXPECT_EQ(IniValue(vasp, "VASP", "Server"), server);
  EXPECT_EQ(IniValue(vasp, "VASP", "Protocol"), "MM7");

  ui::PressButton(sheet, PSBTN_OK);
  DeclineServiceOfferAndExpectExit();
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "ReceiveSMS"), "Yes");
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "ReceiveMMS"), "Yes");
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "ReceiveSMSCommand1"), "INFO\thttp://127.0.0.1/info?t=@@SMS@@\tNo");
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "ReceiveSMSCommand2"), kAbsent);
  EXPECT_EQ(IniValue(SmsgwIni(), "Modem - Test Modem", "MMSRouting"), "zarqlocalmm7");
  EXPECT_EQ(IniValue(SmsgwIni(), "Modem - Test Modem", "RouteLocal"), kAbsent);
}

}  // namespace
