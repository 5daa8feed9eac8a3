// Pure arithmetic of the custom scroll bar; see the header.
#include "CustomScrollBarGeometry.h"

#include <algorithm>

namespace ui {
namespace scrollbar {

namespace {

// MulDiv answers -1 for a zero divisor; every caller here wants 0 then.
int Scale(int value, int numerator, int denominator) {
  if (denominator == 0) return 0;
  return ::MulDiv(value, numerator, denominator);
}

long long Page(const SCROLLINFO& info) { return static_cast<long long>(info.nPage); }

}  // namespace

int EffectiveArrow(int start, int end, int arrow) {
  const int length = end - start;
  return length <= 2 * arrow ? length / 2 : arrow;
}

ThumbLayout LayoutThumb(int start, int end, int arrow, const SCROLLINFO& info, int min_thumb) {
  ThumbLayout layout;
  layout.track_start = start + arrow;
  layout.track_length = std::max(0, end - arrow - layout.track_start);
  layout.thumb_start = layout.track_start;
  const long long range = static_cast<long long>(info.nMax) - info.nMin + 1;
  if (info.nPage != 0) {
    if (range < 1) return layout;
    layout.thumb_size =
        std::max(Scale(static_cast<int>(info.nPage), layout.track_length, static_cast<int>(range)),
                 min_thumb);
  } else {
    layout.thumb_size = arrow;
  }
  if (range > 0) {
    const int free = layout.track_length - layout.thumb_size;
    const int steps = static_cast<int>(range - (info.nPage != 0 ? Page(info) : 1));
    int offset = Scale(info.nPos - info.nMin, free, steps);
    if (offset < 0) offset = 0;
    if (offset >= free) offset = std::max(free, 0);
    layout.thumb_start = layout.track_start + offset;
  }
  return layout;
}

int HitTestAlong(int start, int end, int arrow, const SCROLLINFO& info, int min_thumb, int x) {
  const int a = EffectiveArrow(start, end, arrow);
  if (x >= start && x < start + a) return kPartFirstArrow;
  if (x >= end - a && x < end) return kPartSecondArrow;
  const ThumbLayout layout = LayoutThumb(start, end, a, info, min_thumb);
  if (layout.thumb_size >= layout.track_length) return kPartNone;
  const int thumb_end = layout.thumb_start + layout.thumb_size;
  if (x >= layout.thumb_start && x < thumb_end) return kPartThumb;
  if (x >= start + a && x < layout.thumb_start) return kPartPageBefore;
  if (x >= thumb_end && x < end - a) return kPartPageAfter;
  return kPartNone;
}

int HitTestBar(const RECT& bar, bool vertical, int arrow, const SCROLLINFO& info, int min_thumb,
               POINT point) {
  const int across = vertical ? point.x : point.y;
  const int across_start = vertical ? bar.left : bar.top;
  const int across_end = vertical ? bar.right : bar.bottom;
  if (across < across_start || across >= across_end) return kPartNone;
  if (vertical) return HitTestAlong(bar.top, bar.bottom, arrow, info, min_thumb, point.y);
  return HitTestAlong(bar.left, bar.right, arrow, info, min_thumb, point.x);
}

int TrackPosFromThumb(const ThumbLayout& layout, int thumb_start, const SCROLLINFO& info) {
  const int moved = thumb_start - layout.track_start;
  const long long span = static_cast<long long>(info.nMax) - info.nMin;
  int pos = moved;
  if (span >= 1) {
    const int positions = static_cast<int>(span - Page(info) + 1);
    pos = Scale(moved, positions, layout.track_length - layout.thumb_size);
  }
  // The request carries an absolute position, like the system bars send.
  pos += info.nMin;
  const long long last = info.nMax - std::max<long long>(Page(info) - 1, 0);
  if (pos > last) pos = static_cast<int>(last);
  if (pos < info.nMin) pos = info.nMin;
  return pos;
}

int DragThumbStart(const RECT& snap_base, bool vertical, int press_start, int drag_offset,
                   const ThumbLayout& layout, POINT cursor) {
  RECT snap = snap_base;
  if (vertical) {
    InflateRect(&snap, 24, 48);
  } else {
    InflateRect(&snap, 48, 24);
  }
  if (!PtInRect(&snap, cursor)) return press_start;
  const int along = vertical ? cursor.y : cursor.x;
  const int last = layout.track_start + layout.track_length - layout.thumb_size;
  return std::max(layout.track_start, std::min(along - drag_offset, last));
}

bool CanScroll(const SCROLLINFO& info) {
  return Page(info) <= info.nMax && info.nMax > info.nMin && info.nMax != 0;
}

bool IsOperable(int flags, const SCROLLINFO& info) {
  const int both = kFirstArrowDisabled | kSecondArrowDisabled;
  return (flags & both) != both && ((flags & kKeepShown) != 0 || CanScroll(info));
}

int ApplyScrollInfo(SCROLLINFO& bar, const SCROLLINFO& given) {
  if (given.fMask & SIF_RANGE) {
    bar.nMin = given.nMin;
    bar.nMax = given.nMax;
  }
  if (given.fMask & SIF_PAGE) {
    const long long range = static_cast<long long>(bar.nMax) - bar.nMin + 1;
    bar.nPage = static_cast<UINT>(std::max<long long>(0, std::min(Page(given), range)));
  }
  if (given.fMask & SIF_POS) {
    long long pos = std::max(given.nPos, bar.nMin);
    pos = std::min<long long>(pos, static_cast<long long>(bar.nMax) - Page(bar) + 1);
    bar.nPos = static_cast<int>(pos);
  }
  return bar.nPos;
}

int ApplyScrollPos(SCROLLINFO& bar, int pos) {
  const int previous = bar.nPos;
  long long clamped = std::max(pos, bar.nMin);
  clamped = std::min<long long>(clamped, static_cast<long long>(bar.nMax) + 1 - Page(bar));
  bar.nPos = static_cast<int>(clamped);
  return previous;
}

bool WantsVisible(const SCROLLINFO& info) {
  return Page(info) <= info.nMax && !(info.nPage == 0 && info.nMax == 0) && info.nMax > info.nMin;
}

bool IsValidSize(int arrow, int width) {
  const auto fits = [](int v) { return v != 0 && v >= -8 && v <= 256; };
  return fits(arrow) && fits(width);
}

int ResolveMetric(int value, int metric) { return value < 0 ? -value * metric : value; }

int DefaultMinThumb(DWORD version) {
  if (version & 0x80000000u) return 8;  // Windows 9x
  return (version & 0xFF) < 5 ? 8 : 6;
}

std::vector<PaintPart> LayoutPaint(int start, int end, int arrow, int flags, const SCROLLINFO& info,
                                   int min_thumb) {
  std::vector<PaintPart> parts;
  const bool scrolls = CanScroll(info);
  const bool keep = (flags & kKeepShown) != 0;
  const bool first_inactive = (flags & kFirstArrowDisabled) || (!scrolls && !keep);
  const bool second_inactive = (flags & kSecondArrowDisabled) || (!scrolls && !keep);
  if (end - start <= 2 * arrow) {
    const int half = (end - start) / 2;
    parts.push_back({kPartFirstArrow, start, start + half, first_inactive});
    if (end - half > start + half)
      parts.push_back({kPartPageBefore, start + half, end - half, false});
    parts.push_back({kPartSecondArrow, end - half, end, second_inactive});
    return parts;
  }
  parts.push_back({kPartFirstArrow, start, start + arrow, first_inactive});
  const ThumbLayout layout = LayoutThumb(start, end, arrow, info, min_thumb);
  const int track_end = layout.track_start + layout.track_length;
  const int both = kFirstArrowDisabled | kSecondArrowDisabled;
  if (layout.thumb_size >= 1 && layout.thumb_size < layout.track_length && scrolls &&
      (flags & both) != both) {
    const int thumb_end = layout.thumb_start + layout.thumb_size;
    parts.push_back({kPartPageBefore, layout.track_start, layout.thumb_start, false});
    parts.push_back({kPartPageAfter, thumb_end, track_end, false});
    parts.push_back({kPartThumb, layout.thumb_start, thumb_end, false});
  } else if (keep && !scrolls && layout.track_length > min_thumb) {
    parts.push_back({kPartPageAfter, track_end - 1, track_end, false});
    parts.push_back({kPartThumb, layout.track_start, track_end - 1, false});
  } else {
    parts.push_back({kPartPageBefore, layout.track_start, track_end, false});
  }
  parts.push_back({kPartSecondArrow, end - arrow, end, second_inactive});
  return parts;
}

}  // namespace scrollbar
}  // namespace ui
