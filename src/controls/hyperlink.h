// Hyperlink label: a static text drawn underlined in its link colour with a
// hand cursor; a click opens its address with the shell.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

class CHyperLink {
 public:
  CHyperLink() = default;
  ~CHyperLink();
  CHyperLink(const CHyperLink&) = delete;
  CHyperLink& operator=(const CHyperLink&) = delete;

  // Takes over dialog control id; an empty text shows the address itself.
  bool Attach(HWND dialog, int id, const std::string& url);
  void SetColors(COLORREF link, COLORREF visited, COLORREF hover);
  void SetBackground(COLORREF color) { m_background = color; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void Paint();

  HWND m_hWnd = nullptr;
  HFONT m_hFont = nullptr;
  std::string m_url;
  COLORREF m_link = RGB(0, 0, 255), m_visited = RGB(128, 0, 128), m_hover = RGB(255, 0, 0);
  COLORREF m_background = RGB(222, 222, 222);
  bool m_bVisited = false, m_bHover = false;
};

}  // namespace tw
