#include <windows.h>

#include "junk_files/choose_path_dialog.h"

#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

INT_PTR CChoosePathDialog::Run(HWND parent) {
  m_paths.clear();
  return DoModal(parent, IDD_165);
}

void CChoosePathDialog::GetPaths(std::vector<std::string>* paths) const {
  if (paths) paths->insert(paths->end(), m_paths.begin(), m_paths.end());
}

BOOL CChoosePathDialog::OnInit() {
  // The buttons are owner-drawn in the template: the toolkit's button draws them.
  m_ok.Attach(m_hWnd, IDOK);
  m_cancel.Attach(m_hWnd, IDCANCEL);
  // Each run starts from a fresh tree: only the root ticked.
  m_tree.Initialise(Item(IDC_1012));
  return TRUE;
}

bool CChoosePathDialog::OnCommand(int id, int code, HWND control) {
  if (id == IDOK) {
    m_paths.clear();
    m_tree.CollectTickedPaths(&m_paths);
    if (m_paths.empty()) {
      MessageBoxA(m_hWnd, LoadStr(IDS_57778).c_str(), LoadStr(IDS_57755).c_str(),
                  MB_OK | MB_ICONINFORMATION);
      return true;
    }
    End(IDOK);
    return true;
  }
  if (id == IDCANCEL) {
    m_paths.clear();
    End(IDCANCEL);
    return true;
  }
  return false;
}

bool CChoosePathDialog::OnNotify(NMHDR* header, LRESULT* result) {
  if (m_tree.HandleNotify(header, result)) {
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, *result);
    return true;
  }
  return false;
}

}  // namespace tw
