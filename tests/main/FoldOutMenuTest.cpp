// The fold-out menu over a recording parent in the launcher's place: its
// layout from the shipped skin, the slide in every direction, hover and
// click reports, the card-dependent entries and the key rule. State is read
// from the menu objects, the parent's records and the screen's pixels.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "CoreMessages.h"
#include "FoldOutMenu.h"
#include "MainWindowTestSupport.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinDefinition.h"
#include "SkinWindowItemButton.h"
#include "TestSupport.h"

namespace {

using maintest::CRecordingParent;
using ui::CMenuWindow;

constexpr UINT kClick = 0x736;
constexpr UINT kHover = 0x737;
constexpr DWORD kLimitMs = 5000;

// The entries that need a card: settings, both music entries, card
// information.
bool NeedsCard(int main, int sub) {
  return (main == 0 && sub == 0) || (main == 1 && sub >= 0) || (main == 3 && sub == 1);
}

std::vector<CMenuWindow::Entry> ShippedEntries() {
  return CMenuWindow::ReadEntries(ui::SkinDefinition::Load("MenuWindow.txt"), &NeedsCard);
}

// The pump of these tests also drops the pointer's leave and hover notices,
// which the real pointer, elsewhere on the shared screen, would bring.
void PumpMenu() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    if (msg.message == WM_MOUSELEAVE || msg.message == WM_MOUSEHOVER) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

template <typename Done>
bool Until(Done done) {
  const DWORD start = GetTickCount();
  for (;;) {
    PumpMenu();
    if (done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= kLimitMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kLimitMs - spent, QS_ALLINPUT);
  }
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// A pointer move the test sends, at a button's centre (client points).
void PointAt(CMenuWindow& menu, size_t j) {
  const RECT r = menu.Button(j)->Rect();
  const POINT c = Centre(r);
  SendMessageA(menu.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(c.x, c.y));
}

void SendCard(CMenuWindow& menu, WPARAM drive) {
  SendMessageA(menu.Handle(), RegisterOvMessage(kMsgSDChange), drive, 0);
}

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

COLORREF ScreenPixel(int x, int y) {
  HDC dc = GetDC(nullptr);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(nullptr, dc);
  return c;
}

class FoldOutMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _parent.reset(new CRecordingParent(120, 120, 480, 300));
    _menu.Create(_parent->Get(), kClick, kHover, ShippedEntries());
    _menu.MoveTo(Anchor());
  }
  void TearDown() override {
    Until([] { return true; });
  }

  POINT Anchor() const {
    const RECT r = _parent->Rect();
    return POINT{r.left + 40, r.top + 30};
  }
  // Opens the root at once and the sub-menu of main button j to its end.
  void OpenSub(size_t j) {
    _menu.Open(false);
    ASSERT_TRUE(_menu.ClickItem(CMenuWindow::kFirstButtonId + static_cast<int>(j)));
    ASSERT_TRUE(
        Until([&] { return _menu.SubMenu(j)->IsOpen() && !_menu.SubMenu(j)->IsOpening(); }));
  }

  ovtest::CScreenLock _screen;
  ovtest::CMessageBoxCapture _boxes;
  std::unique_ptr<CRecordingParent> _parent;
  CMenuWindow _menu;
};

TEST_F(FoldOutMenuTest, LaysOutTheShippedButtonsWithTheirPaddings) {
  ASSERT_EQ(4u, _menu.ButtonCount());
  EXPECT_EQ(CMenuWindow::kRootIndex, _menu.Index());
  // Root: 4 + 4 x 96 + 3 x 4 + 1 wide, 4 + 28 + 3 high.
  RECT t = _menu.TargetRect();
  EXPECT_EQ(Anchor().x, t.left);
  EXPECT_EQ(Anchor().y, t.top);
  EXPECT_EQ(401, t.right - t.left);
  EXPECT_EQ(35, t.bottom - t.top);
  EXPECT_EQ(4, _menu.Button(0)->X());
  EXPECT_EQ(4, _menu.Button(0)->Y());
  EXPECT_EQ(4 + 96 + 4, _menu.Button(1)->X());
  const size_t counts[] = {2, 2, 2, 3};
  for (size_t j = 0; j < 4; ++j) {
    SCOPED_TRACE(j);
    CMenuWindow* sub = _menu.SubMenu(j);
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ(static_cast<int>(j), sub->Index());
    EXPECT_EQ(counts[j], sub->ButtonCount());
    const RECT s = sub->TargetRect();
    const RECT b = _menu.ButtonScreenRect(j);
    EXPECT_EQ(b.left, s.left);  // hangs below its main button
    EXPECT_EQ(b.bottom, s.top);
    EXPECT_EQ(130, s.right - s.left);
    EXPECT_EQ(static_cast<LONG>(24 * counts[j]), s.bottom - s.top);
    EXPECT_FALSE(IsWindowVisible(sub->Handle()));
  }
  EXPECT_FALSE(IsWindowVisible(_menu.Handle()));
  EXPECT_EQ(nullptr, _menu.SubMenu(4));
}

