#include <windows.h>

#include "app/page_status.h"

#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

CPageStatus::CPageStatus(const CDialogBase& page)
    : CRegistryStatus([&page](const std::string& status) {
        if (HWND hwnd = page.Hwnd()) {
          SendMessageA(GetParent(hwnd), WM_SCAN_STATUS, reinterpret_cast<WPARAM>(status.c_str()),
                       0);
        }
      }) {}

void CPageStatus::LoadTexts() {
  RegistryStatusTexts texts;
  texts.scanning = TextOr(IDS_32802, texts.scanning);
  texts.deleting = TextOr(IDS_32805, texts.deleting);
  texts.finished = TextOr(IDS_32803, texts.finished);
  texts.product = TextOr(IDS_32786, texts.product);
  texts.countScan = TextOr(IDS_32800, texts.countScan);
  texts.countDelete = TextOr(IDS_57711, texts.countDelete);
  texts.time = TextOr(IDS_32801, texts.time);
  SetTexts(texts);
}

}  // namespace tw
