// SMS PDUs against published examples (the GSM 03.40 / 3GPP TS 23.040 PDU
// walk-throughs) and against PDUs made by an independent encoder (Gammu's
// EncodePDU, with its validity octet replaced by ours).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smspdu.h"

using namespace smspdu;

namespace {

Bytes Hex(const std::string& hex) {
  Bytes b;
  EXPECT_TRUE(FromHex(hex, &b)) << hex;
  return b;
}

std::vector<std::string> Submit(const Outgoing& m, uint8_t reference = 0) {
  std::vector<Bytes> tpdus;
  std::string error;
  EXPECT_TRUE(EncodeSubmit(m, reference, &tpdus, &error)) << error;
  std::vector<std::string> out;
  for (const Bytes& t : tpdus) out.push_back(ToHex(t));
  return out;
}

Decoded Decode(const std::string& hex, bool withCentre) {
  Bytes b = Hex(hex);
  Decoded d;
  std::string error;
  EXPECT_TRUE(DecodePdu(b.data(), b.size(), withCentre, &d, &error)) << hex << ": " << error;
  return d;
}

}  // namespace

TEST(SmsPdu, SeptetPackingOfThePublishedExample) {
  Bytes septets;
  ASSERT_TRUE(TextToSeptets(u"hellohello", &septets));
  EXPECT_EQ(ToHex(PackSeptets(septets, 0)), "E8329BFD4697D9EC37");
  Bytes packed = Hex("E8329BFD4697D9EC37");
  EXPECT_EQ(SeptetsToText(UnpackSeptets(packed.data(), packed.size(), 0, 10)), u"hellohello");
}

TEST(SmsPdu, TextMessagesEncodeAsPublishedAndAsGammuEncodes) {
  struct Case {
    const char* number;
    std::u16string text;
    std::vector<std::string> tpdus;
  };
  const Case cases[] = {
      {"+46708251358", u"hellohello", {"11000B916407281553F80000A70AE8329BFD4697D9EC37"}},
      {"+15550100100", u"ZarqSMS Test Message",
       {"11000B915155100001F00000A714DAB03C3E6D4E41D4F29C0E6A96E7F3F0B90C"}},
      // Extension table: the euro sign and brackets take an escape each.
      {"+15550100100", u"Price: 5\u20AC [x]", {"11000B915155100001F00000A71050797A5CD6816A9B3268C3C36F7C"}},
      // Cyrillic has no place in the default alphabet: UCS-2.
      {"+15550100100", u"\u041F\u0440\u0438\u0432\u0435\u0442",
       {"11000B915155100001F00008A70C041F04400438043204350442"}},
      // A national number keeps type 81.
      {"0123", u"A", {"1100048110320000A70141"}},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Submit(TextMessage(cases[i].number, cases[i].text)), cases[i].tpdus) << "case " << i;
}

TEST(SmsPdu, LongTextIsConcatenatedLikeGammuDoes) {
  std::u16string digits;
  for (int i = 0; i < 17; ++i) digits += u"0123456789";
  std::vector<std::string> got = Submit(TextMessage("+15550100100", digits), 0x74);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].substr(0, 40), "51000B915155100001F00000A7A0050003740201");
  EXPECT_EQ(got[0].substr(40, 32), "6031D98C56B3DD7039584C36A3D56C37");
  EXPECT_EQ(got[0].size(), 2u * (14 + 140));
  EXPECT_EQ(got[1], "51000B915155100001F00000A71805000374020266B49AED86CBC162B219AD66BBE172");
  // Each part reads back with its element and the characters in order.
  std::u16string joined;
  for (size_t i = 0; i < got.size(); ++i) {
    Decoded d = Decode(got[i], false);
    std::vector<HeaderElement> elements;
    ASSERT_TRUE(ParseHeader(d.header, &elements));
    Concatenation c;
    ASSERT_TRUE(FindConcatenation(elements, &c));
    EXPECT_EQ(c.reference, 0x74u);
    EXPECT_EQ(c.total, 2u);
    EXPECT_EQ(c.sequence, i + 1);
    joined += SeptetsToText(d.units);
  }
  EXPECT_EQ(joined, digits);
}

