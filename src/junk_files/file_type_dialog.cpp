#include <windows.h>

#include "junk_files/file_type_dialog.h"

#include "controls/message_dialog.h"
#include "resources/resource.h"

namespace tw {

namespace {

constexpr int kPatternEdit = IDC_1030;
constexpr int kDescriptionEdit = IDC_1031;

std::string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  const int len = GetWindowTextLengthA(item);
  std::string text(static_cast<std::size_t>(len) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(item, text.data(), len + 1)));
  return text;
}

}  // namespace

bool CFileTypeDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
      m_pattern = ItemText(m_hWnd, kPatternEdit);
      m_description = ItemText(m_hWnd, kDescriptionEdit);
      // Blanks are a pattern of their own; only nothing at all is refused.
      if (m_pattern.empty()) {
        CMessageDialog(IDS_32799, 1).Show(m_hWnd);
        SetFocus(GetDlgItem(m_hWnd, kPatternEdit));
        return true;
      }
      End(IDOK);
      return true;
    case IDCANCEL:
      End(IDCANCEL);
      return true;
    default:
      return false;
  }
}

}  // namespace tw
