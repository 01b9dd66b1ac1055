#include "core/daycounter.h"

#include <cstdio>

unsigned CounterDayOfYear(unsigned year, unsigned month, unsigned day) {
  static const unsigned kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  if (month < 1) month = 1;
  if (month > 12) month = 12;
  return day + kBefore[month - 1] + (year % 4 == 0 && month > 2 ? 1 : 0);
}

unsigned CounterLastDay(unsigned year) { return year % 4 == 0 ? 366 : 365; }

void CounterFileName(const char* name, unsigned year, char* out, size_t outSize) {
  if (!outSize) return;
  int n = std::snprintf(out, outSize, "STATS\\%s-%u.CTR", name, year);
  if (n < 0) out[0] = '\0';
}

uint32_t CounterValue(const unsigned char* bytes, size_t size, unsigned day) {
  if (day < 1 || day > kCounterDays) return 0;
  size_t at = 4 * size_t(day - 1);
  if (at + 4 > size) return 0;
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

bool CounterNeedsPreviousYear(unsigned year, unsigned month, unsigned day) {
  return CounterDayOfYear(year, month, day) < 30;
}

DayCounts SumDayCounters(unsigned year, unsigned month, unsigned day, const unsigned char* thisYear,
                         size_t thisSize, const unsigned char* lastYear, size_t lastSize) {
  DayCounts c;
  unsigned d = CounterDayOfYear(year, month, day);
  if (!thisYear) thisSize = 0;
  if (!lastYear) lastSize = 0;
  c.today = CounterValue(thisYear, thisSize, d);
  for (unsigned back = 0; back < 30 && back < d; ++back) {
    uint32_t v = CounterValue(thisYear, thisSize, d - back);
    if (back < 7) c.last7 += v;
    c.last30 += v;
  }
  if (d < 30 && year > 0) {
    unsigned last = CounterLastDay(year - 1);
    for (unsigned back = 0; back < 30 - d; ++back) {
      uint32_t v = CounterValue(lastYear, lastSize, last - back);
      if (d + back < 7) c.last7 += v;
      c.last30 += v;
    }
  }
  return c;
}
