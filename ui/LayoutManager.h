// Keeping items in place relative to the window's edges as the window is
// resized, and the geometry of border resizing: which border zone a point is
// in, how a drag moves the window's edges and where the minimum size stops
// them. Everything but the manager's item lookups is pure.
#pragma once

#include <vector>

#include "OvWindows.h"

namespace ui {

class CSkinWindowItem;

// How an item's edge follows the window: where it is, fixed distance from
// the left/top edge, fixed distance from the right/bottom edge, fixed
// distance from the centre line.
enum AnchorType { kAnchorKeep = 0, kAnchorNear = 1, kAnchorFar = 2, kAnchorCentre = 3 };

// The offset an edge at `coord` records in a layout of extent `base`.
int AnchorOffset(int type, int coord, int base);
// The edge's place in a window of extent `size`; `old` where it is now.
int AnchoredEdge(int type, int offset, int size, int base, int old);

struct LayoutEntry {
  int id = 0;
  int types[4] = {};    // left, top, right, bottom
  int offsets[4] = {};  // left, top, right, bottom
};

// The entry for an item at `rect` in a layout of size `base`.
LayoutEntry MakeLayoutEntry(int id, const int (&types)[4], const RECT& rect, SIZE base);
// Where the entry puts an item now at `current` in a client of size `size`.
RECT AnchoredRect(const LayoutEntry& entry, const RECT& current, SIZE size, SIZE base);

class CLayoutManager {
 public:
  virtual ~CLayoutManager() = default;
  // Moves every anchored item for a client of this size.
  virtual void OnSize(int cx, int cy);
  virtual CSkinWindowItem* GetItem(int id) = 0;
  virtual SIZE GetBaseSize() const = 0;

  // Anchors the item as it lies now; an entry of the same id is replaced.
  void AddItem(int id, int left, int top, int right, int bottom);
  void ClearEntries() { _entries.clear(); }
  const std::vector<LayoutEntry>& Entries() const { return _entries; }
  void SetManagerLayoutSize(SIZE size) { _layout = size; }
  SIZE ManagerLayoutSize() const { return _layout; }

 private:
  std::vector<LayoutEntry> _entries;
  SIZE _layout = {0, 0};
};

// Border zones of a resizable window.
enum BorderZone {
  kZoneTopLeft = 0,
  kZoneTop = 1,
  kZoneTopRight = 2,
  kZoneLeft = 3,
  kZoneInside = 4,
  kZoneRight = 5,
  kZoneBottomLeft = 6,
  kZoneBottom = 7,
  kZoneBottomRight = 8,
  kZoneCaption = 10,
  kZoneNone = 11,
};

// The zone of a client point that no item covers: `border` pixels of
// resizing edge, 16-pixel corners (none without a border), the caption
// below the top corners.
int BorderZoneAt(POINT pt, const RECT& client, int border, int caption);
bool IsResizeZone(int zone);

// How far a drag may move each edge before the window gets smaller than
// its minimum size.
struct DragLimits {
  int max_left;
  int max_top;
  int min_right;
  int min_bottom;
};

DragLimits DragLimitsFor(int zone, const RECT& window, SIZE minimum);
// The window rectangle after the cursor moved by `delta` from where a drag
// of `zone` started on the window rectangle `start`.
RECT DraggedRect(int zone, const RECT& start, POINT delta, const DragLimits& limits);
// The WM_SIZING edge code of a zone; 0 for zones that move no edge.
int SizingEdgeOfZone(int zone);
// Cuts a rectangle larger than `maximum` on the side the edge code drags;
// false for codes outside 1 to 8 (nothing changed).
bool LimitSizingRect(int edge, RECT* rect, SIZE maximum);

// The Base picture cut for stretching: the nine source cells (top-left,
// top, top-right, left, centre, right, bottom-left, bottom, bottom-right)
// and the smallest window the corners allow.
struct ResizableGrid {
  RECT cells[9];
  SIZE minimum;
};

// From the picture's rectangle and the two dividing points (picture
// coordinates); a non-zero `min_override` value replaces the corners' sum.
// False when the points lie outside the rectangle or out of order.
bool MakeResizableGrid(const RECT& base, int x1, int y1, int x2, int y2, SIZE min_override,
                       ResizableGrid* grid);

}  // namespace ui
