// The real SMS gateway service ZARQGATESVC.EXE at work with the simulated
// modem: it sends its queue as PDUs, the messages it sends to the modem's own
// number come back into the received-SMS store, bad requests are logged and
// set aside, a held log or request waits, pushes go to the MMSC, the web
// interface queues messages behind its login, failed sends are retried and
// given up, and the modem's error file follows the modem.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/configstore.h"
#include "core/daycounter.h"
#include "core/smsfile.h"
#include "gateway/records.h"
#include "gateway/zarqacct.h"
#include "loopback.h"
#include "modemsimdriver.h"
#include "servicetest.h"
#include "smspdu.h"
#include "testfiles.h"

namespace {

constexpr DWORD kWaitMs = 60000;

bool WaitFor(const std::function<bool()>& condition, DWORD ms = kWaitMs) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start >= ms) return false;
    Sleep(100);
  }
  return true;
}

std::string TodayLog(const ScratchDir& dir) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[64];
  snprintf(name, sizeof name, "SMSOUT-%04u%02u%02u.LOG", now.wYear, now.wMonth, now.wDay);
  return dir / name;
}

// The log lines naming `request` in their 2nd field.
std::vector<std::string> LogLinesFor(const ScratchDir& dir, const std::string& request) {
  std::vector<std::string> out;
  std::string text = ReadFileText(TodayLog(dir));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) break;
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    size_t c1 = line.find(','), c2 = c1 == std::string::npos ? c1 : line.find(',', c1 + 1);
    if (c2 != std::string::npos && line.substr(c1 + 1, c2 - c1 - 1) == request) out.push_back(line);
  }
  return out;
}

// The 5th field of a log line.
std::string Result(const std::string& line) {
  size_t p = 0;
  for (int i = 0; i < 4 && p != std::string::npos; ++i) p = line.find(',', p + 1);
  if (p == std::string::npos) return "";
  return line.substr(p + 1, line.find(',', p + 1) - p - 1);
}

unsigned Today(const ScratchDir& dir, const char* name) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char file[MAX_PATH];
  CounterFileName(name, now.wYear, file, sizeof file);
  std::string bytes = ReadFileText(dir / file);
  return CounterValue(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      CounterDayOfYear(now.wYear, now.wMonth, now.wDay));
}

// The text of every received message, decoded from its stored user data.
std::multiset<std::string> ReceivedTexts(const ScratchDir& dir) {
  std::multiset<std::string> out;
  for (const std::string& name : FilesIn(dir / "SMS-IN\\*.SMS")) {
    static SmsFileInfo info;
    ParseSmsText(ReadFileText(dir / ("SMS-IN\\" + name)).c_str(), &info);
    smspdu::Bytes data;
    smspdu::FromHex(info.Data, &data);
    smspdu::Decoded d;
    d.dcs = info.dcs;
    d.alphabet = smspdu::AlphabetOfDcs(info.dcs);
    size_t headerOctets = info.udh[0] ? strlen(info.udh) / 2 : 0;
    d.units = d.alphabet == smspdu::Alphabet::Gsm7
                  ? smspdu::UnpackSeptets(data.data(), data.size(), smspdu::FillBits(headerOctets), data.size() * 8 / 7)
                  : data;
    std::string text = smspdu::MessageText(d);
    if (d.alphabet == smspdu::Alphabet::Gsm7 && !text.empty() && text.back() == '@') text.pop_back();  // padding
    out.insert(std::string(info.Sender) + ": " + text);
  }
  return out;
}

std::string HttpExchange(unsigned port, const std::string& request) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<u_short>(port));
  std::string reply;
  if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    send(s, request.data(), int(request.size()), 0);
    char buffer[4096];
    int n;
    while ((n = recv(s, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, size_t(n));
  }
  closesocket(s);
  return reply;
}

std::string Get(unsigned port, const std::string& path, const std::string& login = "") {
  std::string auth = login.empty() ? "" : "Authorization: Basic " + login + "\r\n";
  return HttpExchange(port, "GET " + path + " HTTP/1.0\r\n" + auth + "\r\n");
}

