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
// entered: the tests seed links that point back above themselves.
inline void RemoveScratchTree(const std::string& path) {
  const DWORD attrs = GetFileAttributesA(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) && !(attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = fd.cFileName;
        if (name != "." && name != "..") RemoveScratchTree(path + "\\" + name);
      } while (FindNextFileA(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
  } else if (attrs & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveDirectoryA(path.c_str());
  } else {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
  }
}

}  // namespace tw::e2e
