// The junk-file page's windows inside the running program, found from the
// main window, and the folder tree driven in the program's memory: shared by
// the page's end-to-end tests and its benchmark.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "e2e/driver.h"

namespace tw::e2e {

// Reads an item's text from the program's tree view.
inline std::string JunkTreeItemText(HWND tree, HTREEITEM item) {
  DWORD pid = 0;
  GetWindowThreadProcessId(tree, &pid);
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return {};
  const SIZE_T size = sizeof(TVITEMW) + 520 * sizeof(wchar_t);
  char* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  std::string out;
  if (remote) {
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TVITEMW));
    tv.cchTextMax = 520;
    SIZE_T done = 0;
    DWORD_PTR result = 0;
    if (WriteProcessMemory(process, remote, &tv, sizeof(tv), &done) &&
        SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, 5000, &result) &&
        result) {
      wchar_t text[520] = {};
      ReadProcessMemory(process, remote + sizeof(TVITEMW), text, sizeof(text) - 2, &done);
      out = Narrow(text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return out;
}

inline HTREEITEM JunkTreeNext(HWND tree, HTREEITEM item, UINT how) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

// The child of `parent` whose text ends with `suffix`, after opening parent.
inline HTREEITEM JunkTreeChild(HWND tree, HTREEITEM parent, const std::string& suffix) {
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  for (HTREEITEM c = JunkTreeNext(tree, parent, TVGN_CHILD); c;
       c = JunkTreeNext(tree, c, TVGN_NEXT)) {
    const std::string text = JunkTreeItemText(tree, c);
    if (text.size() >= suffix.size() &&
        _stricmp(text.substr(text.size() - suffix.size()).c_str(), suffix.c_str()) == 0) {
      return c;
    }
  }
  return nullptr;
}

// Selects the item and presses the space key on it, as a user ticks a box.
inline void JunkTreeTick(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageW(tree, WM_KEYUP, VK_SPACE, 0);
  WaitFor([&] { return false; }, 300);
}

struct JunkPageWindows {
  HWND main = nullptr;
  HWND page = nullptr;
  HWND tree = nullptr;
  HWND results = nullptr;
  HWND types = nullptr;
  HWND status = nullptr;

  // Waits for the main window, opens the page through its navigation button
  // and finds the tree, both lists and the status bar.
  bool Open(CAppUnderTest& app) {
    main = app.WaitForWindow("Tidewell");
    if (!main) return false;
    ClickId(main, 1002);
    types = WaitForControl(main, 1023, "SysListView32");
    tree = WaitForControl(main, 1012, "SysTreeView32");
    if (!types || !tree) return false;
    page = GetParent(types);
    results = FindControl(page, 1016, "SysListView32");
    auto bars = FindControls(main, "msctls_statusbar32");
    status = bars.empty() ? nullptr : bars.front();
    return results && status && WaitFor([&] { return IsShown(types); });
  }
  // Leaves only the folder at drive\folder ticked in the tree.
  bool TickOnly(const std::string& driveSuffix, const std::string& folder) {
    HTREEITEM root = JunkTreeNext(tree, nullptr, TVGN_ROOT);
    JunkTreeTick(tree, root);  // unticks the root and everything below
    HTREEITEM drive = JunkTreeChild(tree, root, driveSuffix);
    if (!drive) return false;
    HTREEITEM item = JunkTreeChild(tree, drive, folder);
    if (!item) return false;
    JunkTreeTick(tree, item);
    return true;
  }
  std::string Pane(int i) const {
    auto texts = StatusBarTexts(status);
    return i < static_cast<int>(texts.size()) ? texts[i] : std::string();
  }
  bool WaitForPane(int i, const std::string& text, DWORD timeout) const {
    return WaitFor([&] { return Pane(i) == text; }, timeout);
  }
};

}  // namespace tw::e2e
