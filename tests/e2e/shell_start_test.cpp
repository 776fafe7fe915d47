// The real tidewell.exe: first start, keys, the exit question, the second
// instance and the English interface.
#include <gtest/gtest.h>

#include "e2e/driver.h"
#include "e2e/shell_support.h"
#include "resources/resource.h"

#include <shellapi.h>

namespace tw::e2e::shell {
namespace {

const char kProgram[] = "tidewell";

// A string of the program's own (Chinese) resources, as UTF-8.
std::string ProgramString(UINT id) {
  HMODULE exe = LoadLibraryExA((ProgramFolder() + "tidewell.exe").c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!exe) return "(no tidewell.exe)";
  wchar_t buf[512];
  int n = LoadStringW(exe, id, buf, 512);
  FreeLibrary(exe);
  return Narrow(std::wstring(buf, n > 0 ? n : 0));
}

class ShellStart : public ::testing::Test {
 protected:
  void SetUp() override { RemoveSettings(kProgram); }
  void TearDown() override { RemoveSettings(kProgram); }

  // Escape, then Yes to the exit question; the program ends by itself.
  static void ExitThroughQuestion(CAppUnderTest& app, HWND main) {
    PressKey(main, VK_ESCAPE);
    MessageBoxInfo box = WaitForBox(app, main);
    ASSERT_TRUE(box);
    EXPECT_FALSE(box.text.empty());
    ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDYES));
    EXPECT_TRUE(app.WaitForExit());
    EXPECT_EQ(app.ExitCode(), 0u);
  }
};

TEST_F(ShellStart, FirstStartShowsTheAboutPageWithItsButtonMarked) {
  CAppUnderTest app;
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  HWND combo = WaitForControl(main, IDC_1070, "ComboBox");
  ASSERT_NE(combo, nullptr);
  EXPECT_TRUE(IsShown(combo));
  // With no library beside it but RC409.dll, the list holds Chinese
  // (selected) and English.
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageA(combo, CB_GETITEMDATA, SendMessageA(combo, CB_GETCURSEL, 0, 0), 0), 0x804);
  // The hint line lies under the about page.
  HWND hint = FindControl(main, IDC_1076);
  ASSERT_NE(hint, nullptr);
  Sleep(700);
  RECT rc;
  GetWindowRect(hint, &rc);
  EXPECT_NE(ScreenPixel(rc.left + 3, rc.top + 3), RGB(255, 255, 255));
  // The marked button has the highlight colour, the others the normal one.
  SetCursorPos(1000, 760);
  Sleep(300);
  for (int id : {IDC_1000, IDC_1001, IDC_1002, IDC_1037, IDC_1057, IDC_1003}) {
    HWND b = FindControl(main, id);
    ASSERT_NE(b, nullptr) << id;
    GetWindowRect(b, &rc);
    EXPECT_EQ(ScreenPixel(rc.left + 3, rc.bottom - 3),
              id == IDC_1000 ? RGB(11, 175, 255) : RGB(8, 146, 214))
        << id;
  }
  EXPECT_NE(Screenshot("shell_main_zh"), "");
  // The start counter went from 1 (absent) to 2.
  EXPECT_EQ(ReadSetting(kProgram, "Used", "times", 0), 2u);

  // Clicking the about button again keeps the page and its mark.
  ClickId(main, IDC_1000);
  Sleep(300);
  EXPECT_TRUE(IsShown(combo));

  // A tool page: the about page hides, the hint line shows the page's hint,
  // and the mark moves to its button.
  const struct {
    int button;
    UINT hint;
  } tools[] = {{IDC_1001, IDS_57810}, {IDC_1002, IDS_57809}, {IDC_1037, IDS_57808},
               {IDC_1057, IDS_57807}, {IDC_1003, IDS_57796}};
  for (const auto& t : tools) {
    Click(FindControl(main, t.button));  // as the mouse does: the button takes the focus
    EXPECT_TRUE(WaitForText(hint, ProgramString(t.hint))) << t.button;
    EXPECT_TRUE(WaitFor([&] { return !IsShown(combo); }));
  }
  Sleep(500);
  for (int id : {IDC_1003, IDC_1000}) {
    GetWindowRect(FindControl(main, id), &rc);
    EXPECT_EQ(ScreenPixel(rc.left + 3, rc.bottom - 3),
              id == IDC_1003 ? RGB(11, 175, 255) : RGB(8, 146, 214))
        << id;
  }
  GetWindowRect(hint, &rc);
  EXPECT_EQ(ScreenPixel(rc.right - 3, rc.bottom - 3), RGB(255, 255, 255));
  EXPECT_NE(Screenshot("shell_tool_page"), "");
  ClickId(main, IDC_1000);
  EXPECT_TRUE(WaitFor([&] { return IsShown(combo); }));
  ExitThroughQuestion(app, main);
}

