// The message lists over 6000 generated files per store, each kind in turn:
//   bench_message_lists.exe [rounds [kind...]]     (kinds 0-3, default all; 7 rounds)
// - memory: the process's private bytes with the list open on 5000 rows
//   against the same list open on an empty store (target: at most 2 MB more);
// - sorting: one column click on 5000 rows against a plain sort of the same
//   field texts, in the same order, with the same comparison (target: 1.2);
// - refresh: one minute's refresh (scan, sort, swap) against the scan alone
//   (target: 1.1).
// The list runs on a second thread as the program runs it; this thread
// measures and drives it with the messages an operator's clicks produce.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/configstore.h"
#include "benchtools.h"
#include "gateway/zarqacct.h"
#include "pages/pages.h"
#include "resource.h"
#include "store/scanners.h"

namespace {

const int kFiles = 6000;
const int kSubdirs = 12;
const char* const kTitles[] = {"Outbound SMS Queue", "Outbound MMS Queue", "Received SMS Messages",
                               "Received MMS Messages"};
const char* const kStores[] = {"Q\\", "VASPQ\\", "SMS-IN\\", "MMS-IN\\"};
void (*const kScanners[])(ListRecord**, unsigned*, unsigned*) = {ScanSmsQueue, ScanMmsQueue, ScanSmsInbox,
                                                                  ScanMmsInbox};
// The sorted column: Recipient, whose texts differ from row to row.
const int kSortColumn = 2;

// Realistic messages; the recipients are shuffled so that a sort has work to do.
void Generate(int kind, const std::string& store) {
  for (int s = 0; s < kSubdirs; ++s) CreateDirectoryA((store + "R" + std::to_string(s)).c_str(), nullptr);
  char text[700], name[64];
  for (int i = 0; i < kFiles; ++i) {
    unsigned recipient = unsigned(i) * 7919u % 100000u;
    snprintf(name, sizeof name, "%sR%d\\M%05d", store.c_str(), i % kSubdirs, i);
    switch (kind) {
      case 0:
        snprintf(text, sizeof text,
                 "[SMS]\r\nPhoneNumber=+44770%05u\r\nData=Your parcel %d will arrive tomorrow between 9 and 12.\r\n"
                 "SubmitUser=user%d\r\nSubmittedBy=192.168.1.20\r\n%s",
                 recipient, i, i % 7, i % 3 ? "" : "[ErrorDetail]\r\nRetryCount=2\r\nLastErrorInfo=Modem busy\r\n");
        PutFile(std::string(name) + ".REQ", text);
        break;
      case 1:
        snprintf(text, sizeof text,
                 "[Routing]\r\nSenderAddress=+1555%05d\r\nRetryCount=%d\r\n[Recipients]\r\n"
                 "Recip1=+44770%05u/TYPE=PLMN\r\nRecip2=+44771%05u/TYPE=PLMN\r\n",
                 i, i % 3, recipient, recipient);
        PutFile(std::string(name) + ".INI", text);
        PutFile(std::string(name) + ".MMS", std::string(2000, 'm'));
        break;
      case 2:
        snprintf(text, sizeof text,
                 "[SMS-IN]\r\nSender=+44770%05u\r\nPhoneNumber=+447700900001\r\nModemName=COM1:\r\n"
                 "Data=Meeting moved to 15:00, room %d. See you there and bring the printed agenda please.\r\n",
                 recipient, i % 40);
        PutFile(std::string(name) + ".SMS", text);
        break;
      default:
        snprintf(text, sizeof text,
                 "From: +1555%05d/TYPE=PLMN\r\nTo: +44770%05u/TYPE=PLMN\r\nSubject: Photos from the site visit %d\r\n"
                 "X-ZarqMMS-Content-Location: R%d\\M%05d\\photo.jpg;image/jpeg\r\n"
                 "X-ZarqMMS-Content-Location: R%d\\M%05d\\text.txt;text/plain\r\n",
                 i, recipient, i, i % kSubdirs, i, i % kSubdirs, i);
        PutFile(std::string(name) + ".HDR", text);
    }
  }
}

// Committed private memory of this process: what "private bytes" counts.
SIZE_T PrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION info;
  for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    if (next <= p) break;
    p = next;
  }
  return total;
}

int CompareCells(const char* a, const char* b) { return lstrcmpiA(a, b); }

