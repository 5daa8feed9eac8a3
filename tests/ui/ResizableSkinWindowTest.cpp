// Resizable skinned windows under Xvfb, resized by synthesised border drags
// (press on a border, moves under the capture, release): the window
// rectangle, the anchored items and the stretched Base picture read back
// from the back buffer and the screen.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "DC.h"
#include "MemoryImageSource.h"
#include "MessageBoxCapture.h"
#include "ResizableSkinWindow.h"
#include "SkinException.h"
#include "SkinItemResources.h"
#include "SkinWindowItemButton.h"
#include "ScreenLock.h"
#include "XvfbScreenshot.h"

namespace {

using lib::wfc::CDIB;

constexpr COLORREF kTopLeft = RGB(200, 0, 0);
constexpr COLORREF kTopRight = RGB(0, 200, 0);
constexpr COLORREF kBottomLeft = RGB(0, 0, 200);
constexpr COLORREF kBottomRight = RGB(200, 200, 0);
constexpr COLORREF kEdge = RGB(90, 90, 90);
constexpr COLORREF kCentre = RGB(20, 40, 60);
constexpr COLORREF kButton = RGB(250, 130, 10);

void FillRect(CDIB& dib, const RECT& r, COLORREF colour) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dib.SetPixel(x, y, colour);
}

// A 60 x 60 picture cut at 10 and 50 both ways: coloured corners, grey
// edges, a dark centre.
void MakePictures() {
  static bool made = false;
  if (made) return;
  made = true;
  CDIB base;
  base.Create(60, 60);
  base.Fill(kEdge);
  FillRect(base, RECT{10, 10, 50, 50}, kCentre);
  FillRect(base, RECT{0, 0, 10, 10}, kTopLeft);
  FillRect(base, RECT{50, 0, 60, 10}, kTopRight);
  FillRect(base, RECT{0, 50, 10, 60}, kBottomLeft);
  FillRect(base, RECT{50, 50, 60, 60}, kBottomRight);
  uitest::CMemoryImageSource::Installed().Put("RszBase.png", std::move(base));
  CDIB strip;
  strip.Create(40, 16);
  strip.Fill(kButton);
  uitest::CMemoryImageSource::Installed().Put("RszStrip.png", std::move(strip));
}

ui::ButtonLook SolidButton(int x, int y) {
  ui::ButtonLook look;
  look.x = x;
  look.y = y;
  look.width = 40;
  look.height = 16;
  for (auto& picture : look.pictures) {
    picture.name = "RszStrip.png";
    picture.rect = RECT{0, 0, 40, 16};
  }
  return look;
}

class CTestResizableWindow final : public ui::CResizableSkinWindow {
 public:
  int exits = 0;
  std::vector<UINT> sizing_edges;

