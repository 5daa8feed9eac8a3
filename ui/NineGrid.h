// Nine-grid drawing: a picture cut by four x and four y positions into nine
// cells, drawn into a rectangle of any size with the corners unscaled, the
// edges stretched along their edge and the centre stretched both ways. The
// geometry is pure; drawing works on one thread's bitmaps.
#pragma once

#include <string>
#include <vector>

#include "DIB.h"
#include "OvWindows.h"
#include "SkinDefinition.h"

namespace ui {

struct NineGrid {
  int x[4] = {};  // left, first divider, second divider, right
  int y[4] = {};  // top, first divider, second divider, bottom
};

// The eight numbers after the picture's name (x positions, then y).
NineGrid NineGridFromValues(const SkinSection& section, const std::string& key, size_t pos = 1);

struct NineGridCell {
  RECT dest;
  RECT source;
};

// The cells to draw, row by row from the top-left. A destination smaller
// than the corners leaves out the edges and centre whose extent is not
// positive; the corners are always drawn (they may overlap).
std::vector<NineGridCell> NineGridLayout(const NineGrid& grid, const RECT& dest);

// Copies `source_rect` of the source into `dest_rect`, scaling by nearest
// neighbour; each pixel as the blits do it: alpha 255 copies, any other
// blends, and pixels equal to `key` are skipped. Honours the destination's
// clip; the source rectangle is cut to the source image.
void StretchBlitNearest(lib::wfc::CDIB& dest, const RECT& dest_rect, const lib::wfc::CDIB& source,
                        const RECT& source_rect, int alpha, COLORREF key);

class CResizableDIBHelper {
 public:
  virtual ~CResizableDIBHelper() = default;

  // Draws the grid of `source` into `dest_rect`; with a clip, the drawing
  // stays inside it (and the bitmap's previous clip comes back afterwards).
  static void DrawNineGrid(lib::wfc::CDIB& dest, const lib::wfc::CDIB& source,
                           const RECT& dest_rect, const RECT* clip, const NineGrid& grid, int alpha,
                           COLORREF key);
};

}  // namespace ui
