#include <gtest/gtest.h>

#include "platform/run_control.h"

namespace {

TEST(RunControl, PauseHoldsUntilLiftedAndStopEndsIt) {
  tw::ClearScanFlags();
  int sleeps = 0;
  tw::CRunControl run(nullptr, [&](unsigned ms) {
    EXPECT_EQ(ms, 100u);
    if (++sleeps == 3) g_bPauseRequested = 0;
  });
  g_bPauseRequested = 1;
  EXPECT_FALSE(run.Poll());
  EXPECT_EQ(sleeps, 3);

  std::atomic<std::int32_t> pageStop{0};
  tw::CRunControl paused(&pageStop, [&](unsigned) { pageStop = 1; });
  g_bPauseRequested = 1;
  EXPECT_TRUE(paused.Poll());
  tw::ClearScanFlags();
  pageStop = 0;
  EXPECT_FALSE(paused.Poll());
  g_bStopRequested = 1;
  EXPECT_TRUE(paused.Poll());
  tw::ClearScanFlags();
}

}  // namespace
