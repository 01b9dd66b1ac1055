// Hand-over of the GSM modem between the gateway service, which normally
// holds its port open, and a program that needs the port for a while (the
// modem test, the GPRS connection test).
//
// The service publishes a small shared block and three events (names below,
// in the machine-wide Global\ namespace). A program claims the block, writes
// the modem's name and how long it will wait, and signals "request". The
// service closes the port and answers "lent", or answers "refused" when it
// cannot let go in time. The program uses the port and, when done, marks the
// block idle and signals "return"; the service then opens the port again. A
// program that ends without giving the modem back counts as having returned
// it; a program that stops waiting cancels its request, and a service that
// let go too late takes the port back at once.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace handover {

constexpr const char* kBlockName = "Global\\ZARQ_MODEM_HandOver";
constexpr const char* kRequestEventName = "Global\\ZARQ_MODEM_Request";
constexpr const char* kAnswerEventName = "Global\\ZARQ_MODEM_Answer";
constexpr const char* kReturnEventName = "Global\\ZARQ_MODEM_Return";

enum State : LONG {
  kIdle = 0,       // nobody asks
  kClaimed = 1,    // a program is writing its request
  kRequested = 2,  // waiting for the service's answer
  kLent = 3,       // the service let go; the program uses the port
  kRefused = 4,    // the service could not let go in time
  kCancelled = 5,  // the program stopped waiting before an answer
};

struct Block {
  volatile LONG state;
  DWORD serverPid;
  DWORD clientPid;
  DWORD waitLimitMs;
  char modem[256];
};

// Outcome of a request, as the link library reports it.
enum class Outcome { kNoService, kLent, kRefused, kTimeout, kBusy };

class Lease;

// Program side. Asks the running service for `modem`, waiting up to
// `waitLimitMs` for an answer. Returns a lease (also when no service holds
// modems, with kNoService) or null with the reason in `outcome`.
Lease* Request(const char* modem, DWORD waitLimitMs, Outcome* outcome);
// Gives the modem back (when the service lent it) and frees the lease.
void Return(Lease* lease);
// True while a program waits for an answer about `modem` (any when empty).
bool IsRequested(const char* modem);

// Service side.
class Server {
 public:
  Server() = default;
  ~Server() { Close(); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Publishes the block and events; false when they cannot be created or
  // another live service (or another Server of this process) serves them.
  bool Open();
  void Close();

  // Signalled when a program asks: wait on it with the service's own events.
  HANDLE RequestEvent() const { return request_; }

  // True when a program waits for an answer: the modem's name and the time
  // (ms) it allowed. Also clears what programs that ended left behind.
  bool Pending(std::string* modem, DWORD* waitLimitMs);
  // The port is closed: lend the modem. False when the program stopped
  // waiting meanwhile; then keep using the port.
  bool Lend();
  // The port cannot be given up in time.
  void Refuse();
  // While lent: true once the program gave the modem back or ended, false
  // after `timeoutMs` without either.
  bool WaitForReturn(DWORD timeoutMs);
  bool IsLent() const;

  // The whole exchange for one request, for a service loop: `letGo` closes
  // the port (true when it did, within the allowed time), `takeBack` opens it
  // again; returns once the modem is back or `stop` is signalled (may be
  // null). False when there was no request.
  bool Serve(const std::function<bool(const std::string& modem, DWORD waitLimitMs)>& letGo,
             const std::function<void()>& takeBack, HANDLE stop);

 private:
  HANDLE mapping_ = nullptr;
  Block* block_ = nullptr;
  HANDLE request_ = nullptr;
  HANDLE answer_ = nullptr;
  HANDLE return_ = nullptr;
  HANDLE client_ = nullptr;  // the borrowing program, while lent
  bool served_ = false;      // this object is the block's service
};

}  // namespace handover
