// A page whose work is one list view (uninstall, browser plug-ins), found
// from the main window: shared by those pages' end-to-end tests and the
// uninstall benchmark.
#pragma once

#include <windows.h>

#include <string>

#include "e2e/driver.h"

namespace tw::e2e {

struct ListPageWindows {
  HWND main = nullptr;
  HWND page = nullptr;
  HWND list = nullptr;

  // Waits for the main window, opens the page through its navigation button
  // and waits for its list to show.
  bool Open(CAppUnderTest& app, int navButton, int listId) {
    main = app.WaitForWindow("Tidewell");
    if (!main) return false;
    ClickId(main, navButton);
    list = WaitForControl(main, listId, "SysListView32");
    if (!list) return false;
    page = GetParent(list);
    return WaitFor([&] { return IsShown(list); });
  }
  // The first row with a cell that reads text, or -1.
  int RowOf(const std::string& text) const {
    const auto rows = ListViewRows(list);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
      for (const auto& cell : rows[i]) {
        if (cell == text) return i;
      }
    }
    return -1;
  }
  bool WaitForRow(const std::string& text, DWORD timeoutMs = kTimeoutMs) const {
    return WaitFor([&] { return RowOf(text) >= 0; }, timeoutMs);
  }
  // Selects the row with text and clicks the page's button; false when no
  // row has it.
  bool SelectAndClick(const std::string& text, int button) const {
    const int row = RowOf(text);
    if (row < 0 || !ListViewSelect(list, row)) return false;
    return Click(FindControl(page, button));
  }
};

}  // namespace tw::e2e
