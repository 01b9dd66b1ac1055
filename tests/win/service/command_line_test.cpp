// The command line of the real ZARQCFG.EXE, run as its own process under
// Wine: which switch acts, its exit code, the boxes it shows, and what it
// leaves in the service manager.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/configstore.h"
#include "app/msgbox.h"
#include "service/services.h"
#include "programrun.h"
#include "servicetest.h"

namespace {

const char kInstalled[] = "Service successfully installed!";
const char kInstallFailed[] = "Service installation failed!";
const char kRemoved[] = "Service successfully removed!";
const char kRemoveFailed[] = "Service removal failed!";
const char kNoRights[] = "ZARQ_TEST_WITHOUT_ADMIN=1";

// Foreign: both services exist, stopped, with another program's
// configuration (swapped executables, other names, demand start).
enum class State { None, Stopped, Running, Foreign };

struct Box {
  const char* text;
  bool icon;
};

State Current() {
  ServiceFacts f = QueryFacts("ZarqSMS");
  if (!f.installed) return State::None;
  return f.state == SERVICE_RUNNING ? State::Running : State::Stopped;
}

// Brings both services to `state` with the operations (tested on their own).
void Reach(State state) {
  if (state == State::Foreign) {
    ForceRemoveBoth();
    CreateServiceByHand("ZarqSMS", "old name", BinDirectory() + "ZARQRELAYSVC.EXE");
    CreateServiceByHand("ZarqMMSC", "old name 2", BinDirectory() + "ZARQGATESVC.EXE");
    return;
  }
  if (state == State::None) {
    if (Current() != State::None) RemoveServices(true);
    if (QueryFacts("ZarqMMSC").installed) ForceRemoveService("ZarqMMSC");
    return;
  }
  if (Current() == State::None) InstallServices(true);
  if (state == State::Stopped) {
    StopServices(true);
  } else {
    StartServices(true);
    WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000);
  }
  WaitForState("ZarqSMS", state == State::Running ? SERVICE_RUNNING : SERVICE_STOPPED, 15000);
}

void ExpectBoxes(const Outcome& o, const std::vector<Box>& expected, const std::string& what) {
  ASSERT_EQ(o.boxes.size(), expected.size()) << what << (o.boxes.empty() ? "" : ": first box " + o.boxes[0].text);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(o.boxes[i].text, expected[i].text) << what << ", box " << i;
    EXPECT_EQ(o.boxes[i].iconShown, expected[i].icon) << what << ", box " << i;
  }
}

// A copy of the program under another name, with the libraries and services
// (and the firewall program when asked) beside it.
std::string CopyProgram(const std::string& dir, const char* name, bool withFirewall) {
  CreateDirectoryA(dir.c_str(), nullptr);
  const char* files[] = {"ZARQACCT.DLL", "ZARQPEER.DLL", "ZARQGATESVC.EXE", "ZARQRELAYSVC.EXE"};
  for (const char* f : files) CopyFileA((BinDirectory() + f).c_str(), (dir + f).c_str(), FALSE);
  if (withFirewall) CopyFileA((BinDirectory() + "ZARQPORTS.EXE").c_str(), (dir + "ZARQPORTS.EXE").c_str(), FALSE);
  CopyFileA(Cfg().c_str(), (dir + name).c_str(), FALSE);
  return dir + name;
}

// The Windows version Wine reports to one program.
class WindowsVersionFor {
 public:
  WindowsVersionFor(const char* exe, const char* version) : key_(std::string("Software\\Wine\\AppDefaults\\") + exe) {
    HKEY k;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) == 0) {
      RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), DWORD(strlen(version) + 1));
      RegCloseKey(k);
    }
  }
  ~WindowsVersionFor() { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }

 private:
  std::string key_;
};

class CommandLine : public ::testing::Test {
 protected:
  GatewayFixtureDir data_{"cmdline"};
};

}  // namespace

