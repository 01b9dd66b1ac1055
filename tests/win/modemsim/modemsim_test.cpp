// The simulator as the program meets it: a COM port under Wine whose answers
// depend on the speed set with SetCommState.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modemsimdriver.h"

namespace {

HANDLE OpenPort(const std::string& port) {
  return CreateFileA((port + ":").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                     FILE_FLAG_OVERLAPPED, nullptr);
}

bool SetRate(HANDLE h, DWORD rate) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) return false;
  dcb.BaudRate = rate;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  COMMTIMEOUTS t = {200, 0, 1000, 0, 2000};
  return SetCommState(h, &dcb) && SetCommTimeouts(h, &t);
}

TEST(ModemSim, AnswersOnlyAtItsRateAndLogsEveryCommand) {
  ModemSim sim("--baud 19200 --pin 1234");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  HANDLE h = OpenPort(sim.Port());
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << sim.Port() << " error " << GetLastError();
  struct Step {
    DWORD rate;
    const char* command;
    const char* answer;
  } steps[] = {
      {115200, "ATE0V1\r", ""},
      {19200, "ATE0V1\r", "ATE0V1\r\r\nOK\r\n"},
      {19200, "AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"},
      {19200, "AT+CPIN=\"1234\"\r", "\r\nOK\r\n"},
      {19200, "AT+CMGS=86\r", "\r\n> "},
      {19200, "\x1b", "\r\nOK\r\n"},
  };
  std::vector<std::string> sent;
  for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
    ASSERT_TRUE(SetRate(h, steps[i].rate)) << i;
    EXPECT_EQ(PortExchange(h, steps[i].command), steps[i].answer) << "step " << i;
    sent.push_back(steps[i].command);
  }
  CloseHandle(h);
  EXPECT_EQ(sim.Commands(), sent);
  std::vector<ModemSimCommand> log = sim.Log();
  ASSERT_EQ(log.size(), sent.size());
  EXPECT_EQ(log[0].rate, 115200u);
  EXPECT_EQ(log[1].rate, 19200u);
  sim.ClearLog();
  EXPECT_TRUE(sim.Commands().empty());
}

TEST(ModemSim, OptionsPassThroughWindowsQuoting) {
  ModemSim sim("--echo off --mute AT+CPIN? --reply \"ATI|Zarq GSM\\r\\n\" --operator \"Op X\"");
  ASSERT_TRUE(sim.Started()) << sim.Error();
  HANDLE h = OpenPort(sim.Port());
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetRate(h, 115200));
  EXPECT_EQ(PortExchange(h, "AT+CPIN?\r"), "");
  EXPECT_EQ(PortExchange(h, "ATI\r"), "Zarq GSM\r\n");
  EXPECT_EQ(PortExchange(h, "AT+COPS?\r"), "\r\n+COPS: 0,0,\"Op X\"\r\n\r\nOK\r\n");
  CloseHandle(h);
}

TEST(ModemSim, StopRemovesThePort) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  std::string port = sim.Port();
  HANDLE h = OpenPort(port);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  sim.Stop();
  SetLastError(0xdeadbeef);
  h = OpenPort(port);
  DWORD error = GetLastError();
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  // The port is gone, not merely busy.
  EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << "error " << error;
}

TEST(ModemSim, BadOptionsAreReported) {
  ModemSim sim("--cmgs sometimes");
  EXPECT_FALSE(sim.Started());
  EXPECT_EQ(sim.Error().compare(0, 7, "FAILED "), 0) << sim.Error();
}

}  // namespace
