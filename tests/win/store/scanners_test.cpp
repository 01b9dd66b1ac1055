// The four scanners over generated stores, and the file readers they use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "store/msgfiles.h"
#include "store/scanners.h"
#include "testenv.h"

namespace {

typedef void (*Scanner)(ListRecord**, unsigned*, unsigned*);

// One scan's rows as texts, field by field.
struct Scan {
  std::vector<std::vector<std::string>> rows;
  unsigned listed = 0, total = 0;

  Scan(Scanner scan, unsigned fields) {
    ListRecord** records = NewScanArray();
    if (!records) return;
    scan(records, &listed, &total);
    for (unsigned i = 0; i < listed; ++i) {
      std::vector<std::string> row;
      for (unsigned f = 0; f < fields; ++f) row.push_back(ListRecordField(records[i], f));
      rows.push_back(row);
    }
    EXPECT_EQ(records[listed], nullptr);
    FreeScanArray(records, listed);
  }
  const std::vector<std::string>* Find(const std::string& relative) const {
    for (auto& r : rows)
      if (r[0] == relative) return &r;
    return nullptr;
  }
};

std::string Request(const std::string& number, const std::string& extra = "") {
  return "[SMS]\r\nPhoneNumber=" + number + "\r\nData=Test\r\nSubmitUser=alice\r\n" + extra;
}

void MakeDir(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

// Sets a directory's last-write time to `minutesAgo` before now.
void AgeDirectory(const std::string& path, int minutesAgo) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart -= ULONGLONG(minutesAgo) * 60 * 10000000;
  FILETIME ft = {t.LowPart, t.HighPart};
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
  CloseHandle(h);
}

class Store : public ::testing::Test {
 protected:
  void SetUp() override { UseDataDirectory(dir_); }
  std::string Path(const char* store, const std::string& relative = "") const { return dir_ / store + relative; }
  ScratchDir dir_{"store"};
};

}  // namespace

TEST_F(Store, SmsQueueListsAtMost5000AndCountsEvery) {
  const std::string q = Path("Q\\");
  MakeDir(q);
  const char* subs[] = {"", "COM1-\\", "route2\\", "route3\\"};
  for (int s = 1; s < 4; ++s) MakeDir(q + subs[s]);
  for (int i = 0; i < 6000; ++i) {
    char name[32];
    snprintf(name, sizeof name, "%s%05d.REQ", subs[i % 4], i);
    WriteFileText(q + name, Request(std::to_string(i)));
  }
  Scan scan(ScanSmsQueue, 6);
  EXPECT_EQ(scan.listed, 5000u);
  EXPECT_EQ(scan.total, 6000u);
  ASSERT_EQ(scan.rows.size(), 5000u);
  for (auto& r : scan.rows) {
    ASSERT_EQ(r[2], "alice");
    ASSERT_EQ(r[5], "Queued");
  }
}

TEST_F(Store, SmsQueueRows) {
  const std::string q = Path("Q\\");
  MakeDir(q);
  MakeDir(q + "COM1-");
  MakeDir(q + "COM1-\\deeper");
  WriteFileText(q + "A.REQ", Request("+4411"));
  WriteFileText(q + "NONUMBER.REQ", "[SMS]\r\nData=no number\r\n");
  WriteFileText(q + "BLANK.REQ", "[SMS]\r\nPhoneNumber =+4412\r\n");
  WriteFileText(q + "COM1-\\RETRY.REQ",
                Request("+4413", "[ErrorDetail]\r\nRetryCount=3\r\nLastErrorInfo=Modem did not answer\r\n"));
  WriteFileText(q + "COM1-\\RETRY0.REQ", Request("+4414", "[ErrorDetail]\r\nRetryCount=0\r\nLastErrorInfo=x\r\n"));
  WriteFileText(q + "COM1-\\deeper\\DEEP.REQ", Request("+4415"));
  MakeDir(q + "DIR.REQ");  // a directory matching the pattern is no file
  WriteFileText(q + "OTHER.TXT", Request("+4416"));

  Scan scan(ScanSmsQueue, 7);
  EXPECT_EQ(scan.total, 5u);
  EXPECT_EQ(scan.listed, 3u);
  auto a = scan.Find("A.REQ");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ((*a)[1], "A.REQ");
  EXPECT_EQ((*a)[2], "alice");
  EXPECT_EQ((*a)[3], "+4411");
  EXPECT_EQ((*a)[5], "Queued");
  EXPECT_EQ((*a)[6], "");
  auto retry = scan.Find("COM1-\\RETRY.REQ");
  ASSERT_NE(retry, nullptr);
  EXPECT_EQ((*retry)[1], "RETRY.REQ");
  EXPECT_EQ((*retry)[5], "Retry -  3 attempt(s) - Modem did not answer");
  auto retry0 = scan.Find("COM1-\\RETRY0.REQ");
  ASSERT_NE(retry0, nullptr);
  EXPECT_EQ((*retry0)[5], "Queued");
  // The time is the file's creation time in local time.
  const std::string& time = (*a)[4];
  ASSERT_EQ(time.size(), 19u);
  int y, mo, d, h, mi, s;
  EXPECT_EQ(sscanf(time.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s), 6) << time;
  SYSTEMTIME now;
  GetLocalTime(&now);
  int minutes = std::abs(h * 60 + mi - (now.wHour * 60 + now.wMinute));
  EXPECT_LE(std::min(minutes, 1440 - minutes), 2) << time;
}

