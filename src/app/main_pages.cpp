#include <windows.h>

#include "app/main_pages.h"

#include "clock_sync/clock_page.h"
#include "junk_files/junk_file_page.h"
#include "plugins/plugin_page.h"
#include "registry_cleaner/registry_page.h"
#include "resources/resource.h"
#include "uninstall/uninstall_page.h"

namespace tw {

const NavEntry kNavEntries[6] = {
    {IDC_1002, IDB_155, IDS_57680, IDD_130, IDC_1007, IDS_57809},
    {IDC_1001, IDB_154, IDS_57681, IDD_129, IDC_1007, IDS_57810},
    {IDC_1037, IDB_156, IDS_57682, IDD_145, IDC_1007, IDS_57808},
    {IDC_1057, IDB_176, IDS_57715, IDD_174, IDC_1007, IDS_57807},
    {IDC_1000, IDB_158, IDS_57684, IDD_100, IDC_1006, 0},
    {IDC_1003, IDB_179, IDS_57811, IDD_178, IDC_1007, IDS_57796},
};

std::unique_ptr<CPage> MakePage(const NavEntry& entry, const Platform& platform) {
  switch (entry.buttonId) {
    case IDC_1001:
      return std::make_unique<CRegistryPage>(platform);
    case IDC_1002:
      return std::make_unique<CJunkFilePage>(platform);
    case IDC_1037:
      return std::make_unique<CClockPage>(*platform.clock);
    case IDC_1003:
      return std::make_unique<CPluginPage>(platform);
    case IDC_1057:
      return std::make_unique<CUninstallPage>(platform);
    default:
      return nullptr;  // the about page, which the main window makes itself
  }
}

}  // namespace tw
