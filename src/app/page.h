// A page of the main window: a child dialog created from its template the
// first time it is shown, then only shown and hidden. Tool pages derive from
// it; CMainWindow lists them in one table (main_pages.cpp).
#pragma once

#include <windows.h>

#include "controls/dialog_base.h"

namespace tw {

class CPage : public CDialogBase {
 public:
  // hintId: the string the page's usage hint comes from, 0 for none.
  CPage(int templateId, UINT hintId) : m_templateId(templateId), m_hintId(hintId) {}
  int TemplateId() const { return m_templateId; }
  UINT HintId() const { return m_hintId; }
  // Creates the window as a child of parent over the given client rectangle.
  virtual bool CreatePage(HWND parent, const RECT& where);
  // The registry and junk-file pages enable or disable their buttons by the
  // shared scan state each time they are shown.
  virtual void UpdateButtonsForBusy(bool busy) {}
  virtual bool WantsBusyState() const { return false; }

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg) override;

 private:
  int m_templateId;
  UINT m_hintId;
  HBRUSH m_hBackground = nullptr;
};

}  // namespace tw
