// The Test Message page of the real program. One road end to end: the
// wizard's last page sends a test SMS and a test MMS to the simulated modem's
// own number through the real gateway services. The SMS goes out as a PDU and
// comes back into the received-SMS store; the MMS goes to the practice
// operator MMSC, which announces it to the modem by WAP push, and comes back
// through both services into the received-MMS store. Then the page's own rules, with a gateway that leaves its
// queue to the test (TestQueueHold): what the page shows for each state the
// gateway leaves, and Cancel while the gateway holds the request.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/configstore.h"
#include "core/smsfile.h"
#include "loopback.h"
#include "mmscdriver.h"
#include "modemregistry.h"
#include "modemsimdriver.h"
#include "resource.h"
#include "servicetest.h"
#include "smspdu.h"
#include "testfiles.h"
#include "uiauto.h"

namespace {

enum WizardStep { kSelectModemStep, kModemSettingsStep, kServerSettingsStep, kCompleteStep, kTestMessageStep };
constexpr int kTestMessageTab = 5;
constexpr DWORD kStartMs = 30000;
constexpr DWORD kWaitMs = 60000;

bool Usable(HWND window, int id) { return ui::IsItemVisible(window, id) && ui::IsItemEnabled(window, id); }

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

std::string DayLog(const ScratchDir& dir, const char* prefix) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[64];
  snprintf(name, sizeof name, "%s-%04u%02u%02u.LOG", prefix, now.wYear, now.wMonth, now.wDay);
  return dir / name;
}

void AppendText(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(h);
}

bool StartByHand(const char* name, const std::string& exe) {
  if (!CreateServiceByHand(name, name, exe)) return false;
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = scm ? OpenServiceA(scm, name, SERVICE_START) : nullptr;
  bool started = service && StartServiceA(service, 0, nullptr);
  if (service) CloseServiceHandle(service);
  if (scm) CloseServiceHandle(scm);
  return started && WaitForState(name, SERVICE_RUNNING, 15000);
}

class TestMessagePage : public ::testing::Test {
 protected:
  void SetUp() override {
    ini_ = data_.Ini("SMSGW.INI");
    WriteSetting(ini_.c_str(), "SMSGW", "WebPort", std::to_string(FreeTcpPort()).c_str());
  }
  std::string Status(HWND page, int id) { return ui::ItemText(page, id); }
  bool Shows(HWND page, int id, const std::string& text, DWORD ms = 15000) {
    return ui::WaitItemText(page, id, text, ms);
  }
  // A status with its detail line: the page writes one after the other.
  bool Shows(HWND page, int statusId, const std::string& status, int detailId, const std::string& detail,
             DWORD ms = 15000) {
    return ui::WaitUntil([&] { return Status(page, statusId) == status && Status(page, detailId) == detail; }, ms);
  }
  // The one test request the page wrote into the queue.
  std::string OnlyRequest(const char* dir, const char* extension) {
    std::vector<std::string> files = FilesIn(data_.Dir() / (std::string(dir) + "\\TEST*" + extension));
    return files.size() == 1 ? files[0] : "";
  }

  GatewayFixtureDir data_{"testmsg"};
  std::string ini_;
  ui::Program app_;
};

