#include "NineGrid.h"

#include <algorithm>
#include <memory>

#include "SkinItemDraw.h"
#include "SkinValues.h"

namespace ui {

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// One pixel of 24-bit B, G, R bytes as a COLORREF.
COLORREF PixelColour(const uint8_t* p) { return RGB(p[2], p[1], p[0]); }

uint8_t Blend(int d, int s, int alpha) {
  return static_cast<uint8_t>(d + (((s - d) * (alpha + 1)) >> 8));
}

}  // namespace

NineGrid NineGridFromValues(const SkinSection& section, const std::string& key, size_t pos) {
  const RECT xs = RectFromValues(section, key, pos);
  const RECT ys = RectFromValues(section, key, pos + 4);
  NineGrid grid;
  grid.x[0] = xs.left;
  grid.x[1] = xs.top;
  grid.x[2] = xs.right;
  grid.x[3] = xs.bottom;
  grid.y[0] = ys.left;
  grid.y[1] = ys.top;
  grid.y[2] = ys.right;
  grid.y[3] = ys.bottom;
  return grid;
}

std::vector<NineGridCell> NineGridLayout(const NineGrid& g, const RECT& d) {
  const int wl = g.x[1] - g.x[0];
  const int wr = g.x[3] - g.x[2];
  const int ht = g.y[1] - g.y[0];
  const int hb = g.y[3] - g.y[2];
  // Destination edges of the three columns and rows.
  const int dx[4] = {d.left, d.left + wl, d.right - wr, d.right};
  const int dy[4] = {d.top, d.top + ht, d.bottom - hb, d.bottom};
  std::vector<NineGridCell> cells;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      NineGridCell cell;
      cell.source = RECT{g.x[col], g.y[row], g.x[col + 1], g.y[row + 1]};
      cell.dest = RECT{dx[col], dy[row], dx[col + 1], dy[row + 1]};
      if (IsEmpty(cell.source)) continue;
      const bool corner = row != 1 && col != 1;
      if (corner) {
        // Unscaled, anchored at its own corner of the destination.
        cell.dest = RECT{col == 0 ? d.left : d.right - wr, row == 0 ? d.top : d.bottom - hb, 0, 0};
        cell.dest.right = cell.dest.left + (cell.source.right - cell.source.left);
        cell.dest.bottom = cell.dest.top + (cell.source.bottom - cell.source.top);
      } else if (IsEmpty(cell.dest)) {
        continue;
      }
      cells.push_back(cell);
    }
  }
  return cells;
}

void StretchBlitNearest(lib::wfc::CDIB& dest, const RECT& d, const lib::wfc::CDIB& source,
                        const RECT& s_in, int alpha, COLORREF key) {
  if (!dest || !source || dest.BitsPerPixel() != 24 || source.BitsPerPixel() != 24) return;
  RECT s = s_in;
  s.left = std::max<LONG>(s.left, 0);
  s.top = std::max<LONG>(s.top, 0);
  s.right = std::min<LONG>(s.right, source.Width());
  s.bottom = std::min<LONG>(s.bottom, source.Height());
  if (IsEmpty(d) || IsEmpty(s)) return;
  const RECT& clip = dest.Clip();
  const LONG x0 = std::max(d.left, std::max<LONG>(clip.left, 0));
  const LONG x1 = std::min(d.right, std::min<LONG>(clip.right, dest.Width()));
  const LONG y0 = std::max(d.top, std::max<LONG>(clip.top, 0));
  const LONG y1 = std::min(d.bottom, std::min<LONG>(clip.bottom, dest.Height()));
  if (x1 <= x0 || y1 <= y0) return;
  const long long dw = d.right - d.left, dh = d.bottom - d.top;
  const long long sw = s.right - s.left, sh = s.bottom - s.top;
  alpha = std::clamp(alpha, 0, 255);
  for (LONG y = y0; y < y1; ++y) {
    const int sy = static_cast<int>(s.top + (y - d.top) * sh / dh);
    const uint8_t* src_row = source.Row(sy);
    uint8_t* dst_row = dest.Row(y);
    for (LONG x = x0; x < x1; ++x) {
      const int sx = static_cast<int>(s.left + (x - d.left) * sw / dw);
      const uint8_t* sp = src_row + 3 * sx;
      if (key != lib::wfc::kNoKey && PixelColour(sp) == key) continue;
      uint8_t* dp = dst_row + 3 * x;
      for (int c = 0; c < 3; ++c) dp[c] = alpha == 255 ? sp[c] : Blend(dp[c], sp[c], alpha);
    }
  }
}

void CResizableDIBHelper::DrawNineGrid(lib::wfc::CDIB& dest, const lib::wfc::CDIB& source,
                                       const RECT& dest_rect, const RECT* clip,
                                       const NineGrid& grid, int alpha, COLORREF key) {
  // The clip only narrows what the caller already allows: a window redrawing
  // part of itself must not paint its background over items it will not draw.
  std::unique_ptr<CNarrowClip> scoped;
  if (clip) scoped = std::make_unique<CNarrowClip>(dest, *clip);
  for (const NineGridCell& cell : NineGridLayout(grid, dest_rect)) {
    StretchBlitNearest(dest, cell.dest, source, cell.source, alpha, key);
  }
}

}  // namespace ui
