// The Modem page of the real ZARQCFG.EXE: what each apply writes and removes
// in SMSGW.INI, MMSC.INI and the zarqlocal account's VASP.INI, the WAP
// gateway checks of Test Connection, and its Retry road with a failing
// verdict from the elevated copy against a simulated modem.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "apptest.h"
#include "modemregistry.h"
#include "modemsimdriver.h"
#include "loopback.h"
#include "resource.h"
#include "../../../standin/acct/operators_res.h"

namespace {

constexpr char kUntested[] =
    "MMS configuration settings have not been tested.\r\n\r\n"
    "Do you wish to test these settings before saving configuration changes?";
constexpr char kSection[] = "Modem - Page Modem";

struct Expect {
  const char* file;  // "SMSGW", "MMSC" or "VASP"
  const char* section;
  const char* key;
  const char* value;  // kAbsent when the key must not be there
};

struct ApplyCase {
  const char* what;
  std::vector<Expect> preset;  // written before the program starts
  std::function<void(HWND page)> edit;
  int answer;  // to the untested-settings question; 0: no question
  std::vector<Expect> expected;
};

class ModemPageTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    UnregisterAllModems();
  }
  void TearDown() override { UnregisterAllModems(); }

  std::string VaspIni() const { return dir_ / "VASPOUT\\zarqlocal\\VASP.INI"; }
  std::string File(const char* name) const {
    std::string n = name;
    return n == "SMSGW" ? SmsgwIni() : n == "MMSC" ? MmscIni() : VaspIni();
  }
  void Write(const Expect& e) {
    if (std::string(e.file) == "VASP") CreateDirectoryA((dir_ / "VASPOUT").c_str(), nullptr);
    if (std::string(e.file) == "VASP") CreateDirectoryA((dir_ / "VASPOUT\\zarqlocal").c_str(), nullptr);
    WriteSetting(File(e.file).c_str(), e.section, e.key, e.value);
  }
  void Reset() {
    WriteFileText(SmsgwIni(), "");
    WriteFileText(MmscIni(), "");
    DeleteFileA(VaspIni().c_str());
  }

  HWND OpenModemPage() {
    WriteSetting(SmsgwIni().c_str(), "SMSGW", "Modem1", "Page Modem");
    if (!app_.StartConfig()) return nullptr;
    sheet_ = ui::FindSheet(app_.Id(), kStartTimeoutMs);
    return sheet_ ? ui::SelectPage(sheet_, kModemPage) : nullptr;
  }
  ui::MessageBoxInfo Answer(const std::string& text, int button) {
    ui::MessageBoxInfo box = ExpectBox(text);
    if (box.window) {
      ui::AnswerMessageBox(box, button);
      ui::WaitGone(box.window, kBoxTimeoutMs);
    }
    return box;
  }

  // Lookup Operator Settings pressed: the chooser, once it shows.
  HWND OpenChooser(HWND page) {
    ui::ClickItem(page, IDC_MODEM_LOOKUP);
    return ui::WaitTopWindow(app_.Id(), "Operator Settings", kBoxTimeoutMs);
  }

  HWND sheet_ = nullptr;
};

void SetCheck(HWND page, int id, bool on) {
  if (ui::IsItemChecked(page, id) != on) ui::ClickItem(page, id);
  ui::WaitUntil([&] { return ui::IsItemChecked(page, id) == on; }, 5000);
}

// Selects the entry of a combo box of another process (Unicode: Wine passes
// the ANSI forms of list texts across processes unconverted).
void SelectEntry(HWND page, int id, const wchar_t* text) {
  HWND combo = GetDlgItem(page, id);
  LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text));
  SendMessageA(combo, CB_SETCURSEL, WPARAM(index), 0);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

