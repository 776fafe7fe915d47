// The program's one window: navigation column, page area, hint line and
// status bar; owner of the pages, the tray icon and the scan-state commands.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/about_page.h"
#include "app/main_pages.h"
#include "app/system_services.h"
#include "app/tray_icon.h"
#include "controls/owner_button.h"
#include "controls/skin_dialog.h"

namespace tw {

class CMainWindow : public CSkinDialog {
 public:
  explicit CMainWindow(std::uint16_t langId);
  ~CMainWindow() override;
  // Runs the window modally (template 102) until the user exits.
  INT_PTR Run();

  // Shows the page of a navigation button, creating it on first use.
  void ShowPage(int buttonId);
  void MarkNavButton(int buttonId);

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg) override;
  void OnDestroy() override;
  void OnLinkButton() override;

 private:
  int NavIndex(int buttonId) const;
  void CreateStatusBar();
  void StyleNavButtons();
  void ExitProcedure();
  bool RefuseWhileScanning();
  void OnScanStatus(const char* text);
  void OnPageHint(UINT id);
  void PaintMinimised();
  // The site picture, the caption's link button and command 32808.
  void OpenMakerSite();

  // Made before the pages and ended after them: every page uses them.
  CSystemServices m_services;
  HWND m_hStatusBar = nullptr;
  CAboutPage m_about;
  HFONT m_hNavFont = nullptr;
  std::unique_ptr<CPage> m_ownedPages[6];
  CPage* m_pages[6] = {};
  CTrayIcon m_tray;
  int m_nCurrentNav = 0;
  COwnerButton m_nav[6];
  HICON m_hIcon = nullptr;
  HICON m_hSmallIcon = nullptr;
  HBRUSH m_hBackground = nullptr;
  HBRUSH m_hWhite = nullptr;
  std::uint16_t m_wLanguage;
};

}  // namespace tw
