// The uninstall page (template 174): the installed programs with icon, size,
// frequency of use and last use, a refresh button, and a button that starts
// the selected program's uninstaller without waiting for it. A started
// uninstaller's program gets one watch on its uninstall entry, however often
// it is started; when the entry is gone, the program's row leaves the list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/page.h"
#include "controls/owner_button.h"
#include "platform/platform.h"
#include "uninstall/registry_key_watcher.h"
#include "uninstall/software_inventory.h"

namespace tw {

class CUninstallPage : public CPage {
 public:
  // The page uses the platform services for as long as it lives.
  explicit CUninstallPage(const Platform& platform);
  ~CUninstallPage() override;

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  void OnTimer(UINT_PTR id) override;
  void OnDestroy() override;

 private:
  void Refresh();
  // Gives the records the inventory has read since the last call their
  // places in m_nextRows.
  void PlaceNewRecords();
  void Uninstall();
  // The record behind a row, or null.
  InstalledProgram* RecordAt(int row) const;
  // What the list draws of a row: its texts and, the first time the row is
  // drawn or asked for, its icon.
  void FillDisplay(NMLVDISPINFOA* info);
  // The image for a record's icon ("file" or "file,index"): a new entry of
  // the image list, or 0 (the default program icon).
  int IconImage(const std::string& icon);
  int ExtractImage(const std::string& icon);
  // The icons of the rows the list shows now, each file read once.
  void ReadIconsOnView();
  // Interface thread: takes out the rows of programs whose watched entry is
  // gone, and ends those watches.
  void OnEntryGone();
  bool EntryExists(RegKey root, RegView view, const std::string& path) const;
  void StopWatches();

  Platform m_platform;
  CSoftwareInventory m_inventory;
  HWND m_hList = nullptr;
  HIMAGELIST m_hImages = nullptr;
  // The records of the last fill, and the list's rows (an owner-data list)
  // over them, sorted by name. Both stay as they are while a refresh reads
  // the next inventory.
  std::vector<std::unique_ptr<InstalledProgram>> m_shown;
  std::vector<InstalledProgram*> m_rows;
  // The records of the inventory being read, sorted as they come in.
  std::vector<InstalledProgram*> m_nextRows;
  bool m_bRefreshing = false;
  ULONGLONG m_lastServed = 0;
  std::map<std::string, int> m_iconImages;  // icon text -> image, for the current fill
  TIME_ZONE_INFORMATION m_zone{};           // the local time zone, read at each fill
  std::vector<std::unique_ptr<COwnerButton>> m_buttons;
  // At most one per program whose uninstaller was started, on its entry's key.
  std::vector<std::unique_ptr<CRegistryKeyWatcher>> m_watchers;
};

}  // namespace tw
