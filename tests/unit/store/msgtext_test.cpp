// Coding schemes, hexadecimal digits, UCS-2 and the text a received message shows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gsm7.h"
#include "core/msgtext.h"
#include "core/smsfile.h"

TEST(CodingScheme, GsmAndUcs2Tables) {
  struct {
    unsigned dcs;
    bool gsm7, ucs2;
  } cases[] = {
      {0x00, true, false},  {0x01, true, false},  {0x10, true, false},  {0x20, true, false},
      {0x30, true, false},  {0xC0, true, false},  {0xD3, true, false},  {0xF1, true, false},
      {0xF0, true, false},  {0xF4, false, false}, {0x04, false, false}, {0x14, false, false},
      {0x08, false, true},  {0x0C, false, true},  {0x18, false, true},  {0xE0, false, true},
      {0xEF, false, true},  {0x40, false, false}, {0x48, false, false}, {0x80, false, false},
      {0xB0, false, false}, {0xF8, true, false},
  };
  for (auto& c : cases) {
    EXPECT_EQ(IsGsm7Dcs(static_cast<unsigned char>(c.dcs)), c.gsm7) << std::hex << "dcs 0x" << c.dcs;
    EXPECT_EQ(IsUcs2Dcs(static_cast<unsigned char>(c.dcs)), c.ucs2) << std::hex << "dcs 0x" << c.dcs;
  }
}

TEST(HexDigits, ValuesAndBytes) {
  const char digits[] = "0123456789abcdefABCDEF";
  const unsigned values[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 10, 11, 12, 13, 14, 15};
  for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) EXPECT_EQ(HexDigitValue(digits[i]), values[i]) << i;
  for (char c : std::string("gG xz/:@`\xFF")) EXPECT_EQ(HexDigitValue(c), 0u) << int(c);
  EXPECT_EQ(ParseHexByte("F8"), 0xF8);
  EXPECT_EQ(ParseHexByte("10"), 0x10);
  EXPECT_EQ(ParseHexByte("zz"), 0);
  EXPECT_EQ(ParseHexByte("123456789ABCDEF01"), 0x01);
}

TEST(Ucs2, ToUtf8) {
  struct {
    const char* hex;
    const char* text;
  } cases[] = {
      {"00480069", "Hi"},
      {"20AC", "\xE2\x82\xAC"},
      {"004800000069", "H"},
      {"0048G0069", "H"},
      {"0048041", "HA"},
      {"00E9", "\xC3\xA9"},
      {"07FF0800", "\xDF\xBF\xE0\xA0\x80"},
      {"D83DDE00", "\xED\xA0\xBD\xED\xB8\x80"},  // surrogates each on their own
      {"", ""},
      {"zz", ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::string buf = cases[i].hex;
    buf.resize(buf.size() + 1);
    Ucs2HexToUtf8(&buf[0]);
    EXPECT_STREQ(buf.c_str(), cases[i].text) << "case " << i;
  }
}

TEST(Ucs2, LongestDataConvertsInPlace) {
  // 8192 hexadecimal characters of euro signs convert in place within the buffer.
  std::string hex;
  for (int i = 0; i < 2048; ++i) hex += "20AC";
  std::string buf = hex;
  Ucs2HexToUtf8(&buf[0]);
  EXPECT_EQ(strlen(buf.c_str()), 2048u * 3);
}

TEST(DisplayText, FollowsTheCodingScheme) {
  struct {
    bool binary;
    unsigned dcs;
    const char* udh;
    const char* data;
    const char* shown;
  } cases[] = {
      {false, 0x08, "", "00480069", "00480069"},  // not binary: as stored
      {true, 0x08, "", "00480069", "Hi"},
      {true, 0x18, "", "00480069", "Hi"},
      {true, 0x00, "", "C8329BFD06", "Hello"},
      {true, 0xF1, "050003CC0201", "906536FB0D", "Hello"},
      {true, 0x04, "", "C8329BFD06", "C8329BFD06"},  // 8-bit data: the hexadecimal digits
      {true, 0xF4, "", "0102", "0102"},
      {false, 0x00, "", "plain", "plain"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    SmsFileInfo info = {};
    info.binary = cases[i].binary;
    info.dcs = static_cast<unsigned char>(cases[i].dcs);
    strcpy(info.udh, cases[i].udh);
    strcpy(info.Data, cases[i].data);
    DisplayText(&info, &Gsm7HexToUtf8);
    EXPECT_STREQ(info.Data, cases[i].shown) << "case " << i;
  }
}
