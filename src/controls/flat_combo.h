// Flat combo box: the system's combo box with its 3D edge painted over by a
// one-pixel frame and a flat drop-down button.
#pragma once

#include <windows.h>

namespace tw {

class CFlatComboBox {
 public:
  CFlatComboBox() = default;
  ~CFlatComboBox();
  CFlatComboBox(const CFlatComboBox&) = delete;
  CFlatComboBox& operator=(const CFlatComboBox&) = delete;

  bool Attach(HWND dialog, int id);
  HWND Hwnd() const { return m_hWnd; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void PaintFlat();
  HWND m_hWnd = nullptr;
};

}  // namespace tw
