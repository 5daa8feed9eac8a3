// A frame window under Xvfb driven by its own registered message: the
// overlay shown and hidden (read back from the back buffer), the window
// hidden and shown again, and the overlay following a resize.
#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "FrameOverlayWindow.h"
#include "MemoryImageSource.h"
#include "SkinWindowItem.h"
#include "ScreenLock.h"
#include "XvfbScreenshot.h"

namespace {

using lib::wfc::CDIB;

constexpr COLORREF kBase = RGB(40, 80, 120);
constexpr COLORREF kDim = RGB(0, 0, 0);

void MakePictures() {
  static bool made = false;
  if (made) return;
  made = true;
  CDIB base;
  base.Create(30, 30);
  base.Fill(kBase);
  uitest::CMemoryImageSource::Installed().Put("FrmBase.png", std::move(base));
  CDIB dim;
  dim.Create(30, 30);
  dim.Fill(kDim);
  uitest::CMemoryImageSource::Installed().Put("FrmDim.png", std::move(dim));
}

UINT OwnMessage() {
  static const UINT message = RegisterWindowMessageA("OvFrameOverlayTestMessage");
  return message;
}

const ui::SkinItemDescriptor kOverlay = {"Overlay", 2500};

class CTestFrame final
    : public ui::CFrameOverlayWindowBase<ui::CEndSessionWaitingWindow<ui::CResizableSkinWindow>>,
      public ui::CWindowBase {
 public:
  CTestFrame() : CFrameOverlayWindowBase(&kOverlay) {}
  UINT GetWindowMessage() const override { return OwnMessage(); }
  bool ShowsOverlay() const override { return shows; }
  bool shows = true;
};

// Mouse input from the real pointer is dropped: other test processes move
// the one Xvfb pointer over their windows, which may lie where this one
// does. The cases send the mouse messages they mean.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

class FrameOverlayWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { MakePictures(); }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }

  void Build(bool with_overlay, HWND parent = nullptr) {
    window.SetBaseImage("FrmBase.png", RECT{0, 0, 30, 30});
    window.SetGrid(10, 10, 20, 20, SIZE{0, 0});
    window.SetBorderWidth(4);
    window.SetLayoutSize(SIZE{160, 120});
    if (with_overlay) {
      ui::SkinDefinition definition;
      definition.Section("Overlay").Set(
          "Image", {"FrmDim.png", "0", "10", "20", "30", "0", "10", "20", "30"});
      window.CreateFrameOverlay(definition);
    }
    const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE;
    window.Create(0, nullptr, "frame test", style, parent ? 0 : 50, parent ? 0 : 50, 160, 120,
                  parent);
    window.UpdateWindow();
    Pump();
  }

  void Own(WPARAM wp, LPARAM lp) { SendMessageA(window.Handle(), OwnMessage(), wp, lp); }
  ui::CSkinWindowItem* Overlay() { return window.FindItem(kOverlay.id); }
  COLORREF Centre() { return window.BackBuffer()->GetPixel(80, 60); }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  CTestFrame window;
};

TEST_F(FrameOverlayWindowTest, OwnMessageShowsAndHidesTheOverlayOverTheWholeClient) {
  Build(true);
  EXPECT_EQ(ui::RegisteredOverlayMessage(window.Handle()), OwnMessage());
  ASSERT_NE(Overlay(), nullptr);
  EXPECT_FALSE(Overlay()->IsVisible());
  EXPECT_EQ(Centre(), kBase);
  Own(0, 1);
  EXPECT_TRUE(Overlay()->IsVisible());
  EXPECT_NE(Centre(), kBase);
  std::string error;
  if (!ovtest::SaveXvfbScreenshot("frame_window_overlay", &error)) std::cerr << error << "\n";
  SetWindowPos(window.Handle(), nullptr, 50, 50, 260, 200, SWP_NOZORDER | SWP_NOACTIVATE);
  Pump();
  const RECT r = Overlay()->Rect();
  EXPECT_EQ(r.right - r.left, 260);
  EXPECT_EQ(r.bottom - r.top, 200);
  Own(0, 0);
  EXPECT_FALSE(Overlay()->IsVisible());
  EXPECT_EQ(Centre(), kBase);
  const HWND hwnd = window.Handle();
  window.DestroyWindow();
  EXPECT_EQ(ui::RegisteredOverlayMessage(hwnd), 0u);
}

TEST_F(FrameOverlayWindowTest, WithoutTheOverlayShowingItDoesNothing) {
  Build(false);
  Own(0, 1);
  EXPECT_EQ(Overlay(), nullptr);
  EXPECT_EQ(ui::RegisteredOverlayMessage(window.Handle()), 0u);
  EXPECT_EQ(Centre(), kBase);
}

TEST_F(FrameOverlayWindowTest, AWindowThatRefusesTheOverlayStillHidesIt) {
  Build(true);
  window.shows = false;
  Own(0, 1);
  EXPECT_FALSE(Overlay()->IsVisible());
  Overlay()->SetVisible(true);
  Own(0, 0);
  EXPECT_FALSE(Overlay()->IsVisible());
}

TEST_F(FrameOverlayWindowTest, HidesAndShowsTheWindowOnlyWhenItHidItItself) {
  Build(true);
  Own(2, 0);
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
  Own(1, 0);
  EXPECT_FALSE(IsWindowVisible(window.Handle()));
  Own(2, 0);
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
  // The user hid it: a show request leaves it hidden.
  ShowWindow(window.Handle(), SW_HIDE);
  Own(2, 0);
  EXPECT_FALSE(IsWindowVisible(window.Handle()));
  Own(7, 0);
  EXPECT_FALSE(IsWindowVisible(window.Handle()));
}

TEST_F(FrameOverlayWindowTest, AChildWindowIsNeverHidden) {
  const HWND parent =
      CreateWindowExA(0, "STATIC", "frame parent", WS_POPUP | WS_VISIBLE, 40, 40, 200, 160, nullptr,
                      nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  Build(true, parent);
  ASSERT_NE(window.Handle(), nullptr);
  Own(1, 0);
  EXPECT_TRUE(IsWindowVisible(window.Handle()));
  // Its overlay still follows the message.
  Own(0, 1);
  EXPECT_TRUE(Overlay()->IsVisible());
  window.DestroyWindow();
  DestroyWindow(parent);
}

}  // namespace
