// The scroll bar arithmetic as tables: thumb size and place, hit tests
// (also of a bar shorter than two arrows), the track position of a dragged
// thumb, the clamping and visibility of scroll information, size bounds and
// the parts a bar paints.
#include <gtest/gtest.h>

#include "CustomScrollBarGeometry.h"

namespace sb = ui::scrollbar;

namespace {

SCROLLINFO Info(int min, int max, UINT page, int pos) {
  SCROLLINFO info = {};
  info.cbSize = sizeof(info);
  info.fMask = SIF_ALL;
  info.nMin = min;
  info.nMax = max;
  info.nPage = page;
  info.nPos = pos;
  return info;
}

struct ThumbCase {
  const char* name;
  int start, end, arrow;
  SCROLLINFO info;
  int min_thumb;
  int thumb_start, thumb_size;
};

TEST(CustomScrollBarGeometry, ThumbSizeAndOffset) {
  const ThumbCase cases[] = {
      // A 100-pixel track between two 10-pixel arrows.
      {"tenth of the range", 0, 120, 10, Info(0, 99, 10, 0), 6, 10, 10},
      {"minimum thumb wins", 0, 120, 10, Info(0, 999, 10, 0), 6, 10, 6},
      {"at the end", 0, 120, 10, Info(0, 99, 10, 90), 6, 100, 10},
      {"half way", 0, 120, 10, Info(0, 99, 10, 45), 6, 55, 10},
      {"position beyond the end kept on the track", 0, 120, 10, Info(0, 99, 10, 500), 6, 100, 10},
      {"position below min taken as 0", 0, 120, 10, Info(10, 109, 10, 0), 6, 10, 10},
      {"empty range", 0, 120, 10, Info(5, 4, 10, 0), 6, 10, 0},
      {"page 0 gives an arrow-long thumb", 0, 120, 10, Info(0, 0, 0, 0), 6, 10, 10},
      {"page equal to range", 0, 120, 10, Info(0, 99, 100, 0), 6, 10, 100},
      {"offset bar", 50, 170, 10, Info(0, 99, 50, 50), 6, 110, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const sb::ThumbLayout layout = sb::LayoutThumb(c.start, c.end, c.arrow, c.info, c.min_thumb);
    EXPECT_EQ(layout.track_start, c.start + c.arrow);
    EXPECT_EQ(layout.track_length, c.end - c.start - 2 * c.arrow);
    EXPECT_EQ(layout.thumb_start, c.thumb_start);
    EXPECT_EQ(layout.thumb_size, c.thumb_size);
  }
}

struct HitCase {
  const char* name;
  int start, end, arrow;
  SCROLLINFO info;
  int x;
  int part;
};

TEST(CustomScrollBarGeometry, HitTestAlongTheBar) {
  const SCROLLINFO mid = Info(0, 99, 10, 45);  // thumb at 55..65 on 0..120
  const HitCase cases[] = {
      {"first arrow start", 0, 120, 10, mid, 0, sb::kPartFirstArrow},
      {"first arrow end", 0, 120, 10, mid, 9, sb::kPartFirstArrow},
      {"page before", 0, 120, 10, mid, 10, sb::kPartPageBefore},
      {"page before the thumb", 0, 120, 10, mid, 54, sb::kPartPageBefore},
      {"thumb", 0, 120, 10, mid, 55, sb::kPartThumb},
      {"thumb end", 0, 120, 10, mid, 64, sb::kPartThumb},
      {"page after", 0, 120, 10, mid, 65, sb::kPartPageAfter},
      {"second arrow", 0, 120, 10, mid, 110, sb::kPartSecondArrow},
      {"second arrow end", 0, 120, 10, mid, 119, sb::kPartSecondArrow},
      {"past the end", 0, 120, 10, mid, 120, sb::kPartNone},
      {"before the start", 0, 120, 10, mid, -1, sb::kPartNone},
      {"track full of thumb", 0, 120, 10, Info(0, 99, 100, 0), 50, sb::kPartNone},
      // Not longer than two arrows: two half-length arrows, no thumb.
      {"short bar first half", 0, 15, 10, mid, 6, sb::kPartFirstArrow},
      {"short bar middle pixel", 0, 15, 10, mid, 7, sb::kPartNone},
      {"short bar second half", 0, 15, 10, mid, 8, sb::kPartSecondArrow},
      {"bar of exactly two arrows", 0, 20, 10, mid, 10, sb::kPartSecondArrow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sb::HitTestAlong(c.start, c.end, c.arrow, c.info, 6, c.x), c.part);
  }
}

TEST(CustomScrollBarGeometry, HitTestAcrossTheBar) {
  const RECT vertical = {100, 0, 111, 120};
  const SCROLLINFO info = Info(0, 99, 10, 45);
  EXPECT_EQ(sb::HitTestBar(vertical, true, 10, info, 6, {105, 60}), sb::kPartThumb);
  EXPECT_EQ(sb::HitTestBar(vertical, true, 10, info, 6, {99, 60}), sb::kPartNone);
  EXPECT_EQ(sb::HitTestBar(vertical, true, 10, info, 6, {111, 60}), sb::kPartNone);
  const RECT horizontal = {0, 50, 120, 61};
  EXPECT_EQ(sb::HitTestBar(horizontal, false, 10, info, 6, {5, 50}), sb::kPartFirstArrow);
  EXPECT_EQ(sb::HitTestBar(horizontal, false, 10, info, 6, {5, 61}), sb::kPartNone);
}

struct TrackCase {
  const char* name;
  SCROLLINFO info;
  int thumb_start;
  int pos;
};

TEST(CustomScrollBarGeometry, TrackPositionFromThumb) {
  const TrackCase cases[] = {
      {"track start", Info(0, 99, 10, 0), 10, 0},
      {"track end", Info(0, 99, 10, 0), 100, 90},
      {"half way", Info(0, 99, 10, 0), 55, 45},
      {"non-zero minimum is absolute", Info(20, 119, 10, 20), 100, 110},
      {"single step range", Info(0, 0, 0, 0), 30, 0},
      // The thumb fills the track: MulDiv would divide by zero and send -1.
      {"track no longer than the thumb", Info(0, 99, 100, 0), 10, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const sb::ThumbLayout layout = sb::LayoutThumb(0, 120, 10, c.info, 6);
    EXPECT_EQ(sb::TrackPosFromThumb(layout, c.thumb_start, c.info), c.pos);
  }
}

struct DragCase {
  const char* name;
  POINT cursor;
  int thumb_start;
};

TEST(CustomScrollBarGeometry, DragSnapsBackOutsideTheSnapRectangle) {
  // Vertical bar 100..111 across, 0..120 along; thumb 55..65, grabbed at 60.
  const SCROLLINFO info = Info(0, 99, 10, 45);
  const sb::ThumbLayout layout = sb::LayoutThumb(0, 120, 10, info, 6);
  const RECT thumb = {100, 55, 111, 65};
  const DragCase cases[] = {
      {"follows the cursor", {105, 70}, 65},
      {"kept on the track at the end", {105, 112}, 100},
      {"kept on the track at the start", {105, 8}, 10},
      {"48 beyond the end along still inside", {105, 112}, 100},
      {"more than 48 beyond along snaps back", {105, 114}, 55},
      {"more than 48 before along snaps back", {105, 6}, 55},
      {"24 across still inside", {76, 70}, 65},
      {"more than 24 across snaps back", {75, 70}, 55},
      {"right side more than 24 across", {135, 70}, 55},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sb::DragThumbStart(thumb, true, 55, 5, layout, c.cursor), c.thumb_start);
  }
}

struct InfoCase {
  const char* name;
  SCROLLINFO before;
  SCROLLINFO given;
  int min, max;
  UINT page;
  int pos;
  bool visible;
};

SCROLLINFO Given(UINT mask, int min, int max, UINT page, int pos) {
  SCROLLINFO info = Info(min, max, page, pos);
  info.fMask = mask;
  return info;
}

TEST(CustomScrollBarGeometry, SetScrollInfoClampsAndDecidesVisibility) {
  const SCROLLINFO zero = Info(0, 0, 0, 0);
  const SCROLLINFO list = Info(0, 99, 10, 20);
  const InfoCase cases[] = {
      {"all fields", zero, Given(SIF_ALL, 0, 99, 10, 20), 0, 99, 10, 20, true},
      {"page clamped to the range", zero, Given(SIF_ALL, 0, 99, 200, 0), 0, 99, 100, 0, false},
      {"position raised to min", zero, Given(SIF_ALL, 5, 99, 10, 0), 5, 99, 10, 5, true},
      {"position lowered to the last page", zero, Given(SIF_ALL, 0, 99, 10, 95), 0, 99, 10, 90,
       true},
      {"only the position", list, Given(SIF_POS, 0, 0, 0, 50), 0, 99, 10, 50, true},
      {"only the page", list, Given(SIF_PAGE, 0, 0, 50, 0), 0, 99, 50, 20, true},
      {"only the range keeps the position", list, Given(SIF_RANGE, 0, 30, 0, 0), 0, 30, 10, 20,
       true},
      {"empty", zero, Given(SIF_ALL, 0, 0, 0, 0), 0, 0, 0, 0, false},
      {"page equals max", zero, Given(SIF_ALL, 0, 10, 10, 0), 0, 10, 10, 0, true},
      {"page 0 with a range", zero, Given(SIF_ALL, 0, 10, 0, 3), 0, 10, 0, 3, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SCROLLINFO bar = c.before;
    EXPECT_EQ(sb::ApplyScrollInfo(bar, c.given), c.pos);
    EXPECT_EQ(bar.nMin, c.min);
    EXPECT_EQ(bar.nMax, c.max);
    EXPECT_EQ(bar.nPage, c.page);
    EXPECT_EQ(bar.nPos, c.pos);
    EXPECT_EQ(sb::WantsVisible(bar), c.visible);
  }
}

TEST(CustomScrollBarGeometry, SetScrollPosClampsAndReturnsThePrevious) {
  SCROLLINFO bar = Info(0, 99, 10, 20);
  EXPECT_EQ(sb::ApplyScrollPos(bar, 200), 20);
  EXPECT_EQ(bar.nPos, 90);
  EXPECT_EQ(sb::ApplyScrollPos(bar, -5), 90);
  EXPECT_EQ(bar.nPos, 0);
}

TEST(CustomScrollBarGeometry, ScrollAndOperableRules) {
  EXPECT_TRUE(sb::CanScroll(Info(0, 99, 10, 0)));
  EXPECT_FALSE(sb::CanScroll(Info(0, 99, 100, 0)));
  EXPECT_FALSE(sb::CanScroll(Info(0, 0, 0, 0)));
  EXPECT_FALSE(sb::CanScroll(Info(5, 5, 0, 0)));
  EXPECT_TRUE(sb::IsOperable(0, Info(0, 99, 10, 0)));
  EXPECT_FALSE(
      sb::IsOperable(sb::kFirstArrowDisabled | sb::kSecondArrowDisabled, Info(0, 99, 10, 0)));
  EXPECT_TRUE(sb::IsOperable(sb::kFirstArrowDisabled, Info(0, 99, 10, 0)));
  EXPECT_FALSE(sb::IsOperable(0, Info(0, 0, 0, 0)));
  EXPECT_TRUE(sb::IsOperable(sb::kKeepShown, Info(0, 0, 0, 0)));
}

TEST(CustomScrollBarGeometry, SizeBoundsAndMetrics) {
  const struct {
    int arrow, width;
    bool valid;
  } cases[] = {{11, 11, true},  {0, 11, false},   {11, 0, false},   {-8, -8, true},
               {-9, 11, false}, {256, 256, true}, {257, 11, false}, {11, 257, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.arrow << "," << c.width);
    EXPECT_EQ(sb::IsValidSize(c.arrow, c.width), c.valid);
  }
  EXPECT_EQ(sb::ResolveMetric(-1, 17), 17);
  EXPECT_EQ(sb::ResolveMetric(-2, 17), 34);
  EXPECT_EQ(sb::ResolveMetric(11, 17), 11);
  EXPECT_EQ(sb::DefaultMinThumb(0x1DB10106), 6);  // 6.1
  EXPECT_EQ(sb::DefaultMinThumb(0x00000004), 8);  // NT 4
  EXPECT_EQ(sb::DefaultMinThumb(0x80000004), 8);  // 9x
}

std::vector<int> Parts(const std::vector<sb::PaintPart>& paint) {
  std::vector<int> parts;
  for (const auto& p : paint) parts.push_back(p.part);
  return parts;
}

TEST(CustomScrollBarGeometry, PaintLayouts) {
  // Scrolling bar: arrows, both pages and the thumb, in painting order.
  auto paint = sb::LayoutPaint(0, 120, 10, 0, Info(0, 99, 10, 45), 6);
  EXPECT_EQ(Parts(paint), (std::vector<int>{0, 2, 3, 5, 1}));
  EXPECT_EQ(paint[3].start, 55);
  EXPECT_EQ(paint[3].end, 65);
  EXPECT_FALSE(paint[0].inactive);

  // Page 0 (the control could not scroll): an empty track, inactive arrows.
  paint = sb::LayoutPaint(0, 120, 10, 0, Info(0, 0, 0, 0), 6);
  EXPECT_EQ(Parts(paint), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(paint[1].start, 10);
  EXPECT_EQ(paint[1].end, 110);
  EXPECT_TRUE(paint[0].inactive);
  EXPECT_TRUE(paint[2].inactive);

  // Kept shown without a range: a thumb over the track but its last pixel.
  paint = sb::LayoutPaint(0, 120, 10, sb::kKeepShown, Info(0, 0, 0, 0), 6);
  EXPECT_EQ(Parts(paint), (std::vector<int>{0, 3, 5, 1}));
  EXPECT_EQ(paint[2].start, 10);
  EXPECT_EQ(paint[2].end, 109);
  EXPECT_FALSE(paint[0].inactive);

  // Shorter than two arrows: two half arrows and the odd pixel as page.
  paint = sb::LayoutPaint(0, 15, 10, 0, Info(0, 99, 10, 45), 6);
  EXPECT_EQ(Parts(paint), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(paint[0].end, 7);
  EXPECT_EQ(paint[2].start, 8);
  paint = sb::LayoutPaint(0, 14, 10, 0, Info(0, 99, 10, 45), 6);
  EXPECT_EQ(Parts(paint), (std::vector<int>{0, 1}));

  // One disabled arrow is drawn inactive; both disabled hide the thumb.
  paint = sb::LayoutPaint(0, 120, 10, sb::kFirstArrowDisabled, Info(0, 99, 10, 45), 6);
  EXPECT_TRUE(paint.front().inactive);
  EXPECT_FALSE(paint.back().inactive);
  paint = sb::LayoutPaint(0, 120, 10, 3, Info(0, 99, 10, 45), 6);
  EXPECT_EQ(Parts(paint), (std::vector<int>{0, 2, 1}));
}

}  // namespace
