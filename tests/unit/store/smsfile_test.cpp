// Reading request and received-message files, MMS headers and control-file
// recipients from their text.
#include <gtest/gtest.h>

#include <string>

#include "core/smsfile.h"
#include "core/textrules.h"

namespace {

struct Parsed {
  SmsFileInfo info;
  explicit Parsed(const std::string& text) { ParseSmsText(text.c_str(), &info); }
};

bool SameTime(const SmsDateTime& t, int y, int mo, int d, int h, int mi, int s) {
  return t.year == y && t.month == mo && t.day == d && t.hour == h && t.minute == mi && t.second == s &&
         t.dayOfWeek == 0 && t.milliseconds == 0;
}

}  // namespace

TEST(SmsFile, LowerCaseSectionAndIndentedKeysAreReadInFull) {
  Parsed p("\r\n  [sms]\r\n\tPHONENUMBER=+441234\n   Sender=Me\r\n\t submituser=alice\r\n  Data=Hi there \r\n");
  EXPECT_STREQ(p.info.PhoneNumber, "+441234");
  EXPECT_STREQ(p.info.Sender, "Me");
  EXPECT_STREQ(p.info.SubmitUser, "alice");
  EXPECT_STREQ(p.info.Data, "Hi there ");  // nothing is trimmed
}

TEST(SmsFile, KeyWithBlankBeforeEqualsIsNotRecognised) {
  Parsed p("[SMS]\r\nPhoneNumber =123\r\nData=x\r\n");
  EXPECT_STREQ(p.info.PhoneNumber, "");
  EXPECT_STREQ(p.info.Data, "x");
}

TEST(SmsFile, EveryKeyLandsInItsField) {
  Parsed p(
      "[SMS-IN]\rPhoneNumber=1\rSender=2\rData=3\rudh=0500\rSubmittedBy=5\rSubmitUser=6\rServiceType=7\r"
      "RouteToLocalUser=8\rSMPPOptions=9\rSMSCRoute=10\rValidity=11\rBillingInfo=12\rModemName=13\r"
      "ReceiptMessageId=14\rpid=3F\rdcs=8\rbinary=Yes\r");
  const SmsFileInfo& i = p.info;
  const char* got[] = {i.PhoneNumber, i.Sender,  i.Data,       i.udh,       i.SubmittedBy,
                       i.SubmitUser,  i.ServiceType, i.RouteToLocalUser, i.SMPPOptions, i.SMSCRoute,
                       i.Validity,    i.BillingInfo, i.ModemName,  i.ReceiptMessageId};
  const char* want[] = {"1", "2", "3", "0500", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"};
  for (size_t k = 0; k < sizeof want / sizeof want[0]; ++k) EXPECT_STREQ(got[k], want[k]) << "field " << k;
  EXPECT_EQ(i.pid, 0x3F);
  EXPECT_EQ(i.dcs, 8);
  EXPECT_TRUE(i.binary);
}

TEST(SmsFile, TextsAreCutToTheirCapacity) {
  std::string longText(9000, 'x');
  Parsed p("[SMS]\nPhoneNumber=" + longText + "\nData=" + longText + "\nValidity=" + longText + "\n");
  EXPECT_EQ(std::string(p.info.PhoneNumber), std::string(149, 'x'));
  EXPECT_EQ(std::string(p.info.Data), std::string(8191, 'x'));
  EXPECT_EQ(std::string(p.info.Validity), std::string(49, 'x'));
}

TEST(SmsFile, DataLineBreaksAreUnescaped) {
  Parsed p("[SMS]\r\nData=Hello\\r\\nWorld\r\n");
  EXPECT_STREQ(p.info.Data, "Hello\r\nWorld");
  Parsed q("[SMS]\r\nData=ends in \\\r\n");
  EXPECT_STREQ(q.info.Data, "ends in \\");
}

TEST(SmsFile, UnescapeLineBreaks) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\\rb\\nc", "a\rb\nc"}, {"\\R\\N", "\\R\\N"},  {"\\", "\\"},   {"\\\\n", "\\\n"},
      {"\\\\r", "\\\r"},        {"\\n\\r", "\n\r"},   {"", ""},         {"x\\", "x\\"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string s = cases[i].in;
    UnescapeLineBreaks(&s[0]);
    EXPECT_STREQ(s.c_str(), cases[i].out) << "case " << i;
  }
}

