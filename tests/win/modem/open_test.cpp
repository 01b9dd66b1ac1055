// Opening the modem on the direct road, the reset that recovers a modem left
// in data mode, and the access errors the operator sees.
#include <gtest/gtest.h>

#include <cstring>

#include "app/msgbox.h"
#include "modem/atchannel.h"
#include "modem/modemport.h"
#include "modemrig.h"
#include "msgwatch.h"

namespace {

std::string SystemText(DWORD error) {
  char text[kModemTextSize] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                 nullptr);
  return text;
}

// The error the system gives for opening `name` exclusively.
DWORD OpenError(const std::string& name) {
  SetLastError(0xdeadbeef);
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                         nullptr);
  DWORD error = GetLastError();
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return 0;
  }
  EXPECT_NE(error, 0xdeadbeefu) << name << ": the open failed without setting an error";
  return error;
}

// Windows errors appear in hexadecimal.
std::string Hex(DWORD error) {
  char text[16];
  snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(error));
  return text;
}

void ExpectInitialisedBoxes(const std::vector<SeenBox>& seen, size_t count, unsigned baud) {
  ASSERT_EQ(seen.size(), count);
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].text, InitialisedAt(baud)) << "box " << i;
    EXPECT_EQ(seen[i].icon, BoxIcon::kInformation) << "box " << i;
    EXPECT_EQ(seen[i].owner, nullptr) << "box " << i;
  }
}

std::vector<std::string> Rated(unsigned rate, std::initializer_list<const char*> commands) {
  std::vector<std::string> out;
  for (const char* c : commands) out.push_back(std::to_string(rate) + " " + c);
  return out;
}

}  // namespace

// "COMn:" in any case is a serial port: opened, probed, no TAPI handles.
TEST(DirectRoad, PortNamesOpenAndProbe) {
  FastModemClock fast;
  ModemSim sim("--baud 57600");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  std::string lower = sim.Port();
  for (char& ch : lower) ch = static_cast<char>(tolower(ch));
  const std::string names[] = {sim.Port() + ":", lower + ":"};
  for (size_t i = 0; i < 2; ++i) {
    sim.ClearLog();
    MessageBoxWatcher boxes;
    DWORD handles = HandleCount();
    HLINEAPP app = 1;
    HLINE line = 1;
    Port port(OpenModemPort(names[i].c_str(), "", &app, &line));
    ASSERT_TRUE(port.valid()) << "case " << i << " " << names[i];
    EXPECT_EQ(app, 0u) << "case " << i;
    EXPECT_EQ(line, 0u) << "case " << i;
    std::vector<std::string> expected = Rated(115200, {"\\r", "ATE0V1\\r"});
    for (const std::string& c : Rated(57600, {"\\r", "ATE0V1\\r"})) expected.push_back(c);
    EXPECT_EQ(RatedCommands(sim), expected) << "case " << i;
    ExpectInitialisedBoxes(boxes.Boxes(), 1, 57600);
    port.Close();
    EXPECT_EQ(HandleCount(), handles) << "case " << i;
  }
}

// Ports above COM9 open only as "\\.\COMnn"; the plain name is tried first.
TEST(DirectRoad, TwoDigitPortIsRetriedAsDevicePath) {
  ModemSim sim("--com 57");  // a port no simulator takes unasked: no other test's modem holds it first
  ASSERT_TRUE(sim.Started()) << sim.Error();
  ASSERT_EQ(sim.Port(), "COM57");
  ASSERT_NE(OpenError("COM57:"), 0u) << "the plain name must fail for this test to mean anything";
  MessageBoxWatcher boxes;
  HLINEAPP app;
  HLINE line;
  Port port(OpenModemPort("COM57:", "", &app, &line));
  ASSERT_TRUE(port.valid());
  EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"\r", "ATE0V1\r"}));
  ExpectInitialisedBoxes(boxes.Boxes(), 1, 115200);
}

