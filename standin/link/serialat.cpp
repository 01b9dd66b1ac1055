#include "serialat.h"

#include <cstring>

#include "serialline.h"

bool AtPort::Open(const std::string& port, DWORD baudRate) {
  Close();
  std::string device = "\\\\.\\" + port;
  handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  bool ok = GetCommState(handle_, &dcb);
  if (ok) {
    SetModemLineFormat(&dcb, baudRate ? baudRate : CBR_115200);
    ok = SetCommState(handle_, &dcb);
  }
  // Reads return what has arrived, or after 100 ms without anything.
  COMMTIMEOUTS timeouts = {MAXDWORD, MAXDWORD, 100, 0, 2000};
  if (ok) ok = SetCommTimeouts(handle_, &timeouts);
  if (!ok) {
    DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return false;
  }
  PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return true;
}

void AtPort::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool AtPort::Write(const char* data, size_t size) {
  DWORD written = 0;
  return WriteFile(handle_, data, DWORD(size), &written, nullptr) && written == size;
}

AtResult AtPort::ReadFinal(DWORD timeoutMs, std::string* reply) {
  // A modem that answers garbage fills at most this much before we give up on the start.
  const size_t kKeep = 4096;
  std::string got;
  DWORD start = GetTickCount();
  AtResult result = AtResult::None;
  while (result == AtResult::None && GetTickCount() - start < timeoutMs) {
    char buffer[256];
    DWORD n = 0;
    if (!ReadFile(handle_, buffer, sizeof buffer, &n, nullptr)) {
      Sleep(50);
      continue;
    }
    if (n == 0) continue;
    got.append(buffer, n);
    if (got.size() > kKeep) got.erase(0, got.size() - kKeep);
    result = ClassifyAtReply(got.data(), got.size());
  }
  if (reply) *reply = got;
  return result;
}

AtResult AtPort::Command(const char* command, DWORD timeoutMs, std::string* reply) {
  if (!IsOpen()) return AtResult::None;
  PurgeComm(handle_, PURGE_RXCLEAR);
  std::string line = std::string(command) + "\r";
  if (!Write(line.data(), line.size())) return AtResult::None;
  return ReadFinal(timeoutMs, reply);
}

void AtPort::HangUp() {
  if (!IsOpen()) return;
  EscapeCommFunction(handle_, CLRDTR);
  Sleep(250);
  EscapeCommFunction(handle_, SETDTR);
  if (Command("AT", 1000) != AtResult::Ok) {
    Sleep(1000);  // the escape needs a second of silence on both sides
    PurgeComm(handle_, PURGE_RXCLEAR);
    Write("+++", 3);
    ReadFinal(2000, nullptr);
  }
  Command("ATH", 2000);
}
