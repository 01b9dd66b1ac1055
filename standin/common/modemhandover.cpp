#include "modemhandover.h"

#include "app/textrules.h"

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

Lease* Request(const char* modem, DWORD waitLimitMs, Outcome* outcome) {
  Outcome ignored;
  if (!outcome) outcome = &ignored;
  Lease* lease = new Lease;
  lease->mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kBlockName);
  if (lease->mapping)
    lease->block = static_cast<Block*>(MapViewOfFile(lease->mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Block)));
  if (!lease->block || !ProcessAlive(lease->block->serverPid)) {
    // No service holds modems: the port is free to try.
    delete lease;
    *outcome = Outcome::kNoService;
    return new Lease;
  }
  Block* b = lease->block;
  HANDLE request = OpenEventA(EVENT_MODIFY_STATE, FALSE, kRequestEventName);
  HANDLE answer = OpenEventA(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kAnswerEventName);
  lease->returnEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, kReturnEventName);
  auto finish = [&](Outcome o, bool keep) {
    if (request) CloseHandle(request);
    if (answer) CloseHandle(answer);
    *outcome = o;
    if (keep) return lease;
    delete lease;
    return static_cast<Lease*>(nullptr);
  };
  if (!request || !answer || !lease->returnEvent) return finish(Outcome::kRefused, false);

  // Wait for the block to be free: another program may be borrowing.
  DWORD start = GetTickCount();
  while (Exchange(b, kClaimed, kIdle) != kIdle) {
    if (GetTickCount() - start >= waitLimitMs) return finish(Outcome::kBusy, false);
    Sleep(50);
  }
  b->clientPid = GetCurrentProcessId();
  b->waitLimitMs = waitLimitMs;
  CopyBounded(b->modem, sizeof b->modem, modem ? modem : "");
  ResetEvent(answer);
  InterlockedExchange(&b->state, kRequested);
  SetEvent(request);

  // The service answers within the limit itself; the grace covers its scheduling.
  const DWORD grace = 2000;
  DWORD asked = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - asked;
    DWORD total = waitLimitMs + grace < waitLimitMs ? INFINITE - 1 : waitLimitMs + grace;
    if (elapsed >= total) break;
    DWORD step = total - elapsed < 100 ? total - elapsed : 100;
    WaitForSingleObject(answer, step);
    LONG state = b->state;
    if (state == kLent) return finish(Outcome::kLent, true);
    if (state == kRefused) {
      InterlockedExchange(&b->state, kIdle);
      return finish(Outcome::kRefused, false);
    }
    if (state != kRequested) return finish(Outcome::kRefused, false);  // the service reset the block
    if (!ProcessAlive(b->serverPid)) {
      Exchange(b, kIdle, kRequested);
      delete lease;
      if (request) CloseHandle(request);
      if (answer) CloseHandle(answer);
      *outcome = Outcome::kNoService;
      return new Lease;
    }
  }
  // Give up, unless the answer came at the last moment.
  LONG before = Exchange(b, kCancelled, kRequested);
  if (before == kLent) return finish(Outcome::kLent, true);
  if (before == kRefused) InterlockedExchange(&b->state, kIdle);
  return finish(Outcome::kTimeout, false);
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
