// The dialog that adds a file type (template 138, "Temp File Type"): a name
// pattern, which must not be empty, and a description, which may be.
#pragma once

#include <windows.h>

#include <string>

#include "controls/dialog_base.h"

namespace tw {

class CFileTypeDialog : public CDialogBase {
 public:
  // IDOK when the user confirmed a pattern.
  INT_PTR Run(HWND parent) { return DoModal(parent, 138); }
  const std::string& Pattern() const { return m_pattern; }
  const std::string& Description() const { return m_description; }

 protected:
  bool OnCommand(int id, int code, HWND control) override;

 private:
  std::string m_pattern;
  std::string m_description;
};

}  // namespace tw