TEST_F(ModemPageTest, ApplyWritesAndRemovesByItsRules) {
  RegisteredModem own({"Page Modem", "COM210"});
  RegisteredModem other({"Other Modem", "COM211"});
  const char* vasp = "VASP";
  const ApplyCase cases[] = {
      {"MMS unticked: [VASP] goes, MMSURL stays, defaults remove their keys",
       {{"SMSGW", kSection, "MMSURL", "http://mms.example/"},
        {"SMSGW", kSection, "APN", "internet"},
        {"SMSGW", kSection, "PIN", "1234"},
        {"SMSGW", kSection, "ReceiveTo", "SM"},
        {"SMSGW", kSection, "SMSAccess", "GPRS"},
        {vasp, "VASP", "Server", "http://old/"}},
       [](HWND page) {
         SetCheck(page, IDC_MODEM_SEND_MMS, false);
         ui::SetItemText(page, IDC_MODEM_PIN, "");
         SendMessageA(GetDlgItem(page, IDC_MODEM_STORAGE), CB_SETCURSEL, 0, 0);
         SetCheck(page, IDC_MODEM_ACCESS_DEFAULT, true);
       },
       0,
       {{"SMSGW", "SMSGW", "Modem1", "Page Modem"},
        {"MMSC", "MMSC", "DefaultOutboundRoute", "zarqlocal"},
        {"SMSGW", kSection, "MMSURL", "http://mms.example/"},
        {"SMSGW", kSection, "APN", "internet"},
        {"SMSGW", kSection, "PIN", kAbsent},
        {"SMSGW", kSection, "ReceiveTo", kAbsent},
        {"SMSGW", kSection, "SMSAccess", kAbsent},
        {"SMSGW", kSection, "ReceiveSMS", "Yes"},
        {"SMSGW", kSection, "ReceiveMMS", "No"},
        {"SMSGW", kSection, "UseDial", "Yes"},
        {"SMSGW", kSection, "UseModem", "Page Modem"},
        {"SMSGW", kSection, "DialUpProfile", "Modem: Page Modem"},
        {vasp, "VASP", "Server", kAbsent},
        {vasp, "VASP", "Protocol", kAbsent}}},
      {"MMS ticked: the five keys in both files, empty ones removed",
       {{vasp, "VASP", "APNLogin", "old"}},
       [](HWND page) {
         SetCheck(page, IDC_MODEM_SEND_MMS, true);
         ui::SetItemText(page, IDC_MODEM_APN, "internet");
         ui::SetItemText(page, IDC_MODEM_APN_PASSWORD, "pw");
         ui::SetItemText(page, IDC_MODEM_WAP_GATEWAY, "10.0.0.1");
         ui::SetItemText(page, IDC_MODEM_MMS_URL, "http://mms/");
         SendMessageA(GetDlgItem(page, IDC_MODEM_STORAGE), CB_SETCURSEL, 3, 0);
         SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_MODEM_STORAGE, CBN_SELCHANGE), 0);
         SetCheck(page, IDC_MODEM_ACCESS_GSM, true);
       },
       IDNO,
       {{"SMSGW", kSection, "APN", "internet"},
        {"SMSGW", kSection, "APNLogin", kAbsent},
        {"SMSGW", kSection, "APNPass", "pw"},
        {"SMSGW", kSection, "WAPGatewayIP", "10.0.0.1"},
        {"SMSGW", kSection, "MMSURL", "http://mms/"},
        {"SMSGW", kSection, "ReceiveTo", "Direct"},
        {"SMSGW", kSection, "SMSAccess", "GSM"},
        {vasp, "VASP", "Protocol", "MM1"},
        {vasp, "VASP", "ForceSenderAddress", "Yes"},
        {vasp, "VASP", "UseDial", "Yes"},
        {vasp, "VASP", "UseModem", "Page Modem"},
        {vasp, "VASP", "DialUpProfile", "Modem: Page Modem"},
        {vasp, "VASP", "APN", "internet"},
        {vasp, "VASP", "APNLogin", kAbsent},
        {vasp, "VASP", "APNPass", "pw"},
        {vasp, "VASP", "WAPGatewayIP", "10.0.0.1"},
        {vasp, "VASP", "Server", "http://mms/"}}},
      {"Receive MMS disabled by unticking Receive SMS keeps its mark and is saved",
       {{"SMSGW", kSection, "MMSURL", "http://mms/"}, {"SMSGW", kSection, "ReceiveMMS", "Yes"}},
       [](HWND page) {
         ASSERT_TRUE(ui::IsItemEnabled(page, IDC_MODEM_RECEIVE_MMS));
         SetCheck(page, IDC_MODEM_RECEIVE_SMS, false);
         ASSERT_TRUE(ui::WaitUntil([&] { return !ui::IsItemEnabled(page, IDC_MODEM_RECEIVE_MMS); }, 5000));
         ASSERT_TRUE(ui::IsItemChecked(page, IDC_MODEM_RECEIVE_MMS));
       },
       IDNO,
       {{"SMSGW", kSection, "ReceiveSMS", "No"}, {"SMSGW", kSection, "ReceiveMMS", "Yes"}}},
      {"Another modem's entry: that modem is used",
       {{"SMSGW", kSection, "MMSURL", "http://mms/"}},
       [](HWND page) {
         SetCheck(page, IDC_MODEM_OTHER_CONNECTION, true);
         SelectEntry(page, IDC_MODEM_CONNECTION, L"Modem: Other Modem");
       },
       IDNO,
       {{"SMSGW", kSection, "UseModem", "Other Modem"},
        {"SMSGW", kSection, "DialUpProfile", "Modem: Other Modem"},
        {vasp, "VASP", "UseModem", "Other Modem"},
        {vasp, "VASP", "DialUpProfile", "Modem: Other Modem"}}},
      {"The page's own modem's entry is the standard connection",
       {{"SMSGW", kSection, "MMSURL", "http://mms/"}, {"SMSGW", kSection, "UseModem", "Stale"}},
       [](HWND page) {
         SetCheck(page, IDC_MODEM_OTHER_CONNECTION, true);
         SelectEntry(page, IDC_MODEM_CONNECTION, L"mODEM: page modem");
       },
       IDNO,
       {{"SMSGW", kSection, "UseModem", "Page Modem"},
        {"SMSGW", kSection, "DialUpProfile", "Modem: Page Modem"},
        {vasp, "VASP", "UseModem", "Page Modem"},
        {vasp, "VASP", "DialUpProfile", "Modem: Page Modem"}}},
      {"A dial-up entry removes UseModem from both files",
       {{"SMSGW", kSection, "MMSURL", "http://mms/"},
        {"SMSGW", kSection, "UseModem", "Page Modem"},
        {vasp, "VASP", "UseModem", "Page Modem"}},
       [](HWND page) {
         // Wine keeps no phonebook: the entry is put where the link library
         // would have listed it.
         SendMessageW(GetDlgItem(page, IDC_MODEM_CONNECTION), CB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(L"Office Dial-Up"));
         SetCheck(page, IDC_MODEM_OTHER_CONNECTION, true);
         SelectEntry(page, IDC_MODEM_CONNECTION, L"Office Dial-Up");
       },
       IDNO,
       {{"SMSGW", kSection, "UseModem", kAbsent},
        {"SMSGW", kSection, "DialUpProfile", "Office Dial-Up"},
        {vasp, "VASP", "UseModem", kAbsent},
        {vasp, "VASP", "DialUpProfile", "Office Dial-Up"}}},
      {"Cancel to the question saves nothing",
       {{"SMSGW", kSection, "MMSURL", "http://mms/"}},
       [](HWND page) { ui::SetItemText(page, IDC_MODEM_PIN, "4321"); },
       IDCANCEL,
       {{"SMSGW", kSection, "PIN", kAbsent}, {"MMSC", "MMSC", "DefaultOutboundRoute", kAbsent}}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const ApplyCase& c = cases[i];
    Reset();
    for (const Expect& e : c.preset) Write(e);
    HWND page = OpenModemPage();
    ASSERT_TRUE(page) << c.what;
    c.edit(page);
    ui::PressButton(sheet_, PSBTN_APPLYNOW);
    if (c.answer) {
      ui::MessageBoxInfo box = Answer(kUntested, c.answer);
      EXPECT_EQ(box.icon, ui::Icon::Question) << c.what;
    }
    if (c.answer != IDCANCEL) {
      EXPECT_TRUE(ui::WaitUntil([&] { return IniValue(MmscIni(), "MMSC", "DefaultOutboundRoute") == "zarqlocal"; },
                                kBoxTimeoutMs))
          << c.what;
    }
    // The rest of the save (or, after Cancel, nothing) follows in the same handler.
    EXPECT_TRUE(ui::WaitIdle(sheet_, kBoxTimeoutMs)) << c.what;
    for (size_t k = 0; k < c.expected.size(); ++k) {
      const Expect& e = c.expected[k];
      EXPECT_EQ(IniValue(File(e.file), e.section, e.key), e.value)
          << c.what << ", expectation " << k << " (" << e.file << " " << e.key << ")";
    }
    app_.Kill();
  }
  // Built again after the first case's save, "Send MMS Messages" is ticked:
  // MMSURL was kept.
  Reset();
  WriteSetting(SmsgwIni().c_str(), kSection, "MMSURL", "http://kept/");
  HWND page = OpenModemPage();
  ASSERT_TRUE(page);
  EXPECT_TRUE(ui::IsItemChecked(page, IDC_MODEM_SEND_MMS));
  EXPECT_TRUE(ui::IsItemEnabled(page, IDC_MODEM_TEST));
}

