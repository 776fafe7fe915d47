#include "clock_sync/clock_synchroniser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "clock_sync/message_format.h"
#include "clock_sync/time_servers.h"
#include "clock_sync/time_sync_client.h"
#include "platform/memory/system_clock_memory.h"
#include "unit/clock_test_server.h"

namespace tw {
namespace {

using test::CScriptedTimeServer;
using test::ReplyScript;
using ::testing::ContainsRegex;
using ::testing::MatchesRegex;

// The page: the report texts of the string table, a log box, Winsock.
class CFakeView : public IClockSyncView {
 public:
  std::string LoadText(unsigned id) override {
    static const std::map<unsigned, std::string> kTexts = {
        {57716, "Winsock stack 装入失败\n"},
        {57717, "Winsock stack 版本不支持\n"},
        {57718, "成功的从网络时间服务器: %s 获得标准时间\r\n"},
        {57719, "你的计算机时间是：%02d/%02d/%04d, %02d:%02d:%02d.%03d\r\n"},
        {57720, "服务器时间是：%02d/%02d/%04d, %02d:%02d:%02d.%03d\r\n"},
        {57721, "网络传输延迟时间是 %f 秒"},
        {57722, "你的计算机时间偏差 %f 秒"},
        {57723, "时间同步成功！"},
        {57724, "设置本地时间失败"},
        {57725, "时间相差大于 1 小时, 不能同步时钟"},
        {57726, "从网络时间服务器:%s 返回时间失败, 错误号: %d\n"},
        {57870, "从网络时间服务器:%s 返回的时间不能使用: %s\n"},
        {57875, "服务器拒绝服务"},
    };
    auto it = kTexts.find(id);
    return it == kTexts.end() ? std::string() : it->second;
  }
  std::string GetLog() override { return m_log; }
  void SetLog(const std::string& text) override {
    m_log = text;
    ++m_nUpdates;
  }
  long StartNetwork(std::uint16_t* granted) override {
    if (m_nStartError) return m_nStartError;
    ++m_nStarted;
    *granted = m_nGranted;
    return 0;
  }
  void StopNetwork() override { --m_nStarted; }