TEST_F(ShellStart, EnterDoesNothingAndEscapeAsksBeforeExiting) {
  CAppUnderTest app;
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  PressKey(main, VK_RETURN);
  EXPECT_FALSE(WaitForBox(app, main, 1500));
  EXPECT_TRUE(IsShown(main));
  // Help without a "Contents.chm" beside the program: nothing happens.
  ClickId(main, IDC_1060);
  EXPECT_FALSE(WaitForBox(app, main, 1500));
  EXPECT_TRUE(app.Running());

  PressKey(main, VK_ESCAPE);
  MessageBoxInfo box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(box.caption, "Tidewell");
  EXPECT_EQ(box.text, kExitQuestion);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDNO));
  Sleep(500);
  EXPECT_TRUE(app.Running());
  EXPECT_TRUE(IsShown(main));

  // The about page's exit button runs the same close procedure.
  ClickId(main, IDC_1055);
  box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(box.text, kExitQuestion);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDYES));
  EXPECT_TRUE(app.WaitForExit());
}

TEST_F(ShellStart, SecondStartBringsTheFirstForwardOrReportsTheTray) {
  CAppUnderTest first;
  ASSERT_TRUE(first.Start("tidewell.exe")) << first.LastError();
  HWND main = first.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);

  {
    CAppUnderTest second;
    ASSERT_TRUE(second.Start("tidewell.exe"));
    EXPECT_TRUE(second.WaitForExit());
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(IsShown(main));

  // Parked in the tray, the window is no top-level window: the second start
  // tells the user where the first one is.
  PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
  {
    CAppUnderTest second;
    ASSERT_TRUE(second.Start("tidewell.exe"));
    MessageBoxInfo box = WaitForBox(second, nullptr);
    ASSERT_TRUE(box);
    EXPECT_EQ(box.caption, "Tidewell");
    EXPECT_EQ(box.text, kInTray);
    ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
    EXPECT_TRUE(second.WaitForExit());
  }
  // A double click on the icon brings the window back.
  PostMessageA(main, WM_TRAY_NOTIFY, IDR_131, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitFor([&] { return IsShown(main); }));
  ExitThroughQuestion(first, main);
}

TEST_F(ShellStart, SavedEnglishBringsTheEnglishInterface) {
  WriteSetting(kProgram, "Language", "LangID", 0x409);
  CAppUnderTest app;
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  HWND about = WaitForControl(main, IDC_1000);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(GetText(about), "About");
  HWND combo = FindControl(main, IDC_1070, "ComboBox");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(SendMessageA(combo, CB_GETITEMDATA, SendMessageA(combo, CB_GETCURSEL, 0, 0), 0), 0x409);
  Sleep(700);
  EXPECT_NE(Screenshot("shell_main_en"), "");

  // Every page, through every navigation button (the buttons left of the
  // page area), speaks English: no Chinese in any text of the window.
  RECT area;
  ASSERT_TRUE(GetWindowRect(FindControl(main, IDC_1007), &area));
  std::vector<HWND> nav;
  for (HWND w = GetWindow(main, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    RECT rc;
    if (ClassName(w) == "Button" && IsShown(w) && GetWindowRect(w, &rc) && rc.right <= area.left) {
      nav.push_back(w);
    }
  }
  EXPECT_EQ(nav.size(), 6u);
  auto shownPage = [&]() -> HWND {
    for (HWND w = GetWindow(main, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
      if (ClassName(w) == "#32770" && IsWindowVisible(w)) return w;
    }
    return nullptr;
  };
  for (HWND button : nav) {
    HWND before = shownPage();
    Click(button);
    // The about button's own page stays on show.
    const bool aboutButton = GetDlgCtrlID(button) == IDC_1000;
    EXPECT_TRUE(WaitFor([&] { return shownPage() && (aboutButton || shownPage() != before); }, 3000))
        << "no page for " << GetDlgCtrlID(button);
    // A page's texts are set before it shows; the hint line follows it.
    EXPECT_TRUE(WaitFor([&] { return ChineseTexts(main).empty(); }, 3000))
        << "page of " << GetDlgCtrlID(button) << ": " << ::testing::PrintToString(ChineseTexts(main));
  }
  Screenshot("shell_pages_en");
  ClickId(main, IDC_1000);
  ASSERT_TRUE(WaitFor([&] { return IsShown(combo); }));

  // Choosing the language in use again does nothing.
  Command(GetParent(combo), IDC_1070, CBN_SELCHANGE, combo);
  EXPECT_FALSE(WaitForBox(app, main, 1500));
  EXPECT_EQ(ReadSetting(kProgram, "Language", "LangID", 0), 0x409u);

  // Choosing Chinese saves it for the next start and says so, in English.
  int chinese = -1;
  for (int i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
    if (SendMessageA(combo, CB_GETITEMDATA, i, 0) == 0x804) chinese = i;
  }
  ASSERT_GE(chinese, 0);
  SendMessageA(combo, CB_SETCURSEL, chinese, 0);
  Command(GetParent(combo), IDC_1070, CBN_SELCHANGE, combo);
  MessageBoxInfo box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(ReadSetting(kProgram, "Language", "LangID", 0), 0x804u);
  EXPECT_EQ(box.text, "For the chosen language to take effect, please exit the program and run it again!")
      << "(the English text of 57756)";
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  // The running program keeps its language.
  EXPECT_EQ(GetText(about), "About");

  PressKey(main, VK_ESCAPE);
  box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(box.caption, "Tidewell");
  EXPECT_EQ(box.text, "Are you sure you want to exit Tidewell?");  // the buttons are the system's
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDYES));
  EXPECT_TRUE(app.WaitForExit());
}

