// The custom scroll bar's arithmetic: thumb size and place, hit testing,
// the track position of a dragged thumb, the clamping of scroll
// information and the parts a bar paints. Pure functions on plain values so
// that every rule can be checked without a window; the engine
// (CustomScrollBarBase) calls them with the rectangles of a real frame.
#pragma once

#include <vector>

#include "OvWindows.h"

namespace ui {
namespace scrollbar {

// Hit-test codes; each is also the scroll request sent for the part.
enum Part : int {
  kPartNone = -1,
  kPartFirstArrow = 0,   // SB_LINEUP
  kPartSecondArrow = 1,  // SB_LINEDOWN
  kPartPageBefore = 2,   // SB_PAGEUP
  kPartPageAfter = 3,    // SB_PAGEDOWN
  kPartThumb = 5,        // SB_THUMBTRACK
};

// Bar flags.
constexpr int kFirstArrowDisabled = 1;
constexpr int kSecondArrowDisabled = 2;
constexpr int kKeepShown = 4;
constexpr int kVisible = 8;

// The thumb's place along a bar (one coordinate axis; a vertical bar uses
// y where a horizontal one uses x).
struct ThumbLayout {
  int track_start = 0;
  int track_length = 0;
  int thumb_start = 0;
  int thumb_size = 0;
};

// Lays out the thumb of a bar running from start to end with arrows of
// the given length at both ends.
ThumbLayout LayoutThumb(int start, int end, int arrow, const SCROLLINFO& info, int min_thumb);

// The arrow length actually used: half the bar when the bar is not longer
// than two arrows.
int EffectiveArrow(int start, int end, int arrow);

// The part under the along-bar coordinate x of a bar [start, end).
int HitTestAlong(int start, int end, int arrow, const SCROLLINFO& info, int min_thumb, int x);

// The part under a point of a bar rectangle; -1 outside it.
int HitTestBar(const RECT& bar, bool vertical, int arrow, const SCROLLINFO& info, int min_thumb,
               POINT point);

// The position a thumb starting at thumb_start stands for. Never below min
// nor beyond the last position a page can show, also when the track is no
// longer than the thumb.
int TrackPosFromThumb(const ThumbLayout& layout, int thumb_start, const SCROLLINFO& info);

// Where a dragged thumb starts: the cursor minus the drag offset inside the
// snap rectangle (`snap_base` widened by 48 along and 24 across), kept on
// the track; the start at the press outside it.
int DragThumbStart(const RECT& snap_base, bool vertical, int press_start, int drag_offset,
                   const ThumbLayout& layout, POINT cursor);

bool CanScroll(const SCROLLINFO& info);
bool IsOperable(int flags, const SCROLLINFO& info);

// Applies the fields of `given` that its mask names to `bar`, clamping
// page and position; returns the new position.
int ApplyScrollInfo(SCROLLINFO& bar, const SCROLLINFO& given);
// Sets the position clamped to the range; returns the previous one.
int ApplyScrollPos(SCROLLINFO& bar, int pos);
// Whether clamped information asks for a shown bar (without
// SIF_DISABLENOSCROLL and the keep-shown flag).
bool WantsVisible(const SCROLLINFO& info);

// Arrow length and bar width must both be non-zero and within -8..256; a
// negative value counts system metrics.
bool IsValidSize(int arrow, int width);
int ResolveMetric(int value, int metric);
// The default minimum thumb size for a GetVersion() result.
int DefaultMinThumb(DWORD version);

// One part of a bar's paint, in along-bar coordinates [start, end).
struct PaintPart {
  int part;
  int start;
  int end;
  bool inactive;  // arrows only
};
// The parts a bar paints, in painting order (first arrow, page before,
// page after, thumb, second arrow).
std::vector<PaintPart> LayoutPaint(int start, int end, int arrow, int flags, const SCROLLINFO& info,
                                   int min_thumb);

}  // namespace scrollbar
}  // namespace ui
