// The registry page's windows inside the running program, found from the
// main window: shared by the page's end-to-end tests and its benchmark.
#pragma once

#include <windows.h>

#include "e2e/driver.h"

namespace tw::e2e {

struct RegistryPageWindows {
  HWND main = nullptr;
  HWND page = nullptr;
  HWND categories = nullptr;
  HWND results = nullptr;
  HWND status = nullptr;

  // Waits for the main window, opens the page through its navigation button
  // and finds the category list, the result list and the status bar.
  bool Open(CAppUnderTest& app) {
    main = app.WaitForWindow("Tidewell");
    if (!main) return false;
    ClickId(main, 1001);
    results = WaitForControl(main, 1004, "SysListView32");
    categories = WaitForControl(main, 1003, "ListBox");
    if (!results || !categories) return false;
    page = GetParent(results);
    auto bars = FindControls(main, "msctls_statusbar32");
    status = bars.empty() ? nullptr : bars.front();
    return status != nullptr && WaitFor([&] { return IsShown(results); });
  }
};

}  // namespace tw::e2e
