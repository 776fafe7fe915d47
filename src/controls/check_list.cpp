#include <windows.h>
#include <commctrl.h>

#include "controls/check_list.h"

#include <algorithm>
#include <vector>

#include "controls/new_menu.h"
#include "controls/resource_module.h"
#include "resources/resource.h"

namespace tw {

void AddListColumn(HWND list, int index, UINT textId, int width) {
  std::string text = LoadStr(textId);
  LVCOLUMNA col{};
  col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  col.fmt = LVCFMT_LEFT;
  col.pszText = text.data();
  col.cx = width;
  col.iSubItem = index;
  SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&col));
}

std::string ListText(HWND list, int row, int column) {
  std::vector<char> buf(1024);
  for (;;) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    const LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    if (n < static_cast<LRESULT>(buf.size()) - 1 || buf.size() >= 65536) {
      return std::string(buf.data(), static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
    }
    buf.resize(buf.size() * 4);
  }
}

void SetListRedraw(HWND list, bool on) {
  SendMessageA(list, WM_SETREDRAW, on ? TRUE : FALSE, 0);
  if (on) InvalidateRect(list, nullptr, FALSE);
}

HIMAGELIST MakeCheckBoxImages() {
  HBITMAP bmp = LoadBitmapA(GetResourceInstance(), MAKEINTRESOURCEA(IDB_134));
  if (!bmp) return nullptr;
  HIMAGELIST images = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 2, 2);
  if (images) ImageList_AddMasked(images, bmp, RGB(255, 255, 255));
  DeleteObject(bmp);
  return images;
}

void ShowCheckBoxes(HWND list, HIMAGELIST images) {
  ListView_SetExtendedListViewStyle(
      list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP);
  if (!images) return;
  // One set of images serves several lists and outlives them: the caller
  // destroys it, not each list with itself.
  SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
  ListView_SetImageList(list, images, LVSIL_STATE);
}

void SetAllRowChecks(HWND list, int how) {
  const int count = ListView_GetItemCount(list);
  SetListRedraw(list, false);
  for (int i = 0; i < count; ++i) {
    const bool on = how == 2 ? ListView_GetCheckState(list, i) == 0 : how == 1;
    ListView_SetCheckState(list, i, on ? TRUE : FALSE);
  }
  SetListRedraw(list, true);
}

void OnCheckListClick(HWND list, const NMITEMACTIVATE* item, bool doubleClick,
                      bool boxNeedsSelection) {
  LVHITTESTINFO hit{};
  hit.pt = item->ptAction;
  const int row = ListView_SubItemHitTest(list, &hit);
  if (row < 0) return;
  if (hit.flags & LVHT_ONITEMSTATEICON) {
    if (!boxNeedsSelection || ListView_GetSelectedCount(list) > 0) {
      ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
      ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    return;
  }
  if (doubleClick) {
    const int first = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (first >= 0) ListView_SetCheckState(list, first, !ListView_GetCheckState(list, first));
    return;
  }
  for (int i = ListView_GetNextItem(list, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list, i, LVNI_SELECTED)) {
    ListView_SetCheckState(list, i, TRUE);
  }
}

UINT TrackResultMenu(HWND owner, POINT screen) {
  CNewMenu menu;
  if (!menu.LoadPopup(GetResourceInstance(), IDR_135)) return 0;
  menu.SetSideTitle(TextOr(IDS_57755, "Tidewell"));
  menu.SetItemText(IDM_32791, LoadStr(IDS_57740));
  menu.SetItemText(IDM_32793, LoadStr(IDS_57741));
  menu.SetItemText(IDM_32792, LoadStr(IDS_57742));
  menu.SetItemText(IDM_32794, LoadStr(IDS_57743));
  menu.SetItemText(IDM_32795, LoadStr(IDS_57744));
  return menu.Track(owner, screen, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD);
}

}  // namespace tw
