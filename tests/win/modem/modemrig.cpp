#include "modemrig.h"

#include <cstdio>

#include "modem/atchannel.h"
#include "modem/modemclock.h"

namespace {

unsigned g_factor = 1;
std::function<void()> g_hook;
ULONGLONG g_startTick = 0;
time_t g_startTime = 0;

time_t FastNow() {
  if (g_hook) g_hook();
  return g_startTime + static_cast<time_t>((GetTickCount64() - g_startTick) * g_factor / 1000);
}

void FastSleep(unsigned long ms) { Sleep(ms / g_factor); }

const ModemClock kFastClock = {FastNow, FastSleep};

}  // namespace

FastModemClock::FastModemClock(unsigned factor) {
  g_factor = factor ? factor : 1;
  g_startTick = GetTickCount64();
  g_startTime = time(nullptr);
  SetModemClock(&kFastClock);
}

FastModemClock::~FastModemClock() {
  SetModemClock(nullptr);
  g_hook = nullptr;
}

void FastModemClock::SetHook(std::function<void()> hook) { g_hook = std::move(hook); }

MishapArm::MishapArm(FastModemClock& clock, ModemSim& sim, const ModemMishap& mishap) : clock_(clock) {
  if (mishap.kind == ModemMishap::kNone) return;
  second_ = OpenSimPort(sim, 115200);
  clock_.SetHook([this, &sim, mishap] {
    if (fired_) return;
    auto seen = [&] {
      int n = 0;
      for (const std::string& c : sim.Commands())
        if (c == mishap.command) ++n;
      return n;
    };
    // The modem logs what was just sent a moment later: the command that this
    // wait is for must count, the next one cannot have been sent yet.
    for (DWORD start = GetTickCount(); seen() < mishap.nth && GetTickCount() - start < 150;) Sleep(10);
    if (seen() < mishap.nth) return;
    fired_ = true;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    GetCommState(second_, &dcb);
    dcb.BaudRate = 300;
    SetCommState(second_, &dcb);
  });
}

MishapArm::~MishapArm() {
  clock_.SetHook(nullptr);
  if (second_ != INVALID_HANDLE_VALUE) CloseHandle(second_);
}

HANDLE OpenSimPort(const ModemSim& sim, unsigned baud) {
  std::string name = sim.Port() + ":";
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  SetupComm(h, 1024, 1024);
  SetOpenTimeouts(h);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  GetCommState(h, &dcb);
  char mode[64];
  snprintf(mode, sizeof mode, "baud=%u parity=N data=8 stop=1", baud);
  BuildCommDCBA(mode, &dcb);
  SetCommState(h, &dcb);
  return h;
}

DWORD HandleCount() {
  DWORD n = 0;
  GetProcessHandleCount(GetCurrentProcess(), &n);
  return n;
}

namespace {

// Whether the prefix knows the port: anything but "not found" when opening it.
bool PortKnown(int number) {
  std::string device = "\\\\.\\COM" + std::to_string(number);
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return true;
  }
  DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

}  // namespace

LinkedPort::LinkedPort(int number, const char* target) {
  char prefix[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix)) return;
  number_ = number;
  link_ = std::string(prefix) + "/dosdevices/com" + std::to_string(number);
  RunLinuxCommand("/bin/ln -sfn " + std::string(target) + " " + link_);
  for (int i = 0; i < 100 && !PortKnown(number); ++i) Sleep(50);
  ready_ = PortKnown(number);
}

LinkedPort::~LinkedPort() {
  if (!link_.empty()) RunLinuxCommand("/bin/rm -f " + link_);
  for (int i = 0; i < 100 && PortKnown(number_); ++i) Sleep(50);
}

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 32 || c >= 127) {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out;
}

std::vector<std::string> RatedCommands(const ModemSim& sim) {
  std::vector<std::string> out;
  for (const ModemSimCommand& c : sim.Log()) out.push_back(std::to_string(c.rate) + " " + Escaped(c.bytes));
  return out;
}

std::string Joined(const std::vector<std::string>& commands) {
  std::string out;
  for (const std::string& c : commands) out += Escaped(c) + " | ";
  return out;
}

std::string InitialisedAt(unsigned baud) { return "Initialised modem at " + std::to_string(baud) + " bps"; }
