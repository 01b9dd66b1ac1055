// ZarqMMSC's message work against the practice operator MMSC: a queued test
// MMS goes out and comes back as a received MMS; a refusing or busy MMSC
// leaves retry keys and then a logged error; an unreachable one sets the
// route error file until it answers again; ReceiveMMS off drops notifications.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/daycounter.h"
#include "core/smsfile.h"
#include "loopback.h"
#include "mmscdriver.h"
#include "mmscwork.h"
#include "testenv.h"

namespace {

std::string BinDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *strrchr(path, '\\') = '\0';
  return std::string(path) + "\\";
}

std::string LinuxPathOf(const std::string& windowsPath) {
  typedef char*(CDECL * ToUnix)(const WCHAR*);
  auto toUnix = reinterpret_cast<ToUnix>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name"));
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH);
  char* unix = toUnix ? toUnix(wide) : nullptr;
  std::string out = unix ? unix : "";
  if (unix) HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms = 30000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(100))
    if (condition()) return true;
  return condition();
}

std::string Profile(const char* section, const char* key, const std::string& ini) {
  char value[1024];
  GetPrivateProfileStringA(section, key, "", value, sizeof value, ini.c_str());
  return value;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (size_t comma; (comma = line.find(',', pos)) != std::string::npos; pos = comma + 1)
    out.push_back(line.substr(pos, comma - pos));
  out.push_back(line.substr(pos));
  return out;
}

// The lines of today's MMSC log, CR LF removed.
std::vector<std::string> LogLines(const ScratchDir& dir) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char name[32];
  snprintf(name, sizeof name, "MMSC-%04u%02u%02u.LOG", t.wYear, t.wMonth, t.wDay);
  std::string text = PathExists(dir / name) ? ReadFileText(dir / name) : "";
  std::vector<std::string> lines;
  size_t pos = 0;
  for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
    lines.push_back(text.substr(pos, end - pos));
  return lines;
}

uint32_t Today(const ScratchDir& dir, const char* counter) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char file[64];
  CounterFileName(counter, t.wYear, file, sizeof file);
  if (!PathExists(dir / file)) return 0;
  std::string bytes = ReadFileText(dir / file);
  return CounterValue(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      CounterDayOfYear(t.wYear, t.wMonth, t.wDay));
}

// A data directory with the outbound account zarqlocal pointing at `url` and
// the MMSC's work running on a thread of its own.
class MmscRig {
 public:
  explicit MmscRig(const std::string& url, const char* receive = "Yes") {
    StartWinsock();
    UseDataDirectory(dir_);
    ini_ = dir_ / "MMSC.INI";
    WritePrivateProfileStringA("MMSC", "RetryInterval", "1", ini_.c_str());
    WritePrivateProfileStringA("MMSC", "MaxRetries", "2", ini_.c_str());
    WritePrivateProfileStringA("MMSC", "HttpTimeout", "5", ini_.c_str());
    std::string sms = dir_ / "SMSGW.INI";
    WritePrivateProfileStringA("SMSGW", "Modem1", "COM9:", sms.c_str());
    WritePrivateProfileStringA("Modem - COM9:", "ReceiveMMS", receive, sms.c_str());
    // The 2-Way page's processing of received MMS, off: they are still stored.
    WritePrivateProfileStringA("SMSGW", "ReceiveMMS", "No", sms.c_str());
    CreateDirectoryA((dir_ / "VASPOUT").c_str(), nullptr);
    CreateDirectoryA((dir_ / "VASPOUT\\zarqlocal").c_str(), nullptr);
    SetServer(url);
    CreateDirectoryA((dir_ / "VASPQ").c_str(), nullptr);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Work, this, 0, nullptr);
  }
  ~MmscRig() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
    CloseHandle(stop_);
  }
  void SetServer(const std::string& url) {
    std::string vasp = dir_ / "VASPOUT\\zarqlocal\\VASP.INI";
    WritePrivateProfileStringA("VASP", "Protocol", "MM1", vasp.c_str());
    WritePrivateProfileStringA("VASP", "Server", url.c_str(), vasp.c_str());
  }
  // The control file first, then the template, as the Test Message page writes them.
  void Queue(const std::string& name, const std::string& number) {
    WriteFileText(dir_ / ("VASPQ\\" + name + ".INI"), "[Recipients]\r\nRecip1=" + number + "/TYPE=VASP:zarqlocal\r\n");
    ASSERT_TRUE(CopyFileA((BinDirectory() + "MMSTEST.MMS").c_str(), (dir_ / ("VASPQ\\" + name + ".MMS")).c_str(), FALSE));
  }
  const ScratchDir& Dir() const { return dir_; }
  std::string PushDir() const { return LinuxPathOf(dir_ / "MMSPUSH"); }

 private:
  static DWORD WINAPI Work(void* self) {
    auto* rig = static_cast<MmscRig*>(self);
    mmsc::Run(rig->stop_, rig->ini_.c_str());
    return 0;
  }
  ScratchDir dir_{"mmsc"};
  std::string ini_;
  HANDLE stop_, thread_;
};

}  // namespace

