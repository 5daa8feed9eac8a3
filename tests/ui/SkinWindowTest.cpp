// Real skinned windows under Xvfb, driven by SendMessage: what the back
// buffer holds, the region, the screen read back, and the routing of mouse,
// keys, capture and tooltips to the items.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DC.h"
#include "MemoryImageSource.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemOverlay.h"
#include "SkinWindowItemStatic.h"
#include "SkinWindowItemStaticImage.h"
#include "ScreenLock.h"
#include "XvfbScreenshot.h"

namespace {

using lib::wfc::CDIB;

constexpr COLORREF kBaseColour = RGB(30, 60, 90);
// The four state pictures of the button strip, top to bottom.
constexpr COLORREF kNormal = RGB(10, 20, 30);
constexpr COLORREF kHot = RGB(70, 80, 90);
constexpr COLORREF kPush = RGB(40, 50, 60);
constexpr COLORREF kHotPush = RGB(100, 110, 120);
constexpr COLORREF kDot = RGB(200, 0, 0);

CDIB Picture(int width, int height, COLORREF fill) {
  CDIB dib;
  dib.Create(width, height);
  dib.Fill(fill);
  return dib;
}

void FillRect(CDIB& dib, const RECT& r, COLORREF colour) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dib.SetPixel(x, y, colour);
}

void MakePictures() {
  static bool made = false;
  if (made) return;
  made = true;
  CDIB base = Picture(200, 120, kBaseColour);
  for (const POINT corner : {POINT{0, 0}, POINT{196, 0}, POINT{0, 116}, POINT{196, 116}})
    FillRect(base, RECT{corner.x, corner.y, corner.x + 4, corner.y + 4}, lib::wfc::kMagenta);
  uitest::CMemoryImageSource::Installed().Put("WinBase.png", std::move(base));
  CDIB strip = Picture(40, 64, kNormal);
  FillRect(strip, RECT{0, 16, 40, 32}, kHot);
  FillRect(strip, RECT{0, 32, 40, 48}, kPush);
  FillRect(strip, RECT{0, 48, 40, 64}, kHotPush);
  uitest::CMemoryImageSource::Installed().Put("WinStrip.png", std::move(strip));
  uitest::CMemoryImageSource::Installed().Put("WinDot.png", Picture(10, 10, kDot));
  // Ten digits of 4 x 6 pixels, digit d in red d * 20; a white tilde after.
  CDIB digits = Picture(48, 6, RGB(0, 0, 0));
  for (int d = 0; d < 10; ++d)
    FillRect(digits, RECT{d * 4, 0, d * 4 + 4, 6}, RGB(d * 20 + 10, 0, 0));
  FillRect(digits, RECT{40, 0, 44, 6}, RGB(255, 255, 255));
  uitest::CMemoryImageSource::Installed().Put("WinDigits.png", std::move(digits));
}

ui::ButtonLook StripButton(int x, int y, const char* tip = "normal tip") {
  ui::ButtonLook look;
  look.x = x;
  look.y = y;
  look.width = 40;
  look.height = 16;
  for (int slot = 0; slot < 4; ++slot) {
    static const int kRow[4] = {0, 16, 32, 48};  // normal, hot, push, hot push
    look.pictures[slot].name = "WinStrip.png";
    look.pictures[slot].rect = RECT{0, kRow[slot], 40, kRow[slot] + 16};
  }
  look.tooltip = look.tooltip_selected = tip;
  return look;
}

class CTestSkinWindow final : public ui::CSkinWindow {
 public:
  void OnAcceptOrCancel(int id, bool accept) override { accepts.emplace_back(id, accept); }
  bool Notify(int id, int code, int value) override {
    if (code != 14 && code != 15) reports.emplace_back(id, code);
    return CSkinWindow::Notify(id, code, value);
  }
  void OnCommand(UINT id, UINT code, HWND control) override {
    if (code == 1) commands.push_back(static_cast<int>(id));
    CSkinWindow::OnCommand(id, code, control);
  }
  std::vector<int> Codes(int id) const {
    std::vector<int> codes;
    for (const auto& r : reports)
      if (r.first == id) codes.push_back(r.second);
    return codes;
  }

