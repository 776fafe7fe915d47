// The six pages of the main window and their navigation buttons, in one
// table. A tool page plugs in by returning its own CPage from MakePage.
#pragma once

#include <windows.h>

#include <memory>

#include "app/page.h"
#include "platform/platform.h"

namespace tw {

struct NavEntry {
  int buttonId;
  int bitmapId;
  UINT tooltipId;
  int templateId;
  int frameId;
  UINT hintId;
};

// In the order the buttons are styled at start-up.
extern const NavEntry kNavEntries[6];

// The page object for a navigation button (the about page is made by the
// main window itself, which hands it the language in use). The page uses
// `platform` for as long as it lives.
std::unique_ptr<CPage> MakePage(const NavEntry& entry, const Platform& platform);

}  // namespace tw
