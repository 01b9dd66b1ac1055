// The SMS gateway's rules: modem answers, log lines, the retry state in a
// request, requests made into messages, received files and joined parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/smsfile.h"
#include "smsgateway.h"

using namespace smsgw;

namespace {

smspdu::Decoded DecodeHex(const std::string& hex) {
  smspdu::Bytes b;
  EXPECT_TRUE(smspdu::FromHex(hex, &b));
  smspdu::Decoded d;
  std::string error;
  EXPECT_TRUE(smspdu::DecodePdu(b.data(), b.size(), true, &d, &error)) << error;
  return d;
}

SmsFileInfo Request(const std::string& text) {
  static SmsFileInfo info;
  ParseSmsText(text.c_str(), &info);
  return info;
}

}  // namespace

TEST(SmsGateway, ModemAnswers) {
  EXPECT_EQ(NewMessageIndexes("\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n+CMTI: \"ME\",12\r\n+CMTI: \"SM\",x\r\n"),
            (std::vector<unsigned>{3, 12}));
  std::vector<ListedMessage> list =
      ParseMessageList("AT+CMGL=4\r\r\n+CMGL: 1,0,,24\r\n0011AB\r\n+CMGL: 7,1,\"x,y\",3\r\n\r\n0022CD\r\n"
                       "+CMTI: \"SM\",9\r\n\r\nOK\r\n");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].index, 1u);
  EXPECT_EQ(list[0].status, 0u);
  EXPECT_EQ(list[0].pduHex, "0011AB");
  EXPECT_EQ(list[1].index, 7u);
  EXPECT_EQ(list[1].pduHex, "0022CD");
  EXPECT_TRUE(ParseMessageList("+CMGL: 1,0,,24\r\n").empty());  // cut off before its PDU
  unsigned mr = 0;
  EXPECT_TRUE(ParseSubmitReference("\r\n+CMGS: 17\r\n\r\nOK\r\n", &mr));
  EXPECT_EQ(mr, 17u);
  EXPECT_FALSE(ParseSubmitReference("\r\nOK\r\n", &mr));
  std::string number;
  EXPECT_TRUE(ParseOwnNumber("\r\n+CNUM: \"\",\"+15550100100\",145\r\n\r\nOK\r\n", &number));
  EXPECT_EQ(number, "+15550100100");
  EXPECT_FALSE(ParseOwnNumber("\r\n+CNUM: \"\",\"\",129\r\nOK\r\n", &number));
  EXPECT_EQ(ErrorLine("\r\n+CMS ERROR: 304\r\n"), "+CMS ERROR: 304");
  EXPECT_EQ(ErrorLine("AT\r\r\nERROR\r\n"), "ERROR");
  EXPECT_EQ(ErrorLine("\r\nOK\r\n"), "");
}

TEST(SmsGateway, LogLineKeepsItsFieldPositions) {
  LogEntry e{"2026-12-07 17:00:01", "TEST03A7.REQ", "+15550100100", "Zarq GSM Modem, COM3",
             "ERROR -- modem said: +CMS ERROR: 500,\r\nretry", 2, "Web 127.0.0.1/alice"};
  EXPECT_EQ(FormatLogLine(e),
            "2026-12-07 17:00:01,TEST03A7.REQ,+15550100100,Zarq GSM Modem; COM3,"
            "ERROR -- modem said: +CMS ERROR: 500;  retry,2,Web 127.0.0.1/alice\r\n");
}