// Language libraries come only from the program's own folder, as resources:
// one on the PATH is never loaded, a broken one beside the program falls
// back to the built-in Chinese, and one without the product name gives way
// to the fallback name.
TEST_F(ShellStart, LanguageLibrariesComeOnlyFromTheProgramsFolder) {
  const std::string root = "C:\\tw_shell_lang";
  const std::string app = root + "\\app", elsewhere = root + "\\elsewhere";
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA(app.c_str(), nullptr);
  CreateDirectoryA(elsewhere.c_str(), nullptr);
  const std::string bin = ProgramFolder();
  ASSERT_TRUE(CopyFileA((bin + "tidewell.exe").c_str(), (app + "\\tidewell.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((bin + "RC409.dll").c_str(), (elsewhere + "\\RC409.dll").c_str(), FALSE));
  char oldPath[4096] = {};
  GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
  SetEnvironmentVariableA("PATH", (elsewhere + ";" + oldPath).c_str());
  WriteSetting(kProgram, "Language", "LangID", 0x409);

  auto aboutText = [&]() -> std::string {
    CAppUnderTest run;
    if (!run.Start(app + "\\tidewell.exe")) return "start failed: " + run.LastError();
    HWND main = run.WaitForWindow("Tidewell");
    if (!main) return "no window";
    HWND about = WaitForControl(main, IDC_1000);
    std::string text = about ? GetText(about) : "no button";
    ExitThroughQuestion(run, main);
    return text;
  };
  EXPECT_EQ(aboutText(), "关        于");  // RC409.dll only on the PATH

  HANDLE f = CreateFileA((app + "\\RC409.dll").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                         nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD n;
  WriteFile(f, "MZ not a library", 16, &n, nullptr);
  CloseHandle(f);
  EXPECT_EQ(aboutText(), "关        于");  // a broken one beside it

  ASSERT_TRUE(CopyFileA((bin + "RC409.dll").c_str(), (app + "\\RC409.dll").c_str(), FALSE));
  EXPECT_EQ(aboutText(), "About");  // the real one beside it

  // One that loads but lacks the product name (57755) is no language library
  // of ours: the fallback name comes next.
  ASSERT_TRUE(
      CopyFileA((bin + "nameless\\RC409.dll").c_str(), (app + "\\RC409.dll").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((bin + "RC409.dll").c_str(), (app + "\\RC09.dll").c_str(), FALSE));
  EXPECT_EQ(aboutText(), "About");

  SetEnvironmentVariableA("PATH", oldPath);
  for (const std::string& file : {app + "\\tidewell.exe", app + "\\RC409.dll", app + "\\RC09.dll",
                                  elsewhere + "\\RC409.dll"}) {
    DeleteFileA(file.c_str());
  }
  RemoveDirectoryA(app.c_str());
  RemoveDirectoryA(elsewhere.c_str());
  RemoveDirectoryA(root.c_str());
}

// The icon comes back when the shell rebuilds its notification area.
TEST_F(ShellStart, TrayIconReturnsWhenTheTaskbarIsCreatedAgain) {
  CAppUnderTest app;
  ASSERT_TRUE(app.Start("tidewell.exe")) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  NOTIFYICONDATAA icon = {};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = main;
  icon.uID = IDR_131;
  auto present = [&] { return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE; };
  ASSERT_TRUE(WaitFor(present));
  // As if the shell had lost it: gone, until "TaskbarCreated" arrives.
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
  EXPECT_FALSE(present());
  SendMessageA(main, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(WaitFor(present));
  ExitThroughQuestion(app, main);
}

}  // namespace
}  // namespace tw::e2e::shell
