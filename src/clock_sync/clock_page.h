// The clock page (template 145): the list of time servers, the log box and
// the synchronise button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/page.h"
#include "clock_sync/clock_synchroniser.h"
#include "clock_sync/time_servers.h"
#include "controls/owner_button.h"
#include "platform/system_clock.h"

namespace tw {

class CClockPage : public CPage, private IClockSyncView {
 public:
  // The page sets the time through `clock` for as long as it lives.
  explicit CClockPage(ISystemClock& clock);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void OnSynchronise();

  // IClockSyncView
  std::string LoadText(unsigned id) override;
  std::string GetLog() override;
  void SetLog(const std::string& text) override;

  COwnerButton m_buttons[5];
  ISystemClock& m_clock;
  std::vector<TimeServer> m_servers;
};

}  // namespace tw
