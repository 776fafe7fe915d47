// A window that holds only the clock page, for the clock page's end-to-end
// tests: built with the test hooks, so its server list comes from
// TIDEWELL_TEST_TIME_SERVERS, and with a hint line (1076) that shows what the
// page sends with WM_PAGE_HINT.
#include <windows.h>

#include <commctrl.h>

#include "clock_sync/clock_page.h"
#include "resources/resource.h"

namespace {

HINSTANCE g_instance = nullptr;
HWND g_hint = nullptr;
tw::CClockPage* g_page = nullptr;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      g_hint = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 8, 600, 640, 20, hwnd,
                               reinterpret_cast<HMENU>(1076), g_instance, nullptr);
      // About the size the main window gives its tool pages.
      RECT where{0, 0, 664, 590};
      g_page = new tw::CClockPage(tw::GetMachineClock());
      if (!g_page->CreatePage(hwnd, where)) return -1;
      ShowWindow(g_page->Hwnd(), SW_SHOW);
      return 0;
    }
    case WM_PAGE_HINT: {
      char text[512] = {};
      LoadStringA(g_instance, static_cast<UINT>(wp), text, sizeof text);
      SetWindowTextA(g_hint, text);
      return 0;
    }
    case WM_DESTROY:
      DestroyWindow(g_page->Hwnd());
      delete g_page;
      g_page = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  g_instance = instance;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSA wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = CreateSolidBrush(RGB(222, 222, 222));
  wc.lpszClassName = "TidewellClockPageHost";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowA(wc.lpszClassName, "Clock page", WS_OVERLAPPEDWINDOW, 20, 20, 680, 680,
                            nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    if (!g_page || !IsDialogMessageA(g_page->Hwnd(), &m)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  return 0;
}
