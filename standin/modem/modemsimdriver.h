// Starts the Linux-side GSM modem simulator from a test running under Wine and
// reads back what it received. The simulator lives as long as this object (and
// ends by itself when the prefix's wineserver ends, or after an hour).
//
//   ModemSim sim("--baud 2400 --pin 1234");
//   ASSERT_TRUE(sim.Started()) << sim.Error();
//   ... open sim.Port() + ":" ...
//   EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"\r", "ATE0V1\r"}));
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ModemSimCommand {
  unsigned rate;      // line speed the program had set when it arrived (0 = none)
  std::string bytes;  // exact bytes: a command line with its CR, a message body with its ESC / Ctrl-Z, or data
};

class ModemSim {
 public:
  // `options` are the simulator's options as on its command line (README.md),
  // quoted the Windows way: --reply "ATI|Zarq GSM\r\n".
  explicit ModemSim(const std::string& options = std::string());
  ~ModemSim();
  ModemSim(const ModemSim&) = delete;
  ModemSim& operator=(const ModemSim&) = delete;

  bool Started() const { return number_ > 0; }
  // Why it did not start.
  const std::string& Error() const { return error_; }
  // "COM3" (no colon); empty when not started.
  const std::string& Port() const { return port_; }
  int Number() const { return number_; }

  std::vector<ModemSimCommand> Log() const;
  // The bytes of each logged command, in order.
  std::vector<std::string> Commands() const;
  // Forgets what was logged so far.
  void ClearLog();
  // `simctl deliver` with `arguments` (shell words: --text 'Hi' --coding ucs2,
  // --pdu HEX): the simulator receives one message. Its exit status (0 once
  // stored and announced), -1 when it could not be run.
  int Deliver(const std::string& arguments);
  // Stops the simulator; returns once its COM link is gone. Idempotent.
  void Stop();

 private:
  std::string ready_;  // Windows paths of the simulator's ready file and log
  std::string log_;
  std::string port_;
  std::string error_;
  int number_ = 0;
  unsigned long pid_ = 0;
};

// Runs a Linux program by its absolute path (Wine starts it detached; its exit
// status is not reported). True when it was started.
bool RunLinuxCommand(const std::string& commandLine);
// The Windows path ("Z:\...") of a Linux path.
std::string WindowsPathOf(const std::string& linuxPath);
// The Linux pid of the prefix's wineserver: a Linux helper told to watch it
// ends with the prefix's session.
unsigned long WineServerPid();

// The ready file and log of a Linux helper started from a test, under /tmp,
// named for this process and a count (`kind` tells the helpers apart); none
// of them is left over from before.
struct LinuxHelperFiles {
  std::string readyLinux, logLinux;  // as the helper's command line names them
  std::string ready, log;            // the same as Windows paths
};
LinuxHelperFiles NewLinuxHelperFiles(const char* kind);
// What the helper wrote to its ready file once it was up; empty when it did
// not within 15 s.
std::string WaitForReadyLine(const std::string& ready);

// Writes `command` to an open overlapped port and collects the answer.
// Without `until`: read after read until one brings nothing (a silent read
// lasts as long as the port's timeouts allow). With `until`: until the
// answer holds that text, at most five reads, silent ones included.
std::string PortExchange(HANDLE port, const std::string& command, const char* until = nullptr);
