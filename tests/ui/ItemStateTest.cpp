// The items' state machines against a recording accessor: presses, drags,
// releases, toggles, blinking, digits and animation frames, with the clock
// given as the tick argument.
#include <gtest/gtest.h>

#include <vector>

#include "FakeItemAccessor.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"
#include "SkinWindowItemStaticImage.h"

namespace {

using uitest::CFakeItemAccessor;
using Codes = std::vector<int>;

constexpr int kId = 2001;

ui::ButtonLook SmallButton() {
  ui::ButtonLook look;
  look.x = 10;
  look.y = 20;
  look.width = 40;
  look.height = 16;
  look.tooltip = "normal tip";
  look.tooltip_selected = "selected tip";
  return look;
}

const POINT kIn = {5, 5};
const POINT kOut = {100, 5};

class ButtonStateTest : public ::testing::Test {
 protected:
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemButton button{&accessor, kId, SmallButton(), nullptr};
};

TEST_F(ButtonStateTest, ClickReportsInOutClickAndEnd) {
  EXPECT_TRUE(button.OnLButtonDown(kIn));
  EXPECT_TRUE(button.IsTracking());
  EXPECT_EQ(button.StatePicture(), 2);  // pushed
  button.OnLButtonUp(kIn);
  EXPECT_EQ(accessor.Codes(), (Codes{1, 2, 0, 4}));
  EXPECT_FALSE(button.IsTracking());
  EXPECT_TRUE(button.IsHot());
  EXPECT_EQ(button.StatePicture(), 1);
  for (const auto& r : accessor.reports) EXPECT_EQ(r.first, kId);
}

TEST_F(ButtonStateTest, DragOutAndReleaseOutsideGivesNoClick) {
  button.OnLButtonDown(kIn);
  button.OnMouseMove(kOut);
  EXPECT_FALSE(button.IsInside());
  EXPECT_TRUE(button.IsHot());  // drawn hot while tracking outside
  EXPECT_EQ(button.StatePicture(), 1);
  button.OnLButtonUp(kOut);
  EXPECT_EQ(accessor.Codes(), (Codes{1, 2, 4}));
  EXPECT_FALSE(button.IsHot());
}

TEST_F(ButtonStateTest, DragOutAndBackInStillClicks) {
  button.OnLButtonDown(kIn);
  button.OnMouseMove(kOut);
  button.OnMouseMove(kIn);
  button.OnLButtonUp(kIn);
  EXPECT_EQ(accessor.Codes(), (Codes{1, 2, 1, 2, 0, 4}));
}

TEST_F(ButtonStateTest, LostCaptureOverTheButtonGivesNoClick) {
  button.OnLButtonDown(kIn);
  button.OnLButtonCancel(kIn);
  EXPECT_EQ(accessor.Codes(), (Codes{1, 2, 4}));
  EXPECT_FALSE(button.IsTracking());
}

TEST_F(ButtonStateTest, EveryMoveReportsAndLeaveReports) {
  button.OnMouseMove(kIn);
  button.OnMouseMove(POINT{6, 6});
  EXPECT_TRUE(button.IsHot());
  button.OnMouseLeave();
  EXPECT_FALSE(button.IsHot());
  EXPECT_EQ(accessor.Codes(true), (Codes{14, 14, 15}));
  // Hot on, hot off: two redraws, the unchanged second move none.
  EXPECT_EQ(accessor.redraws.size(), 2u);
  const RECT r = accessor.redraws[0];
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right, 50);
  EXPECT_EQ(r.bottom, 36);
}

TEST_F(ButtonStateTest, LeaveWhileTrackingStaysHot) {
  button.OnLButtonDown(kIn);
  button.OnMouseLeave();
  EXPECT_TRUE(button.IsHot());
  EXPECT_TRUE(button.IsTracking());
}

TEST_F(ButtonStateTest, DoubleClickAnsweredByTheWindowStartsNoPress) {
  accessor.answers[3] = true;
  EXPECT_FALSE(button.OnLButtonDblClk(kIn));
  EXPECT_FALSE(button.IsTracking());
  EXPECT_EQ(accessor.Codes(), (Codes{3}));
}

