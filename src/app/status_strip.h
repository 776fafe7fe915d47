// The scan-status strip: a small topmost window that shows the progress of a
// running scan while the main window sits in the notification area. It draws
// itself: an icon box, three sunken text boxes and a resize grip.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/scan_status.h"
#include "app/strip_layout.h"
#include "controls/dialog_base.h"

namespace tw {

class CStatusStrip : public CDialogBase {
 public:
  CStatusStrip() = default;
  ~CStatusStrip() override;
  // Created hidden from template 171, topmost, tool window, at the top right
  // of the screen.
  bool CreateStrip();
  // Box 1 (left) to box 3 (right); a change only in case is no change.
  void SetTexts(const std::string& box1, const std::string& box2, const std::string& box3);
  const std::string& Text(int box) const { return m_texts.Text(box); }

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnInit() override;

 private:
  void EnsureLayout();
  void Paint(HDC dc);
  void DrawBoxText(HDC dc, int box);
  RECT Inner(int box) const;
  void OnMouseMove(POINT pt);
  void ShowMenu(POINT client);

  CStripTexts m_texts;
  StripLayout m_layout;
  HIMAGELIST m_hImages = nullptr;
  HBRUSH m_hBackground = nullptr;
  HFONT m_hFont = nullptr;
  bool m_bResizing = false;
  POINT m_last = {0, 0};
};

// The one strip, created by the start-up.
CStatusStrip* GetStatusStrip();
void SetStatusStrip(CStatusStrip* strip);

// Shows the tray and strip menu (menu 131 with the side title) at a screen
// point, owned by the main window so that the commands go there.
void ShowTrayMenu(HWND owner, POINT screen, const char* where);

}  // namespace tw
