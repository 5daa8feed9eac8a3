// The skinned scroll bar: layout and hit tables, ranges, the codes a press
// sends, repeats on an injected clock, thumb drags, a disabled bar and a bar
// too short for its thumb; reading its section.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeItemAccessor.h"
#include "MessageBoxCapture.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinWindowItemScrollBar.h"
#include "TestSupport.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

using uitest::CFakeItemAccessor;
using Codes = std::vector<int>;

// A vertical bar 16 x 200: buttons 16 long, the track 168, thumb ends 2 + 2,
// so the thumb's middle and its travel share 164.
ui::ScrollBarLook Vertical(int length = 200) {
  ui::ScrollBarLook look;
  look.vertical = true;
  look.width = 16;
  look.height = length;
  look.button = SIZE{16, 16};
  look.thumb = SIZE{12, 20};
  look.thumb_start = 2;
  look.thumb_middle = 16;
  look.thumb_end = 2;
  return look;
}

DWORD g_now = 0;
DWORD Now() { return g_now; }

// Answers the codes as an owner does: lines by one, pages by the page, the
// thumb to its position.
class CRecordingOwner final : public ui::IScrollBarListener {
 public:
  void OnScroll(ui::CSkinWindowItemScrollBar* bar, UINT message, int code, int position) override {
    messages.push_back(message);
    codes.push_back(code);
    positions.push_back(position);
    const int pos = bar->GetPos();
    switch (code) {
      case SB_LINEUP:
        bar->SetPos(pos - 1);
        break;
      case SB_LINEDOWN:
        bar->SetPos(pos + 1);
        break;
      case SB_PAGEUP:
        bar->SetPos(pos - bar->GetPage());
        break;
      case SB_PAGEDOWN:
        bar->SetPos(pos + bar->GetPage());
        break;
      case SB_THUMBPOSITION:
        bar->SetPos(position);
        break;
      default:
        break;
    }
  }
  std::vector<UINT> messages;
  Codes codes;
  std::vector<int> positions;
};

class ScrollBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = 1000;
    ui::CSkinWindowItemScrollBar::SetClock(&Now);
    bar.SetListener(&owner);
  }
  void TearDown() override { ui::CSkinWindowItemScrollBar::SetClock(nullptr); }
  // Runs the item tick every 10 ms up to and including `until`.
  void TickUntil(DWORD until) {
    while (static_cast<int32_t>(until - g_now) > 0) {
      g_now += 10;
      bar.OnTick(g_now);
    }
  }
  static POINT At(int along) { return POINT{8, along}; }

  CFakeItemAccessor accessor;
  CRecordingOwner owner;
  ui::CSkinWindowItemScrollBar bar{&accessor, 3001, Vertical()};
};

