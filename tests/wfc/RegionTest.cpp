// Regions cut from key-coloured bitmaps: rectangle counts, the rectangles
// themselves, and the shape compared pixel by pixel with the picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DIB.h"
#include "Region.h"
#include "TestSupport.h"

namespace {

using lib::wfc::CDIB;
using lib::wfc::kMagenta;

// A picture from rows of characters: '#' is key, anything else opaque.
CDIB Picture(const std::vector<std::string>& rows) {
  CDIB dib;
  dib.Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < dib.Height(); ++y) {
    for (int x = 0; x < dib.Width(); ++x) {
      dib.SetPixel(x, y, rows[y][x] == '#' ? kMagenta : RGB(x, y, 7));
    }
  }
  return dib;
}

std::vector<RECT> RectsOf(HRGN region) {
  const DWORD size = GetRegionData(region, 0, nullptr);
  std::vector<uint8_t> data(size);
  auto* rgn = reinterpret_cast<RGNDATA*>(data.data());
  if (size == 0 || GetRegionData(region, size, rgn) != size) return {};
  const auto* rects = reinterpret_cast<const RECT*>(rgn->Buffer);
  return std::vector<RECT>(rects, rects + rgn->rdh.nCount);
}

struct RegionCase {
  std::string name;
  std::vector<std::string> rows;
  RECT part;  // x0, y0, x1, y1
  size_t runs;
};

class RegionCountTest : public ::testing::TestWithParam<RegionCase> {};

TEST_P(RegionCountTest, RunsAndShape) {
  const RegionCase& c = GetParam();
  const CDIB dib = Picture(c.rows);
  const RECT& p = c.part;
  EXPECT_EQ(lib::wfc::CountRegionRuns(dib, p.left, p.top, p.right, p.bottom), c.runs);
  const lib::wfc::CRegion region =
      lib::wfc::CreateRegionFromDIB(dib, p.left, p.top, p.right, p.bottom);
  ASSERT_TRUE(region);
  // Every point of the part, and around it, is in the region exactly when its
  // pixel lies in the picture and is not key.
  for (int y = -2; y < p.bottom - p.top + 2; ++y) {
    for (int x = -2; x < p.right - p.left + 2; ++x) {
      const int px = x + p.left, py = y + p.top;
      const bool in_part = px >= p.left && px < p.right && py >= p.top && py < p.bottom;
      const bool in_picture = px >= 0 && py >= 0 && px < dib.Width() && py < dib.Height();
      const bool want = in_part && in_picture && dib.GetPixel(px, py) != kMagenta;
      EXPECT_EQ(PtInRegion(region.Get(), x, y) != FALSE, want) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Regions, RegionCountTest,
    ::testing::Values(
        RegionCase{"AllKeyIsEmpty", {"####", "####", "####"}, RECT{0, 0, 4, 3}, 0},
        RegionCase{"NoKeyIsOneRectanglePerRow", {"....", "....", "...."}, RECT{0, 0, 4, 3}, 3},
        RegionCase{"Runs", {".#..#", "##...", "....#", "#.#.#"}, RECT{0, 0, 5, 4}, 6},
        RegionCase{"PartOfThePicture", {".#..#", "##...", "....#", "#.#.#"}, RECT{1, 1, 4, 4}, 4},
        RegionCase{"PartReachingOutside", {"..#", "#..", "..."}, RECT{-2, -1, 5, 6}, 3},
        RegionCase{"PartWhollyOutside", {"..#", "#.."}, RECT{5, 5, 9, 9}, 0},
        RegionCase{"InvertedPart", {"..#", "#.."}, RECT{3, 2, 0, 0}, 0},
        RegionCase{"Checkerboard", {".#.#.#", "#.#.#.", ".#.#.#"}, RECT{0, 0, 6, 3}, 9}),
    ovtest::CaseName());

TEST(RegionTest, RectanglesAreTheRunsOfEachRow) {
  const CDIB dib = Picture({"..#..", "#####", "#..##"});
  const lib::wfc::CRegion region = lib::wfc::CreateRegionFromDIB(dib, 0, 0, 5, 3);
  const std::vector<RECT> rects = RectsOf(region.Get());
  ASSERT_EQ(rects.size(), 3u);
  const RECT want[] = {{0, 0, 2, 1}, {3, 0, 5, 1}, {1, 2, 3, 3}};
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(EqualRect(&rects[i], &want[i])) << i;
}

TEST(RegionTest, KeyIsComparedAsAColourReference) {
  CDIB dib;
  dib.Create(3, 1);
  dib.SetPixel(0, 0, RGB(1, 2, 3));
  dib.SetPixel(1, 0, RGB(3, 2, 1));
  dib.SetPixel(2, 0, RGB(1, 2, 3));
  EXPECT_EQ(lib::wfc::CountRegionRuns(dib, 0, 0, 3, 1, RGB(1, 2, 3)), 1u);
  EXPECT_EQ(lib::wfc::CountRegionRuns(dib, 0, 0, 3, 1, RGB(3, 2, 1)), 2u);
}

TEST(RegionTest, LargeScatteredKeyCountsItsRuns) {
  // Every other pixel is key: as many rectangles as there are opaque pixels,
  // allocated once at that size.
  CDIB dib;
  dib.Create(955, 600);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 955; ++x) dib.SetPixel(x, y, (x + y) % 2 ? kMagenta : RGB(1, 1, 1));
  }
  const size_t runs = lib::wfc::CountRegionRuns(dib, 0, 0, 955, 600);
  EXPECT_EQ(runs, 955u * 600u / 2u);
  const lib::wfc::CRegion region = lib::wfc::CreateRegionFromDIB(dib, 0, 0, 955, 600);
  EXPECT_TRUE(PtInRegion(region.Get(), 0, 0));
  EXPECT_FALSE(PtInRegion(region.Get(), 1, 0));
  EXPECT_TRUE(PtInRegion(region.Get(), 954, 599) == (((954 + 599) % 2) == 0));
}

TEST(RegionTest, CopyIsIndependent) {
  const CDIB dib = Picture({"#..", "..."});
  lib::wfc::CRegion region = lib::wfc::CreateRegionFromDIB(dib, 0, 0, 3, 2);
  lib::wfc::CRegion copy = lib::wfc::CopyRegion(region.Get());
  ASSERT_TRUE(copy);
  EXPECT_NE(copy.Get(), region.Get());
  region.Reset();
  EXPECT_TRUE(PtInRegion(copy.Get(), 1, 0));
  EXPECT_FALSE(PtInRegion(copy.Get(), 0, 0));
}

}  // namespace