TEST(SmsGateway, RetryStateReplacesTheOldSectionWherevertItStands) {
  RetryState s;
  s.retryCount = 2;
  s.lastErrorInfo = "+CMS ERROR: 500";
  s.firstAttemptTime = "20261207170000";
  s.lastRetryTime = "20261207170130";
  s.partsSent = 1;
  s.reference = 42;
  const std::string before[] = {
      "[SMS]\r\nPhoneNumber=1\r\nData=x\r\n",
      "[errordetail]\r\nRetryCount=1\r\n[SMS]\r\nPhoneNumber=1\r\nData=x\r\n",
      "[SMS]\r\nPhoneNumber=1\r\nData=x\r\n[ErrorDetail]\r\nRetryCount=1\r\nLastErrorInfo=old",
      // Found by fuzzing: a section line after a control character, which the reader skips.
      "[SMS]\r\nPhoneNumber=1\r\nData=x\r\x1a[ErrorDetail]\r\nRetryCount=1\r\nLastErrorInfo=old\r\n",
  };
  for (size_t i = 0; i < 4; ++i) {
    std::string text = WithRetryState(before[i], s);
    SmsFileInfo info = Request(text);
    EXPECT_STREQ(info.PhoneNumber, "1") << "case " << i;
    EXPECT_EQ(info.RetryCount, 2) << "case " << i;
    EXPECT_STREQ(info.LastErrorInfo, "+CMS ERROR: 500") << "case " << i;
    EXPECT_EQ(info.FirstAttemptTime.minute, 0) << "case " << i;
    EXPECT_EQ(info.LastRetryTime.minute, 1) << "case " << i;
    EXPECT_EQ(text.find("old"), std::string::npos) << "case " << i;
    RetryState back;
    ReadExtraRetryState(text, &back);
    EXPECT_EQ(back.partsSent, 1u) << "case " << i;
    EXPECT_EQ(back.reference, 42u) << "case " << i;
    EXPECT_EQ(back.firstAttemptTime, "20261207170000") << "case " << i;
  }
  // The error text is one line and fits the readers' 200 characters.
  s.lastErrorInfo = std::string(300, 'e') + "\r\n";
  SmsFileInfo info = Request(WithRetryState("[SMS]\r\nPhoneNumber=1\r\n", s));
  EXPECT_EQ(std::string(info.LastErrorInfo), std::string(199, 'e'));
}

TEST(SmsGateway, SentMark) {
  std::string text = "[SMS]\r\nPhoneNumber=1\r\n";
  EXPECT_FALSE(IsMarkedSent(text));
  text += SentMark("2026-12-07 17:00:00", "OK -- 1 part, reference 4");
  EXPECT_TRUE(IsMarkedSent(text));
  EXPECT_EQ(SentResult(text), "OK -- 1 part; reference 4");
}