  std::string m_log;
  int m_nUpdates = 0;
  long m_nStartError = 0;
  std::uint16_t m_nGranted = 0x0101;
  int m_nStarted = 0;
};

const char* kReport =
    "成功的从网络时间服务器: 127\\.0\\.0\\.1 获得标准时间\r\n"
    "你的计算机时间是：[0-3][0-9]/[01][0-9]/20[0-9][0-9], "
    "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}\r\n"
    "服务器时间是：[0-3][0-9]/[01][0-9]/20[0-9][0-9], "
    "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3}\r\n"
    "\r\n"
    "网络传输延迟时间是 -?[0-9]+\\.[0-9]{6} 秒\r\n"
    "你的计算机时间偏差 -?[0-9]+\\.[0-9]{6} 秒\r\n";

double ReportedOffset(const std::string& log) {
  const std::string key = "你的计算机时间偏差 ";
  const std::size_t at = log.find(key);
  return at == std::string::npos ? NAN : std::atof(log.c_str() + at + key.size());
}

TEST(ClockSynchroniser, SetsAClockThatIsBehindAndReportsSevenLines) {
  CScriptedTimeServer server(ReplyScript::kGood);
  ASSERT_TRUE(server.Ready());
  CMemorySystemClock clock;
  clock.m_dSkew = -2.0;
  CFakeView view;
  view.m_log = "an earlier report";
  SynchroniseClock({"127.0.0.1", "", server.Port()}, clock, view);
  EXPECT_THAT(view.m_log, MatchesRegex(std::string(kReport) + "时间同步成功！"));
  EXPECT_NEAR(ReportedOffset(view.m_log), 2.0, 0.05);
  EXPECT_EQ(view.m_nUpdates, 6);  // line by line
  ASSERT_EQ(clock.m_setCalls.size(), 1u);
  EXPECT_NEAR(clock.m_dSkew, 0.0, 0.05);
  EXPECT_FALSE(clock.m_bPrivilegeEnabled);  // enabled for the one call only
  EXPECT_EQ(clock.m_nOpenTokens, 0);
  EXPECT_EQ(view.m_nStarted, 0);
}

TEST(ClockSynchroniser, ShowsLocalTimesInTheReport) {
  CScriptedTimeServer server(ReplyScript::kGood, 90.0);
  ASSERT_TRUE(server.Ready());
  CMemorySystemClock clock;
  CFakeView view;
  // The computer time line is the zone's reading (+8 h), the server's runs 90 s ahead of it.
  // The hour may turn while the query runs: the line shows the reading before or after.
  auto line = [](const SystemTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "你的计算机时间是：%02d/%02d/%04d, %02d:", t.wDay, t.wMonth,
                  t.wYear, t.wHour);
    return std::string(text);
  };
  const std::string before = line(clock.GetLocalTime());
  SynchroniseClock({"127.0.0.1", "", server.Port()}, clock, view);
  const std::string after = line(clock.GetLocalTime());
  EXPECT_THAT(view.m_log, ::testing::AnyOf(::testing::HasSubstr(before), ::testing::HasSubstr(after)));
}

TEST(ClockSynchroniser, OffsetOfAnHourOrMoreLeavesTheClockAlone) {
  for (double skew : {-3600.5, 3601.0}) {
    CScriptedTimeServer server(ReplyScript::kGood);
    ASSERT_TRUE(server.Ready());
    CMemorySystemClock clock;
    clock.m_dSkew = skew;
    CFakeView view;
    SynchroniseClock({"127.0.0.1", "", server.Port()}, clock, view);
    EXPECT_THAT(view.m_log,
                MatchesRegex(std::string(kReport) + "时间相差大于 1 小时, 不能同步时钟"));
    EXPECT_TRUE(clock.m_setCalls.empty());
    EXPECT_EQ(clock.m_nAdjustCalls, 0);
  }
}

TEST(ClockSynchroniser, TheLimitItself) {
  EXPECT_TRUE(MayCorrectClock(0.0));
  EXPECT_TRUE(MayCorrectClock(3599.9));
  EXPECT_TRUE(MayCorrectClock(-3599.9));
  EXPECT_FALSE(MayCorrectClock(3600.0));
  EXPECT_FALSE(MayCorrectClock(-3600.0));
  EXPECT_FALSE(MayCorrectClock(std::nan("")));
}

TEST(ClockSynchroniser, PrivilegeOutcomes) {
  struct Case {
    const char* name;
    void (*setup)(CMemorySystemClock&);
    const char* verdict;
    std::size_t setCalls;
    int adjustCalls;
  };
  const Case cases[] = {
      {"holds the privilege", [](CMemorySystemClock&) {}, "时间同步成功！", 1, 2},
      {"lacks the privilege", [](CMemorySystemClock& c) { c.m_bHoldsPrivilege = false; },
       "设置本地时间失败", 1, 2},
      {"no security model", [](CMemorySystemClock& c) { c.m_bNoSecurity = true; }, "时间同步成功！",
       1, 0},
      {"token cannot be opened", [](CMemorySystemClock& c) { c.m_nOpenTokenError = 5; },
       "设置本地时间失败", 0, 0},
      {"privilege unknown", [](CMemorySystemClock& c) { c.m_nLookupError = 1313; },
       "设置本地时间失败", 0, 0},
      {"adjusting fails", [](CMemorySystemClock& c) { c.m_nAdjustError = 6; }, "设置本地时间失败",
       0, 2},
  };
  for (const auto& c : cases) {
    CScriptedTimeServer server(ReplyScript::kGood);
    ASSERT_TRUE(server.Ready());
    CMemorySystemClock clock;
    c.setup(clock);
    CFakeView view;
    SynchroniseClock({"127.0.0.1", "", server.Port()}, clock, view);
    EXPECT_THAT(view.m_log, MatchesRegex(std::string(kReport) + c.verdict)) << c.name;
    EXPECT_EQ(clock.m_setCalls.size(), c.setCalls) << c.name;
    EXPECT_EQ(clock.m_nAdjustCalls, c.adjustCalls) << c.name;
    EXPECT_FALSE(clock.m_bPrivilegeEnabled) << c.name;
    EXPECT_EQ(clock.m_nOpenTokens, 0) << c.name;
  }
}

TEST(ClockSynchroniser, FailuresReplaceTheLogWithOneLine) {
  CScriptedTimeServer kissOfDeath(ReplyScript::kStratum0);
  ASSERT_TRUE(kissOfDeath.Ready());
  struct Case {
    TimeServer server;
    long startError;
    std::uint16_t granted;
    std::string log;
  };
  const Case cases[] = {
      {{"no..such..host", "", 123},
       0,
       0x0101,
       "从网络时间服务器:no..such..host 返回时间失败, 错误号: 11001\n"},
      {{"127.0.0.1", "", kissOfDeath.Port()},
       0,
       0x0101,
       "从网络时间服务器:127.0.0.1 返回的时间不能使用: 服务器拒绝服务\n"},
      {{"127.0.0.1", "", kissOfDeath.Port()}, 10091, 0x0101, "Winsock stack 装入失败\n"},
      {{"127.0.0.1", "", kissOfDeath.Port()}, 0, 0x0202, "Winsock stack 版本不支持\n"},
  };
  for (const auto& c : cases) {
    CMemorySystemClock clock;
    CFakeView view;
    view.m_log = "an earlier report\r\n";
    view.m_nStartError = c.startError;
    view.m_nGranted = c.granted;
    SynchroniseClock(c.server, clock, view);
    EXPECT_EQ(view.m_log, c.log);
    EXPECT_EQ(view.m_nUpdates, 1);
    EXPECT_EQ(view.m_nStarted, 0);  // stopped again whenever it started
    EXPECT_TRUE(clock.m_setCalls.empty());
  }
}

TEST(ClockFormat, FormatsWhatTheTextsAskFor) {
  struct Case {
    const char* format;
    std::vector<FormatArg> args;
    const char* expected;
  };
  const Case cases[] = {
      {"%02d/%02d/%04d, %03d", {7LL, 12LL, 2026LL, 5LL}, "07/12/2026, 005"},
      {"%f 秒", {0.046}, "0.046000 秒"},
      {"%f", {-3600.0}, "-3600.000000"},
      {"[%s] %d%%", {std::string("host"), 11001LL}, "[host] 11001%"},
      {"%5s|%-5s|", {std::string("ab"), std::string("cd")}, "   ab|cd   |"},
      {"%s %s %s", {std::string("only one")}, "only one  "},  // missing arguments print nothing
      {"%d %s", {std::string("text"), 5LL}, " "},             // a wrong kind prints nothing
      {"%x %n %", {1LL}, "%x %n %"},                          // unknown conversions stay text
      {"%.2f", {2.5}, "2.50"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatText(c.format, c.args), c.expected) << c.format;
}

TEST(ClockServers, ShippedListAndTestList) {
  const auto shipped = DefaultTimeServers();
  ASSERT_EQ(shipped.size(), 4u);
  for (std::size_t i = 0; i < shipped.size(); ++i) {
    EXPECT_EQ(shipped[i].port, 123);
    EXPECT_FALSE(shipped[i].host.empty());
    EXPECT_EQ(shipped[i].descriptionId, 57857 + i);  // described in the interface language
  }

  const auto list = ParseTimeServerList(
      "127.0.0.1:40123=local chronyd;no..such..host=missing;;"
      ":5=no host;h:0=bad port;h:x=bad port;plain");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].host, "127.0.0.1");
  EXPECT_EQ(list[0].port, 40123);
  EXPECT_EQ(list[0].description, "local chronyd");
  EXPECT_EQ(list[1].host, "no..such..host");
  EXPECT_EQ(list[1].port, 123);
  EXPECT_EQ(list[2].host, "plain");
  EXPECT_EQ(list[2].description, "");
  EXPECT_EQ(list[0].descriptionId, 0u);
}

}  // namespace
}  // namespace tw
