// The gateway's day counters: one file a year per counter, "STATS\" + name +
// "-YYYY.CTR" in the private data directory, holding 366 little-endian 32-bit
// counts; day d of the year (1 = 1 January) is at byte offset 4 * (d - 1).
// Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr unsigned kCounterDays = 366;
constexpr unsigned kCounterFileSize = 4 * kCounterDays;

// Day of the year by the gateway's own rule: the day of the month plus the
// days before the month, plus 1 after February when the year is divisible by
// 4 (no century rule: the files of both writers and readers agree on it).
unsigned CounterDayOfYear(unsigned year, unsigned month, unsigned day);

// The last day a year's file uses: 366 when the year is divisible by 4, else 365.
unsigned CounterLastDay(unsigned year);

// "STATS\" + name + "-" + year + ".CTR" into out (always terminated).
void CounterFileName(const char* name, unsigned year, char* out, size_t outSize);

// Count of day d (1..366) from the bytes of a counter file; 0 for days the
// bytes do not cover.
uint32_t CounterValue(const unsigned char* bytes, size_t size, unsigned day);

// The three cells of a counter row: today, the 7 and the 30 consecutive days
// ending with today.
struct DayCounts {
  uint32_t today = 0, last7 = 0, last30 = 0;
};

// The previous year's file is read only when the 30 days reach back into it.
bool CounterNeedsPreviousYear(unsigned year, unsigned month, unsigned day);

// The cells for a local date from the bytes of this year's file and of the
// previous year's (null or short for a missing or short file). Days before
// 1 January are taken back from the previous year's last day.
DayCounts SumDayCounters(unsigned year, unsigned month, unsigned day, const unsigned char* thisYear,
                         size_t thisSize, const unsigned char* lastYear, size_t lastSize);
