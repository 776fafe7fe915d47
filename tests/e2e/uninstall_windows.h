// The uninstall page's windows inside the running program, found from the
// main window: shared by the page's end-to-end tests and its benchmark.
#pragma once

#include <windows.h>

#include <string>

#include "e2e/driver.h"

namespace tw::e2e {

struct UninstallPageWindows {
  HWND main = nullptr;
  HWND page = nullptr;
  HWND list = nullptr;

  // Waits for the main window, opens the page through its navigation button
  // and finds the software list.
  bool Open(CAppUnderTest& app) {
    main = app.WaitForWindow("Tidewell");
    if (!main) return false;
    ClickId(main, 1057);
    list = WaitForControl(main, 1065, "SysListView32");
    if (!list) return false;
    page = GetParent(list);
    return WaitFor([&] { return IsShown(list); });
  }
  // The row whose name (column 0) is name, or -1.
  int RowOf(const std::string& name) const {
    const int n = ListViewRowCount(list);
    for (int i = 0; i < n; ++i) {
      if (ListViewText(list, i, 0) == name) return i;
    }
    return -1;
  }
  bool WaitForRow(const std::string& name, DWORD timeoutMs = kTimeoutMs) const {
    return WaitFor([&] { return RowOf(name) >= 0; }, timeoutMs);
  }
};

}  // namespace tw::e2e
