// What the clock tests of both builds and the clock page's end-to-end test
// ask the same way: one query with a new client, the answers of the private
// chronyd on loopback, the port ctest leaves for the Windows programs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "clock_sync/time_sync_client.h"
#include "platform/memory/system_clock_memory.h"
#include "platform/system_clock.h"
#include "unit/clock_test_server.h"

namespace tw::test {

// The port of a private chronyd from the file the variable names: -1 when
// the variable is not set (not run by ctest), 0 when its file is missing.
inline int ChronydPort(const char* variable = "TW_CLOCK_CHRONYD_PORT_FILE") {
  const char* file = std::getenv(variable);
  if (!file || !*file) return -1;
  int port = 0;
  if (FILE* f = std::fopen(file, "r")) {
    if (std::fscanf(f, "%d", &port) != 1) port = 0;
    std::fclose(f);
  }
  return port;
}

struct OneQuery {
  bool answered = false;
  long error = -1;
  TimeQueryResult reply;
  double seconds = 0;  // how long the query took
  int requests = 0;    // what a scripted server received
};

// One query of host:port by a new client on a memory clock.
inline OneQuery QueryOnce(const char* host, int port) {
  CMemorySystemClock clock;
  CTimeSyncClient client(clock);
  OneQuery q;
  const auto start = std::chrono::steady_clock::now();
  q.answered = client.QueryServer(host, &q.reply, port);
  q.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  q.error = client.GetLastError();
  return q;
}

// One query of a scripted server whose clock runs offsetSeconds ahead.
inline OneQuery QueryScripted(ReplyScript script, double offsetSeconds = 0) {
  CScriptedTimeServer server(script, offsetSeconds);
  if (!server.Ready()) {
    ADD_FAILURE() << "the scripted server has no socket";
    return {};
  }
  OneQuery q = QueryOnce("127.0.0.1", server.Port());
  q.requests = server.Requests();
  return q;
}

// Two dots in a row make a name no resolver asks a server about.
inline void ExpectAnUnknownHostFails() {
  const OneQuery q = QueryOnce("no..such..host", 123);
  EXPECT_FALSE(q.answered);
  EXPECT_EQ(q.error, kWsaHostNotFound);
}

// A server that never answers: Winsock's time-out after five seconds.
inline void ExpectASilentServerTimesOut(double mostSeconds) {
  const OneQuery q = QueryScripted(ReplyScript::kSilent);
  EXPECT_FALSE(q.answered);
  EXPECT_EQ(q.error, kWsaETimedOut);
  EXPECT_GE(q.seconds, 4.9);
  EXPECT_LT(q.seconds, mostSeconds);
}

// Five queries of the private chronyd with the machine's clock: the same
// machine and clock, so each is off by no more than half its round trip,
// which is never below zero. Answers the replies.
inline std::vector<TimeQueryResult> QueryTheLocalChronyd(int port) {
  std::vector<TimeQueryResult> replies;
  CTimeSyncClient client(GetMachineClock());
  for (int i = 0; i < 5; ++i) {
    TimeQueryResult r;
    if (!client.QueryServer("127.0.0.1", &r, port)) {
      ADD_FAILURE() << client.GetLastError();
      break;
    }
    EXPECT_NEAR(r.dOffset, 0.0, r.dDelay / 2 + 0.001);
    EXPECT_GE(r.dDelay, 0.0);
    EXPECT_LT(r.dDelay, 0.5);
    EXPECT_EQ(r.nStratum, 3);
    replies.push_back(r);
  }
  return replies;
}

}  // namespace tw::test
