// Geometry of the status strip: an icon box, three text boxes and a grip.
#pragma once

namespace tw {

struct StripRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
};

struct StripLayout {
  StripRect icon, box[3], grip;
};

// The box 3 width at or below which the grip refuses to shrink the strip.
constexpr int kStripMinBox3Width = 200;

// The layout for a client rectangle.
StripLayout ComputeStripLayout(const StripRect& client);
// Whether moving the right edge by dx keeps box 3 wider than the limit.
bool CanResizeStrip(const StripLayout& layout, int dx);
// Moves box 3's right edge and the grip by dx.
void ResizeStripLayout(StripLayout* layout, int dx);

}  // namespace tw
