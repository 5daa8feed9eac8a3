// The bitmap's blits against a per-pixel model: every case compares the whole
// destination after the blit with what the model says each pixel must be, so
// a shifted row or a pixel written outside the clip shows up.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "DIB.h"
#include "TestSupport.h"
#include "_WindowPolicy.h"

namespace {

using lib::wfc::CDIB;
using lib::wfc::kMagenta;
using lib::wfc::kNoKey;

constexpr COLORREF kGround = RGB(200, 100, 50);

// Every source pixel differs from its neighbours; one in five is magenta.
COLORREF SourcePixel(int x, int y) {
  if ((x * 7 + y * 3) % 5 == 0) return kMagenta;
  return RGB(10 + x, 20 + y, 30 + x + y);
}

// Source pictures stored bottom-up (positive height) or top-down.
CDIB MakeSource(int width, int height, bool bottom_up = true) {
  CDIB dib;
  dib.Create(width, bottom_up ? height : -height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) dib.SetPixel(x, y, SourcePixel(x, y));
  }
  return dib;
}

CDIB MakeGround(int width, int height) {
  CDIB dib;
  dib.Create(width, height);
  dib.Fill(kGround);
  return dib;
}

bool Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

uint8_t BlendChannel(int d, int s, int alpha) {
  return static_cast<uint8_t>(d + (((s - d) * (alpha + 1)) >> 8));
}

COLORREF BlendPixel(COLORREF d, COLORREF s, int alpha) {
  return RGB(BlendChannel(GetRValue(d), GetRValue(s), alpha),
             BlendChannel(GetGValue(d), GetGValue(s), alpha),
             BlendChannel(GetBValue(d), GetBValue(s), alpha));
}

// Where the model puts source pixel (sx, sy) for destination (x, y); false
// when the destination pixel is not drawn.
using SourceOf = std::function<bool(int x, int y, int* sx, int* sy)>;

