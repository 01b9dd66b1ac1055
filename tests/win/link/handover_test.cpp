// Hand-over of the modem between the gateway service (handover::Server, as
// ZARQGATESVC.EXE runs it) and a program (ModemAllocate / ModemRelease of the
// real ZARQLINK.DLL).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "gateway/linkbinding.h"
#include "modemhandover.h"

namespace {

// A service thread that serves requests until stopped, recording what it did.
class FakeService {
 public:
  // `letGoMs`: how long closing the port takes; `canLetGo`: whether it can.
  FakeService(DWORD letGoMs, bool canLetGo) : letGoMs_(letGoMs), canLetGo_(canLetGo) {
    opened_ = server_.Open();
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (opened_) thread_ = std::thread([this] { Run(); });
  }
  ~FakeService() {
    SetEvent(stop_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(stop_);
  }
  bool Opened() const { return opened_; }
  std::atomic<int> letGo{0}, takenBack{0};
  std::atomic<DWORD> askedLimit{0};
  std::string askedModem;  // written before letGo counts up

 private:
  void Run() {
    HANDLE waits[2] = {stop_, server_.RequestEvent()};
    while (WaitForMultipleObjects(2, waits, FALSE, 500) != WAIT_OBJECT_0) {
      server_.Serve(
          [this](const std::string& modem, DWORD limit) {
            askedModem = modem;
            askedLimit = limit;
            Sleep(letGoMs_);
            ++letGo;
            return canLetGo_;
          },
          [this] { ++takenBack; }, stop_);
    }
  }
  handover::Server server_;
  DWORD letGoMs_;
  bool canLetGo_;
  bool opened_ = false;
  HANDLE stop_ = nullptr;
  std::thread thread_;
};

bool WaitFor(const std::atomic<int>& value, int target, DWORD ms) {
  for (DWORD waited = 0; value < target && waited < ms; waited += 20) Sleep(20);
  return value >= target;
}

std::string BinDir() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  *strrchr(path, '\\') = '\0';
  return path;
}

class Handover : public ::testing::Test {
 protected:
  void SetUp() override {
    link_ = BindLinkLibrary();
    ASSERT_NE(link_, nullptr);
  }
  const LinkLibrary* link_ = nullptr;
};

}  // namespace

TEST_F(Handover, WithoutAServiceTheModemIsFree) {
  unsigned detail = 99;
  MODEMLEASE lease = link_->ModemAllocate("GSM Modem", 60, &detail);
  ASSERT_NE(lease, nullptr);
  EXPECT_EQ(detail, unsigned(MODEM_ALLOC_NO_SERVICE));
  EXPECT_FALSE(link_->ModemRequested(""));
  link_->ModemRelease(lease);
}

TEST_F(Handover, ServiceLendsAndTakesBackOnRelease) {
  FakeService service(100, true);
  ASSERT_TRUE(service.Opened());
  unsigned detail = 99;
  MODEMLEASE lease = link_->ModemAllocate("GSM Modem", 60, &detail);
  ASSERT_NE(lease, nullptr);
  EXPECT_EQ(detail, unsigned(MODEM_ALLOC_LENT));
  EXPECT_EQ(service.letGo, 1);
  EXPECT_EQ(service.askedModem, "GSM Modem");
  EXPECT_EQ(service.askedLimit, 60000u);  // 60 is seconds

  // A second program meanwhile waits its limit and gives up.
  unsigned second = 99;
  EXPECT_EQ(link_->ModemAllocate("GSM Modem", 1, &second), nullptr);
  EXPECT_EQ(second, unsigned(MODEM_ALLOC_BUSY));
  EXPECT_EQ(service.takenBack, 0);  // not during that second while the program holds it

  link_->ModemRelease(lease);
  EXPECT_TRUE(WaitFor(service.takenBack, 1, 3000));

  // The block is free again: the next request is served.
  lease = link_->ModemAllocate("Other", 30000, &detail);
  ASSERT_NE(lease, nullptr);
  EXPECT_EQ(service.askedLimit, 30000u);  // large limits are milliseconds
  link_->ModemRelease(lease);
  EXPECT_TRUE(WaitFor(service.takenBack, 2, 3000));
}

