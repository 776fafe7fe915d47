#include "controls/hyperlink.h"

#include <commctrl.h>
#include <windows.h>

#include "controls/resource_module.h"
#include "controls/window_subclass.h"

namespace tw {

namespace {
constexpr UINT_PTR kSubclassId = 0x7458;
}

CHyperLink::~CHyperLink() {
  if (m_hWnd && IsWindow(m_hWnd)) RemoveControlSubclass(m_hWnd, SubclassProc, kSubclassId);
  if (m_hFont) DeleteObject(m_hFont);
}

bool CHyperLink::Attach(HWND dialog, int id, const std::string& url) {
  m_hWnd = GetDlgItem(dialog, id);
  if (!m_hWnd) return false;
  m_url = url;
  SetWindowLongPtrA(m_hWnd, GWL_STYLE, GetWindowLongPtrA(m_hWnd, GWL_STYLE) | SS_NOTIFY);
  if (GetWindowTextLengthA(m_hWnd) == 0) SetWindowTextA(m_hWnd, url.c_str());
  LOGFONTA lf = {};
  HFONT base = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
  if (!base) base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  GetObjectA(base, sizeof lf, &lf);
  lf.lfUnderline = TRUE;
  m_hFont = CreateFontIndirectA(&lf);
  SubclassControl(m_hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  InvalidateRect(m_hWnd, nullptr, TRUE);
  return true;
}

void CHyperLink::SetColors(COLORREF link, COLORREF visited, COLORREF hover) {
  m_link = link;
  m_visited = visited;
  m_hover = hover;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CHyperLink::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  HBRUSH bk = CreateSolidBrush(m_background);
  FillRect(dc, &rc, bk);
  DeleteObject(bk);
  char text[512];
  int n = GetWindowTextA(m_hWnd, text, sizeof text);
  HGDIOBJ old = SelectObject(dc, m_hFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, m_bHover ? m_hover : (m_bVisited ? m_visited : m_link));
  DrawTextA(dc, text, n, &rc, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  EndPaint(m_hWnd, &ps);
}

LRESULT CALLBACK CHyperLink::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                          DWORD_PTR data) {
  auto* self = reinterpret_cast<CHyperLink*>(data);
  switch (msg) {
    case WM_PAINT:
      self->Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (!self->m_bHover) {
        self->m_bHover = true;
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&tme);
        InvalidateRect(hwnd, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      self->m_bHover = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_LBUTTONUP:
      self->m_bVisited = true;
      InvalidateRect(hwnd, nullptr, FALSE);
      ShellOpen(self->m_url);
      return 0;
    default:
      break;
  }
  return CallNextSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tw
