// Owner-drawn push button: bitmap, text and six colours (background and text
// for normal, mouse-over and focus), a tooltip, and WM_BUTTON_HOVER /
// WM_BUTTON_LEAVE to its parent when the mouse enters or leaves it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace tw {

class COwnerButton {
 public:
  enum Color { kBkNormal, kFgNormal, kBkHover, kFgHover, kBkFocus, kFgFocus, kColorCount };

  COwnerButton();
  ~COwnerButton();
  COwnerButton(const COwnerButton&) = delete;
  COwnerButton& operator=(const COwnerButton&) = delete;

  // Takes over dialog control id: makes it owner-drawn and follows its mouse.
  bool Attach(HWND dialog, int id);
  HWND Hwnd() const { return m_hWnd; }
  // The bitmap is drawn with `transparent` left out; the button owns it.
  void SetBitmap(HBITMAP bitmap, COLORREF transparent);
  void SetColor(Color which, COLORREF color, bool repaint = true);
  COLORREF GetColor(Color which) const { return m_colors[which]; }
  void SetFont(HFONT font);  // not owned
  void SetTooltip(const std::string& text);
  // Flat look: a one-pixel border in the given colour instead of the 3D edge.
  void SetFlat(COLORREF border);

  void Draw(const DRAWITEMSTRUCT* item);
  static COwnerButton* FromHwnd(HWND hwnd);

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  HWND m_hWnd = nullptr;
  HWND m_hTip = nullptr;
  HBITMAP m_hBitmap = nullptr;
  COLORREF m_transparent = 0;
  COLORREF m_colors[kColorCount];
  HFONT m_hFont = nullptr;
  bool m_bHover = false;
  bool m_bFlat = false;
  COLORREF m_border = 0;
};

// The program's flat blue button: normal RGB(8,146,214) with white text,
// mouse-over 30 steps lighter with green text, a grey one-pixel border.
void StyleFlatBlueButton(COwnerButton& button);

// A page's button and its tooltip string (0 for none).
struct ButtonTip {
  int control;
  UINT tip;
};
// Takes over dialog button `id`, in the flat blue look where asked, with its
// tooltip; false when the dialog has no such control.
bool AttachButton(COwnerButton& button, HWND dialog, const ButtonTip& tip, bool flatBlue);
// The same for each button of a page's table; the buttons the dialog has
// are added to `buttons`, which the page keeps while its window lives.
void AttachButtons(HWND dialog, std::initializer_list<ButtonTip> table, bool flatBlue,
                   std::vector<std::unique_ptr<COwnerButton>>* buttons);

// Draws a bitmap leaving out one colour (no msimg32 needed).
void DrawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, COLORREF transparent);

}  // namespace tw
