// The version check: shows the running version, asks the maker's server for
// the newest one, and can start the update program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "controls/dialog_base.h"
#include "controls/owner_button.h"

namespace tw {

class CVersionDialog : public CDialogBase {
 public:
  CVersionDialog(std::uint16_t langId, bool checkAtOnce);
  // The address the check asks, without the language id.
  static std::string QueryBaseUrl();

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void Check();
  void SetLog(const std::string& text);
  void AppendLog(const std::string& text);

  std::string m_strVersion;
  std::string m_log;
  std::uint16_t m_wLanguage;
  bool m_bCheckAtOnce;
  COwnerButton m_check, m_update, m_close;
};

}  // namespace tw
