// Windows modems: the listing, the registry's ports, the TAPI road with its
// quiet rule and its one recovery through the serial port, and the modem test
// over a TAPI line.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/msgbox.h"
#include "modem/atchannel.h"
#include "modem/modemport.h"
#include "modem/modemtest.h"
#include "modemregistry.h"
#include "modemrig.h"
#include "msgwatch.h"

namespace {

const char kModemName[] = "Zarq Test GSM Modem";

std::string TapiMessage(unsigned long error, const char* function) {
  char text[128];
  snprintf(text, sizeof text, "Unable to initialize modem:  Error %lX from %s", error, function);
  return text;
}

class TapiRoad : public ::testing::Test {
 protected:
  void SetUp() override { UnregisterAllModems(); }
  void TearDown() override { UnregisterAllModems(); }
};

// Clears a modem's failure switches once `trigger` reaches the simulator, so
// that the TAPI road works on its second pass.
class RepairOnCommand {
 public:
  RepairOnCommand(const ModemSim& sim, const std::string& key, const std::string& trigger)
      : thread_([this, &sim, key, trigger] {
          while (!stop_) {
            for (const std::string& c : sim.Commands()) {
              if (c != trigger) continue;
              HKEY k;
              std::string path = std::string(kModemClassKey) + "\\" + key;
              if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
                RegDeleteValueA(k, "ZarqTapiFail");
                RegCloseKey(k);
              }
              repaired_ = true;
              return;
            }
            Sleep(20);
          }
        }) {}
  ~RepairOnCommand() {
    stop_ = true;
    thread_.join();
  }
  bool Repaired() const { return repaired_; }

 private:
  std::atomic<bool> stop_{false}, repaired_{false};
  std::thread thread_;
};

std::vector<std::string> Texts(const std::vector<SeenBox>& seen) {
  std::vector<std::string> out;
  for (const SeenBox& b : seen) out.push_back(b.text);
  return out;
}

// What ResetModemDirect sends to a modem answering at 115200 that resets with CFUN.
const std::vector<std::string> kResetRoad = {"\r",       "ATE0V1\r", "AT+CFUN=?\r", "AT+CFUN=1,1\r",
                                             "\r",       "ATE0V1\r"};

}  // namespace

