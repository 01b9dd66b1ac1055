// The AT channel against the simulated modem on a real (pseudo) COM port.
#include <gtest/gtest.h>

#include <cstring>

#include "app/msgbox.h"
#include "modem/atchannel.h"
#include "modemrig.h"
#include "msgwatch.h"

namespace {

ULONGLONG ElapsedMs(ULONGLONG since) { return GetTickCount64() - since; }

// What one command collects, and how long the wait took.
struct Exchange {
  DWORD count;
  std::string text;
  ULONGLONG ms;
};

Exchange Ask(HANDLE h, const char* command, unsigned seconds) {
  char buf[kModemTextSize];
  EXPECT_TRUE(SendCommand(h, command)) << Escaped(command);
  ULONGLONG start = GetTickCount64();
  DWORD n = WaitResponse(h, buf, sizeof buf, seconds);
  return {n, buf, ElapsedMs(start)};
}

}  // namespace

// Final results end the wait as soon as they are in; "OK" without a line
// break before it is no final result.
TEST(AtChannel, FinalResultsEndTheWait) {
  struct Case {
    const char* options;
    const char* command;
    const char* answer;
    bool ok;
    bool early;
  } cases[] = {
      {"--echo off", "ATE0V1\r", "\r\nOK\r\n", true, true},
      {"--echo on", "ATE0V1\r", "ATE0V1\r\r\nOK\r\n", true, true},
      {"--echo off --text-only", "AT+CMGF=0\r", "\r\n+CMS ERROR: 303\r\n", false, true},
      {"--echo off --bare-ok", "AT\r", "OK", false, false},
  };
  const unsigned seconds = 3;
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    ModemSim sim(c.options);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Port port(OpenSimPort(sim));
    ASSERT_TRUE(port.valid()) << "case " << i;
    Exchange got = Ask(port.get(), c.command, seconds);
    EXPECT_EQ(got.text, c.answer) << "case " << i << ": " << Escaped(got.text);
    EXPECT_EQ(got.count, std::strlen(c.answer)) << "case " << i;
    EXPECT_EQ(HasOk(got.text.c_str()), c.ok) << "case " << i;
    if (c.early) {
      EXPECT_LT(got.ms, 2000u) << "case " << i;
    } else {
      EXPECT_GE(got.ms, seconds * 1000u) << "case " << i << ": the wait must run to its deadline";
    }
  }
}

// The deadline is counted in whole seconds between reads of about a second.
TEST(AtChannel, SilentModemGivesNothingAfterTheDeadline) {
  ModemSim sim("--silent");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Port port(OpenSimPort(sim));
  ASSERT_TRUE(port.valid());
  Exchange got = Ask(port.get(), "ATE0V1\r", 5);
  EXPECT_EQ(got.count, 0u);
  EXPECT_EQ(got.text, "");
  EXPECT_GE(got.ms, 4900u);
  EXPECT_LE(got.ms, 7600u);
  EXPECT_EQ(sim.Commands(), std::vector<std::string>{"ATE0V1\r"});
}

// More than the buffer holds: collection stops at capacity - 1, the text stays
// terminated, nothing beyond the capacity is touched, and without a final
// result inside the wait runs to its deadline.
TEST(AtChannel, OutputLongerThanTheBuffer) {
  ModemSim sim("--echo off --long-output 2000");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Port port(OpenSimPort(sim));
  ASSERT_TRUE(port.valid());
  struct Case {
    DWORD capacity;
  } cases[] = {{kModemTextSize}, {2}, {1}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const DWORD capacity = cases[i].capacity;
    char buf[kModemTextSize + 64];
    std::memset(buf, '#', sizeof buf);
    ASSERT_TRUE(SendCommand(port.get(), "AT\r"));
    ULONGLONG start = GetTickCount64();
    DWORD n = WaitResponse(port.get(), buf, capacity, 2);
    ULONGLONG ms = ElapsedMs(start);
    EXPECT_EQ(n, capacity - 1) << "case " << i;
    EXPECT_EQ(buf[capacity - 1], '\0') << "case " << i;
    EXPECT_EQ(std::strlen(buf), capacity - 1) << "case " << i;
    for (size_t k = capacity; k < sizeof buf; ++k) {
      ASSERT_EQ(buf[k], '#') << "case " << i << " byte " << k;
    }
    EXPECT_GE(ms, 2000u) << "case " << i;
    if (capacity == kModemTextSize) {
      EXPECT_EQ(std::string(buf, 9), "+ZINFO: 0") << "case " << i;
    }
    PurgeComm(port.get(), PURGE_RXCLEAR);
    Sleep(300);  // let the rest of the answer arrive and go
    PurgeComm(port.get(), PURGE_RXCLEAR);
  }
}