TEST_F(CommandLine, EachSwitchActsOnceWithItsBoxesAndExitCode) {
  const Box installed = {kInstalled, true}, removed = {kRemoved, true};
  const Box change = {kRightsForChange, true};
  struct Row {
    const char* args;
    bool withRights;
    State before;
    std::vector<Box> boxes;
    State after;
    bool restarted;
  } rows[] = {
      {"-STOPSERVICE", true, State::Running, {}, State::Stopped, false},
      {"/startservice", true, State::Stopped, {}, State::Running, false},
      // Restart is tested before remove, so its "/R" does not remove.
      {"/ReStartService", true, State::Running, {}, State::Running, true},
      {"-INSTALLSERVICE", true, State::None, {installed}, State::Running, false},
      {"Z:/inbox/x.txt", true, State::None, {installed}, State::Running, false},  // "/i" inside a path
      {"/REMOVESERVICE", true, State::Running, {removed}, State::None, false},
      {"-r", true, State::Running, {removed}, State::None, false},
      {"-QUIET /INSTALLSERVICE", true, State::None, {}, State::Running, false},
      {"Z:\\data-quarter\\ /i", true, State::None, {}, State::Running, false},  // "-q" inside a path
      // Two action switches: the earlier row of the table acts.
      {"-INSTALLSERVICE -STOPSERVICE", true, State::Running, {}, State::Stopped, false},
      {"-REMOVESERVICE -INSTALLSERVICE", true, State::None, {installed}, State::Running, false},
      // Installing over services configured otherwise rewrites them.
      {"/INSTALLSERVICE", true, State::Foreign, {installed}, State::Running, false},
      // Nothing to stop: the stop step cannot open the services.
      {"/REMOVESERVICE", true, State::None, {change, removed}, State::None, false},
      // Without rights the operations' own messages stay, quiet or not.
      {"-QUIET -INSTALLSERVICE", false, State::None, {{kRightsForInstall, false}}, State::None, false},
      {"-INSTALLSERVICE", false, State::None, {{kRightsForInstall, false}, {kInstallFailed, true}}, State::None, false},
      {"/REMOVESERVICE", false, State::Running, {change, {kRightsForRemove, false}, {kRemoveFailed, true}},
       State::Running, false},
      {"-q /REMOVESERVICE", false, State::Running, {change, {kRightsForRemove, false}}, State::Running, false},
      {"/STOPSERVICE", false, State::Running, {change}, State::Running, false},
      {"/STARTSERVICE", false, State::Stopped, {change}, State::Stopped, false},
      {"/RESTARTSERVICE", false, State::Running, {change}, State::Running, false},
  };
  int index = 0;
  for (const Row& row : rows) {
    std::string what = "row " + std::to_string(index++) + " (" + row.args + (row.withRights ? ")" : ", no rights)");
    Reach(row.before);
    ASSERT_EQ(Current(), row.before == State::Foreign ? State::Stopped : row.before) << what;
    DWORD pid = QueryFacts("ZarqSMS").processId;
    std::vector<std::string> env;
    if (!row.withRights) env.push_back(kNoRights);
    Outcome o = RunToEnd(Cfg(), row.args, env);
    EXPECT_EQ(o.exitCode, 0u) << what;
    ExpectBoxes(o, row.boxes, what);
    if (row.after == State::Running) WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000);
    EXPECT_EQ(Current(), row.after) << what;
    EXPECT_EQ(QueryFacts("ZarqMMSC").installed, row.after != State::None) << what;
    if (row.after != State::None) ExpectConfigured(what);
    if (row.before == State::Running && row.after == State::Running) {
      EXPECT_EQ(QueryFacts("ZarqSMS").processId != pid, row.restarted) << what;
    }
  }
}