TEST(SmsGateway, RequestsBecomeMessagesOrARefusal) {
  const struct {
    const char* file;
    std::u16string text;
    bool truncated;
    const char* error;  // null: sendable
    uint8_t dcs;
    size_t payload;
  } cases[] = {
      {"[SMS]\r\nPhoneNumber=+1555\r\nData=hi\r\n", u"hi", false, nullptr, 0x00, 2},
      {"[SMS]\r\nPhoneNumber=+1555\r\nData=x\r\n", u"\u4e00", false, nullptr, 0x08, 2},
      {"[SMS]\r\nData=hi\r\n", u"hi", false, "No recipient phone number", 0, 0},
      {"[SMS]\r\nPhoneNumber=555-1\r\nData=hi\r\n", u"hi", false, "Invalid phone number", 0, 0},
      {"[SMS]\r\nPhoneNumber=1\r\nData=hi\r\n", u"hi", true, "Message too long", 0, 0},
      {"[SMS]\r\nPhoneNumber=1\r\nbinary=Yes\r\nData=0106FF\r\n", u"", false, nullptr, 0x04, 3},
      {"[SMS]\r\nPhoneNumber=1\r\nbinary=Yes\r\nData=01G6\r\n", u"", false, "Invalid binary message data", 0, 0},
      {"[SMS]\r\nPhoneNumber=1\r\nbinary=Yes\r\ndcs=F5\r\nudh=0605040B8423F0\r\nData=01\r\n", u"", false, nullptr,
       0xF5, 1},
      {"[SMS]\r\nPhoneNumber=1\r\nbinary=Yes\r\nudh=0705040B8423F0\r\nData=01\r\n", u"", false,
       "Invalid user data header", 0, 0},
      {"[SMS]\r\nPhoneNumber=1\r\nbinary=Yes\r\ndcs=08\r\nData=004100\r\n", u"", false,
       "UCS-2 data has an odd number of octets", 0, 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    smspdu::Outgoing m;
    std::string error;
    bool ok = PrepareRequest(Request(cases[i].file), cases[i].text, cases[i].truncated, &m, &error);
    EXPECT_EQ(ok, cases[i].error == nullptr) << "case " << i << ": " << error;
    if (cases[i].error) {
      EXPECT_EQ(error, cases[i].error) << "case " << i;
    } else {
      EXPECT_EQ(m.dcs, cases[i].dcs) << "case " << i;
      EXPECT_EQ(m.payload.size(), cases[i].payload) << "case " << i;
    }
  }
}

TEST(SmsGateway, ReceivedFileReadsBackAsTheListsReadIt) {
  smspdu::Decoded d = DecodeHex("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
  ReceivedSms m = FromDecoded(d);
  m.recipient = "+15550100100";
  m.modemName = "Zarq GSM Modem";
  std::string text = ReceivedFileText(m);
  SmsFileInfo info = Request(text);
  EXPECT_STREQ(info.Sender, "27838890001");
  EXPECT_STREQ(info.PhoneNumber, "+15550100100");
  EXPECT_STREQ(info.Data, "E8329BFD4697D9EC37");
  EXPECT_TRUE(info.binary);
  EXPECT_EQ(info.dcs, 0);
  EXPECT_STREQ(info.udh, "");
  EXPECT_STREQ(info.ModemName, "Zarq GSM Modem");
}

TEST(SmsGateway, PartsJoinInAnyOrderIntoOneMessage) {
  // Gammu's two parts of 170 digits (reference 0x74), as delivered.
  std::string head = "0044" "0B915155100001F0" "0000" "42507131540300";
  std::string part1 = head + "A0" "050003740201" +
                      "6031D98C56B3DD7039584C36A3D56C375C0E1693CD6835DB0D9783C564335ACD76C3E56031D98C56B3DD7039584C36A3"
                      "D56C375C0E1693CD6835DB0D9783C564335ACD76C3E56031D98C56B3DD7039584C36A3D56C375C0E1693CD6835DB0D97"
                      "83C564335ACD76C3E56031D98C56B3DD7039584C36A3D56C375C0E1693CD6835DB0D9783C564";
  std::string part2 = head + "18" "050003740202" "66B49AED86CBC162B219AD66BBE172";
  ReceivedSms joined;
  ASSERT_TRUE(JoinParts({DecodeHex(part2), DecodeHex(part1)}, &joined));
  EXPECT_TRUE(joined.header.empty());
  smspdu::Bytes septets = smspdu::UnpackSeptets(joined.body.data(), joined.body.size(), 0, 170);
  std::u16string digits;
  for (int i = 0; i < 17; ++i) digits += u"0123456789";
  EXPECT_EQ(smspdu::SeptetsToText(septets), digits);
  // A missing or repeated part joins nothing.
  EXPECT_FALSE(JoinParts({DecodeHex(part1)}, &joined));
  EXPECT_FALSE(JoinParts({DecodeHex(part1), DecodeHex(part1)}, &joined));
  // A push in two 8-bit parts keeps its ports and loses the concatenation.
  std::string push = "0040" "0B915155100001F0" "0004" "42507131540300";
  ASSERT_TRUE(JoinParts({DecodeHex(push + "0F" "0C" "05040B8423F0" "08040102" "0201" "0106"),
                         DecodeHex(push + "0E" "0C" "05040B8423F0" "08040102" "0202" "B4")},
                        &joined));
  EXPECT_EQ(smspdu::ToHex(joined.header), "05040B8423F0");
  EXPECT_EQ(smspdu::ToHex(joined.body), "0106B4");
}