// One opening of a list on its own thread, as the page's button opens it.
class OpenList {
 public:
  explicit OpenList(int kind) : kind_(kind) {
    thread_ = std::thread([kind] { ShowMessageList(nullptr, static_cast<MessageListKind>(kind)); });
    for (int i = 0; i < 60000 && !dialog_; ++i) {
      dialog_ = FindWindowA(nullptr, kTitles[kind]);
      if (!dialog_ || !IsWindowVisible(dialog_)) dialog_ = nullptr, Sleep(10);
    }
    list_ = GetDlgItem(dialog_, IDC_SMSQ_LIST);
    SendMessageA(dialog_, WM_NULL, 0, 0);
  }
  ~OpenList() {
    PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
    thread_.join();
  }
  HWND dialog() const { return dialog_; }
  HWND list() const { return list_; }
  int Rows() const { return int(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
  std::string Cell(int row, int column) const {
    char text[600] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list_, LVM_GETITEMTEXTA, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    return text;
  }
  void ClickColumn(int column) const {
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list_;
    click.hdr.idFrom = IDC_SMSQ_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(dialog_, WM_NOTIFY, IDC_SMSQ_LIST, reinterpret_cast<LPARAM>(&click));
  }
  void Refresh() const { SendMessageA(dialog_, WM_TIMER, 1, 0); }
  // Lets the list's thread finish drawing, so that a timing does not include it.
  void Settle() const {
    RedrawWindow(dialog_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageA(dialog_, WM_NULL, 0, 0);
  }

 private:
  int kind_;
  std::thread thread_;
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
};

void Bench(int kind, const std::string& data, int rounds) {
  std::string store = data + kStores[kind];
  printf("\n%s, %d files\n", kTitles[kind], kFiles);
  // One opening throughout: the empty list, then the same list refreshed onto
  // 5000 rows. (A second opening would count the first one's thread stack,
  // which Wine releases late.)
  OpenList list(kind);
  SIZE_T empty = PrivateBytes();
  if (list.Rows() != 0) printf("  the store is not empty\n");
  double t0 = Now();
  Generate(kind, store);
  printf("  generated in %.1f s\n", (Now() - t0) / 1000);
  list.Refresh();
  SIZE_T full = PrivateBytes();
  printf("  rows %d; private bytes: empty list %.2f MB, 5000 rows %.2f MB, difference %.2f MB (target 2 MB)\n",
         list.Rows(), double(empty) / 1048576, double(full) / 1048576, (double(full) - double(empty)) / 1048576);

  // Each click sorts from the order the last one left (ascending, descending, ...);
  // the baseline sorts the same texts from that same order. The click reaches
  // the list's thread by a message, as the operator's does; the hand-over of
  // an empty message between the two threads is measured on its own.
  std::vector<double> clickMs, plainMs, handoverMs;
  int key = 0;
  for (int r = 0; r < rounds; ++r) {
    std::vector<std::string> texts;
    for (int row = 0, n = list.Rows(); row < n; ++row) texts.push_back(list.Cell(row, kSortColumn));
    std::vector<const char*> plain;
    for (const std::string& t : texts) plain.push_back(t.c_str());
    bool descending = key == kSortColumn + 1;
    list.Settle();
    double a = Now();
    if (descending)
      std::sort(plain.begin(), plain.end(), [](const char* x, const char* y) { return CompareCells(y, x) < 0; });
    else
      std::sort(plain.begin(), plain.end(), [](const char* x, const char* y) { return CompareCells(x, y) < 0; });
    double b = Now();
    SendMessageA(list.dialog(), WM_NULL, 0, 0);
    double c = Now();
    list.ClickColumn(kSortColumn);
    double d = Now();
    key = descending ? -(kSortColumn + 1) : kSortColumn + 1;
    plainMs.push_back(b - a);
    handoverMs.push_back(c - b);
    clickMs.push_back(d - c);
  }
  printf("  column sort of %d rows %.1f ms (best %.1f), plain sort of the texts %.1f ms (best %.1f), "
         "thread hand-over %.2f ms\n",
         list.Rows(), Median(clickMs), Best(clickMs), Median(plainMs), Best(plainMs), Median(handoverMs));
  printf("  sort ratio %.2f, of the best times %.2f (target 1.2)\n", Median(clickMs) / Median(plainMs),
         Best(clickMs) / Best(plainMs));

  // Refresh and scan alone, taking turns at going first.
  std::vector<double> refreshMs, scanMs;
  for (int r = 0; r < rounds; ++r) {
    for (int turn = 0; turn < 2; ++turn) {
      list.Settle();
      double a = Now();
      if ((turn + r) % 2 == 0) {
        list.Refresh();
        refreshMs.push_back(Now() - a);
      } else {
        ListRecord** records = NewScanArray();
        unsigned listed = 0, total = 0;
        kScanners[kind](records, &listed, &total);
        FreeScanArray(records, listed);
        scanMs.push_back(Now() - a);
      }
    }
  }
  printf("  refresh %.1f ms (best %.1f), scan alone %.1f ms (best %.1f)\n", Median(refreshMs), Best(refreshMs),
         Median(scanMs), Best(scanMs));
  printf("  refresh ratio %.2f, of the best times %.2f (target 1.1)\n", Median(refreshMs) / Median(scanMs),
         Best(refreshMs) / Best(scanMs));
}

}  // namespace

// Each kind in a process of its own, so that its memory figure starts from
// the same empty process.
int RunEachKind(int rounds, const std::vector<int>& kinds) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  SetHandleInformation(out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  fflush(stdout);
  int failures = 0;
  for (int kind : kinds) {
    char command[MAX_PATH + 64];
    snprintf(command, sizeof command, "\"%s\" %d %d", self, rounds, kind);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(self, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      ++failures;
      continue;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return failures;
}

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 7;
  if (rounds < 1) rounds = 1;
  std::vector<int> kinds;
  for (int i = 2; i < argc; ++i)
    if (atoi(argv[i]) >= 0 && atoi(argv[i]) < 4) kinds.push_back(atoi(argv[i]));
  if (kinds.empty()) kinds = {0, 1, 2, 3};
  if (kinds.size() > 1) {
    printf("Message lists, median of %d rounds\n", rounds);
    return RunEachKind(rounds, kinds);
  }

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  std::string dir = ScratchDirectory("zarq-listbench");
  UseDataDirectory(dir);
  for (const char* store : kStores) CreateDirectoryA((dir + store).c_str(), nullptr);

  for (int kind : kinds) Bench(kind, dir, rounds);
  fflush(stdout);
  DeleteDirectoryTree(dir.c_str());
  return 0;
}
