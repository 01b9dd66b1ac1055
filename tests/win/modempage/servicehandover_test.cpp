// The real gateway service ZARQGATESVC.EXE holds its configured modem's port
// while it runs, lends it through ModemAllocate of the real ZARQLINK.DLL and
// takes it back on ModemRelease; one that cannot let go answers 0.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "app/configstore.h"
#include "gateway/linkbinding.h"
#include "loopback.h"
#include "modemregistry.h"
#include "modemsimdriver.h"
#include "servicetest.h"

namespace {

// How many Linux processes hold the COM port's pseudo-terminal open, read on
// the Linux side (Wine lets a second CreateFile of a serial port succeed, so
// an exclusive hold cannot be seen from here); -1 when that failed.
int PortHolders(int comNumber) {
  static LONG counter = 0;
  char base[160];
  snprintf(base, sizeof base, "/tmp/zarq-holders-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
  std::string script = std::string(base) + ".sh", out = std::string(base) + ".out";
  WriteFileText(WindowsPathOf(script),
                "pts=$(readlink \"$WINEPREFIX/dosdevices/com$1\") || exit 1\n"
                "find /proc/[0-9]*/fd -lname \"$pts\" 2>/dev/null | cut -d/ -f3 | sort -u | wc -l > \"$2.tmp\"\n"
                "mv \"$2.tmp\" \"$2\"\n");
  if (!RunLinuxCommand("/bin/sh " + script + " " + std::to_string(comNumber) + " " + out)) return -1;
  std::string text;
  for (int i = 0; i < 100 && text.empty(); ++i) {
    Sleep(50);
    if (PathExists(WindowsPathOf(out))) text = ReadFileText(WindowsPathOf(out));
  }
  DeleteFileA(WindowsPathOf(script).c_str());
  DeleteFileA(WindowsPathOf(out).c_str());
  return text.empty() ? -1 : atoi(text.c_str());
}

// Waits until `holders` processes hold the port; with `orMore`, at least that
// many (a service that talks to its modem holds it through the wineserver too).
bool WaitHolders(int comNumber, int holders, DWORD ms, bool orMore = false) {
  DWORD start = GetTickCount();
  for (;;) {
    int now = PortHolders(comNumber);
    if (now == holders || (orMore && now > holders)) return true;
    if (GetTickCount() - start >= ms) return false;
    Sleep(100);
  }
}

struct HandoverCase {
  bool refuses;      // RefuseModemRequests=Yes: busy beyond the wait limit
  bool lent;         // ModemAllocate gives a lease
};

TEST(ServiceHandover, ServiceLendsItsModemAndTakesItBackOrRefuses) {
  const HandoverCase cases[] = {{false, true}, {true, false}};
  const LinkLibrary* link = BindLinkLibrary();
  ASSERT_NE(link, nullptr);
  UnregisterAllModems();
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const HandoverCase& c = cases[i];
    GatewayFixtureDir data("handover");
    ModemSim sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    const int alone = PortHolders(sim.Number());  // the simulator itself
    ASSERT_GT(alone, 0);
    RegisteredModem modem({"Handover Modem", sim.Port()});
    std::string ini = data.Ini("SMSGW.INI");
    WriteSetting(ini.c_str(), "SMSGW", "Modem1", "Handover Modem");
    WriteSetting(ini.c_str(), "SMSGW", "WebPort", std::to_string(FreeTcpPort()).c_str());
    if (c.refuses) WriteSetting(ini.c_str(), "SMSGW", "RefuseModemRequests", "Yes");
    ASSERT_TRUE(StartGatewayService()) << "case " << i;
    EXPECT_TRUE(WaitHolders(sim.Number(), alone + 1, 10000, true)) << "case " << i << ": the service does not hold the port";

    unsigned scratch = 0;
    MODEMLEASE lease = link->ModemAllocate("Handover Modem", 60, &scratch);
    EXPECT_EQ(lease != nullptr, c.lent) << "case " << i;
    if (c.lent) {
      EXPECT_EQ(PortHolders(sim.Number()), alone) << "case " << i;
    } else {
      EXPECT_GT(PortHolders(sim.Number()), alone) << "case " << i;
    }
    if (lease) {
      link->ModemRelease(lease);
      EXPECT_TRUE(WaitHolders(sim.Number(), alone + 1, 10000, true)) << "case " << i << ": the service did not take it back";
    }
    EXPECT_TRUE(ForceRemoveService("ZarqSMS")) << "case " << i;
    EXPECT_TRUE(WaitHolders(sim.Number(), alone, 10000)) << "case " << i << ": the stopped service keeps the port";
  }
}

}  // namespace