TEST_F(CommandLine, EarlierVersionsOfWindowsOfferNoElevation) {
  // A Windows without the NT family cannot run the services at all.
  std::string dir = data_.Dir() / "app\\";
  std::string exe98 = CopyProgram(dir, "ZARQ98.EXE", false);
  {
    WindowsVersionFor version("ZARQ98.EXE", "win98");
    Outcome o = RunToEnd(exe98, "-INSTALLSERVICE", {kNoRights});
    EXPECT_EQ(o.exitCode, 0u);
    ExpectBoxes(o,
                {{"This product requires Windows 2000, XP, 2003, Vista or NT.\r\n(Windows 95, 98 and ME are not "
                  "supported.)",
                  false},
                 {kInstallFailed, true}},
                "win98");
  }
  // Before Vista the rights message comes at once, even interactively: the
  // wizard stops running services first.
  Reach(State::Running);
  std::string exeXp = CopyProgram(dir, "ZARQXP.EXE", false);
  WindowsVersionFor version("ZARQXP.EXE", "winxp");
  Program p;
  ASSERT_TRUE(StartProgram(&p, exeXp, "", {kNoRights}));
  SeenBox box;
  ASSERT_TRUE(WaitForBox(20000, &box));
  EXPECT_EQ(box.text, kRightsForChange);
  PressBox(box, IDOK);
  HWND wizard = FindTopWindow(p.id, "Setup Wizard", 20000);
  ASSERT_NE(wizard, nullptr);
  PostMessageA(wizard, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(p.Wait(20000), 0u);
  EXPECT_EQ(Current(), State::Running);
}

// The interactive road: the wizard stops the services, and without rights
// the operator is asked to let an elevated copy do it.
TEST_F(CommandLine, WizardOffersElevationToStopTheServices) {
  struct Row {
    int answer;
    std::vector<Box> boxes;
    State after;
  } rows[] = {
      {IDYES, {{kElevationQuestion, false}}, State::Stopped},
      {IDNO, {{kElevationQuestion, false}, {kRightsForChange, true}}, State::Running},
  };
  int index = 0;
  for (const Row& row : rows) {
    std::string what = "row " + std::to_string(index++);
    Reach(State::Running);
    Program p;
    ASSERT_TRUE(StartProgram(&p, Cfg(), "", {kNoRights})) << what;
    Outcome o;
    o.boxes = AnswerBoxes({row.answer}, [&] { return FindTopWindow(p.id, "Setup Wizard", 0) != nullptr; }, 90000);
    ExpectBoxes(o, row.boxes, what);
    if (!o.boxes.empty()) {
      EXPECT_EQ(o.boxes[0].buttonIds, (std::vector<int>{IDYES, IDNO, IDCANCEL})) << what;
    }
    HWND wizard = FindTopWindow(p.id, "Setup Wizard", 20000);
    ASSERT_NE(wizard, nullptr) << what;
    PostMessageA(wizard, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(p.Wait(20000), 0u) << what;
    EXPECT_EQ(Current(), row.after) << what;
  }
}

// After the configuration sheet, a configured gateway whose services are not
// running is offered to be installed, through an elevated copy when needed.
TEST_F(CommandLine, ClosingTheSheetInstallsTheServicesThroughAnElevatedCopy) {
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", "Test Modem");
  Program p;
  ASSERT_TRUE(StartProgram(&p, Cfg(), "", {kNoRights}));
  HWND sheet = FindTopWindow(p.id, kProductTitle, 30000);
  ASSERT_NE(sheet, nullptr);
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
  std::vector<SeenBox> boxes =
      AnswerBoxes({IDYES, IDYES, IDOK}, [&] { return p.Wait(0) != STILL_ACTIVE; }, 90000);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Service is not active, do you wish to activate the service?");
  EXPECT_EQ(boxes[1].text, kElevationQuestion);
  EXPECT_EQ(boxes[2].text, kInstalled);
  EXPECT_NE(boxes[2].processId, p.id);  // shown by the elevated copy
  EXPECT_EQ(p.Wait(5000), 0u);
  EXPECT_EQ(Current(), State::Running);
}

TEST_F(CommandLine, WizardSwitchShowsTheWizardOverAConfiguredModem) {
  WriteSetting(g_SmsgwIni, "SMSGW", "Modem1", "Test Modem");
  for (const char* args : {"/wizard", "-WIZARD"}) {
    Program p;
    ASSERT_TRUE(StartProgram(&p, Cfg(), args));
    HWND wizard = FindTopWindow(p.id, "Setup Wizard", 30000);
    ASSERT_NE(wizard, nullptr) << args;
    PostMessageA(wizard, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(p.Wait(20000), 0u) << args;
  }
}

TEST_F(CommandLine, DeleteDataDirAsksOnlyWhenTheDirectoryIsNotTheProgramsOwn) {
  std::string priv = data_.Dir() / "private\\";
  std::string bin = BinDirectory();
  std::string parent = bin.substr(0, bin.find_last_of('\\', bin.size() - 2) + 1);
  struct Row {
    std::string dir;
    int answer;
    bool asked;
    bool deleted;
  } rows[] = {
      {priv, IDNO, true, false},
      {priv, IDYES, true, true},
      {bin, IDNO, false, false},
      {parent, IDNO, false, false},  // the program lives inside it
  };
  int index = 0;
  for (const Row& row : rows) {
    std::string what = "row " + std::to_string(index++) + " (" + row.dir + ")";
    if (row.dir == priv) {
      CreateDirectoryA(priv.c_str(), nullptr);
      CreateDirectoryA((priv + "STATS").c_str(), nullptr);
      WriteFileText(priv + "STATS\\SMSOUT-1.CTR", "1");
    }
    Outcome o = RunToEnd(Cfg(), "/DELETEDATADIR", {"ZARQ_PRIVATEDATA_DIR=" + row.dir}, {row.answer});
    EXPECT_EQ(o.exitCode, 0u) << what;
    ASSERT_EQ(o.boxes.size(), row.asked ? 1u : 0u) << what;
    if (row.asked) {
      EXPECT_EQ(o.boxes[0].text, "Delete Configuration files for ZarqSMS?") << what;
      EXPECT_TRUE(o.boxes[0].iconShown) << what;
      EXPECT_EQ(o.boxes[0].buttonIds, (std::vector<int>{IDYES, IDNO})) << what;
    }
    EXPECT_EQ(PathExists(row.dir), !row.deleted) << what;
    EXPECT_TRUE(PathExists(Cfg())) << what;
  }
}

TEST_F(CommandLine, ModemTestLeavesAVerdictForTheLaunchingCopy) {
  const char text[] = "Administrative rights are required for this test.";
  std::string ini = data_.Ini("MODEMTEST.INI");
  auto result = [&] {
    char value[500];
    GetPrivateProfileStringA("ModemTest", "Result", "", value, sizeof value, ini.c_str());
    return std::string(value);
  };
  Outcome o = RunToEnd(Cfg(), "/MODEMTEST", {kNoRights});
  EXPECT_EQ(o.exitCode, 0u);
  ExpectBoxes(o, {{text, true}}, "no rights");
  EXPECT_EQ(result(), text);

  DeleteFileA(ini.c_str());
  o = RunToEnd(Cfg(), "-modemtest");
  EXPECT_EQ(o.exitCode, 0u);
  EXPECT_NE(result(), "");
  EXPECT_EQ(result().find("OK!"), std::string::npos);  // no modem, no link: never a pass
}

namespace {

// A directory under %TEMP% whose own name is already 8.3. Wine makes the
// short names of long names from a 15-bit hash, and a directory that shares
// its short name with a leftover sibling has no working short path.
class ShortNamedDir {
 public:
  ShortNamedDir() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%sZQ%06lX\\", temp, (GetCurrentProcessId() * 7919ul + GetTickCount()) & 0xFFFFFFul);
    path_ = name;
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ShortNamedDir() { RemoveTree(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

TEST_F(CommandLine, ServicesAreLookedForBesideTheProgramAndTheFirewallProgramIsOptional) {
  ShortNamedDir base;
  std::string dir = base.Path() + "Program Files Zarq\\";
  std::string exe = CopyProgram(dir, "ZARQCFG.EXE", false);
  char expected[MAX_PATH] = {};
  DWORD n = GetShortPathNameA((dir + "ZARQGATESVC.EXE").c_str(), expected, sizeof expected);
  ASSERT_TRUE(n > 0 && n < sizeof expected) << GetLastError();
  ASSERT_EQ(std::string(expected).find(' '), std::string::npos) << expected;

  Outcome o = RunToEnd(exe, "-q -i");
  EXPECT_EQ(o.exitCode, 0u);
  EXPECT_TRUE(o.boxes.empty());
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, 15000));
  EXPECT_EQ(QueryFacts("ZarqSMS").binaryPath, expected);
  EXPECT_FALSE(PathExists(data_.Ini("PORTS.LOG")));

  CopyFileA((BinDirectory() + "ZARQPORTS.EXE").c_str(), (dir + "ZARQPORTS.EXE").c_str(), FALSE);
  o = RunToEnd(exe, "-q -i");
  EXPECT_EQ(FirewallLog(data_.Ini("PORTS.LOG")), ExpectedFirewallLog(dir));
  ForceRemoveBoth();  // before their executables go
}

// A gateway that never stops: the stop wait gives up after its 120 passes
// (shortened here to 50 ms each; win_service_realwait runs the real ones)
// and the program goes on. Each pass renews the stop request. (Wine's service
// manager ends the process of a service that gets a second stop control and
// goes on reporting it running, so this test sends no second stop itself.)
TEST_F(CommandLine, StopThatNeverCompletesEndsAfterItsPasses) {
  Reach(State::Running);
  WriteSetting(g_SmsgwIni, "SMSGW", "IgnoreStopRequests", "Yes");
  StopWaitOutcome o = StopNeverCompleting({"ZARQ_TEST_WAIT_PASS_MS=50"}, 60000);
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(o.run.boxes.empty());
  // The stop itself, then one per pass; the first two may fall within one
  // poll of the test on a loaded machine.
  EXPECT_GE(o.stopRequests, 120);
  EXPECT_LE(o.stopRequests, 1 + 120);
  EXPECT_GE(o.run.ms, 120u * 50u);
  EXPECT_EQ(QueryFacts("ZarqSMS").state, DWORD(SERVICE_RUNNING));
  EXPECT_EQ(QueryFacts("ZarqMMSC").state, DWORD(SERVICE_STOPPED));
  WriteSetting(g_SmsgwIni, "SMSGW", "IgnoreStopRequests", "");
}

// The service manager's own refusals reach the operator with their numbers.
TEST_F(CommandLine, RefusedCreationAndFailedStartShowTheWindowsErrorNumber) {
  // Another service already carries the SMS gateway's display name.
  const char twin[] = "ZarqTwinDisplayName";
  ForceRemoveService(twin);
  ASSERT_TRUE(CreateServiceByHand(twin, "Zarq SMS Gateway Lite Edition", BinDirectory() + "ZARQGATESVC.EXE"));
  Outcome o = RunToEnd(Cfg(), "-INSTALLSERVICE");
  EXPECT_EQ(o.exitCode, 0u);
  ExpectBoxes(o,
              {{"CreateService Failed, 1078\r\nAdministrator rights are required for service installation.", false},
               {kInstallFailed, true}},
              "creation refused");
  EXPECT_FALSE(QueryFacts("ZarqSMS").installed);
  EXPECT_FALSE(QueryFacts("ZarqMMSC").installed);  // not reached
  EXPECT_TRUE(ForceRemoveService(twin));

  // The SMS gateway's executable is missing; the MMSC still starts.
  ASSERT_TRUE(CreateServiceByHand("ZarqSMS", "x", BinDirectory() + "NOSUCHGATESVC.EXE"));
  ASSERT_TRUE(CreateServiceByHand("ZarqMMSC", "y", BinDirectory() + "ZARQRELAYSVC.EXE"));
  o = RunToEnd(Cfg(), "/STARTSERVICE", {"ZARQ_TEST_WAIT_PASS_MS=10"});
  EXPECT_EQ(o.exitCode, 0u);
  ExpectBoxes(o, {{"Error 2 starting service", true}}, "start failed");
  EXPECT_TRUE(WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000));
  EXPECT_EQ(QueryFacts("ZarqSMS").state, DWORD(SERVICE_STOPPED));
}
