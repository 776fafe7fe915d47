// The status line of a page that scans and deletes (the registry and the
// junk-file pages): CRegistryStatus with the string table's texts, sending
// each text to the main window's status strip.
#pragma once

#include <windows.h>

#include "controls/dialog_base.h"
#include "registry_cleaner/registry_status.h"

namespace tw {

class CPageStatus : public CRegistryStatus {
 public:
  // Texts go to the parent of page's window once it has one; the page object
  // is made long before its window.
  explicit CPageStatus(const CDialogBase& page);
  // Takes the texts of the loaded language; a string missing from it keeps
  // its built-in default.
  void LoadTexts();
};

}  // namespace tw
