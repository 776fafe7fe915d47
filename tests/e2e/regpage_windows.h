// The pages' windows inside the running program, found from the main window,
// and the folder tree (the registry page's folder chooser and the junk-file
// page share it) driven in the program's memory: shared by the pages'
// end-to-end tests and their benchmarks.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace tw::e2e {

// What every page with a result list has: found from the main window once
// the page's navigation button has opened it.
struct PageWindows {
  HWND main = nullptr;
  HWND page = nullptr;
  HWND results = nullptr;
  HWND status = nullptr;

  // Waits for the main window, clicks navigation button `nav`, waits for the
  // page's control `anchorId` (its parent is the page) and finds the result
  // list and the status bar.
  HWND OpenPage(CAppUnderTest& app, int nav, int anchorId, const char* anchorClass, int resultsId) {
    main = app.WaitForWindow("Tidewell");
    if (!main) return nullptr;
    ClickId(main, nav);
    HWND anchor = WaitForControl(main, anchorId, anchorClass);
    if (!anchor) return nullptr;
    page = GetParent(anchor);
    results = FindControl(page, resultsId, "SysListView32");
    auto bars = FindControls(main, "msctls_statusbar32");
    status = bars.empty() ? nullptr : bars.front();
    return results && status && WaitFor([&] { return IsShown(anchor); }) ? anchor : nullptr;
  }
  std::string Pane(int i) const {
    auto texts = StatusBarTexts(status);
    return i < static_cast<int>(texts.size()) ? texts[i] : std::string();
  }
  bool WaitForPane(int i, const std::string& text, DWORD timeout = kTimeoutMs) const {
    return WaitFor([&] { return Pane(i) == text; }, timeout);
  }
};

struct RegistryPageWindows : PageWindows {
  HWND categories = nullptr;

  bool Open(CAppUnderTest& app) {
    if (!OpenPage(app, 1001, 1004, "SysListView32", 1004)) return false;
    categories = FindControl(page, 1003, "ListBox");
    return categories != nullptr;
  }
  HWND Button(int id) const { return FindControl(page, id); }
  // Clicks scan and waits for the scan's end in the status bar.
  bool Scan(DWORD timeout) {
    Click(Button(1035));
    return WaitForPane(0, "扫描完成.", timeout);
  }
  // Ticks the rows, clicks "delete the checked" and waits until as many
  // rows have left the list.
  bool DeleteRows(const std::vector<int>& rows) {
    const int before = ListViewRowCount(results);
    for (int row : rows) {
      if (!ListViewSetChecked(results, row, true)) return false;
    }
    Click(Button(1007));
    return WaitFor([&] { return ListViewRowCount(results) == before - static_cast<int>(rows.size()); });
  }
  // Leaves only the categories at the given list positions ticked.
  void TickOnly(const std::set<int>& rows) {
    Command(page, 32781);  // check none
    for (int row : rows) {
      SendMessageW(categories, LB_SETCARETINDEX, row, FALSE);
      Command(page, 1003, LBN_DBLCLK, categories);
      Sleep(150);  // the toggle is posted; let it land before the next caret move
    }
    Sleep(200);
  }
};

// --- the folder tree, driven in the program's memory ----------------------------

// TVITEMW as a 32-bit program lays it out (pointers, handles and LPARAM as
// 32-bit numbers).
struct TvItem32 {
  UINT mask;
  std::uint32_t hItem;
  UINT state;
  UINT stateMask;
  std::uint32_t pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  std::uint32_t lParam;
};

// Reads an item's text from the program's tree view, in the layout of the
// program's own width.
inline std::string TreeItemText(HWND tree, HTREEITEM item) {
  DWORD pid = 0;
  GetWindowThreadProcessId(tree, &pid);
  HANDLE process = OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
      pid);
  if (!process) return {};
  BOOL wow64 = FALSE;
  if (!IsWow64Process(process, &wow64)) wow64 = FALSE;
  const SIZE_T size = sizeof(TVITEMW) + 520 * sizeof(wchar_t);
  char* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  std::string out;
  if (remote) {
    char* text = remote + sizeof(TVITEMW);
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = reinterpret_cast<wchar_t*>(text);
    tv.cchTextMax = 520;
    TvItem32 tv32{};
    tv32.mask = TVIF_TEXT;
    tv32.hItem = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(item));
    tv32.pszText = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(text));
    tv32.cchTextMax = 520;
    SIZE_T done = 0;
    DWORD_PTR result = 0;
    const bool written = wow64 ? WriteProcessMemory(process, remote, &tv32, sizeof(tv32), &done)
                               : WriteProcessMemory(process, remote, &tv, sizeof(tv), &done);
    if (written &&
        SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, 5000, &result) &&
        result) {
      wchar_t buf[520] = {};
      ReadProcessMemory(process, text, buf, sizeof(buf) - 2, &done);
      out = Narrow(buf);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return out;
}

inline HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// The child of `parent` whose text ends with `suffix`, after opening parent.
inline HTREEITEM TreeChild(HWND tree, HTREEITEM parent, const std::string& suffix) {
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  for (HTREEITEM c = TreeNext(tree, parent, TVGN_CHILD); c; c = TreeNext(tree, c, TVGN_NEXT)) {
    const std::string text = TreeItemText(tree, c);
    if (text.size() >= suffix.size() &&
        _stricmp(text.substr(text.size() - suffix.size()).c_str(), suffix.c_str()) == 0) {
      return c;
    }
  }
  return nullptr;
}

inline bool TreeTicked(HWND tree, HTREEITEM item) {
  const LRESULT state = SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                     TVIS_STATEIMAGEMASK);
  return (state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

// Selects the item and presses the space key on it, as a user ticks a box.
inline void TreeTick(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(tree, WM_KEYUP, VK_SPACE, 0);
  WaitFor([&] { return false; }, 300);
}

}  // namespace tw::e2e
