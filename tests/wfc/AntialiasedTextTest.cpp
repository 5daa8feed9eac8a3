// Anti-aliased text into a bitmap: the formats it refuses, where the ink
// lands for each alignment, the clip, the measured rectangle and the exact
// colour of fully covered pixels.
#include <gtest/gtest.h>

#include <string>

#include "AntialiasedText.h"
#include "DC.h"
#include "DIB.h"
#include "GdiObject.h"
#include "TestSupport.h"

namespace {

using lib::wfc::CDIB;

constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(10, 40, 200);

// A white 24-bit bitmap selected into a memory DC with a 24-pixel font.
class CCanvas {
 public:
  explicit CCanvas(int width = 200, int height = 80, int bits = 24, bool bottom_up = true) {
    LOGFONTA logfont = lib::wfc::DefaultLogFont("Tahoma");
    logfont.lfHeight = -24;
    logfont.lfWeight = FW_BOLD;
    _font.Create(logfont);
    dib.Create(width, bottom_up ? height : -height, bits);
    if (bits == 24) dib.Fill(kPaper);
    _saver.SelectObject(0, _font.Get());
    _saver.SelectObject(1, dib.Get());
    _saver.SetTextColor(kInk);
  }

  bool Draw(const char* text, RECT* rect, UINT format, const RECT* clip = nullptr) {
    const bool drawn =
        lib::wfc::DrawTextAntialiased(dc, dib.Header(), dib.Bits(), text, rect, format, clip);
    GdiFlush();
    return drawn;
  }

  // The bounding box of every pixel that is no longer white.
  RECT Ink() const {
    RECT box = {dib.Width(), dib.Height(), 0, 0};
    for (int y = 0; y < dib.Height(); ++y) {
      for (int x = 0; x < dib.Width(); ++x) {
        if (dib.GetPixel(x, y) == kPaper) continue;
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
    }
    return box;
  }
  int Count(COLORREF colour) const {
    int n = 0;
    for (int y = 0; y < dib.Height(); ++y) {
      for (int x = 0; x < dib.Width(); ++x) n += dib.GetPixel(x, y) == colour;
    }
    return n;
  }

  CDIB dib;
  lib::wfc::CMemDC dc;

 private:
  lib::wfc::CFont _font;
  lib::wfc::CDCStateSaver _saver{dc};
};

struct RefusedCase {
  std::string name;
  UINT format;
  int bits;
  bool bottom_up;
};

class RefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTest, LeavesTheBitmapAlone) {
  const RefusedCase& c = GetParam();
  CCanvas canvas(60, 30, c.bits, c.bottom_up);
  RECT r = {0, 0, 60, 30};
  EXPECT_FALSE(canvas.Draw("Ab", &r, c.format));
  if (c.bits == 24) {
    EXPECT_EQ(canvas.Count(kPaper), 60 * 30);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Antialiased, RefusedTest,
    ::testing::Values(RefusedCase{"WordBreak", DT_WORDBREAK, 24, true},
                      RefusedCase{"CentreAndRight", DT_CENTER | DT_RIGHT, 24, true},
                      RefusedCase{"EndEllipsis", DT_SINGLELINE | DT_END_ELLIPSIS, 24, true},
                      RefusedCase{"TopDownBitmap", DT_SINGLELINE, 24, false},
                      RefusedCase{"ThirtyTwoBits", DT_SINGLELINE, 32, true}),
    ovtest::CaseName());

TEST(AntialiasedTextTest, MeasuresLikeTheTextExtent) {
  CCanvas canvas;
  SIZE extent = {};
  ASSERT_TRUE(GetTextExtentPoint32A(canvas.dc, "Wide text", 9, &extent));
  TEXTMETRICA tm = {};
  GetTextMetricsA(canvas.dc, &tm);
  RECT r = {10, 5, 190, 75};
  ASSERT_TRUE(canvas.Draw("Wide text", &r, DT_CALCRECT));
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 10 + extent.cx);
  EXPECT_EQ(r.bottom, 5 + tm.tmHeight);
  EXPECT_EQ(canvas.Count(kPaper), 200 * 80);  // measuring draws nothing

