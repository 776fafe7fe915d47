#include "app/tray_icon.h"

#include <shellapi.h>
#include <windows.h>

#include "app/status_strip.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

namespace {
const char kTrayClass[] = "TrayIconClass";
HWND g_parking = nullptr;

// The shell's record in its Windows 2000 form, as every shell since accepts.
DWORD RecordSize() {
#ifdef NOTIFYICONDATAA_V2_SIZE
  return NOTIFYICONDATAA_V2_SIZE;
#else
  return sizeof(NOTIFYICONDATAA);
#endif
}

bool MinimiseAnimationOn() {
  ANIMATIONINFO ai = {sizeof ai, 0};
  SystemParametersInfoA(SPI_GETANIMATION, sizeof ai, &ai, 0);
  return ai.iMinAnimate != 0;
}

struct TrayWalk {
  RECT* r;
};

BOOL CALLBACK FindTrayParts(HWND child, LPARAM lp) {
  auto* walk = reinterpret_cast<TrayWalk*>(lp);
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpA(cls, "TrayNotifyWnd") == 0) {
    GetWindowRect(child, walk->r);
    return TRUE;
  }
  if (lstrcmpA(cls, "TrayClockWClass") == 0) {
    RECT clock;
    GetWindowRect(child, &clock);
    if (clock.bottom < walk->r->bottom - 5) {
      walk->r->top = clock.bottom;  // a vertical taskbar
    } else {
      walk->r->right = clock.left;
    }
    return FALSE;
  }
  return TRUE;
}
}  // namespace

CTrayIcon::~CTrayIcon() {
  Remove();
  if (m_hMessageWnd) DestroyWindow(m_hMessageWnd);
}