// The driver already defines the context of the APN "internet": the
// connection test asks no restart question.
bool DefineInternetContext(const RegisteredModem& modem) {
  HKEY init;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kModemClassKey) + "\\" + modem.Key() + "\\Init").c_str(), 0,
                      nullptr, 0, KEY_WRITE, nullptr, &init, nullptr) != ERROR_SUCCESS)
    return false;
  const char kDefinition[] = "AT+CGDCONT=1,\"IP\",\"internet\"<cr>";
  RegSetValueExA(init, "1", 0, REG_SZ, reinterpret_cast<const BYTE*>(kDefinition), sizeof kDefinition);
  RegCloseKey(init);
  return true;
}

struct AddressCase {
  const char* typed;
  const char* message;  // the refusal; null when the test runs
  const char* reachesTest;
};

// Test Connection: the address checks, and a failing verdict offers Retry,
// which runs the elevated copy again.
TEST_F(ModemPageTest, TestConnectionChecksTheAddressAndRetriesAFailedVerdict) {
  ModemSim sim("--gprs no");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem modem({"Page Modem", sim.Port()});
  ASSERT_TRUE(DefineInternetContext(modem));
  WriteSetting(SmsgwIni().c_str(), kSection, "MMSURL", "http://mms/");
  WriteSetting(SmsgwIni().c_str(), kSection, "APN", "internet");
  HWND page = OpenModemPage();
  ASSERT_TRUE(page);
  const std::string verdict = "Connection Failed\r\nRAS Error 651\r\nThe modem reported an error.";
  const AddressCase cases[] = {
      {"", "WAP Gateway Address is Required!", nullptr},
      {"1.2.3.4.5", "Invalid WAP Gateway Address", nullptr},
      {"300.1.1.1", "Invalid WAP Gateway Address", nullptr},
      {"http://mms..example", "Invalid WAP Gateway Address", nullptr},
      {"http://mms.example:8799", nullptr, "http:mms.example:8799"},
      {" 010.1.2.3 ", nullptr, "10.1.2.3"},
      {"10.1", nullptr, "10.1.0.0"},
      {"http://10.0.0.1", nullptr, "http:10.0.0.1"},
  };
  std::string testFile = dir_ / "MODEMTEST.INI";
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const AddressCase& c = cases[i];
    ui::SetItemText(page, IDC_MODEM_WAP_GATEWAY, c.typed);
    sim.ClearLog();
    ui::ClickItem(page, IDC_MODEM_TEST);
    if (c.message) {
      ui::MessageBoxInfo box = Answer(c.message, IDOK);
      EXPECT_EQ(box.icon, ui::Icon::Error) << "case " << i;
      EXPECT_FALSE(PathExists(testFile)) << "case " << i;
      continue;
    }
    // The verdict shows while MODEMTEST.INI still holds what the copy got.
    int runs = i == 5 ? 2 : 1;
    for (int run = 1; run <= runs; ++run) {
      ui::MessageBoxInfo box;
      ASSERT_TRUE(ui::FindMessageBox(app_.Id(), &box, 60000)) << "case " << i << ", run " << run;
      EXPECT_EQ(box.text, verdict) << "case " << i;
      EXPECT_EQ(box.icon, ui::Icon::Error) << "case " << i;
      EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDRETRY})) << "case " << i;
      EXPECT_EQ(IniValue(testFile, "ModemTest", "WAPGatewayIP"), c.reachesTest) << "case " << i;
      EXPECT_EQ(IniValue(testFile, "ModemTest", "ModemName"), "Page Modem") << "case " << i;
      EXPECT_EQ(IniValue(testFile, "ModemTest", "APN"), "internet") << "case " << i;
      EXPECT_EQ(IniValue(testFile, "ModemTest", "DialUpProfile"), kAbsent) << "case " << i;
      ui::AnswerMessageBox(box, run < runs ? IDRETRY : IDCANCEL);
      ui::WaitGone(box.window, kBoxTimeoutMs);
    }
    int dials = 0;
    for (const std::string& command : sim.Commands()) dials += command.find("AT+CGDCONT=") == 0;
    EXPECT_EQ(dials, runs) << "case " << i << ": one run of the elevated copy per attempt";
    EXPECT_TRUE(ui::WaitUntil([&] { return !PathExists(testFile); }, 5000)) << "case " << i;
    EXPECT_EQ(ui::ItemText(page, IDC_MODEM_WAP_GATEWAY), c.typed) << "case " << i << ": the field keeps the typed text";
  }
  // Without an MMS server URL there is no test at all.
  ui::SetItemText(page, IDC_MODEM_MMS_URL, "");
  ui::ClickItem(page, IDC_MODEM_TEST);
  Answer("MMS Server URL is Required!", IDOK);
  EXPECT_FALSE(PathExists(testFile));
}

