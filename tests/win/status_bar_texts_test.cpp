// The texts of a real status bar's parts set together: what changed is set
// and drawn in one WM_PAINT, and the bar then looks as one whose texts were
// set part by part.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/status_bar_texts.h"
#include "screen_capture.h"

namespace {

int g_paints = 0;

LRESULT CALLBACK CountPaints(HWND bar, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_PAINT) ++g_paints;
  return DefSubclassProc(bar, msg, wp, lp);
}

void Pump() {
  for (int i = 0; i < 10; ++i) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
}

HWND MakeBar(HWND parent, int y) {
  HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN,
                             0, y, 600, 22, parent, nullptr, nullptr, nullptr);
  int parts[3] = {350, 500, -1};
  SendMessageA(bar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
  return bar;
}

std::string Text(HWND bar, int part) {
  char text[256] = {};
  SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<DWORD> Shot(HWND bar) {
  RECT r;
  GetWindowRect(bar, &r);
  return tw::test::CaptureScreen(r);
}

TEST(StatusBarTexts, TheChangedPartsAreSetAndDrawnInOnePaint) {
  SetCursorPos(1000, 760);
  HWND top = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 600, 60, nullptr, nullptr,
                           nullptr, nullptr);
  HWND bar = MakeBar(top, 0);
  HWND twin = MakeBar(top, 30);
  ASSERT_TRUE(bar && twin);
  SetWindowSubclass(bar, CountPaints, 1, 0);
  const struct {
    const char* name;
    std::string texts[3];
    int paints;
  } cases[] = {
      {"every part new", {"正在删除: D:\\a\\f0001.tmp", "总共: 3   删除: 1", "时间: 0:0:1"}, 1},
      {"two parts", {"正在删除: D:\\a\\f0002.tmp", "总共: 3   删除: 2", "时间: 0:0:1"}, 1},
      {"nothing new", {"正在删除: D:\\a\\f0002.tmp", "总共: 3   删除: 2", "时间: 0:0:1"}, 0},
      {"a shorter text", {"Tidewell", "总共: 3   删除: 2", "时间: 0:0:1"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pump();
    g_paints = 0;
    tw::SetStatusBarTexts(bar, c.texts, 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(Text(bar, i), c.texts[i]);
      SendMessageA(twin, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(c.texts[i].c_str()));
    }
    Pump();
    EXPECT_EQ(g_paints, c.paints);
    EXPECT_TRUE(Shot(bar) == Shot(twin));
  }
  RemoveWindowSubclass(bar, CountPaints, 1);
  DestroyWindow(top);
}

}  // namespace
