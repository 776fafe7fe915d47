// The progress text of WM_SCAN_STATUS and where its fields are shown.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

// Splits "status;counts;time;" into its three fields. False (fields left
// alone) when a ";" is missing or the text starts with one. Anything after
// the third ";" is ignored. ";" is never a trail byte of a double-byte
// character, so a byte search is safe here.
bool ParseScanStatus(const std::string& text, std::array<std::string, 3>* fields);

// Case-insensitive equality for the strip's texts: ASCII letters fold, every
// byte of 0x80 or above starts a two-byte character compared as it is.
bool StripTextEquals(const std::string& a, const std::string& b);

// The strip's three texts (box 1 left, box 3 right).
class CStripTexts {
 public:
  // Stores each text that differs ignoring case from the one shown; answers
  // a mask of the boxes that changed (bit 0 = box 1).
  unsigned SetTexts(const std::string& box1, const std::string& box2, const std::string& box3);
  const std::string& Text(int box) const { return m_texts[box]; }

 private:
  std::array<std::string, 3> m_texts;
};

// One item of the tray and strip menu as it is shown.
struct TrayMenuItem {
  std::uint32_t command;
  std::uint32_t textId;
  bool grayed;
};

// The six command items of menu 131 for the given flags, top to bottom.
std::vector<TrayMenuItem> TrayMenuItems(bool scanning, bool pauseRequested);

}  // namespace tw
