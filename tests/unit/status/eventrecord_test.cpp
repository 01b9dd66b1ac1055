#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/eventrecord.h"

namespace {

void Put32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// One record in the platform's layout: fixed part, source, computer, strings,
// padding to 4 bytes, the length again.
std::vector<unsigned char> Record(uint32_t number, uint16_t type, const std::string& source,
                                  const std::vector<std::string>& strings, uint32_t time = 1329400000) {
  std::vector<unsigned char> r(56);
  auto text = [&](const std::string& s) { r.insert(r.end(), s.begin(), s.end()), r.push_back(0); };
  text(source);
  text("HOST");
  size_t stringOffset = r.size();
  for (const std::string& s : strings) text(s);
  while (r.size() % 4) r.push_back(0);
  r.resize(r.size() + 4);
  Put32(r, 0, uint32_t(r.size()));
  Put32(r, 4, 0x654c664c);
  Put32(r, 8, number);
  Put32(r, 12, time);
  Put32(r, 16, time);
  r[24] = uint8_t(type), r[25] = uint8_t(type >> 8);
  r[26] = uint8_t(strings.size());
  Put32(r, 36, uint32_t(stringOffset));
  Put32(r, r.size() - 4, uint32_t(r.size()));
  return r;
}

std::string Line(const std::vector<unsigned char>& r, const SmsDateTime* time, size_t size = 2048) {
  EventRecordView v;
  if (!ViewEventRecord(r.data(), r.size(), 0, &v)) return "<invalid>";
  std::vector<char> out(size);
  EventLineText(time, v, out.data(), out.size());
  return out.data();
}

TEST(EventRecords, LineHasTimeTypeWordAndFirstString) {
  const SmsDateTime at = {2012, 2, 4, 16, 13, 5, 9, 0};
  struct Case {
    uint16_t type;
    const char* want;
  } cases[] = {
      {1, "2012-02-16 13:05:09 - Error: first"},       {2, "2012-02-16 13:05:09 - Warning: first"},
      {4, "2012-02-16 13:05:09 - Info: first"},        {8, "2012-02-16 13:05:09 - Info: first"},   // audit success
      {16, "2012-02-16 13:05:09 - Info: first"},       {0, "2012-02-16 13:05:09 - Info: first"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    EXPECT_EQ(Line(Record(7, cases[i].type, "ZarqSMS", {"first", "second"}), &at), cases[i].want) << "case " << i;
  // No time: no time part; no string: just the word; a long text is cut to fit.
  EXPECT_EQ(Line(Record(7, 2, "ZarqSMS", {"Modem off-line"}), nullptr), "Warning: Modem off-line");
  EXPECT_EQ(Line(Record(7, 1, "ZarqSMS", {}), nullptr), "Error: ");
  std::string cut = Line(Record(7, 4, "ZarqSMS", {std::string(3000, 'x')}), &at);
  EXPECT_EQ(cut.size(), 2047u);
  EXPECT_EQ(cut.substr(0, 28), "2012-02-16 13:05:09 - Info: ");
  EXPECT_EQ(Line(Record(7, 4, "ZarqSMS", {"abc"}), nullptr, 8), "Info: a");
}

TEST(EventRecords, RecordsThatDoNotFitOrLieAboutThemselvesStopTheWalk) {
  std::vector<unsigned char> r = Record(1, 4, "ZarqSMS", {"text"});
  EventRecordView v;
  EXPECT_FALSE(ViewEventRecord(r.data(), r.size() - 1, 0, &v)) << "cut short";
  EXPECT_FALSE(ViewEventRecord(r.data(), r.size(), r.size(), &v)) << "nothing left";
  EXPECT_FALSE(ViewEventRecord(r.data(), r.size(), r.size() + 8, &v)) << "offset past the end";
  std::vector<unsigned char> bad = r;
  Put32(bad, 0, 0);
  EXPECT_FALSE(ViewEventRecord(bad.data(), bad.size(), 0, &v)) << "length 0 would never advance";
  Put32(bad, 0, 55);
  EXPECT_FALSE(ViewEventRecord(bad.data(), bad.size(), 0, &v)) << "shorter than the fixed part";
  // A string offset outside the record, or text without its NUL, stays inside it.
  bad = r;
  Put32(bad, 36, 5000);
  ASSERT_TRUE(ViewEventRecord(bad.data(), bad.size(), 0, &v));
  EXPECT_EQ(v.firstStringLength, 0u);
  std::vector<unsigned char> open(60, 'Z');
  Put32(open, 0, 60);
  open[26] = 1;
  Put32(open, 36, 56);
  ASSERT_TRUE(ViewEventRecord(open.data(), open.size(), 0, &v));
  EXPECT_EQ(std::string(v.firstString, v.firstStringLength), "ZZZZ");
  EXPECT_EQ(v.sourceLength, 4u);
  EXPECT_FALSE(EventSourceIs(v, "ZarqSMS"));
}

}  // namespace
