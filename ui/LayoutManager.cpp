#include "LayoutManager.h"

#include <algorithm>

#include "SkinWindowItem.h"

namespace ui {

int AnchorOffset(int type, int coord, int base) {
  switch (type) {
    case kAnchorNear:
      return coord;
    case kAnchorFar:
    case kAnchorCentre:
      return coord - base;
    default:
      return 0;
  }
}

int AnchoredEdge(int type, int offset, int size, int base, int old) {
  switch (type) {
    case kAnchorNear:
      return offset;
    case kAnchorFar:
      return offset + size;
    case kAnchorCentre:
      // Half the growth, so the edge keeps its place relative to the centre
      // line (C++ division truncates toward zero, as a shrink needs).
      return base + (size - base) / 2 + offset;
    default:
      return old;
  }
}

LayoutEntry MakeLayoutEntry(int id, const int (&types)[4], const RECT& rect, SIZE base) {
  LayoutEntry entry;
  entry.id = id;
  const int coords[4] = {rect.left, rect.top, rect.right, rect.bottom};
  for (int i = 0; i < 4; ++i) {
    entry.types[i] = types[i];
    entry.offsets[i] = AnchorOffset(types[i], coords[i], i % 2 == 0 ? base.cx : base.cy);
  }
  return entry;
}

RECT AnchoredRect(const LayoutEntry& entry, const RECT& current, SIZE size, SIZE base) {
  return RECT{AnchoredEdge(entry.types[0], entry.offsets[0], size.cx, base.cx, current.left),
              AnchoredEdge(entry.types[1], entry.offsets[1], size.cy, base.cy, current.top),
              AnchoredEdge(entry.types[2], entry.offsets[2], size.cx, base.cx, current.right),
              AnchoredEdge(entry.types[3], entry.offsets[3], size.cy, base.cy, current.bottom)};
}

void CLayoutManager::AddItem(int id, int left, int top, int right, int bottom) {
  CSkinWindowItem* item = GetItem(id);
  if (!item) return;
  const int types[4] = {left, top, right, bottom};
  const LayoutEntry entry = MakeLayoutEntry(id, types, item->Rect(), GetBaseSize());
  for (auto& existing : _entries) {
    if (existing.id == id) {
      existing = entry;
      return;
    }
  }
  _entries.push_back(entry);
}

void CLayoutManager::OnSize(int cx, int cy) {
  for (const auto& entry : _entries) {
    CSkinWindowItem* item = GetItem(entry.id);
    if (!item) continue;
    const RECT now = item->Rect();
    const RECT next = AnchoredRect(entry, now, SIZE{cx, cy}, _layout);
    if (!::EqualRect(&now, &next)) item->SetRect(next.left, next.top, next.right, next.bottom);
  }
}

namespace {

// Rows and columns of the zone table; -1 outside the client.
int ZoneColumn(int x, const RECT& r, int d, int c) {
  if (x < r.left || x >= r.right) return -1;
  if (x < r.left + d) return 0;
  if (x < r.left + c) return 1;
  if (x < r.right - c) return 2;
  if (x < r.right - d) return 3;
  return 4;
}

int ZoneRow(int y, const RECT& r, int d, int c, int h) {
  if (y < r.top || y >= r.bottom) return -1;
  if (y < r.top + d) return 0;
  if (y < r.top + c) return 1;
  if (y < r.top + c + h) return 2;
  if (y < r.bottom - c) return 3;
  if (y < r.bottom - d) return 4;
  return 5;
}

const int kZoneTable[6][5] = {
    {0, 0, 1, 2, 2}, {0, 0, 10, 2, 2}, {3, 4, 4, 4, 5},
    {3, 4, 4, 4, 5}, {6, 6, 4, 8, 8},  {6, 6, 7, 8, 8},
};

bool MovesLeft(int zone) { return zone == 0 || zone == 3 || zone == 6; }
bool MovesTop(int zone) { return zone == 0 || zone == 1 || zone == 2; }
bool MovesRight(int zone) { return zone == 2 || zone == 5 || zone == 8; }
bool MovesBottom(int zone) { return zone == 6 || zone == 7 || zone == 8; }

}  // namespace

int BorderZoneAt(POINT pt, const RECT& client, int border, int caption) {
  const int corner = border != 0 ? 16 : 0;
  const int column = ZoneColumn(pt.x, client, border, corner);
  const int row = ZoneRow(pt.y, client, border, corner, caption);
  if (column < 0 || row < 0) return kZoneNone;
  return kZoneTable[row][column];
}

bool IsResizeZone(int zone) { return zone >= 0 && zone <= 8 && zone != kZoneInside; }

DragLimits DragLimitsFor(int zone, const RECT& w, SIZE minimum) {
  return DragLimits{MovesLeft(zone) ? w.right - minimum.cx : w.left,
                    MovesTop(zone) ? w.bottom - minimum.cy : w.top,
                    MovesRight(zone) ? w.left + minimum.cx : w.right,
                    MovesBottom(zone) ? w.top + minimum.cy : w.bottom};
}

RECT DraggedRect(int zone, const RECT& start, POINT delta, const DragLimits& limits) {
  RECT r = start;
  if (MovesLeft(zone)) r.left += delta.x;
  if (MovesTop(zone)) r.top += delta.y;
  if (MovesRight(zone)) r.right += delta.x;
  if (MovesBottom(zone)) r.bottom += delta.y;
  r.left = std::min<LONG>(r.left, limits.max_left);
  r.top = std::min<LONG>(r.top, limits.max_top);
  r.right = std::max<LONG>(r.right, limits.min_right);
  r.bottom = std::max<LONG>(r.bottom, limits.min_bottom);
  return r;
}

int SizingEdgeOfZone(int zone) {
  static const int kEdges[9] = {WMSZ_TOPLEFT, WMSZ_TOP,        WMSZ_TOPRIGHT, WMSZ_LEFT,       0,
                                WMSZ_RIGHT,   WMSZ_BOTTOMLEFT, WMSZ_BOTTOM,   WMSZ_BOTTOMRIGHT};
  return zone >= 0 && zone <= 8 ? kEdges[zone] : 0;
}

bool LimitSizingRect(int edge, RECT* r, SIZE maximum) {
  if (edge < WMSZ_LEFT || edge > WMSZ_BOTTOMRIGHT) return false;
  if (r->right - r->left > maximum.cx) {
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
      r->left = r->right - maximum.cx;
    else
      r->right = r->left + maximum.cx;
  }
  if (r->bottom - r->top > maximum.cy) {
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
      r->top = r->bottom - maximum.cy;
    else
      r->bottom = r->top + maximum.cy;
  }
  return true;
}

bool MakeResizableGrid(const RECT& b, int x1, int y1, int x2, int y2, SIZE min_override,
                       ResizableGrid* grid) {
  if (b.left > x1 || x1 > x2 || x2 > b.right || b.top > y1 || y1 > y2 || y2 > b.bottom)
    return false;
  const int xs[4] = {static_cast<int>(b.left), x1, x2, static_cast<int>(b.right)};
  const int ys[4] = {static_cast<int>(b.top), y1, y2, static_cast<int>(b.bottom)};
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column)
      grid->cells[row * 3 + column] = RECT{xs[column], ys[row], xs[column + 1], ys[row + 1]};
  grid->minimum = SIZE{(x1 - b.left) + (b.right - x2), (y1 - b.top) + (b.bottom - y2)};
  if (min_override.cx != 0) grid->minimum.cx = min_override.cx;
  if (min_override.cy != 0) grid->minimum.cy = min_override.cy;
  return true;
}

}  // namespace ui
