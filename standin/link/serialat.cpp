#include "serialat.h"

#include <cstring>

#include "serialline.h"

bool AtPort::Open(const std::string& port, DWORD baudRate) {
  Close();
  std::string device = "\\\\.\\" + port;
  handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (!SetUpModemPort(handle_, baudRate, 2000)) {
    DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return false;
  }
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
  AtResult result = AtResult::None;
  ReadModemUntil(handle_, timeoutMs, kKeep, &got, [&](const std::string& r) {
    result = ClassifyAtReply(r.data(), r.size());
    return result != AtResult::None;
  });
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