// A read still pending when its wait gives up is cancelled, not left to
// complete into a released buffer: afterwards the next answer arrives whole.
TEST(AtChannel, PendingReadIsCancelledWhenTheWaitGivesUp) {
  ModemSim sim("--echo off");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Port port(OpenSimPort(sim));
  ASSERT_TRUE(port.valid());
  COMMTIMEOUTS forever = {};  // reads wait until their buffer is full
  ASSERT_TRUE(SetCommTimeouts(port.get(), &forever));
  char buf[kModemTextSize];
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(WaitResponse(port.get(), buf, sizeof buf, 1), 0u);
  EXPECT_LT(ElapsedMs(start), 5000u);

  ASSERT_TRUE(SetOpenTimeouts(port.get()));
  Exchange got = Ask(port.get(), "AT\r", 3);
  EXPECT_EQ(got.text, "\r\nOK\r\n");
}

TEST(AtChannel, InitAtBaudSendsThePinOnlyWhenGiven) {
  struct Case {
    const char* pin;
    std::vector<std::string> commands;
  } cases[] = {
      {nullptr, {"\r", "ATE0V1\r"}},
      {"", {"\r", "ATE0V1\r"}},
      {"1234", {"\r", "AT+CPIN=\"1234\"\r", "ATE0V1\r"}},
  };
  ModemSim sim("--pin 1234");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Port port(OpenSimPort(sim, 9600));
  ASSERT_TRUE(port.valid());
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    sim.ClearLog();
    MessageBoxWatcher boxes;
    EXPECT_TRUE(InitAtBaud(port.get(), 19200, cases[i].pin)) << "case " << i;
    EXPECT_EQ(sim.Commands(), cases[i].commands) << "case " << i << ": " << Joined(sim.Commands());
    for (const ModemSimCommand& c : sim.Log()) EXPECT_EQ(c.rate, 19200u) << "case " << i;
    std::vector<SeenBox> seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u) << "case " << i;
    EXPECT_EQ(seen[0].text, InitialisedAt(19200));
    EXPECT_EQ(seen[0].caption, kProductTitle);
    EXPECT_EQ(seen[0].icon, BoxIcon::kInformation) << IconName(seen[0].icon);
    EXPECT_EQ(seen[0].owner, nullptr);
  }
}

// A modem fixed at 2400 bps answers only after the five faster rates failed.
TEST(AtChannel, ProbeFindsA2400Modem) {
  FastModemClock fast;
  ModemSim sim("--baud 2400");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Port port(OpenSimPort(sim));
  ASSERT_TRUE(port.valid());
  MessageBoxWatcher boxes;
  EXPECT_TRUE(ProbeBaudRates(port.get(), ""));
  std::vector<std::string> expected;
  for (unsigned rate : {115200u, 57600u, 38400u, 19200u, 9600u, 2400u}) {
    expected.push_back(std::to_string(rate) + " \\r");
    expected.push_back(std::to_string(rate) + " ATE0V1\\r");
  }
  EXPECT_EQ(RatedCommands(sim), expected);
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, InitialisedAt(2400));
  EXPECT_EQ(seen[0].icon, BoxIcon::kInformation);
}
