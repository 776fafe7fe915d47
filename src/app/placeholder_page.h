// The page of a tool that is not in this build yet: an empty page that still
// sends its usage hint.
#pragma once

#include "app/page.h"

namespace tw {

class CPlaceholderPage : public CPage {
 public:
  using CPage::CPage;
  bool CreatePage(HWND parent, const RECT& where) override;
};

}  // namespace tw
