#include "mmscdriver.h"

#include <windows.h>

#include <cstdio>

#include "modemsimdriver.h"
#include "testfiles.h"

namespace {

const char kMmsc[] = ZARQ_MMSC_DIR "/mmsc.py";

}  // namespace

MmscSim::MmscSim(const std::string& options, unsigned port) {
  LinuxHelperFiles files = NewLinuxHelperFiles("mmsc");
  ready_ = files.ready;
  log_ = files.log;
  char command[2048];
  snprintf(command, sizeof command, "/usr/bin/python3 %s --port %u --ready %s --log %s --parent %lu --lifetime 3600 %s",
           kMmsc, port, files.readyLinux.c_str(), files.logLinux.c_str(), WineServerPid(), options.c_str());
  if (!RunLinuxCommand(command)) {
    error_ = "cannot run /usr/bin/python3";
    return;
  }
  std::string line = WaitForReadyLine(ready_);
  unsigned got = 0;
  unsigned long pid = 0;
  if (sscanf(line.c_str(), "%u %lu", &got, &pid) != 2 || got == 0) {
    error_ = line.empty() ? "the MMSC did not start within 15 s (" + ReadFileText(log_) + ")" : line;
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
    for (int i = 0; i < 200 && PathExists(ready_); ++i) Sleep(50);
  port_ = 0;
}

std::vector<std::string> MmscSim::Events() const {
  std::vector<std::string> out;
  std::string text = ReadFileText(log_);
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
