// The time client on Winsock under Wine: against the private chronyd that
// ctest starts around this program (their ports in the files named by
// TW_CLOCK_CHRONYD_PORT_FILE and TW_CLOCK_CHRONYD_SKEWED_PORT_FILE), and
// against scripted replies.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "clock_sync/clock_synchroniser.h"
#include "clock_sync/time_sync_client.h"
#include "platform/socket.h"
#include "platform/system_clock.h"
#include "unit/clock_test_checks.h"

namespace tw {
namespace {

using test::ChronydPort;
using test::OneQuery;
using test::ReplyScript;

class ClockWinsock : public ::testing::Test {
 protected:
  void SetUp() override {
    std::uint16_t granted = 0;
    ASSERT_EQ(SocketStartup(0x0101, &granted), 0);
    EXPECT_EQ(granted, 0x0101);
    m_bStarted = true;
  }
  void TearDown() override {
    if (m_bStarted) SocketCleanup();
  }
  bool m_bStarted = false;
};

TEST_F(ClockWinsock, RealServerOnLoopback) {
  const int port = ChronydPort();
  if (port < 0) GTEST_SKIP() << "run through ctest, which starts chronyd";
  ASSERT_GT(port, 0) << "chronyd's port file is missing";
  EXPECT_EQ(test::QueryTheLocalChronyd(port).size(), 5u);
}

// Whether this process (Wine runs it as a Linux process) may set the host's
// clock: bit 25 (CAP_SYS_TIME) of its bounding set, read from its own
// /proc entry through Wine's path to the Unix file system. -1 when unreadable.
int HoldsClockCapability() {
  FILE* f = std::fopen("\\\\?\\unix\\proc\\self\\status", "r");
  if (!f) return -1;
  int holds = -1;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long mask = 0;
    if (std::sscanf(line, "CapBnd: %llx", &mask) == 1) holds = (mask >> 25) & 1;
  }
  std::fclose(f);
  return holds;
}

TEST_F(ClockWinsock, ASkewedServerCannotSetTheClockWithoutTheCapability) {
  const int port = ChronydPort("TW_CLOCK_CHRONYD_SKEWED_PORT_FILE");
  const int plainPort = ChronydPort("TW_CLOCK_CHRONYD_PORT_FILE");
  if (port < 0 || plainPort < 0) GTEST_SKIP() << "run through ctest, which starts chronyd";
  ASSERT_GT(port, 0);
  ASSERT_GT(plainPort, 0);
  // Wine refuses a real change of the clock by itself; what keeps the host
  // clock safe should Wine ever do it is the capability the harness drops.
  ASSERT_EQ(HoldsClockCapability(), 0) << "the test runs with the power to set the host clock";
  // The whole handler on the real clock: the server runs 30 s ahead, Wine
  // runs without the capability to set the host clock, so the report ends
  // in 57724 and the clock still agrees with the plain server.
  struct View : IClockSyncView {
    std::string LoadText(unsigned id) override {
      return id == kIdsOffset ? "%f" : std::to_string(id);
    }
    std::string GetLog() override { return log; }
    void SetLog(const std::string& t) override { log = t; }
    std::string log;
  } view;
  SynchroniseClock({"127.0.0.1", "", port}, GetMachineClock(), view);
  EXPECT_EQ(view.log.substr(0, 5), "57718");
  EXPECT_EQ(view.log.substr(view.log.size() - 7), "\r\n57724");
  // "57718577195772057721\r\n<offset>\r\n57724"
  const std::size_t at = view.log.find("57721\r\n");
  ASSERT_NE(at, std::string::npos) << view.log;
  EXPECT_NEAR(std::atof(view.log.c_str() + at + 7), 30.0, 0.05) << view.log;

  CTimeSyncClient client(GetMachineClock());
  TimeQueryResult r;
  ASSERT_TRUE(client.QueryServer("127.0.0.1", &r, plainPort)) << client.GetLastError();
  EXPECT_NEAR(r.dOffset, 0.0, r.dDelay / 2 + 0.003);
}

TEST_F(ClockWinsock, ScriptedReplies) {
  struct Case {
    ReplyScript script;
    long error;
  };
  const Case cases[] = {
      {ReplyScript::kGood, 0},
      {ReplyScript::kLong, 0},
      {ReplyScript::kWrongOriginate, kSntpErrorWrongOriginate},
      {ReplyScript::kStratum0, kSntpErrorKissOfDeath},
      {ReplyScript::kLeap3, kSntpErrorUnsynchronised},
      {ReplyScript::kMode3, kSntpErrorWrongMode},
      {ReplyScript::kShort20, kSntpErrorShortReply},
  };
  for (const auto& c : cases) {
    const OneQuery q = test::QueryScripted(c.script, 30.0);
    EXPECT_EQ(q.answered, c.error == 0) << static_cast<int>(c.script);
    EXPECT_EQ(q.error, c.error) << static_cast<int>(c.script);
    if (c.error == 0) {
      EXPECT_NEAR(q.reply.dOffset, 30.0, 0.05);
    }
  }
}

TEST_F(ClockWinsock, UnknownHost) { test::ExpectAnUnknownHostFails(); }

TEST_F(ClockWinsock, NoReplyTimesOut) { test::ExpectASilentServerTimesOut(8.0); }

}  // namespace
}  // namespace tw
