// The about page: what the program does, its version, support links, help
// and exit buttons, and the choice of the interface language.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/page.h"
#include "controls/flat_combo.h"
#include "controls/hyperlink.h"
#include "controls/owner_button.h"

namespace tw {

class CAboutPage : public CPage {
 public:
  CAboutPage();
  // The language the program runs in; the list preselects it.
  void SetLanguageInUse(std::uint16_t langId) { m_wLanguage = langId; }
  // Adds one language by its code text; answers the combo index.
  int AddLanguageEntry(HWND combo, const std::string& code, std::uint16_t inUse);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void FillLanguages();
  void OnLanguageChange();

  std::uint16_t m_wLanguage = 0x804;
  CFlatComboBox m_combo;
  CHyperLink m_siteLink, m_mailLink;
  COwnerButton m_help, m_exit;
};

// Opens "Contents.chm" in the program's folder.
void OpenHelpFile();
// The maker's addresses (build-time settings).
const char* MakerSiteUrl();

}  // namespace tw