  std::vector<std::pair<int, bool>> accepts;
  std::vector<std::pair<int, int>> reports;
  std::vector<int> commands;
};

// Mouse input from the real pointer is dropped: tests running beside this one
// share the Xvfb pointer and move it over their own windows, which sit where
// this one does, and a hover it brings would change the pixels a case reads.
// The cases send the mouse messages they mean; the tracked WM_MOUSELEAVE,
// which lies outside the range, still arrives.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

class SkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakePictures();
    // The items below are made from looks, not sections: the window
    // acquires their pictures for them.
    for (const char* name : {"WinStrip.png", "WinDot.png", "WinDigits.png"})
      window.GetItemResourceObject()->Acquire(name);
  }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }

  HWND Create(int width = 200, int height = 120) {
    window.SetBaseImage("WinBase.png", RECT{0, 0, 200, 120});
    window.SetUseRegion(true);
    window.SetCaptionHeight(20);
    const HWND hwnd =
        window.Create(0, nullptr, "skin test", WS_POPUP | WS_VISIBLE, 100, 100, width, height);
    window.UpdateWindow();
    Pump();
    return hwnd;
  }

  template <typename T, typename... Args>
  T* Add(Args&&... args) {
    auto item = std::make_unique<T>(&window, std::forward<Args>(args)...);
    T* raw = item.get();
    window.AddItem(std::move(item));
    return raw;
  }

  ui::CSkinWindowItemButton* AddButton(int id, int x, int y, const char* tip = "normal tip") {
    return Add<ui::CSkinWindowItemButton>(id, StripButton(x, y, tip), nullptr);
  }

  COLORREF Pixel(int x, int y) { return window.BackBuffer()->GetPixel(x, y); }

  LRESULT Send(UINT message, WPARAM wp, LPARAM lp) {
    return SendMessageA(window.Handle(), message, wp, lp);
  }

  void Click(int x, int y) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
    Send(WM_LBUTTONUP, 0, At(x, y));
    Pump();
  }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  CTestSkinWindow window;
};

TEST_F(SkinWindowTest, DrawsBaseAndItemsAndCutsTheKeyColourOut) {
  AddButton(2001, 20, 40);
  const HWND hwnd = Create();
  ASSERT_NE(window.BackBuffer(), nullptr);
  EXPECT_EQ(window.BackBuffer()->Width(), 200);
  EXPECT_EQ(window.BackBuffer()->Height(), 120);
  EXPECT_EQ(Pixel(100, 100), kBaseColour);
  EXPECT_EQ(Pixel(21, 41), kNormal);
  EXPECT_EQ(Pixel(59, 55), kNormal);
  EXPECT_EQ(Pixel(60, 56), kBaseColour);
  EXPECT_EQ(Pixel(0, 0), lib::wfc::kMagenta);

  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(hwnd, region), ERROR);
  struct Probe {
    int x, y;
    bool in;
  };
  const Probe probes[] = {{0, 0, false},  {3, 3, false},   {4, 4, true},      {199, 0, false},
                          {195, 0, true}, {0, 119, false}, {199, 119, false}, {100, 60, true}};
  for (const Probe& p : probes)
    EXPECT_EQ(PtInRegion(region, p.x, p.y) != 0, p.in) << p.x << "," << p.y;
  DeleteObject(region);
  EXPECT_NE(WindowFromPoint(POINT{101, 101}), hwnd);
  EXPECT_EQ(WindowFromPoint(POINT{150, 160}), hwnd);

  // The screen shows exactly the back buffer outside the holes.
  CDIB screen;
  screen.Create(200, 120);
  {
    HDC window_dc = GetDC(hwnd);
    lib::wfc::CMemDC memory(window_dc);
    const HGDIOBJ old = SelectObject(memory, screen.Get());
    BitBlt(memory, 0, 0, 200, 120, window_dc, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    ReleaseDC(hwnd, window_dc);
    GdiFlush();
  }
  int differing = 0;
  for (int y = 4; y < 116; ++y)
    for (int x = 4; x < 196; ++x) differing += screen.GetPixel(x, y) != Pixel(x, y);
  EXPECT_EQ(differing, 0);
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("skin_window_basic", &error)) << error;
}

