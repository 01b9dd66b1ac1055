// The clock of the modem code's long waits (response deadlines, the pauses
// between retries, the modem's restart after a reset). The program always
// runs on the real clock; a test may install a faster one once, before it
// talks to a modem.
#pragma once
#include <ctime>

struct ModemClock {
  time_t (*now)();                  // calendar seconds, as time() gives them
  void (*sleep)(unsigned long ms);  // a pause of that many of the clock's milliseconds
};

// Null restores the real clock. The record must outlive its use.
void SetModemClock(const ModemClock* clock);

time_t ModemNow();
void ModemSleep(unsigned long ms);
