#include "controls/skin_dialog.h"

#include <windows.h>
#include <windowsx.h>

#include "resources/resource.h"

namespace tw {

namespace {
constexpr COLORREF kCaptionTop = RGB(11, 175, 255);
constexpr COLORREF kCaptionBottom = RGB(8, 146, 214);
constexpr int kButtonWidth = 20;

void GradientFill(HDC dc, const RECT& rc, COLORREF top, COLORREF bottom) {
  int h = rc.bottom - rc.top;
  for (int y = 0; y < h; ++y) {
    auto mix = [&](int a, int b) { return a + (b - a) * y / (h > 1 ? h - 1 : 1); };
    HBRUSH b = CreateSolidBrush(RGB(mix(GetRValue(top), GetRValue(bottom)),
                                    mix(GetGValue(top), GetGValue(bottom)),
                                    mix(GetBValue(top), GetBValue(bottom))));
    RECT line = {rc.left, rc.top + y, rc.right, rc.top + y + 1};
    FillRect(dc, &line, b);
    DeleteObject(b);
  }
}
}  // namespace

RECT CSkinDialog::CaptionRect() const {
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  rc.bottom = rc.top + m_captionHeight;
  return rc;
}

bool CSkinDialog::ButtonShown(int index) const {
  switch (index) {
    case kClose: return m_options.close;
    case kMinimise: return m_options.minimise;
    case kHelp: return m_options.help;
    case kLink: return m_options.link;
    default: return false;
  }
}

RECT CSkinDialog::ButtonRect(int index) const {
  // Buttons sit right to left in the order close, minimise, help, link.
  RECT cap = CaptionRect();
  int slot = 0;
  for (int i = 0; i < index; ++i) {
    if (ButtonShown(i)) ++slot;
  }
  int right = cap.right - 4 - slot * (kButtonWidth + 2);
  int h = m_captionHeight - 8;
  RECT rc = {right - kButtonWidth, cap.top + 4, right, cap.top + 4 + h};
  return rc;
}

int CSkinDialog::ButtonAt(POINT pt) const {
  for (int i = 0; i < kButtonCount; ++i) {
    RECT rc = ButtonRect(i);
    if (ButtonShown(i) && PtInRect(&rc, pt)) return i;
  }
  return -1;
}

bool CSkinDialog::IsOnCaptionDragArea(POINT pt) const {
  RECT cap = CaptionRect();
  return PtInRect(&cap, pt) && ButtonAt(pt) < 0;
}

void CSkinDialog::ApplySkin() {
  m_captionHeight = GetSystemMetrics(SM_CYCAPTION) + 6;
  RECT before;
  GetClientRect(m_hWnd, &before);
  LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
  style &= ~static_cast<LONG_PTR>(WS_DLGFRAME | WS_THICKFRAME);
  style |= WS_BORDER;
  SetWindowLongPtrA(m_hWnd, GWL_STYLE, style);
  LONG_PTR ex = GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE);
  ex &= ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
  SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, ex);
  // Same client area as the template, plus the caption on top.
  RECT want = {0, 0, before.right, before.bottom + m_captionHeight};
  AdjustWindowRectEx(&want, static_cast<DWORD>(style), FALSE, static_cast<DWORD>(ex));
  SetWindowPos(m_hWnd, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  for (HWND child = GetWindow(m_hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
    SetWindowPos(child, nullptr, rc.left, rc.top + m_captionHeight, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CSkinDialog::PaintCaption(HDC dc) {
  RECT cap = CaptionRect();
  GradientFill(dc, cap, kCaptionTop, kCaptionBottom);
  int x = cap.left + 6;
  HICON icon = reinterpret_cast<HICON>(SendMessageA(m_hWnd, WM_GETICON, ICON_SMALL, 0));
  if (icon) {
    DrawIconEx(dc, x, cap.top + (m_captionHeight - 16) / 2, icon, 16, 16, 0, nullptr, DI_NORMAL);
    x += 20;
  }
  char title[256];
  int n = GetWindowTextA(m_hWnd, title, sizeof title);
  NONCLIENTMETRICSA ncm = {};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  ncm.lfCaptionFont.lfWeight = FW_BOLD;
  HFONT font = CreateFontIndirectA(&ncm.lfCaptionFont);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT textRc = {x, cap.top, cap.right - 100, cap.bottom};
  DrawTextA(dc, title, n, &textRc, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteObject(font);

  HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  for (int i = 0; i < kButtonCount; ++i) {
    if (!ButtonShown(i)) continue;
    RECT rc = ButtonRect(i);
    HBRUSH face = CreateSolidBrush(i == m_hot ? RGB(13, 211, 255) : RGB(8, 146, 214));
    FillRect(dc, &rc, face);
    DeleteObject(face);
    HBRUSH frame = CreateSolidBrush(RGB(255, 255, 255));
    FrameRect(dc, &rc, frame);
    DeleteObject(frame);
    int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
    switch (i) {
      case kClose:
        MoveToEx(dc, cx - 4, cy - 4, nullptr);
        LineTo(dc, cx + 4, cy + 4);
        MoveToEx(dc, cx + 4, cy - 4, nullptr);
        LineTo(dc, cx - 4, cy + 4);
        break;
      case kMinimise:
        MoveToEx(dc, cx - 4, cy + 4, nullptr);
        LineTo(dc, cx + 5, cy + 4);
        break;
      case kHelp: {
        HGDIOBJ f = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextA(dc, "?", 1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, f);
        break;
      }
      case kLink:
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, cx - 5, cy - 5, cx + 6, cy + 6);
        MoveToEx(dc, cx - 5, cy, nullptr);
        LineTo(dc, cx + 6, cy);
        MoveToEx(dc, cx, cy - 5, nullptr);
        LineTo(dc, cx, cy + 6);
        break;
      default:
        break;
    }
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void CSkinDialog::PressButton(int index) {
  switch (index) {
    case kClose:
      PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
      break;
    case kMinimise:
      PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case kHelp:
      PostMessageA(m_hWnd, WM_COMMAND, m_options.helpCommand, 0);
      break;
    case kLink:
      OnLinkButton();
      break;
    default:
      break;
  }
}

INT_PTR CSkinDialog::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      ApplySkin();
      return CDialogBase::DialogProc(msg, wp, lp);
    case WM_PAINT: {
      if (IsIconic(m_hWnd)) break;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      PaintCaption(dc);
      EndPaint(m_hWnd, &ps);
      return TRUE;
    }
    case WM_MOUSEMOVE: {
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      int hot = ButtonAt(pt);
      if (hot != m_hot) {
        m_hot = hot;
        RECT cap = CaptionRect();
        InvalidateRect(m_hWnd, &cap, FALSE);
        if (hot >= 0) {
          TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, m_hWnd, 0};
          TrackMouseEvent(&tme);
        }
      }
      break;
    }
    case WM_MOUSELEAVE:
      if (m_hot >= 0) {
        m_hot = -1;
        RECT cap = CaptionRect();
        InvalidateRect(m_hWnd, &cap, FALSE);
      }
      break;
    case WM_LBUTTONDOWN: {
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      m_pressed = ButtonAt(pt);
      if (m_pressed >= 0) {
        SetCapture(m_hWnd);
        return TRUE;
      }
      if (IsOnCaptionDragArea(pt)) {
        // A press on the drawn caption moves the window as the system caption would.
        POINT screen = pt;
        ClientToScreen(m_hWnd, &screen);
        PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONUP: {
      if (m_pressed >= 0) {
        POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        int index = m_pressed;
        m_pressed = -1;
        ReleaseCapture();
        if (ButtonAt(pt) == index) PressButton(index);
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return CDialogBase::DialogProc(msg, wp, lp);
}

}  // namespace tw