TEST_F(SkinWindowTest, OverlappingItemsTheLaterOneTakesClicksHoverAndCursor) {
  AddButton(2001, 20, 40);
  AddButton(2002, 40, 40);
  ui::StaticLook text;
  text.rect = RECT{30, 30, 90, 70};
  text.text = "over";
  Add<ui::CSkinWindowItemStatic>(2003, text);
  ui::NineGridLook frame;
  frame.rect = RECT{0, 0, 200, 120};
  frame.picture = "WinDot.png";
  Add<ui::CSkinWindowItemOverlay>(2004, frame, nullptr);
  const HWND hwnd = Create();
  Click(50, 45);
  EXPECT_EQ(window.commands, (std::vector<int>{2002}));
  Click(25, 45);
  EXPECT_EQ(window.commands, (std::vector<int>{2002, 2001}));

  SetCursorPos(150, 145);
  Send(WM_MOUSEMOVE, 0, At(50, 45));
  EXPECT_EQ(window.HoverItem(), window.FindItem(2002));
  EXPECT_EQ(Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
            TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
  EXPECT_EQ(Pixel(45, 45), kHot);
  Send(WM_MOUSEMOVE, 0, At(25, 45));
  EXPECT_EQ(window.HoverItem(), window.FindItem(2001));
  EXPECT_EQ(Pixel(45, 45), kNormal);  // 2002 left, drawn normal again
  Send(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(window.HoverItem(), nullptr);
  EXPECT_EQ(Pixel(25, 45), kNormal);
}

TEST_F(SkinWindowTest, ReleaseOutsideEndsTheCaptureWithAnUpLosingItCancels) {
  auto* button = AddButton(2001, 20, 40);
  const HWND hwnd = Create();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(25, 45));
  EXPECT_EQ(GetCapture(), hwnd);
  EXPECT_EQ(window.GetCaptureItem(), button);
  EXPECT_EQ(Pixel(25, 45), kPush);
  Send(WM_MOUSEMOVE, MK_LBUTTON, At(-50, 300));
  EXPECT_EQ(Pixel(25, 45), kHot);
  Send(WM_LBUTTONUP, 0, At(-50, 300));
  Pump();
  EXPECT_NE(GetCapture(), hwnd);
  EXPECT_EQ(window.Codes(2001), (std::vector<int>{1, 2, 4}));
  EXPECT_TRUE(window.commands.empty());

  // Capture taken by another window: a cancel, never a click.
  window.reports.clear();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(25, 45));
  const HWND other =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  SetCapture(other);
  Pump();
  EXPECT_EQ(window.GetCaptureItem(), nullptr);
  EXPECT_FALSE(button->IsTracking());
  EXPECT_EQ(window.Codes(2001), (std::vector<int>{1, 2, 4}));
  ReleaseCapture();
  DestroyWindow(other);
  Pump();
  EXPECT_TRUE(window.commands.empty());

  Click(25, 45);
  EXPECT_EQ(window.commands, (std::vector<int>{2001}));
}

