// The program's own message box (template 160): style 1 shows "OK", style 0
// "Yes" and "No". Answers 1 for Yes or OK, 2 for No or closing.
#pragma once

#include <windows.h>

#include <string>

#include "controls/owner_button.h"
#include "controls/skin_dialog.h"

namespace tw {

class CMessageDialog : public CSkinDialog {
 public:
  enum Style { kYesNo = 0, kOk = 1 };
  CMessageDialog(const std::string& text, int style);
  CMessageDialog(UINT textId, int style);
  // Runs it modally; 1 or 2.
  int Show(HWND parent);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg) override;

 private:
  std::string m_text;
  int m_style;
  HBRUSH m_hBackground = nullptr;
  COwnerButton m_buttons[3];
};

}  // namespace tw
