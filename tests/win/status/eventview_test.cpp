// The event viewer, run in this process over a log of the test's own (the
// file-backed log beside the test, reached through the event-log binding):
// which records it lists and how, over several reads, a list that refuses an
// entry, a log that cannot be opened, and Clear Event Log.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gateway/eventlog.h"
#include "pages/pages.h"
#include "resource.h"
#include "testenv.h"
#include "uiauto.h"

namespace {

constexpr char kClearQuestion[] =
    "This will clear all events from the application event log for this system, which includes events from "
    "applications other than ZarqSMS.\r\n\r\nContinue?";
constexpr DWORD kWaitMs = 10000;

// A list that refuses the entries holding "refused" while `g_refusing` is set.
WNDPROC g_listProc;
std::atomic<bool> g_refusing{false};
LRESULT CALLBACK RefusingList(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == LB_INSERTSTRING && g_refusing && strstr(reinterpret_cast<const char*>(lParam), "refused"))
    return LB_ERRSPACE;
  return CallWindowProcA(g_listProc, list, message, wParam, lParam);
}

std::atomic<bool> g_openFails{false};
HANDLE(WINAPI* g_open)(LPCSTR, LPCSTR);
HANDLE WINAPI OpenOrFail(LPCSTR server, LPCSTR log) { return g_openFails ? nullptr : g_open(server, log); }

class EventViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("ZARQ_EVENTLOG_FILE", (dir_ / "AppEvent.Evt").c_str());
    saved_ = EventLog();
    EventLogFunctions log = saved_;
    g_open = log.OpenEventLogA;
    log.OpenEventLogA = OpenOrFail;
    BindEventLog(log);
  }
  void TearDown() override {
    if (dialog_) PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
    if (thread_.joinable()) thread_.join();
    BindEventLog(saved_);
    g_openFails = false;
    SetEnvironmentVariableA("ZARQ_EVENTLOG_FILE", nullptr);
  }

  void Report(WORD type, const char* source, const std::string& text) {
    HANDLE h = saved_.RegisterEventSourceA(nullptr, source);
    const char* strings[] = {text.c_str()};
    saved_.ReportEventA(h, type, 0, 0, nullptr, 1, 0, strings, nullptr);
    saved_.DeregisterEventSource(h);
  }

  // Runs the viewer on a thread of its own.
  void Start() { thread_ = std::thread([this] { result_ = RunEventLogDialog(nullptr); }); }
  void Open() {
    Start();
    FindDialog();
  }
  // `dialog_` once the viewer shows.
  void FindDialog() {
    ASSERT_TRUE(ui::WaitUntil(
        [&] {
          for (HWND w : ui::TopWindows(GetCurrentProcessId()))
            if (ui::WindowText(w) == "Event Log" && IsWindowVisible(w)) dialog_ = w;
          return dialog_ != nullptr;
        },
        kWaitMs));
  }

  void Refresh() { SendMessageA(dialog_, WM_TIMER, 1, 0); }  // the timer's refresh, at once

  // The entries without their time, which must have its form.
  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    HWND list = GetDlgItem(dialog_, IDC_EVENT_LIST);
    for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
      char text[2100] = "";
      SendMessageA(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
      std::string line = text;
      EXPECT_TRUE(line.size() >= 22 && line[4] == '-' && line[13] == ':' && line.substr(19, 3) == " - ") << line;
      out.push_back(line.size() >= 22 ? line.substr(22) : line);
    }
    return out;
  }

  // Answers the box with `text` and waits for the viewer's handler to end.
  ui::MessageBoxInfo Answer(const std::string& text, int button) {
    ui::MessageBoxInfo box;
    EXPECT_TRUE(ui::FindMessageBox(GetCurrentProcessId(), &box, kWaitMs)) << text;
    EXPECT_EQ(box.text, text);
    ui::AnswerMessageBox(box, button);
    ui::WaitGone(box.window, kWaitMs);
    if (dialog_) SendMessageA(dialog_, WM_NULL, 0, 0);
    return box;
  }

  ScratchDir dir_{"evview"};
  EventLogFunctions saved_ = {};
  std::thread thread_;
  INT_PTR result_ = -1;
  HWND dialog_ = nullptr;
};

