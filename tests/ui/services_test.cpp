// The Server page with the stand-in gateway services: its status line and
// button follow services started and stopped behind its back, its button
// installs, starts and stops them, and the wizard's Server step installs them.
#include <string>

#include "apptest.h"
#include "app/configstore.h"
#include "resource.h"

namespace {

const char* const kServices[] = {"ZarqSMS", "ZarqMMSC"};
constexpr DWORD kServiceTimeoutMs = 30000;

// The service's state, 0 when it is not installed.
DWORD ServiceState(const char* name) {
  DWORD state = 0;
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ);
  if (!manager) return 0;
  if (SC_HANDLE service = OpenServiceA(manager, name, SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status;
    if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return state;
}

bool WaitState(const char* name, DWORD state) {
  return ui::WaitUntil([&] { return ServiceState(name) == state; }, kServiceTimeoutMs);
}

// Starts or stops a service directly through the service manager.
void ControlBehindItsBack(const char* name, bool start) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return;
  if (SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS)) {
    SERVICE_STATUS status;
    if (start)
      StartServiceA(service, 0, nullptr);
    else
      ControlService(service, SERVICE_CONTROL_STOP, &status);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
}

void RemoveTestServices() {
  for (const char* name : kServices) {
    if (!ServiceState(name)) continue;
    ControlBehindItsBack(name, false);
    WaitState(name, SERVICE_STOPPED);
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) continue;
    if (SC_HANDLE service = OpenServiceA(manager, name, DELETE)) {
      DeleteService(service);
      CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
  }
}

// The services run under the service manager and find their data through the
// registry; the test points them at its directory and restores the values.
class ServicesTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    SetEnvironmentVariableA("ZARQ_TEST_WAIT_PASS_MS", "100");
    RemoveTestServices();
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZarqSMS", 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                    &key_, nullptr);
    for (int i = 0; i < 2; ++i) {
      char value[MAX_PATH] = "";
      DWORD size = sizeof value;
      had_[i] = RegQueryValueExA(key_, kValues[i], nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS;
      old_[i] = value;
      RegSetValueExA(key_, kValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(dir_.Path().c_str()),
                     DWORD(dir_.Path().size() + 1));
    }
    // Ports of their own, away from anything else listening on this host.
    WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", "18800");
  }
  void TearDown() override {
    app_.Kill();
    RemoveTestServices();
    for (int i = 0; i < 2; ++i) {
      if (had_[i])
        RegSetValueExA(key_, kValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(old_[i].c_str()),
                       DWORD(old_[i].size() + 1));
      else
        RegDeleteValueA(key_, kValues[i]);
    }
    RegCloseKey(key_);
    SetEnvironmentVariableA("ZARQ_TEST_WAIT_PASS_MS", nullptr);
  }

  bool StatusShows(HWND page, const char* status, const char* action) {
    return ui::WaitItemText(page, IDC_SERVER_STATUS, status, 5000) &&
           ui::WaitItemText(page, IDC_SERVER_ACTION, action, 5000);
  }

  const char* const kValues[2] = {"ProgramDataDirectory", "PrivateDataDirectory"};
  HKEY key_ = nullptr;
  bool had_[2] = {};
  std::string old_[2];
};

TEST_F(ServicesTest, ServerPageFollowsTheServicesAndControlsThem) {
  HWND sheet = OpenConfigurationSheet();
  ASSERT_TRUE(sheet);
  HWND page = ui::SelectPage(sheet, kServerPage);
  EXPECT_TRUE(StatusShows(page, "Not Active", "Install Service"));

  // Unsaved edit, Install, No: installed and started with the settings as saved.
  ui::SetItemText(page, IDC_SERVER_WEBPORT, "18801");
  ui::ClickItem(page, IDC_SERVER_ACTION);
  ui::MessageBoxInfo box = ExpectBox("Save configuration changes?");
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.caption, kProductTitle);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDCANCEL, IDYES, IDNO}));
  ui::AnswerMessageBox(box, IDNO);
  EXPECT_TRUE(WaitState("ZarqSMS", SERVICE_RUNNING));
  EXPECT_TRUE(StatusShows(page, "Active", "Stop Service"));
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "WebPort"), "18800");

  // One service stopped behind its back: still active, and the button stops both.
  WaitState("ZarqMMSC", SERVICE_RUNNING);
  ControlBehindItsBack("ZarqMMSC", false);
  EXPECT_TRUE(WaitState("ZarqMMSC", SERVICE_STOPPED));
  // Blanked here, the texts come back from a refresh made since the stop.
  ui::SetItemText(page, IDC_SERVER_STATUS, "");
  ui::SetItemText(page, IDC_SERVER_ACTION, "");
  EXPECT_TRUE(StatusShows(page, "Active", "Stop Service"));
  ui::ClickItem(page, IDC_SERVER_ACTION);
  EXPECT_TRUE(WaitState("ZarqSMS", SERVICE_STOPPED));
  EXPECT_TRUE(StatusShows(page, "Not Active", "Start Service"));

  // Started and stopped behind its back: the page follows within a couple of seconds.
  ControlBehindItsBack("ZarqMMSC", true);
  EXPECT_TRUE(StatusShows(page, "Active", "Stop Service")) << "MMSC started";
  ControlBehindItsBack("ZarqMMSC", false);
  EXPECT_TRUE(StatusShows(page, "Not Active", "Start Service")) << "MMSC stopped";

  // Still unsaved: Start asks again; Yes saves first.
  ui::ClickItem(page, IDC_SERVER_ACTION);
  ui::AnswerMessageBox(ExpectBox("Save configuration changes?"), IDYES);
  EXPECT_TRUE(ui::WaitUntil([&] { return IniValue(SmsgwIni(), "SMSGW", "WebPort") == "18801"; }, 10000));
  EXPECT_TRUE(WaitState("ZarqSMS", SERVICE_RUNNING));
  EXPECT_TRUE(StatusShows(page, "Active", "Stop Service"));

  // Saved, both running: Cancel closes without a question and no offer follows.
  WaitState("ZarqMMSC", SERVICE_RUNNING);
  ui::PressButton(sheet, PSBTN_CANCEL);
  EXPECT_EQ(app_.WaitExit(kBoxTimeoutMs), 0u);
}

