#include "core/mm7settings.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Mm7Settings, SchemaNamespaces) {
  EXPECT_STREQ(kMm7Versions[1], kMm7DefaultVersion);
  EXPECT_STREQ(kMm7Schemas[2], kMm7DefaultSchema);
  const std::string prefix = "http://www.3gpp.org/ftp/Specs/archive/23_series/23.140/schema/";
  EXPECT_EQ(Mm7SchemaNamespace("REL-5-MM7-1-2"), prefix + "REL-5-MM7-1-2");
  struct Case {
    std::string ns;
    int release;
  } cases[] = {{prefix + "REL-6-MM7-1-3", 9}, {"HTTP://WWW.3GPP.ORG/FTP/specs/archive/23_series/23.140/schema/rel-5-mm7-1-0", 0},
               {prefix + "REL-7-MM7-1-0", -1}, {prefix, -1}, {"http://example.com/REL-5-MM7-1-2", -1}, {"", -1}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Mm7SchemaRelease(cases[i].ns.c_str()), cases[i].release) << "case " << i;
}

TEST(Mm7Settings, ServerAddressAndHostSuffix) {
  struct Case {
    const char* address;
    const char* host;
    unsigned port;
    bool tls;
  } cases[] = {
      {"https://mm7.example.com:8443/mm7/deliver", "mm7.example.com", 8443, true},
      {"HTTPS://mm7.example.com/path", "mm7.example.com", 443, true},
      {"http://10.1.2.3/mm7/x:1", "10.1.2.3", 80, false},  // a colon in the path is no port
      {"host.example", "host.example", 80, false},
      {"host:8080/a", "host", 8080, false},
      {"ftp://host/", "ftp", 0, false},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Mm7ServerAddress a = ParseMm7ServerAddress(cases[i].address);
    EXPECT_EQ(a.host, cases[i].host) << "case " << i;
    EXPECT_EQ(a.port, cases[i].port) << "case " << i;
    EXPECT_EQ(a.tls, cases[i].tls) << "case " << i;
  }
  const char* hosts[][2] = {{"localhost#12", "localhost"}, {"localhost#x", "localhost#x"}, {"a#1x", "a#1x"},
                            {"a#b#12", "a#b#12"}, {"10.0.0.1#7", "10.0.0.1"}};
  for (auto& h : hosts) {
    char host[64];
    strcpy(host, h[0]);
    CutHostNumberSuffix(host);
    EXPECT_STREQ(host, h[1]) << h[0];
  }
}
