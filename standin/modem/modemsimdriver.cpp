#include "modemsimdriver.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "testfiles.h"

namespace {

const char kSimctl[] = ZARQ_MODEMSIM_DIR "/simctl";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The log's escapes: \r \n \t \\ and \xNN.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    char n = text[++i];
    if (n == 'r') out += '\r';
    else if (n == 'n') out += '\n';
    else if (n == 't') out += '\t';
    else if (n == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += char(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else out += n;
  }
  return out;
}

}  // namespace

bool RunLinuxCommand(const std::string& commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  // Wine starts a Linux program without a Windows process: hProcess stays
  // null and hThread holds leftover stack contents, sometimes the value of
  // one of our own handles (a socket, stdout). Close only real ones.
  if (pi.hProcess) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return true;
}

std::string WindowsPathOf(const std::string& linuxPath) {
  std::string out = "Z:";
  for (char c : linuxPath) out += c == '/' ? '\\' : c;
  return out;
}

// Opening a file under Z:\proc\self is done by the wineserver, so this is the
// server's Linux pid.
unsigned long WineServerPid() {
  std::string stat = ReadFileText("Z:\\proc\\self\\stat");
  return strtoul(stat.c_str(), nullptr, 10);
}

LinuxHelperFiles NewLinuxHelperFiles(const char* kind) {
  static LONG counter = 0;
  char base[160];
  snprintf(base, sizeof base, "/tmp/zarq-%s-%lu-%lu-%ld", kind, GetCurrentProcessId(), GetTickCount(),
           InterlockedIncrement(&counter));
  LinuxHelperFiles files;
  files.readyLinux = std::string(base) + ".ready";
  files.logLinux = std::string(base) + ".log";
  files.ready = WindowsPathOf(files.readyLinux);
  files.log = WindowsPathOf(files.logLinux);
  DeleteFileA(files.ready.c_str());
  DeleteFileA(files.log.c_str());
  return files;
}

std::string WaitForReadyLine(const std::string& ready) {
  std::string line;
  for (int i = 0; i < 300 && line.empty(); ++i) {
    Sleep(50);
    line = ReadFileText(ready);
  }
  return line;
}

ModemSim::ModemSim(const std::string& options) {
  LinuxHelperFiles files = NewLinuxHelperFiles("modemsim");
  ready_ = files.ready;
  log_ = files.log;

  char command[1024];
  snprintf(command, sizeof command, "/usr/bin/python3 %s start --ready %s --log %s --parent %lu --lifetime 3600 %s",
           kSimctl, files.readyLinux.c_str(), files.logLinux.c_str(), WineServerPid(), options.c_str());
  if (!RunLinuxCommand(command)) {
    error_ = "cannot run /usr/bin/python3";
    return;
  }
  std::string line = WaitForReadyLine(ready_);
  if (line.empty()) {
    error_ = "the simulator did not start within 15 s";
    return;
  }
  int number = 0;
  unsigned long pid = 0;
  if (sscanf(line.c_str(), "COM%d %lu", &number, &pid) != 2 || number <= 0) {
    error_ = line;
    DeleteFileA(ready_.c_str());
    return;
  }
  number_ = number;
  pid_ = pid;
  port_ = "COM" + std::to_string(number);
}

ModemSim::~ModemSim() {
  Stop();
  DeleteFileA(log_.c_str());
}

void ModemSim::Stop() {
  if (!number_) return;
  char command[512];
  snprintf(command, sizeof command, "/usr/bin/python3 %s stop %lu", kSimctl, pid_);
  if (RunLinuxCommand(command)) {
    // The simulator deletes its ready file after removing its COM link.
    for (int i = 0; i < 200 && PathExists(ready_); ++i) Sleep(50);
  }
  number_ = 0;
  port_.clear();
}

std::vector<ModemSimCommand> ModemSim::Log() const {
  std::vector<ModemSimCommand> out;
  std::string text = ReadFileText(log_);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) break;  // a line still being written
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    out.push_back({unsigned(strtoul(line.c_str(), nullptr, 10)), Unescape(line.substr(space + 1))});
  }
  return out;
}

std::vector<std::string> ModemSim::Commands() const {
  std::vector<std::string> out;
  for (const ModemSimCommand& c : Log()) out.push_back(c.bytes);
  return out;
}

int ModemSim::Deliver(const std::string& arguments) {
  if (!number_) return -1;
  static LONG counter = 0;
  char base[160];
  snprintf(base, sizeof base, "/tmp/zarq-deliver-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
  std::string script = std::string(base) + ".sh", status = std::string(base) + ".status";
  std::string windowsStatus = WindowsPathOf(status), windowsScript = WindowsPathOf(script);
  HANDLE h = CreateFileA(windowsScript.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return -1;
  std::string body = std::string("/usr/bin/python3 ") + kSimctl + " deliver " + std::to_string(pid_) + " " +
                     arguments + "\necho $? > " + status + ".tmp\nmv " + status + ".tmp " + status + "\n";
  DWORD written = 0;
  WriteFile(h, body.data(), DWORD(body.size()), &written, nullptr);
  CloseHandle(h);
  int result = -1;
  if (RunLinuxCommand("/bin/sh " + script)) {
    for (int i = 0; i < 400; ++i) {
      if (PathExists(windowsStatus)) {
        result = atoi(ReadFileText(windowsStatus).c_str());
        break;
      }
      Sleep(50);
    }
  }
  DeleteFileA(windowsScript.c_str());
  DeleteFileA(windowsStatus.c_str());
  return result;
}

void ModemSim::ClearLog() {
  HANDLE h = CreateFileA(log_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

std::string PortExchange(HANDLE port, const std::string& command, const char* until) {
  constexpr int kReadsForAnAnswer = 5;
  OVERLAPPED o = {};
  o.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD n = 0;
  if (!WriteFile(port, command.data(), DWORD(command.size()), &n, &o) && GetLastError() == ERROR_IO_PENDING)
    GetOverlappedResult(port, &o, &n, TRUE);
  std::string answer;
  char buf[512];
  for (int reads = 0; !until || (reads < kReadsForAnAnswer && answer.find(until) == std::string::npos); ++reads) {
    ResetEvent(o.hEvent);
    n = 0;
    if (!ReadFile(port, buf, sizeof buf, &n, &o)) {
      if (GetLastError() != ERROR_IO_PENDING) break;
      GetOverlappedResult(port, &o, &n, TRUE);
    }
    if (!n && !until) break;
    answer.append(buf, n);
  }
  CloseHandle(o.hEvent);
  return answer;
}