// A Modem1 of another connection kind is no modem: the field stays empty,
// and leaving the page asks for a modem and opens the Add Modem dialog.
TEST_F(ModemPageTest, AnotherConnectionKindIsNoModemAndLeavingAsksForOne) {
  WriteSetting(SmsgwIni().c_str(), "SMSGW", "Modem1", "smpp - Provider");
  ASSERT_TRUE(app_.StartConfig());
  sheet_ = ui::FindSheet(app_.Id(), kStartTimeoutMs);
  ASSERT_TRUE(sheet_);
  HWND page = ui::SelectPage(sheet_, kModemPage);
  ASSERT_TRUE(page);
  EXPECT_EQ(ui::ItemText(page, IDC_MODEM_NAME), "");
  PostMessageA(sheet_, PSM_SETCURSEL, kServerPage, 0);
  ui::MessageBoxInfo box = Answer("Please select a modem", IDOK);
  EXPECT_EQ(box.icon, ui::Icon::Error);
  HWND dialog = ui::WaitTopWindow(app_.Id(), "Add Modem", kBoxTimeoutMs);
  EXPECT_TRUE(dialog);
  EXPECT_EQ(ui::CurrentPage(sheet_), page) << "the page was left without a modem";
  if (dialog) ui::ClickItem(dialog, IDCANCEL);
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "Modem1"), "smpp - Provider");
}

