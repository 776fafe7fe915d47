#include "app/strip_layout.h"

namespace tw {

StripLayout ComputeStripLayout(const StripRect& c) {
  StripLayout s;
  s.icon = {c.left + 1, c.top + 1, c.left + 18, c.top + 18};
  s.box[0] = {c.left + 19, c.top + 1, c.left + 94, c.top + 17};
  s.box[1] = {c.left + 98, c.top + 1, c.left + 161, c.top + 17};
  s.box[2] = {c.left + 164, c.top + 1, c.right - 6, c.top + 17};
  s.grip = {c.right - 4, c.top, c.right, c.bottom};
  return s;
}

bool CanResizeStrip(const StripLayout& layout, int dx) {
  return layout.box[2].Width() + dx > kStripMinBox3Width;
}

void ResizeStripLayout(StripLayout* layout, int dx) {
  layout->box[2].right += dx;
  layout->grip.left += dx;
  layout->grip.right += dx;
}

}  // namespace tw
