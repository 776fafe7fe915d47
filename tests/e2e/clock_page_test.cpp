// The clock page end to end under Wine: the page alone in a window
// (clock_page_host.exe, built with the test hooks) with its server list
// pointed at the private chronyd servers that ctest starts around this
// program; the synchronise button pressed as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/registry_seed.h"
#include "unit/clock_test_checks.h"

namespace tw::e2e {
namespace {

using test::ChronydPort;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ClockPage, SynchroniseAgainstTheLocalServers) {
  const int skewed = ChronydPort("TW_CLOCK_CHRONYD_SKEWED_PORT_FILE");
  const int plain = ChronydPort("TW_CLOCK_CHRONYD_PORT_FILE");
  if (skewed < 0 || plain < 0) GTEST_SKIP() << "run through ctest, which starts chronyd";
  ASSERT_GT(skewed, 0);
  ASSERT_GT(plain, 0);
  // The first row is the server 30 s ahead: its correction is a real change,
  // which Wine (without the capability) refuses.
  const std::string list = "127.0.0.1:" + std::to_string(skewed) + "=chronyd, 30 s ahead;" +
                           "no..such..host=unknown;127.0.0.1:" + std::to_string(plain) + "=chronyd";
  ASSERT_TRUE(SetEnvironmentVariableA("TIDEWELL_TEST_TIME_SERVERS", list.c_str()));

  CAppUnderTest app;
  ASSERT_TRUE(app.Start("clock_page_host.exe")) << app.LastError();
  HWND main = app.WaitForWindow("Clock page");
  ASSERT_NE(main, nullptr);
  HWND servers = WaitForControl(main, 1038);
  HWND log = WaitForControl(main, 1039);
  HWND sync = WaitForControl(main, 1058);
  ASSERT_TRUE(servers && log && sync);

  // The page told its parent its hint when it was shown.
  EXPECT_TRUE(WaitForText(FindControl(main, 1076), "  请选择服务器，然后点击“时间校正”按钮。"));
  const auto rows = ListViewRows(servers);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "127.0.0.1");
  EXPECT_EQ(rows[0][1], "chronyd, 30 s ahead");
  EXPECT_EQ(rows[1][0], "no..such..host");
  EXPECT_EQ(ListViewColumnCount(servers), 2);
  EXPECT_EQ(GetText(sync), "时间校正");
  EXPECT_TRUE(IsShown(sync));
  for (int id : {1040, 1041, 1042, 1043}) {
    HWND hidden = FindControl(main, id);
    ASSERT_NE(hidden, nullptr) << id;
    EXPECT_FALSE(IsShown(hidden)) << id;
  }

  // No row selected: the first row's server.
  EXPECT_TRUE(ListViewSelection(servers).empty());
  ASSERT_TRUE(Click(sync));
  ASSERT_TRUE(WaitFor([&] { return EndsWith(GetText(log), "设置本地时间失败"); }, 10000))
      << GetText(log);
  const std::vector<std::string> report = Lines(GetText(log));
  ASSERT_EQ(report.size(), 7u) << GetText(log);
  EXPECT_EQ(report[0], "成功的从网络时间服务器: 127.0.0.1 获得标准时间");
  EXPECT_EQ(report[1].rfind("你的计算机时间是：", 0), 0u) << report[1];
  EXPECT_EQ(report[2].rfind("服务器时间是：", 0), 0u) << report[2];
  EXPECT_EQ(report[3], "");
  const std::string delayPrefix = "网络传输延迟时间是 ", offsetPrefix = "你的计算机时间偏差 ";
  ASSERT_EQ(report[4].rfind(delayPrefix, 0), 0u) << report[4];
  ASSERT_EQ(report[5].rfind(offsetPrefix, 0), 0u) << report[5];
  // A wait anywhere on the way (Wine's socket layer, a busy machine) can
  // shift the offset by at most half the round trip.
  const double delay = std::atof(report[4].c_str() + delayPrefix.size());
  EXPECT_GE(delay, -0.002);
  EXPECT_LT(delay, 1.0);
  EXPECT_NEAR(std::atof(report[5].c_str() + offsetPrefix.size()), 30.0, delay / 2 + 0.003)
      << report[5];
  EXPECT_EQ(report[6], "设置本地时间失败");
  Screenshot("clock_page_report");

  // An unknown host: one line with Winsock's number, replacing the report.
  ASSERT_TRUE(ListViewSelect(servers, 1));
  ASSERT_TRUE(Click(sync));
  EXPECT_TRUE(
      WaitForText(log, "从网络时间服务器:no..such..host 返回时间失败, 错误号: 11001\n", 10000))
      << GetText(log);

  // The server with the host's own time: a correction by (almost) nothing.
  ASSERT_TRUE(ListViewSelect(servers, 2));
  ASSERT_TRUE(Click(sync));
  ASSERT_TRUE(WaitFor([&] { return Lines(GetText(log)).size() == 7; }, 10000)) << GetText(log);
  const std::vector<std::string> second = Lines(GetText(log));
  const double delay2 = std::atof(second[4].c_str() + delayPrefix.size());
  EXPECT_NEAR(std::atof(second[5].c_str() + offsetPrefix.size()), 0.0, delay2 / 2 + 0.003)
      << second[5];
  Screenshot("clock_page_plain_server");

  EXPECT_NE(app.End(), CAppUnderTest::Ending::Failed);
}

TEST(ClockPage, InTheMainWindowWithTheShippedServers) {
  // The program's own settings key, as the shell's tests keep it.
  auto removeSettings = [] { RemoveKey(HKEY_CURRENT_USER, "Software\\Tidewell\\tidewell"); };
  removeSettings();
  CAppUnderTest app;
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(ClickId(main, 1037));
  ASSERT_TRUE(WaitFor([&] { return IsShown(FindControl(main, 1038)); }));
  HWND servers = FindControl(main, 1038);
  // The four public servers, in order; nothing here ever asks them.
  const auto rows = ListViewRows(servers);
  ASSERT_EQ(rows.size(), 4u);
  const char* hosts[] = {"tick.usno.navy.mil", "time.nist.gov", "clock.psu.edu", "ntp0.nl.net"};
  const char* descriptions[] = {"美国海军天文台", "国立标准技术研究所", "Penn 州立大学",
                                "荷兰阿姆斯旦"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(rows[i][0], hosts[i]);
    EXPECT_EQ(rows[i][1], descriptions[i]);
  }
  EXPECT_TRUE(WaitForText(FindControl(main, 1076), "  请选择服务器，然后点击“时间校正”按钮。"));
  EXPECT_TRUE(IsShown(FindControl(main, 1058)));
  EXPECT_FALSE(IsShown(FindControl(main, 1040)));
  Screenshot("clock_page_in_main_window");
  EXPECT_NE(app.End(), CAppUnderTest::Ending::Failed);
  removeSettings();
}

}  // namespace
}  // namespace tw::e2e