 protected:
  void OnExitSizeMove() override {
    ++exits;
    CResizableSkinWindow::OnExitSizeMove();
  }
  bool OnSizing(UINT edge, RECT* rect) override {
    sizing_edges.push_back(edge);
    return CResizableSkinWindow::OnSizing(edge, rect);
  }
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

// The picture is for people to look at; xwd walking the root window can
// trip over a window another test process destroys meanwhile, which says
// nothing about this window.
void Screenshot(const char* name) {
  std::string error;
  if (!ovtest::SaveXvfbScreenshot(name, &error))
    std::cerr << "no screenshot " << name << ": " << error << "\n";
}

std::string Str(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

constexpr int kCorner = 1001;  // anchored to the bottom-right
constexpr int kWide = 1002;    // stretched between left and right
constexpr int kCentred = 1003;

class ResizableSkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakePictures();
    window.GetItemResourceObject()->Acquire("RszStrip.png");
  }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }

  // A 200 x 160 layout at 100, 100 with a 4-pixel border and a 20-pixel
  // caption; the three buttons anchored.
  HWND Create(SIZE minimum = SIZE{120, 100}) {
    window.SetBaseImage("RszBase.png", RECT{0, 0, 60, 60});
    window.SetGrid(10, 10, 50, 50, minimum);
    window.SetBorderWidth(4);
    window.SetCaptionHeight(20);
    window.SetLayoutSize(SIZE{200, 160});
    window.SetUseRegion(true);
    Add(kCorner, 150, 134);
    Add(kWide, 20, 60);
    Add(kCentred, 80, 100);
    window.AddItem(kCorner, 2, 2, 2, 2);
    window.AddItem(kWide, 1, 1, 2, 1);
    window.AddItem(kCentred, 3, 1, 3, 1);
    const RECT client = window.GetDefaultClientRect();
    const HWND hwnd = window.Create(0, nullptr, "resizable test", WS_POPUP | WS_VISIBLE, 100, 100,
                                    client.right, client.bottom);
    window.UpdateWindow();
    Pump();
    return hwnd;
  }

  void Add(int id, int x, int y) {
    window.AddItem(
        std::make_unique<ui::CSkinWindowItemButton>(&window, id, SolidButton(x, y), nullptr));
  }

  LRESULT Send(UINT message, WPARAM wp, LPARAM lp) {
    return SendMessageA(window.Handle(), message, wp, lp);
  }

  // Client coordinates of a screen point at the time of the message, as
  // the system gives them.
  LPARAM Client(POINT screen) {
    window.ScreenToClient(&screen);
    return MAKELPARAM(screen.x, screen.y);
  }

  // Press at a screen point, move by the deltas in turn, release at the
  // last.
  void Drag(POINT from, std::initializer_list<POINT> moves) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Client(from));
    POINT at = from;
    for (const POINT& delta : moves) {
      at = POINT{from.x + delta.x, from.y + delta.y};
      Send(WM_MOUSEMOVE, MK_LBUTTON, Client(at));
    }
    Send(WM_LBUTTONUP, 0, Client(at));
    Pump();
  }

  RECT WindowRect() {
    RECT r;
    window.GetWindowRect(&r);
    return r;
  }
  RECT ItemRect(int id) { return window.FindItem(id)->Rect(); }
  COLORREF Pixel(int x, int y) { return window.BackBuffer()->GetPixel(x, y); }

  // Corners unscaled, edges and centre stretched, at the buffer's size.
  void ExpectNineGrid() {
    const int w = window.BackBuffer()->Width();
    const int h = window.BackBuffer()->Height();
    struct Probe {
      int x, y;
      COLORREF colour;
    };
    const Probe probes[] = {{0, 0, kTopLeft},
                            {9, 9, kTopLeft},
                            {w - 1, 0, kTopRight},
                            {w - 10, 9, kTopRight},
                            {0, h - 1, kBottomLeft},
                            {9, h - 10, kBottomLeft},
                            {w - 1, h - 1, kBottomRight},
                            {w - 10, h - 10, kBottomRight},
                            {10, 0, kEdge},
                            {w - 11, 9, kEdge},
                            {0, h / 2, kEdge},
                            {w - 1, h / 2, kEdge},
                            {w / 2, h - 1, kEdge},
                            {10, 10, kCentre},
                            {w / 2, h / 2 - 30, kCentre}};
    for (const Probe& p : probes)
      EXPECT_EQ(Pixel(p.x, p.y), p.colour) << p.x << "," << p.y << " of " << w << "x" << h;
  }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  CTestResizableWindow window;
};

