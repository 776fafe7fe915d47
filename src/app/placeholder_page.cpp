#include "app/placeholder_page.h"

#include <windows.h>

namespace tw {

bool CPlaceholderPage::CreatePage(HWND parent, const RECT& where) {
  HWND hwnd = CreateEmpty(parent);
  if (!hwnd) return false;
  SetWindowPos(hwnd, nullptr, where.left, where.top, where.right - where.left,
               where.bottom - where.top, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

}  // namespace tw