struct RangeCase {
  const char* name;
  int position_before;
  int last;
  int page;
  int maximum;
  int page_after;
  int position_after;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class ScrollBarRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ScrollBarRangeTest, SetsMaximumPageAndClampsPosition) {
  const RangeCase& c = GetParam();
  CFakeItemAccessor accessor;
  ui::CSkinWindowItemScrollBar bar(&accessor, 1, Vertical());
  bar.SetRange(1000, 1);
  bar.SetPos(c.position_before);
  bar.SetRange(c.last, c.page);
  EXPECT_EQ(bar.GetMaximum(), c.maximum);
  EXPECT_EQ(bar.GetPage(), c.page_after);
  EXPECT_EQ(bar.GetPos(), c.position_after);
  EXPECT_EQ(bar.IsEnabled(), c.maximum != 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScrollBarRangeTest,
                         ::testing::Values(RangeCase{"TenRowsPageFour", 0, 9, 4, 6, 4, 0},
                                           RangeCase{"PositionClampedToMaximum", 50, 9, 4, 6, 4, 6},
                                           RangeCase{"PageZeroCountsAsOne", 3, 9, 0, 9, 1, 3},
                                           RangeCase{"RowsFitThePage", 2, 3, 4, 0, 4, 0},
                                           RangeCase{"LastEqualsPage", 0, 4, 4, 1, 4, 0},
                                           RangeCase{"NegativeLast", 7, -5, 4, 0, 4, 0}),
                         ovtest::CaseName());

struct GeometryCase {
  const char* name;
  int length;
  int position;
  int maximum;
  int page;
  bool has_thumb;
  int thumb_start;
  int thumb_end;
  // Parts at along 0, 15, 16, thumb start, thumb end, length - 17, length - 1, length.
  int parts[8];
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

class ScrollBarGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(ScrollBarGeometryTest, ThumbAndParts) {
  const GeometryCase& c = GetParam();
  const ui::ScrollBarGeometry g =
      ui::ComputeScrollBarGeometry(c.length, 16, 2, 2, c.position, c.maximum, c.page);
  EXPECT_EQ(g.has_thumb, c.has_thumb);
  EXPECT_EQ(g.thumb_start, c.thumb_start);
  EXPECT_EQ(g.thumb_end, c.thumb_end);
  const int at[8] = {0, 15, 16, c.thumb_start, c.thumb_end, c.length - 17, c.length - 1, c.length};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(g.PartAt(at[i]), c.parts[i]) << "along " << at[i];
}

// Thumb middle = 164 x page / (page + maximum), offset = 164 x position /
// (page + maximum), extent = offset .. offset + 2 + middle + 2.
INSTANTIATE_TEST_SUITE_P(
    Cases, ScrollBarGeometryTest,
    ::testing::Values(
        GeometryCase{"FirstOfTen", 200, 0, 6, 4, true, 16, 85, {0, 0, 2, 2, 5, 5, 1, -1}},
        GeometryCase{"LastOfTen", 200, 6, 6, 4, true, 114, 183, {0, 0, 4, 2, 5, 5, 1, -1}},
        GeometryCase{"NothingToScroll", 200, 0, 0, 4, true, 16, 184, {0, 0, 2, 2, 1, 2, 1, -1}},
        GeometryCase{"ShortBarStillHasRoom", 37, 0, 1, 1, true, 16, 20, {0, 0, 2, 2, 5, 5, 1, -1}},
        // Track 4 long, thumb ends 4: no room, no thumb, no track parts.
        GeometryCase{
            "ShortBarHasNoThumb", 36, 0, 1, 1, false, 16, 16, {0, 0, -1, -1, -1, -1, 1, -1}}),
    ovtest::CaseName());

TEST(ScrollBarPositionTest, OffsetToPositionIsClampedAndSafeWithoutRoom) {
  EXPECT_EQ(ui::ScrollPositionFromOffset(82, 164, 90, 10), 50);
  EXPECT_EQ(ui::ScrollPositionFromOffset(-30, 164, 90, 10), 0);
  EXPECT_EQ(ui::ScrollPositionFromOffset(500, 164, 90, 10), 90);
  EXPECT_EQ(ui::ScrollPositionFromOffset(10, 0, 90, 10), 0);
  EXPECT_EQ(ui::ScrollPositionFromOffset(10, -4, 90, 10), 0);
}

TEST_F(ScrollBarTest, HoldingTheFirstButtonRepeatsAfter500ThenEvery40UntilZero) {
  bar.SetRange(9, 4);
  bar.SetPos(3);
  EXPECT_TRUE(bar.OnLButtonDown(At(5)));
  EXPECT_EQ(owner.codes, (Codes{SB_LINEUP}));
  EXPECT_EQ(bar.StateOf(ui::kScrollPartFirst), 3);  // pushed and hot
  TickUntil(1490);
  EXPECT_EQ(owner.codes.size(), 1u);
  TickUntil(1500);
  EXPECT_EQ(owner.codes.size(), 2u);
  TickUntil(1530);
  EXPECT_EQ(owner.codes.size(), 2u);
  TickUntil(1540);
  EXPECT_EQ(owner.codes.size(), 3u);
  EXPECT_EQ(bar.GetPos(), 0);
  TickUntil(2000);
  EXPECT_EQ(owner.codes, (Codes{SB_LINEUP, SB_LINEUP, SB_LINEUP}));
  for (UINT m : owner.messages) EXPECT_EQ(m, static_cast<UINT>(WM_VSCROLL));
  for (int p : owner.positions) EXPECT_EQ(p, 0);
  bar.OnLButtonUp(At(5));
  EXPECT_FALSE(bar.RepeatPending());
  EXPECT_EQ(bar.PressedPart(), -1);
  EXPECT_EQ(bar.HoverPart(), ui::kScrollPartFirst);
}

TEST_F(ScrollBarTest, SecondButtonStopsAtTheMaximum) {
  bar.SetRange(9, 4);
  bar.SetPos(5);
  bar.OnLButtonDown(At(190));
  TickUntil(3000);
  EXPECT_EQ(owner.codes, (Codes{SB_LINEDOWN}));
  EXPECT_EQ(bar.GetPos(), 6);
}

TEST_F(ScrollBarTest, HoldingTheTrackBelowTheThumbStopsOnceTheThumbReachesThePointer) {
  bar.SetRange(99, 10);  // maximum 90: thumb 20 long, 16.4 per page
  ASSERT_TRUE(bar.OnLButtonDown(At(150)));
  TickUntil(3000);
  // Positions 10..80; at 80 the thumb covers 147..167.
  EXPECT_EQ(owner.codes, Codes(8, SB_PAGEDOWN));
  EXPECT_EQ(bar.GetPos(), 80);
  EXPECT_FALSE(bar.RepeatPending());
}

TEST_F(ScrollBarTest, HoldingTheTrackAboveTheThumbStopsToo) {
  bar.SetRange(99, 10);
  bar.SetPos(90);
  ASSERT_TRUE(bar.OnLButtonDown(At(40)));
  TickUntil(3000);
  EXPECT_FALSE(owner.codes.empty());
  for (int code : owner.codes) EXPECT_EQ(code, SB_PAGEUP);
  const ui::ScrollBarGeometry g = bar.Geometry();
  EXPECT_LE(g.thumb_start, 40);
  EXPECT_GT(g.thumb_end, 40);
}

TEST_F(ScrollBarTest, LeavingThePressedPartPausesAndComingBackResumesAfter40) {
  bar.SetRange(99, 10);
  bar.SetPos(50);
  bar.OnLButtonDown(At(5));
  bar.OnMouseMove(POINT{40, 5});  // beside the bar
  EXPECT_EQ(bar.HeldPart(), -1);
  EXPECT_EQ(bar.StateOf(ui::kScrollPartFirst), 1);  // hot, no longer pushed
  TickUntil(2000);
  EXPECT_EQ(owner.codes.size(), 1u);
  bar.OnMouseMove(At(6));
  EXPECT_EQ(bar.HeldPart(), ui::kScrollPartFirst);
  TickUntil(2030);
  EXPECT_EQ(owner.codes.size(), 1u);
  TickUntil(2040);
  EXPECT_EQ(owner.codes.size(), 2u);
}

TEST_F(ScrollBarTest, RepeatDueAcrossTheTickCountWrap) {
  bar.SetRange(99, 10);
  bar.SetPos(50);
  g_now = 0xFFFFFF00u;
  bar.OnLButtonDown(At(5));
  TickUntil(0xFFFFFF00u + 490);
  EXPECT_EQ(owner.codes.size(), 1u);
  TickUntil(0xFFFFFF00u + 500);  // 0x000000F4
  EXPECT_EQ(owner.codes.size(), 2u);
  TickUntil(0xFFFFFF00u + 540);
  EXPECT_EQ(owner.codes.size(), 3u);
}

TEST_F(ScrollBarTest, DraggingTheThumbSendsThumbPositions) {
  bar.SetRange(99, 10);  // thumb 16..36
  ASSERT_TRUE(bar.OnLButtonDown(At(20)));
  EXPECT_TRUE(owner.codes.empty());
  bar.OnMouseMove(At(20 + 82));
  bar.OnMouseMove(At(20 + 82));  // no change, nothing sent
  bar.OnMouseMove(POINT{60, 1000});
  bar.OnMouseMove(At(-500));
  EXPECT_EQ(owner.codes, (Codes{SB_THUMBPOSITION, SB_THUMBPOSITION, SB_THUMBPOSITION}));
  EXPECT_EQ(owner.positions, (std::vector<int>{50, 90, 0}));
  TickUntil(3000);
  EXPECT_EQ(owner.codes.size(), 3u);  // a thumb does not repeat
  bar.OnLButtonUp(At(-500));
  EXPECT_EQ(bar.PressedPart(), -1);
}

TEST_F(ScrollBarTest, DisabledBarSendsNothing) {
  bar.SetRange(3, 4);
  EXPECT_FALSE(bar.IsEnabled());
  EXPECT_FALSE(bar.OnLButtonDown(At(5)));
  EXPECT_FALSE(bar.OnLButtonDown(At(100)));
  TickUntil(3000);
  EXPECT_TRUE(owner.codes.empty());
  bar.OnMouseMove(At(5));
  EXPECT_EQ(bar.StateOf(ui::kScrollPartFirst), 0);

  bar.SetRange(99, 10);
  bar.SetEnabled(false);
  EXPECT_FALSE(bar.IsEnabled());
  EXPECT_FALSE(bar.OnLButtonDown(At(5)));
  EXPECT_TRUE(owner.codes.empty());
}

TEST_F(ScrollBarTest, ShortBarHasNoThumbToDrag) {
  ui::CSkinWindowItemScrollBar short_bar(&accessor, 2, Vertical(36));
  short_bar.SetListener(&owner);
  short_bar.SetRange(99, 10);
  EXPECT_FALSE(short_bar.OnLButtonDown(At(18)));
  EXPECT_TRUE(short_bar.OnLButtonDown(At(30)));
  EXPECT_EQ(owner.codes, (Codes{SB_LINEDOWN}));
}

TEST_F(ScrollBarTest, HoverFollowsThePointerAndLeaveClearsIt) {
  bar.SetRange(9, 4);
  accessor.Clear();
  bar.OnMouseMove(At(5));
  EXPECT_EQ(bar.HoverPart(), ui::kScrollPartFirst);
  EXPECT_EQ(bar.StateOf(ui::kScrollPartFirst), 1);
  EXPECT_EQ(accessor.redraws.size(), 1u);
  bar.OnMouseMove(At(6));
  EXPECT_EQ(accessor.redraws.size(), 1u);
  bar.OnMouseMove(At(50));
  EXPECT_EQ(bar.HoverPart(), ui::kScrollPartThumb);
  bar.OnMouseLeave();
  EXPECT_EQ(bar.HoverPart(), -1);
}

TEST_F(ScrollBarTest, HorizontalBarUsesXAndHScroll) {
  ui::ScrollBarLook look = Vertical();
  look.vertical = false;
  look.width = 200;
  look.height = 16;
  ui::CSkinWindowItemScrollBar horizontal(&accessor, 4, look);
  horizontal.SetListener(&owner);
  horizontal.SetRange(9, 4);
  EXPECT_TRUE(horizontal.OnLButtonDown(POINT{195, 8}));
  EXPECT_EQ(owner.codes, (Codes{SB_LINEDOWN}));
  EXPECT_EQ(owner.messages, (std::vector<UINT>{WM_HSCROLL}));
}

const char kBarKeys[] =
    "Position=1,2;Size=16,100;ButtonSize=16,16;ThumbSize=12,20;ThumbPart=2,16,2;"
    "BaseImage=S.png,0,0,16,20,2,2;UpButtonImage=S.png,16,0,16,16,16,32,16,48;"
    "DownButtonImage=S.png,32,0,32,16,32,32,32,48;ThumbImage=S.png,48,0,60,0,72,0,84,0;"
    "UpImage=S.png,0,64,8,68;DownImage=S.png,8,64,16,68;DisableUpImage=S.png,0,68,8,72;"
    "DisableDownImage=S.png,8,68,16,72;";

ui::SkinSection SectionOf(const std::string& body) {
  uitest::CMemorySkinSource source;
  const HMODULE module = uitest::FreshModule();
  source.Add(module, "s.txt", uitest::SkinText({body.c_str()}));
  return ui::SkinDefinition::Load("s.txt", module).GetSection("Bar");
}

TEST(ScrollBarSectionTest, ReadsEveryKey) {
  const ui::ScrollBarLook look =
      ui::ReadScrollBarLook(SectionOf(std::string("Bar{Type=H;") + kBarKeys + "}"));
  EXPECT_FALSE(look.vertical);
  EXPECT_EQ(look.x, 1);
  EXPECT_EQ(look.height, 100);
  EXPECT_EQ(look.thumb_end, 2);
  EXPECT_EQ(look.track.rect.bottom, 20);
  EXPECT_EQ(look.track_start, 2);
  EXPECT_EQ(look.first[3].rect.top, 48);
  EXPECT_EQ(look.first[3].rect.bottom, 64);
  EXPECT_EQ(look.second[1].rect.left, 32);
  EXPECT_EQ(look.thumb_pictures[2].rect.left, 72);
  EXPECT_EQ(look.thumb_pictures[2].rect.right, 84);
  EXPECT_EQ(look.second_label_disabled.rect.left, 8);
  EXPECT_EQ(look.second_label_disabled.name, "S.png");
}

TEST(ScrollBarSectionTest, RefusesAnyOtherType) {
  for (const char* type : {"v", "VH", "X"}) {
    const ui::SkinSection section =
        SectionOf(std::string("Bar{Type=") + type + ";" + kBarKeys + "}");
    ovtest::CMessageBoxCapture boxes;
    std::string error;
    try {
      ui::ReadScrollBarLook(section);
    } catch (const ui::CSkinWindowException& e) {
      error = e.what();
    }
    EXPECT_EQ(error, std::string("Bar 無効な スクロールタイプ(") + type + ")が指定されました");
  }
}

}  // namespace
