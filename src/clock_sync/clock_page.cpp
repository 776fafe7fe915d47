#include "clock_sync/clock_page.h"

#include <windows.h>
#include <commctrl.h>

#include "platform/system_clock.h"
#include "resources/resource.h"

namespace tw {
namespace {

const COLORREF kPageColour = RGB(222, 222, 222);

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

struct ButtonTip {
  int control;
  unsigned text;
};
const ButtonTip kButtonTips[] = {
    {IDC_1040, IDS_57850}, {IDC_1041, IDS_57851}, {IDC_1042, IDS_57852},
    {IDC_1043, IDS_57853}, {IDC_1058, IDS_57854},
};

}  // namespace

CClockPage::~CClockPage() {
  if (m_hBackground) DeleteObject(m_hBackground);
}

HWND CClockPage::Create(HWND parent, HINSTANCE resources) {
  if (m_hWnd) return m_hWnd;
  m_hResources = resources;
  CreateDialogParamA(resources, MAKEINTRESOURCEA(IDD_145), parent, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  return m_hWnd;
}

INT_PTR CALLBACK CClockPage::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CClockPage* page;
  if (msg == WM_INITDIALOG) {
    page = reinterpret_cast<CClockPage*>(lp);
    SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    page->m_hWnd = hwnd;
  } else {
    page = reinterpret_cast<CClockPage*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  if (!page) return FALSE;
  // Nothing thrown inside may cross into user32.
  try {
    return page->OnMessage(msg, wp, lp);
  } catch (...) {
    return FALSE;
  }
}

INT_PTR CClockPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_SHOWWINDOW:
      if (wp) SendMessageA(GetParent(m_hWnd), WM_PAGE_HINT, IDS_57808, 0);
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDC_1058 && HIWORD(wp) == BN_CLICKED) {
        OnSynchronise();
        return TRUE;
      }
      return FALSE;
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(m_hBackground);
    case WM_CTLCOLORSTATIC:
      // The read-only log keeps the system's edit colours.
      if (reinterpret_cast<HWND>(lp) == GetDlgItem(m_hWnd, IDC_1039)) return FALSE;
      SetBkColor(reinterpret_cast<HDC>(wp), kPageColour);
      return reinterpret_cast<INT_PTR>(m_hBackground);
    case WM_DESTROY:
      m_hWnd = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void CClockPage::OnInitDialog() {
  if (!m_hBackground) m_hBackground = CreateSolidBrush(kPageColour);

  m_hTooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                               m_hWnd, nullptr, nullptr, nullptr);
  for (const ButtonTip& tip : kButtonTips) {
    HWND button = GetDlgItem(m_hWnd, tip.control);
    if (!button) continue;
    std::string text = LoadText(tip.text);
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(button);
    ti.lpszText = text.data();
    if (m_hTooltip) SendMessageA(m_hTooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }

  HWND list = GetDlgItem(m_hWnd, IDC_1038);
  struct Column {
    const wchar_t* title;
    int width;
  };
  const Column columns[] = {{L"DNS 名称", 170}, {L"说明", 202}};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = columns[i].width;
    col.pszText = const_cast<wchar_t*>(columns[i].title);
    col.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
  }
  const DWORD ex = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP;
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);

  m_servers = TimeServerList();
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (std::size_t i = 0; i < m_servers.size(); ++i) {
    std::wstring host = FromUtf8(m_servers[i].host);
    std::wstring description = FromUtf8(m_servers[i].description);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = host.data();
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = description.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
  }
}

void CClockPage::OnSynchronise() {
  if (m_servers.empty()) return;
  HWND list = GetDlgItem(m_hWnd, IDC_1038);
  int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || static_cast<std::size_t>(row) >= m_servers.size()) row = 0;
  // The window does not answer until the query is done (at most the name
  // lookup and five seconds); the cursor says so.
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  SynchroniseClock(m_servers[static_cast<std::size_t>(row)], GetMachineClock(), *this);
  SetCursor(previous);
}

void CClockPage::DrawButton(const DRAWITEMSTRUCT& item) {
  // A plain face until the program's own button control takes over.
  RECT rc = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  FillRect(item.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(item.hDC, &rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  wchar_t text[64] = {};
  GetWindowTextW(item.hwndItem, text, 64);
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  if (pressed) OffsetRect(&rc, 1, 1);
  DrawTextW(item.hDC, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(item.hDC, &focus);
  }
}

std::string CClockPage::LoadText(unsigned id) {
  char buf[1024] = {};
  const int n = LoadStringA(m_hResources, id, buf, sizeof buf);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string CClockPage::GetLog() {
  HWND log = GetDlgItem(m_hWnd, IDC_1039);
  const int n = GetWindowTextLengthA(log);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(log, text.data(), n + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

void CClockPage::SetLog(const std::string& text) {
  SetDlgItemTextA(m_hWnd, IDC_1039, text.c_str());
  // Each line shows as soon as it is written.
  UpdateWindow(GetDlgItem(m_hWnd, IDC_1039));
}

}  // namespace tw
