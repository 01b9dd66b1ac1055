// The Status page of the real program with the stand-in gateway services: the
// services' state, queues and counters with their red alerts, the check box's
// install and remove road with its questions, port conflicts and modem errors,
// and the event log viewer over the events the services really reported.
#include <winsock2.h>

#include <string>
#include <vector>

#include "app/configstore.h"
#include "apptest.h"
#include "core/daycounter.h"
#include "gateway/eventlog.h"
#include "loopback.h"
#include "resource.h"
#include "servicetest.h"

namespace {

constexpr DWORD kTickMs = 5000;       // a few refreshes of the page
constexpr DWORD kQueueMs = 13000;     // the queues are counted every 10 s
constexpr DWORD kServiceMs = 60000;

// Red pixels of what the screen shows of a control, its window raised.
int RedPixels(HWND control) {
  HWND top = GetAncestor(control, GA_ROOT);
  SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  int red = 0;
  for (DWORD p : ui::CaptureScreen(control, 4096).bits)
    if (((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90) ++red;
  SetWindowPos(top, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return red;
}

bool ShowsRed(HWND page, int id, bool red) {
  return ui::WaitUntil([&] { return (RedPixels(GetDlgItem(page, id)) > 8) == red; }, kTickMs);
}

// The entries of the event viewer's list of another process, without their times.
std::vector<std::string> ListEntries(HWND list) {
  std::vector<std::string> out;
  LRESULT n = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    std::string line = ui::ListBoxEntry(list, i);
    // "YYYY-MM-DD hh:mm:ss - " before each entry.
    out.push_back(line.size() > 22 && line.substr(19, 3) == " - " ? line.substr(22) : "<no time> " + line);
  }
  return out;
}

// A TCP port held by this test on every address, as another program would hold it.
class HeldPort {
 public:
  HeldPort() {
    StartWinsock();
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    int len = sizeof a;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(socket_, 1) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~HeldPort() { closesocket(socket_); }
  unsigned Port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  unsigned port_ = 0;
};

class StatusPageTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    UseDataDirectory(gateway_.Dir());  // the services find the same directory through the registry
    SetEnvironmentVariableA("ZARQ_TEST_WAIT_PASS_MS", "100");
  }
  void TearDown() override {
    app_.Kill();
    ForceRemoveBoth();
    SetEnvironmentVariableA("ZARQ_TEST_WAIT_PASS_MS", nullptr);
  }

  std::string Data(const std::string& name) const { return gateway_.Dir() / name; }

  // Today's count of a counter, in a file of the gateway's layout.
  void WriteTodaysCounter(const char* name, unsigned char count) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char file[MAX_PATH];
    CounterFileName(name, now.wYear, file, sizeof file);
    std::string bytes(kCounterFileSize, '\0');
    bytes[4 * (CounterDayOfYear(now.wYear, now.wMonth, now.wDay) - 1)] = char(count);
    CreateDirectoryA(Data("STATS").c_str(), nullptr);
    WriteFileText(Data(file), bytes);
  }

  void ExpectCells(HWND page, int first, const char* today, const char* last7, const char* last30) {
    EXPECT_EQ(ui::ItemText(page, first), today) << first;
    EXPECT_EQ(ui::ItemText(page, first + 1), last7) << first;
    EXPECT_EQ(ui::ItemText(page, first + 2), last30) << first;
  }

  HWND OpenEventLog(HWND page) {
    ui::ClickItem(page, IDC_STATUS_EVENT_LOG);
    return ui::WaitTopWindow(app_.Id(), "Event Log", kTickMs);
  }

  bool EventsShow(HWND dialog, const std::vector<std::string>& events) {
    return ui::WaitUntil([&] { return ListEntries(GetDlgItem(dialog, IDC_EVENT_LIST)) == events; }, 12000);
  }

  GatewayFixtureDir gateway_{"status"};
};

TEST_F(StatusPageTest, ShowsStoppedServicesQueuesAndCountersWithTheirAlerts) {
  // 101 requests, one of them in a subdirectory, and a directory named like one;
  // an MMS message without its control file.
  CreateDirectoryA(Data("Q").c_str(), nullptr);
  CreateDirectoryA(Data("Q\\COM3-").c_str(), nullptr);
  CreateDirectoryA(Data("Q\\folder.REQ").c_str(), nullptr);
  for (int i = 0; i < 100; ++i) WriteFileText(Data("Q\\R" + std::to_string(i) + ".REQ"), "[SMS]\r\n");
  WriteFileText(Data("Q\\COM3-\\X.REQ"), "[SMS]\r\n");
  CreateDirectoryA(Data("VASPQ").c_str(), nullptr);
  WriteFileText(Data("VASPQ\\lonely.MMS"), "mms");
  WriteTodaysCounter("SMSSENT", 3);
  WriteTodaysCounter("MMSIN-VASP", 2);
  WriteTodaysCounter("MMSIN-USER", 5);

  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND page = ui::CurrentPage(sheet);
  ASSERT_TRUE(ui::WaitItemText(page, IDC_STATUS_LINE, "Service is NOT Installed", kTickMs));
  EXPECT_EQ(ui::ItemText(page, IDC_STATUS_INFO), "Service is NOT active");
  EXPECT_EQ(ui::ItemText(page, IDC_STATUS_SMSQ_COUNT), "101");
  EXPECT_EQ(ui::ItemText(page, IDC_STATUS_MMSQ_COUNT), "Empty");
  ExpectCells(page, IDC_STATUS_SMSSENT_TODAY, "3", "3", "3");
  ExpectCells(page, IDC_STATUS_MMSPROCESSED_TODAY, "7", "7", "7");
  ExpectCells(page, IDC_STATUS_SMSFAILED_TODAY, "", "", "");
  EXPECT_FALSE(ui::IsItemChecked(page, IDC_STATUS_RUN_AS_SERVICE));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_STATUS_START));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_STATUS_STOP));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_LINE, true));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_INFO, true));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_SMSQ_LABEL, true)) << "101 requests, alert size 100";
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_SMSQ_COUNT, true));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_MMSQ_COUNT, false));

  // Installed but stopped: both texts stay red, the box follows, Start offers itself.
  ASSERT_TRUE(CreateServiceByHand("ZarqSMS", "Zarq SMS Gateway Lite Edition", BinDirectory() + "ZARQGATESVC.EXE"));
  ASSERT_TRUE(CreateServiceByHand("ZarqMMSC", "Zarq MMS Gateway Lite Edition", BinDirectory() + "ZARQRELAYSVC.EXE"));
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_LINE, "Service is NOT Active", kTickMs));
  EXPECT_EQ(ui::ItemText(page, IDC_STATUS_INFO), "Service is NOT active");
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_LINE, true));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_INFO, true));
  EXPECT_TRUE(ui::IsItemChecked(page, IDC_STATUS_RUN_AS_SERVICE));
  EXPECT_TRUE(ui::IsItemEnabled(page, IDC_STATUS_START));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_STATUS_STOP));

  // Counted again within 10 s: 100 requests are not above the alert size; a
  // message with its control file counts.
  DeleteFileA(Data("Q\\COM3-\\X.REQ").c_str());
  WriteFileText(Data("VASPQ\\pair.MMS"), "mms");
  WriteFileText(Data("VASPQ\\pair.INI"), "[Routing]\r\n");
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_SMSQ_COUNT, "100", kQueueMs));
  EXPECT_EQ(ui::ItemText(page, IDC_STATUS_MMSQ_COUNT), "1");
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_SMSQ_LABEL, false));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_SMSQ_COUNT, false));

  // An alert size of 0 never turns red.
  WriteSetting(g_SmsgwIni, "SMSGW", "AlertEMailQueueSize", "0");
  WriteFileText(Data("Q\\COM3-\\Y.REQ"), "[SMS]\r\n");
  WriteFileText(Data("Q\\COM3-\\Z.REQ"), "[SMS]\r\n");
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_SMSQ_COUNT, "102", kQueueMs));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_SMSQ_COUNT, false));

  CancelAndExpectExit(sheet);
}