TEST_F(TapiRoad, ListsDataModemsInDeviceOrder) {
  RegisteredModem a({"Alpha Modem", "COM40", "", 0, 0});
  RegisteredModem voice({"Voice Only", "COM41", "", 0, LINEMEDIAMODE_INTERACTIVEVOICE});
  RegisteredModem b({"Beta Modem", "COM42", "", 0, LINEMEDIAMODE_DATAMODEM | LINEMEDIAMODE_INTERACTIVEVOICE});
  // A name that does not fit the first capabilities buffer: it is grown.
  const std::string longName = "Long " + std::string(1500, 'n');
  RegisteredModem c({longName, "COM43", "", 0, 0});
  ASSERT_FALSE(c.Key().empty());
  HWND parent = CreateWindowA("STATIC", "p", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  HWND combo = CreateWindowA("COMBOBOX", "", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 150, 100, parent,
                             reinterpret_cast<HMENU>(1005), nullptr, nullptr);
  ASSERT_NE(combo, nullptr);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("COM1:"));
  MessageBoxWatcher boxes;
  ListDataModems(parent, 1005);
  std::vector<std::string> items;
  for (LRESULT i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
    char text[2048] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  EXPECT_EQ(items, (std::vector<std::string>{"COM1:", "Alpha Modem", "Beta Modem", longName}));
  EXPECT_TRUE(boxes.Boxes().empty());
  DestroyWindow(parent);
}

TEST_F(TapiRoad, FindsTheRegistrysPort) {
  RegisteredModem unattached({"Twin", "", "", 0, 0});
  RegisteredModem twin({"Twin", "COM44", "", 0, 0});
  RegisteredModem other({"Other Modem", "COM45", "", 0, 0});
  struct Case {
    const char* name;
    bool found;
    const char* port;
  } cases[] = {
      {"Other Modem", true, "COM45"}, {"OTHER modem", true, "COM45"}, {"Twin", true, "COM44"},
      {"Other", false, ""},           {"", false, ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char port[kModemTextSize];
    memset(port, 'x', sizeof port);
    EXPECT_EQ(FindModemComPort(cases[i].name, port), cases[i].found) << "case " << i;
    EXPECT_STREQ(port, cases[i].port) << "case " << i;
  }
}

// The TAPI road never probes: the line is ready when the call connects. Names
// that only look like ports are Windows modem names.
TEST_F(TapiRoad, OpensAWindowsModemWithoutProbing) {
  ModemSim sim("--echo off");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem modem({kModemName, sim.Port(), "", 0, 0});
  RegisteredModem portLike({sim.Port(), sim.Port(), "", 0, 0});
  const std::string names[] = {kModemName, "zarq TEST gsm MODEM", sim.Port()};
  for (size_t i = 0; i < 3; ++i) {
    sim.ClearLog();
    MessageBoxWatcher boxes;
    DWORD handles = HandleCount();
    ModemPort port = OpenModem(names[i].c_str(), "");
    ASSERT_NE(port.comm, INVALID_HANDLE_VALUE) << "case " << i;
    EXPECT_NE(port.app, 0u) << "case " << i;
    EXPECT_NE(port.line, 0u) << "case " << i;
    EXPECT_TRUE(sim.Commands().empty()) << "case " << i << ": " << Joined(sim.Commands());
    char answer[kModemTextSize];
    EXPECT_TRUE(SendCommand(port.comm, "AT\r"));
    WaitResponse(port.comm, answer, sizeof answer, 3);
    EXPECT_STREQ(answer, "\r\nOK\r\n") << "case " << i;
    CloseModem(&port);
    EXPECT_EQ(HandleCount(), handles) << "case " << i;
    EXPECT_TRUE(boxes.Boxes().empty()) << "case " << i;
  }
  // Without the colon, or with something after it, a port name is no direct name.
  for (const std::string& name : {sim.Port() + ":x", std::string("COM97")}) {
    MessageBoxWatcher boxes;
    sim.ClearLog();
    ModemPort port = OpenModem(name.c_str(), "");
    EXPECT_EQ(port.comm, INVALID_HANDLE_VALUE) << name;
    EXPECT_TRUE(boxes.Boxes().empty()) << name;
    EXPECT_TRUE(sim.Commands().empty()) << name;
  }
}

// A TAPI failure stays quiet while the serial port may still rescue the open:
// the modem is reset over its port, the restart awaited, TAPI tried once more,
// and only that second failure is reported.
TEST_F(TapiRoad, FailureIsReportedOnlyAfterTheRecovery) {
  FastModemClock fast(10);
  struct Case {
    const char* fail;
    std::string message;
  } cases[] = {
      {"open", TapiMessage(LINEERR_OPERATIONFAILED, "lineOpen")},
      {"call", TapiMessage(LINEERR_CALLUNAVAIL, "lineMakeCall")},
      {"getid", TapiMessage(LINEERR_OPERATIONFAILED, "lineGetID")},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    ModemSim sim("--reset-seconds 1");
    ASSERT_TRUE(sim.Started()) << sim.Error();
    RegisteredModem modem({kModemName, sim.Port(), cases[i].fail, 0, 0});
    MessageBoxWatcher boxes;
    DWORD handles = HandleCount();
    HLINEAPP app = 1;
    HLINE line = 1;
    EXPECT_EQ(OpenModemPort(kModemName, "", &app, &line), INVALID_HANDLE_VALUE) << "case " << i;
    EXPECT_EQ(app, 0u) << "case " << i;
    EXPECT_EQ(line, 0u) << "case " << i;
    EXPECT_EQ(HandleCount(), handles) << "case " << i;
    // The registry gives "COMn"; the reset road adds the colon itself.
    EXPECT_EQ(Joined(sim.Commands()), Joined(kResetRoad)) << "case " << i;
    std::vector<SeenBox> seen = boxes.Boxes();
    EXPECT_EQ(Texts(seen), (std::vector<std::string>{InitialisedAt(115200), InitialisedAt(115200),
                                                     cases[i].message}))
        << "case " << i;
    if (!seen.empty()) {
      EXPECT_EQ(seen.back().icon, BoxIcon::kError) << "case " << i;
      EXPECT_EQ(seen.back().owner, nullptr) << "case " << i;
      EXPECT_EQ(seen.back().caption, kProductTitle) << "case " << i;
    }
  }
}

// Without a port to fall back on the TAPI message comes at once.
TEST_F(TapiRoad, NoFallbackPortReportsAtOnce) {
  RegisteredModem modem({kModemName, "", "open", 0, 0});
  MessageBoxWatcher boxes;
  HLINEAPP app;
  HLINE line;
  EXPECT_EQ(OpenModemPort(kModemName, "", &app, &line), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Texts(boxes.Boxes()), std::vector<std::string>{TapiMessage(LINEERR_OPERATIONFAILED, "lineOpen")});
}

// The reset rescues the modem: TAPI works on the second pass and nothing is reported.
TEST_F(TapiRoad, RecoveryThroughTheRegistrysPort) {
  FastModemClock fast(10);
  ModemSim sim("--reset-seconds 1");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem modem({kModemName, sim.Port(), "open", 0, 0});
  RepairOnCommand repair(sim, modem.Key(), "AT+CFUN=1,1\r");
  MessageBoxWatcher boxes;
  ULONGLONG start = GetTickCount64();
  ModemPort port = OpenModem(kModemName, "");
  ULONGLONG ms = GetTickCount64() - start;
  EXPECT_NE(port.comm, INVALID_HANDLE_VALUE);
  EXPECT_NE(port.line, 0u);
  EXPECT_TRUE(repair.Repaired());
  EXPECT_EQ(Joined(sim.Commands()), Joined(kResetRoad));
  EXPECT_EQ(Texts(boxes.Boxes()), (std::vector<std::string>{InitialisedAt(115200), InitialisedAt(115200)}));
  EXPECT_GE(ms, 1500u) << "the 15 s restart pause (at ten times the speed)";
  CloseModem(&port);
}

// Two Windows modems with one name: failures on the first move on to the
// second, and of two that work the first wins.
TEST_F(TapiRoad, TwoDevicesWithOneName) {
  ModemSim first("--echo off");
  ModemSim second("--echo off");
  ASSERT_TRUE(first.Started()) << first.Error();
  ASSERT_TRUE(second.Started()) << second.Error();
  for (const char* fail : {"open", "call", "callreply", "getid", ""}) {
    UnregisterAllModems();
    // Calls complete a while after lineMakeCall returns, as real ones do.
    ModemEntry entryA{kModemName, first.Port(), fail, 0, 0};
    ModemEntry entryB{kModemName, second.Port(), "", 0, 0};
    entryA.callDelay = entryB.callDelay = 400;
    RegisteredModem a(entryA);
    RegisteredModem b(entryB);
    first.ClearLog();
    second.ClearLog();
    MessageBoxWatcher boxes;
    ModemPort port = OpenModem(kModemName, "");
    ASSERT_NE(port.comm, INVALID_HANDLE_VALUE) << fail;
    SendCommand(port.comm, "AT\r");
    char answer[kModemTextSize];
    WaitResponse(port.comm, answer, sizeof answer, 3);
    CloseModem(&port);
    bool firstWins = *fail == '\0';
    EXPECT_EQ(first.Commands().size(), firstWins ? 1u : 0u) << fail;
    EXPECT_EQ(second.Commands().size(), firstWins ? 0u : 1u) << fail;
    EXPECT_TRUE(boxes.Boxes().empty()) << fail;
  }
}

// The modem test over a TAPI line, where no probe has checked the modem first.
TEST_F(TapiRoad, ModemTestOutcomes) {
  FastModemClock fast(20);
  HWND owner = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  const std::string initFailed = "Error initializing modem --\r\n\r\n";
  struct Case {
    const char* options;
    const char* pin;
    int result;
    std::string text;  // the whole message, or its beginning when `prefixOnly`
    bool prefixOnly;   // then the message holds the modem's bytes, at most 499 characters in all
    BoxIcon icon;
    std::vector<std::string> commands;
  } cases[] = {
      {"", "", 1, "Modem successfully tested!", false, BoxIcon::kInformation,
       {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r", "AT+CMGS=86\r", "\x1b", "\r", "AT\r"}},
      {"--silent", "", 0, "Error waiting for initialization response from modem", false, BoxIcon::kError,
       {"AT+CFUN?\r", "ATE0V1\r"}},
      // A PIN is sent even when the SIM status query gets no answer.
      {"--silent", "1234", 0, "Invalid PIN --\r\n\r\n", false, BoxIcon::kError,
       {"AT+CFUN?\r", "AT+CPIN?\r", "AT+CPIN=\"1234\"\r"}},
      // Echo on: the first pass sees "ATE0V1\rOK"; echo is off for the second, which gets a bare "OK".
      {"--bare-ok", "", 0, "Error initialising modem --\r\n\r\nOK", false, BoxIcon::kError,
       {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r"}},
      {"--garbage", "", 0, initFailed, true, BoxIcon::kError, {"AT+CFUN?\r", "ATE0V1\r"}},
      // More than a buffer's worth: the message is cut at 499 characters.
      {"--echo off --long-output 2000", "", 0, initFailed, true, BoxIcon::kError, {"AT+CFUN?\r", "ATE0V1\r"}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    std::string tag = "case " + std::to_string(i) + " (" + c.options + ")";
    ModemSim sim(c.options);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    RegisteredModem modem({kModemName, sim.Port(), "", 0, 0});
    MessageBoxWatcher boxes;
    DWORD handles = HandleCount();
    EXPECT_EQ(TestModem(owner, kModemName, c.pin), c.result) << tag;
    EXPECT_EQ(HandleCount(), handles) << tag << ": port and line must be released";
    EXPECT_EQ(Joined(sim.Commands()), Joined(c.commands)) << tag;
    std::vector<SeenBox> seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u) << tag;
    if (c.prefixOnly) {
      EXPECT_EQ(seen[0].text.rfind(c.text, 0), 0u) << tag << ": " << Escaped(seen[0].text);
      EXPECT_LE(seen[0].text.size(), 499u) << tag;
      if (std::string(c.options).find("long-output") != std::string::npos) {
        EXPECT_EQ(seen[0].text.size(), 499u) << tag;
      }
    } else {
      EXPECT_EQ(seen[0].text, c.text) << tag << ": " << Escaped(seen[0].text);
    }
    EXPECT_EQ(seen[0].icon, c.icon) << tag;
    EXPECT_EQ(seen[0].owner, owner) << tag;
    EXPECT_EQ(seen[0].caption, kProductTitle) << tag;
  }
  DestroyWindow(owner);
}
