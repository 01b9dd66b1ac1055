#include "outbound.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/smsfile.h"
#include "core/textrules.h"
#include "counters.h"
#include "datadirs.h"
#include "events.h"
#include "gwfiles.h"
#include "modemline.h"
#include "smsgateway.h"

namespace {

// A request is a small text file; anything bigger cannot be one.
constexpr size_t kMaxRequestFile = 1 << 20;
constexpr size_t kMaxPendingLog = 1000;

// FILE_DISPOSITION_INFO through SetFileInformationByHandle (Vista and later,
// bound at run time): the file goes when the handle that holds it closes, so
// nobody can open it between the send and the deletion.
struct DispositionInfo {
  BOOLEAN deleteFile;
};
typedef BOOL(WINAPI* SetFileInformationByHandleFn)(HANDLE, int, void*, DWORD);
constexpr int kFileDispositionInfo = 4;

bool MarkForDeletion(HANDLE file) {
  static SetFileInformationByHandleFn set = reinterpret_cast<SetFileInformationByHandleFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
  if (!set) return false;
  DispositionInfo info = {TRUE};
  return set(file, kFileDispositionInfo, &info, sizeof info) != FALSE;
}

bool Rewrite(HANDLE file, const std::string& text) {
  LARGE_INTEGER zero = {};
  DWORD written = 0;
  return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) &&
         WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size() &&
         SetEndOfFile(file);
}

bool Append(HANDLE file, const std::string& text) {
  LARGE_INTEGER zero = {};
  DWORD written = 0;
  return SetFilePointerEx(file, zero, nullptr, FILE_END) &&
         WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
}

std::u16string AnsiToUtf16(const char* text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 1) return std::u16string();
  std::vector<wchar_t> wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  return std::u16string(wide.begin(), wide.begin() + (n - 1));
}

std::string DayLogPath() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[64];
  snprintf(name, sizeof name, "SMSOUT-%04u%02u%02u.LOG", now.wYear, now.wMonth, now.wDay);
  return gw::ProgramDataDir() + name;
}

std::string Submitter(const SmsFileInfo& info) {
  std::string s = info.SubmittedBy;
  if (info.SubmitUser[0]) s += std::string("/") + info.SubmitUser;
  return s;
}

}  // namespace

void Outbound::WriteLog(const std::string& line) {
  pendingLog_.push_back({DayLogPath(), line});
  while (pendingLog_.size() > kMaxPendingLog) pendingLog_.pop_front();
  FlushLog();
}

// Lines the log refused (held by another program, a full disk) are written
// once it takes them again, in their order.
void Outbound::FlushLog() {
  while (!pendingLog_.empty() && datadirs::AppendToFile(pendingLog_.front().first, pendingLog_.front().second))
    pendingLog_.pop_front();
}

bool Outbound::Pass(ModemLine* modem, const std::string& route, const std::function<bool()>& stopping) {
  FlushLog();
  if (!modem) return true;
  for (const std::string& dir : datadirs::DirectoryAndSubdirectories(gw::QueueDir(ini_))) {
    // Requests in name order: the order they were queued by the usual names.
    std::vector<std::string> names = datadirs::FilesIn(dir, "*.REQ");
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (stopping()) return true;
      std::string path = dir + name;
      auto wait = nextAttempt_.find(path);
      if (wait != nextAttempt_.end() && LONG(GetTickCount() - wait->second) < 0) continue;
      if (HandleRequest(path, name, modem, route) == Outcome::ModemGone) return false;
    }
  }
  return true;
}