TEST_F(ButtonStateTest, DoubleClickNotAnsweredPressesAsADown) {
  EXPECT_TRUE(button.OnLButtonDblClk(kIn));
  EXPECT_TRUE(button.IsTracking());
  EXPECT_EQ(accessor.Codes(), (Codes{3, 1}));
}

TEST_F(ButtonStateTest, RightButtonCodes) {
  EXPECT_FALSE(button.OnRButtonDown(kIn));
  button.OnRButtonUp(kIn);
  EXPECT_FALSE(button.OnRButtonDblClk(kIn));  // not answered: a right down
  accessor.answers[7] = true;
  EXPECT_FALSE(button.OnRButtonDblClk(kIn));
  EXPECT_EQ(accessor.Codes(), (Codes{5, 6, 7, 5, 7}));
}

TEST_F(ButtonStateTest, DisabledButtonIgnoresTheMouse) {
  button.SetEnabled(false);
  accessor.Clear();
  EXPECT_FALSE(button.OnLButtonDown(kIn));
  button.OnMouseMove(kIn);
  button.OnLButtonUp(kIn);
  EXPECT_FALSE(button.OnRButtonDown(kIn));
  button.OnMouseLeave();
  EXPECT_TRUE(accessor.reports.empty());
  EXPECT_FALSE(button.IsHot());
  EXPECT_FALSE(button.OnSetCursor(kIn));
}

TEST_F(ButtonStateTest, DisablingWhileTrackingEndsWithoutAClick) {
  button.OnLButtonDown(kIn);
  button.SetEnabled(false);
  EXPECT_FALSE(button.IsTracking());
  EXPECT_FALSE(button.IsHot());
  button.OnLButtonUp(kIn);  // the window ends its capture afterwards
  EXPECT_EQ(accessor.Codes(), (Codes{1, 2, 4}));
}

