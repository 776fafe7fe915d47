#include "app/status_strip.h"

#include <windows.h>
#include <windowsx.h>

#include "platform/run_control.h"
#include "app/shell_hooks.h"
#include "controls/new_menu.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

namespace {
CStatusStrip* g_strip = nullptr;
constexpr COLORREF kBackground = RGB(222, 222, 222);
constexpr COLORREF kFrame = RGB(51, 102, 204);
// The template's placeholders: the icon, then the time, count and status
// fields, which the strip paints itself.
constexpr int kIconField = IDC_1005;
constexpr int kTimeField = IDC_1062;
constexpr int kCountField = IDC_1063;
constexpr int kStatusField = IDC_1064;

RECT ToRect(const StripRect& r) { return {r.left, r.top, r.right, r.bottom}; }

HFONT IconTitleFont() {
  LOGFONTA lf = {};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0);
  return CreateFontIndirectA(&lf);
}
}  // namespace

CStatusStrip* GetStatusStrip() { return g_strip; }
void SetStatusStrip(CStatusStrip* strip) { g_strip = strip; }

void ShowTrayMenu(HWND owner, POINT screen, const char* where) {
  CNewMenu menu;
  if (!menu.LoadPopup(GetResourceInstance(), IDR_131)) return;
  menu.SetSideTitle(LoadStr(IDS_57755));
  auto items = TrayMenuItems(g_bScanning != 0, g_bPauseRequested != 0);
  for (const auto& item : items) {
    menu.SetItemText(item.command, LoadStr(item.textId));
    menu.SetItemGrayed(item.command, item.grayed);
  }
  if (TestHooks().menuShown) TestHooks().menuShown(where, items);
  menu.Track(owner, screen);
  // Lets the menu close when the user clicks elsewhere.
  PostMessageA(owner, WM_NULL, 0, 0);
}

CStatusStrip::~CStatusStrip() {
  if (m_hImages) ImageList_Destroy(m_hImages);
  if (m_hBackground) DeleteObject(m_hBackground);
  if (m_hFont) DeleteObject(m_hFont);
}

bool CStatusStrip::CreateStrip() {
  m_hBackground = CreateSolidBrush(kBackground);
  // Made once: a scan sends its progress several times a second, and a font
  // made for every text cost each of them milliseconds.
  m_hFont = IconTitleFont();
  if (!Create(nullptr, IDD_171)) return false;
  // The strip has no caption of its own; the second instance must never take
  // it for the main window.
  SetWindowTextA(m_hWnd, "");
  SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE,
                    GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  SetWindowPos(m_hWnd, HWND_TOPMOST, GetSystemMetrics(SM_CXFULLSCREEN) - 10 - w, 5, w, h,
               SWP_NOACTIVATE);
  return true;
}

BOOL CStatusStrip::OnInit() {
  for (int id : {kIconField, kTimeField, kCountField, kStatusField}) ShowWindow(Item(id), SW_HIDE);
  return FALSE;
}

void CStatusStrip::EnsureLayout() {
  if (!m_layout.grip.IsEmpty()) return;
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  m_layout = ComputeStripLayout({rc.left, rc.top, rc.right, rc.bottom});
}

RECT CStatusStrip::Inner(int box) const {
  RECT r = ToRect(m_layout.box[box]);
  r.left += 3;
  r.top += 2;
  if (box == 2) r.right -= 3;
  return r;
}

