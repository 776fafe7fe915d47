#include "controls/message_dialog.h"

#include <windows.h>

#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

namespace {
CSkinDialog::Options MessageOptions() {
  CSkinDialog::Options o;
  o.minimise = false;
  return o;
}
}  // namespace

CMessageDialog::CMessageDialog(const std::string& text, int style)
    : CSkinDialog(MessageOptions()), m_text(text), m_style(style) {}

CMessageDialog::CMessageDialog(UINT textId, int style)
    : CSkinDialog(MessageOptions()), m_text(LoadStr(textId)), m_style(style) {}

int CMessageDialog::Show(HWND parent) {
  INT_PTR r = DoModal(parent, IDD_160);
  if (m_hBackground) {
    DeleteObject(m_hBackground);
    m_hBackground = nullptr;
  }
  return r == 1 ? 1 : 2;
}

BOOL CMessageDialog::OnInit() {
  m_hBackground = CreateSolidBrush(RGB(222, 222, 222));
  SetWindowTextA(m_hWnd, LoadStr(IDS_57755).c_str());
  SetDlgItemTextA(m_hWnd, IDC_1081, m_text.c_str());
  HICON icon = LoadIconA(GetResourceInstance(), MAKEINTRESOURCEA(IDI_163));
  if (icon) SendDlgItemMessageA(m_hWnd, IDC_1080, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  const struct {
    int id;
    UINT text;
  } buttons[3] = {{IDOK, IDS_57866}, {IDC_1082, IDS_57867}, {IDC_1083, IDS_57868}};
  for (int i = 0; i < 3; ++i) {
    if (!m_buttons[i].Attach(m_hWnd, buttons[i].id)) continue;
    StyleFlatBlueButton(m_buttons[i]);
    std::string text = LoadStr(buttons[i].text);
    if (!text.empty()) SetDlgItemTextA(m_hWnd, buttons[i].id, text.c_str());
  }
  bool ok = m_style == kOk;
  ShowWindow(Item(IDOK), ok ? SW_SHOW : SW_HIDE);
  ShowWindow(Item(IDC_1082), ok ? SW_HIDE : SW_SHOW);
  ShowWindow(Item(IDC_1083), ok ? SW_HIDE : SW_SHOW);
  // Centre on the owner, or on the screen when there is none.
  RECT me, over;
  GetWindowRect(m_hWnd, &me);
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  if (owner && IsWindowVisible(owner)) {
    GetWindowRect(owner, &over);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0);
  }
  int w = me.right - me.left, h = me.bottom - me.top;
  SetWindowPos(m_hWnd, nullptr, over.left + (over.right - over.left - w) / 2,
               over.top + (over.bottom - over.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetForegroundWindow(m_hWnd);
  SetFocus(Item(ok ? IDOK : IDC_1082));
  return FALSE;
}

bool CMessageDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
    case IDC_1082:
      End(1);
      return true;
    case IDCANCEL:
    case IDC_1083:
      End(2);
      return true;
    default:
      return false;
  }
}

HBRUSH CMessageDialog::OnCtlColor(HDC dc, HWND control, UINT msg) {
  if (msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC) {
    SetBkColor(dc, RGB(222, 222, 222));
    return m_hBackground;
  }
  return nullptr;
}

}  // namespace tw
