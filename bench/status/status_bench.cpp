// Times the Status page's one-second refresh with 201 configured modems, each
// with a route error file, both status blocks published by the running
// stand-in services and every counter file present, against a baseline
// measured in the same run: one read of the [SMSGW] section plus opening and
// reading the same counter and route files. Then the queue walk that runs
// every 10 s, over 6000 requests, against a plain walk of the same tree.
//   bench_status_refresh.exe [ticks]
// It installs and starts the stand-in services from its own directory with
// the gateway's data in a scratch directory, and removes them at the end (as
// the service tests do): do not run it beside a prefix's demo services.
#include <windows.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "benchtools.h"
#include "core/daycounter.h"
#include "gateway/zarqacct.h"
#include "pages/pages.h"
#include "service/services.h"
#include "store/queuecount.h"

namespace {

const int kModems = 201;
const int kRequests = 6000;
const char* const kCounters[] = {"SMSSUBMIT", "SMSSENT",     "SMSRECEIVED", "SMSFAILED",   "SMSRETRY",
                                 "MMSIN-VASP", "MMSIN-USER", "MMSOUT-VASP", "MMSOUT-MMSC", "MMSIN-MODEM"};
const char* const kRegistryValues[] = {"ProgramDataDirectory", "PrivateDataDirectory"};

void ReadWhole(const std::string& path) {
  static char buf[2048];
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD got;
  ReadFile(h, buf, sizeof buf, &got, nullptr);
  CloseHandle(h);
}

// The gateway's data in `dir`, for this process and (through the registry)
// for the services; the registry's values come back at the end.
struct DataDirectory {
  std::string dir;
  std::string saved[2];
  bool had[2] = {};

  explicit DataDirectory(const std::string& path) : dir(path) {
    UseDataDirectory(dir);
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZarqSMS", 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      for (int i = 0; i < 2; ++i) {
        char value[MAX_PATH] = "";
        DWORD size = sizeof value - 1;
        had[i] = RegQueryValueExA(key, kRegistryValues[i], nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                 ERROR_SUCCESS;
        saved[i] = value;
        RegSetValueExA(key, kRegistryValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(dir.c_str()),
                       DWORD(dir.size() + 1));
      }
      RegCloseKey(key);
    }
  }
  ~DataDirectory() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZarqSMS", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) ==
        ERROR_SUCCESS) {
      for (int i = 0; i < 2; ++i) {
        if (had[i])
          RegSetValueExA(key, kRegistryValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(saved[i].c_str()),
                         DWORD(saved[i].size() + 1));
        else
          RegDeleteValueA(key, kRegistryValues[i]);
      }
      RegCloseKey(key);
    }
    DeleteDirectoryTree(dir.c_str());
  }
};

// The paths one tick reads: route files of every modem, this year's counter
// files (and last year's while the 30 days reach into it).
std::vector<std::string> TickFiles(const std::string& dir) {
  std::vector<std::string> files;
  for (int i = 1; i <= kModems; ++i) files.push_back(dir + "Bench Modem " + std::to_string(i) + ".ERR");
  SYSTEMTIME today;
  GetLocalTime(&today);
  for (const char* name : kCounters) {
    char file[MAX_PATH];
    CounterFileName(name, today.wYear, file, sizeof file);
    files.push_back(dir + file);
    if (CounterNeedsPreviousYear(today.wYear, today.wMonth, today.wDay)) {
      CounterFileName(name, today.wYear - 1u, file, sizeof file);
      files.push_back(dir + file);
    }
  }
  return files;
}

void Populate(const std::string& dir) {
  std::string section = "[SMSGW]\r\nWebPort=18877\r\nDebug=Yes\r\n";
  for (int i = 1; i <= kModems; ++i) {
    section += "Modem" + std::to_string(i) + "=Bench Modem " + std::to_string(i) + "\r\n";
    PutFile(dir + "Bench Modem " + std::to_string(i) + ".ERR", "Modem not responding (AT command timed out)");
  }
  PutFile(g_SmsgwIni, section);
  CreateDirectoryA((dir + "STATS").c_str(), nullptr);
  SYSTEMTIME today;
  GetLocalTime(&today);
  std::string counts(kCounterFileSize, '\x01');
  for (const char* name : kCounters)
    for (unsigned year : {unsigned(today.wYear), today.wYear - 1u}) {
      char file[MAX_PATH];
      CounterFileName(name, year, file, sizeof file);
      PutFile(dir + file, counts);
    }
}

void PopulateQueue(const std::string& dir) {
  const char* subdirs[] = {"", "COM1-\\", "route2\\", "route3\\"};
  for (const char* s : subdirs) CreateDirectoryA((dir + "Q\\" + s).c_str(), nullptr);
  for (int i = 0; i < kRequests; ++i)
    PutFile(dir + "Q\\" + subdirs[i % 4] + "B" + std::to_string(i) + ".REQ",
          "[SMS]\r\nPhoneNumber=+447700900123\r\nData=Bench\r\n");
}

