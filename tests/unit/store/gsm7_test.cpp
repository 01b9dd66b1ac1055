// GSM 7-bit user data to UTF-8. Vectors: "hellohello" is the classic published
// packing example; the others were packed by a separate encoder following
// 3GPP TS 23.038 / 23.040 (septets LSB first, fill bits after the header).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gsm7.h"

namespace {

std::string Decode(const char* udh, const std::string& hex) {
  std::vector<char> buf(kGsm7OutputCapacity + 64, '#');
  strcpy(buf.data(), hex.c_str());
  Gsm7HexToUtf8(udh, buf.data(), buf.data());
  for (size_t i = kGsm7OutputCapacity; i < buf.size(); ++i)
    if (buf[i] != '#') ADD_FAILURE() << "written past the buffer at " << i;
  return buf.data();
}

}  // namespace

TEST(Gsm7, PublishedAndPackedVectors) {
  struct {
    const char* udh;
    const char* hex;
    const char* text;
  } cases[] = {
      {"", "E8329BFD4697D9EC37", "hellohello"},
      {"", "C8329BFD06", "Hello"},
      {"050003CC0201", "906536FB0D", "Hello"},           // 6-octet header: one fill bit
      {"0504158200", "84C5", "ab"},                       // 5-octet header: two fill bits
      {"050003CC0202", "9069D006454797E5E54D0A", "Hi {there}"},
      {"", "9BF2A6BC2903", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"},
      {"", "50797A5CD6816A9B3268C37BAF373ED00685DFA4409BDE06B8A16C5E",
       "Price: 5\xE2\x82\xAC [ok] {x} ~|^\\"},
      {"", "10C9041000", "\xCE\x94\xCE\xA6\xCE\x93@\xC2\xA3"},
      {"", "C14D10", "AA"},        // undefined extension code: the default character
      {"", "C1CD4608", "A B"},     // escape, escape: a space
      {"", "1B", ""},              // a lone escape
      {"", "D4F29C9E769F01", "Testing"},  // seven spare bits padded with zeros
      {"", "D4F29C9E769F1B", "Testing"},  // ... and with CR
      {"", "", ""},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Decode(cases[i].udh, cases[i].hex), cases[i].text) << "case " << i;
}

TEST(Gsm7, SeptetAlignedFullMessage) {
  const char* hex =
      "54741914AFA7C76B9058FEBEBB41E6371EA4AEB7E173D0DB5E9683E8E832881DD6E741E4F719048BC966B49AED86CB81A8E832285E"
      "4F8FD720B1FC7D7783CC6F3C485D6FC3E7A0B7BD2C07D1D165103BACCF83C8EF33081693CD6835DB0D970351D16550BC9E1EAF4162"
      "F9FBEE0699DF7890BADE86CF416F7B590EA2A3CB2076589F0791DF67102C269BD142";
  std::string text = Decode("", hex);
  std::string want =
      "The quick brown fox jumps over the lazy dog 0123456789 The quick brown fox jumps over the lazy dog "
      "0123456789 The quick brown fox jumps over the lazy dog 01234!";
  EXPECT_EQ(text.size(), 160u);
  EXPECT_EQ(text, want);
}

TEST(Gsm7, DamagedInputGivesWhatCanBeDecoded) {
  struct {
    const char* udh;
    const char* hex;
    const char* text;
  } cases[] = {
      {"", "C8329BFD0", "Hell"},    // odd digit dropped
      {"", "C832ZZFD06", "He"},     // non-hex ends the data
      {"", "c8329bfd06", "Hello"},  // lower-case digits
      {"zz", "C8329BFD06", "Hello"},  // no header octets
      {"050003CC02010", "906536FB0D", "Hello"},  // a header counts whole octets only
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Decode(cases[i].udh, cases[i].hex), cases[i].text) << "case " << i;
  char out[16] = "x";
  Gsm7HexToUtf8(nullptr, nullptr, out);
  EXPECT_STREQ(out, "");
}

namespace {

std::string Pack(const std::vector<unsigned>& septets) {
  std::vector<unsigned char> octets((septets.size() * 7 + 7) / 8);
  for (size_t s = 0; s < septets.size(); ++s)
    for (size_t b = 0; b < 7; ++b)
      if (septets[s] >> b & 1) octets[(s * 7 + b) / 8] |= static_cast<unsigned char>(1 << ((s * 7 + b) % 8));
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char o : octets) hex += {digits[o >> 4], digits[o & 15]};
  return hex;
}

}  // namespace

TEST(Gsm7, OutputStopsAtTheLastWholeCharacterThatFits) {
  // Greek capitals take two UTF-8 bytes, the euro sign (escape, 0x65) three:
  // a full Data buffer of such text decodes to more than the buffer holds.
  struct {
    size_t greek, euros, length;
  } cases[] = {{4680, 0, 8190}, {4093, 290, 8189}, {4094, 290, 8191}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    std::vector<unsigned> septets(cases[i].greek, 0x10);
    for (size_t e = 0; e < cases[i].euros; ++e) septets.insert(septets.end(), {0x1B, 0x65});
    std::string hex = Pack(septets);
    ASSERT_LT(hex.size(), kGsm7OutputCapacity) << "case " << i;
    std::string text = Decode("", hex);
    EXPECT_EQ(text.size(), cases[i].length) << "case " << i;
    if (cases[i].euros) {
      EXPECT_EQ(text.substr(text.size() - 3), "\xE2\x82\xAC") << "case " << i;
    }
  }
}