TEST(Mmsc, TestMessageGoesOutAndComesBackAsAReceivedMms) {
  // The push directory is known only once the rig exists; the MMSC is told it.
  MmscRig rig("");
  MmscSim operatorMmsc("--push-dir " + rig.PushDir());
  ASSERT_TRUE(operatorMmsc.Started()) << operatorMmsc.Error();
  rig.SetServer(operatorMmsc.Url());
  const ScratchDir& d = rig.Dir();
  WritePrivateProfileStringA("MMSC", "Debug", "Yes", (d / "MMSC.INI").c_str());
  rig.Queue("TEST03A7", "+15550100100");

  ASSERT_TRUE(WaitFor([&] { return !PathExists(d / "VASPQ\\TEST03A7.MMS"); })) << "the message was not taken";
  EXPECT_FALSE(PathExists(d / "VASPQ\\TEST03A7.INI"));
  // The received copy may already be logged after it: find the line by its direction.
  std::vector<std::string> log = LogLines(d);
  ASSERT_FALSE(log.empty());
  std::vector<std::string> f = Fields(log[0]);
  ASSERT_GE(f.size(), 7u) << log[0];
  EXPECT_EQ(f[1], "OUT");
  EXPECT_EQ(f[5].substr(0, 2), "OK") << log[0];
  EXPECT_EQ(f[6], "TEST03A7.MMS");
  EXPECT_EQ(Today(d, "MMSOUT-MMSC"), 1u);
  EXPECT_EQ(Today(d, "MMSIN-USER"), 1u);
  std::vector<std::string> sent = operatorMmsc.EventsWith("\"send-req\"");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NE(sent[0].find("\"to\": [\"+15550100100/TYPE=PLMN\"]"), std::string::npos) << sent[0];

  // The operator announced it to the modem's number; the MMSC fetched and stored it.
  std::string header;
  ASSERT_TRUE(WaitFor([&] {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((d / "MMS-IN\\*.HDR").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    header = found.cFileName;
    FindClose(h);
    return true;
  })) << "no received MMS";
  std::string text = ReadFileText(d / ("MMS-IN\\" + header));
  MmsHeaderInfo info;
  ParseMmsHeader(text.c_str(), &info);
  EXPECT_STREQ(info.From, "+15550100100");
  EXPECT_STREQ(info.To, "+15550100100");
  EXPECT_STREQ(info.Subject, "ZarqSMS Test Message");
  const char* cursor = text.c_str();
  MmsPartLocation part;
  std::vector<std::string> parts;
  std::string base = header.substr(0, header.size() - 4);
  while (NextMmsPartLocation(&cursor, &part)) {
    parts.push_back(std::string(part.Path) + ";" + part.ContentType);
    EXPECT_TRUE(PathExists(d / ("MMS-IN\\" + std::string(part.Path)))) << part.Path;
  }
  EXPECT_EQ(parts, (std::vector<std::string>{base + "\\zarq.smil;application/smil", base + "\\zarq.txt;text/plain",
                                             base + "\\zarq.gif;image/gif"}));
  EXPECT_EQ(ReadFileText(d / ("MMS-IN\\" + base + "\\zarq.txt")), "ZarqSMS Test Message");
  EXPECT_TRUE(WaitFor([&] { return Today(d, "MMSIN-MODEM") == 1; }));
  ASSERT_TRUE(WaitFor([&] { return LogLines(d).size() == 2; }));
  f = Fields(LogLines(d)[1]);
  EXPECT_EQ(f[1], "IN");
  EXPECT_EQ(f[5], "OK");
  EXPECT_EQ(f[6], header);
  EXPECT_TRUE(WaitFor([&] { return !operatorMmsc.EventsWith("\"notifyresp\"").empty(); }));
  EXPECT_TRUE(WaitFor([&] { return !PathExists(d / "MMSPUSH\\*.PUSH"); }));
  // The debug log, switched on for this run, follows the message both ways.
  std::string trace = ReadFileText(d / "MMSCDEBUG.LOG");
  EXPECT_NE(trace.find("POST " + operatorMmsc.Url()), std::string::npos) << trace;
  EXPECT_NE(trace.find("m-send-conf: Ok"), std::string::npos) << trace;
  EXPECT_NE(trace.find(" OUT TEST03A7.MMS: sent\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find(": stored as " + header + "\r\n"), std::string::npos) << trace;
}

TEST(Mmsc, RefusedOrBusyMessagesEndInTheLogWithTheError) {
  const struct {
    const char* fail;
    bool retried;
    const char* error;
  } cases[] = {{"busy", true, "Error-transient-failure"}, {"refused", false, "Error-permanent-service-denied"}};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    MmscSim operatorMmsc(std::string("--fail ") + cases[i].fail);
    ASSERT_TRUE(operatorMmsc.Started()) << operatorMmsc.Error();
    MmscRig rig(operatorMmsc.Url());
    const ScratchDir& d = rig.Dir();
    rig.Queue("TEST00AF", "+15550100200");
    std::string ini = d / "VASPQ\\TEST00AF.INI";
    if (cases[i].retried) {
      ASSERT_TRUE(WaitFor([&] { return Profile("Routing", "RetryCount", ini) == "1"; })) << "case " << i;
      EXPECT_NE(Profile("Routing", "LastErrorInfo", ini).find(cases[i].error), std::string::npos) << "case " << i;
    }
    ASSERT_TRUE(WaitFor([&] { return !PathExists(d / "VASPQ\\TEST00AF.MMS"); })) << "case " << i;
    std::vector<std::string> log = LogLines(d);
    ASSERT_EQ(log.size(), 1u) << "case " << i;
    std::vector<std::string> f = Fields(log[0]);
    EXPECT_EQ(f[5].substr(0, 7 + strlen(cases[i].error)), std::string("ERROR: ") + cases[i].error) << log[0];
    EXPECT_EQ(f[6], "TEST00AF.MMS") << "case " << i;
    EXPECT_EQ(operatorMmsc.EventsWith("\"send-req\"").size(), cases[i].retried ? 2u : 1u) << "case " << i;
    EXPECT_EQ(Today(d, "MMSOUT-MMSC"), 0u) << "case " << i;
    EXPECT_FALSE(PathExists(d / "MMSCDEBUG.LOG")) << "case " << i << ": no debug log unless it is switched on";
  }
}

TEST(Mmsc, UnreachableServerSetsTheRouteErrorUntilItAnswers) {
  MmscSim silent("--fail unreachable");
  ASSERT_TRUE(silent.Started()) << silent.Error();
  unsigned port = silent.Port();
  MmscRig rig(silent.Url());
  const ScratchDir& d = rig.Dir();
  WritePrivateProfileStringA("MMSC", "MaxRetries", "100", (d / "MMSC.INI").c_str());
  rig.Queue("TEST1234", "+15550100200");
  std::string errorFile = d / "MMSCROUTE--zarqlocal.ERR";
  ASSERT_TRUE(WaitFor([&] { return PathExists(errorFile) && !ReadFileText(errorFile).empty(); }));
  EXPECT_NE(ReadFileText(errorFile).find("connection"), std::string::npos) << ReadFileText(errorFile);
  EXPECT_TRUE(PathExists(d / "VASPQ\\TEST1234.MMS"));

  silent.Stop();
  MmscSim answering("", port);
  ASSERT_TRUE(answering.Started()) << answering.Error();
  ASSERT_TRUE(WaitFor([&] { return !PathExists(d / "VASPQ\\TEST1234.MMS"); }));
  EXPECT_EQ(ReadFileText(errorFile), "");
  std::vector<std::string> log = LogLines(d);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(Fields(log[0])[5], "OK");
}

TEST(Mmsc, NotificationsAreDroppedWhileReceivingIsOff) {
  MmscRig rig("http://127.0.0.1:9/mms", "No");
  const ScratchDir& d = rig.Dir();
  // A WAP push with an m-notification-ind, as the SMS gateway leaves it.
  static const char kNote[] = "\x01\x06\x03\xBE\xAF\x84\x8C\x82\x98T\0\x8D\x92\x83http://127.0.0.1:9/mms/1";
  std::string note(kNote, sizeof kNote);
  CreateDirectoryA((d / "MMSPUSH").c_str(), nullptr);
  WriteFileText(d / "MMSPUSH\\N1.PUSH", note);
  WriteFileText(d / "MMSPUSH\\N2.PUSH", "garbage");
  ASSERT_TRUE(WaitFor([&] { return LogLines(d).size() == 2; }));
  for (const std::string& line : LogLines(d)) {
    std::vector<std::string> f = Fields(line);
    EXPECT_EQ(f[1], "IN");
    EXPECT_EQ(f[5].substr(0, 6), "ERROR:") << line;
  }
  std::string both = LogLines(d)[0] + LogLines(d)[1];
  EXPECT_NE(both.find("receiving MMS is switched off"), std::string::npos) << both;
  EXPECT_NE(both.find("not a WAP push"), std::string::npos) << both;
  EXPECT_TRUE(WaitFor([&] { return !PathExists(d / "MMSPUSH\\*.PUSH"); }));
  EXPECT_FALSE(PathExists(d / "MMS-IN\\*.HDR"));
  EXPECT_EQ(Today(d, "MMSIN-MODEM"), 0u);
}
