// The frame both stand-in gateway services share: a Win32 own-process service
// that publishes its status block, listens on its configured ports and stops
// on the service manager's stop control (and, for the SMS gateway, when the
// block's stop request byte becomes 1).
//
// Status block (named file mapping, kStatusBlockSize bytes, readable and
// writable by everyone):
//   0  stop request byte (SMS gateway: set to 1 by the setup program)
//   2  web port conflict (MMSC: MM7 port conflict)
//   4  SMPP port conflict
//   16 and beyond: reserved for the queue, log and counter state of the
//      gateway's message processing.
//
// Test-only setting: `IgnoreStopRequests=Yes` in the service's own INI section
// makes it ignore both the stop control and the stop request byte, so that a
// controller's bounded stop wait can be exercised. It is read afresh at each
// request, so removing it lets the next request stop the service.
#pragma once
#include <winsock2.h>
#include <windows.h>

namespace gatewaysvc {

constexpr DWORD kStatusBlockSize = 4096;

// A port the service listens on: `key` in the service's INI section. A value
// of 0 (or none) means `defaultPort`; a port of 0 is not opened.
struct PortSetting {
  const char* key;
  unsigned defaultPort;
  unsigned conflictByte;
  // Optional: answers one accepted connection and closes it (`ini` is the
  // service's INI file); without it the port answers with the banner.
  void (*serve)(SOCKET client, const char* ini);
};

struct Description {
  const char* serviceName;  // "ZarqSMS"
  const char* blockName;    // "ZARQ_SMSGW_ShMem"
  const char* iniName;      // "SMSGW.INI" in the program-data directory
  const char* section;      // "SMSGW"
  bool honoursStopRequestByte;
  const PortSetting* ports;
  int portCount;
  const char* banner;       // shown by the web interface
  // Optional: runs on a thread of its own while the service runs and must
  // return soon after `stop` is signalled. `ini` is the service's INI file.
  void (*worker)(HANDLE stop, const char* ini);
};

// Runs the service dispatcher; the process's exit code.
int Run(const Description& description);

}  // namespace gatewaysvc
