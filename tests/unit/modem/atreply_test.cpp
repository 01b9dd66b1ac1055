// Modem answers as modems give them, and the texts built from them.
#include "core/atreply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(AtReply, FinalResultsAndOk) {
  struct Case {
    const char* answer;
    bool final;
    bool ok;
  } cases[] = {
      {"\r\nOK\r\n", true, true},
      {"ATE0V1\rOK\r\n", true, true},         // echoed command, then the result
      {"OK", false, false},                     // no line break before it
      {"OK\r\n", false, false},
      {"\r\nok\r\n", false, false},             // exact case only
      {"\r\nERROR\r\n", true, false},
      {"\r\n+CMS ERROR: 500\r\n", true, false},
      {"\r\n+CME ERROR: 10\r\n", true, false},
      {"\r\n> ", false, false},                 // prompt for a message body
      {"\r\n+CFUN: 1\r\n", false, false},
      {"", false, false},
      {"\nOKAY", true, true},                   // a prefix match, as modems are read
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    EXPECT_EQ(HasFinalResult(cases[i].answer), cases[i].final) << "case " << i;
    EXPECT_EQ(HasOk(cases[i].answer), cases[i].ok) << "case " << i;
  }
}

TEST(AtReply, ContainsNoCase) {
  EXPECT_TRUE(ContainsNoCase("\r\n+CPIN: READY\r\n\r\nOK\r\n", "READY"));
  EXPECT_TRUE(ContainsNoCase("+cpin: ready", "READY"));
  EXPECT_TRUE(ContainsNoCase("\r\n+csms: 0,1,1,1\r\nOK", "+CSMS:"));
  EXPECT_FALSE(ContainsNoCase("+CPIN: SIM PIN", "READY"));
  EXPECT_FALSE(ContainsNoCase("REAd", "READY"));  // text ends inside the word
  EXPECT_FALSE(ContainsNoCase("", "READY"));
}

TEST(AtReply, CfunResetParameter) {
  struct Case {
    const char* answer;
    bool reset;
  } cases[] = {
      {"\r\n+CFUN: (0,1,4),(0,1)\r\n\r\nOK\r\n", true},
      {"\r\n+CFUN: (0-1,4-7) , (0-1)\r\nOK\r\n", true},  // spaces around the comma
      {"+CFUN:(1),(0)", true},
      {"\r\n+CFUN: (0,1,4)\r\n\r\nOK\r\n", false},         // one range: no reset parameter
      {"\r\n+CFUN: (0,1,4)\r\n,\r\nOK", false},            // the comma must follow directly (after spaces)
      {"\r\n+CFUN: 0,1\r\nOK", false},                     // no parenthesised list
      {"\r\n+CFUN: (0,1,4\r\nOK", false},                  // list never closed
      {"\r\n+cfun: (0,1),(0,1)\r\nOK", false},             // exact case
      {"\r\nOK\r\n", false},
      {"+CFUN:", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(CfunTakesResetParameter(cases[i].answer), cases[i].reset) << "case " << i;
}

TEST(AtReply, CfunRadioOff) {
  struct Case {
    const char* answer;
    bool off;
  } cases[] = {
      {"\r\n+CFUN: 0\r\n\r\nOK\r\n", true},
      {"\r\n+CFUN: 4\r\n\r\nOK\r\n", true},
      {"\r\n+CFUN:0\r\nOK", true},
      {"\r\n+CFUN: 1\r\n\r\nOK\r\n", false},
      {"\r\n+CFUN:    1,0\r\nOK", false},
      {"\r\n+cfun: 0\r\nOK", false},  // exact case: no report found
      {"\r\nERROR\r\n", false},
      {"", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(CfunReportsRadioOff(cases[i].answer), cases[i].off) << "case " << i;
}

TEST(AtReply, CopsReply) {
  struct Case {
    const char* answer;
    CopsReply reply;
  } cases[] = {
      {"\r\n+COPS: 0,0,\"Vodafone\"\r\n\r\nOK\r\n", CopsReply::kOperator},
      {"\r\n+COPS:0 ,2,\"26201\",7\r\nOK", CopsReply::kOperator},
      {"\r\n+COPS: 0\r\n\r\nOK\r\n", CopsReply::kNoOperator},
      {"\r\n+COPS: \r\nOK", CopsReply::kNoOperator},
      {"\r\n+COPS: 12x,\r\nOK", CopsReply::kNoOperator},
      {"\r\n+cops: 0,0,\"x\"\r\nOK", CopsReply::kNoReport},
      {"\r\nERROR\r\n", CopsReply::kNoReport},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(ReadCopsReply(cases[i].answer), cases[i].reply) << "case " << i;
}

TEST(AtReply, AnswerMessageIsCappedAt499) {
  char out[kModemTextSize];
  BuildAnswerMessage(out, sizeof out, "Invalid PIN --\r\n\r\n", "\r\nERROR\r\n");
  EXPECT_STREQ(out, "Invalid PIN --\r\n\r\n\r\nERROR\r\n");

  const std::string prefix = "Modem does not support SMS --\r\n\r\n";
  for (size_t extra : {0u, 1u, 2u, 600u}) {
    std::string answer(kModemTextSize - 1 - prefix.size() - 1 + extra, 'x');
    std::memset(out, '#', sizeof out);
    BuildAnswerMessage(out, sizeof out, prefix.c_str(), answer.c_str());
    size_t expect = prefix.size() + answer.size();
    if (expect > kModemTextSize - 1) expect = kModemTextSize - 1;
    EXPECT_EQ(std::strlen(out), expect) << "extra " << extra;
    EXPECT_EQ(std::string(out, prefix.size()), prefix) << "extra " << extra;
  }
}

TEST(AtReply, DirectPortNames) {
  struct Case {
    const char* name;
    bool direct;
  } cases[] = {
      {"COM1:", true},  {"com12:", true}, {"Com:", true},     {"COM1", false},
      {"COM1:x", false}, {"COM1::", false}, {"COMA:", false}, {"COM 1:", false},
      {"LPT1:", false}, {"", false},       {"Standard 33600 bps Modem", false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(IsDirectPortName(cases[i].name), cases[i].direct) << "case " << i << " " << cases[i].name;
}

TEST(AtReply, ResetPortName) {
  struct Case {
    const char* name;
    const char* port;
  } cases[] = {
      {"COM3", "COM3:"}, {"com3", "com3:"}, {"COM3:", "COM3:"}, {"\\\\.\\COM3", "\\\\.\\COM3"}, {"", ""},
  };
  char out[101];
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    ResetPortName(cases[i].name, out, sizeof out);
    EXPECT_STREQ(out, cases[i].port) << "case " << i;
  }
  // At most 99 characters are taken, and the colon still fits.
  std::string longName = "COM" + std::string(200, '7');
  ResetPortName(longName.c_str(), out, sizeof out);
  EXPECT_EQ(std::string(out), longName.substr(0, 99) + ":");
}

TEST(AtReply, DevicePortPath) {
  char out[32];
  DevicePortPath("COM12:", out, sizeof out);
  EXPECT_STREQ(out, "\\\\.\\COM12");
  DevicePortPath("", out, sizeof out);
  EXPECT_STREQ(out, "\\\\.\\");
  std::string longName(100, 'C');
  DevicePortPath(longName.c_str(), out, sizeof out);
  EXPECT_EQ(std::strlen(out), sizeof out - 1);
  char tiny[3];
  DevicePortPath("COM1:", tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "\\\\");
}
