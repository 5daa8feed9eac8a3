// A sample application window made of the main program's common skin only,
// as the application windows are made: its skin file loaded with the Base
// font handed down, title, minimise and close buttons, a centred text line,
// a wide button and the dimming overlay, anchored to the window's edges.
// Shown under Xvfb and resized by border drags sent as real messages; the
// window rectangle, the items and the back buffer are read back at each size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iostream>
#include <string>
#include <vector>

#include "FrameOverlayWindow.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemStatic.h"
#include "Threads.h"
#include "XvfbScreenshot.h"

namespace {

const ui::SkinItemDescriptor kBase = {"Base", 0};
const ui::SkinItemDescriptor kTitle = {"Title", 2000};
const ui::SkinItemDescriptor kMinimize = {"MinimizeButton", 2001};
const ui::SkinItemDescriptor kClose = {"CloseButton", 2002};
const ui::SkinItemDescriptor kMessage = {"Message", 2003};
const ui::SkinItemDescriptor kWide = {"WideButton", 2004};
const ui::SkinItemDescriptor kOverlay = {"Overlay", 2005};

UINT OwnMessage() {
  static const UINT message = RegisterWindowMessageA("OvSampleFrameWindow");
  return message;
}

class CSampleFrameWindow final
    : public ui::CFrameOverlayWindowBase<ui::CEndSessionWaitingWindow<ui::CResizableSkinWindow>>,
      public ui::CWindowBase {
 public:
  CSampleFrameWindow() : CFrameOverlayWindowBase(&kOverlay) {}

  // Throws CSkinWindowException.
  void Build() {
    LoadDefinition(definition, "SampleFrameWindow.txt", kBase, true);
    CreateStatic(kTitle.id, definition.GetSection(kTitle));
    ui::CreateButtonItem(definition, kMinimize, this);
    ui::CreateButtonItem(definition, kClose, this);
    CreateStatic(kMessage.id, definition.GetSection(kMessage));
    ui::CreateButtonItem(definition, kWide, this);
    CreateFrameOverlay(definition);
    AddItem(kTitle.id, 1, 1, 2, 1);
    AddItem(kMinimize.id, 2, 1, 2, 1);
    AddItem(kClose.id, 2, 1, 2, 1);
    AddItem(kMessage.id, 1, 1, 2, 1);
    AddItem(kWide.id, 3, 2, 3, 2);
  }

  UINT GetWindowMessage() const override { return OwnMessage(); }

  ui::SkinDefinition definition;
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

void Screenshot(const char* name) {
  std::string error;
  if (!ovtest::SaveXvfbScreenshot(name, &error))
    std::cerr << "no screenshot " << name << ": " << error << "\n";
}

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

// The pixels of a rectangle of the back buffer, row by row.
std::vector<COLORREF> Pixels(const lib::wfc::CDIB& dib, const RECT& r) {
  std::vector<COLORREF> out;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) out.push_back(dib.GetPixel(x, y));
  return out;
}

RECT Offset(RECT r, int dx, int dy) {
  OffsetRect(&r, dx, dy);
  return r;
}

// The Base picture's cells (ResizableWindowClass): DivPoint 16, 464, 40, 344
// of a 480 x 360 picture.
constexpr int kCornerWidth = 16;
constexpr int kTopHeight = 40;
constexpr int kBottomHeight = 16;

class SampleFrameWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string folder = lib::wfc::GetModuleFolder(GetModuleHandleA(nullptr));
    module = LoadLibraryA((folder + "skin_sample.dll").c_str());
    ASSERT_NE(module, nullptr);
    ui::SetSkinModule(module);
  }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
    ui::SetSkinModule(nullptr);
  }

  void Create() {
    window.Build();
    const RECT client = window.GetDefaultClientRect();
    ASSERT_NE(window.Create(0, nullptr, "sample frame", WS_POPUP | WS_VISIBLE, 100, 100,
                            client.right, client.bottom),
              nullptr);
    window.UpdateWindow();
    Pump();
  }

  LRESULT Send(UINT message, WPARAM wp, LPARAM lp) {
    return SendMessageA(window.Handle(), message, wp, lp);
  }

  LPARAM Client(POINT screen) {
    window.ScreenToClient(&screen);
    return MAKELPARAM(screen.x, screen.y);
  }

  // Press on a border at a screen point, move under the capture in two
  // steps, release at the end.
  void Drag(POINT from, POINT delta) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Client(from));
    EXPECT_EQ(GetCapture(), window.Handle());
    Send(WM_MOUSEMOVE, MK_LBUTTON, Client(POINT{from.x + delta.x / 2, from.y + delta.y / 2}));
    const POINT to = {from.x + delta.x, from.y + delta.y};
    Send(WM_MOUSEMOVE, MK_LBUTTON, Client(to));
    Send(WM_LBUTTONUP, 0, Client(to));
    Pump();
  }

  RECT WindowRect() {
    RECT r;
    window.GetWindowRect(&r);
    return r;
  }
  RECT ItemRect(const ui::SkinItemDescriptor& d) { return window.FindItem(d.id)->Rect(); }
  const lib::wfc::CDIB& Back() { return *window.BackBuffer(); }
  int Width() { return window.BackBuffer()->Width(); }
  int Height() { return window.BackBuffer()->Height(); }

  // The four corner cells of the nine-grid at the buffer's size.
  std::vector<std::vector<COLORREF>> Corners() {
    const int w = Width(), h = Height();
    return {Pixels(Back(), RECT{0, 0, kCornerWidth, kTopHeight}),
            Pixels(Back(), RECT{w - kCornerWidth, 0, w, kTopHeight}),
            Pixels(Back(), RECT{0, h - kBottomHeight, kCornerWidth, h}),
            Pixels(Back(), RECT{w - kCornerWidth, h - kBottomHeight, w, h})};
  }

  ovtest::CScreenLock screen_lock;   // taken before the window is made
  ovtest::CMessageBoxCapture boxes;  // a skin failure's box must not block
  HMODULE module = nullptr;
  CSampleFrameWindow window;
};

