// The stop wait in real time: a gateway that never stops holds the program
// for 120 passes of 1000 ms, and no longer.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/configstore.h"
#include "programrun.h"
#include "service/services.h"
#include "servicetest.h"

TEST(RealTimeStopWait, EndsAfter120PassesOfOneSecond) {
  GatewayFixtureDir data("realwait");
  ASSERT_TRUE(InstallServices(true));
  ASSERT_TRUE(WaitForState("ZarqSMS", SERVICE_RUNNING, 15000));
  WriteSetting(g_SmsgwIni, "SMSGW", "IgnoreStopRequests", "Yes");
  StopWaitOutcome o = StopNeverCompleting({}, 200000);
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(o.run.boxes.empty());
  // The stop itself, then one per pass; the first two may fall within one
  // poll of the test on a loaded machine.
  EXPECT_GE(o.stopRequests, 120);
  EXPECT_LE(o.stopRequests, 1 + 120);
  EXPECT_GE(o.run.ms, 120000u);
  EXPECT_LT(o.run.ms, 160000u);
  EXPECT_EQ(QueryFacts("ZarqSMS").state, DWORD(SERVICE_RUNNING));
  WriteSetting(g_SmsgwIni, "SMSGW", "IgnoreStopRequests", "");
}
