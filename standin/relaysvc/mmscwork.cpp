#include "mmscwork.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/gatewaynames.h"
#include "core/mmspdu.h"
#include "core/mmsstore.h"
#include "core/smsfile.h"
#include "core/textrules.h"
#include "counters.h"
#include "datadirs.h"
#include "debugtrace.h"
#include "events.h"
#include "httpclient.h"

namespace mmsc {
namespace {

const char kSource[] = "ZarqMMSC";
const char kMmsType[] = "application/vnd.wap.mms-message";
constexpr size_t kMaxMessage = 2 * 1024 * 1024;  // what we send or fetch
constexpr size_t kMaxPush = 64 * 1024;
constexpr DWORD kPassMs = 1000;

using Bytes = std::vector<unsigned char>;

std::string Profile(const char* section, const char* key, const char* def, const std::string& ini) {
  std::vector<char> value(4096);
  GetPrivateProfileStringA(section, key, def, value.data(), DWORD(value.size()), ini.c_str());
  return value.data();
}

unsigned ProfileNumber(const char* section, const char* key, unsigned def, const std::string& ini) {
  std::string v = Profile(section, key, "", ini);
  return v.empty() ? def : DecimalValue(v.c_str());
}

std::string ProgramData() {
  char path[MAX_PATH];
  datadirs::ProgramData(path);
  return path;
}

std::string PrivateData() {
  char path[MAX_PATH];
  datadirs::PrivateData(path);
  return path;
}

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

// Settings read afresh on every pass, so changes apply without a restart.
struct Settings {
  std::string mmscIni, smsIni;
  std::string queue;  // VaspQueueDirectory, with a backslash
  std::string defaultRoute;
  unsigned maxRetries, retrySeconds, timeoutMs;
  // The modem's connection section of SMSGW.INI.
  bool receive;
  std::string modemGateway, modemServer;
};

Settings ReadSettings(const char* mmscIni) {
  Settings s;
  s.mmscIni = mmscIni;
  std::string data = ProgramData();
  s.smsIni = data + "SMSGW.INI";
  s.queue = Profile("MMSC", "VASPQDir", "", s.mmscIni);
  if (s.queue.empty()) {
    s.queue = data + "VASPQ";
    CreateDirectoryA(s.queue.c_str(), nullptr);
  }
  s.queue = WithSlash(s.queue);
  s.defaultRoute = Profile("MMSC", "DefaultOutboundRoute", "zarqlocal", s.mmscIni);
  s.maxRetries = ProfileNumber("MMSC", "MaxRetries", 3, s.mmscIni);
  if (s.maxRetries == 0) s.maxRetries = 1;
  s.retrySeconds = ProfileNumber("MMSC", "RetryInterval", 60, s.mmscIni);
  unsigned timeout = ProfileNumber("MMSC", "HttpTimeout", 30, s.mmscIni);
  s.timeoutMs = (timeout ? timeout : 30) * 1000;

  std::string modem = Profile("SMSGW", "Modem1", "", s.smsIni);
  char section[kSectionNameSize];
  ConnectionSectionName(modem.c_str(), section, sizeof section);
  // The modem fetches MMS when its own ReceiveMMS is on. The 2-Way page's
  // [SMSGW] ReceiveMMS ("process received MMS", "No" unless ticked) chooses
  // what happens to them next, as its ReceiveSMS does for SMS: unprocessed,
  // they stay in the received-MMS store, like received SMS in theirs.
  s.receive = !modem.empty() && IsYesValue(Profile(section, "ReceiveMMS", "", s.smsIni).c_str());
  s.modemGateway = Profile(section, "WAPGatewayIP", "", s.smsIni);
  s.modemServer = Profile(section, "MMSURL", "", s.smsIni);
  return s;
}

struct Account {
  std::string protocol, server, gateway;
};

Account ReadAccount(const std::string& route) {
  std::string ini = ProgramData() + "VASPOUT\\" + route + "\\VASP.INI";
  Account a;
  a.protocol = Profile("VASP", "Protocol", "", ini);
  a.server = Profile("VASP", "Server", "", ini);
  a.gateway = Profile("VASP", "WAPGatewayIP", "", ini);
  return a;
}

// The MMSC's debug log, when the Debug Logs page has switched it on.
void Trace(const Settings& s, const std::string& text) {
  AppendDebugLine(s.mmscIni, "MMSC", ProgramData() + "MMSCDEBUG.LOG", text);
}

// Addresses as the log and the debug log list them: separated by semicolons.
std::string AddressList(const std::vector<std::string>& addresses) {
  std::string list;
  for (const std::string& a : addresses) list += (list.empty() ? "" : ";") + a;
  return list;
}

std::string Now(const char* format) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[32];
  if (strcmp(format, "log") == 0)
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
  else if (strcmp(format, "compact") == 0)
    snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  else
    snprintf(text, sizeof text, "%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
  return text;
}

// Seconds since 2000 of a compact time, for retry spacing.
long long CompactSeconds(const char* text) {
  SmsDateTime t = ParseCompactTime(text);
  SYSTEMTIME st = {t.year, t.month, 0, t.day, t.hour, t.minute, t.second, 0};
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return 0;
  return (static_cast<long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000000;
}

// Appends one line to the day's log; other writers may append at the same time.
void AppendLog(const MmscLogEntry& entry) {
  std::string path = ProgramData() + "MMSC-" + Now("day") + ".LOG";
  std::string line = MmscLogLine(entry);
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (datadirs::AppendToFile(path, line)) return;
    Sleep(20);
  }
  ReportGatewayEvent(kSource, EVENTLOG_ERROR_TYPE, ("Cannot write the MMSC log " + path).c_str());
}

std::string RouteErrorPath(const std::string& route) {
  char name[MAX_PATH];
  RouteErrorFileName(route.c_str(), RouteKind::Mmsc, name, sizeof name);
  return PrivateData() + name;
}

std::string ReadSmallFile(const std::string& path, size_t limit) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  std::string text(limit, '\0');
  DWORD got = 0;
  if (!ReadFile(h, &text[0], DWORD(limit), &got, nullptr)) got = 0;
  CloseHandle(h);
  text.resize(got);
  return text;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, DWORD disposition = CREATE_ALWAYS) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = size == 0 || (WriteFile(h, data, DWORD(size), &written, nullptr) && written == size);
  CloseHandle(h);
  return ok;
}

