// The event viewer, run in this process, fed records in the platform's own
// EVENTLOGRECORD layout through the event-log binding: which it lists and
// how, chunk by chunk, a list that refuses an entry, a log that cannot be
// opened, and Clear Event Log.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gateway/eventlog.h"
#include "pages/pages.h"
#include "resource.h"
#include "uiauto.h"

namespace {

constexpr char kProduct[] = "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)";
constexpr char kTooMany[] = "Too many events.  Please use Windows Event Log viewer to view all events.";
constexpr char kClearQuestion[] =
    "This will clear all events from the application event log for this system, which includes events from "
    "applications other than ZarqSMS.\r\n\r\nContinue?";
constexpr DWORD kWaitMs = 10000;

// The log the viewer reads: records numbered from `oldest`, handed out at
// most `perRead` to a read.
struct FakeLog {
  std::vector<std::vector<unsigned char>> records;
  DWORD oldest = 1;
  size_t perRead = 2;
  DWORD position = 0;
  bool openFails = false;
  int clears = 0;
  int opens = 0;
} g_log;
// The viewer's thread reads while the test adds.
std::mutex g_logLock;

template <typename Read>
auto Locked(Read read) {
  std::lock_guard<std::mutex> lock(g_logLock);
  return read();
}

std::vector<unsigned char> Record(DWORD number, WORD type, const char* source, const char* text) {
  std::vector<unsigned char> r(sizeof(EVENTLOGRECORD));
  auto add = [&](const char* s) { r.insert(r.end(), s, s + strlen(s) + 1); };
  add(source);
  add("HOST");
  while (r.size() % 4) r.push_back(0);
  DWORD strings = DWORD(r.size());
  if (text) add(text);
  while (r.size() % 4) r.push_back(0);
  r.resize(r.size() + 4);
  EVENTLOGRECORD fixed = {};
  fixed.Length = DWORD(r.size());
  fixed.Reserved = 0x654c664c;
  fixed.RecordNumber = number;
  fixed.TimeGenerated = fixed.TimeWritten = 1329398705;  // 2012-02-16 13:25:05 UTC
  fixed.EventType = type;
  fixed.NumStrings = text ? 1 : 0;
  fixed.StringOffset = strings;
  fixed.UserSidOffset = strings;
  fixed.DataOffset = DWORD(r.size() - 4);
  memcpy(r.data(), &fixed, sizeof fixed);
  memcpy(r.data() + r.size() - 4, &fixed.Length, 4);
  return r;
}

void Add(WORD type, const char* source, const char* text) {
  std::lock_guard<std::mutex> lock(g_logLock);
  DWORD number = g_log.oldest + DWORD(g_log.records.size());
  g_log.records.push_back(Record(number, type, source, text));
}

HANDLE WINAPI FakeOpen(LPCSTR server, LPCSTR name) {
  std::lock_guard<std::mutex> lock(g_logLock);
  ++g_log.opens;
  if (g_log.openFails || server || strcmp(name, "Application") != 0) return nullptr;
  return reinterpret_cast<HANDLE>(0x5A5A);
}
BOOL WINAPI FakeClose(HANDLE) { return TRUE; }
BOOL WINAPI FakeOldest(HANDLE, PDWORD oldest) {
  std::lock_guard<std::mutex> lock(g_logLock);
  *oldest = g_log.records.empty() ? 0 : g_log.oldest;
  return TRUE;
}
BOOL WINAPI FakeCount(HANDLE, PDWORD count) {
  std::lock_guard<std::mutex> lock(g_logLock);
  *count = DWORD(g_log.records.size());
  return TRUE;
}
BOOL WINAPI FakeRead(HANDLE, DWORD flags, DWORD number, LPVOID buffer, DWORD size, DWORD* read, DWORD* needed) {
  std::lock_guard<std::mutex> lock(g_logLock);
  *read = *needed = 0;
  DWORD start = (flags & EVENTLOG_SEEK_READ) ? number : g_log.position;
  size_t i = start - g_log.oldest;
  if (start < g_log.oldest || i >= g_log.records.size()) {
    SetLastError(ERROR_HANDLE_EOF);
    return FALSE;
  }
  for (size_t n = 0; n < g_log.perRead && i < g_log.records.size() && *read + g_log.records[i].size() <= size; ++n, ++i) {
    memcpy(static_cast<char*>(buffer) + *read, g_log.records[i].data(), g_log.records[i].size());
    *read += DWORD(g_log.records[i].size());
  }
  g_log.position = g_log.oldest + DWORD(i);
  return TRUE;
}
BOOL WINAPI FakeClear(HANDLE, LPCSTR backup) {
  std::lock_guard<std::mutex> lock(g_logLock);
  ++g_log.clears;
  EXPECT_EQ(backup, nullptr);
  g_log.records.clear();
  g_log.oldest = 1;
  return TRUE;
}

// A list that refuses the entry "three" while `g_refusing` is set.
WNDPROC g_listProc;
std::atomic<bool> g_refusing{false};
LRESULT CALLBACK RefusingList(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == LB_INSERTSTRING && g_refusing && strstr(reinterpret_cast<const char*>(lParam), "three"))
    return LB_ERRSPACE;
  return CallWindowProcA(g_listProc, list, message, wParam, lParam);
}

class EventViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = EventLog();
    g_log = FakeLog();
    BindEventLog({FakeOpen, FakeClose, FakeOldest, FakeCount, FakeRead, FakeClear, nullptr, nullptr, nullptr});
  }
  void TearDown() override {
    if (dialog_) PostMessageA(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (thread_.joinable()) thread_.join();
    BindEventLog(saved_);
  }

  // Opens the viewer on a thread of its own and waits for its first refresh.
  void Open() {
    thread_ = std::thread([this] { result_ = RunEventLogDialog(nullptr); });
    ASSERT_TRUE(ui::WaitUntil(
        [&] {
          for (HWND w : ui::TopWindows(GetCurrentProcessId()))
            if (ui::WindowText(w) == "Event Log") dialog_ = w;
          return dialog_ != nullptr;
        },
        kWaitMs));
    list_ = GetDlgItem(dialog_, IDC_EVENT_LIST);
    SendMessageA(dialog_, WM_NULL, 0, 0);
  }

  // The timer's refresh, at once.
  void Refresh() { SendMessageA(dialog_, WM_TIMER, 1, 0); }

  // The list's entries without their time, which must have its form.
  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    LRESULT n = SendMessageA(list_, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      char text[2100] = "";
      SendMessageA(list_, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
      std::string line = text;
      EXPECT_TRUE(line.size() > 22 && line[4] == '-' && line[7] == '-' && line[13] == ':' &&
                  line.substr(19, 3) == " - ")
          << line;
      out.push_back(line.size() > 22 ? line.substr(22) : line);
    }
    return out;
  }

  ui::MessageBoxInfo Box(const std::string& text) {
    ui::MessageBoxInfo box;
    EXPECT_TRUE(ui::FindMessageBox(GetCurrentProcessId(), &box, kWaitMs)) << text;
    EXPECT_EQ(box.text, text);
    return box;
  }

  void Answer(const ui::MessageBoxInfo& box, int button) {
    ui::AnswerMessageBox(box, button);
    ui::WaitGone(box.window, kWaitMs);
    SendMessageA(dialog_, WM_NULL, 0, 0);
  }

  EventLogFunctions saved_ = {};
  std::thread thread_;
  INT_PTR result_ = -1;
  HWND dialog_ = nullptr;
  HWND list_ = nullptr;
};

TEST_F(EventViewTest, ListsTheGatewaysEventsNewestFirstOverSeveralReads) {
  Add(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "ZarqSMS service started");
  Add(EVENTLOG_ERROR_TYPE, "ZarqMMSC", "not ours");
  Add(EVENTLOG_WARNING_TYPE, "zarqsms", "Modem off-line");
  Add(EVENTLOG_ERROR_TYPE, "Application Error", "not ours either");
  Add(EVENTLOG_AUDIT_SUCCESS, "ZarqSMS", "audit success");
  Add(EVENTLOG_AUDIT_FAILURE, "ZARQSMS", "audit failure");
  Add(EVENTLOG_ERROR_TYPE, "ZarqSMS", "Message to +15550100 given up");
  Add(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", nullptr);
  Open();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Info: ", "Error: Message to +15550100 given up",
                                                 "Info: audit failure", "Info: audit success",
                                                 "Warning: Modem off-line", "Info: ZarqSMS service started"}));
  // The time is the record's, in local time.
  char text[2100] = "";
  SendMessageA(list_, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
  FILETIME utc = {};
  ULARGE_INTEGER t;
  t.QuadPart = 1329398705ull * 10000000ull + 116444736000000000ull;
  utc.dwLowDateTime = t.LowPart, utc.dwHighDateTime = t.HighPart;
  SYSTEMTIME u, l;
  FileTimeToSystemTime(&utc, &u);
  SystemTimeToTzSpecificLocalTime(nullptr, &u, &l);
  char want[32];
  snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d - ", l.wYear, l.wMonth, l.wDay, l.wHour, l.wMinute,
           l.wSecond);
  EXPECT_EQ(std::string(text, 22), want);

  // Nothing new: nothing changes; two new events: on top, the newest first.
  Refresh();
  EXPECT_EQ(Entries().size(), 6u);
  Add(EVENTLOG_WARNING_TYPE, "ZarqSMS", "first new");
  Add(EVENTLOG_INFORMATION_TYPE, "ZarqMMSC", "skipped");
  Add(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "second new");
  Refresh();
  std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[0], "Info: second new");
  EXPECT_EQ(entries[1], "Warning: first new");

  ui::ClickItem(dialog_, IDOK);
  thread_.join();
  EXPECT_EQ(result_, 1);
  dialog_ = nullptr;
}

