// The shell with its test seams (tw_shell_probe.exe): the rights check, the
// tray and strip menus while idle and while scanning, the status texts, the
// version prompt and the check against a local server.
#include <gtest/gtest.h>

#include "e2e/driver.h"
#include "e2e/shell_support.h"
#include "resources/resource.h"

namespace tw::e2e::shell {
namespace {

const char kProgram[] = "tw_shell_probe";
const char kExe[] = "tw_shell_probe.exe";

class ShellProbe : public ::testing::Test {
 protected:
  void SetUp() override { RemoveSettings(kProgram); }
  void TearDown() override {
    RemoveSettings(kProgram);
    for (const char* v :
         {"TW_PROBE_NOT_ADMIN", "TW_PROBE_VERSION_URL", "TW_PROBE_VERSION_TIMEOUT_MS"}) {
      SetEnvironmentVariableA(v, nullptr);
    }
  }

  static void Exit(CAppUnderTest& app, HWND main) {
    Command(main, 0x7F02);  // scan over
    PressKey(main, VK_ESCAPE);
    MessageBoxInfo box = WaitForBox(app, main);
    ASSERT_TRUE(box);
    ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDYES));
    EXPECT_TRUE(app.WaitForExit());
  }

  // Opens a menu, waits for its log line, then closes it.
  static std::string ShowMenu(const CAppUnderTest& app, HWND target, UINT msg, WPARAM wp,
                              LPARAM lp, const ProbeLog& log, std::size_t line,
                              const char* shot = nullptr) {
    PostMessageA(target, msg, wp, lp);
    std::string logged = log.WaitForLine(line);
    HWND popup = app.WaitForWindow("", "#32768", 5000);
    if (popup) {
      Sleep(400);
      if (shot) Screenshot(shot);
      PressKey(popup, VK_ESCAPE);
      EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(popup); }, 5000)) << "the menu stays open";
    } else {
      ADD_FAILURE() << "no menu opened";
    }
    return logged;
  }

  // Answers the version prompt with Yes and waits for the version check's
  // dialog; nullptr when either does not come. prompt gets the prompt.
  static HWND AcceptVersionPrompt(const CAppUnderTest& app, HWND main,
                                  MessageBoxInfo* prompt = nullptr) {
    MessageBoxInfo box = WaitForBox(app, main, 8000);
    if (prompt) *prompt = box;
    if (!box || !AnswerMessageBox(box.hwnd, IDYES)) return nullptr;
    // nullptr when the dialog never comes: the callers assert on it.
    HWND dialog = nullptr;
    WaitFor([&] {
      for (HWND w : app.TopLevelWindows("", "#32770")) {
        if (w != main && IsWindowVisible(w) && FindControl(w, IDC_1090)) dialog = w;
      }
      return dialog != nullptr;
    });
    return dialog;
  }

  // Waits until the version check's log ends with the failure line.
  static bool WaitForCheckFailed(HWND logBox, DWORD timeoutMs = kTimeoutMs) {
    const std::string failed = kCheckFailed;
    return WaitFor(
        [&] {
          const std::string t = GetText(logBox);
          return t.size() >= failed.size() && t.substr(t.size() - failed.size()) == failed;
        },
        timeoutMs);
  }
};

TEST_F(ShellProbe, WithoutAdministratorRightsOnlyTheMessageShows) {
  SetEnvironmentVariableA("TW_PROBE_NOT_ADMIN", "1");
  CAppUnderTest app;
  ASSERT_TRUE(app.Start(kExe)) << app.LastError();
  MessageBoxInfo box = WaitForBox(app, nullptr);
  ASSERT_TRUE(box);
  EXPECT_EQ(box.caption, "Tidewell");
  EXPECT_EQ(GetText(FindControl(box.hwnd, IDC_1081)), kNotAdmin);
  EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
  Sleep(400);
  EXPECT_NE(Screenshot("shell_not_admin"), "");
  // No main window, and no instance mutex either.
  EXPECT_EQ(FindControl(box.hwnd, IDC_1000), nullptr);
  EXPECT_EQ(app.TopLevelWindows("", "#32770").size(), 1u);
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Tidewell");
  EXPECT_EQ(mutex, nullptr);
  if (mutex) CloseHandle(mutex);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  EXPECT_TRUE(app.WaitForExit());
}

