#include "clock_sync/clock_page.h"

#include <windows.h>

#include <commctrl.h>

#include "controls/resource_module.h"
#include "platform/system_clock.h"
#include "resources/resource.h"

namespace tw {
namespace {

// The page's controls by their roles.
constexpr int kServerList = IDC_1038;
constexpr int kLog = IDC_1039;
constexpr int kAddButton = IDC_1040;
constexpr int kDeleteButton = IDC_1041;
constexpr int kUpButton = IDC_1042;
constexpr int kDownButton = IDC_1043;
constexpr int kSynchroniseButton = IDC_1058;

// A string of the current resources as UTF-16: the list view is filled with
// the wide messages, whatever the code page.
std::wstring LoadWide(UINT id) {
  wchar_t text[256];
  const int n = LoadStringW(GetResourceInstance(), id, text, 256);
  return n > 0 ? std::wstring(text, static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring FromUtf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// The four list-editing buttons stay hidden and without commands; only the
// synchronise button is ever shown.
const ButtonTip kButtonTips[5] = {
    {kAddButton, IDS_57850},  {kDeleteButton, IDS_57851},      {kUpButton, IDS_57852},
    {kDownButton, IDS_57853}, {kSynchroniseButton, IDS_57854},
};

}  // namespace

CClockPage::CClockPage(ISystemClock& clock) : CPage(IDD_145, IDS_57808), m_clock(clock) {}

BOOL CClockPage::OnInit() {
  for (int i = 0; i < 5; ++i) AttachButton(m_buttons[i], m_hWnd, kButtonTips[i], true);

  HWND list = Item(kServerList);
  struct Column {
    UINT title;
    int width;
  };
  const Column columns[] = {{IDS_57855, 170}, {IDS_57856, 202}};  // "DNS 名称", "说明"
  for (int i = 0; i < 2; ++i) {
    std::wstring title = LoadWide(columns[i].title);
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = columns[i].width;
    col.pszText = title.data();
    col.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
  }
  const DWORD ex = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP;
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);

  // Filled anew whenever the window is made; never stored.
  m_servers = TimeServerList();
  for (std::size_t i = 0; i < m_servers.size(); ++i) {
    const TimeServer& server = m_servers[i];
    std::wstring host = FromUtf8(server.host);
    std::wstring description =
        server.descriptionId ? LoadWide(server.descriptionId) : FromUtf8(server.description);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = host.data();
    const int row =
        static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = description.data();
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
  }
  return TRUE;
}

bool CClockPage::OnCommand(int id, int code, HWND) {
  if (id != kSynchroniseButton || code != BN_CLICKED) return false;
  OnSynchronise();
  return true;
}

void CClockPage::OnSynchronise() {
  if (m_servers.empty()) return;
  int row = static_cast<int>(
      SendMessageW(Item(kServerList), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || static_cast<std::size_t>(row) >= m_servers.size()) row = 0;
  // The window does not answer until the query is done (at most the name
  // lookup and five seconds); the cursor says so.
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  SynchroniseClock(m_servers[static_cast<std::size_t>(row)], m_clock, *this);
  SetCursor(previous);
}

std::string CClockPage::LoadText(unsigned id) { return LoadStr(id); }

std::string CClockPage::GetLog() {
  HWND log = Item(kLog);
  const int n = GetWindowTextLengthA(log);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(log, text.data(), n + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

void CClockPage::SetLog(const std::string& text) {
  SetDlgItemTextA(m_hWnd, kLog, text.c_str());
  // Each line shows as soon as it is written.
  UpdateWindow(Item(kLog));
}

}  // namespace tw
