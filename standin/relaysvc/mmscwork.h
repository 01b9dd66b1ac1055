// The MMSC's message work, run by the service ZarqMMSC on a thread of its own:
// - sends the outbound MMS queue (VaspQueueDirectory and its immediate
//   subdirectories) through the outbound accounts (VASPOUT\<name>\VASP.INI,
//   protocol MM1: an HTTP POST to the MMS server URL, through the WAP
//   gateway as a proxy when one is set), keeping [Routing] RetryCount,
//   LastErrorInfo and LastRetryTime in the control file while it retries and
//   the route error file "MMSCROUTE--<route>.ERR" while the server cannot
//   be reached;
// - receives: MMS notifications the SMS gateway took from the modem and left
//   in the private data directory's "MMSPUSH\" are fetched from their
//   content location and stored in the received-MMS tree as a ".HDR" file
//   with its part directory, when the modem's ReceiveMMS is on;
// - writes "MMSC-YYYYMMDD.LOG" in the program-data directory and adds to the
//   day counters MMSIN-USER (a queued message taken), MMSOUT-MMSC (sent to
//   an operator MMSC) and MMSIN-MODEM (received through the modem).
//
// Settings of [MMSC] in MMSC.INI: VASPQDir, DefaultOutboundRoute (default
// "zarqlocal"), MaxRetries (attempts per message, default 3), RetryInterval
// (seconds between attempts, default 60), HttpTimeout (seconds, default 30).
#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace mmsc {

// What the work remembers between passes: attempts on received notifications.
struct WorkState {
  struct Attempts {
    unsigned count = 0;
    DWORD lastTick = 0;
  };
  std::map<std::string, Attempts> pushes;
};

// Runs until `stop` is signalled; `mmscIni` is the full path of MMSC.INI.
// Winsock must have been started.
void Run(HANDLE stop, const char* mmscIni);

// One pass over the queue and the received notifications (what Run does
// about once a second).
void Pass(const char* mmscIni, WorkState* state);

}  // namespace mmsc