TEST_F(Store, EmptyOutboundSubdirectoriesAreNeverRemoved) {
  const std::string q = Path("Q\\");
  MakeDir(q);
  MakeDir(q + "old");
  AgeDirectory(q + "old", 60);
  const std::string v = Path("VASPQ\\");
  MakeDir(v);
  MakeDir(v + "old");
  AgeDirectory(v + "old", 60);
  Scan sms(ScanSmsQueue, 6);
  Scan mms(ScanMmsQueue, 6);
  EXPECT_EQ(sms.total + mms.total, 0u);
  EXPECT_TRUE(PathExists(q + "old"));
  EXPECT_TRUE(PathExists(v + "old"));
}

TEST_F(Store, MmsQueueRecipientsAndStatus) {
  const std::string v = Path("VASPQ\\");
  MakeDir(v);
  MakeDir(v + "acct");
  std::string seven = "[Routing]\r\nSenderAddress=+4400\r\n[Recipients]\r\n";
  for (int i = 1; i <= 7; ++i) seven += "Recip" + std::to_string(i) + "=+44" + std::to_string(i) + "/TYPE=PLMN\r\n";
  std::string five =
      "[Routing]\r\nSenderAddress=me\r\nRetryCount=2\r\nLastErrorInfo=busy\r\n[Recipients]\r\n"
      "Recip1=1/TYPE=VASP:zarqlocal\r\nRecip2=2\r\nRecip3=3\r\nRecip4=4\r\nRecip5=5\r\n";
  WriteFileText(v + "SEVEN.MMS", "x");
  WriteFileText(v + "SEVEN.INI", seven);
  WriteFileText(v + "acct\\FIVE.MMS", "x");
  WriteFileText(v + "acct\\FIVE.INI", five);
  WriteFileText(v + "NOCONTROL.MMS", "x");

  Scan scan(ScanMmsQueue, 6);
  EXPECT_EQ(scan.total, 3u);
  EXPECT_EQ(scan.listed, 2u);
  auto s7 = scan.Find("SEVEN.MMS");
  ASSERT_NE(s7, nullptr);
  EXPECT_EQ((*s7)[2], "+4400");
  EXPECT_EQ((*s7)[3], "7 recipients");
  EXPECT_EQ((*s7)[5], "Queued");
  auto s5 = scan.Find("acct\\FIVE.MMS");
  ASSERT_NE(s5, nullptr);
  EXPECT_EQ((*s5)[1], "FIVE.MMS");
  EXPECT_EQ((*s5)[3], "1, 2, 3, 4, 5");
  EXPECT_EQ((*s5)[5], "Retry -  2 attempt(s) - busy");
}