// The tray and strip menus, the status texts and the site picture, in one run.
TEST_F(ShellProbe, MenusFollowTheScanStateAndClosingIsRefusedWhileScanning) {
  ProbeLog log;
  CAppUnderTest app;
  ASSERT_TRUE(app.Start(kExe)) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);

  EXPECT_EQ(ShowMenu(app, main, WM_TRAY_NOTIFY, IDR_131, WM_RBUTTONUP, log, 1, "shell_tray_menu_idle"),
            "tray 32771:57745:on 32809:57746:gray 32810:57713:gray 32808:57747:on "
            "57670:57685:on 2:57686:on");
  // A single left click does nothing: no menu, and the window stays as it is.
  PostMessageA(main, WM_TRAY_NOTIFY, IDR_131, WM_LBUTTONUP);
  EXPECT_EQ(app.WaitForWindow("", "#32768", 1500), nullptr) << "a left click opened a menu";
  EXPECT_EQ(log.Lines().size(), 1u);
  EXPECT_TRUE(IsShown(main));

  Command(main, 0x7F01);  // a scan runs
  EXPECT_EQ(ShowMenu(app, main, WM_TRAY_NOTIFY, IDR_131, WM_RBUTTONUP, log, 2, "shell_tray_menu_scanning"),
            "tray 32771:57745:on 32809:57746:on 32810:57713:on 32808:57747:on "
            "57670:57685:on 2:57686:gray");
  Command(main, IDM_32810);  // pause
  EXPECT_EQ(ShowMenu(app, main, WM_TRAY_NOTIFY, IDR_131, WM_RBUTTONUP, log, 3),
            "tray 32771:57745:on 32809:57746:on 32810:57714:on 32808:57747:on "
            "57670:57685:on 2:57686:gray");
  Command(main, IDM_32810);  // resume

  // Closing and exiting are refused with the program's own message box.
  PostMessageA(main, WM_CLOSE, 0, 0);
  MessageBoxInfo box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(GetText(FindControl(box.hwnd, IDC_1081)), kScanningRefusal);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  PressKey(main, VK_ESCAPE);
  box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(GetText(FindControl(box.hwnd, IDC_1081)), kScanningRefusal);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  EXPECT_TRUE(IsShown(main));

  // Status texts: panes in order, the strip reversed; a case-only change
  // reaches the panes but not the strip; broken texts change nothing.
  HWND bar = FindControl(main, ID_STATUS_BAR);
  ASSERT_NE(bar, nullptr);
  Command(main, 0x7F10);
  EXPECT_EQ(StatusBarTexts(bar),
            (std::vector<std::string>{"Scan: HKLM\\Software", "Total: 3", "Time: 0:0:1"}));
  Command(main, 0x7F20);
  EXPECT_EQ(log.WaitForLine(4), "strip|Time: 0:0:1|Total: 3|Scan: HKLM\\Software");
  Command(main, 0x7F11);
  EXPECT_TRUE(WaitFor([&] { return StatusBarTexts(bar)[0] == "SCAN: hklm\\software"; }));
  Command(main, 0x7F20);
  EXPECT_EQ(log.WaitForLine(5), "strip|Time: 0:0:1|Total: 3|Scan: HKLM\\Software");
  Command(main, 0x7F12);
  Command(main, 0x7F13);
  Command(main, 0x7F20);
  EXPECT_EQ(log.WaitForLine(6), "strip|Time: 0:0:1|Total: 3|Scan: HKLM\\Software");
  EXPECT_EQ(StatusBarTexts(bar)[0], "SCAN: hklm\\software");

  // Minimised during a scan, the window goes to the tray and the strip shows.
  Command(main, 0x7F10);
  PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(main); }));
  HWND strip = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : app.TopLevelWindows("", "#32770")) {
      if (w != main && IsWindowVisible(w) && FindControl(w, IDC_1005)) strip = w;
    }
    return strip != nullptr;
  }));
  Sleep(500);
  EXPECT_NE(Screenshot("shell_status_strip"), "");
  // The strip's menu is the tray menu.
  EXPECT_EQ(ShowMenu(app, strip, WM_RBUTTONUP, 0, MAKELPARAM(40, 5), log, 7, "shell_strip_menu"),
            "strip 32771:57745:on 32809:57746:on 32810:57713:on 32808:57747:on "
            "57670:57685:on 2:57686:gray");
  // "Show Tidewell" brings the window back and hides the strip.
  Command(main, IDM_32771);
  ASSERT_TRUE(WaitFor([&] { return IsShown(main); }));
  EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(strip); }));

  // The site picture under the navigation buttons opens the maker's site, as
  // the tray menu's command does: pressed and let go over its middle, as the
  // mouse does it (the messages go to the window under the pointer).
  Command(main, IDM_32808);
  const std::string site = log.WaitForLine(8);
  EXPECT_EQ(site.rfind("site http://", 0), 0u) << site;
  HWND picture = GetDlgItem(main, IDC_1053);  // not the about page's link of that id
  ASSERT_NE(picture, nullptr);
  RECT rc;
  GetClientRect(picture, &rc);
  const LPARAM middle = MAKELPARAM(rc.right / 2, rc.bottom / 2);
  PostMessageA(picture, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageA(picture, WM_LBUTTONUP, 0, middle);
  EXPECT_EQ(log.WaitForLine(9), site) << "the site picture";
  Exit(app, main);
}

