// The real program starts, shows its main window, and ends without leaving a
// process behind.
#include <gtest/gtest.h>

#include "e2e/driver.h"

namespace tw::e2e {
namespace {

TEST(TidewellStart, MainWindowAppearsAndTheProgramEndsCleanly) {
  {
    CAppUnderTest app;
    ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
    HWND main = app.WaitForWindow("Tidewell");
    ASSERT_NE(main, nullptr) << "no window captioned \"Tidewell\"";
    EXPECT_TRUE(IsShown(main));
    // Give it a moment to paint before the picture is taken.
    Sleep(500);
    EXPECT_NE(Screenshot("tidewell_main"), "");
    EXPECT_EQ(app.End(), CAppUnderTest::Ending::Closed);
    EXPECT_EQ(app.ExitCode(), 0u);
  }
  EXPECT_EQ(CountProcesses("tidewell.exe"), 0);
}

}  // namespace
}  // namespace tw::e2e
