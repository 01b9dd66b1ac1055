// The GPRS connection test of the elevated copy against the simulated modem,
// installed as a Windows modem, through the real link library: every verdict
// it leaves in MODEMTEST.INI, the driver-update question and both answers.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "app/configstore.h"
#include "loopback.h"
#include "modem/gprstest.h"
#include "modemhandover.h"
#include "modemregistry.h"
#include "modemsimdriver.h"
#include "core/textrules.h"
#include "testenv.h"
#include "uiauto.h"

namespace {

std::atomic<int> g_restarts{0};
void CountRestart() { ++g_restarts; }

// The WAP gateway's address, or one nothing listens on: the same port once closed.
std::string ClosedAddress(LoopbackSocket& gateway) {
  gateway.Close();
  return "127.0.0.1:" + std::to_string(gateway.Port());
}

// Answers the next message box of this process with `answer`, remembering it.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(int answer)
      : thread_([this, answer] {
          if (ui::FindMessageBox(GetCurrentProcessId(), &box_, 60000) && !stop_) {
            seen_ = true;
            ui::AnswerMessageBox(box_, answer);
          }
        }) {}
  ~BoxAnswerer() { Finish(); }
  void Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  bool Seen() const { return seen_; }
  const ui::MessageBoxInfo& Box() const { return box_; }

 private:
  ui::MessageBoxInfo box_;
  std::atomic<bool> seen_{false};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class GprsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnregisterAllModems();  // left behind by a run that was cut short
    UseDataDirectory(dir_);
    SetRestartWindows(CountRestart);
    g_restarts = 0;
  }
  void TearDown() override { SetRestartWindows(nullptr); }

  void WriteTest(const std::string& modem, const std::string& apn, const std::string& wap,
                 const std::string& profile = "") {
    std::string path = dir_ / "MODEMTEST.INI";
    WriteFileText(path, "");
    WriteSetting(path.c_str(), "ModemTest", "ModemName", modem.c_str());
    WriteSetting(path.c_str(), "ModemTest", "APN", apn.c_str());
    WriteSetting(path.c_str(), "ModemTest", "APNLogin", "user");
    WriteSetting(path.c_str(), "ModemTest", "APNPass", "secret");
    WriteSetting(path.c_str(), "ModemTest", "WAPGatewayIP", wap.c_str());
    WriteSetting(path.c_str(), "ModemTest", "DialUpProfile", profile.c_str());
  }
  std::string Verdict() {
    char value[1000];
    ReadSetting((dir_ / "MODEMTEST.INI").c_str(), "ModemTest", "Result", "", value, sizeof value);
    UnescapeLineBreaks(value);  // kept on one line in the file
    return value;
  }

  ScratchDir dir_{"gprs"};
};

std::string InitValue(const std::string& modemKey, const char* name) {
  char value[256] = "";
  DWORD size = sizeof value;
  RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(kModemClassKey) + "\\" + modemKey + "\\Init").c_str(), name,
               RRF_RT_REG_SZ, nullptr, value, &size);
  return value;
}

void SetInitValue(const std::string& modemKey, const char* name, const char* value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kModemClassKey) + "\\" + modemKey + "\\Init").c_str(), 0,
                      nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != 0)
    return;
  if (value) RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(strlen(value) + 1));
  RegCloseKey(key);
}

struct DialCase {
  const char* simOptions;
  const char* apn;
  bool gatewayListens;
  const char* verdict;
  int result;
};

