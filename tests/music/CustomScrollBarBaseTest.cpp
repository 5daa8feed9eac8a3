// The scroll bar engine on a real control under Xvfb: the control's frame
// loses its system bars and gains ours, presses send the control the
// requests the system bars would (with arrow repeat and thumb snap-back),
// right and middle clicks are swallowed, the parent's custom drawing lands
// in the frame's pixels, and a destroyed control leaves nothing behind.
#include <gtest/gtest.h>

#include <vector>

#include "CustomScrollBarBase.h"
#include "ScreenLock.h"
#include "XvfbScreenshot.h"

namespace {

using ui::CCustomScrollBarBase;

struct Request {
  UINT message;
  int code;
  int pos;
};

// The control: a plain window that scrolls through the engine and records
// every request and the non-client clicks that reach it.
struct ControlLog {
  std::vector<Request> requests;
  int nc_clicks = 0;
};
ControlLog g_control;

// The parent: draws each announced part in a colour of its own and keeps
// the rectangles.
struct DrawLog {
  bool custom = false;
  std::vector<ui::CustomScrollBarDraw> items;
};
DrawLog g_draw;

const COLORREF kPartColour[] = {RGB(255, 0, 0),   RGB(0, 255, 0), RGB(0, 0, 255),
                                RGB(255, 255, 0), RGB(0, 0, 0),   RGB(0, 255, 255)};

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_VSCROLL:
    case WM_HSCROLL: {
      const int code = LOWORD(wp);
      g_control.requests.push_back({message, code, static_cast<short>(HIWORD(wp))});
      const int bar = message == WM_VSCROLL ? SB_VERT : SB_HORZ;
      int pos = CCustomScrollBarBase::GetScrollPos(window, bar);
      if (code == SB_LINEDOWN) ++pos;
      if (code == SB_LINEUP) --pos;
      if (code == SB_PAGEDOWN) pos += 10;
      if (code == SB_PAGEUP) pos -= 10;
      if (code == SB_THUMBPOSITION) pos = static_cast<short>(HIWORD(wp));
      CCustomScrollBarBase::SetScrollPos(window, bar, pos, TRUE);
      return 0;
    }
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONUP:
      ++g_control.nc_clicks;
      return 0;
  }
  return DefWindowProcW(window, message, wp, lp);
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_NOTIFY) {
    auto* draw = reinterpret_cast<ui::CustomScrollBarDraw*>(lp);
    if (draw->hdr.code != ui::kCustomScrollBarDrawCode) return 0;
    if (draw->stage == CDDS_PREPAINT) return g_draw.custom ? CDRF_SKIPDEFAULT : 0;
    if (draw->stage == CDDS_ITEMPREPAINT) {
      g_draw.items.push_back(*draw);
      const COLORREF colour = draw->item < 6 ? kPartColour[draw->item] : RGB(128, 128, 128);
      HBRUSH brush = CreateSolidBrush(colour);
      FillRect(draw->dc, &draw->rect, brush);
      DeleteObject(brush);
      return CDRF_SKIPDEFAULT;
    }
    return 0;
  }
  return DefWindowProcW(window, message, wp, lp);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  WNDCLASSW cls = {};
  cls.lpfnWndProc = ControlProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = L"OvScrollTestControl";
  RegisterClassW(&cls);
  cls.lpfnWndProc = ParentProc;
  cls.lpszClassName = L"OvScrollTestParent";
  RegisterClassW(&cls);
  done = true;
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

class CustomScrollBarBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterClasses();
    g_control = ControlLog();
    g_draw = DrawLog();
    _parent = CreateWindowExW(0, L"OvScrollTestParent", L"scroll", WS_POPUP | WS_VISIBLE, 50, 50,
                              300, 260, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(_parent, nullptr);
    _control =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"OvScrollTestControl", L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 10, 10, 200, 200, _parent,
                        reinterpret_cast<HMENU>(77), GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(_control, nullptr);
    ASSERT_EQ(_engine.Install(_control), 1);
    ASSERT_TRUE(CCustomScrollBarBase::SetSize(_control, SB_BOTH, 16, 16));
    SetRange(SB_VERT, 0, 99, 10, 0);
    SetRange(SB_HORZ, 0, 99, 10, 0);
    Pump(50);
  }
  void TearDown() override {
    if (GetCapture()) ReleaseCapture();
    if (_parent) DestroyWindow(_parent);
  }

  void SetRange(int bar, int min, int max, UINT page, int pos) {
    SCROLLINFO info = {sizeof(info), SIF_ALL, min, max, page, pos, 0};
    CCustomScrollBarBase::SetScrollInfo(_control, bar, &info, TRUE);
  }

  // A screen point at (along, across) inside the vertical bar, measured from
  // the bar's top-left corner.
  POINT VerticalBarPoint(int along) const {
    RECT frame, client;
    GetWindowRect(_control, &frame);
    GetClientRect(_control, &client);
    POINT corner = {client.right, 0};
    ClientToScreen(_control, &corner);
    return {corner.x + 8, corner.y + along};
  }
  LPARAM Lp(POINT p) const { return MAKELPARAM(p.x, p.y); }
  LPARAM ClientLp(POINT screen) const {
    ScreenToClient(_control, &screen);
    return MAKELPARAM(screen.x, screen.y);
  }
  int Count(int code) const {
    int n = 0;
    for (const auto& r : g_control.requests) n += r.code == code;
    return n;
  }

  // Cases here move the real pointer: no other window case may run meanwhile.
  ovtest::CScreenLock _screen_lock;
  HWND _parent = nullptr;
  HWND _control = nullptr;
  CCustomScrollBarBase _engine;
};

TEST_F(CustomScrollBarBaseTest, FrameMakesRoomAndHitTestsOurBars) {
  RECT client;
  GetClientRect(_control, &client);
  // 200 wide minus two 2-pixel client edges minus one 16-pixel bar.
  EXPECT_EQ(client.right, 200 - 4 - 16);
  EXPECT_EQ(client.bottom, 200 - 4 - 16);
  EXPECT_EQ(SendMessageW(_control, WM_NCHITTEST, 0, Lp(VerticalBarPoint(50))), HTVSCROLL);
  EXPECT_EQ(_engine.Install(_control), 0);
  EXPECT_TRUE(CCustomScrollBarBase::IsInstalled(_control));

  // A page larger than the range hides the bar and gives the room back.
  SetRange(SB_VERT, 0, 99, 200, 0);
  GetClientRect(_control, &client);
  EXPECT_EQ(client.right, 200 - 4);
  SetRange(SB_VERT, 0, 99, 10, 0);
  GetClientRect(_control, &client);
  EXPECT_EQ(client.right, 200 - 4 - 16);
}

TEST_F(CustomScrollBarBaseTest, ArrowRepeatsWhileTheCursorStaysOnIt) {
  // The second arrow: the last 16 pixels of the 180-pixel bar.
  const POINT arrow = VerticalBarPoint(180 - 8);
  SetCursorPos(arrow.x, arrow.y);
  SendMessageW(_control, WM_NCLBUTTONDOWN, HTVSCROLL, Lp(arrow));
  ASSERT_EQ(Count(SB_LINEDOWN), 1);
  EXPECT_EQ(GetCapture(), _control);
  Pump(250);
  EXPECT_EQ(Count(SB_LINEDOWN), 1) << "no repeat before 300 ms";
  Pump(750);
  // One at once, one at 300 ms, then one every 55 ms: 14 within a second.
  EXPECT_GE(Count(SB_LINEDOWN), 9);
  EXPECT_LE(Count(SB_LINEDOWN), 16);

  // Off the arrow nothing repeats.
  const POINT away = VerticalBarPoint(40);
  SetCursorPos(away.x, away.y);
  SendMessageW(_control, WM_MOUSEMOVE, 0, ClientLp(away));
  Pump(80);
  const int held = Count(SB_LINEDOWN);
  Pump(300);
  EXPECT_EQ(Count(SB_LINEDOWN), held);

  SendMessageW(_control, WM_LBUTTONUP, 0, ClientLp(away));
  EXPECT_EQ(Count(SB_ENDSCROLL), 1);
  EXPECT_NE(GetCapture(), _control);
  EXPECT_EQ(CCustomScrollBarBase::GetScrollPos(_control, SB_VERT), held);
}

