#include "controls/owner_button.h"

#include <commctrl.h>
#include <windows.h>

#include "controls/resource_module.h"
#include "controls/window_subclass.h"
#include "resources/resource.h"

namespace tw {

namespace {
const char kButtonProp[] = "TwOwnerButton";
constexpr UINT_PTR kSubclassId = 0x7457;
}  // namespace

COwnerButton::COwnerButton() {
  m_colors[kBkNormal] = GetSysColor(COLOR_BTNFACE);
  m_colors[kFgNormal] = GetSysColor(COLOR_BTNTEXT);
  m_colors[kBkHover] = m_colors[kBkNormal];
  m_colors[kFgHover] = m_colors[kFgNormal];
  m_colors[kBkFocus] = m_colors[kBkNormal];
  m_colors[kFgFocus] = m_colors[kFgNormal];
}

COwnerButton::~COwnerButton() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    RemoveControlSubclass(m_hWnd, SubclassProc, kSubclassId);
    RemovePropA(m_hWnd, kButtonProp);
  }
  if (m_hTip && IsWindow(m_hTip)) DestroyWindow(m_hTip);
  if (m_hBitmap) DeleteObject(m_hBitmap);
}

bool COwnerButton::Attach(HWND dialog, int id) {
  m_hWnd = GetDlgItem(dialog, id);
  if (!m_hWnd) return false;
  LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
  SetWindowLongPtrA(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  SetPropA(m_hWnd, kButtonProp, this);
  SubclassControl(m_hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  InvalidateRect(m_hWnd, nullptr, TRUE);
  return true;
}

COwnerButton* COwnerButton::FromHwnd(HWND hwnd) {
  return hwnd ? static_cast<COwnerButton*>(GetPropA(hwnd, kButtonProp)) : nullptr;
}

void COwnerButton::SetBitmap(HBITMAP bitmap, COLORREF transparent) {
  if (m_hBitmap) DeleteObject(m_hBitmap);
  m_hBitmap = bitmap;
  m_transparent = transparent;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void COwnerButton::SetColor(Color which, COLORREF color, bool repaint) {
  m_colors[which] = color;
  if (repaint && m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void COwnerButton::SetFont(HFONT font) {
  m_hFont = font;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void COwnerButton::SetFlat(COLORREF border) {
  m_bFlat = true;
  m_border = border;
}

void COwnerButton::SetTooltip(const std::string& text) {
  if (!m_hWnd) return;
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = GetParent(m_hWnd);
  ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
  ti.lpszText = const_cast<char*>(text.c_str());
  if (!m_hTip) {
    m_hTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             GetParent(m_hWnd), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!m_hTip) return;
    SendMessageA(m_hTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  } else {
    SendMessageA(m_hTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void StyleFlatBlueButton(COwnerButton& b) {
  const COLORREF normal = RGB(8, 146, 214);
  const COLORREF hover = RGB(8 + 30, 146 + 30, 214 + 30);
  b.SetColor(COwnerButton::kBkNormal, normal, false);
  b.SetColor(COwnerButton::kFgNormal, RGB(255, 255, 255), false);
  b.SetColor(COwnerButton::kBkHover, hover, false);
  b.SetColor(COwnerButton::kFgHover, RGB(0, 128, 0), false);
  b.SetColor(COwnerButton::kBkFocus, normal, false);
  b.SetColor(COwnerButton::kFgFocus, RGB(255, 255, 255), false);
  b.SetFlat(RGB(192, 192, 192));
}

bool AttachButton(COwnerButton& button, HWND dialog, const ButtonTip& tip, bool flatBlue) {
  if (!button.Attach(dialog, tip.control)) return false;
  if (flatBlue) StyleFlatBlueButton(button);
  if (tip.tip) button.SetTooltip(LoadStr(tip.tip));
  return true;
}

void AttachButtons(HWND dialog, std::initializer_list<ButtonTip> table, bool flatBlue,
                   std::vector<std::unique_ptr<COwnerButton>>* buttons) {
  for (const ButtonTip& tip : table) {
    auto button = std::make_unique<COwnerButton>();
    if (AttachButton(*button, dialog, tip, flatBlue)) buttons->push_back(std::move(button));
  }
}

void DrawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, COLORREF transparent) {
  BITMAP bm;
  if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return;
  HDC src = CreateCompatibleDC(dc);
  HDC mask = CreateCompatibleDC(dc);
  HBITMAP maskBmp = CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, nullptr);
  HGDIOBJ oldSrc = SelectObject(src, bitmap);
  HGDIOBJ oldMask = SelectObject(mask, maskBmp);
  // Mask: 1 where the picture has the transparent colour.
  SetBkColor(src, transparent);
  BitBlt(mask, 0, 0, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCCOPY);
  COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
  COLORREF oldFg = SetTextColor(dc, RGB(0, 0, 0));
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCINVERT);
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mask, 0, 0, SRCAND);
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, src, 0, 0, SRCINVERT);
  SetBkColor(dc, oldBk);
  SetTextColor(dc, oldFg);
  SelectObject(src, oldSrc);
  SelectObject(mask, oldMask);
  DeleteObject(maskBmp);
  DeleteDC(mask);
  DeleteDC(src);
}

void COwnerButton::Draw(const DRAWITEMSTRUCT* item) {
  HDC dc = item->hDC;
  RECT rc = item->rcItem;
  bool focus = (item->itemState & ODS_FOCUS) != 0;
  bool pressed = (item->itemState & ODS_SELECTED) != 0;
  bool disabled = (item->itemState & ODS_DISABLED) != 0;
  COLORREF bk = m_colors[kBkNormal], fg = m_colors[kFgNormal];
  if (m_bHover && !disabled) {
    bk = m_colors[kBkHover];
    fg = m_colors[kFgHover];
  } else if (focus) {
    bk = m_colors[kBkFocus];
    fg = m_colors[kFgFocus];
  }
  HBRUSH brush = CreateSolidBrush(bk);
  FillRect(dc, &rc, brush);
  DeleteObject(brush);

  int offset = pressed ? 1 : 0;
  RECT textRc = rc;
  if (m_hBitmap) {
    BITMAP bm;
    GetObjectA(m_hBitmap, sizeof bm, &bm);
    int bx = rc.left + 6 + offset;
    int by = rc.top + (rc.bottom - rc.top - bm.bmHeight) / 2 + offset;
    DrawTransparentBitmap(dc, m_hBitmap, bx, by, m_transparent);
    textRc.left = bx + bm.bmWidth + 2;
  }
  char text[256];
  int n = GetWindowTextA(m_hWnd, text, sizeof text);
  HGDIOBJ oldFont = SelectObject(dc, m_hFont ? m_hFont : reinterpret_cast<HFONT>(
                                                              SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : fg);
  OffsetRect(&textRc, offset, offset);
  DrawTextA(dc, text, n, &textRc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);

  if (m_bFlat) {
    HBRUSH frame = CreateSolidBrush(m_border);
    FrameRect(dc, &rc, frame);
    DeleteObject(frame);
  } else if (pressed) {
    DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
  } else if (m_bHover) {
    DrawEdge(dc, &rc, BDR_RAISEDINNER, BF_RECT);
  }
}

LRESULT CALLBACK COwnerButton::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp,
                                            UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<COwnerButton*>(data);
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!self->m_bHover) {
        self->m_bHover = true;
        TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&tme);
        InvalidateRect(hwnd, nullptr, FALSE);
        SendMessageA(GetParent(hwnd), WM_BUTTON_HOVER, GetDlgCtrlID(hwnd), 0);
      }
      break;
    case WM_MOUSELEAVE:
      self->m_bHover = false;
      InvalidateRect(hwnd, nullptr, FALSE);
      SendMessageA(GetParent(hwnd), WM_BUTTON_LEAVE, GetDlgCtrlID(hwnd), 0);
      break;
    case WM_LBUTTONDBLCLK:
      // A quick second click is another click, not a double click.
      msg = WM_LBUTTONDOWN;
      break;
    default:
      break;
  }
  return CallNextSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace tw
