// The modem test end to end over the direct road: every outcome the
// simulated modem can produce, with the exact commands it received.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/msgbox.h"
#include "modem/modemtest.h"
#include "modemrig.h"
#include "msgwatch.h"

namespace {

const char kOpenFailed[] = "Unable to access modem, ensure that it is powered on and passes diagnostic tests.";
const char kPassed[] = "Modem successfully tested!";

// The commands of a successful open at 115200 bps without a PIN.
const std::vector<std::string> kOpen = {"\r", "ATE0V1\r"};
// From the echo passes to the cancelled submission of a modem that passes.
const std::vector<std::string> kPassTail = {"ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r",
                                            "AT+CMGS=86\r", "\x1b",  "\r",         "AT\r"};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class TestModemFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowA("STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }

  // The outcome box must be the last one, owned by the test's window.
  void ExpectOutcome(const std::vector<SeenBox>& seen, const std::string& text, BoxIcon icon, const std::string& tag) {
    ASSERT_FALSE(seen.empty()) << tag;
    const SeenBox& last = seen.back();
    EXPECT_EQ(last.text, text) << tag << ": " << Escaped(last.text);
    EXPECT_EQ(last.caption, kProductTitle) << tag;
    EXPECT_EQ(last.icon, icon) << tag << ": " << IconName(last.icon);
    EXPECT_EQ(last.owner, owner_) << tag;
  }

  HWND owner_ = nullptr;
  FastModemClock fast_{20};
};

}  // namespace

TEST_F(TestModemFixture, OutcomesOverTheDirectRoad) {
  const std::vector<std::string> csmsRetries = [] {
    std::vector<std::string> out;
    for (int i = 0; i < 8; ++i)
      for (const char* c : {"AT+CSMS=0\r", "AT+CSMS=128\r", "AT+CSMS?\r"}) out.push_back(c);
    return out;
  }();
  struct Case {
    const char* options;
    const char* pin;
    int result;
    std::string text;
    BoxIcon icon;
    std::vector<std::string> commands;
  } cases[] = {
      // 0: the prompt for the body is cancelled with ESC and the test passes.
      {"", "", 1, kPassed, BoxIcon::kInformation, Concat({kOpen, {"AT+CFUN?\r"}, kPassTail})},
      // 1: an error line to AT+CMGS passes as well (the ESC then cancels nothing).
      {"--cmgs error", "", 1, kPassed, BoxIcon::kInformation, Concat({kOpen, {"AT+CFUN?\r"}, kPassTail})},
      // 2: OK to AT+CMGS means the modem never asked for a body.
      {"--cmgs ok", "", 0, "Modem does not properly support command for sending SMS (AT+CMGS)", BoxIcon::kError,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r", "AT+CMGS=86\r"}})},
      // 3: PDU mode refused, text mode accepted.
      {"--text-only", "", 1, "Modem successfully tested!\r\n\r\nModem supports text messages only.",
       BoxIcon::kInformation,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r", "AT+CMGF=1\r"}})},
      // 4: the open already unlocked the SIM; READY means no second PIN.
      {"--pin 1234", "1234", 1, kPassed, BoxIcon::kInformation,
       Concat({{"\r", "AT+CPIN=\"1234\"\r", "ATE0V1\r", "AT+CFUN?\r", "AT+CPIN?\r"}, kPassTail})},
      // 5: a wrong PIN is refused, quoting the modem.
      {"--pin 1234", "0000", 0, "Invalid PIN --\r\n\r\n\r\n+CME ERROR: 16\r\n", BoxIcon::kError,
       {"\r", "AT+CPIN=\"0000\"\r", "ATE0V1\r", "AT+CFUN?\r", "AT+CPIN?\r", "AT+CPIN=\"0000\"\r"}},
      // 6: no PIN given: no PIN command whatever the SIM says; the locked SIM
      // refuses SMS service through every retry.
      {"--pin 1234", "", 0, "Modem does not support SMS --\r\n\r\n\r\n+CMS ERROR: 311\r\n", BoxIcon::kError,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CSMS=128\r", "AT+CFUN?\r"},
               csmsRetries})},
      // 7: SMS service refused for a while; the retries end at "+CSMS:" with OK.
      {"--csms-refuse 4", "", 1, kPassed, BoxIcon::kInformation,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CSMS=128\r", "AT+CFUN?\r",
                       "AT+CSMS=0\r", "AT+CSMS=128\r", "AT+CSMS?\r", "AT+CMGF=0\r", "AT+CMGS=86\r", "\x1b", "\r",
                       "AT\r"}})},
      // 8: "OK" without a line break is no OK: the first echo pass fails.
      {"--bare-ok", "", 0, "Error initializing modem --\r\n\r\nOK", BoxIcon::kError,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r"}})},
      // 9: radio off: switched on, then the network wait, all before the PIN step.
      {"--cfun 0 --pin 1234 --network-polls 2", "1234", 1, kPassed, BoxIcon::kInformation,
       Concat({{"\r", "AT+CPIN=\"1234\"\r", "ATE0V1\r", "AT+CFUN?\r", "AT+CFUN=1\r", "AT+CFUN?\r", "AT+COPS?\r",
                "AT+COPS?\r", "AT+COPS?\r", "AT+CPMS?\r", "AT+CPIN?\r"},
               kPassTail})},
      // 10-12: a step whose command goes unanswered.
      {"--mute AT+CSMS=0", "", 0, "Error waiting for SMS initialization response from modem", BoxIcon::kError,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r"}})},
      {"--mute AT+CMGF=0", "", 0, "Error waiting for SMS PDU mode initialization response from modem",
       BoxIcon::kError, Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r"}})},
      {"--text-only --mute AT+CMGF=1", "", 0, "Error waiting for SMS text mode initialization response from modem",
       BoxIcon::kError,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r", "AT+CMGF=1\r"}})},
      // 13: neither PDU nor text mode.
      {"--text-only --reply \"AT+CMGF=1|\\r\\nERROR\\r\\n\"", "", 0,
       "Modem does not support SMS text or PDU mode commands --\r\n\r\n\r\nERROR\r\n", BoxIcon::kError,
       Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r", "AT+CSMS=0\r", "AT+CMGF=0\r", "AT+CMGF=1\r"}})},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    std::string tag = "case " + std::to_string(i) + " (" + c.options + ")";
    ModemSim sim(c.options);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    MessageBoxWatcher boxes;
    DWORD handles = HandleCount();
    std::string name = sim.Port() + ":";
    EXPECT_EQ(TestModem(owner_, name.c_str(), c.pin), c.result) << tag;
    EXPECT_EQ(HandleCount(), handles) << tag << ": the port must be released";
    EXPECT_EQ(Joined(sim.Commands()), Joined(c.commands)) << tag;
    std::vector<SeenBox> seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 2u) << tag;
    EXPECT_EQ(seen[0].text, InitialisedAt(115200)) << tag;
    EXPECT_EQ(seen[0].owner, nullptr) << tag;
    ExpectOutcome(seen, c.text, c.icon, tag);
  }
}

// The open fails: its own access error first, then the test's message.
TEST_F(TestModemFixture, PortThatCannotBeOpened) {
  MessageBoxWatcher boxes;
  EXPECT_EQ(TestModem(owner_, "COM93:", ""), 0);
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text.rfind("Unable to access modem at COM93: -- Error ", 0), 0u) << seen[0].text;
  EXPECT_EQ(seen[0].owner, nullptr);
  ExpectOutcome(seen, kOpenFailed, BoxIcon::kError, "open");
}

// A device that is no serial line comes back from the open unprobed; the
// test goes on with it and finds nothing answering.
TEST_F(TestModemFixture, DeviceThatIsNoModem) {
  LinkedPort port(88, "/dev/null");
  ASSERT_TRUE(port.Ready());
  MessageBoxWatcher boxes;
  DWORD handles = HandleCount();
  EXPECT_EQ(TestModem(owner_, "COM88:", ""), 0);
  EXPECT_EQ(HandleCount(), handles);
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, "SetupComm Failed");
  ExpectOutcome(seen, "Error waiting for initialization response from modem", BoxIcon::kError, "no modem");
}

