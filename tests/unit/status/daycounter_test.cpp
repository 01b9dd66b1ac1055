#include <gtest/gtest.h>

#include <vector>

#include "core/daycounter.h"

namespace {

// A counter file of `size` bytes holding `value` on each listed day.
struct CounterFile {
  std::vector<unsigned char> bytes;
  explicit CounterFile(size_t size = kCounterFileSize) : bytes(size) {}
  CounterFile& Set(unsigned day, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[4 * (day - 1) + i] = static_cast<unsigned char>(value >> (8 * i));
    return *this;
  }
};

TEST(DayCounters, ThirdOfJanuaryAddsTheTailOfLastDecember) {
  // 2012 is a leap year: its file ends on day 366; 2013's does not.
  CounterFile now, last2012, last2013;
  now.Set(1, 1).Set(2, 2).Set(3, 4);
  for (CounterFile* f : {&last2012, &last2013}) f->Set(366, 8).Set(365, 16).Set(364, 32).Set(363, 64).Set(362, 128).Set(340, 256).Set(339, 512);
  DayCounts c = SumDayCounters(2013, 1, 3, now.bytes.data(), now.bytes.size(), last2012.bytes.data(), 1464);
  EXPECT_EQ(c.today, 4u);
  EXPECT_EQ(c.last7, 1u + 2 + 4 + 8 + 16 + 32 + 64);         // 31, 30, 29, 28 December
  EXPECT_EQ(c.last30, 1u + 2 + 4 + 8 + 16 + 32 + 64 + 128 + 256);  // back to day 340, not 339
  // After a common year, 31 December is day 365 and day 366 is never read.
  c = SumDayCounters(2014, 1, 3, now.bytes.data(), now.bytes.size(), last2013.bytes.data(), 1464);
  EXPECT_EQ(c.last7, 1u + 2 + 4 + 16 + 32 + 64 + 128);
  EXPECT_TRUE(CounterNeedsPreviousYear(2014, 1, 29));
  EXPECT_FALSE(CounterNeedsPreviousYear(2014, 1, 30));
}

TEST(DayCounters, FirstOfMarchInALeapYearIsDay61AtOffset240) {
  CounterFile f;
  f.bytes[240] = 0x04, f.bytes[241] = 0x03, f.bytes[242] = 0x02, f.bytes[243] = 0x01;
  f.Set(60, 5).Set(55, 7).Set(54, 100);
  DayCounts c = SumDayCounters(2012, 3, 1, f.bytes.data(), f.bytes.size(), nullptr, 0);
  EXPECT_EQ(c.today, 0x01020304u);
  EXPECT_EQ(c.last7, 0x01020304u + 5 + 7);
  EXPECT_EQ(c.last30, 0x01020304u + 5 + 7 + 100);
  // A common year's 1 March is day 60.
  EXPECT_EQ(SumDayCounters(2013, 3, 1, f.bytes.data(), f.bytes.size(), nullptr, 0).today, 5u);
}

TEST(DayCounters, ShortAndMissingFilesCountAsZeros) {
  CounterFile hundred(100);  // days 1 to 25
  hundred.Set(25, 9).Set(20, 1);
  EXPECT_EQ(SumDayCounters(2013, 1, 25, hundred.bytes.data(), 100, nullptr, 0).today, 9u);
  DayCounts c = SumDayCounters(2013, 1, 26, hundred.bytes.data(), 100, nullptr, 0);
  EXPECT_EQ(c.today, 0u);
  EXPECT_EQ(c.last7, 9u + 1);
  c = SumDayCounters(2013, 1, 3, nullptr, 0, nullptr, 0);
  EXPECT_EQ(c.today + c.last7 + c.last30, 0u);
  // This year's file missing, last year's there.
  CounterFile last;
  last.Set(365, 3);
  EXPECT_EQ(SumDayCounters(2014, 1, 2, nullptr, 0, last.bytes.data(), 1464).last7, 3u);
}

TEST(DayCounters, ThirtyFirstOfDecemberInALeapYear) {
  CounterFile f;
  f.Set(366, 1).Set(360, 2).Set(359, 4).Set(337, 8).Set(336, 16);
  DayCounts c = SumDayCounters(2012, 12, 31, f.bytes.data(), f.bytes.size(), nullptr, 0);
  EXPECT_EQ(c.today, 1u);
  EXPECT_EQ(c.last7, 3u);
  EXPECT_EQ(c.last30, 15u);
  EXPECT_FALSE(CounterNeedsPreviousYear(2012, 12, 31));
}

}  // namespace
