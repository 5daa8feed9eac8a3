// Skinned scroll bars in a real window under Xvfb: what the back buffer
// shows for the parts and states, presses and the item tick through the
// window's own messages, and a disabled bar.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MemoryImageSource.h"
#include "ScreenLock.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "SkinWindowItemScrollBar.h"
#include "XvfbScreenshot.h"

namespace {

using lib::wfc::CDIB;

constexpr COLORREF kBase = RGB(20, 40, 60);
constexpr COLORREF kTrack = RGB(90, 90, 90);
constexpr COLORREF kButton[4] = {RGB(10, 20, 200), RGB(70, 80, 210), RGB(40, 50, 220),
                                 RGB(100, 110, 230)};
constexpr COLORREF kThumb[4] = {RGB(200, 200, 10), RGB(210, 210, 70), RGB(220, 220, 40),
                                RGB(230, 230, 100)};
constexpr COLORREF kLabel = RGB(250, 250, 250);
constexpr COLORREF kLabelOff = RGB(150, 0, 0);
constexpr char kParts[] = "SbParts.png";

void FillRect(CDIB& dib, const RECT& r, COLORREF colour) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dib.SetPixel(x, y, colour);
}

// The track at 0,0 (20 x 20), the first button's states at x 20, the
// second's at x 36 (16 x 16 each, downwards), the thumb's at x 52, 64, 76,
// 88 (12 x 20), the labels at 0,40 and the disabled ones at 8,40 (8 x 4).
void MakePictures() {
  static bool made = false;
  if (made) return;
  made = true;
  CDIB base;
  base.Create(220, 240);
  base.Fill(kBase);
  uitest::CMemoryImageSource::Installed().Put("SbBase.png", std::move(base));
  CDIB parts;
  parts.Create(128, 64);
  parts.Fill(lib::wfc::kMagenta);
  FillRect(parts, RECT{0, 0, 20, 20}, kTrack);
  for (int s = 0; s < 4; ++s) {
    FillRect(parts, RECT{20, 16 * s, 36, 16 * s + 16}, kButton[s]);
    FillRect(parts, RECT{36, 16 * s, 52, 16 * s + 16}, kButton[s]);
    FillRect(parts, RECT{52 + 12 * s, 0, 64 + 12 * s, 20}, kThumb[s]);
  }
  FillRect(parts, RECT{0, 40, 8, 44}, kLabel);
  FillRect(parts, RECT{8, 40, 16, 44}, kLabelOff);
  uitest::CMemoryImageSource::Installed().Put(kParts, std::move(parts));
}

ui::SkinItemPicture Part(int x, int y, int w, int h) {
  return ui::SkinItemPicture{kParts, RECT{x, y, x + w, y + h}};
}

ui::ScrollBarLook Look(bool vertical, int x, int y, int length) {
  ui::ScrollBarLook look;
  look.vertical = vertical;
  look.x = x;
  look.y = y;
  look.width = vertical ? 16 : length;
  look.height = vertical ? length : 16;
  look.button = SIZE{16, 16};
  look.thumb = vertical ? SIZE{12, 20} : SIZE{20, 12};
  look.thumb_start = look.thumb_end = 2;
  look.thumb_middle = 16;
  look.track = Part(0, 0, vertical ? 16 : 20, vertical ? 20 : 16);
  look.track_start = look.track_end = 2;
  for (int s = 0; s < 4; ++s) {
    look.first[s] = Part(20, 16 * s, 16, 16);
    look.second[s] = Part(36, 16 * s, 16, 16);
    look.thumb_pictures[s] = Part(52 + 12 * s, 0, look.thumb.cx, look.thumb.cy);
  }
  look.first_label = look.second_label = Part(0, 40, 8, 4);
  look.first_label_disabled = look.second_label_disabled = Part(8, 40, 8, 4);
  return look;
}

class CPagingOwner final : public ui::IScrollBarListener {
 public:
  void OnScroll(ui::CSkinWindowItemScrollBar* bar, UINT, int code, int position) override {
    codes.push_back(code);
    if (code == SB_PAGEDOWN) bar->SetPos(bar->GetPos() + bar->GetPage());
    if (code == SB_LINEUP) bar->SetPos(bar->GetPos() - 1);
    if (code == SB_THUMBPOSITION) bar->SetPos(position);
  }
  std::vector<int> codes;
};

// Mouse input from the real pointer is dropped: other test processes share
// the Xvfb pointer, and a hover it brings would change the pixels a case
// reads. The cases send the mouse messages they mean.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

