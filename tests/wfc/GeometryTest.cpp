// Pure geometry of the framework: wheel steps, dialog placement, centring
// and the choice of a monitor, each as a table of named cases.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "Placement.h"
#include "TestSupport.h"
#include "Threads.h"
#include "_WindowPolicy.h"

namespace {

using lib::wfc::CWheelAccumulator;

struct WheelCase {
  const char* name;
  std::vector<std::pair<int, int>> deltas;  // delta, message time
  std::vector<int> steps;                   // what each message reports (0: nothing)
};

class WheelTest : public ::testing::TestWithParam<WheelCase> {};

TEST_P(WheelTest, ReportsStepsOfFortyUnits) {
  CWheelAccumulator wheel;
  std::vector<int> steps;
  for (const auto& [delta, time] : GetParam().deltas) steps.push_back(wheel.Feed(delta, time));
  EXPECT_EQ(steps, GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WheelTest,
    ::testing::Values(
        WheelCase{"TwoNotchesToward", {{120, 1000}, {120, 1100}}, {-3, -3}},
        WheelCase{"OneNotchAway", {{-120, 1000}}, {3}},
        WheelCase{"SmallDeltasAddUp", {{20, 1000}, {20, 1100}}, {0, -1}},
        WheelCase{"RemainderKept", {{50, 1000}, {30, 1100}}, {-1, -1}},
        WheelCase{"ReversalDropsRemainder", {{30, 1000}, {-30, 1100}, {-20, 1200}}, {0, 0, 1}},
        WheelCase{"PauseDropsRemainder", {{30, 1000}, {30, 1501}}, {0, 0}},
        WheelCase{"PauseOfExactly500Keeps", {{30, 1000}, {30, 1500}}, {0, -1}},
        WheelCase{"ClockGoingBackCountsAsPause", {{30, 2000}, {30, 1000}}, {0, 0}},
        WheelCase{"ZeroDeltaChangesNothing", {{30, 1000}, {0, 1100}, {10, 1200}}, {0, 0, -1}}),
    ovtest::CaseName());

constexpr RECT kDesktop = {0, 0, 1024, 768};

struct PlacementCase {
  const char* name;
  RECT parent;
  SIZE dialog;
  std::optional<POINT> expected;
};

class DialogPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(DialogPlacementTest, PlacesOverParentOrLeavesIt) {
  const auto& c = GetParam();
  const auto got = lib::wfc::DialogPlacement(c.parent, c.dialog, kDesktop);
  ASSERT_EQ(got.has_value(), c.expected.has_value());
  if (got) {
    EXPECT_EQ(got->x, c.expected->x);
    EXPECT_EQ(got->y, c.expected->y);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DialogPlacementTest,
    ::testing::Values(
        PlacementCase{"CentredOnLargeParent", {100, 100, 600, 500}, {200, 100}, POINT{250, 250}},
        PlacementCase{
            "ExactlyFortyWiderIsCentred", {100, 100, 340, 500}, {200, 100}, POINT{120, 250}},
        PlacementCase{
            "NarrowParentOnLeftGoesRight", {100, 100, 200, 500}, {200, 100}, POINT{200, 250}},
        PlacementCase{
            "NarrowParentOnRightGoesLeft", {700, 100, 800, 500}, {200, 100}, POINT{500, 250}},
        PlacementCase{
            "ShortParentInTopHalfAlignsTops", {100, 100, 600, 150}, {200, 100}, POINT{250, 100}},
        PlacementCase{"ShortParentInBottomHalfAlignsBottoms",
                      {100, 500, 600, 550},
                      {200, 100},
                      POINT{250, 450}},
        PlacementCase{"WouldLeaveOnTheLeftStays", {550, 100, 600, 500}, {600, 100}, std::nullopt},
        PlacementCase{
            "WouldTouchRightEdgeStays", {824, 100, 924, 500}, {100, 100}, POINT{724, 250}},
        PlacementCase{
            "RightEdgeOnDesktopEdgeStays", {400, 100, 424, 500}, {600, 100}, std::nullopt},
        PlacementCase{"ZeroLeftStays", {-150, 100, 450, 500}, {300, 100}, std::nullopt},
        PlacementCase{"BottomOnDesktopEdgeStays", {100, 700, 600, 768}, {200, 100}, std::nullopt}),
    ovtest::CaseName());

struct CentreCase {
  const char* name;
  RECT other;
  SIZE window;
  bool with_work;
  POINT expected;
};

class CentreTest : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentreTest, CentresInsideTheWorkArea) {
  const RECT work = {0, 0, 1024, 738};
  const auto& c = GetParam();
  const POINT at = lib::wfc::CenteredPosition(c.other, c.window, c.with_work ? &work : nullptr);
  EXPECT_EQ(at.x, c.expected.x);
  EXPECT_EQ(at.y, c.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CentreTest,
    ::testing::Values(
        CentreCase{"OnDesktop", {0, 0, 1024, 768}, {200, 100}, true, {412, 334}},
        CentreCase{"OddRemainderTruncates", {0, 0, 101, 101}, {50, 50}, false, {25, 25}},
        CentreCase{"PulledBackFromBottom", {0, 600, 1024, 768}, {200, 300}, true, {412, 438}},
        CentreCase{"PushedInFromLeft", {-300, 0, -100, 200}, {300, 100}, true, {0, 50}},
        CentreCase{"TooBigKeepsTopLeftInside", {0, 0, 1024, 768}, {1200, 900}, true, {0, 0}},
        CentreCase{"NoWorkAreaNoClamp", {-300, 0, -100, 200}, {300, 100}, false, {-350, 50}}),
    ovtest::CaseName());

MONITORINFO Monitor(RECT monitor, RECT work, bool primary = false) {
  MONITORINFO m = {};
  m.cbSize = sizeof m;
  m.rcMonitor = monitor;
  m.rcWork = work;
  m.dwFlags = primary ? MONITORINFOF_PRIMARY : 0;
  return m;
}

struct MonitorCase {
  const char* name;
  RECT window;
  bool moves;
  POINT expected;  // the window's new top-left when it moves
};

class MonitorChoiceTest : public ::testing::TestWithParam<MonitorCase> {};

// A primary 1024x768 with a taskbar at the bottom and a second monitor to
// its right whose work area lacks a top strip.
TEST_P(MonitorChoiceTest, BringsLostWindowsBack) {
  lib::wfc::CMonitorList monitors({Monitor({0, 0, 1024, 768}, {0, 0, 1024, 738}, true),
                                   Monitor({1024, 0, 2304, 1024}, {1024, 40, 2304, 1024})});
  const auto& c = GetParam();
  RECT area;
  ASSERT_EQ(lib::wfc::WorkAreaFor(monitors, c.window, &area), c.moves);
  if (!c.moves) return;
  const POINT at = lib::wfc::PositionInArea(c.window, area);
  EXPECT_EQ(at.x, c.expected.x);
  EXPECT_EQ(at.y, c.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MonitorChoiceTest,
    ::testing::Values(
        MonitorCase{"OnePixelOnWorkAreaStays", {1023, 737, 1323, 937}, false, {}},
        MonitorCase{"OnTaskbarStripComesUp", {100, 740, 400, 768}, true, {100, 710}},
        MonitorCase{"OnSecondMonitorsTopStripComesDown", {1500, 0, 1800, 30}, true, {1500, 40}},
        MonitorCase{"FarRightGoesToNearest", {5000, 100, 5300, 300}, true, {2004, 100}},
        MonitorCase{"FarLeftGoesToPrimary", {-3000, 100, -2700, 300}, true, {0, 100}}),
    ovtest::CaseName());

TEST(MonitorListTest, NearestTakesFirstOfEqualDistances) {
  lib::wfc::CMonitorList monitors({Monitor({0, 0, 100, 100}, {0, 0, 100, 100}, true),
                                   Monitor({200, 0, 300, 100}, {200, 0, 300, 100})});
  const RECT between = {140, 40, 160, 60};
  EXPECT_EQ(monitors.Nearest(between), &monitors.Monitors()[0]);
}

TEST(MonitorListTest, FillPutsThePrimaryFirst) {
  lib::wfc::CMonitorList monitors;
  monitors.Fill();
  ASSERT_FALSE(monitors.Monitors().empty());
  EXPECT_TRUE(monitors.Monitors()[0].dwFlags & MONITORINFOF_PRIMARY);
}

}  // namespace
