// Times ScanSmsQueue and ScanSmsInbox over 6000 files each against a plain
// walk of the same trees that opens and reads every file without parsing.
//   bench_store_scan.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "benchtools.h"
#include "gateway/zarqacct.h"
#include "store/scanners.h"

namespace {

const int kFiles = 6000;
const char* const kSubdirs[] = {"", "COM1-\\", "route2\\", "route3\\"};

std::string Request(int i) {
  char text[512];
  snprintf(text, sizeof text,
           "[SMS]\r\nPhoneNumber=+4477009%05d\r\nData=Your parcel %d will arrive tomorrow between 9 and 12.\\r\\n"
           "Reply STOP to opt out.\r\nSubmitUser=user%d\r\nSubmittedBy=192.168.1.20\r\nReceiptRequested=Yes\r\n%s",
           i, i, i % 7,
           i % 3 ? "" : "[ErrorDetail]\r\nRetryCount=2\r\nLastErrorInfo=Modem did not answer\r\n"
                        "LastRetryTime=20120216134501\r\nFirstAttemptTime=20120216120000\r\n");
  return text;
}

std::string Received(int i) {
  char head[256];
  snprintf(head, sizeof head, "[SMS-IN]\r\nSender=+4477009%05d\r\nPhoneNumber=+447700900001\r\nModemName=COM1:\r\n", i);
  switch (i % 3) {
    case 0:
      return std::string(head) + "Data=Meeting moved to 15:00, room 4.\\r\\nSee you there\r\n";
    case 1:
      return std::string(head) + "binary=Yes\r\ndcs=00\r\nudh=050003CC0201\r\nData=906536FB0D" +
             std::string(120, '0') + "\r\n";
    default:
      return std::string(head) + "binary=Yes\r\ndcs=08\r\nData=0048006900200020AC00210021\r\n";
  }
}

// The baseline: the same directories and patterns, every file opened and read
// (with a cap, only the first `cap` files, the others counted).
unsigned PlainWalk(const std::string& root, const char* const* patterns, size_t passes, unsigned cap = 0xFFFFFFFF) {
  unsigned files = 0, seen = 0;
  static char buf[8192];
  for (size_t p = 0; p < passes; ++p) {
    WIN32_FIND_DATAA d;
    HANDLE dirs = FindFirstFileA((root + "*").c_str(), &d);
    if (dirs == INVALID_HANDLE_VALUE) continue;
    do {
      if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !strcmp(d.cFileName, "..")) continue;
      std::string dir = strcmp(d.cFileName, ".") ? root + d.cFileName + "\\" : root;
      WIN32_FIND_DATAA f;
      HANDLE h = FindFirstFileA((dir + patterns[p]).c_str(), &f);
      if (h == INVALID_HANDLE_VALUE) continue;
      do {
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (seen++ >= cap) continue;
        HANDLE file = CreateFileA((dir + f.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        DWORD got;
        while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got) {
        }
        CloseHandle(file);
        ++files;
      } while (FindNextFileA(h, &f));
      FindClose(h);
    } while (FindNextFileA(dirs, &d));
    FindClose(dirs);
  }
  return files;
}

void Compare(const char* name, void (*scan)(ListRecord**, unsigned*, unsigned*), const std::string& root,
             const char* const* patterns, size_t passes, int rounds) {
  std::vector<double> scanMs, baseMs, cappedMs;
  unsigned listed = 0, total = 0, plain = 0;
  for (int r = 0; r <= rounds; ++r) {  // round 0 warms the caches and is not counted
    ListRecord** records = NewScanArray();
    double t0 = Now();
    scan(records, &listed, &total);
    double t1 = Now();
    FreeScanArray(records, listed);
    double t2 = Now();
    plain = PlainWalk(root, patterns, passes);
    double t3 = Now();
    PlainWalk(root, patterns, passes, kScanCap);
    double t4 = Now();
    if (r) {
      scanMs.push_back(t1 - t0);
      baseMs.push_back(t3 - t2);
      cappedMs.push_back(t4 - t3);
    }
  }
  double s = Median(scanMs), b = Median(baseMs), c = Median(cappedMs);
  printf("%-14s rows listed %5u  total count %5u  scan %7.1f ms\n", name, listed, total, s);
  printf("%-14s baseline, all %u files read %7.1f ms  ratio %.2f\n", "", plain, b, s / b);
  printf("%-14s baseline, first %u read     %7.1f ms  ratio %.2f\n", "", kScanCap, c, s / c);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 5;
  if (rounds < 1) rounds = 1;
  std::string dir = ScratchDirectory("zarq-bench");
  UseDataDirectory(dir);

  std::string queue = dir + "Q\\", inbox = dir + "SMS-IN\\";
  CreateDirectoryA(queue.c_str(), nullptr);
  CreateDirectoryA(inbox.c_str(), nullptr);
  for (int s = 1; s < 4; ++s) {
    CreateDirectoryA((queue + kSubdirs[s]).c_str(), nullptr);
    CreateDirectoryA((inbox + kSubdirs[s]).c_str(), nullptr);
  }
  static const char* const kExt[] = {".IN", ".REC", ".SMS"};
  for (int i = 0; i < kFiles; ++i) {
    char name[64];
    snprintf(name, sizeof name, "%s%05d.REQ", kSubdirs[i % 4], i);
    PutFile(queue + name, Request(i));
    snprintf(name, sizeof name, "%s%05d%s", kSubdirs[i % 4], i, kExt[(i / 4) % 3]);
    PutFile(inbox + name, Received(i));
  }

  static const char* const kQueuePatterns[] = {"*.REQ"};
  static const char* const kInboxPatterns[] = {"*.IN", "*.REC", "*.SMS"};
  printf("%d requests and %d received messages over the root and three subdirectories, median of %d rounds\n", kFiles,
         kFiles, rounds);
  Compare("ScanSmsQueue", ScanSmsQueue, queue, kQueuePatterns, 1, rounds);
  Compare("ScanSmsInbox", ScanSmsInbox, inbox, kInboxPatterns, 3, rounds);
  DeleteDirectoryTree(dir.c_str());
  return 0;
}