// Checks every destination pixel against the model.
void ExpectModel(const CDIB& dest, const CDIB& source, const RECT& clip, const SourceOf& source_of,
                 int alpha, COLORREF key) {
  int wrong = 0;
  for (int y = 0; y < dest.Height(); ++y) {
    for (int x = 0; x < dest.Width(); ++x) {
      COLORREF want = kGround;
      int sx = 0, sy = 0;
      if (Inside(clip, x, y) && source_of(x, y, &sx, &sy) && Inside(source.Rect(), sx, sy)) {
        const COLORREF s = source.GetPixel(sx, sy);
        if (key == kNoKey || s != key) want = alpha >= 255 ? s : BlendPixel(kGround, s, alpha);
      }
      if (dest.GetPixel(x, y) != want && ++wrong <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << dest.GetPixel(x, y)
                      << " instead of " << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

struct BlitCase {
  std::string name;
  int dx, dy, w, h, sx, sy;
  RECT clip;  // of the 12 x 10 destination
  bool bottom_up_source;
};

const RECT kWhole = {0, 0, 12, 10};

class BlitTest : public ::testing::TestWithParam<BlitCase> {};

SourceOf RectangleModel(const BlitCase& c) {
  return [c](int x, int y, int* sx, int* sy) {
    if (x < c.dx || y < c.dy || x >= c.dx + c.w || y >= c.dy + c.h) return false;
    *sx = c.sx + x - c.dx;
    *sy = c.sy + y - c.dy;
    return true;
  };
}

TEST_P(BlitTest, KeyedCopyMatchesTheModel) {
  const BlitCase& c = GetParam();
  for (const COLORREF key : {kNoKey, kMagenta}) {
    SCOPED_TRACE(key == kNoKey ? "no key" : "magenta key");
    const CDIB source = MakeSource(8, 6, c.bottom_up_source);
    CDIB dest = MakeGround(12, 10);
    dest.SetClip(c.clip);
    dest.BlitKeyed(c.dx, c.dy, c.w, c.h, source, c.sx, c.sy, key);
    ExpectModel(dest, source, c.clip, RectangleModel(c), 255, key);
  }
}

TEST_P(BlitTest, AlphaBlendMatchesTheModel) {
  const BlitCase& c = GetParam();
  for (const int alpha : {0, 1, 100, 127, 254, 255}) {
    SCOPED_TRACE("alpha " + std::to_string(alpha));
    const CDIB source = MakeSource(8, 6, c.bottom_up_source);
    CDIB dest = MakeGround(12, 10);
    dest.SetClip(c.clip);
    dest.AlphaBlit(c.dx, c.dy, c.w, c.h, source, c.sx, c.sy, alpha, kMagenta);
    ExpectModel(dest, source, c.clip, RectangleModel(c), alpha, kMagenta);
  }
}

// The source is 8 x 6, the destination 12 x 10.
INSTANTIATE_TEST_SUITE_P(
    Clipping, BlitTest,
    ::testing::Values(
        BlitCase{"Inside", 2, 3, 5, 4, 1, 1, kWhole, true},
        BlitCase{"TopDownSource", 2, 3, 5, 4, 1, 1, kWhole, false},
        BlitCase{"WholeSource", 0, 0, 8, 6, 0, 0, kWhole, true},
        BlitCase{"PastDestinationRightAndBottom", 9, 7, 8, 6, 0, 0, kWhole, true},
        BlitCase{"LeftOfDestination", -3, 2, 8, 6, 0, 0, kWhole, true},
        BlitCase{"AboveDestination", 2, -4, 8, 6, 0, 0, kWhole, true},
        // A source offset before the picture moves the destination on too.
        BlitCase{"SourceStartsLeftOfPicture", 4, 2, 6, 4, -2, 0, kWhole, true},
        BlitCase{"SourceStartsAbovePicture", 4, 2, 6, 5, 1, -3, kWhole, true},
        BlitCase{"SourceStartsBeforeBothEdges", 3, 3, 9, 9, -2, -2, kWhole, false},
        BlitCase{"SourcePastPictureEnd", 0, 0, 12, 10, 4, 3, kWhole, true},
        BlitCase{"ClipCutsAllSides", 0, 0, 8, 6, 0, 0, RECT{2, 1, 6, 4}, true},
        BlitCase{"ClipAndSourceCutTogether", 1, 1, 10, 9, -3, -2, RECT{3, 2, 9, 8}, true},
        BlitCase{"WhollyOutsideClip", 0, 0, 3, 3, 0, 0, RECT{5, 5, 9, 9}, true},
        BlitCase{"ClipBeyondTheImage", -5, -5, 30, 30, -5, -5, RECT{-10, -10, 40, 40}, true},
        BlitCase{"WhollyOutsideSource", 0, 0, 4, 4, 8, 0, kWhole, true},
        BlitCase{"ZeroWidth", 1, 1, 0, 4, 0, 0, kWhole, true},
        BlitCase{"NegativeHeight", 1, 1, 4, -4, 0, 0, kWhole, true},
        BlitCase{"ExtremeOffsets", INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, kWhole, true}),
    ovtest::CaseName());

TEST(DIBTest, AlphaValuesFollowTheShiftFormula) {
  CDIB source;
  source.Create(1, 1);
  CDIB dest;
  dest.Create(1, 1);
  struct Row {
    int d, s, alpha, want;
  };
  // d + ((s - d) * (alpha + 1) >> 8), shifted arithmetically.
  for (const Row& r :
       {Row{100, 200, 0, 100}, Row{100, 200, 127, 150}, Row{100, 200, 255, 200},
        Row{200, 0, 127, 100}, Row{200, 0, 255, 0}, Row{0, 255, 63, 63}, Row{37, 37, 90, 37}}) {
    dest.SetPixel(0, 0, RGB(r.d, r.d, r.d));
    source.SetPixel(0, 0, RGB(r.s, r.s, r.s));
    dest.AlphaBlit(0, 0, 1, 1, source, 0, 0, r.alpha);
    EXPECT_EQ(dest.GetPixel(0, 0), RGB(r.want, r.want, r.want))
        << r.d << " under " << r.s << " at alpha " << r.alpha;
  }
}

struct TileCase {
  std::string name;
  int dx, dy, w, h;
  bool anchored;
  bool whole_source;
  RECT tile;  // of the 8 x 6 source
  int alpha;
  COLORREF key;
  RECT clip;
};

class TileTest : public ::testing::TestWithParam<TileCase> {};

TEST_P(TileTest, MatchesTheModel) {
  const TileCase& c = GetParam();
  const CDIB source = MakeSource(8, 6);
  CDIB dest = MakeGround(12, 10);
  dest.SetClip(c.clip);
  dest.TileBlit(c.dx, c.dy, c.w, c.h, source, c.anchored, c.whole_source ? nullptr : &c.tile,
                c.alpha, c.key);
  const RECT picture = source.Rect();
  RECT cell = c.whole_source ? picture : c.tile;
  IntersectRect(&cell, &cell, &picture);
  const int tw = cell.right - cell.left;
  const int th = cell.bottom - cell.top;
  const auto floor_mod = [](int a, int b) { return ((a % b) + b) % b; };
  const SourceOf model = [&](int x, int y, int* sx, int* sy) {
    if (tw <= 0 || th <= 0) return false;
    if (x < c.dx || y < c.dy || x >= c.dx + c.w || y >= c.dy + c.h) return false;
    *sx = cell.left + floor_mod(x - (c.anchored ? c.dx : 0), tw);
    *sy = cell.top + floor_mod(y - (c.anchored ? c.dy : 0), th);
    return true;
  };
  ExpectModel(dest, source, c.clip, model, c.alpha, c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Tiles, TileTest,
    ::testing::Values(
        TileCase{"AnchoredWholeSource", 1, 1, 11, 9, true, true, {}, 255, kNoKey, kWhole},
        TileCase{"AnchoredCell", 2, 1, 9, 8, true, false, RECT{1, 1, 4, 3}, 255, kNoKey, kWhole},
        // Unanchored, the pattern lines up with multiples of 3 x 2 from 0, 0,
        // so the first tile starts inside the pattern.
        TileCase{"UnanchoredCell", 2, 1, 9, 8, false, false, RECT{1, 1, 4, 3}, 255, kNoKey, kWhole},
        TileCase{"UnanchoredNegativeStart", -4, -3, 14, 12, false, false, RECT{2, 0, 7, 3}, 255,
                 kNoKey, kWhole},
        TileCase{"Keyed", 0, 0, 12, 10, true, false, RECT{0, 0, 5, 5}, 255, kMagenta, kWhole},
        TileCase{"Blended", 1, 2, 10, 7, false, false, RECT{1, 2, 4, 5}, 128, kMagenta, kWhole},
        TileCase{"Clipped", 0, 0, 12, 10, false, false, RECT{1, 1, 3, 4}, 255, kNoKey,
                 RECT{3, 2, 8, 9}},
        TileCase{"OnePixelTile", 0, 0, 12, 10, true, false, RECT{5, 4, 6, 5}, 255, kNoKey, kWhole},
        TileCase{"TileReachingOutOfThePicture", 0, 0, 12, 10, true, false, RECT{6, 4, 11, 9}, 255,
                 kNoKey, kWhole},
        TileCase{"EmptyTileDrawsNothing", 0, 0, 12, 10, true, false, RECT{3, 3, 3, 5}, 255, kNoKey,
                 kWhole},
        TileCase{"InvertedTileDrawsNothing", 0, 0, 12, 10, false, false, RECT{5, 5, 2, 2}, 128,
                 kNoKey, kWhole},
        TileCase{"TileOutsideThePicture", 0, 0, 12, 10, true, false, RECT{20, 20, 23, 23}, 255,
                 kNoKey, kWhole},
        TileCase{"EmptyDestination", 3, 3, 0, 5, true, true, {}, 255, kNoKey, kWhole}),
    ovtest::CaseName());

TEST(DIBTest, BottomUpRowsAreStoredFromTheEnd) {
  CDIB dib;
  dib.Create(5, 3);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib.Stride(), 16);  // 15 bytes rounded up to a multiple of 4
  EXPECT_TRUE(dib.IsBottomUp());
  dib.Fill(RGB(0, 0, 0));
  dib.SetPixel(1, 0, RGB(1, 2, 3));
  const uint8_t* last_row = dib.Bits() + 2 * dib.Stride();
  EXPECT_EQ(last_row[3], 3);  // blue, green, red
  EXPECT_EQ(last_row[4], 2);
  EXPECT_EQ(last_row[5], 1);

  CDIB top_down;
  top_down.Create(5, -3);
  EXPECT_EQ(top_down.Height(), 3);
  top_down.Fill(RGB(0, 0, 0));
  top_down.SetPixel(1, 0, RGB(1, 2, 3));
  EXPECT_EQ(top_down.Bits()[3], 3);
}

TEST(DIBTest, FillAndLighten) {
  CDIB dib;
  dib.Create(4, 2);
  dib.Fill(RGB(10, 128, 250));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dib.GetPixel(x, y), RGB(10, 128, 250));
  }
  dib.SetPixel(3, 1, kMagenta);
  dib.Lighten(10);  // + 25 each, kept within 0..255
  EXPECT_EQ(dib.GetPixel(0, 0), RGB(35, 153, 255));
  EXPECT_EQ(dib.GetPixel(3, 1), RGB(255, 25, 255));

  dib.Fill(RGB(10, 128, 250));
  dib.SetPixel(3, 1, kMagenta);
  dib.Lighten(-50, kMagenta);  // - 127, key pixels untouched
  EXPECT_EQ(dib.GetPixel(0, 0), RGB(0, 1, 123));
  EXPECT_EQ(dib.GetPixel(3, 1), kMagenta);
  dib.Lighten(1000);
  EXPECT_EQ(dib.GetPixel(0, 0), RGB(255, 255, 255));
}

TEST(DIBTest, ScopedClipIsCutToTheImageAndRestored) {
  CDIB dib = MakeGround(10, 10);
  const RECT first = {1, 1, 9, 9};
  dib.SetClip(first);
  {
    lib::wfc::CDIBClip clip(dib, RECT{5, -5, 20, 7});
    const RECT cut = {5, 0, 10, 7};
    EXPECT_TRUE(EqualRect(&dib.Clip(), &cut));
  }
  EXPECT_TRUE(EqualRect(&dib.Clip(), &first));
}

TEST(DIBTest, CopyWithinOneBitmapOverlapping) {
  CDIB dib = MakeSource(8, 6);
  CDIB expected = MakeSource(8, 6);
  dib.BlitKeyed(1, 2, 6, 4, dib, 0, 0);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool moved = x >= 1 && x < 7 && y >= 2;
      const COLORREF want = moved ? expected.GetPixel(x - 1, y - 2) : expected.GetPixel(x, y);
      EXPECT_EQ(dib.GetPixel(x, y), want) << x << "," << y;
    }
  }
}