TEST_F(Handover, ServiceThatCannotLetGoAnswersZero) {
  FakeService service(0, false);
  ASSERT_TRUE(service.Opened());
  unsigned detail = 99;
  DWORD start = GetTickCount();
  EXPECT_EQ(link_->ModemAllocate("GSM Modem", 30, &detail), nullptr);
  EXPECT_LT(GetTickCount() - start, 5000u);  // the refusal comes at once, not after the limit
  EXPECT_EQ(detail, unsigned(MODEM_ALLOC_REFUSED));
  EXPECT_EQ(service.letGo, 1);
  EXPECT_EQ(service.takenBack, 0);  // the port never left the service
}

TEST_F(Handover, LateLettingGoIsUndoneAfterTheProgramGaveUp) {
  FakeService service(3500, true);  // longer than 1 s and the client's grace
  ASSERT_TRUE(service.Opened());
  unsigned detail = 99;
  EXPECT_EQ(link_->ModemAllocate("GSM Modem", 1, &detail), nullptr);
  EXPECT_EQ(detail, unsigned(MODEM_ALLOC_TIMEOUT));
  EXPECT_TRUE(WaitFor(service.takenBack, 1, 5000));  // reopened the port it had closed
  // And the next program is served normally.
  MODEMLEASE lease = link_->ModemAllocate("GSM Modem", 10, &detail);
  EXPECT_NE(lease, nullptr);
  EXPECT_EQ(detail, unsigned(MODEM_ALLOC_LENT));
  link_->ModemRelease(lease);
}

TEST_F(Handover, RequestIsVisibleWhileTheServiceHasNotAnswered) {
  handover::Server server;  // open but not serving
  ASSERT_TRUE(server.Open());
  std::atomic<int> done{0};
  std::thread program([&] {
    unsigned detail = 99;
    EXPECT_EQ(link_->ModemAllocate("Modem A", 1, &detail), nullptr);
    EXPECT_EQ(detail, unsigned(MODEM_ALLOC_TIMEOUT));
    ++done;
  });
  // The request stands while the program waits out its second.
  for (DWORD start = GetTickCount(); !link_->ModemRequested("modem a") && !done && GetTickCount() - start < 5000;)
    Sleep(10);
  EXPECT_TRUE(link_->ModemRequested("modem a"));
  EXPECT_TRUE(link_->ModemRequested(nullptr));
  EXPECT_FALSE(link_->ModemRequested("Modem B"));
  std::string modem;
  DWORD limit = 0;
  EXPECT_TRUE(server.Pending(&modem, &limit));
  EXPECT_EQ(modem, "Modem A");
  EXPECT_EQ(limit, 1000u);
  program.join();
  EXPECT_FALSE(server.Pending(&modem, &limit));  // the program gave up
  EXPECT_FALSE(server.Lend());
  EXPECT_FALSE(link_->ModemRequested(nullptr));
}

TEST_F(Handover, ProgramThatEndsHoldingTheModemGivesItBack) {
  FakeService service(0, true);
  ASSERT_TRUE(service.Opened());
  std::string bin = BinDir();
  std::string exe = bin + "\\linkcases\\linkprobe.exe";
  std::string line = "\"" + exe + "\" hold \"GSM Modem\"";
  STARTUPINFOA si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  // Run from the directory of the real library, which it finds there.
  ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, bin.c_str(), &si, &pi));
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(code, DWORD(MODEM_ALLOC_LENT));
  EXPECT_TRUE(WaitFor(service.takenBack, 1, 5000));
}

TEST_F(Handover, SecondServiceCannotServeTheSameBlock) {
  handover::Server first, second;
  ASSERT_TRUE(first.Open());
  EXPECT_FALSE(second.Open());
  first.Close();
  EXPECT_TRUE(second.Open());  // a later service takes over
}
