#include "app/page.h"

#include <windows.h>

#include "resources/resource.h"

namespace tw {

bool CPage::CreatePage(HWND parent, const RECT& where) {
  HWND hwnd = Create(parent, m_templateId);
  if (!hwnd) hwnd = CreateEmpty(parent);  // a template missing from a language library
  if (!hwnd) return false;
  SetWindowPos(hwnd, nullptr, where.left, where.top, where.right - where.left,
               where.bottom - where.top, SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

INT_PTR CPage::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SHOWWINDOW && wp && m_hintId) {
    SendMessageA(GetParent(m_hWnd), WM_PAGE_HINT, m_hintId, 0);
  }
  if (msg == WM_DESTROY && m_hBackground) {
    DeleteObject(m_hBackground);
    m_hBackground = nullptr;
  }
  return CDialogBase::DialogProc(msg, wp, lp);
}

HBRUSH CPage::OnCtlColor(HDC dc, HWND control, UINT msg) {
  if (!m_hBackground) m_hBackground = CreateSolidBrush(RGB(222, 222, 222));
  if (msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    SetBkColor(dc, RGB(222, 222, 222));
    SetBkMode(dc, TRANSPARENT);
    return m_hBackground;
  }
  return nullptr;
}

}  // namespace tw
