// The service operations in this process against Wine's service manager and
// the stand-in gateway services.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "app/configstore.h"
#include "service/scmaccess.h"
#include "service/services.h"
#include "servicetest.h"

namespace {

struct Expected {
  const char* text;
  LPCSTR icon;  // IDI_ERROR, ... or nullptr for none
};

class ServiceOps : public ::testing::Test {
 protected:
  void TearDown() override { DenyServiceChangeAccess(false); }

  // Runs `operation` while answering its message boxes; the boxes seen.
  std::vector<SeenBox> WithBoxes(const std::function<void()>& operation, const std::vector<int>& answers = {}) {
    std::atomic<bool> finished{false};
    std::vector<SeenBox> seen;
    std::thread watcher([&] { seen = AnswerBoxes(answers, [&] { return finished.load(); }, 60000); });
    operation();
    finished = true;
    watcher.join();
    return seen;
  }

  void ExpectBoxes(const std::vector<SeenBox>& seen, const std::vector<Expected>& expected, const char* what) {
    ASSERT_EQ(seen.size(), expected.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(seen[i].text, expected[i].text) << what << ", box " << i;
      if (expected[i].icon) {
        EXPECT_TRUE(seen[i].iconShown) << what << ", box " << i;
        EXPECT_EQ(seen[i].icon, LoadIconA(nullptr, expected[i].icon)) << what << ", box " << i;
      } else {
        EXPECT_FALSE(seen[i].iconShown) << what << ", box " << i;
      }
    }
  }

  void InstallRunning() {
    ASSERT_TRUE(InstallServices(true));
    ASSERT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, 15000));
    ASSERT_TRUE(WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000));
  }

  GatewayFixtureDir data_{"svcops"};
};

}  // namespace

TEST_F(ServiceOps, InstallCreatesBothServicesStartedWithTheirConfiguration) {
  std::vector<SeenBox> boxes = WithBoxes([this] { InstallRunning(); });
  EXPECT_TRUE(boxes.empty());
  // The system gives the build directory's programs a short form.
  for (const char* exe : {"ZARQGATESVC.EXE", "ZARQRELAYSVC.EXE"})
    ASSERT_NE(ShortPath(BinDirectory() + exe), BinDirectory() + exe);
  ExpectConfigured("installed");
  EXPECT_TRUE(IsSmsServiceInstalled());
  EXPECT_TRUE(IsMmscServiceInstalled());
  EXPECT_TRUE(IsSmsServiceActive());
  EXPECT_TRUE(IsMmscServiceActive());

  // The firewall program was handed each gateway executable and its name.
  EXPECT_EQ(FirewallLog(data_.Ini("PORTS.LOG")), ExpectedFirewallLog(BinDirectory()));
}

TEST_F(ServiceOps, InstallOverExistingServicesRewritesTheirConfigurationAndStartsThem) {
  ASSERT_TRUE(CreateServiceByHand("ZarqSMS", "old name", BinDirectory() + "ZARQRELAYSVC.EXE"));
  ASSERT_TRUE(CreateServiceByHand("ZarqMMSC", "old name 2", BinDirectory() + "ZARQGATESVC.EXE"));
  InstallRunning();
  ServiceFacts sms = QueryFacts("ZarqSMS"), mmsc = QueryFacts("ZarqMMSC");
  EXPECT_EQ(sms.binaryPath, ShortPath(BinDirectory() + "ZARQGATESVC.EXE"));
  EXPECT_EQ(mmsc.binaryPath, ShortPath(BinDirectory() + "ZARQRELAYSVC.EXE"));
  EXPECT_EQ(sms.displayName, "Zarq SMS Gateway Lite Edition");
  EXPECT_EQ(mmsc.displayName, "Zarq MMS Gateway Lite Edition");
  EXPECT_EQ(sms.startType, DWORD(SERVICE_AUTO_START));
  EXPECT_EQ(mmsc.startType, DWORD(SERVICE_AUTO_START));
  EXPECT_EQ(sms.errorControl, DWORD(SERVICE_ERROR_NORMAL));
}