TEST_F(CustomScrollBarBaseTest, ThumbDragTracksAndSnapsBack) {
  SetRange(SB_VERT, 0, 99, 10, 0);
  // Track 16..164 (148 pixels), thumb 15 pixels at its start.
  const POINT grab = VerticalBarPoint(16 + 5);
  SendMessageW(_control, WM_NCLBUTTONDOWN, HTVSCROLL, Lp(grab));
  EXPECT_TRUE(CCustomScrollBarBase::IsThumbTracking(_control));
  POINT moved = grab;
  moved.y += 67;  // half of the 133 free pixels
  SendMessageW(_control, WM_MOUSEMOVE, MK_LBUTTON, ClientLp(moved));
  ASSERT_FALSE(g_control.requests.empty());
  EXPECT_EQ(g_control.requests.back().code, SB_THUMBTRACK);
  EXPECT_EQ(g_control.requests.back().pos, 45);

  POINT across = moved;
  across.x -= 60;  // beyond 24 pixels across: back to where the drag began
  SendMessageW(_control, WM_MOUSEMOVE, MK_LBUTTON, ClientLp(across));
  EXPECT_EQ(g_control.requests.back().code, SB_THUMBTRACK);
  EXPECT_EQ(g_control.requests.back().pos, 0);
  SendMessageW(_control, WM_MOUSEMOVE, MK_LBUTTON, ClientLp(moved));
  EXPECT_EQ(g_control.requests.back().pos, 45);
  POINT below = moved;
  below.y = VerticalBarPoint(180 + 47).y;  // past the bar's end, within 48
  SendMessageW(_control, WM_MOUSEMOVE, MK_LBUTTON, ClientLp(below));
  EXPECT_EQ(g_control.requests.back().pos, 90);
  below.y += 2;  // 49 past the end: snaps back
  SendMessageW(_control, WM_MOUSEMOVE, MK_LBUTTON, ClientLp(below));
  EXPECT_EQ(g_control.requests.back().pos, 0);
  SendMessageW(_control, WM_MOUSEMOVE, MK_LBUTTON, ClientLp(moved));
  EXPECT_EQ(g_control.requests.back().pos, 45);

  SendMessageW(_control, WM_LBUTTONUP, 0, ClientLp(moved));
  ASSERT_GE(g_control.requests.size(), 2u);
  const Request& position = g_control.requests[g_control.requests.size() - 2];
  EXPECT_EQ(position.code, SB_THUMBPOSITION);
  EXPECT_EQ(position.pos, 45);
  EXPECT_EQ(g_control.requests.back().code, SB_ENDSCROLL);
  EXPECT_FALSE(CCustomScrollBarBase::IsThumbTracking(_control));
  EXPECT_EQ(CCustomScrollBarBase::GetScrollPos(_control, SB_VERT), 45);
}

TEST_F(CustomScrollBarBaseTest, ThumbClickedWithoutMovingKeepsThePosition) {
  SetRange(SB_VERT, 0, 99, 10, 40);
  // Thumb start 16 + MulDiv(40, 133, 90) = 75.
  const POINT grab = VerticalBarPoint(80);
  SendMessageW(_control, WM_NCLBUTTONDOWN, HTVSCROLL, Lp(grab));
  ASSERT_TRUE(CCustomScrollBarBase::IsThumbTracking(_control));
  SendMessageW(_control, WM_LBUTTONUP, 0, ClientLp(grab));
  ASSERT_EQ(g_control.requests.size(), 2u);
  EXPECT_EQ(g_control.requests[0].code, SB_THUMBPOSITION);
  EXPECT_EQ(g_control.requests[0].pos, 40);
  EXPECT_EQ(CCustomScrollBarBase::GetScrollPos(_control, SB_VERT), 40);
}