// Settings taken from the operators' table count as untested once they
// change a field, like the operator's own edits.
TEST_F(ModemPageTest, OperatorSettingsThatChangeAFieldAreTestedAgain) {
  Write({"SMSGW", kSection, "MMSURL", "http://old/"});
  Write({"SMSGW", kSection, "APN", "old.apn"});
  Write({"SMSGW", kSection, "WAPGatewayIP", "10.9.9.9"});
  HWND page = OpenModemPage();
  ASSERT_TRUE(page);
  // Untested at first; No counts as tested for the rest of the run.
  ui::PressButton(sheet_, PSBTN_APPLYNOW);
  Answer(kUntested, IDNO);
  ASSERT_TRUE(ui::WaitIdle(sheet_, kBoxTimeoutMs));
  ui::SetItemText(page, IDC_MODEM_PIN, "1111");
  ui::PressButton(sheet_, PSBTN_APPLYNOW);
  EXPECT_TRUE(ui::WaitUntil([&] { return IniValue(SmsgwIni(), kSection, "PIN") == "1111"; }, kBoxTimeoutMs));
  ASSERT_TRUE(ui::WaitIdle(sheet_, kBoxTimeoutMs));
  ui::MessageBoxInfo none;
  EXPECT_FALSE(ui::FindMessageBox(app_.Id(), &none, 0)) << "asked again: " << none.text;

  // The first operator of the first country.
  HWND chooser = OpenChooser(page);
  ASSERT_TRUE(chooser);
  HWND countries = GetDlgItem(chooser, IDC_OPERATOR_COUNTRY), operators = GetDlgItem(chooser, IDC_OPERATOR_LIST);
  SendMessageA(countries, CB_SETCURSEL, 0, 0);
  SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDC_OPERATOR_COUNTRY, CBN_SELCHANGE), LPARAM(countries));
  SendMessageA(operators, LB_SETCURSEL, 0, 0);
  SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDC_OPERATOR_LIST, LBN_SELCHANGE), LPARAM(operators));
  std::string apn = ui::ItemText(chooser, IDC_OPERATOR_APN);
  ASSERT_FALSE(apn.empty());
  ASSERT_NE(apn, "old.apn");
  PostMessageA(chooser, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(ui::WaitItemText(page, IDC_MODEM_APN, apn, kBoxTimeoutMs));
  ASSERT_TRUE(ui::WaitIdle(sheet_, kBoxTimeoutMs));

  ui::PressButton(sheet_, PSBTN_APPLYNOW);
  ui::MessageBoxInfo box = Answer(kUntested, IDCANCEL);
  EXPECT_EQ(box.text, kUntested);
  ASSERT_TRUE(ui::WaitIdle(sheet_, kBoxTimeoutMs));
  EXPECT_EQ(IniValue(SmsgwIni(), kSection, "APN"), "old.apn") << "Cancel saves nothing";
}

