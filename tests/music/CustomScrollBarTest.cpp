// The skinned bars on a real list box: without the bitmap the list keeps
// its system bars, and scroll requests move the mirrored position within
// the range.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>
#include <sstream>

#include "CustomScrollBar.h"
#include "ScreenLock.h"
#include "SkinParser.h"

namespace {

ui::SkinDefinition TestSkin() {
  std::ifstream file(OV_SCROLL_TEST_SKIN, std::ios::binary);
  std::stringstream read;
  read << file.rdbuf();
  std::string bytes;
  for (char c : read.str()) {
    if (c == '\r') continue;
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  ui::SkinDefinition definition;
  ui::SkinParseOutput output;
  ui::ParseSkinLines("ScrollBarTestSkin.txt", ui::SplitSkinLines(bytes, false), &definition,
                     &output);
  return definition;
}

class CustomScrollBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    _list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 40,
                            40, 160, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(_list, nullptr);
    for (int i = 0; i < 50; ++i) SendMessageW(_list, LB_ADDSTRING, 0, LPARAM(L"item"));
  }
  void TearDown() override {
    if (_list) DestroyWindow(_list);
  }
  ovtest::CScreenLock _screen_lock;  // taken before any window is made
  HWND _list = nullptr;
};

TEST_F(CustomScrollBarTest, MissingBitmapLeavesTheSystemBars) {
  auto bar = ui::CreateCustomScrollBar(TestSkin(), "UnshippedBitmapScrollBar");
  ASSERT_NE(bar, nullptr);
  RECT before;
  GetClientRect(_list, &before);
  // This test program carries bitmap 131 only.
  EXPECT_FALSE(bar->Attach(_list));
  EXPECT_FALSE(ui::CCustomScrollBarBase::IsInstalled(_list));
  RECT after;
  GetClientRect(_list, &after);
  EXPECT_EQ(after.right, before.right);
  EXPECT_TRUE(GetWindowLongW(_list, GWL_STYLE) & WS_VSCROLL);
  SCROLLBARINFO info = {};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetScrollBarInfo(_list, OBJID_VSCROLL, &info));
  EXPECT_FALSE(info.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

TEST_F(CustomScrollBarTest, ScrollRequestsStayWithinTheRange) {
  auto bar = ui::CreateCustomScrollBar(TestSkin(), "CustomScrollBar");
  ASSERT_NE(bar, nullptr);
  bar->Attach(_list);
  const struct {
    const char* name;
    WPARAM request;
    int from;
    int to;
  } cases[] = {
      {"line down", SB_LINEDOWN, 5, 6},
      {"line up", SB_LINEUP, 5, 4},
      {"line up at the top", SB_LINEUP, 0, 0},
      {"page down", SB_PAGEDOWN, 5, 15},
      {"page up below min", SB_PAGEUP, 5, 0},
      {"thumb track", MAKEWPARAM(SB_THUMBTRACK, 33), 5, 33},
      {"thumb track beyond max", MAKEWPARAM(SB_THUMBTRACK, 300), 5, 49},
      {"top", SB_TOP, 5, 0},
      {"bottom", SB_BOTTOM, 5, 49},
      {"end scroll changes nothing", SB_ENDSCROLL, 5, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SCROLLINFO copy = {sizeof(copy), SIF_ALL, 0, 49, 10, c.from, 0};
    bar->OnScroll(c.request, SB_VERT, copy);
    EXPECT_EQ(copy.nPos, c.to);
  }
}

}  // namespace

// Colours of bitmap 131 (skins/music/bitmaps/ScrollBar.bmp.json).
constexpr COLORREF kButtonNormal = RGB(214, 222, 235);
constexpr COLORREF kButtonHot = RGB(184, 204, 240);
constexpr COLORREF kButtonPressed = RGB(120, 145, 200);
constexpr COLORREF kThumbBorder = RGB(96, 110, 140);
constexpr COLORREF kThumbCap = RGB(190, 204, 230);
constexpr COLORREF kThumbMiddle = RGB(160, 178, 214);
constexpr COLORREF kThumbHotMiddle = RGB(130, 160, 225);
constexpr COLORREF kPage = RGB(232, 236, 242);
constexpr COLORREF kPageEdge = RGB(208, 214, 226);
constexpr COLORREF kCorner = RGB(214, 222, 235);

// A 60 x 60 back buffer the parts are drawn into, read back pixel by pixel.
class BackBuffer final {
 public:
  BackBuffer() {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 60;
    info.bmiHeader.biHeight = -60;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    _dc = CreateCompatibleDC(nullptr);
    _bitmap = CreateDIBSection(_dc, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    _old = SelectObject(_dc, _bitmap);
    RECT all = {0, 0, 60, 60};
    FillRect(_dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  ~BackBuffer() {
    SelectObject(_dc, _old);
    DeleteObject(_bitmap);
    DeleteDC(_dc);
  }
  HDC Dc() const { return _dc; }
  COLORREF At(int x, int y) const { return GetPixel(_dc, x, y); }

 private:
  HDC _dc = nullptr;
  HBITMAP _bitmap = nullptr;
  HGDIOBJ _old = nullptr;
};

TEST_F(CustomScrollBarTest, PartsAreCutFromBitmap131) {
  auto bar = ui::CreateCustomScrollBar(TestSkin(), "CustomScrollBar");
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(bar->Attach(_list)) << "the test program carries the program's bitmap";
  struct Probe {
    int x, y;
    COLORREF colour;
  };
  const struct {
    const char* name;
    UINT bar, item, state;
    RECT rect;
    std::vector<Probe> probes;
  } cases[] = {
      // An 11 x 40 vertical thumb: 3-pixel caps at their own length, the
      // 12-pixel middle stretched over the 34 pixels between.
      {"vertical thumb",
       SB_VERT,
       5,
       CDIS_DEFAULT,
       {0, 0, 11, 40},
       {{5, 0, kThumbBorder},
        {5, 1, kThumbCap},
        {5, 2, kThumbCap},
        {5, 3, kThumbMiddle},
        {5, 20, kThumbMiddle},
        {5, 36, kThumbMiddle},
        {5, 37, kThumbCap},
        {5, 38, kThumbCap},
        {5, 39, kThumbBorder},
        {0, 20, kThumbBorder}}},
      {"horizontal thumb",
       SB_HORZ,
       5,
       CDIS_DEFAULT,
       {0, 0, 50, 11},
       {{1, 5, kThumbCap}, {3, 5, kThumbMiddle}, {46, 5, kThumbMiddle}, {48, 5, kThumbCap}}},
      {"hot thumb", SB_VERT, 5, CDIS_HOT, {0, 0, 11, 40}, {{5, 20, kThumbHotMiddle}}},
      {"top arrow", SB_VERT, 0, CDIS_DEFAULT, {0, 0, 11, 11}, {{1, 1, kButtonNormal}}},
      {"hot bottom arrow", SB_VERT, 1, CDIS_HOT, {0, 0, 11, 11}, {{1, 1, kButtonHot}}},
      {"pressed left arrow", SB_HORZ, 0, CDIS_SELECTED, {0, 0, 11, 11}, {{1, 1, kButtonPressed}}},
      {"vertical page stretched",
       SB_VERT,
       2,
       CDIS_DEFAULT,
       {0, 0, 11, 50},
       {{5, 25, kPage}, {0, 25, kPageEdge}, {10, 25, kPageEdge}}},
      {"corner",
       SB_BOTH,
       ui::kCustomScrollBarCorner,
       CDIS_DEFAULT,
       {0, 0, 11, 11},
       {{5, 5, kCorner}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BackBuffer buffer;
    ui::CustomScrollBarDraw draw = {};
    draw.hdr.hwndFrom = _list;
    draw.hdr.code = ui::kCustomScrollBarDrawCode;
    draw.stage = CDDS_ITEMPREPAINT;
    draw.dc = buffer.Dc();
    draw.rect = c.rect;
    draw.item = c.item;
    draw.state = c.state;
    draw.bar = c.bar;
    EXPECT_EQ(bar->OnCustomDraw(&draw), CDRF_SKIPDEFAULT);
    for (const Probe& p : c.probes)
      EXPECT_EQ(buffer.At(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
    EXPECT_EQ(buffer.At(c.rect.right, 0), RGB(0, 0, 0)) << "nothing beside the part";
  }
  ui::CustomScrollBarDraw prepaint = {};
  prepaint.stage = CDDS_PREPAINT;
  EXPECT_EQ(bar->OnCustomDraw(&prepaint), CDRF_SKIPDEFAULT) << "the program draws every part";
  EXPECT_EQ(bar->OnCustomDraw(nullptr), 0);
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(window, message, wp, lp);
}

TEST_F(CustomScrollBarTest, ControlWithoutAPageShowsAnEmptyBar) {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = PlainProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = L"OvScrollPlainControl";
  RegisterClassW(&cls);
  HWND plain =
      CreateWindowExW(0, L"OvScrollPlainControl", L"", WS_POPUP | WS_VISIBLE | WS_VSCROLL, 40, 200,
                      120, 120, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(plain, nullptr);
  // A range and a position, but no page: the system's old calls.
  ::SetScrollRange(plain, SB_VERT, 0, 50, FALSE);
  ::SetScrollPos(plain, SB_VERT, 20, FALSE);
  auto bar = ui::CreateCustomScrollBar(TestSkin(), "CustomScrollBar");
  ASSERT_TRUE(bar->Attach(plain));
  bar->Refresh();
  SCROLLINFO info = {sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(ui::CCustomScrollBarBase::GetScrollInfo(plain, SB_VERT, &info));
  EXPECT_EQ(info.nMax, 0);
  EXPECT_EQ(info.nPos, 0);
  EXPECT_EQ(info.nPage, 0u);
  DestroyWindow(plain);
}