TEST(SmsPdu, PartsNeverCutAnEscapeOrASurrogatePair) {
  struct Case {
    std::u16string text;
    size_t firstPartUnits;  // septets or octets in part 1
  };
  std::u16string a152(152, u'a'), a66(66, u'\u0416');
  const Case cases[] = {
      {a152 + u"\u20AC" + u"tail tail!", 152},          // the escape pair would straddle 153
      {std::u16string(160, u'a') + u"b", 153},      // plain text fills 153
      {a66 + u"\U0001F600" + u"xxxxx", 132},            // the pair would straddle 134 octets
      {std::u16string(71, u'\u0416'), 134},  // UCS-2 fills 67 characters
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Outgoing m = TextMessage("+1555", cases[i].text);
    std::vector<Bytes> tpdus;
    std::string error;
    ASSERT_TRUE(EncodeSubmit(m, 1, &tpdus, &error)) << "case " << i << ": " << error;
    ASSERT_GE(tpdus.size(), 2u) << "case " << i;
    std::u16string joined;
    for (size_t p = 0; p < tpdus.size(); ++p) {
      Decoded d;
      ASSERT_TRUE(DecodePdu(tpdus[p].data(), tpdus[p].size(), false, &d, &error)) << "case " << i << ": " << error;
      if (p == 0) {
        EXPECT_EQ(d.units.size(), cases[i].firstPartUnits) << "case " << i;
      }
      if (m.alphabet == Alphabet::Gsm7) {
        joined += SeptetsToText(d.units);
      } else {
        for (size_t k = 0; k + 1 < d.units.size(); k += 2) joined.push_back(char16_t(d.units[k] << 8 | d.units[k + 1]));
      }
    }
    EXPECT_EQ(joined, cases[i].text) << "case " << i;
  }
}

TEST(SmsPdu, PublishedDeliverDecodes) {
  Decoded d = Decode("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", true);
  EXPECT_EQ(d.type, PduType::Deliver);
  EXPECT_EQ(d.serviceCentre, "+27381000015");
  EXPECT_EQ(d.address, "27838890001");
  EXPECT_EQ(d.timestamp, "99/03/29,15:16:59+08");
  EXPECT_EQ(MessageText(d), "hellohello");
  EXPECT_EQ(ToHex(d.body), "E8329BFD4697D9EC37");
  // The published submit, with a service centre field of its own.
  Decoded s = Decode("0011000B916407281553F80000AA0AE8329BFD4697D9EC37", true);
  EXPECT_EQ(s.type, PduType::Submit);
  EXPECT_EQ(s.address, "+46708251358");
  EXPECT_EQ(MessageText(s), "hellohello");
}

TEST(SmsPdu, DeliverWithHeaderKeepsFillBitsInItsBody) {
  // Gammu's second part of the 170 digits, as a network delivers it.
  Decoded d = Decode("0044" "0B915155100001F0" "0000" "42507131540300" "18" "050003740202" "66B49AED86CBC162B219AD66BBE172",
                     true);
  EXPECT_EQ(d.address, "+15550100100");
  EXPECT_EQ(d.timestamp, "24/05/17,13:45:30+00");
  EXPECT_EQ(ToHex(d.header), "0003740202");
  EXPECT_EQ(ToHex(d.body), "66B49AED86CBC162B219AD66BBE172");
  EXPECT_EQ(MessageText(d), "34567890123456789");
}

TEST(SmsPdu, WapPushPartsCarryPortsAndSixteenBitReferences) {
  Decoded d = Decode("0040" "0B915155100001F0" "0004" "42507131540300" "0F" "0C" "05040B8423F0" "08040102" "0201" "0106",
                     true);
  std::vector<HeaderElement> e;
  ASSERT_TRUE(ParseHeader(d.header, &e));
  Ports ports;
  ASSERT_TRUE(FindPorts(e, &ports));
  EXPECT_EQ(ports.destination, 2948u);
  EXPECT_EQ(ports.source, 9200u);
  Concatenation c;
  ASSERT_TRUE(FindConcatenation(e, &c));
  EXPECT_EQ(c.reference, 0x0102u);
  EXPECT_EQ(c.total, 2u);
  EXPECT_EQ(c.sequence, 1u);
  EXPECT_EQ(ToHex(BuildHeader(WithoutConcatenation(e))), "05040B8423F0");
  EXPECT_EQ(MessageText(d), "0106");
}

TEST(SmsPdu, BinaryMessageWithItsOwnHeaderRoundTrips) {
  Outgoing m;
  m.number = "+15550100100";
  m.alphabet = Alphabet::Data8;
  m.dcs = 0x04;
  m.header = Hex("05040B8423F0");
  m.payload.assign(300, 0x5A);
  std::vector<Bytes> tpdus;
  std::string error;
  ASSERT_TRUE(EncodeSubmit(m, 9, &tpdus, &error)) << error;
  ASSERT_EQ(tpdus.size(), 3u);  // 140 - 12 header octets = 128 per part
  size_t total = 0;
  for (const Bytes& t : tpdus) {
    Decoded d;
    ASSERT_TRUE(DecodePdu(t.data(), t.size(), false, &d, &error)) << error;
    EXPECT_EQ(ToHex(d.header).substr(10), "05040B8423F0");
    total += d.units.size();
  }
  EXPECT_EQ(total, 300u);
}