TEST_F(ServicesTest, WizardServerStepInstallsAndStartsTheServicesOnNext) {
  ASSERT_TRUE(app_.StartConfig());
  HWND wizard = ui::FindSheet(app_.Id(), kStartTimeoutMs);
  ASSERT_TRUE(wizard);
  ui::SelectPage(wizard, kServerSettingsStep);
  ASSERT_TRUE(ui::WaitUntil(
      [&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Server Settings"; }, 5000));

  // Nothing changed, Next: saved, installed and started, then the next step.
  ui::PressButton(wizard, PSBTN_NEXT);
  EXPECT_TRUE(ui::WaitUntil(
      [&] { return ui::WindowText(wizard) == "ZarqSMS Lite Setup Wizard:  Configuration Complete"; },
      kServiceTimeoutMs));
  EXPECT_EQ(IniValue(SmsgwIni(), "SMSGW", "WebPort"), "18800");
  EXPECT_TRUE(WaitState("ZarqSMS", SERVICE_RUNNING));
  EXPECT_NE(ServiceState("ZarqMMSC"), 0u);

  // Finish leads to the configuration sheet.
  HWND complete = ui::CurrentPage(wizard);
  ui::ClickItem(complete, IDC_WIZCOMPLETE_NO);
  ui::WaitUntil([&] { return ui::IsItemEnabled(wizard, ui::kFinishButton); }, 5000);
  ui::PressButton(wizard, PSBTN_FINISH);
  HWND sheet = nullptr;
  EXPECT_TRUE(ui::WaitUntil(
      [&] {
        sheet = ui::FindSheet(app_.Id(), 0);
        return sheet && sheet != wizard && ui::WindowText(sheet) == kProductTitle;
      },
      kStartTimeoutMs));
  // No modem configured: no offer to start the services after the sheet.
  ui::PressButton(sheet, PSBTN_CANCEL);
  EXPECT_EQ(app_.WaitExit(kBoxTimeoutMs), 0u);
}

// Entering the wizard with the services running stops them first, behind the
// wait window.
TEST_F(ServicesTest, WizardStopsRunningServicesBehindTheWaitWindow) {
  {
    ui::Program installer;
    ASSERT_TRUE(installer.StartConfig("-INSTALLSERVICE -QUIET"));
    EXPECT_EQ(installer.WaitExit(60000), 0u);
  }
  ASSERT_TRUE(WaitState("ZarqSMS", SERVICE_RUNNING));
  // Holds the SMS gateway in its stop wait while the window is looked at
  // (120 passes of 250 ms at most: the stop ends it once it is looked at).
  WriteSetting(g_SmsgwIni, "SMSGW", "IgnoreStopRequests", "Yes");
  SetEnvironmentVariableA("ZARQ_TEST_WAIT_PASS_MS", "250");
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", "Test Modem");
  ASSERT_TRUE(app_.StartConfig("-WIZARD"));

  HWND wait = nullptr;
  EXPECT_TRUE(ui::WaitUntil(
      [&] {
        for (HWND w : ui::TopWindows(app_.Id()))
          if (GetDlgItem(w, IDC_WAIT_TEXT)) return (wait = w) != nullptr;
        return false;
      },
      kStartTimeoutMs));
  EXPECT_EQ(ui::WindowText(wait), "Please wait...");
  EXPECT_EQ(ui::ItemText(wait, IDC_WAIT_TEXT), "Stopping Services...");
  EXPECT_FALSE(ui::FindSheet(app_.Id(), 0)) << "the wizard waits for the services";

  // On the screen while the program waits: the one line "Stopping
  // Services..." drawn on the face colour, not a blank or black rectangle
  // nor the template's three lines, which a blocked thread would leave.
  HWND text = GetDlgItem(wait, IDC_WAIT_TEXT);
  ui::ScreenInk shown;
  EXPECT_TRUE(ui::WaitUntil(
      [&] {
        shown = ui::ReadScreenInk(text, GetSysColor(COLOR_3DFACE));
        return shown.visible > shown.pixels / 2 && shown.background > shown.visible / 2 && shown.ink > 50 &&
               shown.inkBottom - shown.inkTop < shown.height / 3;
      },
      20000))
      << shown.pixels << " pixels, " << shown.visible << " not covered, " << shown.background
      << " of the face colour, " << shown.ink << " of ink in rows " << shown.inkTop << " to " << shown.inkBottom
      << " of " << shown.height << "; covered by " << shown.coveredBy;
  EXPECT_TRUE(ui::SaveWindowImage(wait, ui::ModuleDirectory() + "wizard-0-stopping-services.bmp", true));

  WriteSetting(g_SmsgwIni, "SMSGW", "IgnoreStopRequests", "");
  EXPECT_TRUE(ui::WaitGone(wait, kServiceTimeoutMs));
  HWND wizard = ui::FindSheet(app_.Id(), kStartTimeoutMs);
  ASSERT_TRUE(wizard);
  EXPECT_EQ(ServiceState("ZarqSMS"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(ServiceState("ZarqMMSC"), static_cast<DWORD>(SERVICE_STOPPED));
  ui::PressButton(wizard, PSBTN_CANCEL);
  EXPECT_EQ(app_.WaitExit(kBoxTimeoutMs), 0u);
}

}  // namespace
