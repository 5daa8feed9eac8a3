// Nine-grid geometry as pure functions, the nearest-neighbour stretch, and
// drawing a cached picture's grid at several sizes, read back pixel by pixel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageBoxCapture.h"
#include "NineGrid.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinImage.h"
#include "TestSupport.h"
#include "UiEnvironment.h"

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new uitest::CUiEnvironment);

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

std::string Layout(const ui::NineGrid& grid, const RECT& dest) {
  std::string out;
  for (const auto& cell : ui::NineGridLayout(grid, dest)) {
    out += Str(cell.dest) + "<" + Str(cell.source) + " ";
  }
  return out;
}

// The shipped frame: cells between x 640, 643, 688, 690 and y 230, 234, 249, 250.
const ui::NineGrid kFrame = {{640, 643, 688, 690}, {230, 234, 249, 250}};

struct LayoutCase {
  const char* name;
  RECT dest;
  std::string expected;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class NineGridLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(NineGridLayoutTest, PlacesCornersUnscaledAndStretchesTheRest) {
  EXPECT_EQ(Layout(kFrame, GetParam().dest), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NineGridLayoutTest,
    ::testing::Values(LayoutCase{"SourceSize",
                                 {10, 20, 60, 40},
                                 "10,20,13,24<640,230,643,234 13,20,58,24<643,230,688,234 "
                                 "58,20,60,24<688,230,690,234 10,24,13,39<640,234,643,249 "
                                 "13,24,58,39<643,234,688,249 58,24,60,39<688,234,690,249 "
                                 "10,39,13,40<640,249,643,250 13,39,58,40<643,249,688,250 "
                                 "58,39,60,40<688,249,690,250 "},
                      LayoutCase{"Larger",
                                 {0, 0, 200, 100},
                                 "0,0,3,4<640,230,643,234 3,0,198,4<643,230,688,234 "
                                 "198,0,200,4<688,230,690,234 0,4,3,99<640,234,643,249 "
                                 "3,4,198,99<643,234,688,249 198,4,200,99<688,234,690,249 "
                                 "0,99,3,100<640,249,643,250 3,99,198,100<643,249,688,250 "
                                 "198,99,200,100<688,249,690,250 "},
                      LayoutCase{"JustTheCorners",
                                 {0, 0, 5, 5},
                                 "0,0,3,4<640,230,643,234 3,0,5,4<688,230,690,234 "
                                 "0,4,3,5<640,249,643,250 3,4,5,5<688,249,690,250 "},
                      LayoutCase{"SmallerThanTheCorners",
                                 {0, 0, 4, 3},
                                 "0,0,3,4<640,230,643,234 2,0,4,4<688,230,690,234 "
                                 "0,2,3,3<640,249,643,250 2,2,4,3<688,249,690,250 "},
                      LayoutCase{"Empty",
                                 {5, 5, 5, 5},
                                 "5,5,8,9<640,230,643,234 3,5,5,9<688,230,690,234 "
                                 "5,4,8,5<640,249,643,250 3,4,5,5<688,249,690,250 "}),
    ovtest::CaseName());

TEST(NineGridLayoutTest, EmptyCellsOfTheSourceAreLeftOut) {
  const ui::NineGrid bar = {{0, 4, 60, 64}, {0, 0, 16, 16}};
  EXPECT_EQ(Layout(bar, RECT{0, 0, 100, 16}),
            "0,0,4,16<0,0,4,16 4,0,96,16<4,0,60,16 96,0,100,16<60,0,64,16 ");
}

TEST(NineGridValuesTest, ReadsTheEightNumbersAfterTheName) {
  uitest::CMemorySkinSource source;
  const HMODULE module = uitest::FreshModule();
  source.Add(module, "f.txt",
             uitest::SkinText({"Edit{Frame=\"Parts.png\",640,643,688,690,230,234,249,250;"
                               "Short=Parts.png,1,2;}"}));
  const auto section = ui::SkinDefinition::Load("f.txt", module).GetSection(std::string("Edit"));
  const ui::NineGrid grid = ui::NineGridFromValues(section, "Frame");
  EXPECT_EQ(std::vector<int>(grid.x, grid.x + 4), (std::vector<int>{640, 643, 688, 690}));
  EXPECT_EQ(std::vector<int>(grid.y, grid.y + 4), (std::vector<int>{230, 234, 249, 250}));
  ovtest::CMessageBoxCapture boxes;
  EXPECT_THROW(ui::NineGridFromValues(section, "Short"), ui::CSkinWindowException);
}

lib::wfc::CDIB Solid(int w, int h, COLORREF colour) {
  lib::wfc::CDIB dib;
  dib.Create(w, h);
  dib.Fill(colour);
  return dib;
}

TEST(StretchBlitTest, NearestNeighbourKeepsKeyAndAlpha) {
  lib::wfc::CDIB source;
  source.Create(2, 2);
  source.SetPixel(0, 0, RGB(10, 0, 0));
  source.SetPixel(1, 0, RGB(0xFF, 0, 0xFF));
  source.SetPixel(0, 1, RGB(0, 30, 0));
  source.SetPixel(1, 1, RGB(0, 0, 40));
  lib::wfc::CDIB dest = Solid(6, 6, RGB(1, 2, 3));
  ui::StretchBlitNearest(dest, RECT{1, 1, 5, 5}, source, RECT{0, 0, 2, 2}, 255, lib::wfc::kMagenta);
  EXPECT_EQ(dest.GetPixel(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(dest.GetPixel(1, 1), RGB(10, 0, 0));
  EXPECT_EQ(dest.GetPixel(2, 2), RGB(10, 0, 0));
  EXPECT_EQ(dest.GetPixel(3, 1), RGB(1, 2, 3));  // the key leaves the destination
  EXPECT_EQ(dest.GetPixel(4, 2), RGB(1, 2, 3));
  EXPECT_EQ(dest.GetPixel(1, 3), RGB(0, 30, 0));
  EXPECT_EQ(dest.GetPixel(4, 4), RGB(0, 0, 40));
  EXPECT_EQ(dest.GetPixel(5, 5), RGB(1, 2, 3));

  lib::wfc::CDIB blend = Solid(2, 2, RGB(0, 0, 0));
  const lib::wfc::CDIB white = Solid(1, 1, RGB(200, 100, 255));
  ui::StretchBlitNearest(blend, RECT{0, 0, 2, 2}, white, RECT{0, 0, 1, 1}, 127, lib::wfc::kNoKey);
  EXPECT_EQ(blend.GetPixel(1, 1), RGB(100, 50, 127));
}

TEST(StretchBlitTest, StaysInsideTheClipTheBitmapAndTheSource) {
  const lib::wfc::CDIB source = Solid(4, 4, RGB(9, 9, 9));
  lib::wfc::CDIB dest = Solid(8, 8, RGB(0, 0, 0));
  dest.SetClip(RECT{2, 2, 6, 6});
  ui::StretchBlitNearest(dest, RECT{-10, -10, 20, 20}, source, RECT{-5, -5, 50, 50}, 255,
                         lib::wfc::kNoKey);
  EXPECT_EQ(dest.GetPixel(1, 1), RGB(0, 0, 0));
  EXPECT_EQ(dest.GetPixel(2, 2), RGB(9, 9, 9));
  EXPECT_EQ(dest.GetPixel(5, 5), RGB(9, 9, 9));
  EXPECT_EQ(dest.GetPixel(6, 6), RGB(0, 0, 0));
  ui::StretchBlitNearest(dest, RECT{3, 3, 3, 9}, source, RECT{0, 0, 4, 4}, 255, lib::wfc::kNoKey);
  ui::StretchBlitNearest(dest, RECT{0, 0, 8, 8}, source, RECT{4, 4, 8, 8}, 255, lib::wfc::kNoKey);
}

// The test skin's grid: red corners, green edges, blue centre, in Test.png
// between x 0, 24, 40, 64 and y 24, 32, 58, 64.
const ui::NineGrid kTestGrid = {{0, 24, 40, 64}, {24, 32, 58, 64}};
const COLORREF kRed = RGB(200, 0, 0), kGreen = RGB(0, 200, 0), kBlue = RGB(0, 0, 200);
const COLORREF kBack = RGB(7, 7, 7);

struct DrawCase {
  const char* name;
  RECT dest;
};

void PrintTo(const DrawCase& c, std::ostream* os) { *os << c.name; }

class NineGridDrawTest : public ::testing::TestWithParam<DrawCase> {};

// Every pixel of the bitmap, against the cell it falls in.
TEST_P(NineGridDrawTest, EveryPixelHasItsCellsColour) {
  ui::CSkinImageOwner owner;
  owner.Acquire("Test.png");
  ui::CCachedDIB picture("TEST.PNG");
  const lib::wfc::CDIB* source = picture.Lock();
  ASSERT_NE(source, nullptr);
  lib::wfc::CDIB dest = Solid(300, 200, kBack);
  const RECT d = GetParam().dest;
  ui::CResizableDIBHelper::DrawNineGrid(dest, *source, d, nullptr, kTestGrid, 255,
                                        lib::wfc::kNoKey);
  const int wl = 24, wr = 24, ht = 8, hb = 6;
  int wrong = 0;
  for (int y = 0; y < dest.Height(); ++y) {
    for (int x = 0; x < dest.Width(); ++x) {
      COLORREF want = kBack;
      if (x >= d.left && x < d.right && y >= d.top && y < d.bottom) {
        const bool left = x < d.left + wl, right = x >= d.right - wr;
        const bool top = y < d.top + ht, bottom = y >= d.bottom - hb;
        const bool edge_x = left || right, edge_y = top || bottom;
        want = edge_x && edge_y ? kRed : edge_x || edge_y ? kGreen : kBlue;
      }
      wrong += dest.GetPixel(x, y) != want;
    }
  }
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, NineGridDrawTest,
                         ::testing::Values(DrawCase{"SourceSize", {10, 10, 74, 50}},
                                           DrawCase{"Wide", {5, 7, 295, 47}},
                                           DrawCase{"Tall", {100, 0, 164, 200}},
                                           DrawCase{"Large", {0, 0, 300, 200}},
                                           DrawCase{"Narrow", {20, 20, 70, 120}},
                                           DrawCase{"OffTheBitmap", {250, 150, 400, 260}}),
                         ovtest::CaseName());

TEST(NineGridDrawTest, ClipKeyAndAlphaReachEveryCell) {
  ui::CSkinImageOwner owner;
  owner.Acquire("Test.png");
  ui::CCachedDIB picture("Test.png");
  lib::wfc::CDIB source;
  source.Create(64, 72);
  source.BlitKeyed(0, 0, 64, 72, *picture.Lock(), 0, 0);
  picture.Unlock();
  source.SetPixel(30, 40, lib::wfc::kMagenta);  // in the centre cell
  lib::wfc::CDIB dest = Solid(100, 100, kBack);
  const RECT clip = {0, 0, 50, 100};
  ui::CResizableDIBHelper::DrawNineGrid(dest, source, RECT{0, 0, 100, 100}, &clip, kTestGrid, 255,
                                        lib::wfc::kMagenta);
  EXPECT_EQ(dest.Clip().right, 100);  // the previous clip is back
  EXPECT_EQ(dest.GetPixel(0, 0), kRed);
  EXPECT_EQ(dest.GetPixel(49, 50), kBlue);
  EXPECT_EQ(dest.GetPixel(50, 50), kBack);  // outside the clip
  EXPECT_EQ(dest.GetPixel(99, 0), kBack);
  int untouched = 0;
  for (int x = 24; x < 50; ++x) {
    for (int y = 8; y < 94; ++y) untouched += dest.GetPixel(x, y) == kBack;
  }
  EXPECT_GT(untouched, 0);  // the key pixel, stretched, leaves the background
  lib::wfc::CDIB faded = Solid(64, 40, RGB(0, 0, 0));
  ui::CResizableDIBHelper::DrawNineGrid(faded, source, RECT{0, 0, 64, 40}, nullptr, kTestGrid, 127,
                                        lib::wfc::kMagenta);
  EXPECT_EQ(faded.GetPixel(0, 0), RGB(100, 0, 0));
  EXPECT_EQ(faded.GetPixel(30, 0), RGB(0, 100, 0));
}

}  // namespace
