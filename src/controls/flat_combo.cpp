#include "controls/flat_combo.h"

#include <commctrl.h>
#include <windows.h>

#include "controls/window_subclass.h"

namespace tw {

namespace {
constexpr UINT_PTR kSubclassId = 0x7459;
}

CFlatComboBox::~CFlatComboBox() {
  if (m_hWnd && IsWindow(m_hWnd)) RemoveControlSubclass(m_hWnd, SubclassProc, kSubclassId);
}

bool CFlatComboBox::Attach(HWND dialog, int id) {
  m_hWnd = GetDlgItem(dialog, id);
  if (!m_hWnd) return false;
  SubclassControl(m_hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

void CFlatComboBox::PaintFlat() {
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  HDC dc = GetDC(m_hWnd);
  // Cover the sunken edge with the frame colour and the face colour.
  HBRUSH frame = CreateSolidBrush(RGB(128, 128, 128));
  HBRUSH face = CreateSolidBrush(RGB(222, 222, 222));
  FrameRect(dc, &rc, frame);
  RECT inner = rc;
  InflateRect(&inner, -1, -1);
  FrameRect(dc, &inner, face);
  // The drop-down button: a flat face with a small black arrow.
  int bw = GetSystemMetrics(SM_CXVSCROLL);
  RECT button = {rc.right - bw - 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
  FillRect(dc, &button, face);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2 - 1;
  for (int i = 0; i < 4; ++i) {
    MoveToEx(dc, cx - 3 + i, cy + i, nullptr);
    LineTo(dc, cx + 4 - i, cy + i);
  }
  SelectObject(dc, oldPen);
  MoveToEx(dc, button.left - 1, button.top, nullptr);
  HGDIOBJ oldPen2 = SelectObject(dc, CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
  LineTo(dc, button.left - 1, button.bottom);
  DeleteObject(SelectObject(dc, oldPen2));
  DeleteObject(frame);
  DeleteObject(face);
  ReleaseDC(m_hWnd, dc);
}

LRESULT CALLBACK CFlatComboBox::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                             DWORD_PTR data) {
  auto* self = reinterpret_cast<CFlatComboBox*>(data);
  LRESULT r = CallNextSubclassProc(hwnd, msg, wp, lp);
  if (msg == WM_PAINT || msg == WM_SETFOCUS || msg == WM_KILLFOCUS || msg == CB_SETCURSEL ||
      msg == WM_ENABLE) {
    self->PaintFlat();
  }
  return r;
}

}  // namespace tw