// A device that takes no writes: the first command that matters cannot be
// sent; a PIN that cannot be sent is passed over without a message.
TEST_F(TestModemFixture, DeviceThatRefusesWrites) {
  LinkedPort port(87, "/dev/full");
  ASSERT_TRUE(port.Ready());
  for (const char* pin : {"", "1234"}) {
    MessageBoxWatcher boxes;
    DWORD handles = HandleCount();
    EXPECT_EQ(TestModem(owner_, "COM87:", pin), 0) << "pin '" << pin << "'";
    EXPECT_EQ(HandleCount(), handles);
    std::vector<SeenBox> seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "SetupComm Failed");
    ExpectOutcome(seen, "Unable to send initialization command to modem", BoxIcon::kError, pin);
  }
}

// The same command answered once and then no more: the second echo pass
// meets silence. (The line is switched to a speed the modem does not hear
// once it has the first pass's command.)
TEST_F(TestModemFixture, ModemFallsSilentBetweenTheEchoPasses) {
  ModemSim sim("--baud 115200");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  std::string name = sim.Port() + ":";
  MessageBoxWatcher boxes;
  {
    MishapArm arm(fast_, sim, {ModemMishap::kMute, "ATE0V1\r", 2});
    EXPECT_EQ(TestModem(owner_, name.c_str(), ""), 0);
    EXPECT_TRUE(arm.Fired());
  }
  EXPECT_EQ(Joined(sim.Commands()), Joined(Concat({kOpen, {"AT+CFUN?\r", "ATE0V1\r", "ATE0V1\r"}})));
  ExpectOutcome(boxes.Boxes(), "Error waiting for initial response from modem", BoxIcon::kError, "silent");
}

// A modem unplugged while the test waits for the network: the next command
// cannot be written.
TEST_F(TestModemFixture, ModemUnpluggedDuringTheNetworkWait) {
  ModemSim sim("--cfun 0 --network-polls never");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  std::atomic<bool> done{false};
  std::thread unplug([&] {
    while (!done) {
      for (const std::string& c : sim.Commands()) {
        if (c == "AT+COPS?\r") {
          sim.Stop();
          return;
        }
      }
      Sleep(20);
    }
  });
  MessageBoxWatcher boxes;
  DWORD handles = HandleCount();
  std::string name = sim.Port() + ":";
  int result = TestModem(owner_, name.c_str(), "");
  done = true;
  unplug.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(HandleCount(), handles);
  std::vector<SeenBox> seen = boxes.Boxes();
  ExpectOutcome(seen, "Unable to send initialization command to modem", BoxIcon::kError, "unplugged");
}
