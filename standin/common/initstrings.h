// The packet-data context definitions (+CGDCONT=<cid>,"<type>","<apn>") in a
// modem driver's initialisation strings, and the AT answers the link library
// reads from the modem. Pure code: no <windows.h>.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct PdpDefinition {
  unsigned cid = 0;
  std::string type;  // "IP", "PPP", ... as written, without quotes
  std::string apn;   // without quotes
  size_t begin = 0;  // the command's place in its string: from "+CGDCONT" ...
  size_t end = 0;    // ... to the ';', line end, "<cr>" or end that closes it
};

// Every context definition in one initialisation string, in order. Commands
// are "+CGDCONT=" in any case, after "AT" or a ';' of a combined command line.
std::vector<PdpDefinition> FindPdpDefinitions(const std::string& init);

// The context the strings define for `apn` (compared without regard to case),
// 0 when none; the last definition of a context number wins, as in the modem.
unsigned CidForApn(const std::vector<std::string>& inits, const std::string& apn);

// The context `apn` should use: its own when defined, else the lowest number
// from 1 that no string defines; 0 when none is left below 100.
unsigned ChooseCidForApn(const std::vector<std::string>& inits, const std::string& apn);

// The command that defines context `cid` for `apn`, with the "AT" in front.
std::string PdpDefinitionCommand(unsigned cid, const std::string& apn);

// True when `apn` may be written into an AT command: printable ASCII without
// quotes, at most 99 characters (the length 3GPP allows an APN).
bool IsUsableApn(const std::string& apn);

// How the modem ended its answer to a command.
enum class AtResult {
  None,        // no final result yet
  Ok,          // OK
  Connect,     // CONNECT, with or without a speed
  Error,       // ERROR, +CME ERROR: n, +CMS ERROR: n
  NoCarrier,   // NO CARRIER
  Busy,        // BUSY
  NoDialtone,  // NO DIALTONE / NO DIAL TONE
  NoAnswer,    // NO ANSWER
};

// The first final result among the complete lines (ended by CR or LF) of
// `reply`; echoes and intermediate lines are passed over. `errorCode` gets the
// number of a +CME/+CMS ERROR, else 0.
AtResult ClassifyAtReply(const char* reply, size_t size, unsigned* errorCode = nullptr);