TEST_F(ShellProbe, VersionPromptOnThe18thStartAndCheckAgainstALocalServer) {
  std::string body;
  for (int i = 0; i < 3000; ++i) body += static_cast<char>('A' + (i * 7) % 26);
  body += "\r\nnewest: 3.1";
  LocalHttpServer server(body);
  std::string base = "http://127.0.0.1:" + std::to_string(server.Port()) + "/version.asp?LangID=";
  SetEnvironmentVariableA("TW_PROBE_VERSION_URL", base.c_str());

  WriteSetting(kProgram, "Used", "times", 18);
  CAppUnderTest app;
  ASSERT_TRUE(app.Start(kExe)) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  DWORD shown = GetTickCount();
  MessageBoxInfo prompt = WaitForBox(app, main, 8000);
  ASSERT_TRUE(prompt);
  EXPECT_GE(GetTickCount() - shown, 1000u);
  EXPECT_EQ(prompt.text, kVersionPrompt);
  EXPECT_EQ(ReadSetting(kProgram, "Used", "times", 0), 19u);
  ASSERT_TRUE(AnswerMessageBox(prompt.hwnd, IDYES));

  // The dialog checks at once; the whole answer shows, in order.
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    for (HWND w : app.TopLevelWindows("", "#32770")) {
      if (w != main && IsWindowVisible(w) && FindControl(w, IDC_1090)) dialog = w;
    }
    return dialog != nullptr;
  }));
  HWND logBox = FindControl(dialog, IDC_1090);
  ASSERT_TRUE(WaitFor([&] { return GetText(logBox).find("newest: 3.1") != std::string::npos; }));
  std::string text = GetText(logBox);
  EXPECT_EQ(text.substr(text.size() - body.size()), body);
  EXPECT_EQ(text.find("当前版本: Tidewell 3.0.880\r\n检测最新版...\r\n"), 0u);
  EXPECT_NE(server.LastRequest().find("GET /version.asp?LangID=804 "), std::string::npos);
  EXPECT_NE(server.LastRequest().find("User-Agent: CheckNewVersion"), std::string::npos);
  Sleep(300);
  EXPECT_NE(Screenshot("shell_version_check"), "");
  // No update.exe beside the program: the update button does nothing visible.
  Click(FindControl(dialog, IDC_1092));
  EXPECT_FALSE(WaitFor(
      [&] {
        for (HWND w : app.TopLevelWindows("", "#32770")) {
          if (w != main && w != dialog && IsWindowVisible(w)) return true;
        }
        return false;
      },
      1500));
  EXPECT_TRUE(app.Running());

  // With nobody listening, the check reports the failure and the dialog stays.
  std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/version.asp?LangID=";
  SetEnvironmentVariableA("TW_PROBE_VERSION_URL", refused.c_str());
  // (The probe read its environment at start: a second run checks the refusal.)
  Click(FindControl(dialog, IDCANCEL));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  Exit(app, main);

  WriteSetting(kProgram, "Used", "times", 36);
  CAppUnderTest again;
  ASSERT_TRUE(again.Start(kExe));
  main = again.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  dialog = AcceptVersionPrompt(again, main);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(WaitForCheckFailed(FindControl(dialog, IDC_1090)));
  EXPECT_TRUE(IsShown(dialog));
  Click(FindControl(dialog, IDCANCEL));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  Exit(again, main);
}

