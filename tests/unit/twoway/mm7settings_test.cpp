#include "core/mm7settings.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Mm7Lists, OrderAndDefaults) {
  EXPECT_STREQ(kMm7Versions[0], "5.2.0");
  EXPECT_STREQ(kMm7Versions[1], kMm7DefaultVersion);
  EXPECT_STREQ(kMm7Versions[9], "5.11.0");
  EXPECT_STREQ(kMm7Versions[17], "6.7.0");
  EXPECT_STREQ(kMm7Schemas[2], kMm7DefaultSchema);
  EXPECT_STREQ(kMm7Schemas[9], "REL-6-MM7-1-3");
  EXPECT_STREQ(kMm7Variations[kMm7Ericsson], "Ericsson");
  EXPECT_STREQ(kMm7Variations[kMm7AnnyWay], "AnnyWay");
  EXPECT_EQ(Mm7SchemaNamespace("REL-5-MM7-1-2"),
            "http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/REL-5-MM7-1-2");
}

TEST(Mm7SchemaRelease, PrefixWholeAndReleaseListed) {
  struct Case {
    const char* ns;
    int release;
  } cases[] = {
      {"http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/REL-6-MM7-1-3", 9},
      {"HTTP://WWW.3GPP.ORG/ftp/specs/ARCHIVE/23_series/23.140/schema/rel-5-mm7-1-0", 0},
      {"http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/REL-7-MM7-1-0", -1},
      {"http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/", -1},
      {"http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schem", -1},
      {"http://example.com/mm7/REL-5-MM7-1-2", -1},
      {"REL-5-MM7-1-2", -1},
      {"", -1},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Mm7SchemaRelease(cases[i].ns), cases[i].release) << "case " << i;
}

TEST(ParseMm7ServerAddress, SchemePortAndPath) {
  struct Case {
    const char* address;
    const char* host;
    unsigned port;
    bool tls;
  } cases[] = {
      {"https://mm7.example.com:8443/mm7/deliver", "mm7.example.com", 8443, true},
      {"HTTPS://mm7.example.com/path", "mm7.example.com", 443, true},
      {"http://10.1.2.3/mm7/x:1", "10.1.2.3", 80, false},  // a colon in the path is not a port
      {"Http://host:81", "host", 81, false},
      {"host.example", "host.example", 80, false},
      {"host:8080/a", "host", 8080, false},
      {"ftp://host/", "ftp", 0, false},  // no known scheme: "ftp" is the host, "" the port
      {"https://", "", 443, true},
      {"host:99999", "host", 99999, false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Mm7ServerAddress a = ParseMm7ServerAddress(cases[i].address);
    EXPECT_EQ(a.host, cases[i].host) << "case " << i;
    EXPECT_EQ(a.port, cases[i].port) << "case " << i;
    EXPECT_EQ(a.tls, cases[i].tls) << "case " << i;
  }
}

TEST(CutHostNumberSuffix, OnlyDigitsAfterTheHash) {
  struct Case {
    const char* host;
    const char* cut;
  } cases[] = {
      {"localhost#12", "localhost"}, {"localhost#x", "localhost#x"}, {"localhost#1x", "localhost#1x"},
      {"localhost#", "localhost"},   {"a#b#12", "a#b#12"},           {"10.0.0.1#7", "10.0.0.1"},
      {"plain", "plain"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    char host[64];
    strcpy(host, cases[i].host);
    CutHostNumberSuffix(host);
    EXPECT_STREQ(host, cases[i].cut) << "case " << i;
  }
}
