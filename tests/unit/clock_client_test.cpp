#include <gtest/gtest.h>

#include "clock_sync/time_sync_client.h"
#include "platform/memory/system_clock_memory.h"
#include "unit/clock_test_checks.h"

namespace tw {
namespace {

using test::CScriptedTimeServer;
using test::OneQuery;
using test::QueryScripted;
using test::ReplyScript;

TEST(ClockClient, MeasuresTheOffsetOfAServerThatRunsAhead) {
  CScriptedTimeServer server(ReplyScript::kGood, 2.5);
  ASSERT_TRUE(server.Ready());
  CMemorySystemClock clock;
  clock.m_dSkew = -1.0;  // our clock a second behind the host's
  CTimeSyncClient client(clock);
  EXPECT_EQ(client.GetTimeout(), 5000u);
  TimeQueryResult r;
  ASSERT_TRUE(client.QueryServer("127.0.0.1", &r, server.Port())) << client.GetLastError();
  EXPECT_NEAR(r.dOffset, 3.5, r.dDelay / 2 + 0.003);
  EXPECT_GE(r.dDelay, -0.002);  // the client's clock has whole milliseconds only
  EXPECT_LT(r.dDelay, 0.5);
  EXPECT_EQ(r.nLeapIndicator, 0);
  EXPECT_EQ(r.nStratum, 2);
  // Both shown times are local (zone +8 h here) and the server time is the
  // computer time moved by the offset.
  EXPECT_NEAR(r.serverTime.SecondsSince(r.computerTime), r.dOffset, 1e-6);
  CNetworkTimestamp local;
  local.FromCalendar(clock.GetLocalTime());
  EXPECT_NEAR(local.SecondsSince(r.computerTime), 0.0, 0.05);
  EXPECT_TRUE(clock.m_setCalls.empty());
}

TEST(ClockClient, AReplyWithKeyAndDigestIsReadUpToItsHeader) {
  const OneQuery q = QueryScripted(ReplyScript::kLong);
  EXPECT_TRUE(q.answered) << q.error;
  EXPECT_NEAR(q.reply.dOffset, 0.0, q.reply.dDelay / 2 + 0.003);
}

TEST(ClockClient, RepliesThatMustNotSetTheClockAreRejected) {
  struct Case {
    ReplyScript script;
    long error;
  };
  const Case cases[] = {
      {ReplyScript::kWrongOriginate, kSntpErrorWrongOriginate},
      {ReplyScript::kStratum0, kSntpErrorKissOfDeath},
      {ReplyScript::kStratum16, kSntpErrorBadStratum},
      {ReplyScript::kLeap3, kSntpErrorUnsynchronised},
      {ReplyScript::kMode3, kSntpErrorWrongMode},
      {ReplyScript::kShort20, kSntpErrorShortReply},
      {ReplyScript::kZeroTransmit, kSntpErrorZeroTransmit},
  };
  for (const auto& c : cases) {
    const OneQuery q = QueryScripted(c.script, 1800);
    EXPECT_FALSE(q.answered) << static_cast<int>(c.script);
    EXPECT_EQ(q.error, c.error) << static_cast<int>(c.script);
    EXPECT_EQ(q.requests, 1);
  }
}

TEST(ClockClient, CheckReplyLooksAtTheHeaderOnly) {
  const CNetworkTimestamp sent(0xE9A1B2C3D4E5F607ull);
  std::uint8_t reply[68] = {0x24, 1};  // leap 0, version 4, mode 4, stratum 1
  std::uint32_t s, f;
  sent.ToNetwork(&s, &f);
  std::memcpy(reply + 24, &s, 4);
  std::memcpy(reply + 28, &f, 4);
  reply[40] = 0xE9;
  EXPECT_EQ(CheckReply(reply, 48, sent), 0);
  EXPECT_EQ(CheckReply(reply, 68, sent), 0);
  EXPECT_EQ(CheckReply(reply, 47, sent), kSntpErrorShortReply);
  reply[0] = 0x25;  // broadcast: no answer to a unicast query
  EXPECT_EQ(CheckReply(reply, 48, sent), kSntpErrorWrongMode);
  reply[0] = 0x66;  // leap 1 (a leap second today), symmetric passive mode 2
  EXPECT_EQ(CheckReply(reply, 48, sent), kSntpErrorWrongMode);
  reply[0] = 0x64;  // leap 1, server
  EXPECT_EQ(CheckReply(reply, 48, sent), 0);
  reply[1] = 15;
  EXPECT_EQ(CheckReply(reply, 48, sent), 0);
}

TEST(ClockClient, UnknownHostFailsWithWinsocksNumber) { test::ExpectAnUnknownHostFails(); }

TEST(ClockClient, NoReplyTimesOutAfterFiveSeconds) { test::ExpectASilentServerTimesOut(7.0); }

}  // namespace
}  // namespace tw