TEST(SmsFile, HexBytesOfPidAndDcs) {
  struct {
    const char* line;
    int dcs;
  } cases[] = {{"dcs=F8", 0xF8}, {"dcs=10", 0x10}, {"dcs=8", 8}, {"dcs=f8", 0xF8}, {"dcs=1F8", 0xF8},
               {"dcs=zz", 0},    {"dcs=", 0},      {"dcs= 8", 0}, {"dcs=0Cx", 0x0C}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Parsed p(std::string("[SMS]\r\n") + cases[i].line + "\r\npid=zz\r\n");
    EXPECT_EQ(p.info.dcs, cases[i].dcs) << "case " << i;
    EXPECT_EQ(p.info.pid, 0) << "case " << i;
  }
}

TEST(SmsFile, BinarySpellings) {
  struct {
    const char* value;
    bool binary;
  } cases[] = {{"yes", true},  {"TRUE", true},  {"1", true},   {"true", true},   {"Y", true},
               {"no", false},  {"", false},     {"0", false},  {"TRUEX", false}, {"on", false}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Parsed p(std::string("[SMS]\nbinary=") + cases[i].value + "\n");
    EXPECT_EQ(p.info.binary, cases[i].binary) << "case " << i;
  }
}

TEST(SmsFile, ReceiptFlagsAccumulateAndFalseClearsNothing) {
  Parsed p("[SMS]\nReceiptDelivered=Yes\nReceiptFailed=Yes\nReceiptDelivered=No\n");
  EXPECT_EQ(p.info.ReceiptFlags, 0x2Cu);
  Parsed q("[SMS]\nReplyRequested=1\nReceiptRequested=y\nReceiptIntransit=true\nNonDelReceiptRequested=Y\n");
  EXPECT_EQ(q.info.ReceiptFlags, 0x01u | 0x02u | 0x14u | 0x40u);
}

TEST(SmsFile, OnlyTheFirstMessageSectionIsRead) {
  Parsed p("[SMS]\nPhoneNumber=first\n[SMS]\nPhoneNumber=second\nSender=s2\n");
  EXPECT_STREQ(p.info.PhoneNumber, "first");
  EXPECT_STREQ(p.info.Sender, "");
  Parsed q("PhoneNumber=outside\n[Other]\nPhoneNumber=other\n[SMS-INFO]\nPhoneNumber=no\n");
  EXPECT_STREQ(q.info.PhoneNumber, "");
}

TEST(SmsFile, ErrorDetailIsFoundBeforeOrAfterTheMessage) {
  const char* detail =
      "[ErrorDetail]\r\nRetryCount=3\r\nLastErrorInfo=Modem timeout\r\nLastRetryTime=20120216134501\r\n"
      "FirstAttemptTime=20111231235959\r\nPhoneNumber=ignored\r\n";
  Parsed before(std::string(detail) + "[SMS]\r\nPhoneNumber=123\r\n");
  Parsed after(std::string("[SMS]\r\nPhoneNumber=123\r\n") + detail + "[Next]\r\nRetryCount=9\r\n");
  for (const Parsed* p : {&before, &after}) {
    EXPECT_STREQ(p->info.PhoneNumber, "123");
    EXPECT_EQ(p->info.RetryCount, 3);
    EXPECT_STREQ(p->info.LastErrorInfo, "Modem timeout");
    EXPECT_TRUE(SameTime(p->info.LastRetryTime, 2012, 2, 16, 13, 45, 1));
    EXPECT_TRUE(SameTime(p->info.FirstAttemptTime, 2011, 12, 31, 23, 59, 59));
  }
  Parsed none("[SMS]\nPhoneNumber=1\n");
  EXPECT_EQ(none.info.RetryCount, 0);
  EXPECT_EQ(none.info.LastRetryTime.year, 0);
}