TEST_F(ResizableSkinWindowTest, DraggingTheBottomRightCornerGrowsTheWindowAndMovesAnchoredItems) {
  Create();
  EXPECT_EQ(Str(WindowRect()), "100,100,300,260");
  ExpectNineGrid();
  Screenshot("resizable_window_layout_size");

  Drag(POINT{298, 258}, {{10, 10}, {60, 40}});
  EXPECT_EQ(Str(WindowRect()), "100,100,360,300");
  EXPECT_EQ(window.DragZone(), ui::kZoneNone);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(window.exits, 1);
  ASSERT_FALSE(window.sizing_edges.empty());
  EXPECT_EQ(window.sizing_edges.back(), static_cast<UINT>(WMSZ_BOTTOMRIGHT));
  ASSERT_EQ(window.BackBuffer()->Width(), 260);
  ASSERT_EQ(window.BackBuffer()->Height(), 200);
  ExpectNineGrid();
  // Far anchors keep the distance from the right and bottom; the wide
  // button stretches; the centred one moves by half the growth.
  EXPECT_EQ(Str(ItemRect(kCorner)), "210,174,250,190");
  EXPECT_EQ(Str(ItemRect(kWide)), "20,60,120,76");
  EXPECT_EQ(Str(ItemRect(kCentred)), "110,100,150,116");
  EXPECT_EQ(Pixel(215, 180), kButton);
  Screenshot("resizable_window_grown");

  // Back to the layout size: everything where it started.
  Drag(POINT{358, 298}, {{-60, -40}});
  EXPECT_EQ(Str(WindowRect()), "100,100,300,260");
  EXPECT_EQ(Str(ItemRect(kCorner)), "150,134,190,150");
  EXPECT_EQ(Str(ItemRect(kCentred)), "80,100,120,116");
}

// Redrawing a corner of an item draws the background only there: the rest of
// the item stays in the buffer and on the screen, however often the corner
// is drawn (a background stretched over the whole item used to wipe it).
TEST_F(ResizableSkinWindowTest, PartialRedrawOfAnItemKeepsTheRestOfIt) {
  const HWND hwnd = Create();
  ASSERT_EQ(Str(ItemRect(kWide)), "20,60,60,76");
  for (int i = 0; i < 3; ++i) window.InvalidateItemRect(24, 64, 30, 70, false);
  window.UpdateWindow();
  // Everything shown again from the buffer, as when another window passes.
  window.InvalidateRect(nullptr, false);
  window.UpdateWindow();
  lib::wfc::CClientDC screen(hwnd);
  const POINT probes[] = {{26, 66}, {21, 61}, {58, 74}, {40, 62}, {21, 74}};
  for (const POINT& p : probes) {
    EXPECT_EQ(Pixel(p.x, p.y), kButton) << "buffer " << p.x << "," << p.y;
    EXPECT_EQ(::GetPixel(screen, p.x, p.y), kButton) << "screen " << p.x << "," << p.y;
  }
  EXPECT_EQ(Pixel(19, 66), kCentre);
  EXPECT_EQ(Pixel(61, 66), kCentre);
}

TEST_F(ResizableSkinWindowTest, DraggingTheTopLeftCornerStopsAtTheMinimumSize) {
  Create();
  Drag(POINT{101, 101}, {{-20, -10}});
  EXPECT_EQ(Str(WindowRect()), "80,90,300,260");
  Drag(POINT{81, 91}, {{500, 500}});
  EXPECT_EQ(Str(WindowRect()), "180,160,300,260");
  EXPECT_EQ(window.sizing_edges.back(), static_cast<UINT>(WMSZ_TOPLEFT));
  ExpectNineGrid();
  EXPECT_EQ(window.BackBuffer()->Width(), 120);
  Screenshot("resizable_window_minimum");
}

TEST_F(ResizableSkinWindowTest, EachBorderMovesOnlyItsEdges) {
  Create();
  struct Case {
    POINT from;
    POINT delta;
    const char* rect;
  };
  // Each from the rectangle the previous one left.
  const Case cases[] = {
      {{200, 101}, {5, -15}, "100,85,300,260"}, {{299, 150}, {25, 9}, "100,85,325,260"},
      {{200, 259}, {0, 11}, "100,85,325,271"},  {{100, 150}, {-7, 3}, "93,85,325,271"},
      {{324, 86}, {-5, 5}, "93,90,320,271"},    {{94, 270}, {6, -1}, "99,90,320,270"}};
  for (const Case& c : cases) {
    Drag(c.from, {c.delta});
    EXPECT_EQ(Str(WindowRect()), c.rect) << c.from.x << "," << c.from.y;
  }
}

