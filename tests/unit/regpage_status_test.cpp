#include <gtest/gtest.h>

#include <vector>

#include "app/status_line.h"
#include "unit/regpage_gbk.h"

namespace {

using regpage_test::Gbk;
using tw::StatusPhase;

struct StatusCase {
  const char* name;
  const char* text;
  StatusPhase phase;
  bool scanning;
  long long found, deleted, elapsed;
  const char* expected;
};

TEST(RegistryStatus, ComposesTheThreeFields) {
  const tw::StatusLineTexts texts;
  const StatusCase cases[] = {
      {"start of a scan shows zero time", "", StatusPhase::kStart, true, 0, 0, 99,
       "正在扫描: ;总共: 0;时间: 0:0:0;"},
      {"progress of a scan", "HKEY_CLASSES_ROOT\\CLSID\\{1}", StatusPhase::kProgress, true, 12, 5,
       3725, "正在扫描: HKEY_CLASSES_ROOT\\CLSID\\{1};总共: 12;时间: 1:2:5;"},
      {"end of a scan", "ignored", StatusPhase::kFinish, true, 7, 0, 61,
       "扫描完成.;总共: 7;时间: 0:1:1;"},
      {"deletion progress carries both counters", "HKEY_CURRENT_USER\\Software\\X",
       StatusPhase::kProgress, false, 3, 9, 0,
       "正在删除: HKEY_CURRENT_USER\\Software\\X;总共: 3   删除: 9;时间: 0:0:0;"},
      {"end of a deletion shows the product", "", StatusPhase::kFinish, false, 0, 10, 59,
       "Tidewell;总共: 0   删除: 10;时间: 0:0:59;"},
      {"a deletion that failed shows only why", "Disk full; no room", StatusPhase::kFailed, false,
       5, 2, 1, "Disk full, no room;总共: 5   删除: 2;时间: 0:0:1;"},
      {"hours are not wrapped", "", StatusPhase::kFinish, true, 0, 0, 100 * 3600,
       "扫描完成.;总共: 0;时间: 100:0:0;"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tw::ComposeStatusLine(texts, c.text, c.phase, c.scanning, c.found, c.deleted,
                                        c.elapsed),
              Gbk(c.expected))
        << c.name;
  }
}

TEST(RegistryStatus, FormatNumbersNeverReadsPastItsNumbers) {
  EXPECT_EQ(tw::FormatNumbers("a %d b %d", {1, 2}), "a 1 b 2");
  EXPECT_EQ(tw::FormatNumbers("%d %d %d", {1}), "1 %d %d");
  EXPECT_EQ(tw::FormatNumbers("%s %n 100%% %d", {4}), "%s %n 100% 4");
  EXPECT_EQ(tw::FormatNumbers("trailing %", {}), "trailing %");
}

TEST(RegistryStatus, ProgressIsThrottledButStartAndFinishAlwaysGo) {
  using namespace std::chrono;
  steady_clock::time_point now{};
  std::vector<std::string> sent;
  tw::CStatusLine status([&](const std::string& s, StatusPhase) { sent.push_back(s); },
                             [&] { return now; }, milliseconds(33));
  status.Report("", StatusPhase::kStart, true, 0, 0);
  status.Report("k1", StatusPhase::kProgress, true, 1, 0);  // within 33 ms of the start text
  now += milliseconds(40);
  status.Report("k2", StatusPhase::kProgress, true, 2, 0);
  status.Report("k3", StatusPhase::kProgress, true, 3, 0);
  now += seconds(2);
  status.Report("", StatusPhase::kFinish, true, 3, 0);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0], Gbk("正在扫描: ;总共: 0;时间: 0:0:0;"));
  EXPECT_EQ(sent[1], Gbk("正在扫描: k2;总共: 2;时间: 0:0:0;"));
  EXPECT_EQ(sent[2], Gbk("扫描完成.;总共: 3;时间: 0:0:2;"));

  // A new start resets the elapsed time.
  now += seconds(5);
  status.Report("", StatusPhase::kStart, true, 0, 0);
  now += seconds(1);
  EXPECT_EQ(status.ElapsedSeconds(), 1);
}

}  // namespace
