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
    // Closing asks before the program ends; Yes ends it.
    PostMessageW(main, WM_CLOSE, 0, 0);
    HWND question = nullptr;
    ASSERT_TRUE(WaitFor([&] {
      for (HWND w : app.TopLevelWindows("", "#32770"))
        if (w != main && IsWindowVisible(w)) question = w;
      return question != nullptr;
    }));
    ASSERT_TRUE(AnswerMessageBox(question, IDYES));
    ASSERT_TRUE(app.WaitForExit());
    EXPECT_EQ(app.ExitCode(), 0u);
  }
  EXPECT_EQ(CountProcesses("tidewell.exe"), 0);
}

}  // namespace
}  // namespace tw::e2e