TEST_F(ServiceOps, StopStartAndRestartWaitForTheServices) {
  InstallRunning();
  DWORD firstPid = QueryFacts("ZarqSMS").processId;

  EXPECT_TRUE(WithBoxes([] { StopServices(true); }).empty());
  EXPECT_EQ(QueryFacts("ZarqSMS").state, DWORD(SERVICE_STOPPED));
  EXPECT_EQ(QueryFacts("ZarqMMSC").state, DWORD(SERVICE_STOPPED));
  EXPECT_FALSE(IsSmsServiceActive());

  EXPECT_TRUE(WithBoxes([] { StartServices(true); }).empty());
  EXPECT_TRUE(IsSmsServiceActive());  // waited for
  EXPECT_TRUE(WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000));
  DWORD secondPid = QueryFacts("ZarqSMS").processId;
  EXPECT_NE(secondPid, firstPid);

  // Starting services that already run shows nothing.
  EXPECT_TRUE(WithBoxes([] { StartServices(true); }).empty());

  DWORD start = GetTickCount();
  EXPECT_TRUE(WithBoxes([] { RestartServices(true); }).empty());
  EXPECT_GE(GetTickCount() - start, 2000u);  // the pause between stop and start
  EXPECT_TRUE(IsSmsServiceActive());
  EXPECT_NE(QueryFacts("ZarqSMS").processId, secondPid);
  EXPECT_TRUE(WaitForState("ZarqMMSC", SERVICE_RUNNING, 15000));
}

TEST_F(ServiceOps, StatusBlocksArePublishedAndTheStopRequestByteStopsTheSmsGateway) {
  StatusBlock block;
  EXPECT_FALSE(OpenStatusBlock(Gateway::Sms, &block));
  EXPECT_EQ(block.mapping, nullptr);
  EXPECT_EQ(block.view, nullptr);
  InstallRunning();
  ASSERT_TRUE(OpenStatusBlock(Gateway::Mmsc, &block));
  CloseStatusBlock(&block);
  EXPECT_EQ(block.view, nullptr);
  ASSERT_TRUE(OpenStatusBlock(Gateway::Sms, &block));
  block.view[kStopRequestByte] = 1;
  CloseStatusBlock(&block);
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_STOPPED, 10000));
  EXPECT_EQ(QueryFacts("ZarqMMSC").state, DWORD(SERVICE_RUNNING));
  EXPECT_FALSE(OpenStatusBlock(Gateway::Sms, &block));
}

TEST_F(ServiceOps, PortsTakenByAnotherProgramAreReportedInTheStatusBlocks) {
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  auto listenOn = [](unsigned short port, unsigned* bound) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 1) != 0) {
      closesocket(s);
      return INVALID_SOCKET;
    }
    int len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    *bound = ntohs(a.sin_port);
    return s;
  };
  unsigned web = 0, mm7 = 0, smpp = 0;
  SOCKET webHolder = listenOn(0, &web), mm7Holder = listenOn(0, &mm7);
  SOCKET free = listenOn(0, &smpp);
  closesocket(free);  // a port nobody holds
  ASSERT_NE(webHolder, INVALID_SOCKET);
  ASSERT_NE(mm7Holder, INVALID_SOCKET);
  WriteSetting(g_SmsgwIni, "SMSGW", "WebPort", std::to_string(web).c_str());
  WriteSetting(g_SmsgwIni, "SMSGW", "SMPPPort", std::to_string(smpp).c_str());
  WriteSetting(g_MmscIni, "MMSC", "WebPort", std::to_string(mm7).c_str());
  InstallRunning();

  StatusBlock sms, mmsc;
  ASSERT_TRUE(OpenStatusBlock(Gateway::Sms, &sms));
  ASSERT_TRUE(OpenStatusBlock(Gateway::Mmsc, &mmsc));
  EXPECT_EQ(sms.view[kWebPortConflictByte], 1);
  EXPECT_EQ(sms.view[kSmppPortConflictByte], 0);
  EXPECT_EQ(mmsc.view[kWebPortConflictByte], 1);
  EXPECT_EQ(mmsc.view[kSmppPortConflictByte], 0);

  // The gateway takes the web port once it is free.
  closesocket(webHolder);
  for (int i = 0; i < 100 && sms.view[kWebPortConflictByte]; ++i) Sleep(100);
  EXPECT_EQ(sms.view[kWebPortConflictByte], 0);
  unsigned again = 0;
  SOCKET s = listenOn(static_cast<unsigned short>(web), &again);
  EXPECT_EQ(s, INVALID_SOCKET);
  if (s != INVALID_SOCKET) closesocket(s);
  CloseStatusBlock(&sms);
  CloseStatusBlock(&mmsc);
  closesocket(mm7Holder);
  WSACleanup();
}

