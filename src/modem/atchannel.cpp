#include "modem/atchannel.h"

#include <cstdio>
#include <cstring>

#include "app/msgbox.h"
#include "modem/modemclock.h"

namespace {

// Cancels one overlapped operation: CancelIoEx from Vista on; on XP, CancelIo,
// which cancels what this thread issued (the channel's I/O is all on one thread).
void CancelPending(HANDLE comm, OVERLAPPED* ov) {
  using CancelIoExFunction = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
  static const auto cancelIoEx = reinterpret_cast<CancelIoExFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CancelIoEx")));
  if (cancelIoEx)
    cancelIoEx(comm, ov);
  else
    CancelIo(comm);
}

// One overlapped operation with its own manual-reset event, released only
// after the operation is over: an operation still pending when its wait gives
// up is cancelled and completed first, so the driver never writes into a
// record (or buffer) that is gone.
class PendingIo {
 public:
  PendingIo() {
    std::memset(&ov_, 0, sizeof ov_);
    ov_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~PendingIo() {
    if (ov_.hEvent) CloseHandle(ov_.hEvent);
  }
  PendingIo(const PendingIo&) = delete;
  PendingIo& operator=(const PendingIo&) = delete;

  bool Ready() const { return ov_.hEvent != nullptr; }
  OVERLAPPED* Get() { return &ov_; }

  // Waits up to `ms` for a pending operation and returns the bytes it
  // transferred; one that is still running then is cancelled and awaited.
  DWORD Finish(HANDLE comm, DWORD ms) {
    DWORD done = 0;
    if (WaitForSingleObject(ov_.hEvent, ms) == WAIT_OBJECT_0) {
      GetOverlappedResult(comm, &ov_, &done, FALSE);
      return done;
    }
    CancelPending(comm, &ov_);
    GetOverlappedResult(comm, &ov_, &done, TRUE);
    return done;
  }

 private:
  OVERLAPPED ov_;
};

const unsigned kPendingWriteMs = 30000;

BOOL ApplyTimeouts(HANDLE comm, DWORD writeTotal) {
  COMMTIMEOUTS t = {};
  t.ReadIntervalTimeout = 200;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 1000;
  t.WriteTotalTimeoutMultiplier = 0;
  t.WriteTotalTimeoutConstant = writeTotal;
  return SetCommTimeouts(comm, &t);
}

// The escape back to command mode, answer ignored.
void SendEscape(HANDLE comm) {
  char answer[kModemTextSize];
  SendCommand(comm, "+++ATH0\r");
  WaitResponse(comm, answer, sizeof answer, 1);
}

}  // namespace

bool SendCommand(HANDLE comm, const char* command) {
  PendingIo io;
  if (!io.Ready()) return false;
  DWORD length = static_cast<DWORD>(std::strlen(command));
  DWORD written = 0;
  if (WriteFile(comm, command, length, &written, io.Get())) return true;
  if (GetLastError() != ERROR_IO_PENDING) return false;
  io.Finish(comm, kPendingWriteMs);
  return true;
}

DWORD WaitResponse(HANDLE comm, char* buffer, DWORD capacity, unsigned seconds) {
  if (!capacity) return 0;
  std::memset(buffer, 0, capacity);
  DWORD count = 0;
  const time_t start = ModemNow();
  const DWORD eventMs = seconds > 4000000u ? 4000000000u : seconds * 1000u;
  while (ModemNow() - start <= static_cast<time_t>(seconds)) {
    DWORD room = capacity - 1 - count;
    if (!room) {
      // Full: nothing more is collected, but the caller's deadline still holds.
      Sleep(100);
      continue;
    }
    PendingIo io;
    if (!io.Ready()) return 0;
    DWORD got = 0;
    if (ReadFile(comm, buffer + count, room, &got, io.Get())) {
      GetOverlappedResult(comm, io.Get(), &got, FALSE);
    } else {
      if (GetLastError() != ERROR_IO_PENDING) return 0;
      got = io.Finish(comm, eventMs);
    }
    if (got > room) got = room;
    count += got;
    buffer[count] = '\0';
    if (count && HasFinalResult(buffer)) return count;
  }
  return count;
}

BOOL SetOpenTimeouts(HANDLE comm) { return ApplyTimeouts(comm, 2000); }

BOOL SetTestTimeouts(HANDLE comm) { return ApplyTimeouts(comm, 15000); }

bool InitAtBaud(HANDLE comm, unsigned baud, const char* pin) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  GetCommState(comm, &dcb);
  char mode[64];
  snprintf(mode, sizeof mode, "baud=%u parity=N data=8 stop=1", baud);
  if (!BuildCommDCBA(mode, &dcb)) return false;
  SetCommState(comm, &dcb);

  char answer[kModemTextSize];
  SendCommand(comm, "\r");
  WaitResponse(comm, answer, sizeof answer, 1);

  if (pin && *pin) {
    char command[kModemTextSize];
    snprintf(command, sizeof command, "AT+CPIN=\"%s\"\r", pin);
    SendCommand(comm, command);
    WaitResponse(comm, answer, sizeof answer, 5);
  }

  SendCommand(comm, "ATE0V1\r");
  if (!WaitResponse(comm, answer, sizeof answer, 5)) return false;
  if (!HasOk(answer)) return false;
  ShowMessageF(nullptr, MB_ICONINFORMATION, "Initialised modem at %u bps", baud);
  return true;
}

bool ProbeBaudRates(HANDLE comm, const char* pin) {
  static const unsigned kRates[] = {115200, 57600, 38400, 19200, 9600, 2400};
  for (unsigned rate : kRates)
    if (InitAtBaud(comm, rate, pin)) return true;
  return false;
}

bool ProbeBaudRatesWithEscape(HANDLE comm, const char* pin) {
  // 0 stands for the escape sequence.
  static const unsigned kLadder[] = {115200, 0, 115200, 57600, 0, 57600, 38400, 0,
                                     38400,  19200, 0, 19200, 9600, 0, 9600};
  for (unsigned step : kLadder) {
    if (!step)
      SendEscape(comm);
    else if (InitAtBaud(comm, step, pin))
      return true;
  }
  return false;
}