TEST_F(FoldOutMenuTest, SlidesOutAndFadesInThenSlidesBackAndHides) {
  _menu.Open(true);
  EXPECT_TRUE(_menu.IsOpening());
  const RECT t = _menu.TargetRect();
  RECT c = _menu.CurrentRect();
  EXPECT_TRUE(Same(RECT{t.left, t.top, t.left + 60, t.bottom}, c));  // the first step
  EXPECT_TRUE(IsWindowVisible(_menu.Handle()));
  ASSERT_TRUE(Until([&] { return !_menu.IsOpening(); }));
  RECT w;
  GetWindowRect(_menu.Handle(), &w);
  EXPECT_TRUE(Same(t, w));
  auto* button = dynamic_cast<ui::CSkinWindowItemButton*>(_menu.Button(0));
  ASSERT_NE(nullptr, button);
  ASSERT_TRUE(Until([&] { return button->Alpha() == 255; }));
  UpdateWindow(_menu.Handle());
  // The base's edge; the X server shows what was drawn a moment later, under
  // load more than a moment.
  EXPECT_TRUE(Until([&] { return ScreenPixel(t.left + 1, t.top + 1) == RGB(45, 65, 100); }))
      << std::hex << ScreenPixel(t.left + 1, t.top + 1);

  _menu.Close(true);
  EXPECT_TRUE(_menu.IsClosing());
  c = _menu.CurrentRect();
  EXPECT_EQ(401 - 60, c.right - c.left);
  ASSERT_TRUE(Until([&] { return !IsWindowVisible(_menu.Handle()); }));
  EXPECT_FALSE(_menu.IsClosing());
  EXPECT_FALSE(_menu.IsOpen());
}

TEST_F(FoldOutMenuTest, FollowsItsAnchorWithTheOpenSubMenu) {
  ASSERT_NO_FATAL_FAILURE(OpenSub(1));
  const POINT moved = {Anchor().x + 25, Anchor().y + 15};
  _menu.MoveTo(moved);
  RECT w;
  GetWindowRect(_menu.Handle(), &w);
  EXPECT_EQ(moved.x, w.left);
  EXPECT_EQ(moved.y, w.top);
  GetWindowRect(_menu.SubMenu(1)->Handle(), &w);
  const RECT b = _menu.ButtonScreenRect(1);
  EXPECT_EQ(b.left, w.left);
  EXPECT_EQ(b.bottom, w.top);
}

TEST_F(FoldOutMenuTest, ReportsHoverAndSwitchesSubMenus) {
  _menu.Open(false);
  PointAt(_menu, 1);
  CMenuWindow* first = _menu.SubMenu(1);
  CMenuWindow* second = _menu.SubMenu(2);
  EXPECT_TRUE(first->IsOpen());  // 48 high: out in one step
  ASSERT_TRUE(Until([&] { return _parent->Of(kHover).size() == 1 && !first->IsOpening(); }));
  EXPECT_EQ(0xFFFFu, _parent->Of(kHover)[0].wparam);
  EXPECT_EQ(1, _parent->Of(kHover)[0].lparam);

  // The second main button closes the first sub-menu before its own slides.
  PointAt(_menu, 2);
  EXPECT_FALSE(IsWindowVisible(first->Handle()));
  EXPECT_FALSE(first->IsOpen());
  EXPECT_TRUE(second->IsOpen());
  // Leaving the first button, then entering the second.
  ASSERT_TRUE(Until([&] { return _parent->Of(kHover).size() == 3 && !second->IsOpening(); }));
  EXPECT_EQ(-1, _parent->Of(kHover)[1].lparam);
  EXPECT_EQ(0xFFFFu, _parent->Of(kHover)[2].wparam);
  EXPECT_EQ(2, _parent->Of(kHover)[2].lparam);

  // In the sub-menu: its own index; leaving a button: (-1, -1).
  PointAt(*second, 1);
  ASSERT_TRUE(Until([&] { return _parent->Of(kHover).size() == 4; }));
  EXPECT_EQ(2u, _parent->Of(kHover)[3].wparam);
  EXPECT_EQ(1, _parent->Of(kHover)[3].lparam);
  SendMessageA(second->Handle(), WM_MOUSELEAVE, 0, 0);
  ASSERT_TRUE(Until([&] { return _parent->Of(kHover).size() == 5; }));
  EXPECT_EQ(static_cast<WPARAM>(-1), _parent->Of(kHover)[4].wparam);
  EXPECT_EQ(-1, _parent->Of(kHover)[4].lparam);
  EXPECT_TRUE(_parent->Of(kClick).empty());

  // Closing the root hides the open sub-menu at once.
  _menu.Close(true);
  EXPECT_FALSE(IsWindowVisible(second->Handle()));
  ASSERT_TRUE(Until([&] { return !IsWindowVisible(_menu.Handle()); }));
}