TEST(SmsPdu, EncoderRefusesWhatCannotBeSent) {
  struct Case {
    std::string number;
    size_t units;
    uint8_t dcs;
    Alphabet alphabet;
    const char* error;
  };
  const Case cases[] = {
      {"", 1, 0, Alphabet::Gsm7, "Invalid phone number"},
      {"+", 1, 0, Alphabet::Gsm7, "Invalid phone number"},
      {"12-34", 1, 0, Alphabet::Gsm7, "Invalid phone number"},
      {"123456789012345678901", 1, 0, Alphabet::Gsm7, "Invalid phone number"},
      {"123", 1, 0x08, Alphabet::Data8, "Data coding scheme does not match the data"},
      {"123", 3, 0x08, Alphabet::Ucs2, "UCS-2 data has an odd number of octets"},
      {"123", 134 * 256, 0x04, Alphabet::Data8, "Message too long"},
      {"123", 1, 0x04, Alphabet::Data8, "Invalid user data header"},  // found by fuzzing: a header element cut short
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Outgoing m;
    m.number = cases[i].number;
    m.dcs = cases[i].dcs;
    m.alphabet = cases[i].alphabet;
    m.payload.assign(cases[i].units, 0x41);
    if (std::string(cases[i].error) == "Invalid user data header") m.header = Hex("0005AA");
    std::vector<Bytes> tpdus;
    std::string error;
    EXPECT_FALSE(EncodeSubmit(m, 0, &tpdus, &error)) << "case " << i;
    EXPECT_EQ(error, cases[i].error) << "case " << i;
  }
  // 255 parts is the most a reference byte numbers.
  Outgoing m;
  m.number = "1";
  m.alphabet = Alphabet::Data8;
  m.dcs = 4;
  m.payload.assign(134 * 255, 1);
  std::vector<Bytes> tpdus;
  std::string error;
  EXPECT_TRUE(EncodeSubmit(m, 0, &tpdus, &error)) << error;
  EXPECT_EQ(tpdus.size(), 255u);
}

TEST(SmsPdu, MalformedPdusAreRefusedWithAReason) {
  const char* cases[] = {
      "",                                                       // nothing
      "07917283010010",                                         // centre runs past the end
      "00",                                                     // centre only
      "0011000B916407281553F80000AA0AE8329BFD4697D9EC",         // user data one octet short
      "0011000B916407281553F80000AA0AE8329BFD4697D9EC3700",     // one octet too many
      "0011001B916407281553F80000AA0AE8329BFD4697D9EC37",       // 27 digits
      "0051000B916407281553F80000AA0A0CE8329BFD4697D9EC37",     // header longer than the data
      "0011000B916407281553F80000AAA1"  // 161 septets
      "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
      "000000000000000000000000000000000000000000000000000000000000000000000000",
      "0002",                                                   // status report
      "0011000B916407281553F800",                               // ends in the header
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    Bytes b;
    ASSERT_TRUE(FromHex(cases[i], &b)) << "case " << i;
    Decoded d;
    std::string error;
    EXPECT_FALSE(DecodePdu(b.data(), b.size(), true, &d, &error)) << "case " << i;
    EXPECT_FALSE(error.empty()) << "case " << i;
  }
}

TEST(SmsPdu, DataCodingSchemesNameTheirAlphabet) {
  const struct {
    uint8_t dcs;
    Alphabet alphabet;
  } cases[] = {{0x00, Alphabet::Gsm7}, {0x04, Alphabet::Data8}, {0x08, Alphabet::Ucs2}, {0x0C, Alphabet::Data8},
               {0x10, Alphabet::Gsm7},  {0x18, Alphabet::Ucs2},  {0xC0, Alphabet::Gsm7}, {0xD3, Alphabet::Gsm7},
               {0xE0, Alphabet::Ucs2},  {0xF1, Alphabet::Gsm7},  {0xF4, Alphabet::Data8}, {0x80, Alphabet::Data8}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(AlphabetOfDcs(cases[i].dcs), cases[i].alphabet) << "case " << i;
}

TEST(SmsPdu, AddressesAndUtf8) {
  Bytes b;
  ASSERT_TRUE(EncodeAddress("+15550100100", &b));
  EXPECT_EQ(ToHex(b), "0B915155100001F0");
  std::string number;
  size_t used = 0;
  ASSERT_TRUE(DecodeAddress(b.data(), b.size(), &used, &number));
  EXPECT_EQ(number, "+15550100100");
  EXPECT_EQ(used, b.size());
  // Alphanumeric sender "Zarq" (type D0, 7 digits' worth of septets).
  Bytes alpha = Hex("07D0DAB03C0E");
  ASSERT_TRUE(DecodeAddress(alpha.data(), alpha.size(), &used, &number));
  EXPECT_EQ(number, "Zarq");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xE2\x82\xAC\xF0\x9F\x98\x80x")), "\xE2\x82\xAC\xF0\x9F\x98\x80x");
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80\xFF"), std::u16string(u"\uFFFD\uFFFD\uFFFD"));
}