void CStatusStrip::DrawBoxText(HDC dc, int box) {
  RECT inner = Inner(box);
  FillRect(dc, &inner, m_hBackground);
  HGDIOBJ old = SelectObject(dc, m_hFont);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  const std::string& t = m_texts.Text(box);
  DrawTextA(dc, t.c_str(), static_cast<int>(t.size()), &inner,
            DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
}

void CStatusStrip::SetTexts(const std::string& box1, const std::string& box2,
                            const std::string& box3) {
  unsigned changed = m_texts.SetTexts(box1, box2, box3);
  if (!changed || !m_hWnd) return;
  // A hidden strip draws nothing; showing it paints the texts kept here.
  if (!IsWindowVisible(m_hWnd)) return;
  EnsureLayout();
  HDC dc = GetDC(m_hWnd);
  for (int i = 0; i < 3; ++i) {
    if (!(changed & (1u << i))) continue;
    if (dc) {
      DrawBoxText(dc, i);
    } else {
      RECT r = Inner(i);
      InvalidateRect(m_hWnd, &r, FALSE);
    }
  }
  if (dc) ReleaseDC(m_hWnd, dc);
}

void CStatusStrip::Paint(HDC target) {
  EnsureLayout();
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  HDC dc = CreateCompatibleDC(target);
  HBITMAP bmp = CreateCompatibleBitmap(target, rc.right, rc.bottom);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  FillRect(dc, &rc, m_hBackground);

  HBRUSH frame = CreateSolidBrush(kFrame);
  FrameRect(dc, &rc, frame);
  DeleteObject(frame);

  if (!m_hImages) {
    m_hImages = ImageList_Create(15, 15, ILC_COLOR24 | ILC_MASK, 1, 1);
    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageA(GetResourceInstance(), MAKEINTRESOURCEA(IDB_172), IMAGE_BITMAP, 0, 0, 0));
    if (strip) {
      ImageList_AddMasked(m_hImages, strip, kBackground);
      DeleteObject(strip);
    }
  }
  ImageList_Draw(m_hImages, 0, dc, m_layout.icon.left + 1, m_layout.icon.top + 1, ILD_TRANSPARENT);

  HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
  for (int i = 0; i < 3; ++i) {
    RECT b = ToRect(m_layout.box[i]);
    HGDIOBJ oldPen = SelectObject(dc, white);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, b.left, b.top, b.right, b.bottom);
    SelectObject(dc, grey);
    MoveToEx(dc, b.left, b.bottom - 2, nullptr);
    LineTo(dc, b.left, b.top);
    LineTo(dc, b.right - 1, b.top);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DrawBoxText(dc, i);
  }
  RECT g = ToRect(m_layout.grip);
  HGDIOBJ oldPen = SelectObject(dc, grey);
  MoveToEx(dc, g.left + 1, g.top + 1, nullptr);
  LineTo(dc, g.left + 1, g.bottom - 1);
  SelectObject(dc, white);
  MoveToEx(dc, g.left + 2, g.top + 1, nullptr);
  LineTo(dc, g.left + 2, g.bottom - 1);
  SelectObject(dc, oldPen);
  DeleteObject(white);
  DeleteObject(grey);

  BitBlt(target, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldBmp);
  DeleteObject(bmp);
  DeleteDC(dc);
}

void CStatusStrip::OnMouseMove(POINT pt) {
  EnsureLayout();
  if (m_bResizing) {
    int dx = pt.x - m_last.x;
    if (dx == 0) return;
    if (!CanResizeStrip(m_layout, dx)) {
      POINT back = {m_last.x - 1, m_last.y};
      ClientToScreen(m_hWnd, &back);
      SetCursorPos(back.x, back.y);
      return;
    }
    RECT wr;
    GetWindowRect(m_hWnd, &wr);
    SetWindowPos(m_hWnd, nullptr, 0, 0, wr.right - wr.left + dx, wr.bottom - wr.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ResizeStripLayout(&m_layout, dx);
    InvalidateRect(m_hWnd, nullptr, FALSE);
    m_last = pt;
    return;
  }
  if (m_layout.grip.Contains(pt.x, pt.y)) {
    SetCapture(m_hWnd);
    SetCursor(LoadCursor(nullptr, IDC_SIZEWE));
  } else {
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    if (GetCapture() == m_hWnd) ReleaseCapture();
  }
}

void CStatusStrip::ShowMenu(POINT client) {
  POINT screen = client;
  ClientToScreen(m_hWnd, &screen);
  HWND owner = GetAppMainWindow();
  ShowTrayMenu(owner ? owner : m_hWnd, screen, "strip");
}

INT_PTR CStatusStrip::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      Paint(dc);
      EndPaint(m_hWnd, &ps);
      return TRUE;
    }
    case WM_ERASEBKGND:
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_LBUTTONDOWN: {
      EnsureLayout();
      RECT rc;
      GetClientRect(m_hWnd, &rc);
      if (m_layout.grip.Contains(pt.x, pt.y)) {
        m_bResizing = true;
        m_last = pt;
        SetCapture(m_hWnd);
      } else {
        m_bResizing = false;
        if (pt.x < rc.right - 4) {
          POINT screen = pt;
          ClientToScreen(m_hWnd, &screen);
          if (GetCapture() == m_hWnd) ReleaseCapture();
          PostMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
        }
      }
      return TRUE;
    }
    case WM_MOUSEMOVE:
      OnMouseMove(pt);
      return TRUE;
    case WM_LBUTTONUP:
      m_bResizing = false;
      if (GetCapture() == m_hWnd) ReleaseCapture();
      if (m_layout.icon.Contains(pt.x, pt.y)) ShowMenu(pt);
      return TRUE;
    case WM_NCLBUTTONUP: {
      POINT client = pt;
      ScreenToClient(m_hWnd, &client);
      if (m_layout.icon.Contains(client.x, client.y)) ShowMenu(client);
      break;
    }
    case WM_RBUTTONUP:
      ShowMenu(pt);
      return TRUE;
    default:
      break;
  }
  return CDialogBase::DialogProc(msg, wp, lp);
}

}  // namespace tw
