// The layout manager's anchors and the border-resizing geometry as pure
// functions, in tables; the manager itself over items with no window.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "FakeItemAccessor.h"
#include "LayoutManager.h"

namespace {

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

struct EdgeCase {
  const char* name;
  int type;
  int coord;   // where the edge lies in the layout
  int base;    // layout extent
  int size;    // new extent
  int old;     // where the edge lies now
  int offset;  // expected recorded offset
  int placed;  // expected new place
};

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

class AnchorEdgeTest : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(AnchorEdgeTest, RecordsAndPlacesTheEdge) {
  const EdgeCase& c = GetParam();
  EXPECT_EQ(ui::AnchorOffset(c.type, c.coord, c.base), c.offset);
  EXPECT_EQ(ui::AnchoredEdge(c.type, c.offset, c.size, c.base, c.old), c.placed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnchorEdgeTest,
    ::testing::Values(EdgeCase{"KeepStaysWhereItIs", 0, 30, 200, 300, 41, 0, 41},
                      EdgeCase{"NearKeepsDistanceFromLeft", 1, 30, 200, 300, 30, 30, 30},
                      EdgeCase{"FarKeepsDistanceFromRight", 2, 190, 200, 300, 190, -10, 290},
                      EdgeCase{"FarOnShrink", 2, 190, 200, 150, 190, -10, 140},
                      EdgeCase{"CentreMovesByHalfTheGrowth", 3, 90, 200, 300, 90, -110, 140},
                      EdgeCase{"CentreOddGrowthTruncates", 3, 90, 200, 201, 90, -110, 90},
                      EdgeCase{"CentreOddShrinkTruncatesTowardZero", 3, 90, 200, 197, 90, -110, 89},
                      EdgeCase{"UnknownTypeKeeps", 7, 30, 200, 300, 55, 0, 55}));

TEST(AnchoredRectTest, StretchesWithFarAnchorsAndKeepsCentredItemCentred) {
  const SIZE base = {200, 100};
  const RECT item = {20, 10, 180, 90};
  const auto stretched = ui::MakeLayoutEntry(1, {1, 1, 2, 2}, item, base);
  EXPECT_EQ(Str(ui::AnchoredRect(stretched, item, SIZE{400, 300}, base)), "20,10,380,290");
  const RECT button = {80, 70, 120, 90};
  const auto centred = ui::MakeLayoutEntry(2, {3, 2, 3, 2}, button, base);
  EXPECT_EQ(Str(ui::AnchoredRect(centred, button, SIZE{400, 300}, base)), "180,270,220,290");
  // The same size gives back the same rectangle.
  EXPECT_EQ(Str(ui::AnchoredRect(centred, button, base, base)), Str(button));
}

// An item whose rectangle follows SetRect completely.
class CBoxItem final : public ui::CSkinWindowItem {
 public:
  CBoxItem(ui::ISkinWindowItemAccessor* accessor, int id, const RECT& r)
      : CSkinWindowItem(accessor, id) {
    SetBounds(r.left, r.top, r.right, r.bottom);
  }
  void SetRect(int left, int top, int right, int bottom) override {
    ++moves;
    SetBounds(left, top, right, bottom);
  }
  int moves = 0;
};

class CTestLayout final : public ui::CLayoutManager {
 public:
  ui::CSkinWindowItem* GetItem(int id) override {
    const auto it = items.find(id);
    return it == items.end() ? nullptr : it->second.get();
  }
  SIZE GetBaseSize() const override { return SIZE{200, 100}; }
  std::map<int, std::unique_ptr<CBoxItem>> items;
};

TEST(LayoutManagerTest, AddItemReplacesAnEntryAndOnSizeMovesOnlyChangedItems) {
  uitest::CFakeItemAccessor accessor;
  CTestLayout layout;
  layout.SetManagerLayoutSize(SIZE{200, 100});
  layout.items[1] = std::make_unique<CBoxItem>(&accessor, 1, RECT{10, 10, 50, 30});
  layout.items[2] = std::make_unique<CBoxItem>(&accessor, 2, RECT{150, 60, 190, 90});
  layout.AddItem(1, 1, 1, 1, 1);
  layout.AddItem(2, 1, 1, 1, 1);
  layout.AddItem(2, 2, 2, 2, 2);  // replaces, in place
  layout.AddItem(9, 1, 1, 1, 1);  // no such item: nothing recorded
  ASSERT_EQ(layout.Entries().size(), 2u);
  EXPECT_EQ(layout.Entries()[1].id, 2);
  EXPECT_EQ(layout.Entries()[1].offsets[0], -50);

  layout.OnSize(300, 150);
  EXPECT_EQ(Str(layout.items[1]->Rect()), "10,10,50,30");
  EXPECT_EQ(layout.items[1]->moves, 0);
  EXPECT_EQ(Str(layout.items[2]->Rect()), "250,110,290,140");
  EXPECT_EQ(layout.items[2]->moves, 1);

  layout.ClearEntries();
  layout.OnSize(200, 100);
  EXPECT_EQ(Str(layout.items[2]->Rect()), "250,110,290,140");
}

struct ZoneCase {
  const char* name;
  POINT pt;
  int border;
  int caption;
  int zone;
};

void PrintTo(const ZoneCase& c, std::ostream* os) { *os << c.name; }

class BorderZoneTest : public ::testing::TestWithParam<ZoneCase> {};

// A client of 0,0 - 300,200.
TEST_P(BorderZoneTest, FindsTheZone) {
  const ZoneCase& c = GetParam();
  EXPECT_EQ(ui::BorderZoneAt(c.pt, RECT{0, 0, 300, 200}, c.border, c.caption), c.zone);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BorderZoneTest,
    ::testing::Values(
        ZoneCase{"TopLeftCorner", {0, 0}, 4, 20, 0},
        ZoneCase{"TopLeftCornerInsideBorder", {10, 10}, 4, 20, 0},
        ZoneCase{"Top", {150, 2}, 4, 20, 1}, ZoneCase{"TopRight", {299, 0}, 4, 20, 2},
        ZoneCase{"TopRightCornerArm", {290, 3}, 4, 20, 2},
        ZoneCase{"CaptionBelowTopBorder", {150, 8}, 4, 20, 10},
        ZoneCase{"Left", {1, 100}, 4, 20, 3}, ZoneCase{"InsideCornerBand", {8, 100}, 4, 20, 4},
        ZoneCase{"Inside", {150, 100}, 4, 20, 4}, ZoneCase{"Right", {298, 100}, 4, 20, 5},
        ZoneCase{"BottomLeft", {0, 199}, 4, 20, 6},
        ZoneCase{"BottomLeftCornerArm", {2, 190}, 4, 20, 6},
        ZoneCase{"Bottom", {150, 197}, 4, 20, 7}, ZoneCase{"BottomRight", {299, 199}, 4, 20, 8},
        ZoneCase{"BottomRightInner", {290, 190}, 4, 20, 8},
        ZoneCase{"AboveBottomCorner", {150, 190}, 4, 20, 4},
        ZoneCase{"OutsideRight", {300, 100}, 4, 20, 11},
        ZoneCase{"OutsideAbove", {100, -1}, 4, 20, 11},
        ZoneCase{"NoBorderTopLeft", {0, 0}, 0, 20, 4},
        ZoneCase{"NoBorderRightEdge", {299, 100}, 0, 20, 4},
        ZoneCase{"NoBorderBottomRight", {299, 199}, 0, 20, 4},
        ZoneCase{"NoBorderOutside", {-1, 0}, 0, 20, 11}));

TEST(BorderZoneTest, NoBorderHasNoResizeZoneAnywhere) {
  for (int y = 0; y < 200; y += 3)
    for (int x = 0; x < 300; x += 3)
      ASSERT_FALSE(ui::IsResizeZone(ui::BorderZoneAt(POINT{x, y}, RECT{0, 0, 300, 200}, 0, 20)))
          << x << "," << y;
}

struct DragCase {
  const char* name;
  int zone;
  POINT delta;
  std::string rect;
  int edge;
};

void PrintTo(const DragCase& c, std::ostream* os) { *os << c.name; }

class DragTest : public ::testing::TestWithParam<DragCase> {};

// A window at 100,100 - 400,300 with a minimum of 120 by 80.
TEST_P(DragTest, MovesTheZonesEdgesWithinTheMinimum) {
  const DragCase& c = GetParam();
  const RECT start = {100, 100, 400, 300};
  const ui::DragLimits limits = ui::DragLimitsFor(c.zone, start, SIZE{120, 80});
  EXPECT_EQ(Str(ui::DraggedRect(c.zone, start, c.delta, limits)), c.rect);
  EXPECT_EQ(ui::SizingEdgeOfZone(c.zone), c.edge);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DragTest,
    ::testing::Values(
        DragCase{"TopLeftGrows", 0, {-10, -20}, "90,80,400,300", WMSZ_TOPLEFT},
        DragCase{"TopLeftStopsAtMinimum", 0, {500, 500}, "280,220,400,300", WMSZ_TOPLEFT},
        DragCase{"TopMovesOnlyTop", 1, {33, 10}, "100,110,400,300", WMSZ_TOP},
        DragCase{"TopRight", 2, {25, -5}, "100,95,425,300", WMSZ_TOPRIGHT},
        DragCase{"TopRightStops", 2, {-400, 400}, "100,220,220,300", WMSZ_TOPRIGHT},
        DragCase{"Left", 3, {-50, 7}, "50,100,400,300", WMSZ_LEFT},
        DragCase{"InsideMovesNothing", 4, {50, 50}, "100,100,400,300", 0},
        DragCase{"Right", 5, {60, 60}, "100,100,460,300", WMSZ_RIGHT},
        DragCase{"BottomLeft", 6, {10, 10}, "110,100,400,310", WMSZ_BOTTOMLEFT},
        DragCase{"Bottom", 7, {0, -500}, "100,100,400,180", WMSZ_BOTTOM},
        DragCase{"BottomRightStops", 8, {-1000, -1000}, "100,100,220,180", WMSZ_BOTTOMRIGHT},
        DragCase{"BottomRightGrows", 8, {15, 25}, "100,100,415,325", WMSZ_BOTTOMRIGHT}));

struct SizingCase {
  const char* name;
  int edge;
  RECT rect;
  bool handled;
  std::string limited;
};

void PrintTo(const SizingCase& c, std::ostream* os) { *os << c.name; }

class LimitSizingTest : public ::testing::TestWithParam<SizingCase> {};

// A largest window of 1000 by 800.
TEST_P(LimitSizingTest, CutsOnTheDraggedSide) {
  const SizingCase& c = GetParam();
  RECT r = c.rect;
  EXPECT_EQ(ui::LimitSizingRect(c.edge, &r, SIZE{1000, 800}), c.handled);
  EXPECT_EQ(Str(r), c.limited);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LimitSizingTest,
    ::testing::Values(
        SizingCase{"SmallEnoughUntouched", WMSZ_RIGHT, {0, 0, 500, 500}, true, "0,0,500,500"},
        SizingCase{"LeftCutsLeft", WMSZ_LEFT, {-900, 0, 300, 100}, true, "-700,0,300,100"},
        SizingCase{"TopLeftCutsBoth", WMSZ_TOPLEFT, {0, 0, 1200, 900}, true, "200,100,1200,900"},
        SizingCase{"BottomLeftCutsLeftAndBottom",
                   WMSZ_BOTTOMLEFT,
                   {0, 0, 1200, 900},
                   true,
                   "200,0,1200,800"},
        SizingCase{
            "TopRightCutsRightAndTop", WMSZ_TOPRIGHT, {0, 0, 1200, 900}, true, "0,100,1000,900"},
        SizingCase{"BottomRightCutsRightAndBottom",
                   WMSZ_BOTTOMRIGHT,
                   {0, 0, 1200, 900},
                   true,
                   "0,0,1000,800"},
        SizingCase{"UnknownEdgeIgnored", 0, {0, 0, 1200, 900}, false, "0,0,1200,900"},
        SizingCase{"EdgeNineIgnored", 9, {0, 0, 1200, 900}, false, "0,0,1200,900"}));

TEST(ResizableGridTest, CutsTheBasePictureIntoNineCells) {
  ui::ResizableGrid grid;
  ASSERT_TRUE(ui::MakeResizableGrid(RECT{10, 20, 110, 80}, 30, 40, 100, 70, SIZE{0, 0}, &grid));
  const char* expected[9] = {"10,20,30,40", "30,20,100,40", "100,20,110,40",
                             "10,40,30,70", "30,40,100,70", "100,40,110,70",
                             "10,70,30,80", "30,70,100,80", "100,70,110,80"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Str(grid.cells[i]), expected[i]) << i;
  // The corners' sum.
  EXPECT_EQ(grid.minimum.cx, 30);
  EXPECT_EQ(grid.minimum.cy, 30);
}

struct GridCase {
  const char* name;
  int x1, y1, x2, y2;
  SIZE min_override;
  bool valid;
  SIZE minimum;
};

void PrintTo(const GridCase& c, std::ostream* os) { *os << c.name; }

class ResizableGridCaseTest : public ::testing::TestWithParam<GridCase> {};

TEST_P(ResizableGridCaseTest, GivesTheMinimumOrRefuses) {
  const GridCase& c = GetParam();
  ui::ResizableGrid grid{};
  ASSERT_EQ(
      ui::MakeResizableGrid(RECT{0, 0, 100, 60}, c.x1, c.y1, c.x2, c.y2, c.min_override, &grid),
      c.valid);
  if (!c.valid) return;
  EXPECT_EQ(grid.minimum.cx, c.minimum.cx);
  EXPECT_EQ(grid.minimum.cy, c.minimum.cy);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResizableGridCaseTest,
    ::testing::Values(GridCase{"CornerSum", 10, 20, 90, 50, {0, 0}, true, {20, 30}},
                      GridCase{"OverrideWidthOnly", 10, 20, 90, 50, {200, 0}, true, {200, 30}},
                      GridCase{"OverrideBoth", 10, 20, 90, 50, {200, 150}, true, {200, 150}},
                      GridCase{"PointsOnTheEdges", 0, 0, 100, 60, {0, 0}, true, {0, 0}},
                      GridCase{"LeftOfThePicture", -1, 20, 90, 50, {0, 0}, false, {}},
                      GridCase{"BeyondTheRight", 10, 20, 101, 50, {0, 0}, false, {}},
                      GridCase{"BelowTheBottom", 10, 20, 90, 61, {0, 0}, false, {}},
                      GridCase{"ColumnsOutOfOrder", 90, 20, 10, 50, {0, 0}, false, {}},
                      GridCase{"RowsOutOfOrder", 10, 50, 90, 20, {0, 0}, false, {}}));

}  // namespace