  RECT two = {0, 0, 200, 80};
  ASSERT_TRUE(canvas.Draw("Wide\r\nlonger line", &two, DT_CALCRECT));
  EXPECT_EQ(two.bottom, 2 * tm.tmHeight);
  SIZE longer = {};
  GetTextExtentPoint32A(canvas.dc, "longer line", 11, &longer);
  EXPECT_EQ(two.right, longer.cx);
}

struct PlaceCase {
  std::string name;
  UINT format;
  // Where the ink must lie: in the left, middle or right third; top, middle
  // or bottom third.
  int column, row;
};

class PlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceTest, InkLandsWhereTheFormatSays) {
  const PlaceCase& c = GetParam();
  CCanvas canvas(300, 120);
  RECT r = {0, 0, 300, 120};
  ASSERT_TRUE(canvas.Draw("Ab", &r, c.format));
  const RECT ink = canvas.Ink();
  ASSERT_LT(ink.left, ink.right);
  EXPECT_EQ((ink.left + ink.right) / 2 / 100, c.column) << ink.left << ".." << ink.right;
  EXPECT_EQ((ink.top + ink.bottom) / 2 / 40, c.row) << ink.top << ".." << ink.bottom;
  // Fully covered pixels take the text colour exactly.
  EXPECT_GT(canvas.Count(kInk), 10);
}

INSTANTIATE_TEST_SUITE_P(
    Antialiased, PlaceTest,
    ::testing::Values(PlaceCase{"TopLeft", 0, 0, 0}, PlaceCase{"Centre", DT_CENTER, 1, 0},
                      PlaceCase{"Right", DT_RIGHT, 2, 0},
                      PlaceCase{"VerticalCentre", DT_SINGLELINE | DT_VCENTER | DT_CENTER, 1, 1},
                      PlaceCase{"Bottom", DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, 2, 2},
                      // Without DT_SINGLELINE vertical alignment does not count.
                      PlaceCase{"VerticalCentreNeedsSingleLine", DT_VCENTER, 0, 0}),
    ovtest::CaseName());

TEST(AntialiasedTextTest, ClipAndRectangleBoundTheInk) {
  CCanvas canvas(200, 60);
  RECT r = {20, 10, 200, 60};
  const RECT clip = {30, 0, 45, 60};
  ASSERT_TRUE(canvas.Draw("WWWW", &r, 0, &clip));
  const RECT ink = canvas.Ink();
  EXPECT_GE(ink.left, 30);
  EXPECT_LE(ink.right, 45);

  CCanvas narrow(200, 60);
  RECT small = {20, 10, 40, 60};
  ASSERT_TRUE(narrow.Draw("WWWW", &small, 0));
  EXPECT_LE(narrow.Ink().right, 40);
  CCanvas unclipped(200, 60);
  RECT same = {20, 10, 40, 60};
  ASSERT_TRUE(unclipped.Draw("WWWW", &same, DT_NOCLIP));
  EXPECT_GT(unclipped.Ink().right, 40);
}

TEST(AntialiasedTextTest, LinesAndDoubleByteText) {
  CCanvas one(300, 120);
  RECT r = {0, 0, 300, 120};
  ASSERT_TRUE(one.Draw("Ab", &r, 0));
  CCanvas two(300, 120);
  RECT r2 = {0, 0, 300, 120};
  ASSERT_TRUE(two.Draw("Ab\r\nAb", &r2, 0));
  TEXTMETRICA tm = {};
  GetTextMetricsA(two.dc, &tm);
  EXPECT_EQ(two.Ink().bottom - one.Ink().bottom, tm.tmHeight);
  // A Japanese word is laid out as pairs, not as single bytes.
  CCanvas japanese(300, 120);
  RECT r3 = {0, 0, 300, 120};
  ASSERT_TRUE(japanese.Draw("表示", &r3, DT_CALCRECT));
  SIZE extent = {};
  GetTextExtentPoint32A(japanese.dc, "表示", 4, &extent);
  EXPECT_EQ(r3.right, extent.cx);
}

}  // namespace