TEST_F(EventViewTest, ListsTheGatewaysEventsNewestFirstWithTheirTypeWords) {
  Report(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "ZarqSMS service started");
  Report(EVENTLOG_ERROR_TYPE, "ZarqMMSC", "not ours");
  Report(EVENTLOG_WARNING_TYPE, "zarqsms", "Modem off-line");
  Report(EVENTLOG_ERROR_TYPE, "Application Error", "not ours either");
  Report(EVENTLOG_AUDIT_SUCCESS, "ZarqSMS", "audit success");
  Report(EVENTLOG_AUDIT_FAILURE, "ZARQSMS", "audit failure");
  Report(EVENTLOG_ERROR_TYPE, "ZarqSMS", "Message to +15550100 given up");
  Open();
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Error: Message to +15550100 given up", "Info: audit failure",
                                                 "Info: audit success", "Warning: Modem off-line",
                                                 "Info: ZarqSMS service started"}));
  // Two new events, between refreshes: on top, the newest first.
  Report(EVENTLOG_WARNING_TYPE, "ZarqSMS", "first new");
  Report(EVENTLOG_INFORMATION_TYPE, "ZarqMMSC", "skipped");
  Report(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "second new");
  Refresh();
  std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0] + " / " + entries[1], "Info: second new / Warning: first new");
  ui::ClickItem(dialog_, IDOK);
  thread_.join();
  EXPECT_EQ(result_, 1);
  dialog_ = nullptr;
}

TEST_F(EventViewTest, ARefusedEntryWarnsAndIsReadAgainWithTheRestOfItsRead) {
  Open();
  g_listProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(GetDlgItem(dialog_, IDC_EVENT_LIST), GWLP_WNDPROC,
                                                           reinterpret_cast<LONG_PTR>(RefusingList)));
  // About 3 KB each: the 131072-byte reads take some 40 at a time.
  for (int i = 0; i < 100; ++i)
    Report(EVENTLOG_INFORMATION_TYPE, "ZarqSMS",
           std::to_string(i) + (i == 20 ? " refused " : " ") + std::string(3000, 'e'));
  g_refusing = true;
  PostMessageA(dialog_, WM_TIMER, 1, 0);
  ui::MessageBoxInfo box = Answer("Too many events.  Please use Windows Event Log viewer to view all events.", IDOK);
  EXPECT_EQ(box.caption, "Warning");
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(Entries().size(), 20u);

  // Room again: the refused record and every one after it, each once, in order.
  g_refusing = false;
  Refresh();
  std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(entries[99 - i].rfind("Info: " + std::to_string(i) + " ", 0), 0u) << i;
}

TEST_F(EventViewTest, ALogThatCannotBeOpenedIsReportedAndClearEmptiesTheList) {
  g_openFails = true;
  Start();
  ui::MessageBoxInfo box;
  ASSERT_TRUE(ui::FindMessageBox(GetCurrentProcessId(), &box, kWaitMs));
  EXPECT_EQ(box.text, "Unable to open event log");
  EXPECT_EQ(box.caption, "Zarq SMS/MMS Gateway Lite Edition (v2012.02.16)");
  EXPECT_EQ(box.icon, ui::Icon::Error);
  g_openFails = false;
  Report(EVENTLOG_INFORMATION_TYPE, "ZarqSMS", "before the clear");
  ui::AnswerMessageBox(box, IDOK);
  FindDialog();
  Refresh();
  EXPECT_EQ(Entries(), std::vector<std::string>{"Info: before the clear"});

  // No clears nothing; Yes empties the log and the list, and reading starts again.
  ui::ClickItem(dialog_, IDC_EVENT_CLEAR);
  box = Answer(kClearQuestion, IDNO);
  EXPECT_EQ(box.icon, ui::Icon::Question);
  EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
  Refresh();
  EXPECT_EQ(Entries().size(), 1u);
  ui::ClickItem(dialog_, IDC_EVENT_CLEAR);
  Answer(kClearQuestion, IDYES);
  SendMessageA(dialog_, WM_NULL, 0, 0);  // after the refresh the clear posted
  EXPECT_TRUE(Entries().empty());
  Report(EVENTLOG_ERROR_TYPE, "ZarqSMS", "after the clear");
  Refresh();
  EXPECT_EQ(Entries(), std::vector<std::string>{"Error: after the clear"});
  ui::ClickItem(dialog_, IDCANCEL);
  ui::WaitGone(dialog_, kWaitMs);
  dialog_ = nullptr;
}

}  // namespace
