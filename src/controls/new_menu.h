// Owner-drawn pop-up menu with a vertical title along its left side, drawn
// over a colour gradient. The owner window passes WM_MEASUREITEM and
// WM_DRAWITEM for menus to the static handlers (CDialogBase does).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace tw {

class CNewMenu {
 public:
  CNewMenu() = default;
  ~CNewMenu();
  CNewMenu(const CNewMenu&) = delete;
  CNewMenu& operator=(const CNewMenu&) = delete;

  // Loads a menu resource and takes its first pop-up. False when either is missing.
  bool LoadPopup(HINSTANCE instance, int menuId);
  HMENU Popup() const { return m_hPopup; }
  void SetSideTitle(const std::string& title) { m_title = title; }
  // Sets an item's text by command, keeping its id.
  void SetItemText(UINT command, const std::string& text);
  void SetItemGrayed(UINT command, bool grayed);
  // Shows the menu; the chosen command goes to the owner (or is answered
  // with TPM_RETURNCMD in flags).
  UINT Track(HWND owner, POINT screen, UINT flags = TPM_LEFTALIGN | TPM_RIGHTBUTTON);

  static bool MeasureItem(MEASUREITEMSTRUCT* item);
  static bool DrawItem(const DRAWITEMSTRUCT* item);

 private:
  struct Item {
    CNewMenu* menu;
    std::string text;
    bool separator;
    int top;     // offset from the menu's top, filled when measured
    int height;
  };
  void MakeOwnerDrawn();
  int TotalHeight() const;

  HMENU m_hMenu = nullptr;
  HMENU m_hPopup = nullptr;
  std::string m_title;
  std::vector<std::unique_ptr<Item>> m_items;
};

}  // namespace tw
