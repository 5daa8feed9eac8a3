// Device contexts, fonts and the state saver on real GDI objects, and a
// shaped window on Xvfb: pixels are read back, never only return values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DC.h"
#include "DIB.h"
#include "FrameworkEnvironment.h"
#include "GdiObject.h"
#include "Region.h"
#include "Window.h"
#include "XvfbScreenshot.h"

namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new wfctest::CFrameworkEnvironment);

using lib::wfc::CDIB;

int CountPixels(const CDIB& dib, COLORREF colour) {
  int count = 0;
  for (int y = 0; y < dib.Height(); ++y) {
    for (int x = 0; x < dib.Width(); ++x) count += dib.GetPixel(x, y) == colour;
  }
  return count;
}

TEST(FontTest, DefaultLogicalFont) {
  const LOGFONTA font = lib::wfc::DefaultLogFont("MS UI Gothic");
  EXPECT_EQ(font.lfHeight, 10);
  EXPECT_EQ(font.lfWeight, 0);
  EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(font.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_STREQ(font.lfFaceName, "MS UI Gothic");
  EXPECT_STREQ(lib::wfc::DefaultLogFont().lfFaceName, "");
  // A long name is cut to the field, never through a double-byte character.
  std::string long_name = "A";
  std::string whole_pairs = "A";
  for (int i = 0; i < 20; ++i) long_name += "ゴ";
  for (int i = 0; i < 15; ++i) whole_pairs += "ゴ";
  EXPECT_EQ(std::string(lib::wfc::DefaultLogFont(long_name.c_str()).lfFaceName), whole_pairs);

  lib::wfc::CFont made(font);
  ASSERT_TRUE(made);
  LOGFONTA back = {};
  ASSERT_EQ(GetObjectA(made.Get(), sizeof(back), &back), static_cast<int>(sizeof(back)));
  EXPECT_EQ(back.lfHeight, 10);
  EXPECT_STREQ(back.lfFaceName, "MS UI Gothic");
}

TEST(DCTest, TextDrawnThroughAMemoryDCLandsInTheBitmap) {
  CDIB dib;
  dib.Create(120, 30);
  dib.Fill(RGB(255, 255, 255));
  LOGFONTA logfont = lib::wfc::DefaultLogFont("MS UI Gothic");
  logfont.lfHeight = -16;
  lib::wfc::CFont font(logfont);
  lib::wfc::CMemDC dc;
  {
    lib::wfc::CDCStateSaver saver(dc);
    saver.SelectObject(0, font.Get());
    saver.SelectObject(1, dib.Get());
    saver.SetBkMode(TRANSPARENT);
    saver.SetTextColor(RGB(0, 0, 0));
    RECT r = {0, 0, 120, 30};
    // "&" is drawn as it is: DT_NOPREFIX is always added.
    EXPECT_GT(dc.DrawTextA("A&B 表", &r, DT_SINGLELINE), 0);
    GdiFlush();
  }
  EXPECT_GT(CountPixels(dib, RGB(0, 0, 0)), 20);
  // The right half stays white: the text is short.
  int right_half_dark = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 80; x < 120; ++x) right_half_dark += dib.GetPixel(x, y) != RGB(255, 255, 255);
  }
  EXPECT_EQ(right_half_dark, 0);
}

TEST(DCTest, StateSaverPutsBackWhatItChanged) {
  lib::wfc::CMemDC dc;
  const HGDIOBJ first_font = GetCurrentObject(dc, OBJ_FONT);
  const HGDIOBJ first_bitmap = GetCurrentObject(dc, OBJ_BITMAP);
  const int first_mode = GetBkMode(dc);
  const COLORREF first_colour = GetTextColor(dc);
  lib::wfc::CFont font(lib::wfc::DefaultLogFont());
  CDIB dib;
  dib.Create(4, 4);
  CDIB other;
  other.Create(4, 4);
  {
    lib::wfc::CDCStateSaver saver(dc);
    saver.SelectObject(0, font.Get());
    saver.SelectObject(1, dib.Get());
    saver.SelectObject(1, other.Get());  // the slot keeps the first object replaced
    saver.SetBkMode(first_mode == TRANSPARENT ? OPAQUE : TRANSPARENT);
    saver.SetBkMode(TRANSPARENT);
    saver.SetTextColor(RGB(1, 2, 3));
    saver.SetTextColor(RGB(4, 5, 6));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), other.Get());
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), first_font);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), first_bitmap);
  EXPECT_EQ(GetBkMode(dc), first_mode);
  EXPECT_EQ(GetTextColor(dc), first_colour);
}

TEST(DCTest, SelectingNothingThrows) {
  lib::wfc::CMemDC dc;
  EXPECT_THROW(dc.SelectObject(nullptr), lib::wfc::bad_alloc);
  // A bitmap cannot be selected into two DCs at once.
  CDIB dib;
  dib.Create(2, 2);
  lib::wfc::CMemDC other;
  other.SelectObject(dib.Get());
  EXPECT_THROW(dc.SelectObject(dib.Get()), lib::wfc::bad_alloc);
}

// A window that paints its back buffer through CPaintDC and takes the shape
// of its magenta-keyed picture.
class CShapedWindow final : public lib::wfc::CRegionWindow {
 public:
  CDIB picture;
  int paints = 0;

  void OnPaint() override {
    lib::wfc::CPaintDC paint(Handle());
    lib::wfc::CMemDC source(paint);
    const HGDIOBJ previous = source.SelectObject(picture.Get());
    BitBlt(paint, 0, 0, picture.Width(), picture.Height(), source, 0, 0, SRCCOPY);
    source.SelectObject(previous);
    ++paints;
  }
  bool OnEraseBkgnd(HDC) override { return true; }
};

TEST(DCTest, ShapedWindowPaintsAndCutsItsKeyColour) {
  CShapedWindow window;
  window.picture.Create(80, 60);
  window.picture.Fill(RGB(20, 140, 60));
  // A magenta band across the middle and a magenta corner.
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 80; ++x) {
      if ((y >= 25 && y < 35) || (x < 10 && y < 10))
        window.picture.SetPixel(x, y, lib::wfc::kMagenta);
    }
  }
  window.Create(0, nullptr, "shaped", WS_POPUP, 200, 150, 80, 60);
  lib::wfc::CRegion region = lib::wfc::CreateRegionFromDIB(window.picture, 0, 0, 80, 60);
  window.ApplyRegion(region.Get());
  // The caller keeps its own region.
  EXPECT_TRUE(PtInRegion(region.Get(), 50, 5));
  window.ShowWindow(SW_SHOWNOACTIVATE);
  window.UpdateWindow();
  EXPECT_GE(window.paints, 1);

  lib::wfc::CRegion applied(CreateRectRgn(0, 0, 0, 0));
  ASSERT_NE(GetWindowRgn(window.Handle(), applied.Get()), ERROR);
  EXPECT_TRUE(PtInRegion(applied.Get(), 50, 5));
  EXPECT_FALSE(PtInRegion(applied.Get(), 50, 30));
  EXPECT_FALSE(PtInRegion(applied.Get(), 5, 5));

  // What the window shows, read back through its client DC.
  lib::wfc::CClientDC client(window.Handle());
  EXPECT_EQ(GetPixel(client, 50, 5), RGB(20, 140, 60));
  EXPECT_EQ(GetPixel(client, 50, 45), RGB(20, 140, 60));
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("wfc_shaped_window", &error)) << error;
  window.DestroyWindow();
}

}  // namespace