bool CTrayIcon::Create(HINSTANCE instance, HWND target, UINT callbackMessage,
                       const std::string& tooltip, HICON icon, UINT id, bool hidden) {
  DWORD version = GetVersion();
  if (LOBYTE(LOWORD(version)) < 4) {
    m_bEnabled = false;
    return false;
  }
  m_bEnabled = true;
  m_hInstance = instance;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = MessageWindowProc;
  wc.hInstance = GetProgramInstance();
  wc.lpszClassName = kTrayClass;
  RegisterClassExA(&wc);  // fails harmlessly when already registered
  m_hMessageWnd = CreateWindowExA(0, kTrayClass, "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  GetProgramInstance(), nullptr);
  if (m_hMessageWnd) SetWindowLongPtrA(m_hMessageWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  m_data = {};
  m_data.cbSize = RecordSize();
  m_data.hWnd = target ? target : m_hMessageWnd;
  m_data.uID = id;
  m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_data.uCallbackMessage = callbackMessage;
  m_data.hIcon = icon;
  lstrcpynA(m_data.szTip, tooltip.c_str(), sizeof m_data.szTip);
  m_flagsAtCreation = m_data.uFlags;
  m_hTarget = m_data.hWnd;

  if (hidden) {
    m_bHidden = m_bRemoved = true;
    return true;
  }
  if (Shell_NotifyIconA(NIM_ADD, &m_data)) {
    m_bHidden = m_bRemoved = m_bShowPending = false;
  } else {
    // The shell may not be up yet; the program runs without the icon.
    m_bHidden = m_bRemoved = m_bShowPending = true;
  }
  return true;
}

bool CTrayIcon::Remove() {
  m_bShowPending = false;
  if (!m_bEnabled || m_bRemoved) return true;
  m_data.uFlags = 0;
  if (Shell_NotifyIconA(NIM_DELETE, &m_data)) m_bHidden = m_bRemoved = true;
  return m_bRemoved;
}

void CTrayIcon::OnTaskbarCreated() {
  if (!m_bEnabled || (m_bRemoved && !m_bShowPending)) return;
  m_data.uFlags = m_flagsAtCreation;
  if (Shell_NotifyIconA(NIM_ADD, &m_data)) m_bHidden = m_bRemoved = m_bShowPending = false;
}

void CTrayIcon::OnNotify(WPARAM wp, LPARAM lp) {
  if (wp != m_data.uID || !m_hTarget) return;
  switch (LOWORD(lp)) {
    case WM_RBUTTONUP: {
      HMENU check = LoadMenuA(m_hInstance, MAKEINTRESOURCEA(m_data.uID));
      if (!check) return;
      bool hasPopup = GetSubMenu(check, 0) != nullptr;
      DestroyMenu(check);
      if (!hasPopup) return;
      POINT pt;
      GetCursorPos(&pt);
      SetForegroundWindow(m_hTarget);
      ShowTrayMenu(m_hTarget, pt, "tray");
      break;
    }
    case WM_LBUTTONDBLCLK: {
      SetForegroundWindow(m_hTarget);
      HMENU menu = LoadMenuA(m_hInstance, MAKEINTRESOURCEA(m_data.uID));
      if (!menu) return;
      HMENU popup = GetSubMenu(menu, 0);
      UINT command = popup ? GetMenuItemID(popup, 0) : static_cast<UINT>(-1);
      DestroyMenu(menu);
      if (command != static_cast<UINT>(-1)) SendMessageA(m_hTarget, WM_COMMAND, command, 0);
      break;
    }
    default:
      break;
  }
}

LRESULT CALLBACK CTrayIcon::MessageWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<CTrayIcon*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && hwnd == self->m_hMessageWnd && msg == self->m_data.uCallbackMessage &&
      msg != 0) {
    self->OnNotify(wp, lp);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void GetTrayRect(RECT* r) {
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  if (tray) {
    GetWindowRect(tray, r);
    TrayWalk walk{r};
    EnumChildWindows(tray, FindTrayParts, reinterpret_cast<LPARAM>(&walk));
    return;
  }
  APPBARDATA abd = {};
  abd.cbSize = sizeof abd;
  if (SHAppBarMessage(ABM_GETTASKBARPOS, &abd)) {
    const RECT& t = abd.rc;
    if (abd.uEdge == ABE_LEFT || abd.uEdge == ABE_RIGHT) {
      *r = {t.left, t.bottom - 100, t.right, t.bottom - 16};
    } else {
      *r = {t.right - 100, t.top, t.right - 16, t.bottom};
    }
    return;
  }
  SystemParametersInfoA(SPI_GETWORKAREA, 0, r, 0);
  r->left = r->right - 150;
  r->top = r->bottom - 30;
}

void MinimiseToTray(HWND hwnd) {
  if (MinimiseAnimationOn()) {
    RECT from, to;
    GetWindowRect(hwnd, &from);
    GetTrayRect(&to);
    DrawAnimatedRects(hwnd, IDANI_CAPTION, &from, &to);
  }
  if (!g_parking) {
    g_parking = CreateWindowExA(0, "Static", "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                GetProgramInstance(), nullptr);
  }
  if (g_parking) SetParent(hwnd, g_parking);
  SetWindowLongPtrA(hwnd, GWL_STYLE,
                    GetWindowLongPtrA(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_VISIBLE));
}

void RestoreFromTray(HWND hwnd) {
  if (MinimiseAnimationOn()) {
    RECT to, from;
    GetWindowRect(hwnd, &to);
    GetTrayRect(&from);
    SetParent(hwnd, nullptr);
    DrawAnimatedRects(hwnd, IDANI_CAPTION, &from, &to);
  } else {
    SetParent(hwnd, nullptr);
  }
  // ShowWindow rather than setting the style bit alone, so that the window
  // system maps the window again.
  ShowWindow(hwnd, SW_SHOW);
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  if (g_parking) SetActiveWindow(g_parking);
  SetActiveWindow(hwnd);
  SetForegroundWindow(hwnd);
}

}  // namespace tw
