// Context definitions in modem init strings, AT answers, WAP gateway addresses.
#include <gtest/gtest.h>

#include "gatewayaddress.h"
#include "initstrings.h"

TEST(PdpDefinitions, FoundOnlyAsCommands) {
  const struct {
    const char* init;
    unsigned cid;
    const char* type;
    const char* apn;
  } cases[] = {
      {"AT+CGDCONT=1,\"IP\",\"internet\"<cr>", 1, "IP", "internet"},
      {"AT&F;+cgdcont=2,\"IP\",\"mms\";+CGATT=1\r", 2, "IP", "mms"},
      {"at+CGDCONT=12,IP,bare.apn", 12, "IP", "bare.apn"},
      {"AT+CGDCONT=3,\"IP\",\"odd;name\";E0", 3, "IP", "odd;name"},
      {"AT+CGDCONT=4", 4, "", ""},
      {"ATE0 X+CGDCONT=5,\"IP\",\"no\"", 0, "", ""},  // not at a command start
      {"AT+CGDCONT=0,\"IP\",\"zero\"", 0, "", ""},
      {"AT+CGDCONT=,\"IP\",\"x\"", 0, "", ""},
      {"AT+CGDCONT=\"IP\"", 0, "", ""},
      {"AT+CGDCONT=1,\"IP\",\"unterminated", 1, "IP", "unterminated"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::vector<PdpDefinition> d = FindPdpDefinitions(cases[i].init);
    if (cases[i].cid == 0) {
      EXPECT_TRUE(d.empty()) << "case " << i;
      continue;
    }
    ASSERT_EQ(d.size(), 1u) << "case " << i;
    EXPECT_EQ(d[0].cid, cases[i].cid) << "case " << i;
    EXPECT_EQ(d[0].type, cases[i].type) << "case " << i;
    EXPECT_EQ(d[0].apn, cases[i].apn) << "case " << i;
  }
}

TEST(PdpDefinitions, ContextForApnAndTheNextFreeOne) {
  std::vector<std::string> inits = {"AT&F<cr>", "AT+CGDCONT=1,\"IP\",\"internet\"<cr>",
                                    "AT+CGDCONT=2,\"IP\",\"old\";+CGDCONT=3,\"IP\",\"MMS.Example\"<cr>",
                                    "AT+CGDCONT=2,\"IP\",\"wap\"<cr>"};
  EXPECT_EQ(CidForApn(inits, "internet"), 1u);
  EXPECT_EQ(CidForApn(inits, "mms.example"), 3u);  // APNs compare without case
  EXPECT_EQ(CidForApn(inits, "old"), 0u);          // context 2 was redefined later
  EXPECT_EQ(CidForApn(inits, "wap"), 2u);
  EXPECT_EQ(CidForApn(inits, "other"), 0u);
  EXPECT_EQ(ChooseCidForApn(inits, "wap"), 2u);
  EXPECT_EQ(ChooseCidForApn(inits, "other"), 4u);
  EXPECT_EQ(ChooseCidForApn({}, "any"), 1u);
  EXPECT_EQ(ChooseCidForApn({"AT+CGDCONT=2,\"IP\",\"x\""}, "y"), 1u);
  std::string all = "AT";
  for (int cid = 1; cid < 100; ++cid) all += ";+CGDCONT=" + std::to_string(cid) + ",\"IP\",\"a" + std::to_string(cid) + "\"";
  EXPECT_EQ(ChooseCidForApn({all}, "new"), 0u);
  EXPECT_EQ(PdpDefinitionCommand(4, "mms"), "AT+CGDCONT=4,\"IP\",\"mms\"");
}

TEST(PdpDefinitions, UsableApns) {
  EXPECT_TRUE(IsUsableApn("internet.example.com"));
  EXPECT_FALSE(IsUsableApn(""));
  EXPECT_FALSE(IsUsableApn("a\"b"));
  EXPECT_FALSE(IsUsableApn("a b"));
  EXPECT_FALSE(IsUsableApn("a\rATH"));
  EXPECT_FALSE(IsUsableApn(std::string(100, 'a')));
  EXPECT_TRUE(IsUsableApn(std::string(99, 'a')));
}

TEST(AtReply, FinalResults) {
  const struct {
    const char* reply;
    AtResult result;
    unsigned code;
  } cases[] = {
      {"AT\r\r\nOK\r\n", AtResult::Ok, 0},
      {"\r\nCONNECT 115200\r\n", AtResult::Connect, 0},
      {"\r\nCONNECT\r\n", AtResult::Connect, 0},
      {"\r\nCONNECTION\r\n", AtResult::None, 0},
      {"\r\n+CME ERROR: 30\r\n", AtResult::Error, 30},
      {"\r\n+CMS ERROR: 500\r\n", AtResult::Error, 500},
      {"\r\nERROR\r\n", AtResult::Error, 0},
      {"\r\nNO CARRIER\r\n", AtResult::NoCarrier, 0},
      {"\r\nBUSY\r\n", AtResult::Busy, 0},
      {"\r\nNO DIALTONE\r\n", AtResult::NoDialtone, 0},
      {"\r\nNO ANSWER\r\n", AtResult::NoAnswer, 0},
      {"\r\nOK", AtResult::None, 0},  // not a complete line yet
      {"ATD*99***1#\r", AtResult::None, 0},
      {"+CGDCONT: 1,\"IP\",\"OK\"\r\nok\r\n", AtResult::Ok, 0},
      {"\x01\xFF garbage\r\n", AtResult::None, 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    unsigned code = 99;
    EXPECT_EQ(ClassifyAtReply(cases[i].reply, strlen(cases[i].reply), &code), cases[i].result) << "case " << i;
    EXPECT_EQ(code, cases[i].code) << "case " << i;
  }
}

TEST(GatewayAddress, HostAndPort) {
  const struct {
    const char* text;
    bool ok;
    const char* host;
    unsigned port;
  } cases[] = {
      {"10.0.0.1", true, "10.0.0.1", 0},
      {" 10.0.0.1 \r\n", true, "10.0.0.1", 0},
      {"http://mms.example:8080/servlet", true, "mms.example", 8080},
      {"HTTP:10.1.2.3", true, "10.1.2.3", 0},
      {"proxy:9201", true, "proxy", 9201},
      {"proxy:0", false, "", 0},
      {"proxy:65536", false, "", 0},
      {"proxy:80x", false, "", 0},
      {"proxy:", false, "", 0},
      {"", false, "", 0},
      {"http://", false, "", 0},
      {"two words", false, "", 0},
      {"user@host", false, "", 0},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string host = "?";
    unsigned port = 99;
    EXPECT_EQ(ParseGatewayAddress(cases[i].text, &host, &port), cases[i].ok) << "case " << i;
    if (cases[i].ok) {
      EXPECT_EQ(host, cases[i].host) << "case " << i;
      EXPECT_EQ(port, cases[i].port) << "case " << i;
    }
  }
}
