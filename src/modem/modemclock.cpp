#include "modem/modemclock.h"

#include <windows.h>

namespace {

const ModemClock* g_clock = nullptr;

}  // namespace

void SetModemClock(const ModemClock* clock) { g_clock = clock; }

time_t ModemNow() { return g_clock ? g_clock->now() : time(nullptr); }

void ModemSleep(unsigned long ms) {
  if (g_clock)
    g_clock->sleep(ms);
  else
    Sleep(ms);
}