void AddUser(const char* name, const char* password, bool webLogin) {
  unsigned char record[UserRecord::kSize] = {};
  strcpy(reinterpret_cast<char*>(record + UserRecord::kNameOffset), name);
  strcpy(reinterpret_cast<char*>(record + UserRecord::kPasswordOffset), password);
  record[UserRecord::kWebLoginDisabledOffset] = webLogin ? 0 : 1;
  SMSUSERFILE file = nullptr;
  ASSERT_TRUE(SMSOpenUserFile(&file, SMS_USERFILE_READWRITE));
  EXPECT_TRUE(SMSAddUser(file, record));
  SMSCloseUserFile(file);
}

class Gateway : public ::testing::Test {
 protected:
  void SetUp() override {
    StartWinsock();
    ini_ = data_.Ini("SMSGW.INI");
    Set("WebPort", std::to_string(webPort_));
    Set("RetryDelay", "1");
    Set("Debug", "Yes");
    Set("MaxRetryCount", "2");
  }
  void TearDown() override {
    if (HasFailure()) {
      std::string debug = ReadFileText(data_.Dir() / "SMSDEBUG.LOG");
      printf("SMSDEBUG.LOG (end):\n%s\n", debug.substr(debug.size() > 6000 ? debug.size() - 6000 : 0).c_str());
    }
  }
  void Set(const char* key, const std::string& value) { WriteSetting(ini_.c_str(), "SMSGW", key, value.c_str()); }
  void Queue(const std::string& name, const std::string& text) {
    CreateDirectoryA((data_.Dir() / "Q").c_str(), nullptr);
    std::string path = data_.Dir() / ("Q\\" + name);
    WriteFileText(path, text);
    ASSERT_TRUE(PathExists(path)) << path;
  }
  bool Queued(const std::string& name) { return PathExists(data_.Dir() / ("Q\\" + name)); }

  GatewayFixtureDir data_{"gateway"};
  std::string ini_;
  unsigned webPort_ = FreeTcpPort();
};