// The dial's results, each to its verdict; the hang-up follows only a
// successful dial, and the modem is given back in every case.
TEST_F(GprsTest, EachDialResultGivesItsVerdict) {
  const DialCase cases[] = {
      {"", "internet", true, "Connection Test OK!", 1},
      {"", "internet", false, "Unable to connect to WAP Gateway", 0},
      {"--gprs no", "internet", true, "Connection Failed\r\nRAS Error 651\r\nThe modem reported an error.", 0},
      {"", "bad\"apn", true, "Connection Failed", 0},  // 87: no remote-access error, no text
      {"--silent", "", true, "Connection Failed\r\nRAS Error 692\r\nThe modem does not respond.", 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const DialCase& c = cases[i];
    ModemSim sim(c.simOptions);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    RegisteredModem modem({"GPRS Test Modem", sim.Port()});
    ASSERT_FALSE(modem.Key().empty());
    // The driver already defines the APN's context: no question.
    SetInitValue(modem.Key(), "1", "AT+CGDCONT=1,\"IP\",\"internet\"<cr>");
    LoopbackSocket gateway;
    ASSERT_TRUE(gateway.Accepts()) << "case " << i;
    std::string wap = c.gatewayListens ? gateway.HttpAddress() : ClosedAddress(gateway);
    WriteTest("GPRS Test Modem", c.apn, wap);
    EXPECT_EQ(RunGprsConnectionTest(), c.result) << "case " << i;
    EXPECT_EQ(Verdict(), c.verdict) << "case " << i;
    EXPECT_EQ(g_restarts, 0) << "case " << i;
    bool hungUp = false;
    for (const std::string& command : sim.Commands()) hungUp = hungUp || command.find("ATH") != std::string::npos;
    if (c.result == 1) {
      EXPECT_TRUE(hungUp) << "case " << i << ": the link stays up after the test";
    }
  }
}

// 650: the network never answers the attach (the link waits 30 s for it).
TEST_F(GprsTest, UnansweredAttachReportsRasError650WithItsText) {
  ModemSim sim("--mute AT+CGATT=1");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem modem({"GPRS Test Modem", sim.Port()});
  LoopbackSocket gateway;
  WriteTest("GPRS Test Modem", "", gateway.HttpAddress());
  EXPECT_EQ(RunGprsConnectionTest(), 0);
  EXPECT_EQ(Verdict(), "Connection Failed\r\nRAS Error 650\r\nThe network is not responding.");
}

// A phonebook entry is dialled as it is, without the driver check; Wine's
// phonebook has none, so the entry is not found.
TEST_F(GprsTest, PhonebookProfileIsDialledWithoutDriverCheck) {
  RegisteredModem modem({"GPRS Test Modem", "COM240"});
  WriteTest("GPRS Test Modem", "internet", "10.0.0.1", "Office Dial-Up");
  EXPECT_EQ(RunGprsConnectionTest(), 0);
  EXPECT_EQ(Verdict(), "Connection Failed\r\nRAS Error 623\r\nThe connection or modem was not found.");
  EXPECT_EQ(InitValue(modem.Key(), "1"), "") << "driver settings changed for a phonebook entry";
}

// A driver without the APN's context: its init strings are updated and the
// operator asked. Yes restarts (through the seam) without dialling; No dials.
TEST_F(GprsTest, DriverUpdateAsksToRestartAndBothAnswersAreKept) {
  for (int answer : {IDYES, IDNO}) {
    ModemSim sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    RegisteredModem modem({"GPRS Update Modem", sim.Port()});
    LoopbackSocket gateway;
    WriteTest("GPRS Update Modem", "mms.example", gateway.HttpAddress());
    SetInitValue(modem.Key(), "1", nullptr);  // an Init key that defines no context yet
    g_restarts = 0;
    BoxAnswerer answerer(answer);
    int result = RunGprsConnectionTest();
    answerer.Finish();
    ASSERT_TRUE(answerer.Seen()) << "answer " << answer;
    EXPECT_EQ(answerer.Box().text,
              "ZarqSMS has updated your modem driver settings to enable GPRS connectivity.\r\n\r\n"
              "Your system must be rebooted to apply these updates.\r\n\r\nDo you wish to reboot now?");
    EXPECT_EQ(answerer.Box().icon, ui::Icon::Question);
    EXPECT_EQ(InitValue(modem.Key(), "1"), "AT+CGDCONT=1,\"IP\",\"mms.example\"<cr>") << "answer " << answer;
    bool dialled = false;
    for (const std::string& command : sim.Commands()) dialled = dialled || command.find("ATD*99") != std::string::npos;
    if (answer == IDYES) {
      EXPECT_EQ(g_restarts, 1);
      EXPECT_EQ(result, 0);
      EXPECT_EQ(Verdict(), "Please restart your system before continuing");
      EXPECT_FALSE(dialled);
    } else {
      EXPECT_EQ(g_restarts, 0);
      EXPECT_EQ(result, 1);
      EXPECT_EQ(Verdict(), "Connection Test OK!");
      EXPECT_TRUE(dialled);
    }
  }
}

// An empty APN: no driver check, no question; the dial still runs.
TEST_F(GprsTest, EmptyApnSkipsTheDriverCheck) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  RegisteredModem modem({"GPRS Test Modem", sim.Port()});
  LoopbackSocket gateway;
  WriteTest("GPRS Test Modem", "", gateway.HttpAddress());
  EXPECT_EQ(RunGprsConnectionTest(), 1);
  EXPECT_EQ(Verdict(), "Connection Test OK!");
  EXPECT_EQ(InitValue(modem.Key(), "1"), "");
  ui::MessageBoxInfo box;
  EXPECT_FALSE(ui::FindMessageBox(GetCurrentProcessId(), &box, 0));
}

// A gateway service that will not let go: nothing is dialled. One that lends
// the modem gets it back once the test is over.
TEST_F(GprsTest, ModemIsBorrowedFromTheServiceAndGivenBack) {
  RegisteredModem modem({"GPRS Test Modem", "COM241"});
  WriteTest("GPRS Test Modem", "", "10.0.0.1");
  for (bool lend : {false, true}) {
    handover::Server server;
    ASSERT_TRUE(server.Open()) << "another service serves the modem hand-over";
    std::atomic<bool> stop{false};
    std::atomic<int> lent{0}, returned{0};
    std::string asked;
    std::thread service([&] {
      while (!stop) {
        if (WaitForSingleObject(server.RequestEvent(), 100) != WAIT_OBJECT_0) continue;
        server.Serve(
            [&](const std::string& name, DWORD) {
              asked = name;
              if (lend) ++lent;
              return lend;
            },
            [&] { ++returned; }, nullptr);
      }
    });
    int result = RunGprsConnectionTest();
    stop = true;
    service.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(asked, "GPRS Test Modem");
    if (lend) {
      EXPECT_EQ(Verdict(), "Connection Failed\r\nRAS Error 615\r\nThe modem's port was not found.");
      EXPECT_EQ(lent, 1);
      EXPECT_EQ(returned, 1) << "the modem was not given back";
    } else {
      EXPECT_EQ(Verdict(), "Unable to allocate modem, modem in use by ZarqSMS");
      EXPECT_EQ(returned, 0);
    }
  }
}

}  // namespace
