#include "app/main_window.h"

#include <commctrl.h>
#include <windows.h>
#include <windowsx.h>

#include <array>
#include <string>

#include "platform/run_control.h"
#include "app/scan_status.h"
#include "app/settings_store.h"
#include "app/shell_hooks.h"
#include "app/shell_settings.h"
#include "app/status_strip.h"
#include "app/version_dialog.h"
#include "controls/message_dialog.h"
#include "controls/resource_module.h"
#include "controls/status_bar_texts.h"
#include "resources/resource.h"

namespace tw {

namespace {
constexpr COLORREF kHighlight = RGB(11, 175, 255);
constexpr COLORREF kMouseOver = RGB(13, 211, 255);
constexpr COLORREF kNormal = RGB(8, 146, 214);
constexpr COLORREF kBackground = RGB(222, 222, 222);
constexpr UINT_PTR kVersionTimer = 0;

// The window's own controls by their roles (the navigation buttons and page
// frames are listed in the page table).
constexpr int kAboutButton = IDC_1000;
constexpr int kHintLine = IDC_1076;
constexpr int kSitePicture = IDC_1053;

CSkinDialog::Options MainOptions() {
  CSkinDialog::Options o;
  o.help = true;
  o.link = true;
  o.helpCommand = IDM_57670;
  return o;
}
}  // namespace

CMainWindow::CMainWindow(std::uint16_t langId) : CSkinDialog(MainOptions()), m_wLanguage(langId) {
  m_about.SetLanguageInUse(langId);
  for (int i = 0; i < 6; ++i) {
    if (kNavEntries[i].buttonId == kAboutButton) {
      m_pages[i] = &m_about;
    } else {
      m_ownedPages[i] = MakePage(kNavEntries[i], m_services.Services());
      m_pages[i] = m_ownedPages[i].get();
    }
  }
}

CMainWindow::~CMainWindow() {
  if (m_hNavFont) DeleteObject(m_hNavFont);
  if (m_hBackground) DeleteObject(m_hBackground);
  if (m_hWhite) DeleteObject(m_hWhite);
}

INT_PTR CMainWindow::Run() { return DoModal(nullptr, IDD_102); }

int CMainWindow::NavIndex(int buttonId) const {
  for (int i = 0; i < 6; ++i) {
    if (kNavEntries[i].buttonId == buttonId) return i;
  }
  return -1;
}

BOOL CMainWindow::OnInit() {
  SetAppMainWindow(m_hWnd);
  m_hBackground = CreateSolidBrush(kBackground);
  m_hWhite = CreateSolidBrush(RGB(255, 255, 255));
  SetWindowTextA(m_hWnd, LoadStr(IDS_57755).c_str());

  // 1. Window icons.
  m_hIcon = LoadIconA(GetResourceInstance(), MAKEINTRESOURCEA(IDI_128));
  m_hSmallIcon = static_cast<HICON>(LoadImageA(GetResourceInstance(), MAKEINTRESOURCEA(IDI_128),
                                               IMAGE_ICON, 16, 16, 0));
  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(m_hSmallIcon ? m_hSmallIcon : m_hIcon));

  // 2. The tray icon always comes from the program file, never a language library.
  HICON trayIcon = static_cast<HICON>(LoadImageA(GetProgramInstance(), MAKEINTRESOURCEA(IDI_164),
                                                 IMAGE_ICON, 16, 16, 0));
  m_tray.Create(GetProgramInstance(), m_hWnd, WM_TRAY_NOTIFY, LoadStr(IDS_57755), trayIcon,
                IDR_131, false);

  // 3. Status bar.
  CreateStatusBar();