TEST(DIBTest, EmptyBitmapIgnoresEverything) {
  CDIB empty;
  empty.Create(0, 0);
  EXPECT_FALSE(empty);
  const CDIB source = MakeSource(4, 4);
  empty.Fill(RGB(1, 2, 3));
  empty.BlitKeyed(0, 0, 4, 4, source, 0, 0);
  empty.TileBlit(0, 0, 4, 4, source, true, nullptr);
  empty.Lighten(5);
  EXPECT_EQ(empty.GetPixel(0, 0), kNoKey);
  CDIB dest = MakeGround(3, 3);
  dest.BlitKeyed(0, 0, 3, 3, empty, 0, 0);
  EXPECT_EQ(dest.GetPixel(1, 1), kGround);
}

TEST(DIBTest, BitmapsThatCannotBeMadeThrow) {
  CDIB dib = MakeGround(3, 3);
  // Palette depths would need a colour table the bitmap does not carry.
  EXPECT_THROW(dib.Create(4, 4, 8), lib::wfc::bad_alloc);
  EXPECT_THROW(dib.Create(-4, 4), lib::wfc::bad_alloc);
  // A failed creation leaves the bitmap as it was.
  EXPECT_EQ(dib.GetPixel(2, 2), kGround);
  dib.Create(4, 4, 32);
  EXPECT_EQ(dib.Stride(), 16);
}

TEST(DIBTest, MovedBitmapKeepsItsPixels) {
  CDIB first = MakeSource(4, 3);
  const HBITMAP handle = first.Get();
  CDIB second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.Get(), handle);
  EXPECT_EQ(second.GetPixel(2, 1), SourcePixel(2, 1));
  first = std::move(second);
  EXPECT_EQ(first.GetPixel(2, 1), SourcePixel(2, 1));
}

}  // namespace
