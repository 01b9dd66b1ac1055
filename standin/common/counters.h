// The services' side of the day counters (core/daycounter.h): both services
// add to the same files, each change made under a lock on the file so that
// two writers never lose a count.
#pragma once

// Adds `n` to today's (local date) count of counter `name`, for example
// "SMSSENT", in the private data directory's STATS folder (created when
// missing). False when the file cannot be opened, locked or written.
bool AddDayCounter(const char* name, unsigned n = 1);