  // Overlapping siblings (the about page covers the hint line) must clip
  // each other so that the top one wins.
  for (HWND c = GetWindow(m_hWnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    SetWindowLongPtrA(c, GWL_STYLE, GetWindowLongPtrA(c, GWL_STYLE) | WS_CLIPSIBLINGS);
  }

  // 4. Navigation buttons; 5. the hint line is white (OnCtlColor).
  StyleNavButtons();

  // 6. The about page comes first.
  ShowPage(kAboutButton);

  // 7. Start counter: the version prompt comes at every 18th start.
  UINT n = ReadProfileInt("Used", "times", 1);
  WriteProfileInt("Used", "times", n + 1);
  if (IsVersionPromptStart(n)) SetTimer(m_hWnd, kVersionTimer, 2000, nullptr);
  // Focus on the marked button, so that no other button looks marked.
  SetFocus(Item(kAboutButton));
  return FALSE;
}

void CMainWindow::CreateStatusBar() {
  m_hStatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                 m_hWnd, reinterpret_cast<HMENU>(ID_STATUS_BAR),
                                 GetProgramInstance(), nullptr);
  if (!m_hStatusBar) return;
  SendMessageA(m_hStatusBar, SB_SETBKCOLOR, 0, kBackground);
  RECT sb;
  GetWindowRect(m_hStatusBar, &sb);
  int h = sb.bottom - sb.top;
  // Make room for the bar below the template's area.
  RECT wr;
  GetWindowRect(m_hWnd, &wr);
  SetWindowPos(m_hWnd, nullptr, 0, 0, wr.right - wr.left, wr.bottom - wr.top + h,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT cr;
  GetClientRect(m_hWnd, &cr);
  SetWindowPos(m_hStatusBar, nullptr, 0, cr.bottom - h, cr.right, h, SWP_NOZORDER);
  int parts[3] = {cr.right - 250, cr.right - 100, -1};
  SendMessageA(m_hStatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
  const UINT texts[3] = {IDS_32786, IDS_32787, IDS_32788};
  for (int i = 0; i < 3; ++i) {
    SendMessageA(m_hStatusBar, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(LoadStr(texts[i]).c_str()));
  }
}

void CMainWindow::StyleNavButtons() {
  m_hNavFont = CreateFontA(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  for (int i = 0; i < 6; ++i) {
    const NavEntry& e = kNavEntries[i];
    COwnerButton& b = m_nav[i];
    if (!b.Attach(m_hWnd, e.buttonId)) continue;
    b.SetBitmap(static_cast<HBITMAP>(LoadImageA(GetResourceInstance(), MAKEINTRESOURCEA(e.bitmapId),
                                                IMAGE_BITMAP, 0, 0, 0)),
                kNormal);
    b.SetColor(COwnerButton::kBkNormal, kNormal, false);
    b.SetColor(COwnerButton::kBkHover, kMouseOver, false);
    b.SetColor(COwnerButton::kBkFocus, kHighlight, false);
    for (auto fg : {COwnerButton::kFgNormal, COwnerButton::kFgHover, COwnerButton::kFgFocus}) {
      b.SetColor(fg, RGB(255, 255, 255), false);
    }
    b.SetFont(m_hNavFont);
    b.SetTooltip(LoadStr(e.tooltipId));
  }
}

void CMainWindow::ShowPage(int buttonId) {
  int index = NavIndex(buttonId);
  if (index < 0) return;
  CPage* page = m_pages[index];
  if (!page) return;
  for (int i = 0; i < 6; ++i) {
    if (i != index && m_pages[i] && m_pages[i]->Hwnd()) ShowWindow(m_pages[i]->Hwnd(), SW_HIDE);
  }
  if (!page->Hwnd()) {
    RECT where = {0, 0, 0, 0};
    if (HWND frame = Item(kNavEntries[index].frameId)) {
      GetWindowRect(frame, &where);
      MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&where), 2);
    }
    if (!page->CreatePage(m_hWnd, where)) return;
    SetWindowLongPtrA(page->Hwnd(), GWL_STYLE,
                      GetWindowLongPtrA(page->Hwnd(), GWL_STYLE) | WS_CLIPSIBLINGS);
    // A new child goes to the bottom of the z-order; a page must lie above
    // the frame and the hint line it covers.
    SetWindowPos(page->Hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  ShowWindow(page->Hwnd(), SW_SHOW);
  if (page->WantsBusyState()) page->UpdateButtonsForBusy(g_bScanning != 0);
  MarkNavButton(buttonId);
}

void CMainWindow::MarkNavButton(int buttonId) {
  int current = NavIndex(m_nCurrentNav);
  if (current >= 0) m_nav[current].SetColor(COwnerButton::kBkNormal, kNormal, true);
  int next = NavIndex(buttonId);
  if (next < 0) return;
  m_nav[next].SetColor(COwnerButton::kBkNormal, kHighlight, true);
  m_nCurrentNav = buttonId;
}

bool CMainWindow::RefuseWhileScanning() {
  if (!g_bScanning) return false;
  CMessageDialog(IDS_32807, CMessageDialog::kOk).Show(m_hWnd);
  return true;
}

void CMainWindow::ExitProcedure() {
  if (RefuseWhileScanning()) return;
  if (MessageBoxA(m_hWnd, LoadStr(IDS_57775).c_str(), LoadStr(IDS_57755).c_str(),
                  MB_YESNO | MB_ICONQUESTION) == IDYES) {
    End(IDCANCEL);
  }
}

bool CMainWindow::OnCommand(int id, int code, HWND control) {
  if (TestHooks().command && TestHooks().command(id)) return true;
  if (NavIndex(id) >= 0) {
    ShowPage(id);
    return true;
  }
  switch (id) {
    case IDM_57670:
      OpenHelpFile();
      return true;
    case IDM_32808:
      OpenMakerSite();
      return true;
    case kSitePicture:
      // The picture is a notifying static: it takes the click itself and
      // tells the window with a command, so the button-up below never comes.
      if (code == STN_CLICKED) OpenMakerSite();
      return true;
    case IDM_32809:
      g_bStopRequested = g_bStopRequested ? 0 : 1;
      return true;
    case IDM_32810:
      g_bPauseRequested = g_bPauseRequested ? 0 : 1;
      return true;
    case IDOK:
      return true;  // Enter does nothing
    case IDCANCEL:
      ExitProcedure();
      return true;
    default:
      return false;
  }
}

void CMainWindow::OnLinkButton() { OpenMakerSite(); }

void CMainWindow::OpenMakerSite() {
  if (TestHooks().siteOpened) {
    TestHooks().siteOpened(MakerSiteUrl());
    return;
  }
  ShellOpen(MakerSiteUrl());
}

void CMainWindow::OnTimer(UINT_PTR id) {
  if (id != kVersionTimer) return;
  KillTimer(m_hWnd, kVersionTimer);
  if (MessageBoxA(m_hWnd, LoadStr(IDS_57795).c_str(), LoadStr(IDS_57755).c_str(),
                  MB_YESNO | MB_ICONQUESTION) == IDYES) {
    CVersionDialog dialog(m_wLanguage, true);
    dialog.DoModal(m_hWnd, IDD_VERSION_CHECK);
  }
}

HBRUSH CMainWindow::OnCtlColor(HDC dc, HWND control, UINT msg) {
  if (control && control == Item(kHintLine)) {
    SetBkColor(dc, RGB(255, 255, 255));
    return m_hWhite;
  }
  if (msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    SetBkColor(dc, kBackground);
    return m_hBackground;
  }
  return nullptr;
}

void CMainWindow::OnPageHint(UINT id) {
  std::string hint = LoadStr(id);
  char current[512] = {};
  GetDlgItemTextA(m_hWnd, kHintLine, current, sizeof current);
  if (hint != current) SetDlgItemTextA(m_hWnd, kHintLine, hint.c_str());
}

void CMainWindow::OnScanStatus(const char* text) {
  if (!text) return;
  std::array<std::string, 3> fields;
  if (!ParseScanStatus(text, &fields)) return;
  if (m_hStatusBar) SetStatusBarTexts(m_hStatusBar, fields.data(), static_cast<int>(fields.size()));
  if (CStatusStrip* strip = GetStatusStrip()) strip->SetTexts(fields[2], fields[1], fields[0]);
}

void CMainWindow::PaintMinimised() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT rc;
  GetClientRect(m_hWnd, &rc);
  int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, m_hIcon);
  EndPaint(m_hWnd, &ps);
}

void CMainWindow::OnDestroy() {
  m_tray.Remove();
  SetAppMainWindow(nullptr);
}

INT_PTR CMainWindow::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  // Show, minimise, maximise and the tray come first, before everything else.
  if (msg == WM_COMMAND && LOWORD(wp) == IDM_32771) {
    RestoreFromTray(m_hWnd);
    if (CStatusStrip* strip = GetStatusStrip()) ShowWindow(strip->Hwnd(), SW_HIDE);
    return TRUE;
  }
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_MINIMIZE) {
    MinimiseToTray(m_hWnd);
    if (g_bScanning) {
      if (CStatusStrip* strip = GetStatusStrip()) ShowWindow(strip->Hwnd(), SW_SHOWNOACTIVATE);
    }
    return TRUE;
  }
  if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_MAXIMIZE) {
    RestoreFromTray(m_hWnd);
    if (CStatusStrip* strip = GetStatusStrip()) ShowWindow(strip->Hwnd(), SW_HIDE);
    return TRUE;
  }
  if (msg == WM_TRAY_NOTIFY) {
    m_tray.OnNotify(wp, lp);
    return TRUE;
  }
  static const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  if (msg == taskbarCreated && taskbarCreated != 0) {
    m_tray.OnTaskbarCreated();
    return TRUE;
  }
  switch (msg) {
    case WM_PAGE_HINT:
      OnPageHint(static_cast<UINT>(wp));
      return TRUE;
    case WM_SCAN_STATUS:
      OnScanStatus(reinterpret_cast<const char*>(wp));
      return TRUE;
    case WM_CLOSE:
      if (RefuseWhileScanning()) return TRUE;
      return FALSE;  // the dialog turns it into command 2
    case WM_PAINT:
      if (IsIconic(m_hWnd)) {
        PaintMinimised();
        return TRUE;
      }
      break;
    case WM_LBUTTONUP: {
      POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      if (HWND site = Item(kSitePicture)) {
        RECT rc;
        GetWindowRect(site, &rc);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        if (PtInRect(&rc, pt)) OpenMakerSite();
      }
      break;
    }
    default:
      break;
  }
  return CSkinDialog::DialogProc(msg, wp, lp);
}

}  // namespace tw
