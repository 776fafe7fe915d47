// The tick-box images one page sets on several lists: each list only shares
// them, so the page's own destruction is the only one.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "controls/check_list.h"

namespace tw {
namespace {

TEST(CheckList, ListsShareTheTickImagesAndLeaveThemToTheirOwner) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  HIMAGELIST images = ImageList_Create(11, 11, ILC_COLOR24 | ILC_MASK, 2, 2);
  ASSERT_NE(images, nullptr);
  HBITMAP bmp = CreateBitmap(22, 11, 1, 32, nullptr);
  ASSERT_EQ(ImageList_Add(images, bmp, nullptr), 0);
  DeleteObject(bmp);
  for (int i = 0; i < 2; ++i) {
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(list, nullptr);
    ShowCheckBoxes(list, images);
    EXPECT_EQ(ListView_GetImageList(list, LVSIL_STATE), images);
    DestroyWindow(list);
    // Still whole after the list is gone.
    EXPECT_EQ(ImageList_GetImageCount(images), 2) << "after list " << i;
  }
  EXPECT_TRUE(ImageList_Destroy(images));
}

}  // namespace
}  // namespace tw