// A server that never stops talking, and one that never answers: each check
// ends within the time-out (3 s here), the first showing what came, cut off,
// the second 57737, and the window answers afterwards.
TEST_F(ShellProbe, VersionCheckEndsForAServerThatNeverStopsOrNeverAnswers) {
  const std::string line = "0123456789abcdefghijklmnopqrstuvwxyz\r\n";
  using Way = LocalHttpServer::Way;
  std::string chunk;
  while (chunk.size() < 1000) chunk += line;
  LocalHttpServer server(chunk, {Way::kEndless, Way::kSilent});
  std::string base = "http://127.0.0.1:" + std::to_string(server.Port()) + "/version.asp?LangID=";
  SetEnvironmentVariableA("TW_PROBE_VERSION_URL", base.c_str());
  SetEnvironmentVariableA("TW_PROBE_VERSION_TIMEOUT_MS", "3000");
  WriteSetting(kProgram, "Used", "times", 18);
  CAppUnderTest app;
  ASSERT_TRUE(app.Start(kExe)) << app.LastError();
  SetEnvironmentVariableA("TW_PROBE_VERSION_TIMEOUT_MS", nullptr);
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  HWND dialog = AcceptVersionPrompt(app, main);
  ASSERT_TRUE(dialog);
  auto answers = [](HWND w) {
    DWORD_PTR r;
    return SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r) != 0;
  };
  HWND logBox = FindControl(dialog, IDC_1090);
  // Cut off at 64 KB, within the time-out and the 500 ms pause before it.
  DWORD start = GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return answers(dialog) && GetText(logBox).size() > 60000; }, 8000))
      << GetText(logBox).size() << " bytes: " << GetText(logBox).substr(0, 300);
  EXPECT_LT(GetTickCount() - start, 8000u);
  std::string text = GetText(logBox);
  EXPECT_LE(text.size(), 64u * 1024 + 200);
  EXPECT_NE(text.find("\r\n" + line + line), std::string::npos);
  EXPECT_TRUE(answers(main));

  // Silence: 57737 after the time-out, and the dialog stays.
  start = GetTickCount();
  Click(FindControl(dialog, IDC_1091));
  ASSERT_TRUE(WaitForCheckFailed(logBox, 10000)) << GetText(logBox).substr(0, 200);
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_TRUE(answers(dialog));
  EXPECT_TRUE(IsShown(dialog));
  Click(FindControl(dialog, IDCANCEL));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  Exit(app, main);
}

// The shell's dialogs in English: the version prompt and the version check,
// the program's own message box, the exit question. No Chinese in any text.
TEST_F(ShellProbe, EnglishDialogsShowNoChinese) {
  std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/version.asp?LangID=";
  SetEnvironmentVariableA("TW_PROBE_VERSION_URL", refused.c_str());
  WriteSetting(kProgram, "Language", "LangID", 0x409);
  WriteSetting(kProgram, "Used", "times", 18);
  CAppUnderTest app;
  ASSERT_TRUE(app.Start(kExe)) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  const std::vector<std::string> none;
  // The system's message boxes word their buttons in the system's language;
  // the program's part is the caption and the message.
  MessageBoxInfo prompt;
  HWND dialog = AcceptVersionPrompt(app, main, &prompt);
  EXPECT_FALSE(HasChinese(prompt.caption + prompt.text)) << prompt.text;
  ASSERT_TRUE(dialog);
  // The failure line is the last to come.
  HWND logBox = FindControl(dialog, IDC_1090);
  ASSERT_TRUE(WaitFor([&] {
    std::string t = GetText(logBox);
    return t.size() > 2 && t.compare(t.size() - 2, 2, "\r\n") == 0 &&
           t.find("\r\n") != t.rfind("\r\n");
  }));
  EXPECT_TRUE(WaitFor([&] { return ChineseTexts(dialog).empty(); }, 3000))
      << ::testing::PrintToString(ChineseTexts(dialog));
  Click(FindControl(dialog, IDCANCEL));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));

  Command(main, 0x7F01);  // a scan runs: closing is refused
  PostMessageA(main, WM_CLOSE, 0, 0);
  MessageBoxInfo box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_EQ(ChineseTexts(box.hwnd), none);
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDOK));
  Command(main, 0x7F02);
  PressKey(main, VK_ESCAPE);
  box = WaitForBox(app, main);
  ASSERT_TRUE(box);
  EXPECT_FALSE(HasChinese(box.caption + box.text)) << box.text;
  ASSERT_TRUE(AnswerMessageBox(box.hwnd, IDYES));
  EXPECT_TRUE(app.WaitForExit());
}

TEST_F(ShellProbe, NoVersionPromptOnOtherStarts) {
  WriteSetting(kProgram, "Used", "times", 17);
  CAppUnderTest app;
  ASSERT_TRUE(app.Start(kExe)) << app.LastError();
  HWND main = app.WaitForWindow("Tidewell");
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(WaitForBox(app, main, 3500));
  EXPECT_EQ(ReadSetting(kProgram, "Used", "times", 0), 18u);
  Exit(app, main);
}

}  // namespace
}  // namespace tw::e2e::shell
