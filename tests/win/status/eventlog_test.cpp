// The file-backed Application log (zarqevlog.dll, beside this test) through
// the program's event-log binding, on a log file of the test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "core/eventrecord.h"
#include "gateway/eventlog.h"
#include "testenv.h"

namespace {

class FileLogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEnvironmentVariableA("ZARQ_EVENTLOG_FILE", (dir_ / "AppEvent.Evt").c_str()); }
  void TearDown() override { SetEnvironmentVariableA("ZARQ_EVENTLOG_FILE", nullptr); }

  void Report(const char* source, WORD type, const char* text) {
    HANDLE h = log_.RegisterEventSourceA(nullptr, source);
    ASSERT_TRUE(h);
    EXPECT_TRUE(log_.ReportEventA(h, type, 0, 0, nullptr, 1, 0, &text, nullptr));
    log_.DeregisterEventSource(h);
  }

  // "number:source:type:text" of each record in `size` bytes.
  static std::vector<std::string> Seen(const unsigned char* bytes, DWORD size) {
    std::vector<std::string> out;
    EventRecordView v;
    for (size_t at = 0; ViewEventRecord(bytes, size, at, &v); at += v.length)
      out.push_back(std::to_string(v.recordNumber) + ":" + std::string(v.source, v.sourceLength) + ":" +
                    std::to_string(v.eventType) + ":" + std::string(v.firstString, v.firstStringLength));
    return out;
  }

  ScratchDir dir_{"evlog"};
  const EventLogFunctions& log_ = EventLog();
};

TEST_F(FileLogTest, TheProgramsBindingFindsTheLibraryBesideIt) {
  EXPECT_NE(reinterpret_cast<void*>(log_.ReadEventLogA), reinterpret_cast<void*>(::ReadEventLogA));
}

TEST_F(FileLogTest, RecordsAreNumberedReadInWholeRecordsAndCleared) {
  Report("ZarqSMS", EVENTLOG_INFORMATION_TYPE, "ZarqSMS service started");
  Report("ZarqMMSC", EVENTLOG_ERROR_TYPE, "WebPort 8000 already in use");
  Report("ZarqSMS", EVENTLOG_WARNING_TYPE, std::string(300, 'w').c_str());
  HANDLE h = log_.OpenEventLogA(nullptr, "Application");
  ASSERT_TRUE(h);
  DWORD oldest = 0, count = 0;
  EXPECT_TRUE(log_.GetOldestEventLogRecord(h, &oldest) && log_.GetNumberOfEventLogRecords(h, &count));
  EXPECT_EQ(oldest, 1u);
  EXPECT_EQ(count, 3u);

  // Too small a buffer tells the size of the first record; just that size reads it alone.
  std::vector<unsigned char> buf(1024);
  DWORD read = 0, needed = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(log_.ReadEventLogA(h, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 1, buf.data(), 8, &read, &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
  ASSERT_GT(needed, 56u);
  ASSERT_TRUE(log_.ReadEventLogA(h, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, 1, buf.data(), needed, &read, &needed));
  EXPECT_EQ(Seen(buf.data(), read), (std::vector<std::string>{"1:ZarqSMS:4:ZarqSMS service started"}));
  // Sequential reads go on after it, then meet the end.
  ASSERT_TRUE(log_.ReadEventLogA(h, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buf.data(), 1024, &read,
                                 &needed));
  std::vector<std::string> seen = Seen(buf.data(), read);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], "2:ZarqMMSC:1:WebPort 8000 already in use");
  EXPECT_EQ(seen[1], "3:ZarqSMS:2:" + std::string(300, 'w'));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(log_.ReadEventLogA(h, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buf.data(), 1024, &read,
                                  &needed));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_HANDLE_EOF));
  // Cleared into a backup; numbering starts again.
  std::string backup = dir_ / "backup.evt";
  EXPECT_TRUE(log_.ClearEventLogA(h, backup.c_str()));
  EXPECT_GT(ReadFileText(backup).size(), 600u);
  EXPECT_TRUE(log_.GetOldestEventLogRecord(h, &oldest) && log_.GetNumberOfEventLogRecords(h, &count));
  EXPECT_EQ(oldest + count, 0u);
  Report("ZarqSMS", EVENTLOG_INFORMATION_TYPE, "again");
  EXPECT_TRUE(log_.GetOldestEventLogRecord(h, &oldest) && log_.GetNumberOfEventLogRecords(h, &count));
  EXPECT_EQ(oldest, 1u);
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(log_.CloseEventLog(h));
  EXPECT_FALSE(log_.CloseEventLog(h));
}

TEST_F(FileLogTest, TwoWritersAtOnceLoseNothingAndTheFileKeepsItsSize) {
  auto writer = [this](const char* source) {
    for (int i = 0; i < 150; ++i) Report(source, EVENTLOG_INFORMATION_TYPE, std::string(2000, 'x').c_str());
  };
  std::thread a(writer, "ZarqSMS"), b(writer, "ZarqMMSC");
  a.join();
  b.join();
  // 300 records of about 2 KB do not fit in 512 KB: the oldest went, the rest are whole and numbered on.
  HANDLE h = log_.OpenEventLogA(nullptr, "Application");
  ASSERT_TRUE(h);
  DWORD oldest = 0, count = 0;
  EXPECT_TRUE(log_.GetOldestEventLogRecord(h, &oldest) && log_.GetNumberOfEventLogRecords(h, &count));
  EXPECT_EQ(oldest + count, 301u);
  EXPECT_GT(oldest, 1u);
  std::vector<unsigned char> buf(1 << 20);
  DWORD read = 0, needed = 0;
  ASSERT_TRUE(log_.ReadEventLogA(h, EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ, oldest, buf.data(), DWORD(buf.size()),
                                 &read, &needed));
  std::vector<std::string> seen = Seen(buf.data(), read);
  ASSERT_EQ(seen.size(), count);
  for (DWORD i = 0; i < count; ++i) EXPECT_EQ(seen[i].substr(0, seen[i].find(':')), std::to_string(oldest + i));
  log_.CloseEventLog(h);
  WIN32_FILE_ATTRIBUTE_DATA file;
  ASSERT_TRUE(GetFileAttributesExA((dir_ / "AppEvent.Evt").c_str(), GetFileExInfoStandard, &file));
  EXPECT_LE(file.nFileSizeLow, 512u * 1024);
}

}  // namespace