// The route error file holds the reason while the route fails, and is
// emptied once the server answers again. Events mark the two changes.
void SetRouteError(const std::string& route, const std::string& reason) {
  std::string path = RouteErrorPath(route);
  std::string text = AnsiLineText(reason, 250);
  std::string before = ReadSmallFile(path, 250);
  if (before == text) return;
  WriteWholeFile(path, text.data(), text.size());
  if (before.empty())
    ReportGatewayEvent(kSource, EVENTLOG_WARNING_TYPE, ("MMS route " + route + " is failing: " + text).c_str());
}

void ClearRouteError(const std::string& route) {
  std::string path = RouteErrorPath(route);
  if (ReadSmallFile(path, 1).empty()) return;
  WriteWholeFile(path, "", 0);
  ReportGatewayEvent(kSource, EVENTLOG_INFORMATION_TYPE, ("MMS route " + route + " works again").c_str());
}

bool ReadHandle(HANDLE h, size_t limit, Bytes* out, bool* tooLarge) {
  LARGE_INTEGER size;
  *tooLarge = false;
  if (!GetFileSizeEx(h, &size)) return false;
  if (size.QuadPart > static_cast<LONGLONG>(limit)) {
    *tooLarge = true;
    return false;
  }
  out->resize(size_t(size.QuadPart));
  DWORD got = 0;
  return out->empty() || (ReadFile(h, out->data(), DWORD(out->size()), &got, nullptr) && got == out->size());
}

// --- Sending ----------------------------------------------------------------

struct Outcome {
  bool sent = false;
  bool permanent = false;  // no use trying again
  std::string error;       // when not sent
  std::string messageId;
};

