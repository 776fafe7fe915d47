// Skinned dialog: the system caption is replaced by one drawn in the client
// area, with close, minimise, help and link buttons. The template's controls
// move down by the caption's height.
#pragma once

#include <windows.h>

#include <string>

#include "controls/dialog_base.h"

namespace tw {

class CSkinDialog : public CDialogBase {
 public:
  struct Options {
    bool close = true;
    bool minimise = true;
    bool help = false;
    bool link = false;
    UINT helpCommand = 57670;
  };
  explicit CSkinDialog(const Options& options) : m_options(options) {}

 protected:
  INT_PTR DialogProc(UINT msg, WPARAM wp, LPARAM lp) override;
  // The link caption button.
  virtual void OnLinkButton() {}
  // The caption in client coordinates.
  RECT CaptionRect() const;
  // True when a client point lies on the caption and not on one of its buttons.
  bool IsOnCaptionDragArea(POINT pt) const;
  int CaptionHeight() const { return m_captionHeight; }

 private:
  enum Button { kClose, kMinimise, kHelp, kLink, kButtonCount };
  void ApplySkin();
  void PaintCaption(HDC dc);
  RECT ButtonRect(int index) const;
  bool ButtonShown(int index) const;
  int ButtonAt(POINT pt) const;
  void PressButton(int index);

  Options m_options;
  int m_captionHeight = 0;
  int m_hot = -1;
  int m_pressed = -1;
};

}  // namespace tw