TEST_F(TestMessagePage, WizardSendsATestSmsAndMmsThatComeBackThroughTheModem) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  // The operator's MMSC announces MMS for the modem's number to the modem.
  MmscSim operatorMmsc("--modem " + sim.Port());
  ASSERT_TRUE(operatorMmsc.Started()) << operatorMmsc.Error();
  // The simulator installed as a Windows modem, chosen on the Select Modem step.
  const char kModem[] = "Zarq Test Message Modem";
  RegisteredModem installed({kModem, sim.Port()});
  ASSERT_FALSE(installed.Key().empty());
  WriteSetting(ini_.c_str(), "SMSGW", "Modem1", kModem);
  ASSERT_TRUE(app_.StartConfig("-WIZARD"));
  HWND wizard = ui::FindSheet(app_.Id(), kStartMs);
  ASSERT_TRUE(wizard);
  // The Modem Settings step: MMS through the operator's MMSC, which is also
  // the WAP gateway. Next proves the settings by a GPRS connection through
  // the modem to the gateway, then saves them.
  HWND modem = ui::SelectPage(wizard, kModemSettingsStep);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Modem Settings"; }, 5000));
  ASSERT_EQ(ui::ItemText(modem, IDC_MODEM_NAME), kModem);
  ui::ClickItem(modem, IDC_MODEM_SEND_MMS);
  ui::SetItemText(modem, IDC_MODEM_WAP_GATEWAY, "http://127.0.0.1:" + std::to_string(operatorMmsc.Port()));
  ui::SetItemText(modem, IDC_MODEM_MMS_URL, "http://mmsc.practice/mms");
  ASSERT_TRUE(ui::IsItemEnabled(modem, IDC_MODEM_RECEIVE_MMS));
  ui::ClickItem(modem, IDC_MODEM_RECEIVE_MMS);
  ui::PressButton(wizard, PSBTN_NEXT);
  ui::MessageBoxInfo verdict;
  ASSERT_TRUE(ui::FindMessageBox(app_.Id(), &verdict, 60000));
  EXPECT_EQ(verdict.text, "Connection Test OK!");
  ui::AnswerMessageBox(verdict, IDOK);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Server Settings"; }, 10000));
  // Server Settings' Next installs and starts the services.
  ui::PressButton(wizard, PSBTN_NEXT);
  ASSERT_TRUE(ui::WaitUntil(
      [&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Configuration Complete"; }, 150000));
  HWND complete = ui::CurrentPage(wizard);
  ui::ClickItem(complete, IDC_WIZCOMPLETE_YES);
  ASSERT_TRUE(ui::WaitUntil([&] { return Usable(wizard, ui::kNextButton); }, 5000));
  ui::PressButton(wizard, PSBTN_NEXT);
  ASSERT_TRUE(ui::WaitUntil(
      [&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Send Test Message"; }, 10000));
  HWND page = ui::CurrentPage(wizard);

  // Finish waits for a test to end.
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_NUMBER); }, kWaitMs));
  EXPECT_FALSE(Usable(wizard, ui::kFinishButton));
  ui::SetItemText(page, IDC_TESTMSG_NUMBER, "+15550100100");
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS); }, 5000));
  ui::ClickItem(page, IDC_TESTMSG_SEND_SMS);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_SEND_MMS); }, 5000));
  ui::ClickItem(page, IDC_TESTMSG_SEND_MMS);
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  OK -- Message Sent", IDC_TESTMSG_SMS_DETAIL, "", 120000))
      << Status(page, IDC_TESTMSG_SMS_STATUS) << " / " << Status(page, IDC_TESTMSG_SMS_DETAIL);
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_MMS_STATUS, "Status:  OK -- Message Sent", IDC_TESTMSG_MMS_DETAIL, "", 60000))
      << Status(page, IDC_TESTMSG_MMS_STATUS) << " / " << Status(page, IDC_TESTMSG_MMS_DETAIL);
  EXPECT_TRUE(ui::WaitUntil([&] { return Usable(wizard, ui::kFinishButton); }, 5000));
  EXPECT_TRUE(ui::WaitUntil([&] { return !ui::IsItemVisible(page, IDC_TESTMSG_CANCEL); }, 5000));

  // The message went out as a PDU and lies in the received-SMS store.
  ASSERT_TRUE(ui::WaitUntil([&] { return !FilesIn(data_.Dir() / "SMS-IN\\*.SMS").empty(); }, kWaitMs));
  std::vector<std::string> received = FilesIn(data_.Dir() / "SMS-IN\\*.SMS");
  ASSERT_EQ(received.size(), 1u);
  static SmsFileInfo info;
  ParseSmsText(ReadFileText(data_.Dir() / ("SMS-IN\\" + received[0])).c_str(), &info);
  EXPECT_STREQ(info.Sender, "+15550100100");
  EXPECT_STREQ(info.PhoneNumber, "+15550100100");
  EXPECT_TRUE(info.binary);
  smspdu::Bytes data;
  ASSERT_TRUE(smspdu::FromHex(info.Data, &data));
  EXPECT_EQ(smspdu::Utf16ToUtf8(smspdu::SeptetsToText(smspdu::UnpackSeptets(data.data(), data.size(), 0, 20))),
            "ZarqSMS Test Message");
  bool submitted = false;
  for (const std::string& c : sim.Commands()) submitted = submitted || c.rfind("AT+CMGS=", 0) == 0;
  EXPECT_TRUE(submitted);
  EXPECT_NE(ReadFileText(DayLog(data_.Dir(), "SMSOUT")).find(",+15550100100,"), std::string::npos);

  // The MMS came back as a WAP push, was fetched and lies in the received-MMS
  // store as its header file with the parts beside it.
  ASSERT_TRUE(ui::WaitUntil([&] { return !FilesIn(data_.Dir() / "MMS-IN\\*.HDR").empty(); }, kWaitMs))
      << "no received MMS; the operator's MMSC: " << Joined(operatorMmsc.Events());
  std::string header = FilesIn(data_.Dir() / "MMS-IN\\*.HDR")[0];
  std::string text = ReadFileText(data_.Dir() / ("MMS-IN\\" + header));
  MmsHeaderInfo mms;
  ParseMmsHeader(text.c_str(), &mms);
  EXPECT_STREQ(mms.From, "+15550100100");
  EXPECT_STREQ(mms.To, "+15550100100");
  EXPECT_STREQ(mms.Subject, "ZarqSMS Test Message");
  std::string base = header.substr(0, header.size() - 4);
  std::vector<std::string> parts;
  const char* cursor = text.c_str();
  MmsPartLocation part;
  while (NextMmsPartLocation(&cursor, &part)) {
    parts.push_back(std::string(part.Path) + ";" + part.ContentType);
    EXPECT_TRUE(PathExists(data_.Dir() / ("MMS-IN\\" + std::string(part.Path)))) << part.Path;
  }
  EXPECT_EQ(parts, (std::vector<std::string>{base + "\\zarq.smil;application/smil", base + "\\zarq.txt;text/plain",
                                             base + "\\zarq.gif;image/gif"}));
  EXPECT_EQ(ReadFileText(data_.Dir() / ("MMS-IN\\" + base + "\\zarq.txt")), "ZarqSMS Test Message");
}

