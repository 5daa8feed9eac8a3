// The drawer's geometry and the key rule of the main program's windows, as
// pure functions.
#include <gtest/gtest.h>

#include <ostream>

#include "Drawer.h"
#include "MainWindowKeys.h"
#include "TestSupport.h"

namespace {

struct OwnerCase {
  const char* name;
  int owner_top;
  int height;
  int work_top;
  int expected;
};
void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }

class DrawerOwnerTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(DrawerOwnerTest, OwnerMovesDownOnlyWhenTheDrawerWouldNotFit) {
  const OwnerCase& c = GetParam();
  EXPECT_EQ(c.expected, mainwin::OwnerTopForDrawer(c.owner_top, c.height, c.work_top));
}

INSTANTIATE_TEST_SUITE_P(Places, DrawerOwnerTest,
                         ::testing::Values(OwnerCase{"AtTheTop", 0, 190, 0, 186},
                                           OwnerCase{"Low", 500, 190, 0, 500},
                                           OwnerCase{"JustFits", 186, 190, 0, 186},
                                           OwnerCase{"OnePixelShort", 185, 190, 0, 186},
                                           OwnerCase{"WorkAreaBelowATaskbar", 30, 172, 40, 208},
                                           OwnerCase{"AboveTheScreen", -50, 150, 0, 146}),
                         ovtest::CaseName());

TEST(DrawerTest, SlidesUpTwentyPixelsATickAndStopsAtItsHeight) {
  RECT r = mainwin::DrawerStartRect(RECT{100, 300, 580, 600});
  EXPECT_EQ(100, r.left);
  EXPECT_EQ(580, r.right);
  EXPECT_EQ(304, r.top);
  EXPECT_EQ(304, r.bottom);
  int ticks = 0;
  while (!mainwin::SlideStep(&r, 190)) {
    ++ticks;
    EXPECT_EQ(304 - 20 * ticks, r.top);
  }
  EXPECT_EQ(9, ticks);  // the tenth tick reaches 200 and is held at 190
  EXPECT_EQ(304 - 190, r.top);
  EXPECT_EQ(304, r.bottom);
}

TEST(DrawerTest, FadesTenAlphaATickDownToZero) {
  int alpha = 255;
  int ticks = 1;
  while (!mainwin::FadeStep(&alpha)) {
    EXPECT_EQ(255 - 10 * ticks, alpha);
    ++ticks;
  }
  EXPECT_EQ(0, alpha);
  EXPECT_EQ(26, ticks);
}

struct KeyCase {
  const char* name;
  UINT modifiers;
  UINT key;
  bool kept;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class MainWindowKeysTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(MainWindowKeysTest, OnlyControlTabsStayWithTheWindow) {
  EXPECT_EQ(GetParam().kept,
            mainwin::IsForwardedKeyCombination(GetParam().modifiers, GetParam().key));
}

using mainwin::kModControl;
using mainwin::kModShift;
INSTANTIATE_TEST_SUITE_P(Keys, MainWindowKeysTest,
                         ::testing::Values(KeyCase{"ControlTab", kModControl, VK_TAB, true},
                                           KeyCase{"ControlShiftTab", kModControl | kModShift,
                                                   VK_TAB, true},
                                           KeyCase{"Tab", 0, VK_TAB, false},
                                           KeyCase{"ShiftTab", kModShift, VK_TAB, false},
                                           KeyCase{"ControlA", kModControl, 'A', false},
                                           KeyCase{"Return", 0, VK_RETURN, false}),
                         ovtest::CaseName());

}  // namespace