TEST_F(EventViewTest, ARefusedEntryWarnsAndIsReadAgainWithTheRestOfItsChunk) {
  Add(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "one");
  Open();
  g_listProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingList)));
  g_refusing = true;
  Locked([] { return g_log.perRead = 3; });
  for (const char* text : {"two", "three", "four", "five"}) Add(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", text);
  PostMessageA(dialog_, WM_TIMER, 1, 0);
  ui::MessageBoxInfo box = Box(kTooMany);
  EXPECT_EQ(box.caption, "Warning");
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  Answer(box, IDOK);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Info: two", "Info: one"}));

  // Room again: the refused record and those after it come, each once.
  g_refusing = false;
  Refresh();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Info: five", "Info: four", "Info: three", "Info: two", "Info: one"}));
  SetWindowLongPtrA(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
}

TEST_F(EventViewTest, ALogThatCannotBeOpenedIsReportedAndClearEmptiesTheList) {
  g_log.openFails = true;
  thread_ = std::thread([this] { result_ = RunEventLogDialog(nullptr); });
  ui::MessageBoxInfo box = Box("Unable to open event log");
  EXPECT_EQ(box.caption, kProduct);
  EXPECT_EQ(box.icon, ui::Icon::Error);
  Locked([] { return g_log.openFails = false; });
  Add(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "before the clear");
  ui::AnswerMessageBox(box, IDOK);
  ASSERT_TRUE(ui::WaitUntil(
      [&] {
        for (HWND w : ui::TopWindows(GetCurrentProcessId()))
          if (ui::WindowText(w) == "Event Log") dialog_ = w;
        return dialog_ != nullptr;
      },
      kWaitMs));
  list_ = GetDlgItem(dialog_, IDC_EVENT_LIST);
  Refresh();
  EXPECT_EQ(Entries(), std::vector<std::string>{"Info: before the clear"});

  // No: nothing is cleared.
  ui::ClickItem(dialog_, IDC_EVENT_CLEAR);
  box = Box(kClearQuestion);
  EXPECT_EQ(box.caption, kProduct);
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  Answer(box, IDNO);
  EXPECT_EQ(Locked([] { return g_log.clears; }), 0);
  EXPECT_EQ(Entries().size(), 1u);

  // Yes: cleared, the list emptied, and reading starts again from the oldest
  // (the clear opens the log once, its refresh once more).
  int opens = Locked([] { return g_log.opens; });
  ui::ClickItem(dialog_, IDC_EVENT_CLEAR);
  Answer(Box(kClearQuestion), IDYES);
  EXPECT_TRUE(ui::WaitUntil([&] { return Locked([] { return g_log.opens; }) >= opens + 2; }, kWaitMs));
  SendMessageA(dialog_, WM_NULL, 0, 0);
  EXPECT_EQ(Locked([] { return g_log.clears; }), 1);
  EXPECT_TRUE(Entries().empty());
  Add(EVENTLOG_ERROR_TYPE, "ZarqSMS", "after the clear");
  Refresh();
  EXPECT_EQ(Entries(), std::vector<std::string>{"Error: after the clear"});

  ui::ClickItem(dialog_, IDCANCEL);
  thread_.join();
  EXPECT_EQ(result_, 0);
  dialog_ = nullptr;
}

}  // namespace
