// The one dialog base: a static trampoline stores `this` at WM_INITDIALOG and
// forwards every message to one member switch. No exception leaves it.
#pragma once

#include <windows.h>

namespace tw {

class CDialogBase {
 public:
  CDialogBase() = default;
  virtual ~CDialogBase();
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // Runs the dialog modally from a template of the current resources.
  INT_PTR DoModal(HWND parent, int templateId);
  // Creates it modeless (a page or the strip); null on failure.
  HWND Create(HWND parent, int templateId);
  // Creates an empty modeless child dialog (a page whose template is missing).
  HWND CreateEmpty(HWND parent);
  HWND Hwnd() const { return m_hWnd; }
  HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

 protected:
  // The member switch. Answers what a dialog procedure answers; overrides
  // handle their own messages and pass the rest here.
  virtual INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp);
  virtual BOOL OnInit() { return TRUE; }
  // True when the command was handled.
  virtual bool OnCommand(int id, int code, HWND control) { return false; }
  virtual bool OnNotify(NMHDR* header, LRESULT* result) { return false; }
  virtual void OnTimer(UINT_PTR id) {}
  // A brush for WM_CTLCOLOR*, or null for the default.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT msg) { return nullptr; }
  virtual void OnDestroy() {}
  void End(INT_PTR result);

  HWND m_hWnd = nullptr;
  bool m_bModal = false;

 private:
  static INT_PTR CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};

}  // namespace tw
