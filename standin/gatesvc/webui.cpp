#include "webui.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/daycounter.h"
#include "core/smsfile.h"
#include "core/textrules.h"
#include "gateway/records.h"
#include "gateway/zarqacct.h"
#include "gwfiles.h"
#include "httprequest.h"
#include "smspdu.h"

namespace {

constexpr size_t kMaxText = 8000;

void Send(SOCKET client, const std::string& status, const std::string& body, const char* extraHeaders = "") {
  std::string reply = "HTTP/1.0 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
  size_t sent = 0;
  while (sent < reply.size()) {
    int n = send(client, reply.data() + sent, int(reply.size() - sent), 0);
    if (n <= 0) break;
    sent += size_t(n);
  }
}

std::string Page(const std::string& title, const std::string& content) {
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + http::HtmlEscape(title) +
         "</title></head>\n<body>\n<h1>Zarq SMS Gateway Lite Edition</h1>\n" + content + "</body></html>\n";
}

// The user may use the web interface: known, the same password, web login enabled.
bool LoginAccepted(const std::string& user, const std::string& password) {
  if (user.empty() || user.size() >= UserRecord::kNameSize) return false;
  SMSUSERFILE file = nullptr;
  if (!SMSOpenUserFile(&file, SMS_USERFILE_READ) || !file) return false;
  unsigned char record[UserRecord::kSize] = {};
  bool found = SMSFindUserRecord(file, user.c_str(), record) != 0;
  SMSCloseUserFile(file);
  if (!found) return false;
  char stored[UserRecord::kPasswordSize + 1] = {};
  memcpy(stored, record + UserRecord::kPasswordOffset, UserRecord::kPasswordSize);
  return record[UserRecord::kWebLoginDisabledOffset] == 0 && password == stored;
}

unsigned TodayCount(const char* name) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char file[MAX_PATH];
  CounterFileName(name, now.wYear, file, sizeof file);
  std::string bytes;
  if (!gw::ReadWholeFile(gw::PrivateDataDir() + file, kCounterFileSize, &bytes)) return 0;
  return CounterValue(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      CounterDayOfYear(now.wYear, now.wMonth, now.wDay));
}

unsigned CountRequests(const std::string& dir, bool subdirectories) {
  unsigned n = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    bool isDir = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDir && subdirectories && found.cFileName[0] != '.') n += CountRequests(dir + found.cFileName + "\\", false);
    size_t len = strlen(found.cFileName);
    if (!isDir && len > 4 && CompareNoCase(found.cFileName + len - 4, ".REQ") == 0) ++n;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return n;
}

std::string StatusPage(const char* ini, const std::string& note) {
  std::string modem = gw::Setting(ini, "SMSGW", "Modem1");
  std::string modemState = "no modem configured";
  if (!modem.empty()) {
    char name[MAX_PATH];
    RouteErrorFileName(modem.c_str(), RouteKind::Modem, name, sizeof name);
    std::string error;
    gw::ReadWholeFile(gw::PrivateDataDir() + name, 250, &error);
    modemState = error.empty() ? "OK" : error;
  }
  char counts[512];
  snprintf(counts, sizeof counts,
           "<tr><td>Outbound SMS queue</td><td>%u</td></tr>\n<tr><td>SMS sent today</td><td>%u</td></tr>\n"
           "<tr><td>SMS received today</td><td>%u</td></tr>\n<tr><td>SMS failed today</td><td>%u</td></tr>\n",
           CountRequests(gw::QueueDir(ini), true), TodayCount("SMSSENT"), TodayCount("SMSRECEIVED"),
           TodayCount("SMSFAILED"));
  std::string content = note + "<h2>Status</h2>\n<table>\n<tr><td>Modem</td><td>" + http::HtmlEscape(modem) +
                        "</td><td id=\"modem\">" + http::HtmlEscape(modemState) + "</td></tr>\n" + counts +
                        "</table>\n<h2>Send Text Message</h2>\n"
                        "<form method=\"POST\" action=\"/send\">\n"
                        "<p>Phone Number: <input name=\"PhoneNumber\" size=\"30\"></p>\n"
                        "<p>Text:<br><textarea name=\"Text\" rows=\"5\" cols=\"60\"></textarea></p>\n"
                        "<p><input type=\"submit\" value=\"Send Message\"></p>\n</form>\n";
  return Page("Zarq SMS Gateway", content);
}