TEST_F(ButtonStateTest, WindowCodes) {
  struct Case {
    const char* name;
    int code;
    INT_PTR value;
    INT_PTR result;
  };
  const Case cases[] = {
      {"read selected, initially off", ui::kItemGetSelected, 0, 0},
      {"clicks toggle by default", ui::kItemGetClickToggles, 0, 1},
      {"select", ui::kItemSetSelected, 5, 0},
      {"reads selected", ui::kItemGetSelected, 0, 1},
      {"icon mode", ui::kItemSetIconMode, 1, 0},
      {"unknown code", 42, 1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(button.OnNotify(c.code, c.value, 0), c.result) << c.name;
  EXPECT_EQ(button.IconMode(), 1);
  EXPECT_EQ(button.GetText(), "selected tip");
}

TEST_F(ButtonStateTest, SelectingIsIgnoredWhileTrackingOrUnchanged) {
  accessor.drawable = true;
  button.OnNotify(ui::kItemSetSelected, 0, 0);  // unchanged
  EXPECT_TRUE(accessor.redraws.empty());
  EXPECT_EQ(accessor.tooltips, 0);
  button.OnLButtonDown(kIn);
  button.OnNotify(ui::kItemSetSelected, 1, 0);
  EXPECT_FALSE(button.IsSelected());
  button.OnLButtonUp(kIn);
  accessor.Clear();
  button.OnNotify(ui::kItemSetSelected, 1, 0);
  EXPECT_TRUE(button.IsSelected());
  EXPECT_EQ(accessor.redraws.size(), 1u);
  EXPECT_EQ(accessor.tooltips, 1);
}

DWORD g_now = 0;
DWORD FakeClock() { return g_now; }

TEST_F(ButtonStateTest, BlinkingIconModeZeroShowsTheIconInTheFirstHalfOfEachPeriod) {
  ui::CSkinWindowItemButton::SetClock(&FakeClock);
  g_now = 500;  // second half: switched on hidden
  button.OnNotify(ui::kItemSetBlinking, 1, 0);
  ui::CSkinWindowItemButton::SetClock(nullptr);
  bool selected = true;
  EXPECT_FALSE(button.IconShown(&selected));
  struct Step {
    DWORD tick;
    bool shown;
  };
  const Step steps[] = {{800, true},  {1199, true},         {1200, false},      {1599, false},
                        {1600, true}, {0xFFFFFF00u, false}, {0xFFFFFFF0u, true}};
  for (const Step& s : steps) {
    button.OnTick(s.tick);
    EXPECT_EQ(button.IconShown(&selected), s.shown) << s.tick;
    EXPECT_FALSE(selected);
  }
  // Off again: shown for good.
  button.OnTick(1300);
  button.OnNotify(ui::kItemSetBlinking, 0, 0);
  EXPECT_TRUE(button.IconShown(&selected));
  button.OnTick(1300);
  EXPECT_TRUE(button.IconShown(&selected));
}

TEST_F(ButtonStateTest, BlinkingIconModeOneSwapsTheSelectedPicture) {
  button.OnNotify(ui::kItemSetIconMode, 1, 0);
  button.OnNotify(ui::kItemSetBlinking, 1, 0);
  bool selected = false;
  button.OnTick(100);
  EXPECT_TRUE(button.IconShown(&selected));
  EXPECT_TRUE(selected);
  button.OnTick(500);
  EXPECT_TRUE(button.IconShown(&selected));
  EXPECT_FALSE(selected);
}

TEST_F(ButtonStateTest, TicksRedrawOnlyOnAPhaseChange) {
  button.OnTick(500);  // not blinking
  EXPECT_TRUE(accessor.redraws.empty());
  button.OnNotify(ui::kItemSetBlinking, 1, 0);
  accessor.Clear();
  button.OnTick(100);
  button.OnTick(133);
  button.OnTick(466);
  button.OnTick(499);
  EXPECT_LE(accessor.redraws.size(), 2u);
  EXPECT_GE(accessor.redraws.size(), 1u);
}

TEST_F(ButtonStateTest, DisabledIconModeZeroShowsTheIconEvenWhenBlinkedOff) {
  button.OnNotify(ui::kItemSetBlinking, 1, 0);
  button.OnTick(500);
  bool selected;
  EXPECT_FALSE(button.IconShown(&selected));
  button.SetEnabled(false);
  EXPECT_TRUE(button.IconShown(&selected));
}

TEST_F(ButtonStateTest, SetRectTakesTheWidthKeepsTheHeight) {
  button.SetRect(1, 2, 101, 300);
  EXPECT_EQ(button.X(), 1);
  EXPECT_EQ(button.Y(), 2);
  EXPECT_EQ(button.Width(), 100);
  EXPECT_EQ(button.Height(), 16);
}

class ToggleStateTest : public ::testing::Test {
 protected:
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemToggleButton toggle{&accessor, kId, SmallButton(), nullptr};
};

TEST_F(ToggleStateTest, TwoClicksReportTwiceAndEndUnselected) {
  toggle.OnLButtonDown(kIn);
  toggle.OnLButtonUp(kIn);
  EXPECT_TRUE(toggle.IsSelected());
  EXPECT_TRUE(toggle.IsInside());  // drawn pushed while selected
  EXPECT_EQ(toggle.OnNotify(ui::kItemGetSelected, 0, 0), 1);
  toggle.OnLButtonDown(kIn);
  toggle.OnLButtonUp(kIn);
  EXPECT_FALSE(toggle.IsSelected());
  EXPECT_FALSE(toggle.IsInside());
  EXPECT_EQ(accessor.Codes(), (Codes{0, 0}));
}

TEST_F(ToggleStateTest, ReleaseOutsideOrLostCaptureKeepsTheState) {
  toggle.OnLButtonDown(kIn);
  EXPECT_TRUE(toggle.IsInside());
  toggle.OnMouseMove(kOut);
  EXPECT_FALSE(toggle.IsInside());
  EXPECT_TRUE(toggle.IsHot());
  toggle.OnLButtonUp(kOut);
  EXPECT_FALSE(toggle.IsSelected());
  toggle.OnLButtonDown(kIn);
  toggle.OnLButtonCancel(kIn);
  EXPECT_FALSE(toggle.IsSelected());
  EXPECT_FALSE(toggle.IsInside());
  EXPECT_TRUE(accessor.Codes().empty());
}

TEST_F(ToggleStateTest, SelectedToggleStaysPushedWhilePressedAndDraggedOut) {
  toggle.OnNotify(ui::kItemSetSelected, 1, 0);
  EXPECT_TRUE(toggle.IsInside());
  toggle.OnLButtonDown(kIn);
  EXPECT_TRUE(toggle.IsInside());
  toggle.OnNotify(ui::kItemSetSelected, 0, 0);  // ignored while tracking
  EXPECT_TRUE(toggle.IsSelected());
  toggle.OnMouseMove(kOut);
  EXPECT_TRUE(toggle.IsInside());
  toggle.OnLButtonUp(kOut);
  EXPECT_TRUE(toggle.IsSelected());
}

TEST(AnimationTest, FrameArithmeticOverATickWrap) {
  struct Case {
    const char* name;
    DWORD tick;
    DWORD start;
    DWORD time;
    int frames;
    int start_frame;
    int frame;
  };
  const Case cases[] = {
      {"at the start", 1000, 1000, 45, 30, 0, 0},
      {"one step", 1045, 1000, 45, 30, 0, 1},
      {"just before two", 1089, 1000, 45, 30, 0, 1},
      {"round the cycle", 1000 + 45 * 31, 1000, 45, 30, 0, 1},
      {"from a start frame", 1000 + 45 * 3, 1000, 45, 30, 28, 1},
      {"across the wrap", 0x00000010u, 0xFFFFFFF0u, 16, 30, 0, 2},
      {"far across the wrap", 45u * 29 - 0x20u, 0xFFFFFFE0u, 45, 30, 0, 29},
      {"no time", 5000, 0, 0, 30, 3, 0},
      {"no cells", 5000, 0, 45, 0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ui::AnimationFrameAt(c.tick, c.start, c.time, c.frames, c.start_frame), c.frame)
        << c.name;
}

ui::AnimationLook Spinner() {
  ui::AnimationLook look;
  look.rect = RECT{0, 0, 16, 8};
  look.picture = "Test.png";
  look.origin = POINT{0, 1000};
  look.columns = 10;
  look.rows = 3;
  look.time = 45;
  return look;
}

TEST(AnimationTest, RunsThroughThirtyCellsRowByRowAcrossTheWrap) {
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemAnimation animation(&accessor, kId, Spinner(), nullptr);
  EXPECT_FALSE(animation.IsRunning());
  animation.Start();
  const DWORD start = 0xFFFFFF00u;
  std::vector<int> seen;
  for (DWORD t = 0; t < 45u * 30; t += 45) {
    animation.OnTick(start + t);
    seen.push_back(animation.Frame());
  }
  for (int i = 0; i < 30; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
  animation.OnTick(start + 45u * 30);
  EXPECT_EQ(animation.Frame(), 0);
  const RECT cell = animation.CellRect(23);
  EXPECT_EQ(cell.left, 3 * 16);
  EXPECT_EQ(cell.top, 1000 + 2 * 8);
}

TEST(AnimationTest, StartKeepsTheFrameStopShowsFrameZero) {
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemAnimation animation(&accessor, kId, Spinner(), nullptr);
  animation.Start();
  animation.OnTick(100);
  animation.OnTick(100 + 45 * 4);
  EXPECT_EQ(animation.Frame(), 4);
  animation.Start();
  animation.OnTick(9000);  // the timing restarts here
  EXPECT_EQ(animation.Frame(), 4);
  animation.OnTick(9045);
  EXPECT_EQ(animation.Frame(), 5);
  accessor.Clear();
  animation.Stop();
  EXPECT_EQ(animation.Frame(), 0);
  EXPECT_EQ(accessor.redraws.size(), 1u);
  animation.OnTick(20000);
  EXPECT_EQ(animation.Frame(), 0);
}

TEST(AnimationTest, DisablingAndEnablingRestartsFromFrameZero) {
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemAnimation animation(&accessor, kId, Spinner(), nullptr);
  animation.Start();
  animation.OnTick(100);
  animation.OnTick(100 + 45 * 7);
  animation.SetEnabled(false);
  EXPECT_FALSE(animation.IsRunning());
  EXPECT_EQ(animation.Frame(), 0);
  animation.SetEnabled(true);
  EXPECT_TRUE(animation.IsRunning());
  animation.OnTick(5000);
  EXPECT_EQ(animation.Frame(), 0);
  animation.OnTick(5045);
  EXPECT_EQ(animation.Frame(), 1);
}

TEST(AnimationTest, ZeroTimeOrCellsStandsStill) {
  for (const auto& shape : {std::make_pair(0, 3), std::make_pair(10, 0)}) {
    CFakeItemAccessor accessor;
    ui::AnimationLook look = Spinner();
    look.time = shape.first == 0 ? 45 : 0;
    look.columns = shape.first;
    look.rows = shape.second;
    ui::CSkinWindowItemAnimation animation(&accessor, kId, look, nullptr);
    animation.Start();
    for (DWORD t = 0; t < 1000; t += 33) animation.OnTick(t);
    EXPECT_EQ(animation.Frame(), 0);
    const RECT cell = animation.CellRect(animation.Frame());
    EXPECT_EQ(cell.left, 0);
    EXPECT_EQ(cell.top, 1000);
  }
}

TEST(AnimationTest, ReportsPressMoveAndLeaveWithoutCapture) {
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemAnimation animation(&accessor, kId, Spinner(), nullptr);
  EXPECT_FALSE(animation.OnLButtonDown(kIn));
  animation.OnMouseMove(kIn);
  animation.OnMouseLeave();
  EXPECT_EQ(accessor.Codes(true), (Codes{12, 14, 15}));
}

TEST(DigitImageTest, Placement) {
  struct Case {
    const char* name;
    DWORD number;
    int maximum;
    int minimum;
    std::vector<std::pair<int, int>> digits;
    int tilde;
  };
  const Case cases[] = {
      {"maximum 0 draws nothing", 12345, 0, 0, {}, 0},
      {"maximum 3 keeps the last three", 12345, 3, 0, {{3, 0}, {4, 1}, {5, 2}}, 3},
      {"minimum 3 moves a 7 two widths right", 7, 3, 3, {{7, 2}}, 3},
      {"a one-digit strip index", 5, 7, 0, {{5, 0}}, 1},
      {"zero is one digit", 0, 5, 0, {{0, 0}}, 1},
      {"ten digits",
       4294967295u,
       10,
       0,
       {{4, 0}, {2, 1}, {9, 2}, {4, 3}, {9, 4}, {6, 5}, {7, 6}, {2, 7}, {9, 8}, {5, 9}},
       10},
      {"minimum below the count", 123, 5, 2, {{1, 0}, {2, 1}, {3, 2}}, 3},
  };
  for (const Case& c : cases) {
    const ui::DigitPlacement p = ui::PlaceDigits(c.number, c.maximum, c.minimum);
    EXPECT_EQ(p.digits, c.digits) << c.name;
    EXPECT_EQ(p.tilde_offset, c.tilde) << c.name;
  }
}

TEST(DigitImageTest, TildeFollowsItsRectangleAndValueRedrawsOnceCreated) {
  CFakeItemAccessor accessor;
  ui::DigitImageLook look;
  look.rect = RECT{0, 0, 50, 10};
  ui::CSkinWindowItemDigitImage none(&accessor, kId, look, nullptr);
  EXPECT_FALSE(none.show_tilde);
  look.tilde = RECT{100, 0, 105, 10};
  ui::CSkinWindowItemDigitImage with(&accessor, kId, look, nullptr);
  EXPECT_TRUE(with.show_tilde);
  with.SetValue(7);
  EXPECT_TRUE(accessor.redraws.empty());
  accessor.created = true;
  with.SetValue(8);
  EXPECT_EQ(accessor.redraws.size(), 1u);
  EXPECT_EQ(with.Value(), 8u);
}

TEST(TextItemTest, LineBreakEscapes) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"between two words", "one\\r\\ntwo", "one\r\ntwo"},
      {"twice", "a\\r\\n\\r\\nb", "a\r\n\r\nb"},
      {"half an escape stays", "a\\rb\\n", "a\\rb\\n"},
      {"at the end", "end\\r\\n", "end\r\n"},
      // 0x95 0x5C is one character whose second byte is a backslash.
      {"a trail byte is no backslash", "\x95\\r\\n", "\x95\\r\\n"},
      {"an escape after a trail byte", "\x95\\\\r\\n", "\x95\\\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::ExpandLineBreaks(c.in), c.out) << c.name;
}

TEST(TextItemTest, DisabledColour) {
  struct Case {
    COLORREF in;
    COLORREF out;
  };
  const Case cases[] = {
      {RGB(0, 0, 0), RGB(102, 102, 102)},    {RGB(255, 255, 255), RGB(255, 255, 255)},
      {RGB(255, 0, 0), RGB(178, 178, 178)},   // 255 * 306 / 1024 = 76
      {RGB(0, 255, 0), RGB(251, 251, 251)},   // 149 + 102
      {RGB(0, 0, 255), RGB(131, 131, 131)},   // 29 + 102
      {RGB(16, 16, 16), RGB(117, 117, 117)},  // 16 * 1023 / 1024 = 15
  };
  for (const Case& c : cases)
    EXPECT_EQ(ui::CSkinWindowItem::GetDisabledColour(c.in), c.out) << std::hex << c.in;
}

TEST(TextItemTest, NeverTakesTheMouseAndRedrawsWhenCreated) {
  CFakeItemAccessor accessor;
  ui::StaticLook look;
  look.rect = RECT{1, 2, 30, 40};
  look.text = "a\\r\\nb";
  ui::CSkinWindowItemStatic text(&accessor, kId, look);
  EXPECT_FALSE(text.HitTest());
  EXPECT_EQ(text.Text(), "a\r\nb");
  EXPECT_EQ(text.Format(), static_cast<UINT>(DT_WORDBREAK));
  text.SetText("c");
  EXPECT_TRUE(accessor.redraws.empty());
  accessor.created = true;
  text.SetText("d");
  EXPECT_EQ(accessor.redraws.size(), 1u);
  text.SetEnabled(false);
  EXPECT_EQ(text.DrawnColour(), RGB(102, 102, 102));
}

TEST(ItemBaseTest, SetVisibleRedrawsOnlyOnAChange) {
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemButton button(&accessor, kId, SmallButton(), nullptr);
  button.SetVisible(false);
  button.SetVisible(false);
  EXPECT_EQ(accessor.redraws.size(), 1u);
  EXPECT_FALSE(button.IsVisible());
}

TEST(ItemBaseTest, ToolRecordHasThePlatformSizeAndAStateOfItsOwn) {
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemButton button(&accessor, kId, SmallButton(), nullptr);
  EXPECT_EQ(button.ToolRecord().cbSize, sizeof(TOOLINFOA));
  EXPECT_EQ(button.ToolRecord().lpszText, LPSTR_TEXTCALLBACKA);
  EXPECT_EQ(button.GetToolState(), ui::ToolState::kAdd);
  button.SetToolTipText("fixed");
  EXPECT_STREQ(button.ToolRecord().lpszText, "fixed");
  button.SetToolTipText(nullptr);
  EXPECT_EQ(button.ToolRecord().lpszText, LPSTR_TEXTCALLBACKA);
}

TEST(OverlayTest, AlphaIsStoredAsGivenAndClampedWhenDrawn) {
  CFakeItemAccessor accessor;
  accessor.drawable = true;
  ui::NineGridLook look;
  look.rect = RECT{0, 0, 10, 10};
  ui::CSkinWindowItemOverlay overlay(&accessor, kId, look, nullptr);
  EXPECT_FALSE(overlay.HitTest());
  struct Case {
    int set;
    int drawn;
  };
  const Case cases[] = {{260, 255}, {-10, 0}, {128, 128}, {128, 128}};
  for (const Case& c : cases) {
    overlay.SetAlpha(c.set);
    EXPECT_EQ(overlay.Alpha(), c.set);
    EXPECT_EQ(overlay.DrawnAlpha(), c.drawn);
  }
  // The same value again still redraws.
  EXPECT_EQ(accessor.redraws.size(), 4u);
}

TEST(StaticImageTest, CentringHalvesTheSpareSpace) {
  struct Case {
    int iw, ih, pw, ph, x, y;
  };
  const Case cases[] = {
      {40, 20, 10, 10, 15, 5}, {41, 21, 10, 10, 15, 5}, {10, 10, 20, 30, -5, -10}};
  for (const Case& c : cases) {
    const POINT p = ui::CentreIn(c.iw, c.ih, c.pw, c.ph);
    EXPECT_EQ(p.x, c.x);
    EXPECT_EQ(p.y, c.y);
  }
}

}  // namespace