TEST_F(FoldOutMenuTest, HoverDuringTheSlideOpensNoSubMenu) {
  _menu.Open(true);
  ASSERT_TRUE(_menu.IsOpening());
  PointAt(_menu, 0);
  EXPECT_FALSE(_menu.SubMenu(0)->IsOpen());
  ASSERT_TRUE(Until([&] { return _parent->Of(kHover).size() == 1; }));
  EXPECT_EQ(0, _parent->Of(kHover)[0].lparam);
}

struct ClickCase {
  const char* name;
  int main;
  int sub;
};
void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }

class FoldOutMenuClickTest : public FoldOutMenuTest,
                             public ::testing::WithParamInterface<ClickCase> {};

TEST_P(FoldOutMenuClickTest, ReachesTheOwnerAsMainAndSubIndex) {
  const ClickCase& c = GetParam();
  SendCard(_menu, 'E');
  ASSERT_NO_FATAL_FAILURE(OpenSub(c.main));
  EXPECT_TRUE(_parent->Of(kClick).empty());  // a main button only opens
  CMenuWindow* sub = _menu.SubMenu(c.main);
  ASSERT_TRUE(sub->ClickItem(CMenuWindow::kFirstButtonId + c.sub));
  ASSERT_TRUE(Until([&] { return !_parent->Of(kClick).empty(); }));
  ASSERT_EQ(1u, _parent->Of(kClick).size());
  EXPECT_EQ(static_cast<WPARAM>(c.main), _parent->Of(kClick)[0].wparam);
  EXPECT_EQ(c.sub, _parent->Of(kClick)[0].lparam);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FoldOutMenuClickTest,
    ::testing::Values(ClickCase{"Settings", 0, 0}, ClickCase{"Refresh", 0, 1},
                      ClickCase{"MusicSettings", 1, 0}, ClickCase{"MusicManual", 1, 1},
                      ClickCase{"DownloadPage", 2, 0}, ClickCase{"Registration", 2, 1},
                      ClickCase{"Version", 3, 0}, ClickCase{"CardInformation", 3, 1},
                      ClickCase{"Help", 3, 2}),
    ovtest::CaseName());

// The card-dependent entries after each step of a sequence of card changes
// and enable flags.
struct CardStep {
  bool enable;
  WPARAM drive;
  bool card_entries_enabled;
};

TEST_F(FoldOutMenuTest, EnablesCardEntriesOnlyWithACardWhenEnabled) {
  const CardStep steps[] = {
      {true, 0, false},                        // no card
      {true, 'E', true},                       // a card
      {true, 0, false},                        // taken out
      {false, 'F', false},                     // disabled menu (the version check ended with 1)
      {false, 0, false},   {true, 'G', true},  // enabled again with the next card
  };
  struct Place {
    int main;
    int sub;
  };
  const Place card[] = {{0, 0}, {1, 0}, {1, 1}, {3, 1}};
  const Place plain[] = {{0, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 2}};
  int n = 0;
  for (const CardStep& step : steps) {
    SCOPED_TRACE(n++);
    _menu.Enable(step.enable);
    EXPECT_EQ(step.enable, _menu.SubMenu(2)->IsMenuEnabled());
    SendCard(_menu, step.drive);
    for (const Place& p : card) {
      EXPECT_EQ(step.card_entries_enabled, _menu.SubMenu(p.main)->Button(p.sub)->IsEnabled())
          << p.main << "." << p.sub;
    }
    for (const Place& p : plain) {
      EXPECT_TRUE(_menu.SubMenu(p.main)->Button(p.sub)->IsEnabled()) << p.main << "." << p.sub;
    }
    for (size_t j = 0; j < 4; ++j) EXPECT_TRUE(_menu.Button(j)->IsEnabled());
  }
  // Another process's message with no drive letter is ignored.
  SendCard(_menu, '#');
  EXPECT_TRUE(_menu.SubMenu(0)->Button(0)->IsEnabled());
  // A disabled entry takes no click.
  SendCard(_menu, 0);
  EXPECT_FALSE(_menu.SubMenu(1)->ClickItem(CMenuWindow::kFirstButtonId));
}

