// Section names of modems and connections, and the WAP gateway address check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/gatewaynames.h"

TEST(ConnectionSectionName, PrefixesAndBrackets) {
  const struct {
    const char* name;
    const char* section;
  } cases[] = {
      {"Standard Modem", "Modem - Standard Modem"},
      {"SMPP - Provider", "SMPP - Provider"},
      {"smpp - lower", "smpp - lower"},
      {"Http - Web", "Http - Web"},
      {"UCP - a[b]", "UCP - a\\x5Bb\\x5D"},
      {"cImD - x", "cImD - x"},
      {"SMPP-NoBlanks", "Modem - SMPP-NoBlanks"},
      {"UCP -", "Modem - UCP -"},
      {"Modem [COM3]", "Modem - Modem \\x5BCOM3\\x5D"},
      {"", "Modem - "},
      {"[]", "Modem - \\x5B\\x5D"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char out[kSectionNameSize];
    EXPECT_TRUE(ConnectionSectionName(cases[i].name, out)) << "case " << i;
    EXPECT_STREQ(out, cases[i].section) << "case " << i;
  }
}

TEST(ConnectionSectionName, InPlace) {
  char text[kSectionNameSize] = "GSM [1]";
  EXPECT_TRUE(ConnectionSectionName(text, text));
  EXPECT_STREQ(text, "Modem - GSM \\x5B1\\x5D");
}

TEST(ConnectionSectionName, LongNamesAreCutWithoutSplittingAnEscape) {
  char out[kSectionNameSize];
  // 8 + 491 = 499 characters: exactly fits with the terminator.
  std::string fits(491, 'a');
  EXPECT_TRUE(ConnectionSectionName(fits.c_str(), out));
  EXPECT_EQ(strlen(out), 499u);

  std::string oneOver(492, 'a');
  EXPECT_FALSE(ConnectionSectionName(oneOver.c_str(), out));
  EXPECT_EQ(std::string(out), "Modem - " + std::string(491, 'a'));

  // A bracket whose escape would cross the end is left out whole.
  std::string bracket = std::string(489, 'b') + "[x";
  EXPECT_FALSE(ConnectionSectionName(bracket.c_str(), out));
  EXPECT_EQ(std::string(out), "Modem - " + std::string(489, 'b'));

  // Every name, however long, gives the same cut section: reads and writes agree.
  std::string huge(5000, '[');
  char again[kSectionNameSize];
  EXPECT_FALSE(ConnectionSectionName(huge.c_str(), out));
  EXPECT_FALSE(ConnectionSectionName(huge.c_str(), again));
  EXPECT_STREQ(out, again);
  EXPECT_EQ(strlen(out), 8u + 4 * 122);

  char tiny[4];
  EXPECT_FALSE(ConnectionSectionName("x", tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
  EXPECT_TRUE(ConnectionSectionName("SMPP - ", out, 8));
}

// An address rule's case: the text as typed, whether the rule accepts it,
// and the text it leaves behind.
struct AddressCase {
  const char* text;
  bool valid;
  const char* after;
};

template <size_t N>
void ExpectAddressRule(bool (*rule)(char*, size_t), const AddressCase (&cases)[N]) {
  for (size_t i = 0; i < N; ++i) {
    char text[250];
    strcpy(text, cases[i].text);
    EXPECT_EQ(rule(text, sizeof text), cases[i].valid) << "case " << i;
    EXPECT_STREQ(text, cases[i].after) << "case " << i;
  }
}

TEST(NormaliseIpAddress, Table) {
  const AddressCase cases[] = {
      {"010.1.2.3", true, "10.1.2.3"},
      {"10.1", true, "10.1.0.0"},
      {"1.2.3.4.5", false, "1.2.3.4.5"},
      {"300.1.1.1", false, "300.1.1.1"},
      {"255.255.255.255", true, "255.255.255.255"},
      {"256.0.0.0", false, "256.0.0.0"},
      {"  1.2.3.4 \t\r\n", true, "1.2.3.4"},
      {"  1.2.x  ", false, "  1.2.x"},
      {"1.2.3.4.", false, "1.2.3.4."},
      {"1..3", true, "1.0.3.0"},
      {"http://1.2.3.4", false, "http://1.2.3.4"},
      {"http:1.2.3.4", false, "http:1.2.3.4"},
      {"1.2.3.4:80", false, "1.2.3.4:80"},
      {"\t1.2.3.4", false, "\t1.2.3.4"},
      {"-1.2.3.4", false, "-1.2.3.4"},
      {"0000000000000000000001.2.3.4", true, "1.2.3.4"},
      {"99999999999999999999999.1.1.1", false, "99999999999999999999999.1.1.1"},
      {"10.0.0.1 x", false, "10.0.0.1 x"},
  };
  ExpectAddressRule(NormaliseIpAddress, cases);
}

TEST(NormaliseIpAddress, NormalFormMustFitTheBuffer) {
  char small[7] = "1";  // "1.0.0.0" needs 8
  EXPECT_FALSE(NormaliseIpAddress(small, sizeof small));
  EXPECT_STREQ(small, "1");
  char exact[8] = "1.2.3.4";
  EXPECT_TRUE(NormaliseIpAddress(exact, sizeof exact));
  EXPECT_STREQ(exact, "1.2.3.4");
}

// What the connection test gets of a typed WAP gateway address.
TEST(PrepareWapGatewayAddress, Table) {
  const AddressCase cases[] = {
      {"010.001.2.3", true, "10.1.2.3"},
      {"  10.1 \t", true, "10.1.0.0"},
      {"http://1.2.3.4", true, "http:1.2.3.4"},
      {"HTTP://01.2.3.4", true, "HTTP:01.2.3.4"},  // passed as typed behind "http:"
      {"http:1.2.3.4", true, "http:1.2.3.4"},
      {"http://1.2.3.4:9201", true, "http:1.2.3.4:9201"},
      {"HTTP://10.1.2.3:8799/wap", true, "HTTP:10.1.2.3:8799/wap"},
      {"  http://10.0.0.1:80  ", true, "http:10.0.0.1:80"},
      {"http://mmsproxy.rogers.com", true, "http:mmsproxy.rogers.com"},
      {"http://mms-proxy.telenor.no:8080", true, "http:mms-proxy.telenor.no:8080"},
      {"http:localhost:9201", true, "http:localhost:9201"},
      {"mmsproxy.rogers.com", false, "mmsproxy.rogers.com"},  // a bare name is not an address
      {"http://", false, "http:"},
      {"http://:80", false, "http::80"},
      {"http://host:0", false, "http:host:0"},
      {"http://host:65536", false, "http:host:65536"},
      {"http://host:80x", false, "http:host:80x"},
      {"http://-host.com", false, "http:-host.com"},
      {"http://host-.com", false, "http:host-.com"},
      {"http://a..b", false, "http:a..b"},
      {"http://9201", false, "http:9201"},  // digits alone: neither name nor address
      {"http://300.1.1.1", false, "http:300.1.1.1"},
      {"http://ho st", false, "http:ho st"},
      {"http://host/pa th", false, "http:host/pa th"},
      {"https://1.2.3.4", false, "https://1.2.3.4"},
      {"1.2.3.4:80", false, "1.2.3.4:80"},
      {"1.2.3.4.5", false, "1.2.3.4.5"},
      {"   ", true, "0.0.0.0"},  // missing parts count as 0; the page asks for a text first
      {"http:0000000000000000000001.2.3.4", true, "http:0000000000000000000001.2.3.4"},
  };
  ExpectAddressRule(PrepareWapGatewayAddress, cases);
  std::string longest = "http://" + std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') +
                        "." + std::string(61, 'd');
  char text[300];
  strcpy(text, longest.c_str());
  EXPECT_TRUE(PrepareWapGatewayAddress(text, sizeof text));  // 253 characters of name
  strcpy(text, (longest + "e").c_str());
  EXPECT_FALSE(PrepareWapGatewayAddress(text, sizeof text));
}
