// The clock page (template 145): the list of time servers, the log box and
// the synchronise button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "clock_sync/clock_synchroniser.h"
#include "clock_sync/time_servers.h"

namespace tw {

class CClockPage : private IClockSyncView {
 public:
  CClockPage() = default;
  ~CClockPage() override;
  CClockPage(const CClockPage&) = delete;
  CClockPage& operator=(const CClockPage&) = delete;

  // Creates the page as a child of parent from the template in resources
  // (the module the strings come from too). The page stays until its parent
  // goes.
  HWND Create(HWND parent, HINSTANCE resources);
  HWND GetHwnd() const { return m_hWnd; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  INT_PTR OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  void OnInitDialog();
  void OnSynchronise();
  void DrawButton(const DRAWITEMSTRUCT& item);

  // IClockSyncView
  std::string LoadText(unsigned id) override;
  std::string GetLog() override;
  void SetLog(const std::string& text) override;

  HWND m_hWnd = nullptr;
  HINSTANCE m_hResources = nullptr;
  HWND m_hTooltip = nullptr;
  HBRUSH m_hBackground = nullptr;
  std::vector<TimeServer> m_servers;
};

}  // namespace tw