// One queued message through its outbound account.
Outcome Deliver(const Settings& s, const std::string& route, const Bytes& message,
                const std::vector<std::string>& recipients) {
  Outcome o;
  Account account = ReadAccount(route);
  if (!account.protocol.empty() && CompareNoCase(account.protocol.c_str(), "MM1") != 0) {
    o.error = "route " + route + ": protocol " + account.protocol + " is not supported";
    o.permanent = true;
    return o;
  }
  if (account.server.empty()) {
    o.error = "route " + route + " has no MMS server URL";
    SetRouteError(route, o.error);
    return o;
  }
  char tid[32];
  snprintf(tid, sizeof tid, "ZQ%08lX", static_cast<unsigned long>(GetTickCount()));
  Bytes request;
  std::string error;
  if (!mms::ReaddressSendReq(message.data(), message.size(), tid, recipients, &request, &error)) {
    o.error = "the message is not a valid MMS: " + error;
    o.permanent = true;
    return o;
  }
  Trace(s, "POST " + account.server + (account.gateway.empty() ? "" : " through WAP gateway " + account.gateway) +
               ": m-send-req of " + std::to_string(request.size()) + " bytes to " + AddressList(recipients) +
               ", transaction " + tid);
  HttpExchange x = HttpSend("POST", account.server, account.gateway, kMmsType, request, s.timeoutMs, 64 * 1024);
  Trace(s, x.answered ? "HTTP " + std::to_string(x.status) + ", " + std::to_string(x.body.size()) + " bytes"
                      : "no answer: " + x.error);
  if (!x.answered || x.status < 200 || x.status > 299) {
    o.error = x.answered ? "the MMS server answered HTTP " + std::to_string(x.status) : x.error;
    SetRouteError(route, o.error);
    return o;
  }
  mms::SendConf conf;
  if (!mms::DecodeSendConf(x.body.data(), x.body.size(), &conf, &error)) {
    o.error = "the MMS server's answer is not an m-send-conf: " + error;
    SetRouteError(route, o.error);
    return o;
  }
  ClearRouteError(route);
  Trace(s, "m-send-conf: " + mms::ResponseStatusText(conf.responseStatus) +
               (conf.messageId.empty() ? "" : ", message id " + conf.messageId));
  if (conf.responseStatus != mms::kStatusOk) {
    o.error = mms::ResponseStatusText(conf.responseStatus);
    if (!conf.responseText.empty()) o.error += " (" + conf.responseText + ")";
    o.permanent = mms::IsPermanentError(conf.responseStatus);
    return o;
  }
  o.sent = true;
  o.messageId = conf.messageId;
  return o;
}

// The [Recipients] values of a control file.
std::vector<std::string> RecipientValues(const std::string& ini) {
  std::vector<char> section(32768);
  DWORD n = GetPrivateProfileSectionA("Recipients", section.data(), DWORD(section.size()), ini.c_str());
  std::vector<std::string> values;
  for (const char* p = section.data(); p < section.data() + n && *p; p += strlen(p) + 1) {
    const char* eq = strchr(p, '=');
    if (eq && eq[1]) values.push_back(eq + 1);
  }
  return values;
}