TEST_F(Gateway, SendsReceivesAndSetsBadRequestsAside) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Set("Modem1", sim.Port() + ":");
  CreateDirectoryA((data_.Dir() / "Q").c_str(), nullptr);
  CreateDirectoryA((data_.Dir() / "Q\\SUB").c_str(), nullptr);
  Queue("A1.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nData=Price 5\x80 [ok]\r\nSubmittedBy=test\r\n");
  Queue("SUB\\A2.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nData=" + std::string(200, 'L') + "\r\n");
  Queue("B1.REQ", "[SMS]\r\nData=no number\r\n");
  Queue("B2.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nData=" + std::string(20000, 'x') + "\r\n");
  Queue("B3.REQ", std::string("\0\x01\xff[SMS]\0garbage", 16));
  Queue("B4.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nbinary=Yes\r\nData=0G\r\n");
  // A request another program holds is left alone until it is free.
  HANDLE held = CreateFileA((data_.Dir() / "Q\\C1.REQ").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const char held_text[] = "[SMS]\r\nPhoneNumber=+15550100100\r\nData=was held\r\n";
  DWORD written = 0;
  WriteFile(held, held_text, sizeof held_text - 1, &written, nullptr);

  ASSERT_TRUE(StartGatewayService());
  EXPECT_TRUE(WaitFor([&] { return FilesIn(data_.Dir() / "Q\\*.REQ") == std::vector<std::string>{"C1.REQ"}; }))
      << "left: " << FilesIn(data_.Dir() / "Q\\*.REQ").size();
  EXPECT_TRUE(WaitFor([&] { return !Queued("SUB\\A2.REQ"); }));
  CloseHandle(held);
  EXPECT_TRUE(WaitFor([&] { return !Queued("C1.REQ"); }));

  const struct {
    const char* request;
    const char* result;  // the beginning of the 5th field
  } verdicts[] = {{"A1.REQ", "OK -- 1 part(s) sent"}, {"A2.REQ", "OK -- 2 part(s) sent"},
                  {"C1.REQ", "OK -- 1 part(s) sent"}, {"B1.REQ", "ERROR -- No recipient phone number"},
                  {"B2.REQ", "ERROR -- Message too long"}, {"B3.REQ", "ERROR -- No recipient phone number"},
                  {"B4.REQ", "ERROR -- Invalid binary message data"}};
  for (const auto& v : verdicts) {
    std::vector<std::string> lines = LogLinesFor(data_.Dir(), v.request);
    ASSERT_EQ(lines.size(), 1u) << v.request;
    EXPECT_EQ(Result(lines[0]).rfind(v.result, 0), 0u) << lines[0];
  }
  EXPECT_EQ(FilesIn(data_.Dir() / "SMSFAILED\\*.REQ"), (std::vector<std::string>{"B1.REQ", "B2.REQ", "B3.REQ", "B4.REQ"}));

  // What went to the modem's own number came back, joined and decoded.
  EXPECT_TRUE(WaitFor([&] { return ReceivedTexts(data_.Dir()).size() == 3; }));
  EXPECT_EQ(ReceivedTexts(data_.Dir()),
            (std::multiset<std::string>{"+15550100100: Price 5\xE2\x82\xAC [ok]",
                                        "+15550100100: " + std::string(200, 'L'), "+15550100100: was held"}));
  EXPECT_EQ(Today(data_.Dir(), "SMSSENT"), 3u);
  EXPECT_EQ(Today(data_.Dir(), "SMSFAILED"), 4u);
  // Counted just after the file appears.
  EXPECT_TRUE(WaitFor([&] { return Today(data_.Dir(), "SMSRECEIVED") == 3u; })) << Today(data_.Dir(), "SMSRECEIVED");
  EXPECT_EQ(Today(data_.Dir(), "SMSSUBMIT"), 7u);

  // Messages of every coding, and a WAP push in two parts for the MMSC.
  ASSERT_EQ(sim.Deliver("--text '\\u041f\\u0440\\u0438' --coding ucs2 --from +15550100111"), 0);
  ASSERT_EQ(sim.Deliver("--text 0102FF --coding 8bit --from +15550100112"), 0);
  ASSERT_EQ(sim.Deliver("--text 0106 --coding 8bit --udh 0C05040B8423F00804BEEF0201"), 0);
  ASSERT_EQ(sim.Deliver("--text B4C0 --coding 8bit --udh 0C05040B8423F00804BEEF0202"), 0);
  EXPECT_TRUE(WaitFor([&] { return FilesIn(data_.Dir() / "MMSPUSH\\*.PUSH").size() == 1; }));
  std::vector<std::string> pushes = FilesIn(data_.Dir() / "MMSPUSH\\*.PUSH");
  ASSERT_EQ(pushes.size(), 1u);
  EXPECT_EQ(ReadFileText(data_.Dir() / ("MMSPUSH\\" + pushes[0])), std::string("\x01\x06\xB4\xC0", 4));
  EXPECT_TRUE(WaitFor([&] { return ReceivedTexts(data_.Dir()).size() == 5; }));
  std::multiset<std::string> texts = ReceivedTexts(data_.Dir());
  EXPECT_EQ(texts.count("+15550100112: 0102FF"), 1u);
}

