#include <windows.h>
#include <commctrl.h>

#include "controls/status_bar_texts.h"

#include <vector>

namespace tw {

// Each SB_SETTEXT draws the bar there and then, once for every part that
// changed: under Wine 1-2 ms a time, and several times that on a loaded
// machine, ten times a second while a scan or a deletion reports. Marked
// hidden for the moment (as WM_SETREDRAW does, without its validating what
// waits to be drawn), the bar takes its texts without drawing, and the parts
// that changed are invalidated for the message loop.
void SetStatusBarTexts(HWND bar, const std::string* texts, int count) {
  std::vector<int> changed;
  for (int i = 0; i < count; ++i) {
    char current[1024] = {};
    const LRESULT length = SendMessageA(bar, SB_GETTEXTLENGTHA, i, 0);
    if (LOWORD(length) < sizeof current) {
      SendMessageA(bar, SB_GETTEXTA, i, reinterpret_cast<LPARAM>(current));
    }
    if (texts[i] != current) changed.push_back(i);
  }
  if (changed.empty()) return;
  const LONG_PTR style = GetWindowLongPtrA(bar, GWL_STYLE);
  const bool shown = (style & WS_VISIBLE) != 0;
  if (shown) SetWindowLongPtrA(bar, GWL_STYLE, style & ~WS_VISIBLE);
  RECT dirty = {};
  for (int i : changed) {
    SendMessageA(bar, SB_SETTEXTA, i, reinterpret_cast<LPARAM>(texts[i].c_str()));
    RECT part;
    if (SendMessageA(bar, SB_GETRECT, i, reinterpret_cast<LPARAM>(&part))) {
      UnionRect(&dirty, &dirty, &part);
    }
  }
  if (!shown) return;
  SetWindowLongPtrA(bar, GWL_STYLE, style);
  InvalidateRect(bar, &dirty, FALSE);
}

}  // namespace tw
