// The add-modem dialogs of the real ZARQCFG.EXE against simulated modems
// installed as Windows modems, listed through our TAPI: the Modem page's
// "Add Modem" dialog and the wizard's Select Modem step, up to the Server
// Settings step.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/configstore.h"
#include "apptest.h"
#include "loopback.h"
#include "modemhandover.h"
#include "modemregistry.h"
#include "modemsimdriver.h"
#include "resource.h"

namespace {

constexpr char kTested[] = "Modem successfully tested!";
constexpr char kInUse[] = "Modem is in use by the ZarqSMS service.\r\n\r\nPlease try again later.";
constexpr char kCmgsRefused[] = "Modem does not properly support command for sending SMS (AT+CMGS)";

std::vector<std::string> ComboEntries(HWND dialog, int id) {
  std::vector<std::string> out;
  HWND combo = GetDlgItem(dialog, id);
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) out.push_back(ui::ComboBoxEntry(combo, i));
  return out;
}

std::string ComboSelection(HWND dialog, int id) {
  HWND combo = GetDlgItem(dialog, id);
  LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  return index < 0 ? "<none>" : ui::ComboBoxEntry(combo, index);
}

void SelectEntry(HWND dialog, int id, const std::string& text) {
  HWND combo = GetDlgItem(dialog, id);
  std::vector<std::string> entries = ComboEntries(dialog, id);
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i] == text) SendMessageA(combo, CB_SETCURSEL, WPARAM(i), 0);
}

// The visible top-level window of the program with exactly this caption.
HWND FindWindowCaption(DWORD processId, const std::string& caption, DWORD ms) {
  return ui::WaitTopWindow(processId, caption, ms);
}


// Stands for the gateway service in the modem hand-over: lends the modem or
// refuses, and counts what it lent and got back.
class StandInService {
 public:
  explicit StandInService(bool lend) : lend_(lend) {
    opened_ = server_.Open();
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (opened_) thread_ = std::thread([this] { Run(); });
  }
  ~StandInService() {
    SetEvent(stop_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(stop_);
  }
  bool Opened() const { return opened_; }
  std::atomic<int> asked{0}, lent{0}, returned{0};

 private:
  void Run() {
    HANDLE waits[2] = {stop_, server_.RequestEvent()};
    while (WaitForMultipleObjects(2, waits, FALSE, 500) != WAIT_OBJECT_0) {
      server_.Serve(
          [this](const std::string&, DWORD) {
            ++asked;
            if (lend_) ++lent;
            return lend_;
          },
          [this] { ++returned; }, stop_);
    }
  }
  handover::Server server_;
  bool lend_;
  bool opened_ = false;
  HANDLE stop_ = nullptr;
  std::thread thread_;
};

class AddModemTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    UnregisterAllModems();
  }
  void TearDown() override { UnregisterAllModems(); }

  // The configuration sheet on its Modem page with `modem` configured.
  HWND OpenModemPage(const char* modem) {
    WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", modem);
    if (!app_.StartConfig()) return nullptr;
    sheet_ = ui::FindSheet(app_.Id(), kStartTimeoutMs);
    return sheet_ ? ui::SelectPage(sheet_, kModemPage) : nullptr;
  }
  HWND OpenAddModem(HWND page) {
    ui::ClickItem(page, IDC_MODEM_CHANGE);
    return FindWindowCaption(app_.Id(), "Add Modem", kBoxTimeoutMs);
  }
  // Answers the program's next message box, expecting `text`.
  void Answer(const std::string& text, int button = IDOK) {
    ui::MessageBoxInfo box = ExpectBox(text);
    if (box.window) ui::AnswerMessageBox(box, button);
    ui::WaitGone(box.window, kBoxTimeoutMs);
  }

  HWND sheet_ = nullptr;
};

struct PreselectCase {
  const char* configured;
  std::vector<std::string> installed;
  const char* selected;
};

