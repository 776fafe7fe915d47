#include "controls/new_menu.h"

#include <windows.h>

namespace tw {

namespace {
constexpr int kSideWidth = 22;
constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 7;
// Side title gradient, bottom to top, and the selection colour.
constexpr COLORREF kGradientFrom = RGB(8, 146, 214);
constexpr COLORREF kGradientTo = RGB(0, 40, 110);
constexpr COLORREF kSelected = RGB(13, 211, 255);

COLORREF Blend(COLORREF a, COLORREF b, int num, int den) {
  if (den <= 0) return a;
  auto mix = [&](int x, int y) { return x + (y - x) * num / den; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

HFONT MenuFont() {
  NONCLIENTMETRICSA ncm = {};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  return CreateFontIndirectA(&ncm.lfMenuFont);
}
}  // namespace

CNewMenu::~CNewMenu() {
  if (m_hMenu) DestroyMenu(m_hMenu);
}

bool CNewMenu::LoadPopup(HINSTANCE instance, int menuId) {
  m_hMenu = LoadMenuA(instance, MAKEINTRESOURCEA(menuId));
  if (!m_hMenu) return false;
  m_hPopup = GetSubMenu(m_hMenu, 0);
  return m_hPopup != nullptr;
}

void CNewMenu::SetItemText(UINT command, const std::string& text) {
  if (!m_hPopup) return;
  MENUITEMINFOA mii = {};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_STRING;
  mii.dwTypeData = const_cast<char*>(text.c_str());
  SetMenuItemInfoA(m_hPopup, command, FALSE, &mii);
}

void CNewMenu::SetItemGrayed(UINT command, bool grayed) {
  if (m_hPopup) EnableMenuItem(m_hPopup, command, MF_BYCOMMAND | (grayed ? MF_GRAYED : MF_ENABLED));
}

void CNewMenu::MakeOwnerDrawn() {
  m_items.clear();
  int count = GetMenuItemCount(m_hPopup);
  int top = 0;
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    MENUITEMINFOA mii = {};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_STRING;
    mii.dwTypeData = text;
    mii.cch = sizeof text;
    if (!GetMenuItemInfoA(m_hPopup, i, TRUE, &mii)) continue;
    auto item = std::make_unique<Item>();
    item->menu = this;
    item->separator = (mii.fType & MFT_SEPARATOR) != 0;
    item->text = item->separator ? std::string() : std::string(text);
    item->height = item->separator ? kSeparatorHeight : kItemHeight;
    item->top = top;
    top += item->height;
    MENUITEMINFOA od = {};
    od.cbSize = sizeof od;
    od.fMask = MIIM_FTYPE | MIIM_DATA;
    od.fType = (mii.fType | MFT_OWNERDRAW) & ~static_cast<UINT>(MFT_STRING);
    od.dwItemData = reinterpret_cast<ULONG_PTR>(item.get());
    SetMenuItemInfoA(m_hPopup, i, TRUE, &od);
    m_items.push_back(std::move(item));
  }
}

int CNewMenu::TotalHeight() const {
  int h = 0;
  for (const auto& i : m_items) h += i->height;
  return h;
}

UINT CNewMenu::Track(HWND owner, POINT screen, UINT flags) {
  if (!m_hPopup) return 0;
  MakeOwnerDrawn();
  return static_cast<UINT>(
      TrackPopupMenu(m_hPopup, flags, screen.x, screen.y, 0, owner, nullptr));
}

bool CNewMenu::MeasureItem(MEASUREITEMSTRUCT* mi) {
  auto* item = reinterpret_cast<Item*>(mi->itemData);
  if (!item || !item->menu) return false;
  mi->itemHeight = static_cast<UINT>(item->height);
  if (item->separator) {
    mi->itemWidth = 60;
    return true;
  }
  HDC dc = GetDC(nullptr);
  HFONT font = MenuFont();
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, item->text.c_str(), static_cast<int>(item->text.size()), &size);
  SelectObject(dc, old);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  mi->itemWidth = static_cast<UINT>(kSideWidth + 12 + size.cx + 24);
  return true;
}

bool CNewMenu::DrawItem(const DRAWITEMSTRUCT* di) {
  auto* item = reinterpret_cast<Item*>(di->itemData);
  if (!item || !item->menu) return false;
  HDC dc = di->hDC;
  RECT rc = di->rcItem;
  int total = item->menu->TotalHeight();
  int menuTop = rc.top - item->top;  // the menu's top in this drawing's coordinates

  // The side bar: this item's slice of a gradient that runs over the whole menu.
  for (int y = rc.top; y < rc.bottom; ++y) {
    int fromBottom = menuTop + total - y;
    HBRUSH b = CreateSolidBrush(Blend(kGradientFrom, kGradientTo, fromBottom, total));
    RECT line = {rc.left, y, rc.left + kSideWidth, y + 1};
    FillRect(dc, &line, b);
    DeleteObject(b);
  }
  // The title, read bottom to top; each item draws the part that falls into it.
  if (!item->menu->m_title.empty()) {
    int save = SaveDC(dc);
    IntersectClipRect(dc, rc.left, rc.top, rc.left + kSideWidth, rc.bottom);
    LOGFONTA lf = {};
    lf.lfHeight = -14;
    lf.lfWeight = FW_BOLD;
    lf.lfEscapement = lf.lfOrientation = 900;
    lstrcpyA(lf.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    const std::string& t = item->menu->m_title;
    TextOutA(dc, rc.left + 3, menuTop + total - 6, t.c_str(), static_cast<int>(t.size()));
    SelectObject(dc, old);
    DeleteObject(font);
    RestoreDC(dc, save);
  }

  RECT body = {rc.left + kSideWidth, rc.top, rc.right, rc.bottom};
  bool selected = (di->itemState & ODS_SELECTED) != 0;
  bool grayed = (di->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  HBRUSH bk = CreateSolidBrush(selected && !grayed ? kSelected : GetSysColor(COLOR_MENU));
  FillRect(dc, &body, bk);
  DeleteObject(bk);
  if (item->separator) {
    RECT line = {body.left + 4, (body.top + body.bottom) / 2, body.right - 4, 0};
    line.bottom = line.top + 2;
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    return true;
  }
  HFONT font = MenuFont();
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  RECT textRc = {body.left + 10, body.top, body.right - 4, body.bottom};
  if (grayed) {
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(dc, selected ? RGB(255, 255, 255) : GetSysColor(COLOR_MENUTEXT));
  }
  DrawTextA(dc, item->text.c_str(), static_cast<int>(item->text.size()), &textRc,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteObject(font);
  return true;
}

}  // namespace tw
