// The client against a real NTP server: a private chronyd on loopback,
// started and stopped by this test through scripts/chronyd-test.sh.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "clock_sync/clock_synchroniser.h"
#include "clock_sync/time_sync_client.h"
#include "platform/memory/system_clock_memory.h"
#include "platform/system_clock.h"

namespace tw {
namespace {

std::string RepoRoot() {
  std::string file = __FILE__;  // .../tests/unit/clock_chronyd_test.cpp
  return file.substr(0, file.rfind("/tests/unit/"));
}

class ClockChronyd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Its state stays in the build folder, like everything else of a run.
    std::string dir = TW_NATIVE_BUILD_DIR "/chronyd-XXXXXX";
    if (!mkdtemp(dir.data())) return;
    s_dir = dir;
    const std::string cmd = RepoRoot() + "/scripts/chronyd-test.sh start " + s_dir;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return;
    char line[64] = {};
    if (fgets(line, sizeof line, p)) s_port = std::atoi(line);
    if (pclose(p) != 0) s_port = 0;
  }
  static void TearDownTestSuite() {
    if (s_dir.empty()) return;
    const std::string cmd =
        RepoRoot() + "/scripts/chronyd-test.sh stop " + s_dir + " && rm -rf " + s_dir;
    if (std::system(cmd.c_str()) != 0) ADD_FAILURE() << "chronyd did not stop";
  }
  void SetUp() override { ASSERT_NE(s_port, 0) << "chronyd did not start"; }

  static inline std::string s_dir;
  static inline int s_port = 0;
};

TEST_F(ClockChronyd, OffsetNearZeroAndDelaySmall) {
  CTimeSyncClient client(GetMachineClock());
  for (int i = 0; i < 5; ++i) {
    TimeQueryResult r;
    ASSERT_TRUE(client.QueryServer("127.0.0.1", &r, s_port)) << client.GetLastError();
    // Same machine, same clock: off by no more than half of whatever wait
    // the round trip had, and the round trip is never below zero.
    EXPECT_NEAR(r.dOffset, 0.0, r.dDelay / 2 + 0.001);
    EXPECT_GE(r.dDelay, 0.0);
    EXPECT_LT(r.dDelay, 0.5);
    EXPECT_EQ(r.nStratum, 3);
    EXPECT_EQ(r.nLeapIndicator, 0);
  }
}

TEST_F(ClockChronyd, ReportAgainstAFakeClockCorrectsIt) {
  CMemorySystemClock clock;
  clock.m_dSkew = 12.25;
  struct View : IClockSyncView {
    std::string LoadText(unsigned id) override { return id == kIdsOffset ? "%f" : ""; }
    std::string GetLog() override { return log; }
    void SetLog(const std::string& t) override { log = t; }
    std::string log;
  } view;
  SynchroniseClock({"127.0.0.1", "", s_port}, clock, view);
  EXPECT_NEAR(std::atof(view.log.c_str() + view.log.find('-')), -12.25, 0.02) << view.log;
  EXPECT_NEAR(clock.m_dSkew, 0.0, 0.02);
}

TEST_F(ClockChronyd, TheMachineClockIsNeverSetByTheNativeBuild) {
  CTimeSyncClient client(GetMachineClock());
  EXPECT_FALSE(client.SetSystemClock(CNetworkTimestamp::Now(GetMachineClock())));
}

}  // namespace
}  // namespace tw