TEST_F(Store, SmsInboxOrderStatusAndText) {
  const std::string in = Path("SMS-IN\\");
  MakeDir(in);
  MakeDir(in + "modem1");
  WriteFileText(in + "modem1\\B.SMS", "[SMS-IN]\r\nSender=+4401\r\nPhoneNumber=+4499\r\nData=plain\\r\\ntext\r\n");
  WriteFileText(in + "A.REC", "[SMS-IN]\r\nSender=+4402\r\nbinary=Yes\r\ndcs=08\r\nData=00480069\r\n");
  WriteFileText(in + "modem1\\C.IN", "[SMS-IN]\r\nSender=+4403\r\nbinary=Yes\r\ndcs=0\r\nData=C8329BFD06\r\n");
  WriteFileText(in + "D.IN", "[SMS-IN]\r\nSender=+4404\r\nbinary=Yes\r\ndcs=4\r\nData=0102\r\n");
  WriteFileText(in + "E.IN", "no section at all");
  MakeDir(in + "modem1\\deeper");
  WriteFileText(in + "modem1\\deeper\\F.IN", "[SMS-IN]\r\nSender=+4405\r\n");  // too deep: never seen

  Scan scan(ScanSmsInbox, 7);
  EXPECT_EQ(scan.total, 5u);
  ASSERT_EQ(scan.listed, 5u);
  std::vector<std::string> ext;
  for (auto& r : scan.rows) ext.push_back(r[1].substr(r[1].find('.')));
  std::vector<std::string> want = {".IN", ".IN", ".IN", ".REC", ".SMS"};
  EXPECT_EQ(ext, want);
  struct {
    const char* relative;
    const char* sender;
    const char* status;
    const char* text;
  } rows[] = {
      {"modem1\\B.SMS", "+4401", "Received", "plain\r\ntext"}, {"A.REC", "+4402", "Queued", "Hi"},
      {"modem1\\C.IN", "+4403", "Queued", "Hello"},            {"D.IN", "+4404", "Queued", "0102"},
      {"E.IN", "", "Queued", ""},
  };
  for (auto& w : rows) {
    auto r = scan.Find(w.relative);
    ASSERT_NE(r, nullptr) << w.relative;
    EXPECT_EQ((*r)[2], w.sender) << w.relative;
    EXPECT_EQ((*r)[5], w.status) << w.relative;
    EXPECT_EQ((*r)[6], w.text) << w.relative;
  }
  EXPECT_EQ((*scan.Find("modem1\\B.SMS"))[3], "+4499");
}

TEST_F(Store, SmsInboxTextIsShortenedToFitTheRecord) {
  const std::string in = Path("SMS-IN\\");
  MakeDir(in);
  // 585 times eight packed Greek capitals: 4680 characters, 9360 bytes of UTF-8,
  // of which the Data buffer keeps 8190 and the record less.
  std::string data;
  for (int i = 0; i < 585; ++i) data += "10080402814020";
  std::string sender(149, 's');
  WriteFileText(in + std::string(100, 'n') + ".IN",
                "[SMS-IN]\r\nSender=" + sender + "\r\nPhoneNumber=" + sender + "\r\nbinary=1\r\ndcs=0\r\nData=" +
                    data + "\r\n");
  std::string plain(8191, 'p');
  WriteFileText(in + "P.IN", "[SMS-IN]\r\nSender=" + sender + "\r\nData=" + plain + "\r\n");
  Scan scan(ScanSmsInbox, 7);
  ASSERT_EQ(scan.listed, 2u);
  for (auto& r : scan.rows) {
    size_t bytes = 1;
    for (auto& f : r) bytes += f.size() + 1;
    EXPECT_LE(bytes, kListRecordBuffer) << r[1];
    EXPECT_GT(bytes + 2, kListRecordBuffer) << r[1];  // filled, less at most part of a character
    EXPECT_EQ(r[2], sender);
  }
  const std::string& greek = (*scan.Find(std::string(100, 'n') + ".IN"))[6];
  EXPECT_EQ(greek.size() % 2, 0u);
  EXPECT_EQ(greek.substr(0, 4), "\xCE\x94\xCE\x94");
}

TEST_F(Store, StaleEmptyInboxSubdirectoriesArePruned) {
  const std::string in = Path("SMS-IN\\");
  MakeDir(in);
  for (const char* d : {"stale", "recent", "full"}) MakeDir(in + d);
  MakeDir(in + "stale2");
  WriteFileText(in + "full\\X.TXT", "not a message");
  AgeDirectory(in + "stale", 6);
  AgeDirectory(in + "stale2", 60);
  AgeDirectory(in + "recent", 2);
  AgeDirectory(in + "full", 60);
  Scan scan(ScanSmsInbox, 7);
  EXPECT_FALSE(PathExists(in + "stale"));
  EXPECT_FALSE(PathExists(in + "stale2"));
  EXPECT_TRUE(PathExists(in + "recent"));
  EXPECT_TRUE(PathExists(in + "full"));
  EXPECT_TRUE(PathExists(in));

  const std::string mms = Path("MMS-IN\\");
  MakeDir(mms);
  MakeDir(mms + "old");
  AgeDirectory(mms + "old", 10);
  Scan mmsScan(ScanMmsInbox, 6);
  EXPECT_FALSE(PathExists(mms + "old"));
}

