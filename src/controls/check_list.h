// Helpers for the list views of the tool pages, most of them lists with a
// check box on every row (the registry findings, the junk files and their
// type list): the same clicks, menu and check commands on every page.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace tw {

// Appends column `index` titled with string textId.
void AddListColumn(HWND list, int index, UINT textId, int width);
// The text of a cell, however long.
std::string ListText(HWND list, int row, int column);
// Turning redrawing back on repaints the list once.
void SetListRedraw(HWND list, bool on);

// The check-box images of bitmap 134 (11 pixels wide, white transparent);
// null when the bitmap is missing. The caller destroys the list.
HIMAGELIST MakeCheckBoxImages();
// Check boxes, whole-row selection, flat scroll bars and info tips, with
// `images` (when not null) as the boxes; the list shares them and leaves
// their destruction to the caller.
void ShowCheckBoxes(HWND list, HIMAGELIST images);
// how: 0 unchecks every row, 1 checks every row, 2 inverts every row.
void SetAllRowChecks(HWND list, int how);

// The click rules of a check-box list: a click on a box makes its row the
// one selected (the list flips the box itself); a click elsewhere on a row
// checks every selected row and never unchecks; a double click away from a
// box flips the first selected row. With boxNeedsSelection the click on a
// box changes the selection only where rows are selected already (the
// registry page's rule).
void OnCheckListClick(HWND list, const NMITEMACTIVATE* item, bool doubleClick,
                      bool boxNeedsSelection);

// Menu 135 of the result lists at `screen` (check all, check none, invert,
// delete, delete all), owned by `owner`; the command chosen, 0 for none.
UINT TrackResultMenu(HWND owner, POINT screen);

}  // namespace tw