TEST_F(CustomScrollBarBaseTest, RightAndMiddleClicksAreSwallowed) {
  const POINT arrow = VerticalBarPoint(8);
  for (UINT message : {WM_NCRBUTTONDOWN, WM_NCRBUTTONUP, WM_NCMBUTTONDOWN, WM_NCMBUTTONUP})
    SendMessageW(_control, message, HTVSCROLL, Lp(arrow));
  EXPECT_TRUE(g_control.requests.empty());
  EXPECT_EQ(g_control.nc_clicks, 0);
  // Outside the bars they still reach the control.
  SendMessageW(_control, WM_NCRBUTTONDOWN, HTBORDER, Lp(arrow));
  EXPECT_EQ(g_control.nc_clicks, 1);
}

TEST_F(CustomScrollBarBaseTest, CustomDrawingLandsInTheFrame) {
  g_draw.custom = true;
  SetRange(SB_VERT, 0, 99, 10, 45);
  g_draw.items.clear();
  RedrawWindow(_control, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  bool thumb_seen = false;
  bool corner_seen = false;
  for (const auto& item : g_draw.items) {
    EXPECT_EQ(item.hdr.hwndFrom, _control);
    EXPECT_EQ(item.hdr.idFrom, 77u);
    if (item.bar == SB_VERT && item.item == 5) {
      thumb_seen = true;
      // Window coordinates: the bar starts below the 2-pixel edge.
      EXPECT_EQ(item.rect.top, 2 + 16 + 67);
      EXPECT_EQ(item.rect.bottom - item.rect.top, 15);
      HDC dc = GetWindowDC(_control);
      EXPECT_EQ(GetPixel(dc, item.rect.left + 3, item.rect.top + 5), kPartColour[5]);
      EXPECT_EQ(GetPixel(dc, item.rect.left + 3, item.rect.top - 5), kPartColour[2]);
      ReleaseDC(_control, dc);
    }
    if (item.bar == SB_BOTH) {
      corner_seen = true;
      EXPECT_EQ(item.item, ui::kCustomScrollBarCorner);
    }
  }
  EXPECT_TRUE(thumb_seen);
  EXPECT_TRUE(corner_seen);
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("custom_scroll_bar_engine", &error)) << error;
}

TEST_F(CustomScrollBarBaseTest, DestroyedWhilePressedLeavesNoPress) {
  const POINT arrow = VerticalBarPoint(8);
  SendMessageW(_control, WM_NCLBUTTONDOWN, HTVSCROLL, Lp(arrow));
  ASSERT_EQ(GetCapture(), _control);
  const HWND gone = _control;
  DestroyWindow(_control);
  EXPECT_FALSE(CCustomScrollBarBase::IsInstalled(gone));
  EXPECT_EQ(CCustomScrollBarBase::Uninstall(gone), E_FAIL);

  // A new control is pressed and released on its own.
  _control = CreateWindowExW(0, L"OvScrollTestControl", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 10,
                             10, 200, 200, _parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  CCustomScrollBarBase second;
  ASSERT_EQ(second.Install(_control), 1);
  CCustomScrollBarBase::SetSize(_control, SB_BOTH, 16, 16);
  SetRange(SB_VERT, 0, 99, 10, 0);
  g_control.requests.clear();
  const POINT down = VerticalBarPoint(200 - 8);
  SendMessageW(_control, WM_NCLBUTTONDOWN, HTVSCROLL, Lp(down));
  SendMessageW(_control, WM_LBUTTONUP, 0, ClientLp(down));
  EXPECT_EQ(Count(SB_LINEDOWN), 1);
  EXPECT_EQ(Count(SB_ENDSCROLL), 1);
  DestroyWindow(_control);
}

}  // namespace