// A port that cannot be opened: the access error, then invalid; error 5 adds
// the line about another application.
TEST(DirectRoad, AccessErrors) {
  LinkedPort denied(91);
  ASSERT_TRUE(denied.Ready());
  DWORD missingError = OpenError("\\\\.\\COM96");
  ASSERT_NE(missingError, 0u);
  ASSERT_EQ(OpenError("\\\\.\\COM91"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  struct Case {
    const char* name;
    DWORD error;
  } cases[] = {{"COM96:", missingError}, {"COM91:", ERROR_ACCESS_DENIED}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    MessageBoxWatcher boxes;
    HLINEAPP app;
    HLINE line;
    EXPECT_EQ(OpenModemPort(c.name, "", &app, &line), INVALID_HANDLE_VALUE) << "case " << i;
    std::string expected = std::string("Unable to access modem at ") + c.name + " -- Error " + Hex(c.error) +
                           " -- " + SystemText(c.error);
    if (c.error == ERROR_ACCESS_DENIED) expected += "\r\nAnother application is already using this device.";
    std::vector<SeenBox> seen = boxes.Boxes();
    ASSERT_EQ(seen.size(), 1u) << "case " << i;
    EXPECT_EQ(seen[0].text, expected) << "case " << i;
    EXPECT_EQ(seen[0].caption, kProductTitle) << "case " << i;
    EXPECT_EQ(seen[0].icon, BoxIcon::kError) << "case " << i;
    EXPECT_EQ(seen[0].owner, nullptr) << "case " << i;
  }
}

// A port name longer than the message buffer: the text is cut at 499 characters.
TEST(DirectRoad, AccessErrorForAVeryLongName) {
  std::string name = "COM" + std::string(600, '7') + ":";
  MessageBoxWatcher boxes;
  HLINEAPP app;
  HLINE line;
  EXPECT_EQ(OpenModemPort(name.c_str(), "", &app, &line), INVALID_HANDLE_VALUE);
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, ("Unable to access modem at " + name).substr(0, 499));
}

// A device that is no serial port: the handle comes back unprobed after the
// operator was told which serial call failed.
TEST(DirectRoad, DeviceWithoutSerialState) {
  LinkedPort port(92, "/dev/null");
  ASSERT_TRUE(port.Ready());
  MessageBoxWatcher boxes;
  HLINEAPP app;
  HLINE line;
  Port h(OpenModemPort("COM92:", "", &app, &line));
  EXPECT_TRUE(h.valid());
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "SetupComm Failed");
  EXPECT_EQ(seen[0].icon, BoxIcon::kNone);
  EXPECT_EQ(seen[0].owner, nullptr);
  EXPECT_EQ(seen[0].caption, kProductTitle);
}

// A modem that answers nothing at any rate: the probe, then the escape ladder
// of the reset road, no reset command, and invalid after a single pass.
TEST(DirectRoad, SilentModemFailsAfterOneRecoveryProbe) {
  FastModemClock fast(30);
  ModemSim sim("--silent");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  MessageBoxWatcher boxes;
  HLINEAPP app;
  HLINE line;
  std::string name = sim.Port() + ":";
  EXPECT_EQ(OpenModemPort(name.c_str(), "", &app, &line), INVALID_HANDLE_VALUE);
  std::vector<std::string> expected;
  for (unsigned rate : {115200u, 57600u, 38400u, 19200u, 9600u, 2400u})
    for (const std::string& c : Rated(rate, {"\\r", "ATE0V1\\r"})) expected.push_back(c);
  // The reset road's ladder: each rate once more after an escape, never 2400.
  unsigned last = 2400;
  for (unsigned step : {115200u, 0u, 115200u, 57600u, 0u, 57600u, 38400u, 0u, 38400u, 19200u, 0u, 19200u, 9600u, 0u,
                        9600u}) {
    if (!step) {
      expected.push_back(std::to_string(last) + " +++ATH0\\r");
      continue;
    }
    for (const std::string& c : Rated(step, {"\\r", "ATE0V1\\r"})) expected.push_back(c);
    last = step;
  }
  EXPECT_EQ(RatedCommands(sim), expected);
  EXPECT_TRUE(boxes.Boxes().empty());
}

