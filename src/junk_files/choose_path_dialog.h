// The choose-path dialog ("选择路径", template 165): a folder tree whose ticks
// name the folders a repair searches. OK needs at least one folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "controls/dialog_base.h"
#include "controls/owner_button.h"
#include "junk_files/folder_tree.h"

namespace tw {

class CChoosePathDialog : public CDialogBase {
 public:
  explicit CChoosePathDialog(IFileSystem& fs) : m_tree(fs) {}

  // Runs the dialog; IDOK or IDCANCEL.
  INT_PTR Run(HWND parent);
  // Appends the chosen folders to `paths`, keeping what it holds; nothing
  // after Cancel.
  void GetPaths(std::vector<std::string>* paths) const;

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;

 private:
  CFolderTree m_tree;
  COwnerButton m_ok;
  COwnerButton m_cancel;
  std::vector<std::string> m_paths;
};

}  // namespace tw
