// The list view's arithmetic as tables: column fitting, the dragged edge's
// limits, scrolling codes, whole visible rows and the drag threshold.
#include <gtest/gtest.h>

#include <vector>

#include "ButtonListLayout.h"
#include "TestSupport.h"

namespace {

using Columns = std::vector<ui::ListColumnWidth>;

std::vector<int> Widths(const Columns& columns) {
  std::vector<int> widths;
  for (const auto& c : columns) widths.push_back(c.width);
  return widths;
}

struct FitCase {
  const char* name;
  Columns columns;
  int available;
  int gap;
  bool first_takes_slack;
  std::vector<int> widths;
};

void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class ListColumnFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(ListColumnFitTest, FitsTheWidth) {
  const FitCase& c = GetParam();
  Columns columns = c.columns;
  ui::FitListColumns(&columns, c.available, c.gap, 50, c.first_takes_slack);
  EXPECT_EQ(Widths(columns), c.widths);
}

const ui::ListColumnWidth kFixed30{30, true};

INSTANTIATE_TEST_SUITE_P(
    Cases, ListColumnFitTest,
    ::testing::Values(
        FitCase{"FirstTakesTheSpareRoom", {{100}, {80}}, 300, 0, true, {220, 80}},
        FitCase{"NoSlackFlagLeavesRoom", {{100}, {80}}, 300, 0, false, {100, 80}},
        FitCase{"NarrowColumnsWidenedToTheMinimum",
                {{10}, {20}, kFixed30},
                300,
                0,
                true,
                {220, 50, 30}},
        FitCase{"ExcessFromTheFirstOn", {{100}, {100}, {100}}, 220, 0, true, {50, 70, 100}},
        FitCase{"ExcessFromTheLastOn", {{100}, {100}, {100}}, 220, 0, false, {100, 70, 50}},
        FitCase{
            "FixedColumnsKeepTheirWidth", {kFixed30, {100}, kFixed30}, 100, 0, true, {30, 50, 30}},
        FitCase{"GapsCount", {{100}, {100}}, 210, 5, true, {105, 100}},
        FitCase{"NegativeRoomCountsAsZero", {{100}, {60}}, -40, 0, true, {50, 50}},
        FitCase{"EmptyList", {}, 100, 0, true, {}}),
    ovtest::CaseName());

TEST(ListColumnEdgeTest, ClampsAndTheLowerBoundWinsOnANarrowItem) {
  struct Case {
    int x, lowest, highest, expected;
  };
  const Case cases[] = {{70, 50, 150, 70}, {10, 50, 150, 50}, {400, 50, 150, 150},
                        {70, 50, 50, 50},  {70, 80, 20, 80},  {-5, 80, 20, 80}};
  for (const Case& c : cases)
    EXPECT_EQ(ui::ClampColumnEdge(c.x, c.lowest, c.highest), c.expected) << c.x << " " << c.lowest;
}

TEST(ListScrollTest, CodesMoveAndClamp) {
  struct Case {
    int code, position, current, expected;
  };
  // Page 4, maximum 10.
  const Case cases[] = {{0, 0, 5, 4},  {0, 0, 0, 0},   {1, 0, 5, 6},       {1, 0, 10, 10},
                        {2, 0, 5, 1},  {2, 0, 2, 0},   {3, 0, 5, 9},       {3, 0, 9, 10},
                        {4, 7, 5, 7},  {5, 99, 5, 10}, {4, -3, 5, 0},      {6, 0, 5, 0},
                        {7, 0, 5, 10}, {8, 3, 5, 5},   {0x10001, 0, 5, 6}, {0x70000, 0, 5, 4}};
  for (const Case& c : cases)
    EXPECT_EQ(ui::ListScrollTarget(c.code, c.position, c.current, 4, 10), c.expected)
        << "code " << c.code << " from " << c.current;
  EXPECT_EQ(ui::ListScrollTarget(1, 0, 0, 4, 0), 0);  // 0 rows
}

TEST(ListRowsTest, WholeVisibleRows) {
  EXPECT_EQ(ui::WholeVisibleRows(100, 0, 20), 5);
  EXPECT_EQ(ui::WholeVisibleRows(119, 20, 20), 4);
  EXPECT_EQ(ui::WholeVisibleRows(10, 20, 20), 0);
  EXPECT_EQ(ui::WholeVisibleRows(100, 0, 0), 0);
  EXPECT_EQ(ui::WholeVisibleRows(100, 0, -3), 0);
}

TEST(ListDragTest, ThresholdAndOnePixelBeyond) {
  struct Case {
    int dx, dy, distance;
    bool past;
  };
  const Case cases[] = {{2, 0, 2, false},       {3, 0, 2, true},  {0, -2, 2, false},
                        {0, -3, 2, true},       {1, 1, 2, false}, {2, 1, 2, true},
                        {0, 0, 0, false},       {1, 0, 0, true},  {1, 1, -4, true},
                        {46341, 0, 46340, true}};
  for (const Case& c : cases)
    EXPECT_EQ(ui::PastDragThreshold(c.dx, c.dy, c.distance), c.past) << c.dx << "," << c.dy;
}

}  // namespace
