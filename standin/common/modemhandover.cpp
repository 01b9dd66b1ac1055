#include "modemhandover.h"

#include "core/textrules.h"

namespace handover {

namespace {

// Open to every account: the service runs as another user than the program.
struct OpenSecurity {
  SECURITY_DESCRIPTOR sd;
  SECURITY_ATTRIBUTES sa;
  OpenSecurity() {
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
    sa = {sizeof sa, &sd, FALSE};
  }
};

bool ProcessAlive(DWORD pid) {
  if (pid == 0) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;  // exists, but not ours to open
  bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

LONG Exchange(Block* b, LONG to, LONG from) { return InterlockedCompareExchange(&b->state, to, from); }

}  // namespace

class Lease {
 public:
  HANDLE mapping = nullptr;
  Block* block = nullptr;
  HANDLE returnEvent = nullptr;
  ~Lease() {
    if (returnEvent) CloseHandle(returnEvent);
    if (block) UnmapViewOfFile(block);
    if (mapping) CloseHandle(mapping);
  }
};

namespace {

// The answer to one request, once the block is ours to write.
Outcome Ask(Block* b, HANDLE request, HANDLE answer, const char* modem, DWORD waitLimitMs) {
  b->clientPid = GetCurrentProcessId();
  b->waitLimitMs = waitLimitMs;
  CopyBounded(b->modem, sizeof b->modem, modem ? modem : "");
  ResetEvent(answer);
  InterlockedExchange(&b->state, kRequested);
  SetEvent(request);

  // The service answers within the limit itself; the grace covers its scheduling.
  const DWORD grace = 2000;
  const DWORD total = waitLimitMs > INFINITE - 1 - grace ? INFINITE - 1 : waitLimitMs + grace;
  const DWORD asked = GetTickCount();
  for (DWORD elapsed = 0; elapsed < total; elapsed = GetTickCount() - asked) {
    WaitForSingleObject(answer, total - elapsed < 100 ? total - elapsed : 100);
    LONG state = b->state;
    if (state == kLent) return Outcome::kLent;
    if (state == kRefused) {
      InterlockedExchange(&b->state, kIdle);
      return Outcome::kRefused;
    }
    if (state != kRequested) return Outcome::kRefused;  // the service started afresh meanwhile
    if (!ProcessAlive(b->serverPid)) {                 // the service ended: nobody holds the port
      Exchange(b, kIdle, kRequested);
      return Outcome::kNoService;
    }
  }
  // Give up, unless the answer came at the last moment.
  LONG before = Exchange(b, kCancelled, kRequested);
  if (before == kLent) return Outcome::kLent;
  if (before == kRefused) InterlockedExchange(&b->state, kIdle);
  return Outcome::kTimeout;
}

}  // namespace

Lease* Request(const char* modem, DWORD waitLimitMs, Outcome* outcome) {
  Outcome ignored;
  if (!outcome) outcome = &ignored;
  *outcome = Outcome::kNoService;
  Lease* lease = new Lease;
  lease->mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kBlockName);
  if (lease->mapping)
    lease->block = static_cast<Block*>(MapViewOfFile(lease->mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Block)));
  if (!lease->block || !ProcessAlive(lease->block->serverPid)) {
    delete lease;
    return new Lease;  // no service holds modems: the port is free to try
  }
  Block* b = lease->block;
  HANDLE request = OpenEventA(EVENT_MODIFY_STATE, FALSE, kRequestEventName);
  HANDLE answer = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kAnswerEventName);
  lease->returnEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReturnEventName);
  if (!request || !answer || !lease->returnEvent) {
    *outcome = Outcome::kRefused;
  } else {
    // Wait for the block to be free: another program may be borrowing.
    *outcome = Outcome::kBusy;
    for (DWORD start = GetTickCount();; Sleep(50)) {
      if (Exchange(b, kClaimed, kIdle) == kIdle) {
        *outcome = Ask(b, request, answer, modem, waitLimitMs);
        break;
      }
      if (GetTickCount() - start >= waitLimitMs) break;
    }
  }
  if (request) CloseHandle(request);
  if (answer) CloseHandle(answer);
  if (*outcome == Outcome::kLent) return lease;
  delete lease;
  return *outcome == Outcome::kNoService ? new Lease : nullptr;
}

void Return(Lease* lease) {
  if (!lease) return;
  if (lease->block && Exchange(lease->block, kIdle, kLent) == kLent && lease->returnEvent) SetEvent(lease->returnEvent);
  delete lease;
}

