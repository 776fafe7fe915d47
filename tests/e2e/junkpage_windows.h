// The junk-file page's windows inside the running program, and the scratch
// trees its tests and benchmark seed: shared by the page's end-to-end tests
// and its benchmark.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "e2e/driver.h"
#include "e2e/regpage_windows.h"

namespace tw::e2e {

struct JunkPageWindows : PageWindows {
  HWND tree = nullptr;
  HWND types = nullptr;

  // Opens the page through its navigation button; it shows its settings view.
  bool Open(CAppUnderTest& app) {
    types = OpenPage(app, 1002, 1023, "SysListView32", 1016);
    tree = types ? FindControl(page, 1012, "SysTreeView32") : nullptr;
    return tree != nullptr;
  }
  HWND Button(int id) const { return FindControl(page, id); }
  // Leaves only the folder at drive\folder ticked in the tree.
  bool TickOnly(const std::string& driveSuffix, const std::string& folder) {
    HTREEITEM root = TreeNext(tree, nullptr, TVGN_ROOT);
    TreeTick(tree, root);  // unticks the root and everything below
    HTREEITEM drive = TreeChild(tree, root, driveSuffix);
    HTREEITEM item = drive ? TreeChild(tree, drive, folder) : nullptr;
    if (!item) return false;
    TreeTick(tree, item);
    return true;
  }
};

// Removes a seeded tree. A linked folder is removed as a link, never
// entered: the tests seed links that point back above themselves. Wide
// calls throughout: a seeded name may have no form in the ANSI code page.
inline void RemoveScratchTreeW(const std::wstring& path) {
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") RemoveScratchTreeW(path + L"\\" + name);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
  } else if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveDirectoryW(path.c_str());
  } else {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  }
}

inline void RemoveScratchTree(const std::string& path) { RemoveScratchTreeW(Widen(path)); }

}  // namespace tw::e2e
