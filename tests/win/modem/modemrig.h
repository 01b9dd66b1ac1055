// Shared pieces of the modem tests: a faster modem clock, a port opened the
// way the program opens it, and readable command logs.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "modemsimdriver.h"

// Runs the modem code's long waits `factor` times faster while it exists.
// The code reads the clock when a response wait begins and before each read
// of it; a hook set here runs on the code's own thread at those moments.
class FastModemClock {
 public:
  explicit FastModemClock(unsigned factor = 10);
  ~FastModemClock();
  FastModemClock(const FastModemClock&) = delete;
  FastModemClock& operator=(const FastModemClock&) = delete;
  void SetHook(std::function<void()> hook);
};

// Something that happens to the modem once it has received the `nth`
// (from 1) copy of `command`, decided at the modem code's next clock reading,
// that is, while the code waits for that command's answer.
struct ModemMishap {
  enum Kind { kNone, kMute } kind = kNone;
  std::string command;
  int nth = 1;
};

// Arms `mishap` on `clock` for `sim`: kMute sets the line to a speed the
// modem does not hear (through a second handle: Wine's ports are not
// exclusive), so everything after that command goes unanswered.
class MishapArm {
 public:
  MishapArm(FastModemClock& clock, ModemSim& sim, const ModemMishap& mishap);
  ~MishapArm();
  MishapArm(const MishapArm&) = delete;
  MishapArm& operator=(const MishapArm&) = delete;
  bool Fired() const { return fired_; }

 private:
  FastModemClock& clock_;
  HANDLE second_ = INVALID_HANDLE_VALUE;
  bool fired_ = false;
};

// A comm handle closed on destruction.
class Port {
 public:
  explicit Port(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Port() { Close(); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (valid()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE h_;
};

// The simulator's port opened for overlapped I/O with the "open" time-outs
// at `baud` 8N1, as the direct road leaves it.
HANDLE OpenSimPort(const ModemSim& sim, unsigned baud = 115200);

// The number of handles this process holds: Wine does not refuse a second
// open of a COM port, so released handles are checked by counting.
DWORD HandleCount();

// A COM port of the prefix linked to a Linux file that is no serial line,
// removed on destruction. The default, a file the kernel opens read-only,
// refuses the open with "access denied".
class LinkedPort {
 public:
  explicit LinkedPort(int number, const char* target = "/sys/kernel/notes");
  ~LinkedPort();
  LinkedPort(const LinkedPort&) = delete;
  LinkedPort& operator=(const LinkedPort&) = delete;
  bool Ready() const { return ready_; }

 private:
  std::string link_;
  int number_ = 0;
  bool ready_ = false;
};

// "rate bytes" per command with the bytes escaped, for readable failures.
std::vector<std::string> RatedCommands(const ModemSim& sim);
std::string Escaped(const std::string& bytes);
std::string Joined(const std::vector<std::string>& commands);

// The message of the last ProbeBaudRates success at `baud`.
std::string InitialisedAt(unsigned baud);
