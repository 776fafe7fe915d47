// Window subclassing through comctl32, found by ordinal: Windows XP's own
// comctl32 (5.82, the one a program without a Common Controls 6 manifest
// gets) exports SetWindowSubclass and its two partners by ordinal only, so
// a program that imports them by name does not start there.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace tw {

bool SubclassControl(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
bool RemoveControlSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR id);
LRESULT CallNextSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace tw