unsigned PlainQueueWalk(const std::string& root) {
  unsigned n = 0;
  WIN32_FIND_DATAA d;
  HANDLE dirs = FindFirstFileA((root + "*").c_str(), &d);
  if (dirs == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !strcmp(d.cFileName, "..")) continue;
    std::string sub = strcmp(d.cFileName, ".") ? root + d.cFileName + "\\" : root;
    WIN32_FIND_DATAA f;
    HANDLE files = FindFirstFileA((sub + "*.REQ").c_str(), &f);
    if (files == INVALID_HANDLE_VALUE) continue;
    do
      if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    while (FindNextFileA(files, &f));
    FindClose(files);
  } while (FindNextFileA(dirs, &d));
  FindClose(dirs);
  return n;
}

bool WaitForServices() {
  for (int i = 0; i < 600; ++i) {
    if (IsSmsServiceActive() && IsMmscServiceActive()) {
      StatusBlock sms, mmsc;
      bool both = OpenStatusBlock(Gateway::Sms, &sms) && OpenStatusBlock(Gateway::Mmsc, &mmsc);
      CloseStatusBlock(&sms);
      CloseStatusBlock(&mmsc);
      if (both) return true;
    }
    Sleep(100);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int ticks = argc > 1 ? atoi(argv[1]) : 100;
  if (ticks < 1) ticks = 1;
  DataDirectory data(ScratchDirectory("zarq-status-bench"));
  const std::string& dir = data.dir;
  Populate(dir);

  printf("installing and starting the stand-in services...\n");
  fflush(stdout);
  if (!InstallServices(true) || !WaitForServices()) {
    fprintf(stderr, "the services did not start\n");
    RemoveServices(true);
    return 1;
  }

  // The page itself, as the sheet makes it, under a hidden parent.
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HWND parent = CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
  void* state = kStatusPage.newState();
  PROPSHEETPAGEA record = {};
  record.dwSize = sizeof record;
  record.lParam = reinterpret_cast<LPARAM>(state);
  HWND page = CreateDialogParamA(instance, "DIALOG_STATUS", parent, kStatusPage.procedure,
                                 reinterpret_cast<LPARAM>(&record));
  if (!page) {
    fprintf(stderr, "the page could not be made (%lu)\n", GetLastError());
    RemoveServices(true);
    return 1;
  }
  char info[2048] = "";
  GetDlgItemTextA(page, 105, info, sizeof info);
  char line[256] = "";
  GetDlgItemTextA(page, 107, line, sizeof line);

  std::vector<std::string> files = TickFiles(dir);
  std::vector<double> tick, baseline, services;
  std::vector<char> section(65536);
  for (int i = 0; i < ticks; ++i) {
    double t0 = Now();
    SendMessageA(page, WM_TIMER, 1, 0);
    double t1 = Now();
    GetPrivateProfileSectionA("SMSGW", section.data(), DWORD(section.size()), g_SmsgwIni);
    for (const std::string& f : files) ReadWhole(f);
    double t2 = Now();
    QueryServicePair();
    double t3 = Now();
    tick.push_back(t1 - t0);
    baseline.push_back(t2 - t1);
    services.push_back(t3 - t2);
  }
  DestroyWindow(page);
  DestroyWindow(parent);
  kStatusPage.deleteState(state);

  PopulateQueue(dir);
  std::vector<double> walk, plain;
  unsigned counted = 0, seen = 0;
  for (int i = 0; i < 5; ++i) {
    double t0 = Now();
    counted = CountSmsQueue();
    double t1 = Now();
    seen = PlainQueueWalk(dir + "Q\\");
    double t2 = Now();
    walk.push_back(t1 - t0);
    plain.push_back(t2 - t1);
  }

  printf("status line: %s; information block: %zu characters\n", line, strlen(info));
  printf("refresh tick (%d modems with route errors, %zu files): median %.2f ms over %d ticks\n", kModems,
         files.size(), Median(tick), ticks);
  printf("baseline ([SMSGW] read once + the same files opened and read): median %.2f ms\n", Median(baseline));
  printf("ratio: %.2f (target at most 1.5)\n", Median(tick) / Median(baseline));
  printf("of the tick, the service manager's answer for both services: median %.2f ms\n", Median(services));
  printf("queue walk over %d requests: median %.1f ms (counted %u); plain walk %.1f ms (%u); ratio %.2f\n", kRequests,
         Median(walk), counted, Median(plain), seen, Median(walk) / Median(plain));

  RemoveServices(true);
  return 0;
}
