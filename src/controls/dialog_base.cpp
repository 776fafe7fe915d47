#include "controls/dialog_base.h"

#include <windows.h>

#include "controls/new_menu.h"
#include "controls/owner_button.h"
#include "controls/resource_module.h"

namespace tw {

namespace {
const char kThisProp[] = "TwDialogThis";
}

CDialogBase::~CDialogBase() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    RemovePropA(m_hWnd, kThisProp);
    if (!m_bModal) DestroyWindow(m_hWnd);
  }
}

INT_PTR CDialogBase::DoModal(HWND parent, int templateId) {
  m_bModal = true;
  return DialogBoxParamA(GetResourceInstance(), MAKEINTRESOURCEA(templateId), parent, Trampoline,
                         reinterpret_cast<LPARAM>(this));
}

HWND CDialogBase::Create(HWND parent, int templateId) {
  m_bModal = false;
  return CreateDialogParamA(GetResourceInstance(), MAKEINTRESOURCEA(templateId), parent,
                            Trampoline, reinterpret_cast<LPARAM>(this));
}

HWND CDialogBase::CreateEmpty(HWND parent) {
  struct {
    DLGTEMPLATE t;
    WORD menu, windowClass, title;
  } empty = {{WS_CHILD | DS_CONTROL, 0, 0, 0, 0, 100, 100}, 0, 0, 0};
  m_bModal = false;
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &empty.t, parent, Trampoline,
                                    reinterpret_cast<LPARAM>(this));
}

void CDialogBase::End(INT_PTR result) {
  if (m_bModal) {
    EndDialog(m_hWnd, result);
  } else {
    DestroyWindow(m_hWnd);
  }
}

INT_PTR CDialogBase::DialogProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInit();
    case WM_COMMAND:
      return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return FALSE;
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_TIMER:
      OnTimer(wp);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg));
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mi->CtlType == ODT_MENU && CNewMenu::MeasureItem(mi)) return TRUE;
      return FALSE;
    }
    case WM_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (di->CtlType == ODT_MENU) return CNewMenu::DrawItem(di) ? TRUE : FALSE;
      if (COwnerButton* b = COwnerButton::FromHwnd(di->hwndItem)) {
        b->Draw(di);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK CDialogBase::Trampoline(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CDialogBase* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogBase*>(lp);
    self->m_hWnd = hwnd;
    SetPropA(hwnd, kThisProp, self);
  } else {
    self = static_cast<CDialogBase*>(GetPropA(hwnd, kThisProp));
  }
  if (!self) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->DialogProc(msg, wp, lp);
  } catch (...) {
    // Nothing may unwind through user32; the message counts as unhandled.
    result = FALSE;
  }
  if (msg == WM_NCDESTROY) {
    RemovePropA(hwnd, kThisProp);
    self->m_hWnd = nullptr;
  }
  return result;
}

}  // namespace tw