TEST_F(StatusPageTest, RunAsServiceInstallsAndRemovesAndTheEventLogShowsWhatTheServicesReported) {
  HeldPort taken;
  ASSERT_NE(taken.Port(), 0u);
  unsigned freePort = 0;
  closesocket(BindLoopback(&freePort));
  WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", std::to_string(taken.Port()).c_str());
  // The gateway leaves its modem alone: "Test Modem" is no modem of this
  // machine, and its error file and the events stay those this test expects.
  WriteSetting(g_SmsgwIni, "SMSGW", "TestQueueHold", "Idle");
  WriteFileText(Data("Test Modem.ERR"), "SIM PIN required");
  WriteFileText(Data("COM41-.ERR"), "Modem not responding");
  WriteFileText(Data("Unused.ERR"), "not configured");
  {
    // The machine's Application log, shared with the services: only this test's events.
    const EventLogFunctions& log = EventLog();
    HANDLE h = log.OpenEventLogA(nullptr, "Application");
    ASSERT_TRUE(h);
    log.ClearEventLogA(h, nullptr);
    log.CloseEventLog(h);
  }

  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem3", "COM41:");  // Modem1 "Test Modem", no Modem2
  HWND server = ui::SelectPage(sheet, kServerPage);
  ui::SetItemText(server, IDC_SERVER_WEBPORT, std::to_string(freePort));
  HWND page = ui::SelectPage(sheet, kStatusPage);

  // Ticked with unsaved edits: the question; No installs with the settings as saved.
  ui::ClickItem(page, IDC_STATUS_RUN_AS_SERVICE);
  ui::MessageBoxInfo box = ExpectBox("Save configuration changes?");
  EXPECT_EQ(box.caption, kProductTitle);
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
  ui::AnswerMessageBox(box, IDNO);
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, kServiceMs));
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_LINE, "ERROR:  Web Port already in use", kServiceMs));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_LINE, true));
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_INFO,
                               "Test Modem : SIM PIN required\r\nCOM41: : Modem not responding\r\n", kTickMs));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_INFO, true));
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_STATUS_STOP); }, kServiceMs));
  ui::WaitIdle(page, 5000);  // the same refresh sets the box and Start
  EXPECT_TRUE(ui::IsItemChecked(page, IDC_STATUS_RUN_AS_SERVICE));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_STATUS_START));

  // The SMS gateway's events, newest first; the MMSC's are not listed.
  const std::string conflict = "Error: WebPort " + std::to_string(taken.Port()) + " already in use";
  HWND events = OpenEventLog(page);
  ASSERT_TRUE(events);
  EXPECT_TRUE(EventsShow(events, {"Info: ZarqSMS service started", conflict}));
  ui::ClickItem(events, IDOK);
  EXPECT_TRUE(ui::WaitGone(events, kTickMs));

  // Stop: the services stop, and their stop is reported on top.
  ui::ClickItem(page, IDC_STATUS_STOP);
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_STOPPED, kServiceMs));
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_LINE, "Service is NOT Active", kServiceMs));
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemEnabled(page, IDC_STATUS_START); }, kTickMs));
  events = OpenEventLog(page);
  ASSERT_TRUE(events);
  EXPECT_TRUE(EventsShow(events, {"Info: ZarqSMS service stopped", "Info: ZarqSMS service started", conflict}));

  // Clear Event Log, Yes: the list empties and stays empty.
  ui::ClickItem(events, IDC_EVENT_CLEAR);
  box = ExpectBox(
      "This will clear all events from the application event log for this system, which includes events from "
      "applications other than ZarqSMS.\r\n\r\nContinue?");
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  ui::AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(EventsShow(events, {}));
  ui::ClickItem(events, IDCANCEL);
  EXPECT_TRUE(ui::WaitGone(events, kTickMs));

  // Start asks again; Yes saves first, and the gateway runs on the new port.
  ui::ClickItem(page, IDC_STATUS_START);
  ui::AnswerMessageBox(ExpectBox("Save configuration changes?"), IDYES);
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, kServiceMs));
  EXPECT_EQ(IniValue(g_SmsgwIni, "SMSGW", "WebPort"), std::to_string(freePort));
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_LINE, "Service is Active", kServiceMs));
  EXPECT_TRUE(ShowsRed(page, IDC_STATUS_LINE, false));

  // Cleared: "Are you sure?", No by default; No leaves the services and the box comes back.
  ui::ClickItem(page, IDC_STATUS_RUN_AS_SERVICE);
  box = ExpectBox("Are you sure?");
  EXPECT_EQ(box.caption, "Remove Service");
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
  EXPECT_EQ(GetWindowLongA(GetDlgItem(box.window, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "No is default";
  ui::AnswerMessageBox(box, IDNO);
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsItemChecked(page, IDC_STATUS_RUN_AS_SERVICE); }, kTickMs));
  EXPECT_TRUE(QueryFacts("ZarqSMS").installed);

  // Yes removes both.
  ui::ClickItem(page, IDC_STATUS_RUN_AS_SERVICE);
  ui::AnswerMessageBox(ExpectBox("Are you sure?"), IDYES);
  EXPECT_TRUE(ui::WaitItemText(page, IDC_STATUS_LINE, "Service is NOT Installed", kServiceMs));
  EXPECT_FALSE(QueryFacts("ZarqSMS").installed);
  EXPECT_FALSE(QueryFacts("ZarqMMSC").installed);
  EXPECT_TRUE(ui::WaitUntil([&] { return !ui::IsItemChecked(page, IDC_STATUS_RUN_AS_SERVICE); }, kTickMs));
  ui::WaitIdle(page, 5000);
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_STATUS_START));
  EXPECT_FALSE(ui::IsItemEnabled(page, IDC_STATUS_STOP));

  CancelAndExpectExit(sheet);
}

}  // namespace
