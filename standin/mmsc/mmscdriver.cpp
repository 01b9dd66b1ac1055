#include "mmscdriver.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "modemsimdriver.h"

namespace {

const char kMmsc[] = ZARQ_MMSC_DIR "/mmsc.py";

std::string ReadWhole(const std::string& path) {
  std::string out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return out;
  char buf[4096];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

unsigned long WineServerPid() {
  std::string stat = ReadWhole("Z:\\proc\\self\\stat");
  return strtoul(stat.c_str(), nullptr, 10);
}

}  // namespace

MmscSim::MmscSim(const std::string& options, unsigned port) {
  static LONG counter = 0;
  char base[160];
  snprintf(base, sizeof base, "/tmp/zarq-mmsc-%lu-%lu-%ld", GetCurrentProcessId(), GetTickCount(),
           InterlockedIncrement(&counter));
  std::string readyLinux = std::string(base) + ".ready", logLinux = std::string(base) + ".log";
  ready_ = WindowsPathOf(readyLinux);
  log_ = WindowsPathOf(logLinux);
  DeleteFileA(ready_.c_str());
  DeleteFileA(log_.c_str());
  char command[2048];
  snprintf(command, sizeof command, "/usr/bin/python3 %s --port %u --ready %s --log %s --parent %lu --lifetime 3600 %s",
           kMmsc, port, readyLinux.c_str(), logLinux.c_str(), WineServerPid(), options.c_str());
  if (!RunLinuxCommand(command)) {
    error_ = "cannot run /usr/bin/python3";
    return;
  }
  std::string line;
  for (int i = 0; i < 300 && line.empty(); ++i) {
    Sleep(50);
    line = ReadWhole(ready_);
  }
  unsigned got = 0;
  unsigned long pid = 0;
  if (sscanf(line.c_str(), "%u %lu", &got, &pid) != 2 || got == 0) {
    error_ = line.empty() ? "the MMSC did not start within 15 s (" + ReadWhole(log_) + ")" : line;
    return;
  }
  port_ = got;
  pid_ = pid;
}

MmscSim::~MmscSim() {
  Stop();
  DeleteFileA(log_.c_str());
}

void MmscSim::Stop() {
  if (!port_) return;
  char command[128];
  snprintf(command, sizeof command, "/bin/kill -TERM %lu", pid_);
  if (RunLinuxCommand(command))
    for (int i = 0; i < 200 && GetFileAttributesA(ready_.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
  port_ = 0;
}

std::vector<std::string> MmscSim::Events() const {
  std::vector<std::string> out;
  std::string text = ReadWhole(log_);
  size_t pos = 0;
  for (size_t end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1)
    out.push_back(text.substr(pos, end - pos));
  return out;
}

std::vector<std::string> MmscSim::EventsWith(const std::string& text) const {
  std::vector<std::string> out;
  for (const std::string& e : Events())
    if (e.find(text) != std::string::npos) out.push_back(e);
  return out;
}