TEST_F(Gateway, HeldLogDelaysTheDeletionNotTheSendingAndTheWebQueuesBehindItsLogin) {
  ModemSim sim;
  ASSERT_TRUE(sim.Started()) << sim.Error();
  Set("Modem1", sim.Port() + ":");
  ASSERT_TRUE(StartGatewayService());
  HANDLE log = CreateFileA(TodayLog(data_.Dir()).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(log, INVALID_HANDLE_VALUE);
  Queue("H1.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nData=while the log is held\r\n");
  EXPECT_TRUE(WaitFor([&] { return ReceivedTexts(data_.Dir()).size() == 1; }));
  EXPECT_TRUE(Queued("H1.REQ"));  // sent, marked, kept until its line is in the log
  CloseHandle(log);
  EXPECT_TRUE(WaitFor([&] { return !Queued("H1.REQ"); }));
  EXPECT_EQ(LogLinesFor(data_.Dir(), "H1.REQ").size(), 1u);
  EXPECT_EQ(ReceivedTexts(data_.Dir()).size(), 1u);  // sent once

  // The web interface: a status page with its form, a message queued by a POST.
  std::string page = Get(webPort_, "/");
  EXPECT_NE(page.find("200 OK"), std::string::npos) << page;
  EXPECT_NE(page.find("name=\"PhoneNumber\""), std::string::npos);
  std::string body = "PhoneNumber=%2B15550100100&Text=Web+hello%21";
  std::string reply = HttpExchange(webPort_, "POST /send HTTP/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                             "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_NE(reply.find("Message Submitted: WEB"), std::string::npos) << reply;
  EXPECT_TRUE(WaitFor([&] { return ReceivedTexts(data_.Dir()).count("+15550100100: Web hello!") == 1; }));
  EXPECT_NE(Get(webPort_, "/?PhoneNumber=12-3&Text=x").find("400 Bad Request"), std::string::npos);

  // With a login required: only a user with web login and the right password.
  AddUser("alice", "pw1", true);
  AddUser("bob", "pw2", false);
  Set("WebAuth", "Yes");
  const struct {
    const char* login;  // base64 of user:password
    const char* status;
  } logins[] = {{"", "401"}, {"YWxpY2U6cHcx", "200"}, {"YWxpY2U6cHcy", "401"}, {"Ym9iOnB3Mg==", "401"},
                {"bm9ib2R5Og==", "401"}};
  for (const auto& l : logins) {
    std::string r = Get(webPort_, "/", l.login);
    EXPECT_EQ(r.substr(9, 3), l.status) << l.login;
  }
  EXPECT_NE(Get(webPort_, "/").find("WWW-Authenticate: Basic"), std::string::npos);
  // Garbage on the port does not stop the service.
  HttpExchange(webPort_, std::string("\x16\x03\x01\x00\xff\r\n\r\n", 9));
  EXPECT_NE(Get(webPort_, "/", "YWxpY2U6cHcx").find("200 OK"), std::string::npos);
}

TEST_F(Gateway, RefusedSendsAreRetriedThenGivenUpAndTheErrorFileFollowsTheModem) {
  std::string errorFile = data_.Dir() / "COM";
  // A port no simulator takes unasked, so that it is free again when the modem comes back.
  auto sim = std::make_unique<ModemSim>("--fail-sends always --fail-code 500 --com 50");
  ASSERT_TRUE(sim->Started()) << sim->Error();
  int com = sim->Number();
  Set("Modem1", sim->Port() + ":");
  errorFile += std::to_string(com) + "-.ERR";
  Queue("R1.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nData=refused\r\n");
  ASSERT_TRUE(StartGatewayService());
  // After the first attempt the request tells why it waits.
  EXPECT_TRUE(WaitFor([&] {
    static SmsFileInfo info;
    ParseSmsText(ReadFileText(data_.Dir() / "Q\\R1.REQ").c_str(), &info);
    return info.RetryCount == 1 && std::string(info.LastErrorInfo) == "Modem error: +CMS ERROR: 500";
  }));
  EXPECT_TRUE(WaitFor([&] { return !Queued("R1.REQ"); }));
  std::vector<std::string> lines = LogLinesFor(data_.Dir(), "R1.REQ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Result(lines[0]), "ERROR -- Modem error: +CMS ERROR: 500");
  EXPECT_TRUE(PathExists(data_.Dir() / "SMSFAILED\\R1.REQ"));
  EXPECT_EQ(Today(data_.Dir(), "SMSRETRY"), 1u);
  EXPECT_EQ(Today(data_.Dir(), "SMSFAILED"), 1u);
  EXPECT_EQ(ReadFileText(errorFile), "");

  // The modem goes away: the error file says so; it comes back: emptied.
  sim->Stop();
  EXPECT_TRUE(WaitFor([&] { return !ReadFileText(errorFile).empty(); })) << errorFile;
  Queue("R2.REQ", "[SMS]\r\nPhoneNumber=+15550100100\r\nData=after the modem came back\r\n");
  sim = std::make_unique<ModemSim>("--com " + std::to_string(com));
  ASSERT_TRUE(sim->Started()) << sim->Error();
  EXPECT_TRUE(WaitFor([&] { return PathExists(errorFile) && ReadFileText(errorFile).empty(); }));
  EXPECT_TRUE(WaitFor([&] { return !Queued("R2.REQ"); }));
  EXPECT_EQ(Result(LogLinesFor(data_.Dir(), "R2.REQ").at(0)).rfind("OK", 0), 0u);
}

}  // namespace