// The press clock 600 ms behind the tick count: the first repeat is due at
// the next item tick.
DWORD Behind() { return GetTickCount() - 600; }

class ScrollBarWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakePictures();
    window.GetItemResourceObject()->Acquire(kParts);
    auto v =
        std::make_unique<ui::CSkinWindowItemScrollBar>(&window, 3001, Look(true, 180, 10, 200));
    auto h =
        std::make_unique<ui::CSkinWindowItemScrollBar>(&window, 3002, Look(false, 10, 210, 160));
    vertical = v.get();
    horizontal = h.get();
    window.AddItem(std::move(v));
    window.AddItem(std::move(h));
    vertical->SetListener(&owner);
    horizontal->SetListener(&owner);
    vertical->SetRange(99, 10);   // thumb 16..36 along
    horizontal->SetRange(3, 10);  // nothing to scroll: disabled
    window.SetBaseImage("SbBase.png", RECT{0, 0, 220, 240});
    window.SetCaptionHeight(20);
    hwnd = window.Create(0, nullptr, "scroll bars", WS_POPUP | WS_VISIBLE, 120, 80, 220, 240);
    window.UpdateWindow();
    Pump();
  }
  void TearDown() override {
    ui::CSkinWindowItemScrollBar::SetClock(nullptr);
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }
  COLORREF Pixel(int x, int y) { return window.BackBuffer()->GetPixel(x, y); }
  LRESULT Send(UINT message, WPARAM wp, int x, int y) {
    return SendMessageA(hwnd, message, wp, MAKELPARAM(x, y));
  }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  ui::CSkinWindow window;
  CPagingOwner owner;
  ui::CSkinWindowItemScrollBar* vertical = nullptr;
  ui::CSkinWindowItemScrollBar* horizontal = nullptr;
  HWND hwnd = nullptr;
};

TEST_F(ScrollBarWindowTest, DrawsTrackButtonsLabelsAndThumb) {
  ASSERT_NE(window.BackBuffer(), nullptr);
  struct Probe {
    int x, y;
    COLORREF colour;
    const char* what;
  };
  const Probe probes[] = {
      {181, 11, kButton[0], "first button"},   {188, 18, kLabel, "first label"},
      {181, 208, kButton[0], "second button"}, {188, 202, kLabel, "second label"},
      {188, 30, kThumb[0], "thumb"},           {181, 30, kTrack, "track beside the thumb"},
      {188, 120, kTrack, "track below"},       {160, 120, kBase, "window"},
      {11, 211, kButton[0], "h first button"}, {18, 218, kLabelOff, "h disabled label"},
      {40, 218, kTrack, "h track, no thumb"},  {165, 211, kButton[0], "h second button"},
  };
  for (const Probe& p : probes) EXPECT_EQ(Pixel(p.x, p.y), p.colour) << p.what;
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("scroll_bars", &error)) << error;
}

TEST_F(ScrollBarWindowTest, HoverPressTickAndReleaseThroughTheWindow) {
  Send(WM_MOUSEMOVE, 0, 181, 11);
  EXPECT_EQ(Pixel(181, 11), kButton[1]);
  Send(WM_MOUSEMOVE, 0, 188, 30);
  EXPECT_EQ(Pixel(181, 11), kButton[0]);
  EXPECT_EQ(Pixel(188, 30), kThumb[1]);

  ui::CSkinWindowItemScrollBar::SetClock(&Behind);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 188, 150);
  EXPECT_EQ(GetCapture(), hwnd);
  EXPECT_EQ(owner.codes, (std::vector<int>{SB_PAGEDOWN}));
  EXPECT_EQ(vertical->GetPos(), 10);
  EXPECT_EQ(Pixel(188, 45), kThumb[0]);  // thumb now 32..52 along
  SendMessageA(hwnd, WM_TIMER, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(owner.codes, (std::vector<int>{SB_PAGEDOWN, SB_PAGEDOWN}));
  EXPECT_EQ(vertical->GetPos(), 20);
  Send(WM_LBUTTONUP, 0, 188, 150);
  Pump();
  EXPECT_NE(GetCapture(), hwnd);
  SendMessageA(hwnd, WM_TIMER, static_cast<WPARAM>(-1), 0);
  EXPECT_EQ(owner.codes.size(), 2u);

  // The disabled bar takes no press.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 15, 215);
  Send(WM_LBUTTONUP, 0, 15, 215);
  EXPECT_EQ(owner.codes.size(), 2u);
  EXPECT_EQ(Pixel(11, 211), kButton[0]);
}

}  // namespace
