// The texts of a status bar's parts, set together.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

// Sets the parts whose text differs from `texts[i]` (parts 0 to count-1),
// and the bar draws them in one WM_PAINT.
void SetStatusBarTexts(HWND bar, const std::string* texts, int count);

}  // namespace tw
