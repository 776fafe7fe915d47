#include "app/scan_status.h"

namespace tw {

bool ParseScanStatus(const std::string& text, std::array<std::string, 3>* fields) {
  std::size_t a = text.find(';');
  if (a == std::string::npos || a == 0) return false;
  std::size_t b = text.find(';', a + 1);
  if (b == std::string::npos) return false;
  std::size_t c = text.find(';', b + 1);
  if (c == std::string::npos) return false;
  (*fields)[0] = text.substr(0, a);
  (*fields)[1] = text.substr(a + 1, b - a - 1);
  (*fields)[2] = text.substr(b + 1, c - b - 1);
  return true;
}

bool StripTextEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80) {
      // A double-byte character: both bytes must match exactly.
      if (x != y) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
      continue;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

unsigned CStripTexts::SetTexts(const std::string& box1, const std::string& box2,
                               const std::string& box3) {
  const std::string* next[3] = {&box1, &box2, &box3};
  unsigned changed = 0;
  for (int i = 0; i < 3; ++i) {
    if (StripTextEquals(m_texts[i], *next[i])) continue;
    m_texts[i] = *next[i];
    changed |= 1u << i;
  }
  return changed;
}

std::vector<TrayMenuItem> TrayMenuItems(bool scanning, bool pauseRequested) {
  // Stop and pause make sense only while an operation runs; exiting is
  // refused then anyway.
  return {
      {32771, 57745, false},
      {32809, 57746, !scanning},
      {32810, pauseRequested ? 57714u : 57713u, !scanning},
      {32808, 57747, false},
      {57670, 57685, false},
      {2, 57686, scanning},
  };
}

}  // namespace tw