// The text as the request file keeps it: ANSI text when the code page holds
// every character, else UCS-2 user data.
std::string RequestData(const std::string& utf8) {
  std::u16string text = smspdu::Utf8ToUtf16(utf8);
  std::wstring wide(text.begin(), text.end());
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
  std::string ansi(n > 0 ? size_t(n) : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &ansi[0], n, nullptr, &lossy);
  ansi.resize(strlen(ansi.c_str()));
  if (!lossy) return "Data=" + EscapeLineBreaks(ansi.c_str()) + "\r\n";
  smspdu::Bytes ucs2;
  for (char16_t c : text) {
    ucs2.push_back(uint8_t(c >> 8));
    ucs2.push_back(uint8_t(c & 0xFF));
  }
  return "Data=" + smspdu::ToHex(ucs2) + "\r\nbinary=Yes\r\ndcs=08\r\n";
}

bool ValidNumber(const std::string& n) {
  size_t start = !n.empty() && n[0] == '+' ? 1 : 0;
  return n.size() > start && n.size() <= 21 && n.find_first_not_of("0123456789", start) == std::string::npos;
}

void Submit(SOCKET client, const char* ini, const http::Request& request, const std::string& user,
            const std::string& peer) {
  std::string form = request.method == "POST" ? request.body : request.query;
  auto fields = http::ParseForm(form);
  std::string number = http::FormValue(fields, "PhoneNumber"), text = http::FormValue(fields, "Text");
  if (!ValidNumber(number)) {
    Send(client, "400 Bad Request", StatusPage(ini, "<p id=\"result\">ERROR: Invalid phone number</p>\n"));
    return;
  }
  if (text.size() > kMaxText) {
    Send(client, "400 Bad Request", StatusPage(ini, "<p id=\"result\">ERROR: Message too long</p>\n"));
    return;
  }
  std::string file = "[SMS]\r\nPhoneNumber=" + number + "\r\n" + RequestData(text) + "SubmittedBy=Web " + peer +
                     "\r\n";
  if (!user.empty()) file += "SubmitUser=" + user + "\r\n";
  std::string path = gw::WriteNewFile(gw::QueueDir(ini), "WEB", ".REQ", file);
  if (path.empty()) {
    Send(client, "500 Internal Server Error",
         StatusPage(ini, "<p id=\"result\">ERROR: The message could not be queued</p>\n"));
    return;
  }
  std::string name = path.substr(path.find_last_of('\\') + 1);
  Send(client, "200 OK",
       StatusPage(ini, "<p id=\"result\">Message Submitted: " + http::HtmlEscape(name) + "</p>\n"));
}

}  // namespace

void ServeWebClient(SOCKET client, const char* ini) {
  std::string received;
  http::Request request;
  http::Parse parse = http::Parse::Incomplete;
  while (parse == http::Parse::Incomplete) {
    char buffer[2048];
    int n = recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    received.append(buffer, size_t(n));
    parse = http::ParseRequest(received, &request);
  }
  sockaddr_in peerAddress = {};
  int peerSize = sizeof peerAddress;
  std::string peer = getpeername(client, reinterpret_cast<sockaddr*>(&peerAddress), &peerSize) == 0
                         ? inet_ntoa(peerAddress.sin_addr)
                         : "";
  if (parse != http::Parse::Complete) {
    if (!received.empty()) Send(client, "400 Bad Request", Page("Bad Request", "<p>Bad request</p>\n"));
    closesocket(client);
    return;
  }
  std::string user, password;
  if (IsYesValue(gw::Setting(ini, "SMSGW", "WebAuth").c_str())) {
    if (!http::ParseBasicLogin(request.authorization, &user, &password) || !LoginAccepted(user, password)) {
      Send(client, "401 Unauthorized", Page("Login", "<p>Login required</p>\n"),
           "WWW-Authenticate: Basic realm=\"ZarqSMS\"\r\n");
      closesocket(client);
      return;
    }
  }
  bool formInQuery = request.query.find("PhoneNumber=") != std::string::npos;
  if (request.path == "/send" || (request.path == "/" && formInQuery)) {
    Submit(client, ini, request, user, peer);
  } else if (request.path == "/" || request.path == "/index.html") {
    Send(client, "200 OK", StatusPage(ini, ""));
  } else {
    Send(client, "404 Not Found", Page("Not Found", "<p>Not found</p>\n"));
  }
  closesocket(client);
}
