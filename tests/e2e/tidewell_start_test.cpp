// The real program starts, shows its main window, and ends without leaving a
// process behind.
#include <gtest/gtest.h>

#include "e2e/driver.h"
#include "e2e/shell_support.h"
#include "resources/resource.h"

namespace tw::e2e {
namespace {

// Starts the program, waits for its main window, closes it with Yes to the
// question, and checks that no process of it is left.
void StartAndEnd(const std::string& exe, const std::string& screenshot) {
  {
    CAppUnderTest app;
    ASSERT_TRUE(app.Start(exe)) << app.LastError();
    HWND main = app.WaitForWindow("Tidewell");
    ASSERT_NE(main, nullptr) << "no window captioned \"Tidewell\"";
    EXPECT_TRUE(IsShown(main));
    // Give it a moment to paint before the picture is taken.
    Sleep(500);
    EXPECT_NE(Screenshot(screenshot), "");
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

TEST(TidewellStart, MainWindowAppearsAndTheProgramEndsCleanly) {
  StartAndEnd("tidewell.exe", "tidewell_main");
}

// The 32-bit program (copied to P:\x86 by ctest) runs under 32-bit Wine in
// the same prefix.
TEST(TidewellStart, The32BitProgramStartsAndEndsCleanly) {
  StartAndEnd(ProgramFolder() + "x86\\tidewell.exe", "tidewell_x86_main");
}

// The zip that users download, unpacked by ctest (tests/e2e/dist-unpack.sh)
// into a fresh folder of the prefix: the program starts from there, finds its
// English library beside it and shows its main window.
TEST(TidewellStart, RunsFromTheUnpackedDistributionZip) {
  const std::string folder = "C:\\tidewell_dist\\";
  for (const char* file : {"tidewell.exe", "RC409.dll", "README.txt"}) {
    ASSERT_NE(GetFileAttributesA((folder + file).c_str()), INVALID_FILE_ATTRIBUTES)
        << folder << file << " is missing: run through ctest, which unpacks the zip there";
  }
  shell::RemoveSettings("tidewell");
  shell::WriteSetting("tidewell", "Language", "LangID", 0x409);
  {
    CAppUnderTest app;
    ASSERT_TRUE(app.Start(folder + "tidewell.exe")) << app.LastError();
    HWND main = app.WaitForWindow("Tidewell");
    EXPECT_NE(main, nullptr) << "no window captioned \"Tidewell\"";
    HWND about = main ? WaitForControl(main, IDC_1000) : nullptr;
    EXPECT_NE(about, nullptr);
    if (about) {
      EXPECT_EQ(GetText(about), "About") << "RC409.dll beside the program was not used";
    }
    app.End();
  }
  shell::RemoveSettings("tidewell");
  EXPECT_EQ(CountProcesses("tidewell.exe"), 0);
}

}  // namespace
}  // namespace tw::e2e