// A modem left in data mode ignores the probe; the reset road escapes to
// command mode, resets it, waits for the restart and the open succeeds on the
// second pass.
TEST(DirectRoad, ModemInDataModeIsRecoveredByAReset) {
  FastModemClock fast(10);
  ModemSim sim("--reset-seconds 1");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  {
    Port dial(OpenSimPort(sim));
    ASSERT_TRUE(dial.valid());
    char answer[kModemTextSize];
    SendCommand(dial.get(), "AT+CGDCONT=1,\"IP\",\"internet\"\r");
    WaitResponse(dial.get(), answer, sizeof answer, 3);
    SendCommand(dial.get(), "ATD*99***1#\r");
    WaitResponse(dial.get(), answer, sizeof answer, 3);
    ASSERT_NE(std::strstr(answer, "CONNECT"), nullptr) << Escaped(answer);
  }
  sim.ClearLog();
  MessageBoxWatcher boxes;
  HLINEAPP app;
  HLINE line;
  std::string name = sim.Port() + ":";
  Port port(OpenModemPort(name.c_str(), "", &app, &line));
  ASSERT_TRUE(port.valid());
  std::vector<std::string> commands = sim.Commands();
  // Probe: nothing but data to a modem online.
  std::vector<std::string> expected;
  for (int rate = 0; rate < 6; ++rate) {
    expected.push_back("\r");
    expected.push_back("ATE0V1\r");
  }
  // Reset road: 115200 still online, escape, 115200 answers, reset, restart, probe again.
  for (const char* c : {"\r", "ATE0V1\r", "+++", "ATH0\r", "\r", "ATE0V1\r", "AT+CFUN=?\r", "AT+CFUN=1,1\r", "\r",
                        "ATE0V1\r",
                        // second pass of the open
                        "\r", "ATE0V1\r"})
    expected.push_back(c);
  EXPECT_EQ(Joined(commands), Joined(expected));
  ExpectInitialisedBoxes(boxes.Boxes(), 3, 115200);
}

// The reset cascade: the CFUN reset only when its test answer lists a second
// parameter, then the Ericsson and Sierra resets, then a plain CFUN=1.
TEST(ResetModem, CascadeFollowsTheModemsAnswers) {
  struct Case {
    const char* options;
    bool result;
    std::vector<std::string> commands;
  } cases[] = {
      {"--cfun-test two --resets cfun", true, {"AT+CFUN=?\r", "AT+CFUN=1,1\r"}},
      {"--cfun-test one --resets cfun,e2reset", true, {"AT+CFUN=?\r", "AT*E2RESET=?\r", "AT*E2RESET\r"}},
      {"--cfun-test error --resets bang", true, {"AT+CFUN=?\r", "AT*E2RESET=?\r", "AT!RESET\r"}},
      {"--cfun-test two --resets none",
       true,
       {"AT+CFUN=?\r", "AT+CFUN=1,1\r", "AT*E2RESET=?\r", "AT!RESET\r", "AT+CFUN=1\r"}},
      {"--cfun-test one --resets none --text-only --cfun 1",
       true,
       {"AT+CFUN=?\r", "AT*E2RESET=?\r", "AT!RESET\r", "AT+CFUN=1\r"}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    ModemSim sim(std::string(cases[i].options) + " --echo off");
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Port port(OpenSimPort(sim));
    ASSERT_TRUE(port.valid());
    EXPECT_EQ(ResetModem(port.get()), cases[i].result) << "case " << i;
    EXPECT_EQ(Joined(sim.Commands()), Joined(cases[i].commands)) << "case " << i;
  }
}

// ResetModemDirect completes a bare "COMn" with its colon, resets once and
// checks the modem again after the restart; the port is closed afterwards.
TEST(ResetModemDirect, ResetsOnceAndReopens) {
  FastModemClock fast(10);
  ModemSim sim("--reset-seconds 1");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  MessageBoxWatcher boxes;
  DWORD handles = HandleCount();
  EXPECT_TRUE(ResetModemDirect(sim.Port().c_str(), ""));
  EXPECT_EQ(HandleCount(), handles);
  EXPECT_EQ(Joined(sim.Commands()),
            Joined({"\r", "ATE0V1\r", "AT+CFUN=?\r", "AT+CFUN=1,1\r", "\r", "ATE0V1\r"}));
  ExpectInitialisedBoxes(boxes.Boxes(), 2, 115200);
}

TEST(ResetModemDirect, PortThatCannotBeOpened) {
  MessageBoxWatcher boxes;
  EXPECT_FALSE(ResetModemDirect("com95", ""));
  std::vector<SeenBox> seen = boxes.Boxes();
  ASSERT_EQ(seen.size(), 1u);
  DWORD error = OpenError("\\\\.\\com95");
  EXPECT_EQ(seen[0].text, "Unable to access modem at com95: -- Error " + Hex(error) + " -- " +
                              SystemText(error));
  EXPECT_EQ(seen[0].icon, BoxIcon::kError);
}