TEST_F(SkinWindowTest, EnterAndEscapeReachAcceptOrCancel) {
  Create();
  Send(WM_KEYDOWN, VK_RETURN, 0);
  Send(WM_KEYDOWN, VK_ESCAPE, 0);
  Send(WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(window.accepts, (std::vector<std::pair<int, bool>>{{-1, true}, {-1, false}}));
}

TEST_F(SkinWindowTest, ZeroClientStillGetsAOnePixelBufferAndRegion) {
  AddButton(2001, 0, 0);
  Create(0, 0);
  ASSERT_NE(window.BackBuffer(), nullptr);
  EXPECT_EQ(window.BackBuffer()->Width(), 1);
  EXPECT_EQ(window.BackBuffer()->Height(), 1);
  EXPECT_NE(window.Region(), nullptr);
}

TEST_F(SkinWindowTest, ZeroSizedItemDrawsNothingAndCreationSucceeds) {
  ui::ButtonLook empty = StripButton(10, 10);
  empty.width = empty.height = 0;
  Add<ui::CSkinWindowItemButton>(2001, empty, nullptr);
  EXPECT_NE(Create(), nullptr);
  EXPECT_EQ(Pixel(10, 10), kBaseColour);
}

std::string TipAnswer(CTestSkinWindow& window) {
  NMTTDISPINFOA info = {};
  info.hdr.hwndFrom = window.ToolTip();
  info.hdr.code = TTN_GETDISPINFOA;
  std::memset(info.szText, 'x', sizeof(info.szText));
  const LRESULT handled =
      SendMessageA(window.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(handled, 0);
  return std::string(info.szText, strnlen(info.szText, sizeof(info.szText)));
}

TEST_F(SkinWindowTest, TooltipsAreRegisteredAndAnsweredOnlyWithText) {
  std::string long_tip;
  for (int i = 0; i < 50; ++i) long_tip += "あ";
  AddButton(2001, 20, 40);
  AddButton(2002, 100, 40, "");
  AddButton(2003, 20, 80, long_tip.c_str());
  AddButton(2004, 100, 80, ("a" + long_tip).c_str());
  Create();
  ASSERT_NE(window.ToolTip(), nullptr);
  EXPECT_EQ(SendMessageA(window.ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 4);
  TOOLINFOA tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = window.Handle();
  tool.uId = 2003;
  ASSERT_TRUE(SendMessageA(window.ToolTip(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_EQ(tool.rect.left, 20);
  EXPECT_EQ(tool.rect.top, 80);
  EXPECT_EQ(tool.rect.right, 60);

  struct Case {
    const char* name;
    POINT at;
    std::string answer;
  };
  const Case cases[] = {
      {"nothing under the pointer", {150, 10}, ""},
      {"a tip", {25, 45}, "normal tip"},
      {"an empty tip", {105, 45}, ""},
      {"39 double-byte characters fit", {25, 85}, long_tip.substr(0, 78)},
      {"never half a character", {105, 85}, ("a" + long_tip).substr(0, 79)},
  };
  for (const Case& c : cases) {
    Send(WM_MOUSEMOVE, 0, At(c.at.x, c.at.y));
    EXPECT_EQ(TipAnswer(window), c.answer) << c.name;
  }
  window.FindItem(2003)->SetEnabled(false);
  Send(WM_MOUSEMOVE, 0, At(25, 85));
  EXPECT_EQ(TipAnswer(window), "") << "disabled";
}

TEST_F(SkinWindowTest, ReplacingTheCaptureItemEndsItsCaptureFirst) {
  AddButton(2001, 20, 40);
  const HWND hwnd = Create();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(25, 45));
  ASSERT_EQ(GetCapture(), hwnd);
  auto* replacement = AddButton(2001, 100, 40);
  EXPECT_NE(GetCapture(), hwnd);
  EXPECT_EQ(window.GetCaptureItem(), nullptr);
  EXPECT_EQ(window.HoverItem(), nullptr);
  EXPECT_EQ(window.FocusItem(), nullptr);
  EXPECT_EQ(window.Items().size(), 1u);
  EXPECT_EQ(window.FindItem(2001), replacement);
  EXPECT_EQ(SendMessageA(window.ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 1);
  Send(WM_LBUTTONUP, 0, At(25, 45));
  Pump();
  EXPECT_TRUE(window.commands.empty());
  EXPECT_EQ(Pixel(25, 45), kBaseColour);
  EXPECT_EQ(Pixel(105, 45), kNormal);
}

// Rows of the rectangle that hold a pixel other than the background.
std::vector<int> InkRows(CDIB& dib, const RECT& r, COLORREF background) {
  std::vector<int> rows;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (dib.GetPixel(x, y) != background) {
        rows.push_back(y);
        break;
      }
  return rows;
}

LOGFONTA Font(int size, int weight = 700) {
  LOGFONTA font = lib::wfc::DefaultLogFont("MS UI Gothic");
  font.lfHeight = -size;
  font.lfWeight = weight;
  return font;
}

TEST_F(SkinWindowTest, TextEscapeMakesTwoLinesAndDisabledTextIsGrey) {
  ui::StaticLook look;
  look.rect = RECT{10, 10, 190, 110};
  look.font = Font(20);
  look.text = "上\\r\\n下";
  auto* text = Add<ui::CSkinWindowItemStatic>(2001, look);
  Create();
  const std::vector<int> rows = InkRows(*window.BackBuffer(), look.rect, kBaseColour);
  ASSERT_FALSE(rows.empty());
  int bands = 1;
  for (size_t i = 1; i < rows.size(); ++i) bands += rows[i] != rows[i - 1] + 1;
  EXPECT_EQ(bands, 2);
  EXPECT_GT(rows.back() - rows.front(), 25);

  text->SetEnabled(false);
  int grey = 0;
  int black = 0;
  for (int y = 10; y < 110; ++y)
    for (int x = 10; x < 190; ++x) {
      grey += Pixel(x, y) == RGB(102, 102, 102);
      black += Pixel(x, y) == RGB(0, 0, 0);
    }
  EXPECT_GT(grey, 20);
  EXPECT_EQ(black, 0);
}

TEST_F(SkinWindowTest, RedrawingPartOfALowerTextLeavesTheItemsAboveIntact) {
  ui::StaticLook look;
  look.rect = RECT{0, 60, 200, 84};
  look.font = Font(20);
  look.text = "ああああああああああああああ";
  Add<ui::CSkinWindowItemStatic>(2001, look);
  AddButton(2002, 150, 64);
  Create();
  window.InvalidateItemRect(10, 60, 30, 84, false);
  int wrong = 0;
  for (int y = 64; y < 80; ++y)
    for (int x = 150; x < 190; ++x) wrong += Pixel(x, y) != kNormal;
  EXPECT_EQ(wrong, 0);
}

TEST_F(SkinWindowTest, StaticImageCentredOrTiled) {
  ui::StaticImageLook look;
  look.rect = RECT{20, 20, 60, 40};
  look.picture.name = "WinDot.png";
  look.picture.rect = RECT{0, 0, 10, 10};
  Add<ui::CSkinWindowItemStaticImage>(2001, look, nullptr);
  look.rect = RECT{100, 20, 125, 45};
  look.tile = true;
  Add<ui::CSkinWindowItemStaticImage>(2002, look, nullptr);
  look.rect = RECT{20, 60, 40, 80};
  look.picture.rect = RECT{0, 0, 0, 0};  // an empty picture repeats nothing
  Add<ui::CSkinWindowItemStaticImage>(2003, look, nullptr);
  Create();
  const RECT centred = {35, 25, 45, 35};
  for (int y = 20; y < 40; ++y)
    for (int x = 20; x < 60; ++x) {
      const bool in =
          x >= centred.left && x < centred.right && y >= centred.top && y < centred.bottom;
      ASSERT_EQ(Pixel(x, y), in ? kDot : kBaseColour) << x << "," << y;
    }
  for (int y = 20; y < 45; ++y)
    for (int x = 100; x < 125; ++x) ASSERT_EQ(Pixel(x, y), kDot) << x << "," << y;
  EXPECT_EQ(Pixel(125, 30), kBaseColour);
  EXPECT_EQ(Pixel(30, 70), kBaseColour);
}

TEST_F(SkinWindowTest, OverlayBlendsAndLetsClicksThrough) {
  AddButton(2001, 20, 40);
  ui::NineGridLook frame;
  frame.rect = RECT{0, 0, 200, 120};
  frame.picture = "WinDot.png";
  frame.xs[0] = 0, frame.xs[1] = 3, frame.xs[2] = 6, frame.xs[3] = 10;
  frame.ys[0] = 0, frame.ys[1] = 3, frame.ys[2] = 6, frame.ys[3] = 10;
  auto* overlay = Add<ui::CSkinWindowItemOverlay>(2002, frame, nullptr);
  overlay->SetAlpha(0);
  Create();
  // d + (s - d) * (alpha + 1) >> 8, per channel.
  const auto blend = [](int d, int s, int alpha) { return d + (((s - d) * (alpha + 1)) >> 8); };
  struct Case {
    int alpha;
    int drawn;
  };
  const Case cases[] = {{0, 0}, {128, 128}, {300, 255}, {-20, 0}};
  for (const Case& c : cases) {
    overlay->SetAlpha(c.alpha);
    EXPECT_EQ(overlay->Alpha(), c.alpha);
    const COLORREF expected =
        RGB(blend(30, 200, c.drawn), blend(60, 0, c.drawn), blend(90, 0, c.drawn));
    EXPECT_EQ(Pixel(100, 100), expected) << c.alpha;
  }
  Click(25, 45);
  EXPECT_EQ(window.commands, (std::vector<int>{2001}));
}

TEST_F(SkinWindowTest, DigitImageDrawsTheKeptDigitsAndTheTilde) {
  ui::DigitImageLook look;
  look.rect = RECT{20, 20, 80, 26};
  look.strip.name = "WinDigits.png";
  look.strip.rect = RECT{0, 0, 40, 6};
  look.tilde = RECT{40, 0, 44, 6};
  auto* digits = Add<ui::CSkinWindowItemDigitImage>(2001, look, nullptr);
  digits->maximum_digits = 2;
  digits->minimum_digits = 5;
  Create();
  digits->SetValue(345);
  // The last two digits kept, two blank widths in front (three digits, minimum
  // five), then the tilde.
  const COLORREF expected[] = {kBaseColour,        kBaseColour, RGB(90, 0, 0), RGB(110, 0, 0),
                               RGB(255, 255, 255), kBaseColour, kBaseColour};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Pixel(20 + i * 4 + 1, 22), expected[i]) << i;
}

TEST_F(SkinWindowTest, ClickItemPostsOnlyForEnabledItems) {
  auto* button = AddButton(2001, 20, 40);
  Create();
  EXPECT_TRUE(window.ClickItem(2001));
  EXPECT_FALSE(window.ClickItem(2999));
  button->SetEnabled(false);
  EXPECT_FALSE(window.ClickItem(2001));
  Pump();
  EXPECT_EQ(window.commands, (std::vector<int>{2001}));
}

TEST_F(SkinWindowTest, CaptionBandDragsTheWindowWhereNoItemIs) {
  AddButton(2001, 20, 4);
  Create();
  EXPECT_EQ(Send(WM_NCHITTEST, 0, At(100 + 100, 100 + 10)), HTCAPTION);
  EXPECT_EQ(Send(WM_NCHITTEST, 0, At(100 + 25, 100 + 10)), HTCLIENT);
  EXPECT_EQ(Send(WM_NCHITTEST, 0, At(100 + 100, 100 + 30)), HTCLIENT);
}

// A text-entry stand-in: it keeps the keys it is given while it has the focus.
class CKeyEater final : public ui::CSkinWindowItemButton {
 public:
  using CSkinWindowItemButton::CSkinWindowItemButton;
  bool OnWindowMessage(UINT message, WPARAM wparam, LPARAM, LRESULT* result) override {
    if (message != WM_KEYDOWN) return false;
    keys.push_back(static_cast<UINT>(wparam));
    *result = 0;
    return true;
  }
  void OnSetFocus() override { ++gained; }
  void OnKillFocus() override { ++lost; }
  std::vector<UINT> keys;
  int gained = 0;
  int lost = 0;
};

TEST_F(SkinWindowTest, TheFocusItemSeesMessagesFirst) {
  auto* eater = Add<CKeyEater>(2001, StripButton(20, 40), nullptr);
  AddButton(2002, 100, 40);
  Create();
  Click(25, 45);
  EXPECT_EQ(window.FocusItem(), eater);
  EXPECT_EQ(eater->gained, 1);
  Send(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(eater->keys, (std::vector<UINT>{VK_RETURN}));
  EXPECT_TRUE(window.accepts.empty());
  Click(105, 45);
  EXPECT_EQ(eater->lost, 1);
  Send(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(window.accepts, (std::vector<std::pair<int, bool>>{{-1, true}}));
}

TEST_F(SkinWindowTest, PointerLeavingTheWindowLeavesTheHoverItem) {
  auto* button = AddButton(2001, 20, 40);
  Create();
  SetCursorPos(100 + 25, 100 + 45);
  Send(WM_MOUSEMOVE, 0, At(25, 45));
  EXPECT_TRUE(button->IsHot());
  EXPECT_EQ(Pixel(25, 45), kHot);
  // The tracked leave arrives as a posted WM_MOUSELEAVE once the pointer is
  // elsewhere.
  SetCursorPos(800, 800);
  const DWORD deadline = GetTickCount() + 5000;
  while (window.HoverItem() && static_cast<LONG>(deadline - GetTickCount()) > 0) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    Pump();
  }
  EXPECT_EQ(window.HoverItem(), nullptr);
  EXPECT_FALSE(button->IsHot());
  EXPECT_EQ(Pixel(25, 45), kNormal);
}

TEST_F(SkinWindowTest, CaptionBandMovesGiveHoverToo) {
  auto* button = AddButton(2001, 20, 4);
  Create();
  // A move over the non-client area arrives in screen coordinates.
  Send(WM_NCMOUSEMOVE, HTCAPTION, At(100 + 25, 100 + 8));
  EXPECT_EQ(window.HoverItem(), button);
  EXPECT_TRUE(button->IsHot());
}

TEST_F(SkinWindowTest, TheInternalMessageRebuildsTheBuffer) {
  auto* button = AddButton(2001, 20, 40);
  Create();
  // A change the window was not told about...
  button->SetPosition(120, 40);
  EXPECT_EQ(Pixel(125, 45), kBaseColour);
  Send(ui::SkinWindowInternalMessage(), 1, 0);  // other values are ignored
  EXPECT_EQ(Pixel(125, 45), kBaseColour);
  Send(ui::SkinWindowInternalMessage(), 0, 0);
  EXPECT_EQ(Pixel(125, 45), kNormal);
  EXPECT_EQ(Pixel(25, 45), kBaseColour);
}

TEST_F(SkinWindowTest, NestedRedrawLocksOnlyTheOutermostReleaseUnlocks) {
  Create();
  EXPECT_FALSE(window.SetRedrawLock(true));
  EXPECT_TRUE(window.SetRedrawLock(true));
  EXPECT_TRUE(window.SetRedrawLock(true));  // restore the inner hold's value
  EXPECT_TRUE(window.SetRedrawLock(false));
  EXPECT_FALSE(window.SetRedrawLock(false));
}

TEST_F(SkinWindowTest, AntialiasedCaptionsDrawInTheirColourAndWordBreakTakesThePlainPath) {
  ui::StaticLook look;
  look.rect = RECT{10, 10, 190, 40};
  look.font = Font(18);
  look.colour = RGB(255, 255, 255);
  look.antialias = true;
  look.text = "日本語の表示";
  auto* centred = Add<ui::CSkinWindowItemStatic>(2001, look);
  centred->SetFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  look.rect = RECT{10, 60, 190, 90};
  Add<ui::CSkinWindowItemStatic>(2002, look);  // DT_WORDBREAK: refused, drawn plain
  Create();
  for (const RECT& r : {RECT{10, 10, 190, 40}, RECT{10, 60, 190, 90}}) {
    int white = 0;
    int left = r.right;
    int right = r.left;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (Pixel(x, y) != kBaseColour) {
          white += Pixel(x, y) == RGB(255, 255, 255);
          left = std::min(left, x);
          right = std::max(right, x);
        }
    EXPECT_GT(white, 30) << r.top;
    if (r.top == 10) {
      EXPECT_NEAR((left + right) / 2, 100, 4);  // centred
    }
    if (r.top == 60) {
      EXPECT_LT(left, 14);  // left aligned
    }
  }
}

TEST_F(SkinWindowTest, CapsFillingThePictureLeaveNoMiddleToRepeat) {
  ui::ButtonLook look = StripButton(20, 40);
  look.divided = true;
  look.layout_width = 100;
  look.left_cap = 25;
  look.right_cap = 15;  // together the whole 40-pixel picture
  Add<ui::CSkinWindowItemButton>(2001, look, nullptr);
  Create();
  EXPECT_EQ(window.FindItem(2001)->Width(), 100);
  EXPECT_EQ(Pixel(21, 45), kNormal);   // left cap
  EXPECT_EQ(Pixel(118, 45), kNormal);  // right cap
  EXPECT_EQ(Pixel(80, 45), kBaseColour);
}

TEST_F(SkinWindowTest, HidingAnItemRedrawsItsPlaceWithoutIt) {
  auto* button = AddButton(2001, 20, 40);
  Create();
  button->SetVisible(false);
  EXPECT_EQ(Pixel(25, 45), kBaseColour);
  Click(25, 45);
  EXPECT_TRUE(window.commands.empty());
  button->SetVisible(true);
  EXPECT_EQ(Pixel(25, 45), kNormal);
}

TEST_F(SkinWindowTest, ButtonAlphaBlendsUntilHotOrPressed) {
  auto* button = AddButton(2001, 20, 40);
  button->SetAlpha(128);
  Create();
  const auto blend = [](int d, int s) { return d + (((s - d) * 129) >> 8); };
  EXPECT_EQ(Pixel(25, 45), RGB(blend(30, 10), blend(60, 20), blend(90, 30)));
  Send(WM_MOUSEMOVE, 0, At(25, 45));
  EXPECT_EQ(Pixel(25, 45), kHot);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(25, 45));
  EXPECT_EQ(Pixel(25, 45), kPush);
  Send(WM_LBUTTONUP, 0, At(25, 45));
}

TEST_F(SkinWindowTest, BlinkingIconShowsInTheFirstHalfOfEachPeriod) {
  ui::ButtonLook look = StripButton(20, 40);
  look.pictures[ui::kPictureIcon].name = "WinDot.png";
  look.pictures[ui::kPictureIcon].rect = RECT{0, 0, 10, 10};
  auto* button = Add<ui::CSkinWindowItemButton>(2001, look, nullptr);
  Create();
  EXPECT_EQ(Pixel(40, 48), kDot);  // centred in the 40 x 16 button
  button->OnNotify(ui::kItemSetBlinking, 1, 0);
  struct Step {
    DWORD tick;
    COLORREF middle;
  };
  const Step steps[] = {{800 * 7 + 500, kNormal},
                        {800 * 8 + 10, kDot},
                        {800 * 8 + 399, kDot},
                        {800 * 8 + 400, kNormal}};
  for (const Step& step : steps) {
    button->OnTick(step.tick);
    EXPECT_EQ(Pixel(40, 48), step.middle) << step.tick;
  }
}

TEST_F(SkinWindowTest, ToggleButtonDrawsPushedWhileSelected) {
  auto* toggle = Add<ui::CSkinWindowItemToggleButton>(2001, StripButton(20, 40), nullptr);
  Create();
  Click(25, 45);
  EXPECT_EQ(toggle->OnNotify(ui::kItemGetSelected, 0, 0), 1);
  Send(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Pixel(25, 45), kPush);
  Click(25, 45);
  Send(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Pixel(25, 45), kNormal);
  EXPECT_EQ(window.commands, (std::vector<int>{2001, 2001}));
}

TEST_F(SkinWindowTest, RefreshingToolTipsRemovesHiddenItems) {
  auto* hidden = AddButton(2001, 20, 40);
  AddButton(2002, 100, 40);
  Create();
  EXPECT_EQ(SendMessageA(window.ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 2);
  hidden->SetVisible(false);
  window.RefreshToolTips();
  EXPECT_EQ(SendMessageA(window.ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 1);
  hidden->SetVisible(true);
  window.RefreshToolTips();
  EXPECT_EQ(SendMessageA(window.ToolTip(), TTM_GETTOOLCOUNT, 0, 0), 2);
}

TEST_F(SkinWindowTest, ClickItemRefusesADisabledWindow) {
  AddButton(2001, 20, 40);
  const HWND hwnd = Create();
  EnableWindow(hwnd, FALSE);
  EXPECT_FALSE(window.ClickItem(2001));
  EnableWindow(hwnd, TRUE);
  EXPECT_TRUE(window.ClickItem(2001));
}

}  // namespace
