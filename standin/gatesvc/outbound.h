// The outbound SMS queue: about once a second the gateway walks QDir and its
// immediate subdirectories, takes each "*.REQ" (held open while it works),
// sends it through the modem in PDU mode and records the verdict in the day's
// SMSOUT log; failed attempts are retried up to a limit, kept in the
// request's "[ErrorDetail]" section.
//
// Settings ([SMSGW] of SMSGW.INI): `MaxRetryCount` attempts in all before a
// message is given up (default 5), `RetryDelay` seconds between attempts
// (default 60). A request given up, or one that can never be sent, leaves the
// queue for the private data directory's "SMSFAILED\" folder, its log line
// carrying the reason.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>

class ModemLine;

class Outbound {
 public:
  explicit Outbound(const char* ini) : ini_(ini) {}

  // One walk of the queue. With `modem` null (off-line or lent) nothing is
  // sent and nothing is touched. `stopping` is asked between requests.
  // Returns false when the modem stopped answering.
  bool Pass(ModemLine* modem, const std::string& route, const std::function<bool()>& stopping);

 private:
  enum class Outcome { Done, Kept, ModemGone };
  Outcome HandleRequest(const std::string& path, const std::string& name, ModemLine* modem, const std::string& route);
  void WriteLog(const std::string& line);
  void FlushLog();

  const char* ini_;
  std::map<std::string, DWORD> nextAttempt_;  // request path -> tick of its next attempt
  std::set<std::string> reported_;            // requests reported as unreadable
  std::set<std::string> logged_;              // sent, logged, but not yet deleted
  std::set<std::string> givenUp_;             // given up and logged, not yet moved away
  std::deque<std::pair<std::string, std::string>> pendingLog_;  // (log, line) the log did not take yet
  uint8_t reference_ = uint8_t(GetTickCount());
};
