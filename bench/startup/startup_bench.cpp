// Start-up time of ZARQCFG.EXE, from process start to its first visible
// window (the configuration sheet over a prepared data directory), against
// the same measure of the system's own winver.exe in the same run:
//   bench_startup.exe [ROUNDS]        (default 7; under Wine: tools/wine)
// Each round starts both programs once, one after the other, after one
// untimed start of each. Prints every time, the medians and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "testenv.h"

namespace {

struct FirstWindow {
  DWORD processId;
  HWND window;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<FirstWindow*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window)) {
    search->window = window;
    return FALSE;
  }
  return TRUE;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts `exe`, returns the seconds until it shows a visible top-level
// window (negative when it shows none within 60 s), then ends it.
double TimeToFirstWindow(const std::string& exe) {
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  LARGE_INTEGER begin, now;
  QueryPerformanceCounter(&begin);
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return -1;
  CloseHandle(info.hThread);
  double elapsed = -1;
  FirstWindow search = {info.dwProcessId, nullptr};
  for (;;) {
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    QueryPerformanceCounter(&now);
    if (search.window) {
      elapsed = Seconds(begin, now);
      break;
    }
    if (Seconds(begin, now) > 60 || WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  // Only the moment of the first window matters: end the program outright.
  TerminateProcess(info.hProcess, 0);
  WaitForSingleObject(info.hProcess, 10000);
  CloseHandle(info.hProcess);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 7;
  if (rounds < 1) rounds = 1;

  char here[MAX_PATH];
  GetModuleFileNameA(nullptr, here, sizeof here);
  std::string program(here);
  program.erase(program.find_last_of('\\') + 1);
  program += "ZARQCFG.EXE";
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string winver = std::string(system) + "\\winver.exe";

  // A configured gateway: the configuration sheet opens, not the wizard.
  ScratchDir data("startup");
  UseDataDirectory(data);
  WritePrivateProfileStringA("SMSGW", "Modem1", "Standard Modem", (data / "SMSGW.INI").c_str());

  if (TimeToFirstWindow(program) < 0 || TimeToFirstWindow(winver) < 0) {
    fprintf(stderr, "bench_startup: %s or %s showed no window\n", program.c_str(), winver.c_str());
    return 1;
  }
  std::vector<double> ours, baseline;
  for (int i = 0; i < rounds; ++i) {
    double a = TimeToFirstWindow(program);
    double b = TimeToFirstWindow(winver);
    if (a < 0 || b < 0) {
      fprintf(stderr, "bench_startup: round %d: no window\n", i + 1);
      return 1;
    }
    ours.push_back(a);
    baseline.push_back(b);
    printf("round %d: ZARQCFG.EXE %.3f s, winver.exe %.3f s\n", i + 1, a, b);
  }
  double ratio = Median(ours) / Median(baseline);
  printf("median start to first visible window: ZARQCFG.EXE %.3f s, winver.exe %.3f s\n", Median(ours),
         Median(baseline));
  printf("ratio %.2f (target at most 1.50): %s\n", ratio, ratio <= 1.5 ? "met" : "NOT met");
  return 0;
}
