// The notification-area icon of the main window, its menu, and the parking
// of the main window in the notification area.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tw {

class CTrayIcon {
 public:
  CTrayIcon() = default;
  ~CTrayIcon();
  CTrayIcon(const CTrayIcon&) = delete;
  CTrayIcon& operator=(const CTrayIcon&) = delete;

  // Adds the icon. False only when Windows is older than version 4.
  bool Create(HINSTANCE instance, HWND target, UINT callbackMessage, const std::string& tooltip,
              HICON icon, UINT id, bool hidden);
  // Takes the icon out of the notification area; true when it is gone.
  bool Remove();
  // WM_TRAY_NOTIFY: wp = icon id, lp = mouse message.
  void OnNotify(WPARAM wp, LPARAM lp);
  // The shell broadcasts "TaskbarCreated" when its notification area is
  // (re)built, e.g. after it crashed or started late: the icon, if it is
  // meant to be shown, is added again.
  void OnTaskbarCreated();
  bool IsRemoved() const { return m_bRemoved; }

 private:
  static LRESULT CALLBACK MessageWindowProc(HWND, UINT, WPARAM, LPARAM);

  NOTIFYICONDATAA m_data = {};
  HINSTANCE m_hInstance = nullptr;
  HWND m_hMessageWnd = nullptr;
  HWND m_hTarget = nullptr;
  bool m_bEnabled = false;
  bool m_bHidden = false, m_bRemoved = true, m_bShowPending = false;
  UINT m_flagsAtCreation = 0;
};

// Hides a window into the notification area (zoom animation when the system
// has it on) by parking it under a hidden "Static" window.
void MinimiseToTray(HWND hwnd);
// Brings a parked window back to the desktop and to the front.
void RestoreFromTray(HWND hwnd);
// Screen rectangle of the notification area, for the animation.
void GetTrayRect(RECT* r);

}  // namespace tw
