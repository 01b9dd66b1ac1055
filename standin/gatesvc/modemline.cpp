#include "modemline.h"

#include "serialline.h"
#include "smsgateway.h"

namespace {
// A modem that talks on and on is cut at this much per exchange.
constexpr size_t kMaxReply = 65536;
}  // namespace

bool ModemLine::Open(const std::string& port, DWORD baudRate) {
  Close();
  handle_ = CreateFileA(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE && port.size() > 1) {
    std::string device = "\\\\.\\" + port.substr(0, port.back() == ':' ? port.size() - 1 : port.size());
    handle_ = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (handle_ == INVALID_HANDLE_VALUE) return false;
  if (!SetUpModemPort(handle_, baudRate, 5000)) {
    DWORD error = GetLastError();
    Close();
    SetLastError(error);
    return false;
  }
  return true;
}

void ModemLine::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool ModemLine::Write(const std::string& data) {
  if (trace_) trace_("> " + data);
  DWORD written = 0;
  return WriteFile(handle_, data.data(), DWORD(data.size()), &written, nullptr) && written == data.size();
}

template <class Done>
bool ModemLine::ReadUntil(DWORD timeoutMs, std::string* received, Done done) {
  return ReadModemUntil(handle_, timeoutMs, kMaxReply, received, done);
}

void ModemLine::NoteAnnouncements(const std::string& text) {
  if (trace_ && !text.empty()) trace_("< " + text);
  for (unsigned index : smsgw::NewMessageIndexes(text)) announced_.push_back(index);
}

AtResult ModemLine::Command(const std::string& command, DWORD timeoutMs, std::string* reply) {
  std::string received;
  AtResult result = AtResult::None;
  if (IsOpen() && Write(command + "\r")) {
    ReadUntil(timeoutMs, &received, [&](const std::string& r) {
      result = ClassifyAtReply(r.data(), r.size());
      return result != AtResult::None;
    });
  }
  NoteAnnouncements(received);
  if (reply) *reply = received;
  return result;
}

AtResult ModemLine::SubmitPdu(unsigned length, const std::string& pduHex, std::string* reply) {
  std::string received;
  AtResult result = AtResult::None;
  if (!IsOpen() || !Write("AT+CMGS=" + std::to_string(length) + "\r")) return AtResult::None;
  bool prompted = ReadUntil(10000, &received, [&](const std::string& r) {
    result = ClassifyAtReply(r.data(), r.size());
    return r.find("> ") != std::string::npos || result != AtResult::None;
  });
  if (prompted && result == AtResult::None) {
    received.clear();
    if (Write(pduHex + "\x1A")) {
      // The network may take a while to accept a message.
      ReadUntil(60000, &received, [&](const std::string& r) {
        result = ClassifyAtReply(r.data(), r.size());
        return result != AtResult::None;
      });
    }
  } else if (!prompted) {
    Write("\x1B");  // no prompt: cancel whatever the modem waits for
  }
  NoteAnnouncements(received);
  *reply = received;
  return result;
}

void ModemLine::Poll(DWORD ms) {
  if (!IsOpen()) return;
  std::string received;
  ReadUntil(ms, &received, [](const std::string&) { return false; });
  NoteAnnouncements(received);
}

std::vector<unsigned> ModemLine::TakeAnnounced() {
  std::vector<unsigned> out;
  out.swap(announced_);
  return out;
}