TEST_F(ServiceOps, RemoveStopsAndDeletesBoth) {
  InstallRunning();
  EXPECT_TRUE(WithBoxes([] { EXPECT_TRUE(RemoveServices(true)); }).empty());
  EXPECT_FALSE(QueryFacts("ZarqSMS").installed);
  EXPECT_FALSE(QueryFacts("ZarqMMSC").installed);
}

TEST_F(ServiceOps, RemoveWithoutTheSmsGatewayServiceSucceedsAndLeavesTheMmscAlone) {
  ASSERT_TRUE(CreateServiceByHand("ZarqMMSC", "x", BinDirectory() + "ZARQRELAYSVC.EXE"));
  EXPECT_TRUE(WithBoxes([] { EXPECT_TRUE(RemoveServices(false)); }).empty());
  EXPECT_TRUE(QueryFacts("ZarqMMSC").installed);
}

TEST_F(ServiceOps, StoppingWithOneServiceMissingStopsTheOtherWithoutWaiting) {
  ASSERT_TRUE(CreateServiceByHand("ZarqSMS", "x", BinDirectory() + "ZARQGATESVC.EXE"));
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE s = OpenServiceA(scm, "ZarqSMS", SERVICE_START);
  ASSERT_TRUE(StartServiceA(s, 0, nullptr));
  CloseServiceHandle(s);
  CloseServiceHandle(scm);
  ASSERT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, 15000));
  std::vector<SeenBox> seen = WithBoxes([] { StopServices(true); });
  ExpectBoxes(seen, {{kRightsForChange, IDI_ERROR}}, "stop");
  EXPECT_TRUE(WaitForState("ZarqSMS", SERVICE_STOPPED, 10000));
}

// Without administrator rights every operation gives up with its message;
// interactively it first offers elevation, which is declined here.
TEST_F(ServiceOps, WithoutRightsEachOperationShowsItsMessage) {
  InstallRunning();
  DWORD pid = QueryFacts("ZarqSMS").processId;
  DenyServiceChangeAccess(true);
  EXPECT_FALSE(HasAdminRights());
  EXPECT_TRUE(IsVistaOrLater());
  EXPECT_TRUE(IsSmsServiceActive());  // queries need no rights

  const Expected question = {kElevationQuestion, nullptr};
  struct Case {
    const char* what;
    std::function<bool()> operation;  // the operation's result, true when it has none
    std::vector<int> answers;
    std::vector<Expected> boxes;
    bool result;
  } cases[] = {
      {"stop", [] { StopServices(true); return true; }, {}, {{kRightsForChange, IDI_ERROR}}, true},
      {"start", [] { StartServices(true); return true; }, {}, {{kRightsForChange, IDI_ERROR}}, true},
      {"restart", [] { RestartServices(true); return true; }, {}, {{kRightsForChange, IDI_ERROR}}, true},
      {"install", [] { return InstallServices(true); }, {}, {{kRightsForInstall, nullptr}}, false},
      {"remove", [] { return RemoveServices(true); }, {}, {{kRightsForRemove, nullptr}}, false},
      {"stop, asked", [] { StopServices(false); return true; }, {IDNO}, {question, {kRightsForChange, IDI_ERROR}}, true},
      {"install, asked", [] { return InstallServices(false); }, {IDCANCEL}, {question, {kRightsForInstall, nullptr}},
       false},
      {"remove, asked", [] { return RemoveServices(false); }, {IDNO}, {question, {kRightsForRemove, nullptr}}, false},
  };
  for (auto& c : cases) {
    bool result = false;
    std::vector<SeenBox> seen = WithBoxes([&] { result = c.operation(); }, c.answers);
    EXPECT_EQ(result, c.result) << c.what;
    ExpectBoxes(seen, c.boxes, c.what);
    if (!seen.empty() && seen[0].text == kElevationQuestion) {
      EXPECT_EQ(seen[0].buttonIds, (std::vector<int>{IDYES, IDNO, IDCANCEL})) << c.what;
    }
  }
  EXPECT_EQ(QueryFacts("ZarqSMS").processId, pid);
  EXPECT_EQ(QueryFacts("ZarqSMS").state, DWORD(SERVICE_RUNNING));
  EXPECT_EQ(QueryFacts("ZarqMMSC").state, DWORD(SERVICE_RUNNING));
}
