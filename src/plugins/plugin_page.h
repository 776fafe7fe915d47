// The browser plug-in page (template 178): one kind of extension at a time
// in the list, and the two removal commands on the selected row.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/page.h"
#include "controls/owner_button.h"
#include "platform/platform.h"
#include "plugins/plugin_inventory.h"

namespace tw {

class CPluginPage : public CPage {
 public:
  explicit CPluginPage(const Platform& platform);

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnDestroy() override;

 private:
  void ShowKind(int kind);
  void MakeColumns();
  void DeleteRegistration();
  void UnregisterPlugin();
  void RemoveSelected(bool unregister);
  void Hint(UINT id);

  Platform m_platform;
  CPluginInventory m_inventory;
  int m_nKind = kPluginToolbar;
  HWND m_hList = nullptr;
  std::vector<std::unique_ptr<COwnerButton>> m_buttons;
};

}  // namespace tw