// Preselection: the configured modem when listed, else the first entry;
// nothing at all without modems, where the test button does nothing.
TEST_F(AddModemTest, PreselectsTheConfiguredModemElseTheFirst) {
  const PreselectCase cases[] = {
      {"Beta Modem", {"Alpha Modem", "Beta Modem"}, "Beta Modem"},
      {"Gone Modem", {"Alpha Modem", "Beta Modem"}, "Alpha Modem"},
      {"Alpha Modem", {}, "<none>"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const PreselectCase& c = cases[i];
    UnregisterAllModems();
    for (size_t m = 0; m < c.installed.size(); ++m) RegisterModem({c.installed[m], "COM" + std::to_string(200 + m)});
    HWND page = OpenModemPage(c.configured);
    ASSERT_TRUE(page) << "case " << i;
    HWND dialog = OpenAddModem(page);
    ASSERT_TRUE(dialog) << "case " << i;
    EXPECT_EQ(ComboEntries(dialog, IDC_ADDMODEM_LIST), c.installed) << "case " << i;
    EXPECT_EQ(ComboSelection(dialog, IDC_ADDMODEM_LIST), c.selected) << "case " << i;
    if (c.installed.empty()) {
      ui::ClickItem(dialog, IDC_ADDMODEM_TEST);
      ui::MessageBoxInfo box;
      EXPECT_FALSE(ui::FindMessageBox(app_.Id(), &box, 1500)) << "case " << i << ": " << box.text;
      EXPECT_TRUE(IsWindow(dialog)) << "case " << i;
    }
    ui::ClickItem(dialog, IDCANCEL);
    EXPECT_TRUE(ui::WaitGone(dialog, kBoxTimeoutMs)) << "case " << i;
    EXPECT_EQ(ui::ItemText(page, IDC_MODEM_NAME), c.configured) << "case " << i;
    app_.Kill();
  }
}

// Coming back from elsewhere (the Windows modem settings) lists the modems
// again and keeps the operator's choice.
TEST_F(AddModemTest, ReactivationListsAgainKeepingTheChoice) {
  RegisterModem({"Alpha Modem", "COM200"});
  std::string gap = RegisterModem({"Removed Modem", "COM201"});
  RegisterModem({"Beta Modem", "COM202"});
  UnregisterModem(gap);
  HWND page = OpenModemPage("Alpha Modem");
  ASSERT_TRUE(page);
  HWND dialog = OpenAddModem(page);
  ASSERT_TRUE(dialog);
  ASSERT_EQ(ComboEntries(dialog, IDC_ADDMODEM_LIST), (std::vector<std::string>{"Alpha Modem", "Beta Modem"}));
  SelectEntry(dialog, IDC_ADDMODEM_LIST, "Beta Modem");
  RegisterModem({"Gamma Modem", "COM203"});  // takes the gap: listed before the choice
  // Activation from no window of the program, as after another program.
  SendMessageA(dialog, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(ComboEntries(dialog, IDC_ADDMODEM_LIST),
            (std::vector<std::string>{"Alpha Modem", "Gamma Modem", "Beta Modem"}));
  EXPECT_EQ(ComboSelection(dialog, IDC_ADDMODEM_LIST), "Beta Modem");
  // The chosen modem went away: the first entry is chosen.
  UnregisterAllModems();
  RegisterModem({"Delta Modem", "COM200"});
  RegisterModem({"Alpha Modem", "COM201"});
  SendMessageA(dialog, WM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(ComboEntries(dialog, IDC_ADDMODEM_LIST), (std::vector<std::string>{"Delta Modem", "Alpha Modem"}));
  EXPECT_EQ(ComboSelection(dialog, IDC_ADDMODEM_LIST), "Delta Modem");
}

struct ChooseCase {
  const char* simOptions;
  const char* pin;
  bool serviceLends;  // else it refuses: the "in use" note, then the test all the same
  const char* outcome;
  const char* pageName;  // what the Modem page shows afterwards
  const char* pagePin;
};

// The dialog's result reaches the page: the name, and the PIN exactly when
// one was typed. The modem is borrowed from the service for the test and
// always given back; a refusal is only a note.
TEST_F(AddModemTest, TestedModemAndPinReachThePageAndTheModemIsGivenBack) {
  const ChooseCase cases[] = {
      {"", "1234", true, kTested, "Sim Modem", "1234"},
      {"", "", true, kTested, "Sim Modem", ""},
      {"--cmgs ok", "", true, kCmgsRefused, "Old Modem", "9999"},
      {"", "77", false, kTested, "Sim Modem", "77"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const ChooseCase& c = cases[i];
    ModemSim sim(c.simOptions);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    UnregisterAllModems();
    RegisteredModem modem({"Sim Modem", sim.Port()});
    WriteSetting(g_SmsgwIni, "Modem - Old Modem", "PIN", "9999");
    StandInService service(c.serviceLends);
    ASSERT_TRUE(service.Opened()) << "another service serves the modem hand-over";
    HWND page = OpenModemPage("Old Modem");
    ASSERT_TRUE(page) << "case " << i;
    ASSERT_EQ(ui::ItemText(page, IDC_MODEM_PIN), "9999") << "case " << i;
    HWND dialog = OpenAddModem(page);
    ASSERT_TRUE(dialog) << "case " << i;
    SelectEntry(dialog, IDC_ADDMODEM_LIST, "Sim Modem");
    ui::SetItemText(dialog, IDC_ADDMODEM_PIN, c.pin);
    ui::ClickItem(dialog, IDC_ADDMODEM_TEST);
    if (!c.serviceLends) Answer(kInUse);
    Answer(c.outcome);
    bool passed = std::string(c.outcome) == kTested;
    EXPECT_EQ(ui::WaitGone(dialog, passed ? kBoxTimeoutMs : 1000), passed) << "case " << i;
    EXPECT_EQ(service.asked, 1) << "case " << i;
    EXPECT_EQ(service.returned, service.lent) << "case " << i << ": the modem was not given back";
    if (!passed) ui::ClickItem(dialog, IDCANCEL);
    EXPECT_TRUE(ui::WaitItemText(page, IDC_MODEM_NAME, c.pageName, 5000)) << "case " << i;
    EXPECT_EQ(ui::ItemText(page, IDC_MODEM_PIN), c.pagePin) << "case " << i;
    app_.Kill();
  }
}

// The wizard: Next tests the chosen modem and writes Modem1 and its PIN
// (deleting an empty one) only when the test passed; the Modem Settings step
// then shows that modem, and without MMS its Next leads to Server Settings.
TEST_F(AddModemTest, WizardSelectModemStepLeadsToServerSettings) {
  ModemSim good;
  ModemSim bad("--cmgs ok");
  ASSERT_TRUE(good.Started()) << good.Error();
  ASSERT_TRUE(bad.Started()) << bad.Error();
  RegisteredModem badModem({"Bad Modem", bad.Port()});
  RegisteredModem goodModem({"Good Modem", good.Port()});
  WriteSetting(g_SmsgwIni, "Modem - Good Modem", "PIN", "1111");
  ASSERT_TRUE(app_.StartConfig());
  HWND wizard = ui::FindSheet(app_.Id(), kStartTimeoutMs);
  ASSERT_TRUE(wizard);
  HWND step = ui::CurrentPage(wizard);
  EXPECT_EQ(ComboSelection(step, IDC_ADDMODEM_LIST), "Bad Modem");  // nothing configured: the first
  EXPECT_FALSE(ui::IsItemVisible(step, IDC_ADDMODEM_TEST));
  EXPECT_FALSE(ui::IsItemVisible(step, IDCANCEL));

  struct {
    const char* modem;
    const char* pin;
    const char* outcome;
    const char* modem1;
    const char* savedPin;
  } cases[] = {
      {"Bad Modem", "2222", kCmgsRefused, kAbsent, "1111"},
      {"Good Modem", "", kTested, "Good Modem", kAbsent},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SelectEntry(step, IDC_ADDMODEM_LIST, cases[i].modem);
    ui::SetItemText(step, IDC_ADDMODEM_PIN, cases[i].pin);
    ui::PressButton(wizard, PSBTN_NEXT);
    Answer(cases[i].outcome);
    ASSERT_TRUE(ui::WaitIdle(wizard, kBoxTimeoutMs)) << "case " << i;  // the step saves after the box
    EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "Modem1"), cases[i].modem1) << "case " << i;
    EXPECT_EQ(IniValue(SmsgwIni(), "Modem - Good Modem", "PIN"), cases[i].savedPin) << "case " << i;
  }
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Modem Settings"; },
                            kBoxTimeoutMs));
  HWND settings = ui::CurrentPage(wizard);
  EXPECT_TRUE(ui::WaitItemText(settings, IDC_MODEM_NAME, "Good Modem", 5000));
  EXPECT_FALSE(ui::IsItemChecked(settings, IDC_MODEM_SEND_MMS));

  // With MMS ticked, Next runs the connection test (the elevated copy
  // dials the simulated modem) and goes on only once it passed.
  // The WAP gateway, and a port beside it that refuses connections.
  LoopbackSocket gateway, closed(false);
  ASSERT_TRUE(gateway.Port() && closed.Port());
  ui::ClickItem(settings, IDC_MODEM_SEND_MMS);
  ASSERT_TRUE(ui::WaitUntil([&] { return ui::IsItemChecked(settings, IDC_MODEM_SEND_MMS); }, 5000));
  ui::SetItemText(settings, IDC_MODEM_MMS_URL, "http://mms.example/");
  struct {
    std::string wap;
    const char* verdict;
    int answer;
    const char* title;
  } steps[] = {
      {"http:127.0.0.1:" + std::to_string(closed.Port()), "Unable to connect to WAP Gateway", IDCANCEL,
       "ZarqSMS Lite Setup Wizard:  Modem Settings"},
      {"http:127.0.0.1:" + std::to_string(gateway.Port()), "Connection Test OK!", IDOK,
       "ZarqSMS Lite Setup Wizard:  Server Settings"},
  };
  for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
    ui::SetItemText(settings, IDC_MODEM_WAP_GATEWAY, steps[i].wap);
    ui::PressButton(wizard, PSBTN_NEXT);
    ui::MessageBoxInfo box;
    ASSERT_TRUE(ui::FindMessageBox(app_.Id(), &box, 60000)) << "step " << i;
    EXPECT_EQ(box.text, steps[i].verdict) << "step " << i;
    ui::AnswerMessageBox(box, steps[i].answer);
    EXPECT_TRUE(ui::WaitUntil([&] { return ui::WindowText(wizard) == steps[i].title; }, kBoxTimeoutMs))
        << "step " << i << ": " << ui::WindowText(wizard);
  }
  EXPECT_EQ(IniValue(SmsgwIni(), "Modem - Good Modem", "MMSURL"), "http://mms.example/");
  EXPECT_EQ(IniValue(SmsgwIni(), "Modem - Good Modem", "UseModem"), "Good Modem");
  EXPECT_EQ(IniValue(MmscIni(), "MMSC", "DefaultOutboundRoute"), "zarqlocal");
}

}  // namespace
