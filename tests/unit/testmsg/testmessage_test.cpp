// The Test Message page's rules: phone numbers, test names, log lines as the
// page reads them, the verdict of the day's log, the web address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/testmessage.h"

TEST(TestMessage, PhoneNumbers) {
  const struct {
    const char* text;
    bool ok;
  } cases[] = {{"+", false},     {"", false},          {"+1 555", false}, {"555-0100", false}, {"+15550100100", true},
               {"0", true},      {"++1", false},       {"1+", false},     {"+0", true},         {"12a", false},
               {"\xB9", false},  {"123456789012345678901234567890", true}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(IsTestPhoneNumber(cases[i].text), cases[i].ok) << "case " << i << ": " << cases[i].text;
}

TEST(TestMessage, IdentifierIsTheLowSixteenBitsInFourDigits) {
  char id[16];
  TestIdentifier(0x123403A7u, id, sizeof id);
  EXPECT_STREQ(id, "TEST03A7");
  TestIdentifier(0xFFFF00AFu, id, sizeof id);
  EXPECT_STREQ(id, "TEST00AF");
  TestIdentifier(0, id, sizeof id);
  EXPECT_STREQ(id, "TEST0000");
}

namespace {

// Reads `text` the way the page reads a log: chunks of at most size - 1
// bytes from the position the last line ended at.
std::vector<std::string> Lines(const std::string& text, size_t size = kLogLineBufferSize) {
  std::vector<std::string> lines;
  size_t pos = 0;
  std::vector<char> buffer(size);
  while (pos < text.size()) {
    size_t n = std::min(size - 1, text.size() - pos);
    text.copy(buffer.data(), n, pos);
    pos += TakeLogLine(buffer.data(), n, size);
    lines.push_back(buffer.data());
  }
  return lines;
}

}  // namespace

TEST(TestMessage, LogLinesEndAsTheGatewayAndOtherEditorsWriteThem) {
  const struct {
    std::string text;
    size_t size;
    std::vector<std::string> lines;
  } cases[] = {
      {"a,b\r\nc,d\r\n", 4096, {"a,b", "c,d"}},
      {"a\nb\rc", 4096, {"a", "b", "c"}},
      {"a\r\r\nb", 4096, {"a ", "b"}},          // CR CR LF: a blank and one line end
      {"a\r\rb", 4096, {"a ", "b"}},            // CR CR: the second CR ends the line
      {"a\r\r\r\nb", 4096, {"a  ", "b"}},
      {"\n\nx", 4096, {"", "", "x"}},
      {"\x1A\x1A" "a,b\r\n\x1A", 4096, {"a,b", ""}},  // Ctrl-Z in front, and a lone one at the end
      {"aaa bbb ccc\r\n", 8, {"aaa ", "bbb ", "ccc"}},  // longer than the buffer: cut after the last blank
      {"aaaaaaaaaaaa\r\n", 8, {"aaaaaaa", "aaaaa"}},    // ... or whole chunks without one
      {"last line no end", 4096, {"last line no end"}},  // the file's last line is not cut
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Lines(cases[i].text, cases[i].size), cases[i].lines) << "case " << i;
}

TEST(TestMessage, LastMatchingLineOfTheSmsLogDecides) {
  const struct {
    std::vector<std::string> lines;
    bool found, ok;
    const char* detail;
  } cases[] = {
      {{"t,TEST03A7.REQ,+1,Modem1,ERROR -- no network,1", "t,test03a7.req,+1,Modem1,OK -- Message Sent,1"},
       true, true, ""},
      {{"t,TEST03A7.REQ,+1,Modem1,OK", "t,TEST03A7.REQ,+1,Modem1,Modem error: +CMS ERROR: 500,1"},
       true, false, "Modem error: +CMS ERROR: 500"},
      {{"t,TEST03A7.REQ,+1,Modem1"}, false, false, ""},              // four fields: passed over
      {{"t,TEST03A,+1,Modem1,OK"}, false, false, ""},                // a shorter name
      {{"t,TEST03A8.REQ,+1,Modem1,OK"}, false, false, ""},           // another test
      {{"t,TEST03A7,+1,Modem1,ok"}, true, true, ""},
      {{"t,TEST03A7.REQ,+1,Modem1,O"}, true, false, "O"},
      {{"t,TEST03A7.REQ,+1,Modem1,"}, true, false, ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    LogVerdict v;
    for (const std::string& line : cases[i].lines) ExamineLogLine(line.c_str(), "TEST03A7", TestKind::Sms, &v);
    EXPECT_EQ(v.found, cases[i].found) << "case " << i;
    EXPECT_EQ(v.ok, cases[i].ok) << "case " << i;
    EXPECT_STREQ(v.detail, cases[i].detail) << "case " << i;
  }
}

TEST(TestMessage, MmsLogNamesTheMessageInItsSeventhField) {
  LogVerdict v;
  ExamineLogLine("1,2,3,4,5,OK,TEST00AF.MMS,8", "TEST00AF", TestKind::Mms, &v);
  EXPECT_TRUE(v.found && v.ok);
  ExamineLogLine("1,2,3,4,5,HTTP error 503,TEST00AF.MMS,8", "TEST00AF", TestKind::Mms, &v);
  EXPECT_FALSE(v.ok);
  EXPECT_STREQ(v.detail, "HTTP error 503,TEST00AF.MMS");
  LogVerdict none;
  ExamineLogLine("1,2,3,4,5,OK", "TEST00AF", TestKind::Mms, &none);
  ExamineLogLine("1,TEST00AF,3,4,OK,6,x", "TEST00AF", TestKind::Mms, &none);
  EXPECT_FALSE(none.found);
}

TEST(TestMessage, WebAddress) {
  const struct {
    const char *port, *ip, *url;
  } cases[] = {{"", "", "http://127.0.0.1:8800/"},       {"0", "", "http://127.0.0.1:8800/"},
               {"abc", "", "http://127.0.0.1:8800/"},    {"8080", "10.1.2.3", "http://10.1.2.3:8080/"},
               {" 81x", "host", "http://host:81/"}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char url[600];
    WebInterfaceUrl(cases[i].port, cases[i].ip, url, sizeof url);
    EXPECT_STREQ(url, cases[i].url) << "case " << i;
  }
}