Outbound::Outcome Outbound::HandleRequest(const std::string& path, const std::string& name, ModemLine* modem,
                                          const std::string& route) {
  if (givenUp_.count(path)) {  // logged and counted already: only the move is left
    std::string failed = gw::PrivateDataDir() + "SMSFAILED\\" + name;
    if (MoveFileExA(path.c_str(), failed.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) ||
        GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
      givenUp_.erase(path);
    return Outcome::Kept;
  }
  // Held while it is worked on: readers wait, and nobody deletes it under us.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && reported_.insert(path).second) {
      char text[MAX_PATH + 128];
      snprintf(text, sizeof text, "SMS request %s cannot be opened (error %lu); it stays in the queue.",
               path.c_str(), error);
      ReportGatewayEvent("ZarqSMS", EVENTLOG_WARNING_TYPE, text);
    }
    return Outcome::Kept;
  }
  reported_.erase(path);
  SYSTEMTIME now;
  GetLocalTime(&now);
  smsgw::LogEntry entry;
  entry.time = gw::DisplayTime(now);
  entry.requestName = name;
  entry.route = route;

  std::string text;
  bool readable = gw::ReadWholeFile(file, kMaxRequestFile, &text);
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  bool tooBig = !readable && size.QuadPart > LONGLONG(kMaxRequestFile);
  if (!readable && !tooBig) {  // a read that failed now may work later
    CloseHandle(file);
    return Outcome::Kept;
  }
  static SmsFileInfo info;
  ParseSmsText(readable ? text.c_str() : "", &info);
  entry.recipient = info.PhoneNumber;
  entry.submitter = Submitter(info);

  // Sent before, but its log line or deletion did not happen: finish that, never send again.
  if (readable && smsgw::IsMarkedSent(text)) {
    if (!logged_.count(path)) WriteLog(smsgw::FormatLogLine({entry.time, name, entry.recipient, route,
                                                             smsgw::SentResult(text), 0, entry.submitter}));
    logged_.insert(path);
    if (!pendingLog_.empty()) {  // deleted once its line is in the log, where the program looks for it
      CloseHandle(file);
      return Outcome::Kept;
    }
    bool gone = MarkForDeletion(file);
    CloseHandle(file);
    if (gone || DeleteFileA(path.c_str())) logged_.erase(path);
    return Outcome::Done;
  }

  smsgw::RetryState state;
  state.retryCount = info.RetryCount;
  state.lastErrorInfo = info.LastErrorInfo;
  smsgw::ReadExtraRetryState(text, &state);
  if (state.firstAttemptTime.empty()) {
    state.firstAttemptTime = gw::CompactTime(now);
    AddDayCounter("SMSSUBMIT");
  }

  smspdu::Outgoing message;
  std::string error;
  bool sendable = !tooBig && smsgw::PrepareRequest(info, AnsiToUtf16(info.Data),
                                                   strlen(info.Data) >= sizeof info.Data - 1, &message, &error);
  if (tooBig) error = "Request file too large";
  std::vector<smspdu::Bytes> parts;
  uint8_t reference = state.partsSent ? uint8_t(state.reference) : ++reference_;
  if (sendable) sendable = smspdu::EncodeSubmit(message, reference, &parts, &error);
  entry.parts = unsigned(parts.size());

  bool modemGone = false;
  std::string references;
  if (sendable) {
    for (size_t i = state.partsSent; i < parts.size(); ++i) {
      std::string reply;
      AtResult r = modem->SubmitPdu(unsigned(parts[i].size()), "00" + smspdu::ToHex(parts[i]), &reply);
      if (r == AtResult::Ok) {
        unsigned mr = 0;
        if (smsgw::ParseSubmitReference(reply, &mr)) references += (references.empty() ? "" : " ") + std::to_string(mr);
        state.partsSent = unsigned(i + 1);
        state.reference = reference;
        continue;
      }
      if (r == AtResult::None) {
        modemGone = true;
        error = "Modem did not answer";
      } else {
        std::string line = smsgw::ErrorLine(reply);
        error = "Modem error: " + (line.empty() ? std::string("ERROR") : line);
      }
      break;
    }
  }

  if (sendable && state.partsSent == parts.size()) {
    char result[256];
    snprintf(result, sizeof result, "OK -- %u part(s) sent, message reference(s) %s", entry.parts,
             references.empty() ? "-" : references.c_str());
    entry.result = result;
    AddDayCounter("SMSSENT");
    // Marked as sent before anything else, so that no later pass sends it again.
    bool marked = Append(file, smsgw::SentMark(entry.time, entry.result));
    WriteLog(smsgw::FormatLogLine(entry));
    nextAttempt_.erase(path);
    if (marked && !pendingLog_.empty()) {  // the log is held: deleted once it takes the line
      logged_.insert(path);
      CloseHandle(file);
      return Outcome::Done;
    }
    bool gone = MarkForDeletion(file);
    CloseHandle(file);
    if (!gone && !DeleteFileA(path.c_str())) logged_.insert(path);
    return Outcome::Done;
  }

  if (modemGone) {  // not the message's fault: it waits for the modem, uncounted
    if (state.partsSent) Rewrite(file, smsgw::WithRetryState(text, state));
    CloseHandle(file);
    return Outcome::ModemGone;
  }

  // A failed attempt: retried until the limit, or at once given up when it can never go.
  state.retryCount += 1;
  state.lastErrorInfo = error;
  state.lastRetryTime = gw::CompactTime(now);
  unsigned limit = gw::NumberSetting(ini_, "SMSGW", "MaxRetryCount", 5);
  if (sendable && unsigned(state.retryCount) < limit) {
    AddDayCounter("SMSRETRY");
    Rewrite(file, smsgw::WithRetryState(text, state));
    CloseHandle(file);
    nextAttempt_[path] = GetTickCount() + 1000 * gw::NumberSetting(ini_, "SMSGW", "RetryDelay", 60);
    return Outcome::Kept;
  }
  entry.result = "ERROR -- " + error;
  AddDayCounter("SMSFAILED");
  if (readable) Rewrite(file, smsgw::WithRetryState(text, state));
  CloseHandle(file);
  WriteLog(smsgw::FormatLogLine(entry));
  // Given up: kept out of the queue for the operator, never deleted unseen.
  std::string failedDir = gw::PrivateDataDir() + "SMSFAILED\\";
  CreateDirectoryA(failedDir.c_str(), nullptr);
  nextAttempt_.erase(path);
  if (!MoveFileExA(path.c_str(), (failedDir + name).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    givenUp_.insert(path);  // held by someone: moved on a later pass
  char event[512];
  snprintf(event, sizeof event, "SMS message %s to %s given up after %d attempt(s): %s", name.c_str(),
           entry.recipient.c_str(), state.retryCount, error.c_str());
  ReportGatewayEvent("ZarqSMS", EVENTLOG_ERROR_TYPE, event);
  return Outcome::Done;
}