// An operator found by searching, whose WAP gateway listens on a port the
// connection test does not try by itself: the chooser fills the field so that
// the test knocks on that port, and the test passes as filled in. The program
// runs from a directory of its own, beside the test's table of operators.
TEST_F(ModemPageTest, OperatorFoundBySearchPassesTheConnectionTestAsFilledIn) {
  StartWinsock();
  LoopbackSocket gateway;
  ASSERT_TRUE(gateway.Accepts());
  std::string program = dir_ / "program";
  CreateDirectoryA(program.c_str(), nullptr);
  for (const char* file : {"ZARQCFG.EXE", "ZARQACCT.DLL", "ZARQPEER.DLL", "ZARQLINK.DLL", "ZARQTLS.DLL", "tapi32.dll"})
    ASSERT_TRUE(CopyFileA((ui::ModuleDirectory() + file).c_str(), (program + "\\" + file).c_str(), FALSE)) << file;
  WriteFileText(program + "\\OPERATORS.CSV",
                "country,mcc,mnc,operator,apn,apn_login,apn_password,mms_proxy,mms_proxy_port,mms_server_url\r\n"
                "Atlantis,999,01,Deep Blue MMS,mms.deep,,,10.1.1.1,8080,http://mmsc.deep/\r\n"
                "Utopia,998,01,Listening Net MMS,internet,,,127.0.0.1," +
                    std::to_string(gateway.Port()) + ",http://mmsc.listening/mms\r\n");
  ModemSim sim("");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem modem({"Page Modem", sim.Port()});
  ASSERT_TRUE(DefineInternetContext(modem));
  WriteSetting(SmsgwIni().c_str(), "SMSGW", "Modem1", "Page Modem");
  ASSERT_TRUE(app_.Start(program + "\\ZARQCFG.EXE"));
  sheet_ = ui::FindSheet(app_.Id(), kStartTimeoutMs);
  ASSERT_TRUE(sheet_);
  HWND page = ui::SelectPage(sheet_, kModemPage);
  ASSERT_TRUE(page);

  HWND chooser = OpenChooser(page);
  ASSERT_TRUE(chooser);
  ui::SetItemText(chooser, IDC_OPERATOR_SEARCH, "LISTENING");
  HWND list = GetDlgItem(chooser, IDC_OPERATOR_LIST);
  ASSERT_TRUE(ui::WaitUntil([&] { return SendMessageA(list, LB_GETCOUNT, 0, 0) == 1; }, kBoxTimeoutMs));
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDC_OPERATOR_LIST, LBN_SELCHANGE), LPARAM(list));
  PostMessageA(chooser, WM_COMMAND, IDOK, 0);
  const std::string filled = "http://127.0.0.1:" + std::to_string(gateway.Port());
  EXPECT_TRUE(ui::WaitItemText(page, IDC_MODEM_WAP_GATEWAY, filled, kBoxTimeoutMs));
  EXPECT_EQ(ui::ItemText(page, IDC_MODEM_APN), "internet");
  EXPECT_EQ(ui::ItemText(page, IDC_MODEM_MMS_URL), "http://mmsc.listening/mms");

  ui::ClickItem(page, IDC_MODEM_TEST);
  ui::MessageBoxInfo box;
  ASSERT_TRUE(ui::FindMessageBox(app_.Id(), &box, 60000));
  EXPECT_NE(box.text.find("OK!"), std::string::npos) << box.text;
  EXPECT_EQ(box.icon, ui::Icon::Information);
  ui::AnswerMessageBox(box, IDOK);
  ui::WaitGone(box.window, kBoxTimeoutMs);
  EXPECT_TRUE(gateway.Accepts()) << "the listener still takes connections after the test";
  ui::PressButton(sheet_, PSBTN_CANCEL);
  Answer("Exit without saving configuration changes?", IDYES);
  DeclineServiceOfferAndExpectExit();
}

}  // namespace
