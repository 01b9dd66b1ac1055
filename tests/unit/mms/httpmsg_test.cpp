// The MMSC's HTTP: server URLs, request heads direct and through the WAP
// gateway, answer heads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "httpmsg.h"

TEST(HttpMsg, ServerUrls) {
  const struct {
    const char* url;
    bool ok;
    const char* host;
    unsigned port;
    const char* path;
  } cases[] = {
      {"http://mmsc.practice/mms", true, "mmsc.practice", 80, "/mms"},
      {"HTTP://10.1.2.3:8002", true, "10.1.2.3", 8002, "/"},
      {"mms.example.com:81/servlets/mms?x=1", true, "mms.example.com", 81, "/servlets/mms?x=1"},
      {"https://secure/mms", false, "", 0, ""},
      {"http://host:0/", false, "", 0, ""},
      {"http://host:99999/", false, "", 0, ""},
      {"http://ho st/", false, "", 0, ""},
      {"http://host/a\r\nX-Evil: 1", false, "", 0, ""},
      {"http://user@host/", false, "", 0, ""},
      {"http:///path", false, "", 0, ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    HttpUrl u;
    ASSERT_EQ(ParseHttpUrl(cases[i].url, &u), cases[i].ok) << "case " << i;
    if (!cases[i].ok) continue;
    EXPECT_EQ(u.host, cases[i].host) << "case " << i;
    EXPECT_EQ(u.port, cases[i].port) << "case " << i;
    EXPECT_EQ(u.path, cases[i].path) << "case " << i;
  }
}

TEST(HttpMsg, RequestHeads) {
  HttpUrl u;
  ASSERT_TRUE(ParseHttpUrl("http://mmsc:8002/mms", &u));
  std::string direct = HttpRequestHead("POST", u, false, "application/vnd.wap.mms-message", 12);
  EXPECT_EQ(direct.substr(0, direct.find("\r\n")), "POST /mms HTTP/1.0");
  EXPECT_NE(direct.find("\r\nHost: mmsc:8002\r\n"), std::string::npos);
  EXPECT_NE(direct.find("\r\nContent-Length: 12\r\n"), std::string::npos);
  EXPECT_EQ(direct.substr(direct.size() - 4), "\r\n\r\n");
  std::string proxied = HttpRequestHead("GET", u, true, "", 0);
  EXPECT_EQ(proxied.substr(0, proxied.find("\r\n")), "GET http://mmsc:8002/mms HTTP/1.0");
  EXPECT_EQ(proxied.find("Content-"), std::string::npos);
}

TEST(HttpMsg, AnswerHeads) {
  const struct {
    const char* text;
    HeadState state;
    int status;
    const char* type;
    long length;  // -1: none
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Type: Application/Vnd.Wap.Mms-Message; x=1\r\nContent-Length: 5\r\n\r\nabcde",
       HeadState::Complete, 200, "application/vnd.wap.mms-message", 5},
      {"HTTP/1.1 404 Not Found\n\n", HeadState::Complete, 404, "", -1},
      {"HTTP/1.0 200 OK\r\nContent-Len", HeadState::Incomplete, 0, "", -1},
      {"SSH-2.0-OpenSSH\r\n\r\n", HeadState::Malformed, 0, "", -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: -3\r\n\r\n", HeadState::Malformed, 0, "", -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999\r\n\r\n", HeadState::Malformed, 0, "", -1},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    HttpAnswerHead h;
    ASSERT_EQ(ParseHttpAnswerHead(cases[i].text, strlen(cases[i].text), &h), cases[i].state) << "case " << i;
    if (cases[i].state != HeadState::Complete) continue;
    EXPECT_EQ(h.status, cases[i].status) << "case " << i;
    EXPECT_EQ(h.contentType, cases[i].type) << "case " << i;
    EXPECT_EQ(h.hasLength, cases[i].length >= 0) << "case " << i;
    if (cases[i].length >= 0) {
      EXPECT_EQ(h.contentLength, size_t(cases[i].length)) << "case " << i;
    }
  }
  HttpAnswerHead h;
  std::string endless = "HTTP/1.0 200 OK\r\n" + std::string(20000, 'x');
  EXPECT_EQ(ParseHttpAnswerHead(endless.data(), endless.size(), &h), HeadState::Malformed);
}
