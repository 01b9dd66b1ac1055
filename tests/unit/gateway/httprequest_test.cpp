// The web interface's reading of requests, forms and logins.
#include <gtest/gtest.h>

#include "httprequest.h"

using namespace http;

TEST(HttpRequest, RequestsCompleteOnlyWithTheirBody) {
  const struct {
    std::string received;
    Parse result;
    const char *method, *path, *query, *body;
  } cases[] = {
      {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", Parse::Complete, "GET", "/", "", ""},
      {"GET /?PhoneNumber=1&Text=a HTTP/1.0\r\n\r\n", Parse::Complete, "GET", "/", "PhoneNumber=1&Text=a", ""},
      {"GET / HTTP/1.1\r\nHost: x\r\n", Parse::Incomplete, "", "", "", ""},
      {"POST /send HTTP/1.1\r\nContent-Length: 5\r\n\r\nab", Parse::Incomplete, "", "", "", ""},
      {"POST /send HTTP/1.1\r\ncontent-length: 5\r\n\r\nabcdefg", Parse::Complete, "POST", "/send", "", "abcde"},
      {"GET / HTTP/1.1\n\n", Parse::Complete, "GET", "/", "", ""},
      {"\x16\x03\x01\x02\r\n\r\n", Parse::Bad, "", "", "", ""},               // TLS on the plain port
      {"GET x HTTP/1.1\r\n\r\n", Parse::Bad, "", "", "", ""},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n", Parse::Bad, "", "", "", ""},
      {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", Parse::Bad, "", "", "", ""},
      {std::string(kMaxRequest + 1, 'A'), Parse::Bad, "", "", "", ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Request r;
    EXPECT_EQ(ParseRequest(cases[i].received, &r), cases[i].result) << "case " << i;
    if (cases[i].result != Parse::Complete) continue;
    EXPECT_EQ(r.method, cases[i].method) << "case " << i;
    EXPECT_EQ(r.path, cases[i].path) << "case " << i;
    EXPECT_EQ(r.query, cases[i].query) << "case " << i;
    EXPECT_EQ(r.body, cases[i].body) << "case " << i;
  }
}

TEST(HttpRequest, FormsAndLogins) {
  auto form = ParseForm("PhoneNumber=%2B15550100100&Text=Hello+world%21%0D%0A&x&Text=second&bad=%G1%4");
  EXPECT_EQ(FormValue(form, "PhoneNumber"), "+15550100100");
  EXPECT_EQ(FormValue(form, "Text"), "Hello world!\r\n");
  EXPECT_EQ(FormValue(form, "bad"), "%G1%4");
  EXPECT_EQ(FormValue(form, "missing"), "");
  std::string user, password;
  EXPECT_TRUE(ParseBasicLogin("Basic YWxpY2U6czNjcjN0OndpdGg6Y29sb25z", &user, &password));
  EXPECT_EQ(user, "alice");
  EXPECT_EQ(password, "s3cr3t:with:colons");
  EXPECT_FALSE(ParseBasicLogin("Bearer abc", &user, &password));
  EXPECT_FALSE(ParseBasicLogin("Basic !!!!", &user, &password));
  EXPECT_FALSE(ParseBasicLogin("Basic YWxpY2U=", &user, &password));  // no colon
  EXPECT_EQ(HtmlEscape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");
}