bool IsRequested(const char* modem) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
  if (!mapping) return false;
  bool requested = false;
  if (auto* b = static_cast<Block*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(Block)))) {
    char name[sizeof b->modem];
    CopyBounded(name, sizeof name, b->modem);
    requested = b->state == kRequested && (!modem || !*modem || CompareNoCase(name, modem) == 0);
    UnmapViewOfFile(b);
  }
  CloseHandle(mapping);
  return requested;
}

bool Server::Open() {
  if (block_) return true;
  OpenSecurity security;
  mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, &security.sa, PAGE_READWRITE, 0, sizeof(Block), kBlockName);
  if (!mapping_) return false;
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  block_ = static_cast<Block*>(MapViewOfFile(mapping_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Block)));
  request_ = CreateEventA(&security.sa, FALSE, FALSE, kRequestEventName);
  answer_ = CreateEventA(&security.sa, FALSE, FALSE, kAnswerEventName);
  return_ = CreateEventA(&security.sa, FALSE, FALSE, kReturnEventName);
  if (!block_ || !request_ || !answer_ || !return_ ||
      (existed && ProcessAlive(block_->serverPid))) {
    Close();
    return false;
  }
  // A block left by a service that ended starts afresh; programs waiting on it give up.
  block_->serverPid = GetCurrentProcessId();
  InterlockedExchange(&block_->state, kIdle);
  served_ = true;
  return true;
}

void Server::Close() {
  if (block_) {
    if (served_) block_->serverPid = 0;
    UnmapViewOfFile(block_);
  }
  served_ = false;
  for (HANDLE* h : {&mapping_, &request_, &answer_, &return_, &client_}) {
    if (*h) CloseHandle(*h);
    *h = nullptr;
  }
  block_ = nullptr;
}

bool Server::Pending(std::string* modem, DWORD* waitLimitMs) {
  if (!block_) return false;
  LONG state = block_->state;
  if (state == kCancelled) Exchange(block_, kIdle, kCancelled);
  // A program that ended between claiming the block and being answered.
  if ((state == kClaimed || state == kRequested || state == kRefused) && !ProcessAlive(block_->clientPid))
    Exchange(block_, kIdle, state);
  if (block_->state != kRequested) return false;
  char name[sizeof block_->modem];
  CopyBounded(name, sizeof name, block_->modem);
  if (modem) *modem = name;
  if (waitLimitMs) *waitLimitMs = block_->waitLimitMs;
  return true;
}

bool Server::Lend() {
  if (!block_) return false;
  if (client_) CloseHandle(client_);
  client_ = OpenProcess(SYNCHRONIZE, FALSE, block_->clientPid);
  ResetEvent(return_);
  if (Exchange(block_, kLent, kRequested) != kRequested) {
    Exchange(block_, kIdle, kCancelled);
    if (client_) CloseHandle(client_);
    client_ = nullptr;
    return false;
  }
  SetEvent(answer_);
  return true;
}

void Server::Refuse() {
  if (block_ && Exchange(block_, kRefused, kRequested) == kRequested) SetEvent(answer_);
  else if (block_) Exchange(block_, kIdle, kCancelled);
}

bool Server::IsLent() const { return block_ && block_->state == kLent; }

bool Server::WaitForReturn(DWORD timeoutMs) {
  if (!IsLent()) return true;
  HANDLE waits[2] = {return_, client_};
  DWORD r = WaitForMultipleObjects(client_ ? 2 : 1, waits, FALSE, timeoutMs);
  bool back = !IsLent() || r == WAIT_OBJECT_0 + 1;
  if (r == WAIT_OBJECT_0 + 1 || (!client_ && !ProcessAlive(block_->clientPid))) {
    Exchange(block_, kIdle, kLent);  // the program ended with the modem
    back = true;
  }
  if (back && client_) {
    CloseHandle(client_);
    client_ = nullptr;
  }
  return back;
}

bool Server::Serve(const std::function<bool(const std::string&, DWORD)>& letGo, const std::function<void()>& takeBack,
                   HANDLE stop) {
  std::string modem;
  DWORD limit = 0;
  if (!Pending(&modem, &limit)) return false;
  if (!letGo(modem, limit)) {
    Refuse();
    return true;
  }
  if (Lend()) {
    while (!WaitForReturn(250))
      if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return true;  // stopping: the port stays closed
  }
  takeBack();
  return true;
}

}  // namespace handover