void TakeQueued(const Settings& s, const std::string& dir, const std::string& file) {
  std::string mmsPath = dir + file;
  std::string iniPath = mmsPath.substr(0, mmsPath.rfind('.')) + ".INI";
  // The control file is complete once its writer has let go of it.
  HANDLE ini = CreateFileA(iniPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ini == INVALID_HANDLE_VALUE) return;
  CloseHandle(ini);

  unsigned retries = ProfileNumber("Routing", "RetryCount", 0, iniPath);
  std::string last = Profile("Routing", "LastRetryTime", "", iniPath);
  if (retries > 0 && !last.empty()) {
    long long since = CompactSeconds(Now("compact").c_str()) - CompactSeconds(last.c_str());
    if (since >= 0 && since < static_cast<long long>(s.retrySeconds)) return;
  }

  // Held while it goes out, so that nobody changes or deletes it meanwhile.
  HANDLE h = CreateFileA(mmsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  if (retries == 0) AddDayCounter("MMSIN-USER");

  Bytes message;
  bool tooLarge = false;
  Outcome o;
  std::vector<std::string> addresses;
  std::string route;
  if (!ReadHandle(h, kMaxMessage, &message, &tooLarge)) {
    o.error = tooLarge ? "the message is larger than 2 MB" : "the message file cannot be read";
    o.permanent = tooLarge;
  } else {
    for (const std::string& value : RecipientValues(iniPath)) {
      QueuedRecipient r = ParseQueuedRecipient(value);
      std::string rRoute = r.route.empty() ? s.defaultRoute : r.route;
      if (r.address.empty()) continue;
      if (route.empty()) route = rRoute;
      if (CompareNoCase(route.c_str(), rRoute.c_str()) != 0) {
        o.error = "the recipients are on more than one route";
        o.permanent = true;
        break;
      }
      addresses.push_back(r.address);
    }
    if (o.error.empty() && addresses.empty()) {
      o.error = "the message has no recipient";
      o.permanent = true;
    }
    if (o.error.empty()) o = Deliver(s, route, message, addresses);
  }
  CloseHandle(h);

  MmscLogEntry entry{Now("log"), "OUT", route.empty() ? s.defaultRoute : route, "", AddressList(addresses), "", file,
                     o.messageId};
  Trace(s, "OUT " + file + (o.sent ? ": sent" : ": attempt " + std::to_string(retries + 1) + " of " +
                                                   std::to_string(s.maxRetries) + " failed: " + o.error));
  if (o.sent) {
    entry.result = "OK";
    // Logged and counted before the files go: whoever sees the queue shrink finds both.
    AppendLog(entry);
    AddDayCounter("MMSOUT-MMSC");
    DeleteFileA(iniPath.c_str());
    DeleteFileA(mmsPath.c_str());
    return;
  }
  ++retries;
  if (o.permanent || retries >= s.maxRetries) {
    entry.result = "ERROR: " + o.error;
    AppendLog(entry);
    DeleteFileA(iniPath.c_str());
    DeleteFileA(mmsPath.c_str());
    ReportGatewayEvent(kSource, EVENTLOG_ERROR_TYPE, ("MMS " + file + " was not sent: " + o.error).c_str());
    return;
  }
  WritePrivateProfileStringA("Routing", "RetryCount", std::to_string(retries).c_str(), iniPath.c_str());
  WritePrivateProfileStringA("Routing", "LastErrorInfo", AnsiLineText(o.error, 499).c_str(), iniPath.c_str());
  WritePrivateProfileStringA("Routing", "LastRetryTime", Now("compact").c_str(), iniPath.c_str());
}

void SendQueue(const Settings& s, HANDLE stop) {
  for (const std::string& dir : datadirs::DirectoryAndSubdirectories(s.queue)) {
    for (const std::string& f : datadirs::FilesIn(dir, "*.MMS")) {
      if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return;
      TakeQueued(s, dir, f);
    }
  }
}

// --- Receiving --------------------------------------------------------------

std::string InboxDirectory(const Settings& s) {
  std::string dir = Profile("SMSGW", "MMSDir", "", s.smsIni);
  if (dir.empty()) {
    dir = ProgramData() + "MMS-IN";
    CreateDirectoryA(dir.c_str(), nullptr);
  }
  return WithSlash(dir);
}

// Stores a fetched message as header file plus part directory; the name of
// the header file, empty when it could not be stored.
std::string Store(const Settings& s, const mms::RetrieveConf& m, std::string* error) {
  std::string inbox = InboxDirectory(s);
  std::string name;
  for (unsigned n = 0; n < 1000 && name.empty(); ++n) {
    char candidate[64];
    snprintf(candidate, sizeof candidate, "MMS%s-%04X", Now("compact").c_str(),
             unsigned((GetTickCount() + n * 7919) & 0xFFFF));
    if (CreateDirectoryA((inbox + candidate).c_str(), nullptr)) name = candidate;
    else if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (name.empty()) {
    *error = "cannot create a part directory in " + inbox;
    return std::string();
  }
  std::vector<mms::Part> parts = m.parts;
  if (!mms::IsMultipart(m.type.media)) {
    mms::Part single;
    single.type = m.type;
    single.data.assign(m.body.begin(), m.body.end());
    parts.push_back(single);
  }
  std::vector<std::string> taken;
  std::vector<StoredPart> stored;
  for (size_t i = 0; i < parts.size(); ++i) {
    const mms::Part& p = parts[i];
    std::string file = SafePartFileName(p.location.empty() ? p.type.name : p.location, p.type.media, i + 1, taken);
    if (!WriteWholeFile(inbox + name + "\\" + file, p.data.data(), p.data.size(), CREATE_NEW)) {
      *error = "cannot write part " + file;
      return std::string();
    }
    taken.push_back(file);
    stored.push_back({name + "\\" + file, p.type.media});
  }
  std::string header = MmsHeaderFileText(m, stored);
  // Written beside and then renamed, so that a reader never sees half a header.
  std::string tmp = inbox + name + ".TMP";
  if (!WriteWholeFile(tmp, header.data(), header.size()) ||
      !MoveFileA(tmp.c_str(), (inbox + name + ".HDR").c_str())) {
    DeleteFileA(tmp.c_str());
    *error = "cannot write the header file";
    return std::string();
  }
  return name + ".HDR";
}

enum class PushResult { Done, Retry };

PushResult ReceiveOne(const Settings& s, const std::string& path, const std::string& file) {
  std::string route = s.defaultRoute;
  MmscLogEntry entry{Now("log"), "IN", "modem", "", "", "", file, ""};
  auto fail = [&](const std::string& why) {
    Trace(s, "IN " + file + ": not stored: " + why);
    entry.result = "ERROR: " + why;
    AppendLog(entry);
    ReportGatewayEvent(kSource, EVENTLOG_WARNING_TYPE, ("Received MMS " + file + " not stored: " + why).c_str());
    return PushResult::Done;
  };
  Bytes data;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return PushResult::Retry;
  bool tooLarge = false;
  bool read = ReadHandle(h, kMaxPush, &data, &tooLarge);
  CloseHandle(h);
  if (!read) return tooLarge ? fail("the notification is too large") : PushResult::Retry;

  mms::Push push;
  mms::NotificationInd note;
  std::string error;
  if (!mms::DecodePush(data.data(), data.size(), &push, &error)) return fail("not a WAP push: " + error);
  if (push.type.media != kMmsType) return fail("a WAP push of another kind (" + push.type.media + ")");
  if (!mms::DecodeNotificationInd(push.body.data(), push.body.size(), &note, &error))
    return fail("not an MMS notification: " + error);
  entry.from = note.from;
  if (!s.receive) {
    entry.result = "ERROR: receiving MMS is switched off";
    AppendLog(entry);
    return PushResult::Done;
  }

  // Fetched through the modem's WAP gateway, else the outbound account's.
  Account account = ReadAccount(route);
  std::string gateway = !s.modemGateway.empty() ? s.modemGateway : account.gateway;
  std::string server = !s.modemServer.empty() ? s.modemServer : account.server;
  Trace(s, "IN " + file + ": notification from " + note.from + ", GET " + note.contentLocation +
               (gateway.empty() ? "" : " through WAP gateway " + gateway));
  HttpExchange x = HttpSend("GET", note.contentLocation, gateway, "", {}, s.timeoutMs, kMaxMessage);
  Trace(s, x.answered ? "HTTP " + std::to_string(x.status) + ", " + std::to_string(x.body.size()) + " bytes"
                      : "no answer: " + x.error + " (tried again later)");
  if (!x.answered || x.status < 200 || x.status > 299) return PushResult::Retry;
  mms::RetrieveConf m;
  if (!mms::DecodeRetrieveConf(x.body.data(), x.body.size(), &m, &error))
    return fail("the fetched message is not an m-retrieve-conf: " + error);
  if (m.retrieveStatus != mms::kStatusOk)
    return fail("the MMS server refused the message: " + mms::ResponseStatusText(m.retrieveStatus));
  if (m.from.empty()) m.from = note.from;
  if (m.subject.empty()) m.subject = note.subject;

  std::string header = Store(s, m, &error);
  if (header.empty()) return fail(error);
  AddDayCounter("MMSIN-MODEM");
  Trace(s, "IN " + file + ": stored as " + header);
  entry.from = m.from;
  entry.to = AddressList(m.to);
  entry.result = "OK";
  entry.fileName = header;
  entry.messageId = m.messageId;
  AppendLog(entry);
  // The MMSC may forget the message now; a lost acknowledgement costs nothing.
  if (!server.empty())
    HttpSend("POST", server, gateway, kMmsType, mms::EncodeNotifyRespInd(note.transactionId, mms::kStatusRetrieved),
             s.timeoutMs, 64 * 1024);
  return PushResult::Done;
}

void ReceivePushes(const Settings& s, WorkState* state, HANDLE stop) {
  std::string dir = PrivateData() + "MMSPUSH\\";
  for (const std::string& f : datadirs::FilesIn(dir, "*.PUSH")) {
    if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return;
    WorkState::Attempts& a = state->pushes[f];
    if (a.count > 0 && GetTickCount() - a.lastTick < s.retrySeconds * 1000) continue;
    PushResult r = ReceiveOne(s, dir + f, f);
    ++a.count;
    a.lastTick = GetTickCount();
    if (r == PushResult::Retry && a.count < s.maxRetries) continue;
    if (r == PushResult::Retry) {
      MmscLogEntry entry{Now("log"), "IN", "modem", "", "", "ERROR: the message could not be fetched", f, ""};
      AppendLog(entry);
      ReportGatewayEvent(kSource, EVENTLOG_WARNING_TYPE, ("Received MMS " + f + " could not be fetched").c_str());
    }
    DeleteFileA((dir + f).c_str());
    state->pushes.erase(f);
  }
}

void OnePass(const char* mmscIni, WorkState* state, HANDLE stop) {
  Settings s = ReadSettings(mmscIni);
  SendQueue(s, stop);
  ReceivePushes(s, state, stop);
}

}  // namespace

void Pass(const char* mmscIni, WorkState* state) { OnePass(mmscIni, state, nullptr); }

void Run(HANDLE stop, const char* mmscIni) {
  WorkState state;
  while (WaitForSingleObject(stop, kPassMs) == WAIT_TIMEOUT) OnePass(mmscIni, &state, stop);
}

}  // namespace mmsc