TEST_F(Store, MmsInboxHeaders) {
  const std::string m = Path("MMS-IN\\");
  MakeDir(m);
  MakeDir(m + "day");
  WriteFileText(m + "day\\ONE.HDR",
                "From: +4401/TYPE=PLMN\r\nTo: +4402/TYPE=PLMN\r\nSubject: Holiday\r\nTo: +4403/TYPE=PLMN\r\n");
  WriteFileText(m + "TWO.HDR", "From: someone@example.com\r\nTo: +4404\r\n");
  MakeDir(m + "TWO");  // its part directory is no header
  Scan scan(ScanMmsInbox, 6);
  EXPECT_EQ(scan.total, 2u);
  ASSERT_EQ(scan.listed, 2u);
  auto one = scan.Find("day\\ONE.HDR");
  ASSERT_NE(one, nullptr);
  EXPECT_EQ((*one)[2], "+4401");
  EXPECT_EQ((*one)[3], "+4403");
  EXPECT_EQ((*one)[5], "Holiday");
  auto two = scan.Find("TWO.HDR");
  ASSERT_NE(two, nullptr);
  EXPECT_EQ((*two)[2], "someone@example.com");
  EXPECT_EQ((*two)[5], "");
}

TEST_F(Store, MissingStoresGiveEmptyResults) {
  // SMS-IN is never created by its resolver: nothing to walk.
  Scan scan(ScanSmsInbox, 7);
  EXPECT_EQ(scan.total, 0u);
  EXPECT_EQ(scan.listed, 0u);
  EXPECT_FALSE(PathExists(Path("SMS-IN")));
}

TEST_F(Store, ReadSmsFileSizesAndDamage) {
  struct {
    std::string text;
    const char* number;
    size_t dataLength;
  } cases[] = {
      {"[SMS]\r\nData=" + std::string(20000, 'd') + "\r\nPhoneNumber=+4410\r\n", "+4410", 8191},
      {std::string("[SMS]\r\nPhoneNumber=+4411\r\n\0Data=hidden\r\n", 40), "+4411", 0},
      {std::string(8192 - 26, ' ') + "[SMS]\r\nPhoneNumber=+4412\r\n", "+4412", 0},
      {std::string(8192 - 25, ' ') + "[SMS]\r\nPhoneNumber=+4413\r\n", "+4413", 0},
      {"", "", 0},
      {std::string(9000, '\xFF'), "", 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string path = dir_ / "r.REQ";
    WriteFileText(path, cases[i].text);
    HANDLE h = OpenMessageFile(path.c_str());
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SmsFileInfo info;
    memset(&info, 'x', sizeof info);
    ReadSmsFile(h, &info);
    CloseHandle(h);
    EXPECT_STREQ(info.PhoneNumber, cases[i].number) << "case " << i;
    EXPECT_EQ(strlen(info.Data), cases[i].dataLength) << "case " << i;
  }
  SmsFileInfo info;
  ReadSmsFile(INVALID_HANDLE_VALUE, &info);
  EXPECT_STREQ(info.PhoneNumber, "");
  EXPECT_EQ(OpenMessageFile((dir_ / "missing.REQ").c_str()), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(PathExists(dir_ / "missing.REQ"));
}

TEST_F(Store, RouteErrorFiles) {
  char text[251];
  ReadRouteErrorFile("COM1:", RouteKind::Modem, text);
  EXPECT_STREQ(text, "");
  WriteFileText(dir_ / "COM1-.ERR", std::string(300, 'e'));
  ReadRouteErrorFile("COM1:", RouteKind::Modem, text);
  EXPECT_EQ(std::string(text), std::string(250, 'e'));
  WriteFileText(dir_ / "MMSCROUTE--http---mmsc.ERR", "No answer");
  ReadRouteErrorFile("http://mmsc", RouteKind::Mmsc, text);
  EXPECT_STREQ(text, "No answer");
  ReadRouteErrorFile("http://mmsc", RouteKind::Modem, text);
  EXPECT_STREQ(text, "");
}