TEST_F(TestMessagePage, FollowsWhatTheGatewayLeavesAndCancelsAHeldRequest) {
  WriteSetting(ini_.c_str(), "SMSGW", "Modem1", "Test Modem");
  WriteSetting(ini_.c_str(), "SMSGW", "TestQueueHold", "Idle");
  ASSERT_TRUE(app_.StartConfig());
  HWND sheet = ui::FindSheet(app_.Id(), kStartMs);
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kTestMessageTab);

  // No service: the number and the web button are off, and so, after a tick,
  // both send buttons, whatever the number says.
  EXPECT_TRUE(ui::WaitUntil([&] {
    return !ui::IsItemEnabled(page, IDC_TESTMSG_NUMBER) && !ui::IsItemEnabled(page, IDC_TESTMSG_WEB);
  }, 5000));
  // Typing enables them at once; the next refresh takes that back.
  ui::SetItemText(page, IDC_TESTMSG_NUMBER, "+15550100100");
  EXPECT_TRUE(ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS));
  // The refresh turns the two off one after the other: read them once it is through.
  EXPECT_TRUE(ui::WaitUntil([&] {
    return !ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS) && !ui::IsItemEnabled(page, IDC_TESTMSG_SEND_MMS);
  }, 5000));

  // The gateway idles; an MMSC stands beside it (the gateway stand-in under
  // the MMSC's name), as the page's service operations work on both.
  ASSERT_TRUE(StartByHand("ZarqSMS", BinDirectory() + "ZARQGATESVC.EXE"));
  ASSERT_TRUE(StartByHand("ZarqMMSC", BinDirectory() + "ZARQGATESVC.EXE"));
  EXPECT_TRUE(ui::WaitUntil([&] {
    return ui::IsItemEnabled(page, IDC_TESTMSG_NUMBER) && ui::IsItemEnabled(page, IDC_TESTMSG_WEB);
  }, 5000));
  const struct {
    const char* number;
    bool ok;
  } numbers[] = {{"+", false}, {"+1 555", false}, {"555-0100", false}, {"0", true}, {"+15550100100", true}};
  for (const auto& n : numbers) {
    ui::SetItemText(page, IDC_TESTMSG_NUMBER, n.number);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS) == n.ok; }, 5000)) << n.number;
  }
  ui::ClickItem(page, IDC_TESTMSG_SEND_SMS);
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  Waiting"));
  EXPECT_TRUE(ui::WaitUntil([&] {
    return ui::IsItemVisible(page, IDC_TESTMSG_CANCEL) && !ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS) &&
           !ui::IsItemEnabled(page, IDC_TESTMSG_NUMBER);
  }, 5000));
  std::string name = OnlyRequest("Q", ".REQ");
  ASSERT_EQ(name.size(), 12u);
  EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", 4), 8u) << name;
  std::string request = data_.Dir() / ("Q\\" + name);
  EXPECT_EQ(ReadFileText(request), "[SMS]\r\nPhoneNumber=+15550100100\r\nData=ZarqSMS Test Message\r\n");

  // The modem's error file comes and goes.
  std::string errorFile = data_.Dir() / "Test Modem.ERR";
  WriteFileText(errorFile, "No network coverage");
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  Modem Off-Line",
                    IDC_TESTMSG_SMS_DETAIL, "No network coverage"))
      << Status(page, IDC_TESTMSG_SMS_DETAIL);
  WriteFileText(errorFile, "");
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  Waiting",
                    IDC_TESTMSG_SMS_DETAIL, ""))
      << Status(page, IDC_TESTMSG_SMS_DETAIL);
  // The gateway's retry state in the request.
  WritePrivateProfileStringA("ErrorDetail", "RetryCount", "3", request.c_str());
  WritePrivateProfileStringA("ErrorDetail", "LastErrorInfo", "Network busy", request.c_str());
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  Retry pending, 3 attempts",
                    IDC_TESTMSG_SMS_DETAIL, "Last Error Info:  Network busy"))
      << Status(page, IDC_TESTMSG_SMS_DETAIL);
  // Taken: an error then OK in the log end as sent.
  std::string id = name.substr(0, 8);
  AppendText(DayLog(data_.Dir(), "SMSOUT"), "t," + id + ".REQ,+1,Test Modem,ERROR -- busy,1,x\r\nshort," + id +
                                                ".REQ\r\nt," + id + ".REQ,+1,Test Modem,OK -- 1 part(s) sent,1,x\r\n");
  ASSERT_TRUE(DeleteFileA(request.c_str()));
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  OK -- Message Sent",
                    IDC_TESTMSG_SMS_DETAIL, ""))
      << Status(page, IDC_TESTMSG_SMS_DETAIL);
  EXPECT_TRUE(ui::WaitUntil([&] { return !ui::IsItemVisible(page, IDC_TESTMSG_CANCEL); }, 5000));

  // A second test whose log line is an error.
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS); }, 5000));
  ui::ClickItem(page, IDC_TESTMSG_SEND_SMS);
  ASSERT_TRUE(ui::WaitUntil([&] { return !OnlyRequest("Q", ".REQ").empty(); }, 5000));
  name = OnlyRequest("Q", ".REQ");
  AppendText(DayLog(data_.Dir(), "SMSOUT"),
             "t," + name + ",+1,Test Modem,ERROR -- Modem error: +CMS ERROR: 500,1,x\r\n");
  ASSERT_TRUE(DeleteFileA((data_.Dir() / ("Q\\" + name)).c_str()));
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "Status:  ERROR",
                    IDC_TESTMSG_SMS_DETAIL, "ERROR -- Modem error: +CMS ERROR: 500"))
      << Status(page, IDC_TESTMSG_SMS_DETAIL);

  // Cancel while the gateway holds the request: the page stops the services,
  // deletes it and starts them again; the test ends without a verdict.
  WriteSetting(ini_.c_str(), "SMSGW", "TestQueueHold", "Open");
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_SEND_SMS); }, 5000));
  ui::ClickItem(page, IDC_TESTMSG_SEND_SMS);
  ASSERT_TRUE(ui::WaitUntil([&] { return !OnlyRequest("Q", ".REQ").empty(); }, 5000));
  request = data_.Dir() / ("Q\\" + OnlyRequest("Q", ".REQ"));
  ASSERT_TRUE(ui::WaitUntil(
      [&] {
        HANDLE h = CreateFileA(request.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        return h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
      },
      10000))
      << "the gateway does not hold the request";
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemVisible(page, IDC_TESTMSG_CANCEL); }, 5000));
  ui::ClickItem(page, IDC_TESTMSG_CANCEL);
  EXPECT_TRUE(ui::WaitUntil([&] { return !PathExists(request); }, 150000));
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_SMS_STATUS, "",
                    IDC_TESTMSG_SMS_DETAIL, "", 150000))
      << Status(page, IDC_TESTMSG_SMS_DETAIL);
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, 30000));
}