TEST(SmsFile, CompactTimes) {
  struct {
    const char* text;
    int y, mo, d, h, mi, s;
  } cases[] = {
      {"20120216", 2000, 1, 1, 0, 0, 0},        {"20120216134501", 2012, 2, 16, 13, 45, 1},
      {"2012021613450199", 2012, 2, 16, 13, 45, 1}, {"2012-02-16 13:45", 2000, 1, 1, 0, 0, 0},
      {"", 2000, 1, 1, 0, 0, 0},                {"9999999999999x", 2000, 1, 1, 0, 0, 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    auto& c = cases[i];
    EXPECT_TRUE(SameTime(ParseCompactTime(c.text), c.y, c.mo, c.d, c.h, c.mi, c.s)) << "case " << i;
  }
}

TEST(SmsFile, RetryCountReadsLikeTheCLibrary) {
  struct {
    const char* value;
    int32_t count;
  } cases[] = {{"3", 3},           {"3 attempts", 3},       {" \t+7", 7},          {"-2", -2},   {"abc", 0},
               {"", 0},            {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}, {"- 4", 0}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Parsed p(std::string("[ErrorDetail]\nRetryCount=") + cases[i].value + "\n5\n");
    EXPECT_EQ(p.info.RetryCount, cases[i].count) << "case " << i;
  }
}

TEST(SmsFile, TextEndsAtItsFirstNul) {
  std::string text("[SMS]\nSender=a\n", 15);
  text += std::string(1, '\0') + "PhoneNumber=hidden\n";
  Parsed p(text);
  EXPECT_STREQ(p.info.Sender, "a");
  EXPECT_STREQ(p.info.PhoneNumber, "");
  ParseSmsText(nullptr, &p.info);
  EXPECT_STREQ(p.info.Sender, "");
}

TEST(MmsHeader, AddressesAreCutAtTheTypeAndTheLastLineWins) {
  MmsHeaderInfo h;
  ParseMmsHeader(
      "From: +4411/TYPE=PLMN\r\nto:\t+4422/type=PLMN\r\nSubject:  Hello there\r\nTo: +4433/TYPE=PLMN\r\n"
      "X-ZarqMMS-Content-Location: a\\b.txt;text/plain\r\n",
      &h);
  EXPECT_STREQ(h.From, "+4411");
  EXPECT_STREQ(h.To, "+4433");
  EXPECT_STREQ(h.Subject, "Hello there");
  ParseMmsHeader("From: x@example.com\nTo: 123\n", &h);
  EXPECT_STREQ(h.Subject, "");
  EXPECT_STREQ(h.From, "x@example.com");
  std::string longTo = "To: " + std::string(400, '9') + "/TYPE=PLMN\n";
  ParseMmsHeader(longTo.c_str(), &h);
  EXPECT_EQ(std::string(h.To), std::string(149, '9'));
}

TEST(MmsHeader, PartLocationsInOrder) {
  const char* text =
      "Subject: s\r\nX-ZarqMMS-Content-Location: 20120216\\a.txt;text/plain;charset=utf-8\r\n"
      "x-zarqmms-content-location:b.jpg\r\nX-ZarqMMS-Content-Location: c.smil;application/smil\r\n";
  const char* cursor = text;
  MmsPartLocation part;
  const char* want[][2] = {{"20120216\\a.txt", "text/plain"}, {"b.jpg", ""}, {"c.smil", "application/smil"}};
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(NextMmsPartLocation(&cursor, &part)) << "part " << i;
    EXPECT_STREQ(part.Path, want[i][0]) << "part " << i;
    EXPECT_STREQ(part.ContentType, want[i][1]) << "part " << i;
  }
  EXPECT_FALSE(NextMmsPartLocation(&cursor, &part));
}

TEST(MmsControl, RecipientsColumn) {
  struct {
    std::string section;
    const char* text;
  } cases[] = {
      {std::string("Recip1=+4411/TYPE=VASP:zarqlocal\0", 33), "+4411"},
      {std::string("R1=1\0R2=2/type=PLMN\0R3=3\0R4=4\0R5=5\0", 35), "1, 2, 3, 4, 5"},
      {std::string("R1=1\0R2=2\0R3=3\0R4=4\0R5=5\0R6=6\0R7=7\0", 35), "7 recipients"},
      {std::string("R1=1\0comment\0R2=2\0", 18), "1"},
      {std::string("R1=a=b\0", 7), "a=b"},
      {std::string(), ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char section[500] = {};
    memcpy(section, cases[i].section.data(), cases[i].section.size());
    char out[512];
    MmsRecipientsText(section, sizeof section, out, sizeof out);
    EXPECT_STREQ(out, cases[i].text) << "case " << i;
  }
  // A full buffer without its closing empty entry is read no further than its end.
  char full[8];
  memcpy(full, "R1=12345", 8);
  char out[512];
  MmsRecipientsText(full, sizeof full, out, sizeof out);
  EXPECT_STREQ(out, "12345");
}

TEST(RouteErrors, FileNames) {
  char name[260];
  RouteErrorFileName("COM1:", RouteKind::Modem, name, sizeof name);
  EXPECT_STREQ(name, "COM1-.ERR");
  RouteErrorFileName("http://mmsc/a\\b", RouteKind::Mmsc, name, sizeof name);
  EXPECT_STREQ(name, "MMSCROUTE--http---mmsc-a-b.ERR");
}