TEST_F(FoldOutMenuTest, PassesKeysToTheOwnerButSwallowsEscape) {
  _menu.Open(false);
  SendMessageA(_menu.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  SendMessageA(_menu.Handle(), WM_KEYDOWN, 'A', 0);
  ASSERT_TRUE(Until([&] { return _parent->Has(WM_KEYDOWN); }));
  ASSERT_EQ(1u, _parent->Of(WM_KEYDOWN).size());
  EXPECT_EQ(static_cast<WPARAM>('A'), _parent->Of(WM_KEYDOWN)[0].wparam);
  EXPECT_TRUE(IsWindowVisible(_menu.Handle()));
}

TEST_F(FoldOutMenuTest, ScreenshotOfTheOpenMenu) {
  SendCard(_menu, 0);  // no card: the card information entry is greyed
  ASSERT_NO_FATAL_FAILURE(OpenSub(3));
  PointAt(*_menu.SubMenu(3), 0);
  const RECT t = _menu.TargetRect();
  auto* last = dynamic_cast<ui::CSkinWindowItemButton*>(_menu.SubMenu(3)->Button(2));
  ASSERT_NE(nullptr, last);
  ASSERT_TRUE(Until([&] {  // slid out and faded in
    return last->Alpha() == 255 && ScreenPixel(t.left + 1, t.top + 1) == RGB(45, 65, 100);
  }));
  // Wine stacks the owner's X window over the owned windows that lie on it,
  // which would leave them black in the picture: the owner steps aside.
  ShowWindow(_parent->Get(), SW_HIDE);
  Until([] { return true; });
  maintest::Screenshot("main_FoldOutMenu");
}

// Each fold direction slides its own edge outward from the anchor.
struct DirectionCase {
  const char* name;
  int direction;
};
void PrintTo(const DirectionCase& c, std::ostream* os) { *os << c.name; }

class FoldOutMenuDirectionTest : public ::testing::TestWithParam<DirectionCase> {
 protected:
  ovtest::CScreenLock _screen;
  ovtest::CMessageBoxCapture _boxes;
};

TEST_P(FoldOutMenuDirectionTest, SlidesTheOuterEdgeBy60PerTick) {
  const int d = GetParam().direction;
  CRecordingParent parent(300, 300, 300, 200);
  CMenuWindow menu;
  menu.Create(parent.Get(), kClick, kHover, ShippedEntries(), CMenuWindow::kRootIndex, d, 180);
  const POINT a = {400, 400};
  menu.MoveTo(a);
  const RECT t = menu.TargetRect();
  const int w = t.right - t.left;
  const int h = t.bottom - t.top;
  const bool horizontal = d == 90 || d == 270;
  EXPECT_EQ(horizontal ? 401 : 4 + 96 + 1, w);
  EXPECT_EQ(horizontal ? 35 : 4 + 4 * 28 + 3 * 4 + 3, h);
  RECT first = {};
  switch (d) {
    case 0:
      EXPECT_TRUE(Same(RECT{a.x, a.y - h, a.x + w, a.y}, t));
      first = RECT{t.left, t.bottom - 60, t.right, t.bottom};
      break;
    case 90:
      EXPECT_TRUE(Same(RECT{a.x, a.y, a.x + w, a.y + h}, t));
      first = RECT{t.left, t.top, t.left + 60, t.bottom};
      break;
    case 180:
      EXPECT_TRUE(Same(RECT{a.x, a.y, a.x + w, a.y + h}, t));
      first = RECT{t.left, t.top, t.right, t.top + 60};
      break;
    default:
      EXPECT_TRUE(Same(RECT{a.x - w, a.y, a.x, a.y + h}, t));
      first = RECT{t.right - 60, t.top, t.right, t.bottom};
      break;
  }
  menu.Open(true);
  EXPECT_TRUE(Same(first, menu.CurrentRect()));
  ASSERT_TRUE(Until([&] { return !menu.IsOpening(); }));
  RECT r;
  GetWindowRect(menu.Handle(), &r);
  EXPECT_TRUE(Same(t, r));
  menu.Close(true);
  ASSERT_TRUE(Until([&] { return !IsWindowVisible(menu.Handle()); }));
}

INSTANTIATE_TEST_SUITE_P(Directions, FoldOutMenuDirectionTest,
                         ::testing::Values(DirectionCase{"Up", 0}, DirectionCase{"Right", 90},
                                           DirectionCase{"Down", 180}, DirectionCase{"Left", 270}),
                         ovtest::CaseName());

}  // namespace