TEST_F(TestMessagePage, SendsTheMmsTemplateWithItsControlFileAndFollowsIt) {
  WriteSetting(ini_.c_str(), "SMSGW", "Modem1", "Test Modem");
  WriteSetting(ini_.c_str(), "SMSGW", "TestQueueHold", "Idle");
  // The template the build ships, or one of our own beside the program while
  // this test runs: bigger than one copy buffer, with every byte value.
  std::string templatePath = BinDirectory() + "MMSTEST.MMS";
  bool ownTemplate = !PathExists(templatePath);
  std::string bytes;
  for (int i = 0; i < 40000; ++i) bytes.push_back(char(i * 7 % 256));
  ASSERT_TRUE(app_.StartConfig());
  HWND sheet = ui::FindSheet(app_.Id(), kStartMs);
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kTestMessageTab);
  // An MMSC that leaves its queue alone: the gateway stand-in idling under the MMSC's name.
  ASSERT_TRUE(StartByHand("ZarqSMS", BinDirectory() + "ZARQGATESVC.EXE"));
  ASSERT_TRUE(StartByHand("ZarqMMSC", BinDirectory() + "ZARQGATESVC.EXE"));
  ui::SetItemText(page, IDC_TESTMSG_NUMBER, "+15550100100");
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_TESTMSG_SEND_MMS); }, 10000));
  if (ownTemplate) {
    // Without the template: its path, under its own caption, and nothing written.
    ui::ClickItem(page, IDC_TESTMSG_SEND_MMS);
    ui::MessageBoxInfo box;
    ASSERT_TRUE(ui::FindMessageBox(app_.Id(), &box, 15000));
    EXPECT_EQ(box.caption, "Error locating MMS message template file");
    EXPECT_EQ(box.text, templatePath);
    EXPECT_EQ(box.icon, ui::Icon::Error);
    ui::AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(FilesIn(data_.Dir() / "VASPQ\\*").empty());
    WriteFileText(templatePath, bytes);
  } else {
    bytes = ReadFileText(templatePath);
  }
  ui::ClickItem(page, IDC_TESTMSG_SEND_MMS);
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_MMS_STATUS, "Status:  Waiting"));
  std::string message = OnlyRequest("VASPQ", ".MMS"), control = OnlyRequest("VASPQ", ".INI");
  ASSERT_FALSE(message.empty());
  EXPECT_EQ(control.substr(0, 8), message.substr(0, 8));
  std::string controlPath = data_.Dir() / ("VASPQ\\" + control);
  EXPECT_EQ(ReadFileText(controlPath), "[Recipients]\r\nRecip1=+15550100100/TYPE=VASP:zarqlocal\r\n");
  EXPECT_TRUE(ReadFileText(data_.Dir() / ("VASPQ\\" + message)) == bytes) << "the copy differs from the template";
  if (ownTemplate) DeleteFileA(templatePath.c_str());

  std::string errorFile = data_.Dir() / "MMSCROUTE--zarqlocal.ERR";
  WriteFileText(errorFile, "Connection refused");
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_MMS_STATUS, "Status:  Connection Error",
                    IDC_TESTMSG_MMS_DETAIL, "Connection refused"))
      << Status(page, IDC_TESTMSG_MMS_DETAIL);
  DeleteFileA(errorFile.c_str());
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_MMS_STATUS, "Status:  Waiting"));
  WritePrivateProfileStringA("Routing", "RetryCount", "2", controlPath.c_str());
  WritePrivateProfileStringA("Routing", "LastErrorInfo", "HTTP 503", controlPath.c_str());
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_MMS_STATUS, "Status:  Retry pending, 2 attempts",
                    IDC_TESTMSG_MMS_DETAIL, "Last Error Info:  HTTP 503"))
      << Status(page, IDC_TESTMSG_MMS_DETAIL);
  AppendText(DayLog(data_.Dir(), "MMSC"), "1,2,3,4,5,Connection failed," + message + ",8\r\n");
  ASSERT_TRUE(DeleteFileA((data_.Dir() / ("VASPQ\\" + message)).c_str()));
  EXPECT_TRUE(Shows(page, IDC_TESTMSG_MMS_STATUS, "Status:  ERROR",
                    IDC_TESTMSG_MMS_DETAIL, "Connection failed," + message))
      << Status(page, IDC_TESTMSG_MMS_DETAIL);
}

}  // namespace