TEST_F(ResizableSkinWindowTest, HitTestGivesClientForBordersCaptionBelowTheTopAndItemsWin) {
  Create();
  struct Case {
    POINT screen;
    LRESULT hit;
    int zone;
  };
  const Case cases[] = {
      {{100, 100}, HTCLIENT, ui::kZoneTopLeft},    {{200, 110}, HTCAPTION, ui::kZoneCaption},
      {{200, 118}, HTCAPTION, ui::kZoneInside},  // the skinned caption
      {{299, 180}, HTCLIENT, ui::kZoneRight},      {{200, 200}, HTCLIENT, ui::kZoneInside},
      {{299, 259}, HTCLIENT, ui::kZoneBottomRight}};
  for (const Case& c : cases) {
    EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(c.screen.x, c.screen.y)), c.hit)
        << c.screen.x << "," << c.screen.y;
    POINT client = c.screen;
    window.ScreenToClient(&client);
    EXPECT_EQ(window.ZoneAt(client), c.zone) << c.screen.x << "," << c.screen.y;
  }
  // An item over the border keeps the point.
  Add(1004, 0, 100);
  EXPECT_EQ(window.ZoneAt(POINT{1, 105}), ui::kZoneInside);
  Drag(POINT{101, 205}, {{-30, 0}});
  EXPECT_EQ(Str(WindowRect()), "100,100,300,260");
}

TEST_F(ResizableSkinWindowTest, NoBorderOrResizingOffMeansNoDrag) {
  Create();
  window.SetBorderWidth(0);
  EXPECT_EQ(window.ZoneAt(POINT{0, 0}), ui::kZoneInside);
  Drag(POINT{100, 100}, {{-30, -30}});
  EXPECT_EQ(Str(WindowRect()), "100,100,300,260");

  window.SetBorderWidth(4);
  window.SetResizingEnabled(false);
  Drag(POINT{299, 259}, {{30, 30}});
  EXPECT_EQ(Str(WindowRect()), "100,100,300,260");
  EXPECT_EQ(window.exits, 0);
}

TEST_F(ResizableSkinWindowTest, LosingTheCaptureEndsTheDrag) {
  Create();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, Client(POINT{299, 259}));
  EXPECT_EQ(window.DragZone(), ui::kZoneBottomRight);
  EXPECT_EQ(GetCapture(), window.Handle());
  Send(WM_MOUSEMOVE, MK_LBUTTON, Client(POINT{309, 269}));
  EXPECT_EQ(Str(WindowRect()), "100,100,310,270");
  ReleaseCapture();
  EXPECT_EQ(window.DragZone(), ui::kZoneNone);
  EXPECT_EQ(window.exits, 1);
  Send(WM_MOUSEMOVE, MK_LBUTTON, Client(POINT{350, 350}));
  Send(WM_LBUTTONUP, 0, Client(POINT{350, 350}));
  EXPECT_EQ(Str(WindowRect()), "100,100,310,270");
}

TEST_F(ResizableSkinWindowTest, SizingLargerThanTheScreenAllowsIsCutOnTheDraggedSide) {
  Create();
  const int cx = GetSystemMetrics(SM_CXMAXTRACK);
  RECT r = {0, 0, cx + 100, 50};
  EXPECT_EQ(Send(WM_SIZING, WMSZ_LEFT, reinterpret_cast<LPARAM>(&r)), TRUE);
  EXPECT_EQ(Str(r), "100,0," + std::to_string(cx + 100) + ",50");
}

TEST(ResizableSkinWindowGridTest, DividingPointsOutsideTheBasePictureAreRefused) {
  MakePictures();
  ovtest::CMessageBoxCapture boxes;
  CTestResizableWindow window;
  window.SetBaseImage("RszBase.png", RECT{0, 0, 60, 60});
  EXPECT_THROW(window.SetGrid(10, 10, 70, 50, SIZE{0, 0}), ui::CSkinWindowException);
  EXPECT_THROW(window.SetGrid(50, 10, 10, 50, SIZE{0, 0}), ui::CSkinWindowException);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  window.SetGrid(10, 20, 50, 30, SIZE{0, 0});
  EXPECT_EQ(window.MinimumSize().cx, 20);
  EXPECT_EQ(window.MinimumSize().cy, 50);
  window.SetLayoutSize(SIZE{10, 100});
  EXPECT_EQ(Str(window.GetDefaultClientRect()), "0,0,20,100");
}

}  // namespace