TEST_F(SampleFrameWindowTest, LoadsTheCommonSkinWithTheBaseFontAndCentredTexts) {
  Create();
  EXPECT_TRUE(boxes.Boxes().empty());
  // The Message section gives only a size; face and weight are the Base's.
  EXPECT_EQ(window.definition.Section("Message").GetValues("Font"),
            (ui::SkinValues{"ＭＳ Ｐゴシック", "16", "400"}));
  // The wide button names its class's font: untouched.
  EXPECT_EQ(window.definition.Section("WideButton").GetValues("Font"),
            (ui::SkinValues{"ＭＳ Ｐゴシック", "12", "400"}));
  for (const ui::SkinItemDescriptor* d : {&kTitle, &kMessage}) {
    auto* text = dynamic_cast<ui::CSkinWindowItemStatic*>(window.FindItem(d->id));
    ASSERT_NE(text, nullptr) << d->section;
    EXPECT_EQ(text->Format(), static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
    EXPECT_TRUE(text->Antialias());
  }
  EXPECT_EQ(window.Title(), "サンプル");
  EXPECT_EQ(ui::RegisteredOverlayMessage(window.Handle()), OwnMessage());
}

TEST_F(SampleFrameWindowTest, BorderDragsResizeWithAnchoredItemsAndUnscaledCorners) {
  Create();
  EXPECT_EQ(Str(WindowRect()), "100,100,580,460");
  ASSERT_EQ(Width(), 480);
  const auto corners = Corners();
  const RECT close = ItemRect(kClose);
  const RECT minimize = ItemRect(kMinimize);
  const RECT wide = ItemRect(kWide);
  const RECT message = ItemRect(kMessage);
  EXPECT_EQ(Str(close), "452,4,472,24");
  EXPECT_EQ(Str(wide), "160,300,320,324");
  EXPECT_EQ(Str(message), "24,120,456,144");
  const auto close_pixels = Pixels(Back(), close);
  const auto minimize_pixels = Pixels(Back(), minimize);
  const auto wide_pixels = Pixels(Back(), wide);
  const auto message_pixels = Pixels(Back(), message);
  // The middle of the line, as wide as the line is at the minimum size.
  const RECT middle = {message.left + 80, message.top, message.right - 80, message.bottom};
  const auto middle_pixels = Pixels(Back(), middle);
  // The text is drawn: its line holds more than the one background colour.
  EXPECT_NE(std::count(message_pixels.begin(), message_pixels.end(), message_pixels.front()),
            static_cast<std::ptrdiff_t>(message_pixels.size()));
  Screenshot("sample_frame_window_layout_size");

  // Bottom-right corner: 300 wider, 200 taller.
  Drag(POINT{579, 459}, POINT{300, 200});
  EXPECT_EQ(Str(WindowRect()), "100,100,880,660");
  ASSERT_EQ(Width(), 780);
  ASSERT_EQ(Height(), 560);
  EXPECT_EQ(window.DragZone(), ui::kZoneNone);
  EXPECT_EQ(Corners(), corners);
  // Right-anchored buttons keep their distance from the right edge; the
  // wide button stays centred and keeps its distance from the bottom; the
  // text line stretches and its centred text moves by half the growth.
  EXPECT_EQ(Str(ItemRect(kClose)), Str(Offset(close, 300, 0)));
  EXPECT_EQ(Str(ItemRect(kWide)), Str(Offset(wide, 150, 200)));
  EXPECT_EQ(Str(ItemRect(kMessage)), "24,120,756,144");
  EXPECT_EQ(Pixels(Back(), Offset(close, 300, 0)), close_pixels);
  EXPECT_EQ(Pixels(Back(), Offset(minimize, 300, 0)), minimize_pixels);
  EXPECT_EQ(Pixels(Back(), Offset(wide, 150, 200)), wide_pixels);
  EXPECT_EQ(Pixels(Back(), Offset(message, 150, 0)), message_pixels);
  Screenshot("sample_frame_window_grown");

  // The overlay covers the whole client at the new size and dims it.
  const COLORREF centre = Back().GetPixel(390, 200);
  Send(OwnMessage(), 0, 1);
  EXPECT_EQ(Str(ItemRect(kOverlay)), "0,0,780,560");
  EXPECT_TRUE(window.FindItem(kOverlay.id)->IsVisible());
  EXPECT_NE(Back().GetPixel(390, 200), centre);
  Screenshot("sample_frame_window_overlay");
  Send(OwnMessage(), 0, 0);
  EXPECT_EQ(Back().GetPixel(390, 200), centre);

  // Top-left corner far past the minimum: stops at 320 x 240.
  Drag(POINT{100, 100}, POINT{1000, 1000});
  EXPECT_EQ(Str(WindowRect()), "560,420,880,660");
  ASSERT_EQ(Width(), 320);
  EXPECT_EQ(Corners(), corners);
  EXPECT_EQ(Str(ItemRect(kClose)), Str(Offset(close, -160, 0)));
  EXPECT_EQ(Pixels(Back(), Offset(close, -160, 0)), close_pixels);
  // The whole text still fits, centred in the narrower line.
  EXPECT_EQ(Pixels(Back(), Offset(middle, -80, 0)), middle_pixels);
  Screenshot("sample_frame_window_minimum");
}

}  // namespace
