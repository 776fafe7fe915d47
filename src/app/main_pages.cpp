#include <windows.h>

#include "app/main_pages.h"

#include "app/placeholder_page.h"
#include "clock_sync/clock_page.h"
#include "junk_files/junk_file_page.h"
#include "registry_cleaner/registry_page.h"
#include "resources/resource.h"

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
  // Tool pages not built yet show as empty pages with their hint.
  switch (entry.buttonId) {
    case IDC_1001:
      return std::make_unique<CRegistryPage>(platform);
    case IDC_1002:
      return std::make_unique<CJunkFilePage>(platform);
    case IDC_1037:
      return std::make_unique<CClockPage>(*platform.clock);
    default:
      return std::make_unique<CPlaceholderPage>(entry.templateId, entry.hintId);
  }
}

}  // namespace tw
