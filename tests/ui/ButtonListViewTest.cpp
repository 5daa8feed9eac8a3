// The button list view in a real window under Xvfb, fed by a fake table and
// heard by a recording listener: hits at computed points, clicks only on the
// same cell, header clicks, sub-buttons, column fitting and resizing, the
// drag threshold and the drop, scrolling through the scroll bar item, what
// the back buffer shows, and what a paint asks of the table.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ButtonListView.h"
#include "MemoryImageSource.h"
#include "ScreenLock.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "SkinWindowItemScrollBar.h"
#include "StringUtil.h"
#include "XvfbScreenshot.h"

namespace {

using lib::wfc::CDIB;
using Events = std::vector<std::string>;

constexpr char kParts[] = "LvParts.png";
constexpr COLORREF kBase = RGB(20, 40, 60);
constexpr COLORREF kFace[4] = {RGB(10, 20, 200), RGB(70, 80, 210), RGB(40, 50, 220),
                               RGB(100, 110, 230)};
constexpr COLORREF kHeader[3] = {RGB(200, 10, 10), RGB(210, 60, 60), RGB(220, 110, 110)};
constexpr COLORREF kHeaderPushed[3] = {RGB(10, 200, 10), RGB(60, 210, 60), RGB(110, 220, 110)};
constexpr COLORREF kActive[3] = {RGB(250, 250, 0), RGB(240, 240, 20), RGB(230, 230, 40)};
constexpr COLORREF kRow0 = RGB(180, 180, 180);
constexpr COLORREF kRow1 = RGB(150, 150, 150);
constexpr COLORREF kOn = RGB(255, 128, 0);
constexpr COLORREF kOff = RGB(0, 128, 255);
constexpr COLORREF kOnDisabled = RGB(128, 64, 0);
constexpr COLORREF kOffDisabled = RGB(0, 64, 128);
constexpr COLORREF kIcon = RGB(0, 255, 128);
constexpr COLORREF kInk = RGB(0, 0, 96);
constexpr COLORREF kTrack = RGB(90, 90, 90);
constexpr COLORREF kArrow = RGB(60, 0, 60);

void FillRect(CDIB& dib, const RECT& r, COLORREF colour) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dib.SetPixel(x, y, colour);
}

// Faces at y 0 (16 x 16, x 0..63); header slices at y 16..36 (x 0-4-26-30),
// pushed at 36..56; the active row 56..72, two normal rows 72..88 and
// 88..104 (x 0-4-26-30); labels 8 x 8 at x 64, 72, 80, 88; an icon 10 x 10
// at x 96; scroll bar parts at y 104.
void MakePictures() {
  static bool made = false;
  if (made) return;
  made = true;
  CDIB base;
  base.Create(360, 280);
  base.Fill(kBase);
  uitest::CMemoryImageSource::Installed().Put("LvBase.png", std::move(base));
  CDIB p;
  p.Create(128, 128);
  p.Fill(lib::wfc::kMagenta);
  for (int s = 0; s < 4; ++s) FillRect(p, RECT{16 * s, 0, 16 * s + 16, 16}, kFace[s]);
  const int xs[4] = {0, 4, 26, 30};
  for (int k = 0; k < 3; ++k) {
    FillRect(p, RECT{xs[k], 16, xs[k + 1], 36}, kHeader[k]);
    FillRect(p, RECT{xs[k], 36, xs[k + 1], 56}, kHeaderPushed[k]);
    FillRect(p, RECT{xs[k], 56, xs[k + 1], 72}, kActive[k]);
  }
  FillRect(p, RECT{0, 72, 30, 88}, kRow0);
  FillRect(p, RECT{0, 88, 30, 104}, kRow1);
  FillRect(p, RECT{64, 0, 72, 8}, kOn);
  FillRect(p, RECT{72, 0, 80, 8}, kOff);
  FillRect(p, RECT{80, 0, 88, 8}, kOnDisabled);
  FillRect(p, RECT{88, 0, 96, 8}, kOffDisabled);
  FillRect(p, RECT{96, 0, 106, 10}, kIcon);
  FillRect(p, RECT{0, 104, 16, 120}, kTrack);
  FillRect(p, RECT{16, 104, 32, 120}, kArrow);
  uitest::CMemoryImageSource::Installed().Put(kParts, std::move(p));
}

ui::SkinItemPicture Part(int x, int y, int w, int h) {
  return ui::SkinItemPicture{kParts, RECT{x, y, x + w, y + h}};
}

ui::ListSlices Slices(int y, int h) { return ui::ListSlices{Part(0, y, 30, h), 4, 26}; }

// An item at 10, 30 of 300 x 200: rows 16 high, buttons 16 wide, a header
// 20 high; two normal row pictures, one label, one icon.
ui::ButtonListLook Look() {
  ui::ButtonListLook look;
  look.rect = RECT{10, 30, 310, 230};
  look.font = lib::wfc::DefaultLogFont();
  look.font.lfHeight = -12;
  for (int s = 0; s < 4; ++s) look.buttons[s] = Part(16 * s, 0, 16, 16);
  look.normal_header = Slices(16, 20);
  look.pushed_header = Slices(36, 20);
  look.active_row = Slices(56, 16);
  look.rows = {Slices(72, 16), Slices(88, 16)};
  ui::ListLabel label;
  label.on = Part(64, 0, 8, 8);
  label.off = Part(72, 0, 8, 8);
  label.on_disabled = Part(80, 0, 8, 8);
  label.off_disabled = Part(88, 0, 8, 8);
  label.tip = "off tip";
  label.tip_on = "on tip";
  look.labels = {label};
  look.icons = {ui::ListIcon{Part(96, 0, 10, 10), POINT{2, 3}}};
  return look;
}

ui::ScrollBarLook BarLook() {
  ui::ScrollBarLook look;
  look.x = 310;
  look.y = 30;
  look.width = 16;
  look.height = 200;
  look.button = SIZE{16, 16};
  look.thumb = SIZE{16, 16};
  look.track = Part(0, 104, 16, 16);
  for (int s = 0; s < 4; ++s) {
    look.first[s] = look.second[s] = Part(16, 104, 16, 16);
    look.thumb_pictures[s] = Part(0, 0, 16, 16);
  }
  return look;
}

struct FakeRow {
  std::string text[3];
  bool active = false;
  int icon = -1;
  bool on = false;
  bool enabled = true;
  int label = 0;
};

class CFakeTable final : public ui::CButtonListViewTable {
 public:
  int GetRowCount(ui::CButtonListView*) override { return static_cast<int>(rows.size()); }
  bool IsActiveRow(ui::CButtonListView*, int row) override { return At(row).active; }
  bool IsButtonEnabled(ui::CButtonListView*, int row, int) override { return At(row).enabled; }
  bool IsButtonOn(ui::CButtonListView*, int row, int) override { return At(row).on; }
  int GetButtonLabel(ui::CButtonListView*, int row, int) override { return At(row).label; }
  std::string GetCellText(ui::CButtonListView*, int row, int column) override {
    ++text_calls;
    return At(row).text[column % 3];
  }
  COLORREF GetCellTextColor(ui::CButtonListView*, int, int) override { return kInk; }
  int GetHeaderIcon(ui::CButtonListView*, int column) override {
    return column == header_icon_column ? 0 : -1;
  }
  int GetCellIcon(ui::CButtonListView*, int row, int column) override {
    return column == 0 ? At(row).icon : -1;
  }
  std::string GetHeaderToolTip(ui::CButtonListView*, int column) override {
    return FormatString("header %d", column);
  }
  void AdjustButtonToolTip(ui::CButtonListView*, int row, int id, std::string* text) override {
    *text += FormatString(" %d/%d", row, id);
  }
  std::string GetCellToolTip(ui::CButtonListView*, int row, int column) override {
    return FormatString("cell %d,%d", row, column);
  }
  int GetMinColumnWidth(ui::CButtonListView*) override { return 30; }

  FakeRow& At(int row) {
    // The view must never ask beyond the rows it was told of.
    EXPECT_TRUE(row >= 0 && row < static_cast<int>(rows.size())) << row;
    static FakeRow none;
    return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)] : none;
  }

  std::vector<FakeRow> rows;
  int text_calls = 0;
  int header_icon_column = -1;
};

class CRecorder final : public ui::CButtonListViewListener {
 public:
  void OnLayoutChanged(ui::CButtonListView*) override { ++layouts; }
  void OnMouseDown(ui::CButtonListView*, int row, int kind, int index, bool icon) override {
    events.push_back(FormatString("down %d %d %d %d", row, kind, index, icon));
  }
  void OnClick(ui::CButtonListView*, int row, int kind, int index, bool icon) override {
    events.push_back(FormatString("click %d %d %d %d", row, kind, index, icon));
  }
  void OnDoubleClick(ui::CButtonListView*, int row, int kind, int index, bool icon) override {
    events.push_back(FormatString("double %d %d %d %d", row, kind, index, icon));
  }
  void OnRightClick(ui::CButtonListView*, int row, int kind, int index, bool icon) override {
    events.push_back(FormatString("right %d %d %d %d", row, kind, index, icon));
  }
  void OnHeaderClick(ui::CButtonListView*, int column) override {
    events.push_back(FormatString("header %d", column));
  }
  void OnButtonClick(ui::CButtonListView*, int row, int id) override {
    events.push_back(FormatString("button %d %d", row, id));
  }
  void OnBeginDrag(ui::CButtonListView*, int x, int y, int row, int column) override {
    events.push_back(FormatString("drag %d %d %d %d", x, y, row, column));
  }
  void OnDrop(ui::CButtonListView*, int x, int y, int row) override {
    events.push_back(FormatString("drop %d %d %d", x, y, row));
  }

  bool OnDrawCell(ui::CButtonListView*, int row, int column, HDC, lib::wfc::CDIB*, int, int, int,
                  int, const RECT*) override {
    return row == owner_drawn_row && column == 0;
  }

  Events events;
  int layouts = 0;
  int owner_drawn_row = -1;
};

// A view whose extension hook draws a 20-pixel marker before column 0's
// content.
class CMarkedView final : public ui::CButtonListView {
 public:
  using CButtonListView::CButtonListView;

 protected:
  int DrawExtraCellContent(lib::wfc::CDIB* dib, int, int, int left, int top, int,
                           int bottom) override {
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < left + 20; ++x) dib->SetPixel(x, y, RGB(1, 2, 3));
    return 20;
  }
  bool DrawExtraInColumnOne() override { return false; }
};

// Passes the bar's scroll messages on to the view, as an owner window does.
class CListWindow final : public ui::CSkinWindow {
 public:
  ui::CButtonListView* view = nullptr;

  // The owner passes the wheel on to its one list.
  void OnMouseWheelNotch(UINT, int steps, int, int) override {
    if (view) view->ScrollByWheel(steps);
  }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_VSCROLL && view) {
      view->OnNotify(WM_VSCROLL, static_cast<INT_PTR>(wparam), lparam);
      return 0;
    }
    return CSkinWindow::WindowProc(message, wparam, lparam);
  }
};

// The real pointer's input is dropped: other test processes move it over
// their windows at this place.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

// Window coordinates of the item's geometry: the item is at 10, 30, the
// header 20 high, rows 16 high, the left button 10..26, columns 26..154,
// 154..234 and 234..294 (fitted), the right button 294..310.
constexpr int kItemX = 10;
constexpr int kItemY = 30;
int RowY(int position) { return kItemY + 20 + 16 * position + 8; }

class ButtonListViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakePictures();
    for (int i = 0; i < 40; ++i) {
      FakeRow row;
      row.text[0] = FormatString("name %d", i);
      row.text[1] = FormatString("%d KB", i * 10);
      row.text[2] = "x";
      table.rows.push_back(row);
    }
    table.rows[1].active = true;
    table.rows[2].icon = 0;
    table.rows[3].on = true;
    table.rows[4].enabled = false;
  }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }

  void Create(bool with_table = true) {
    auto bar = std::make_unique<ui::CSkinWindowItemScrollBar>(&window, 3999, BarLook());
    scroll = bar.get();
    std::unique_ptr<ui::CButtonListView> item;
    if (marked)
      item = std::make_unique<CMarkedView>(&window, 3000, look, window.GetItemResourceObject(),
                                           scroll, &recorder);
    else
      item = std::make_unique<ui::CButtonListView>(
          &window, 3000, look, window.GetItemResourceObject(), scroll, &recorder);
    view = item.get();
    window.view = view;
    window.AddItem(std::move(item));
    window.AddItem(std::move(bar));
    view->AddSubButton(ui::ListSubButton{0, 701, ui::CButtonListView::kLeft, true, true});
    view->AddSubButton(ui::ListSubButton{-1, 702, ui::CButtonListView::kRight, false, true});
    view->AddColumn(ui::ListColumn{"Name", 100, DT_LEFT, false, true});
    view->AddColumn(ui::ListColumn{"Size", 80, DT_RIGHT, false, false});
    view->AddColumn(ui::ListColumn{"Kind", 60, DT_CENTER, true, true});
    view->ShowHeader(true);
    if (with_table) view->SetTable(&table);
    view->LayoutColumns();
    window.SetBaseImage("LvBase.png", RECT{0, 0, 340, 260});
    hwnd = window.Create(0, nullptr, "list view", WS_POPUP | WS_VISIBLE, 100, 100, 340, 260);
    window.UpdateWindow();
    Pump();
  }

  COLORREF Pixel(int x, int y) { return window.BackBuffer()->GetPixel(x, y); }
  int Count(const RECT& r, COLORREF colour) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += Pixel(x, y) == colour;
    return n;
  }
  void Send(UINT message, WPARAM wp, int x, int y) {
    SendMessageA(hwnd, message, wp, MAKELPARAM(x, y));
    Pump();
  }
  void Click(int x, int y) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    Send(WM_LBUTTONUP, 0, x, y);
  }
  int Kind(int x, int y, int* row = nullptr, int* index = nullptr) {
    return view->HitTest(POINT{x - kItemX, y - kItemY}, row, index);
  }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  ui::ButtonListLook look = Look();
  bool marked = false;
  CListWindow window;
  CFakeTable table;
  CRecorder recorder;
  ui::CButtonListView* view = nullptr;
  ui::CSkinWindowItemScrollBar* scroll = nullptr;
  HWND hwnd = nullptr;
};

TEST_F(ButtonListViewTest, ColumnsFitTheWidthAndTheFirstTakesTheSlack) {
  Create();
  ASSERT_EQ(view->Columns().size(), 3u);
  EXPECT_EQ(view->GetFixedColumnWidth(ui::CButtonListView::kLeft), 16);
  EXPECT_EQ(view->GetFixedColumnWidth(ui::CButtonListView::kRight), 16);
  EXPECT_EQ(view->Columns()[0].width, 128);  // 268 available, 240 asked
  EXPECT_EQ(view->ColumnLeft(1), 144);
  EXPECT_EQ(view->ColumnRight(2), 284);  // the last ends at the right block
  const RECT h0 = view->HeaderCellRect(0);
  const RECT h2 = view->HeaderCellRect(2);
  EXPECT_EQ(h0.left, 0);
  EXPECT_EQ(h2.right, 300);  // the last header cell runs to the edge
  EXPECT_EQ(view->GetVisibleRowCount(), 12);
  EXPECT_EQ(view->GetPageRowCount(), 11);

  // Widening the item widens only the first column and tells the owner.
  view->SetRect(10, 30, 350, 230);
  EXPECT_EQ(view->Columns()[0].width, 168);
  EXPECT_EQ(view->Columns()[1].width, 80);
  EXPECT_EQ(view->Columns()[2].width, 60);
  EXPECT_EQ(recorder.layouts, 1);
  // Narrowing past the minimum takes from the first column, then the next.
  view->SetRect(10, 30, 200, 230);
  EXPECT_EQ(view->Columns()[0].width, 30);
  EXPECT_EQ(view->Columns()[1].width, 68);
  EXPECT_EQ(view->Columns()[2].width, 60);
}

TEST_F(ButtonListViewTest, HitsAtComputedPoints) {
  Create();
  struct Case {
    const char* what;
    int x, y;
    int kind, row, index;
  };
  const Case cases[] = {
      {"header cell 0 over the left block", 12, 40, ui::kListHitHeader, 0, 0},
      {"header cell 1", 200, 40, ui::kListHitHeader, 0, 1},
      {"header cell 2 past the right block", 305, 40, ui::kListHitHeader, 0, 2},
      {"border of column 0 in the header", 153, 40, ui::kListHitBorder, -1, 0},
      {"border of column 0, its last pixel", 153, RowY(0), ui::kListHitBorder, 0, 0},
      {"border of column 0, next column's first", 154, RowY(0), ui::kListHitBorder, 0, 0},
      {"cell 0 just inside", 152, RowY(0), ui::kListHitCell, 0, 0},
      {"cell 1", 200, RowY(1), ui::kListHitCell, 1, 1},
      {"cell 2", 260, RowY(5), ui::kListHitCell, 5, 2},
      {"left sub-button", 18, RowY(0), ui::kListHitButton, 0, 0},
      {"left sub-button's far end", 26, RowY(0), ui::kListHitButton, 0, 0},
      {"right sub-button", 300, RowY(0), ui::kListHitButton, 0, 1},
      {"disabled sub-button", 18, RowY(4), ui::kListHitNothing, 4, -1},
      {"partly visible last row", 60, kItemY + 20 + 16 * 11 + 2, ui::kListHitCell, 11, 0},
  };
  for (const Case& c : cases) {
    int row = -2, index = -2;
    EXPECT_EQ(Kind(c.x, c.y, &row, &index), c.kind) << c.what;
    EXPECT_EQ(row, c.row) << c.what;
    EXPECT_EQ(index, c.index) << c.what;
  }
  // Below the last row no row is found and no cell is hit.
  table.rows.resize(3);
  view->InvalidateRow(-1);
  int row = 0;
  EXPECT_EQ(Kind(60, RowY(5), &row), ui::kListHitNothing);
  EXPECT_EQ(row, -1);
  EXPECT_EQ(Kind(18, RowY(5)), ui::kListHitNothing);
}

TEST_F(ButtonListViewTest, DrawsHeaderRowsButtonsIconsAndText) {
  Create();
  struct Probe {
    const char* what;
    int x, y;
    COLORREF colour;
  };
  const Probe probes[] = {
      {"header left slice", 11, 31, kHeader[0]},
      {"header middle", 60, 31, kHeader[1]},
      {"header right slice of the last cell", 309, 31, kHeader[2]},
      {"row 0 background", 100, RowY(0) - 7, kRow0},
      {"row 1 is active", 100, RowY(1) - 7, kActive[1]},
      {"row 2 background", 100, RowY(2) - 7, kRow0},
      {"row 3 background", 100, RowY(3) - 7, kRow1},
      {"row 2 icon at its offsets", kItemX + 16 + 2 + 1, RowY(2) - 8 + 3 + 1, kIcon},
      {"left button face", 11, RowY(0) - 7, kFace[0]},
      {"left label off", 18, RowY(0), kOff},
      {"toggle on: pushed face", 11, RowY(3) - 7, kFace[2]},
      {"toggle on: on label", 18, RowY(3), kOn},
      {"disabled row: off-disabled label", 18, RowY(4), kOffDisabled},
      {"right button", 305, RowY(0) - 7, kFace[0]},
      {"scroll bar", 318, 100, kTrack},
      {"window", 335, 250, kBase},
  };
  for (const Probe& p : probes) EXPECT_EQ(Pixel(p.x, p.y), p.colour) << p.what;
  // The cell texts are drawn in the table's colour, the titles in black.
  EXPECT_GT(Count(RECT{26, RowY(0) - 8, 154, RowY(0) + 8}, kInk), 10);
  EXPECT_GT(Count(RECT{26, 30, 154, 50}, RGB(0, 0, 0)), 10);
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("button_list_view_parts", &error)) << error;
}

TEST_F(ButtonListViewTest, LabelAndIconIndicesBeyondTheListsDrawNothing) {
  table.rows[0].label = 7;
  table.rows[0].icon = 5;
  table.rows[1].label = -3;
  Create();
  // The right button's face is drawn, but no label on it.
  EXPECT_EQ(Pixel(305, RowY(0) - 7), kFace[0]);
  EXPECT_EQ(Pixel(302, RowY(0)), kFace[0]);
  EXPECT_EQ(Pixel(302, RowY(1)), kFace[0]);
  EXPECT_EQ(Count(RECT{26, RowY(0) - 8, 154, RowY(0) + 8}, kIcon), 0);
}

TEST_F(ButtonListViewTest, NoRowPicturesLeaveTheWindowUnderTheRows) {
  look.rows.clear();
  Create();
  EXPECT_EQ(Pixel(100, RowY(0) - 7), kBase);
  EXPECT_EQ(Pixel(100, RowY(1) - 7), kActive[1]);
  EXPECT_EQ(Pixel(100, RowY(11) - 7), kBase);
  EXPECT_GT(Count(RECT{26, RowY(0) - 8, 154, RowY(0) + 8}, kInk), 10);
}

TEST_F(ButtonListViewTest, AnOwnerDrawnCellGetsNoTextOrIcon) {
  recorder.owner_drawn_row = 2;
  Create();
  EXPECT_EQ(Pixel(100, RowY(2) - 7), kRow0);  // the background still comes first
  EXPECT_EQ(Count(RECT{26, RowY(2) - 8, 154, RowY(2) + 8}, kIcon), 0);
  EXPECT_EQ(Count(RECT{26, RowY(2) - 8, 154, RowY(2) + 8}, kInk), 0);
  EXPECT_GT(Count(RECT{154, RowY(2) - 8, 234, RowY(2) + 8}, kInk), 10);
}

TEST_F(ButtonListViewTest, TheExtraDrawingHookComesFirstInColumnZeroWhenSwitchedOn) {
  marked = true;
  Create();
  EXPECT_EQ(Count(RECT{26, RowY(2) - 8, 154, RowY(2) + 8}, RGB(1, 2, 3)), 0);
  view->SetExtraCellDrawing(true);
  view->InvalidateRow(-1);
  EXPECT_EQ(Count(RECT{26, RowY(2) - 8, 154, RowY(2) + 8}, RGB(1, 2, 3)), 20 * 16);
  EXPECT_EQ(Count(RECT{154, RowY(2) - 8, 234, RowY(2) + 8}, RGB(1, 2, 3)), 0);
  // The icon moves past the marker.
  EXPECT_EQ(Pixel(kItemX + 16 + 20 + 2, RowY(2) - 8 + 3), kIcon);
}

TEST_F(ButtonListViewTest, HeaderIconsInBothPlacements) {
  table.header_icon_column = 0;
  Create();
  // Mode 0: at the cell's left after the button block, with its offsets.
  EXPECT_EQ(Pixel(kItemX + 16 + 2, kItemY + 3), kIcon);
  EXPECT_EQ(Count(RECT{10, 30, 154, 50}, kIcon), 100);
  // Mode 2, a left-aligned title: the icon follows the title.
  view->SetHeaderIconMode(2);
  view->SetHeaderIconMode(1);  // ignored
  view->InvalidateRow(-1);
  EXPECT_NE(Pixel(kItemX + 16 + 2, kItemY + 3), kIcon);
  EXPECT_EQ(Count(RECT{40, 30, 154, 50}, kIcon), 100);
  // Mode 2, a right-aligned column: the icon at the right end.
  table.header_icon_column = 1;
  view->InvalidateRow(-1);
  EXPECT_EQ(Count(RECT{10, 30, 154, 50}, kIcon), 0);
  EXPECT_EQ(Pixel(kItemX + 224 - 2 - 10, kItemY + 3), kIcon);
  EXPECT_EQ(Count(RECT{154, 30, 234, 50}, kIcon), 100);
}

TEST_F(ButtonListViewTest, PositionsPastTheLastRowShowBackgroundsAndDisabledButtons) {
  table.rows.resize(2);
  Create();
  EXPECT_EQ(Pixel(150, RowY(2) - 7), kRow0);
  EXPECT_EQ(Pixel(150, RowY(3) - 7), kRow1);
  EXPECT_EQ(Pixel(18, RowY(3)), kOffDisabled);
  // The right button takes its label from the table: none without a row.
  EXPECT_EQ(Pixel(302, RowY(3)), kFace[0]);
  EXPECT_EQ(Count(RECT{26, RowY(3) - 8, 294, RowY(3) + 8}, kInk), 0);
}

TEST_F(ButtonListViewTest, ClicksReachTheOwnerOnlyOnTheSameCell) {
  Create();
  struct Case {
    const char* what;
    int down_x, down_y, up_x, up_y;
    Events events;
  };
  const Case cases[] = {
      {"cell", 60, RowY(0), 61, RowY(0), {"down 0 3 0 0", "click 0 3 0 0"}},
      {"icon of a cell", 30, RowY(2), 30, RowY(2), {"down 2 3 0 1", "click 2 3 0 1"}},
      {"released on another cell", 60, RowY(0), 200, RowY(0), {"down 0 3 0 0"}},
      {"released on another row", 60, RowY(0), 60, RowY(1), {"down 0 3 0 0"}},
      {"sub-button", 18, RowY(5), 19, RowY(5), {"down 5 2 -1 0", "button 5 701"}},
      {"right sub-button", 300, RowY(6), 300, RowY(6), {"down 6 2 -1 0", "button 6 702"}},
      {"sub-button released off it", 18, RowY(5), 60, RowY(5), {"down 5 2 -1 0"}},
      {"disabled sub-button", 18, RowY(4), 18, RowY(4), {}},
      {"header button", 60, 40, 61, 41, {"header 0"}},
      {"header without a button", 200, 40, 200, 40, {}},
      {"header released on the next cell", 60, 40, 200, 40, {}},
      {"fixed column's header", 260, 40, 260, 40, {"header 2"}},
  };
  for (const Case& c : cases) {
    recorder.events.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, c.down_x, c.down_y);
    Send(WM_LBUTTONUP, 0, c.up_x, c.up_y);
    EXPECT_EQ(recorder.events, c.events) << c.what;
    EXPECT_NE(GetCapture(), hwnd) << c.what;
  }
}

TEST_F(ButtonListViewTest, DoubleAndRightClicks) {
  Create();
  Click(60, RowY(2));
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 60, RowY(2));
  Send(WM_LBUTTONUP, 0, 60, RowY(2));
  EXPECT_EQ(recorder.events, (Events{"down 2 3 0 0", "click 2 3 0 0", "double 2 3 0 0"}));
  recorder.events.clear();
  Send(WM_RBUTTONDOWN, MK_RBUTTON, 200, RowY(3));
  Send(WM_RBUTTONUP, 0, 201, RowY(3));
  Send(WM_RBUTTONDOWN, MK_RBUTTON, 200, RowY(3));
  Send(WM_RBUTTONUP, 0, 60, RowY(3));
  EXPECT_EQ(recorder.events, (Events{"right 3 3 1 0"}));
  // A double click on the header presses it, as a press does.
  recorder.events.clear();
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 60, 40);
  Send(WM_LBUTTONUP, 0, 60, 40);
  EXPECT_EQ(recorder.events, (Events{"header 0"}));
}

TEST_F(ButtonListViewTest, PressedLooksFollowThePointerWhileHeld) {
  Create();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 60, 40);
  EXPECT_EQ(Pixel(60, 31), kHeaderPushed[1]);
  EXPECT_EQ(Pixel(200, 31), kHeader[1]);  // only the pressed cell
  Send(WM_MOUSEMOVE, MK_LBUTTON, 200, 40);
  EXPECT_EQ(Pixel(60, 31), kHeader[1]);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 61, 40);
  EXPECT_EQ(Pixel(60, 31), kHeaderPushed[1]);
  Send(WM_LBUTTONUP, 0, 61, 40);
  EXPECT_EQ(Pixel(60, 31), kHeader[1]);

  Send(WM_MOUSEMOVE, 0, 18, RowY(0));
  EXPECT_EQ(Pixel(11, RowY(0) - 7), kFace[1]);  // hot
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 18, RowY(0));
  EXPECT_EQ(Pixel(11, RowY(0) - 7), kFace[2]);  // pushed
  Send(WM_MOUSEMOVE, MK_LBUTTON, 60, RowY(0));
  EXPECT_NE(Pixel(11, RowY(0) - 7), kFace[2]);
  Send(WM_LBUTTONUP, 0, 60, RowY(0));
  Send(WM_MOUSEMOVE, 0, 60, RowY(0));
  EXPECT_EQ(Pixel(11, RowY(0) - 7), kFace[0]);

  // Leaving the window takes the hot look away.
  Send(WM_MOUSEMOVE, 0, 18, RowY(1));
  EXPECT_EQ(Pixel(11, RowY(1) - 7), kFace[1]);
  SendMessageA(hwnd, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Pixel(11, RowY(1) - 7), kFace[0]);
  EXPECT_EQ(view->GetText(), "");
}

TEST_F(ButtonListViewTest, ALostCaptureDropsThePressWithoutAClick) {
  Create();
  for (const POINT at : {POINT{60, RowY(0)}, POINT{18, RowY(0)}, POINT{60, 40}}) {
    recorder.events.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, at.x, at.y);
    ASSERT_EQ(GetCapture(), hwnd);
    ReleaseCapture();
    Pump();
    Send(WM_LBUTTONUP, 0, at.x, at.y);
    EXPECT_TRUE(recorder.events.size() <= 1) << at.x;  // the press alone
    EXPECT_EQ(Pixel(60, 31), kHeader[1]);
    EXPECT_EQ(Pixel(11, RowY(0) - 7), kFace[0]);
  }
  Send(WM_RBUTTONDOWN, MK_RBUTTON, 60, RowY(0));
  ReleaseCapture();
  Pump();
  Send(WM_RBUTTONUP, 0, 60, RowY(0));
  EXPECT_EQ(recorder.events, Events{});
}

TEST_F(ButtonListViewTest, DragStartsOnePixelPastTheThresholdAndDropFollows) {
  Create();
  const int d = static_cast<int>(GetProfileIntA("windows", "DragMinDist", 2));
  struct Case {
    const char* what;
    int dx, dy;
    bool drags;
  };
  const Case cases[] = {
      {"exactly the distance across", d, 0, false},
      {"exactly the distance down", 0, -d, false},
      {"one pixel more", d + 1, 0, true},
      {"one pixel more upwards", 0, -(d + 1), true},
      {"diagonal past it", d, 1, true},
  };
  for (const Case& c : cases) {
    recorder.events.clear();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, 60, RowY(1));
    Send(WM_MOUSEMOVE, MK_LBUTTON, 60 + c.dx, RowY(1) + c.dy);
    Send(WM_MOUSEMOVE, MK_LBUTTON, 60 + c.dx, RowY(1) + c.dy);
    EXPECT_EQ(view->Dragging(), c.drags) << c.what;
    Send(WM_LBUTTONUP, 0, 60 + c.dx, RowY(1) + c.dy);
    Events expected = {"down 1 3 0 0"};
    if (c.drags) {
      // Once, at the current point in item coordinates.
      expected.push_back(
          FormatString("drag %d %d 1 0", 60 + c.dx - kItemX, RowY(1) + c.dy - kItemY));
      expected.push_back("click 1 3 0 0");
      expected.push_back(FormatString("drop %d %d 1", 60 + c.dx, RowY(1) + c.dy));
    } else {
      expected.push_back("click 1 3 0 0");
    }
    EXPECT_EQ(recorder.events, expected) << c.what;
    EXPECT_FALSE(view->Dragging()) << c.what;
  }
  // A drop on another row still comes, with no click.
  recorder.events.clear();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 60, RowY(1));
  Send(WM_MOUSEMOVE, MK_LBUTTON, 60, RowY(6));
  Send(WM_LBUTTONUP, 0, 60, RowY(6));
  EXPECT_EQ(recorder.events,
            (Events{"down 1 3 0 0", FormatString("drag 50 %d 1 0", RowY(6) - kItemY),
                    FormatString("drop 60 %d 6", RowY(6))}));
}

TEST_F(ButtonListViewTest, ColumnResizingKeepsTheMinimumAndFixedColumnsStay) {
  table.rows.clear();  // resizing needs no rows
  Create();
  // Column 1 (154..234 in the window) dragged by its right border.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 234, 40);
  EXPECT_EQ(GetCapture(), hwnd);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 244, 40);
  // 10 wider; the first column gives the room back.
  EXPECT_EQ(view->Columns()[1].width, 90);
  EXPECT_EQ(view->Columns()[0].width, 118);
  EXPECT_GE(recorder.layouts, 1);
  Send(WM_MOUSEMOVE, MK_LBUTTON, 100, 40);
  EXPECT_EQ(view->Columns()[1].width, 30);  // never below the minimum
  Send(WM_LBUTTONUP, 0, 100, 40);
  EXPECT_EQ(recorder.events, Events{});
  EXPECT_NE(GetCapture(), hwnd);

  // The fixed column's border takes no press.
  const int fixed_right = kItemX + view->ColumnRight(2);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, fixed_right, 40);
  EXPECT_NE(GetCapture(), hwnd);
  Send(WM_MOUSEMOVE, MK_LBUTTON, fixed_right - 20, 40);
  Send(WM_LBUTTONUP, 0, fixed_right - 20, 40);
  EXPECT_EQ(view->Columns()[2].width, 60);

  // SetColumnWidth clamps to the edges a drag keeps to; the last column
  // is left alone.
  view->SetColumnWidth(0, 5);
  EXPECT_EQ(view->Columns()[0].width, 16 + 30);
  view->SetColumnWidth(0, 1000);
  EXPECT_EQ(view->Columns()[0].width, 300 - 30);
  view->SetColumnWidth(2, 10);
  EXPECT_EQ(view->Columns()[2].width, 60);
}

TEST_F(ButtonListViewTest, NarrowItemClampsToTheLowerBound) {
  Create();
  view->SetRect(10, 30, 60, 230);  // narrower than twice the minimum
  view->SetColumnWidth(0, 500);
  EXPECT_EQ(view->Columns()[0].width, 16 + 30);
  view->SetColumnWidth(0, -500);
  EXPECT_EQ(view->Columns()[0].width, 16 + 30);
}

TEST_F(ButtonListViewTest, ZeroRowsNoRowEventsButHeaderAndResizingWork) {
  table.rows.clear();
  Create();
  EXPECT_EQ(scroll->GetMaximum(), 0);
  EXPECT_FALSE(scroll->IsEnabled());
  EXPECT_EQ(Pixel(150, RowY(0) - 7), kRow0);  // empty backgrounds fill the item
  EXPECT_EQ(Pixel(150, RowY(11) - 7), kRow1);
  Click(60, RowY(0));
  Click(18, RowY(0));
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, 60, RowY(0));
  Send(WM_RBUTTONDOWN, MK_RBUTTON, 60, RowY(0));
  Send(WM_RBUTTONUP, 0, 60, RowY(0));
  EXPECT_EQ(recorder.events, Events{});
  Click(60, 40);
  EXPECT_EQ(recorder.events, Events{"header 0"});
  // Without the slack flag the excess comes from the last resizable column.
  view->SetFirstColumnTakesSlack(false);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 153, RowY(3));
  Send(WM_MOUSEMOVE, MK_LBUTTON, 163, RowY(3));
  Send(WM_LBUTTONUP, 0, 163, RowY(3));
  EXPECT_EQ(view->Columns()[0].width, 138);
  EXPECT_EQ(view->Columns()[1].width, 70);
  EXPECT_EQ(view->Columns()[2].width, 60);
}

TEST_F(ButtonListViewTest, WithoutATableTheMinimumIs50AndNothingIsAsked) {
  Create(false);
  EXPECT_EQ(view->GetMinColumnWidth(), 50);
  Click(60, RowY(0));
  EXPECT_EQ(recorder.events, Events{});
  EXPECT_EQ(Pixel(150, RowY(0) - 7), kRow0);
}

TEST_F(ButtonListViewTest, DisabledViewTakesNoPressAndGreysItsButtons) {
  Create();
  view->SetEnabled(false);
  window.UpdateWindow();
  Click(60, RowY(0));
  Click(18, RowY(0));
  Click(60, 40);
  EXPECT_EQ(recorder.events, Events{});
  EXPECT_EQ(Pixel(18, RowY(0)), kOffDisabled);
  EXPECT_EQ(Pixel(18, RowY(3)), kOnDisabled);
}

TEST_F(ButtonListViewTest, ScrollingThroughTheBarAndTheCodes) {
  Create();
  EXPECT_EQ(scroll->GetMaximum(), 40 - 11);
  EXPECT_EQ(scroll->GetPage(), 11);
  // The bar's lower arrow: the window passes WM_VSCROLL on to the view.
  Click(318, 225);
  EXPECT_EQ(view->GetScrollPos(), 1);
  EXPECT_EQ(scroll->GetPos(), 1);
  EXPECT_EQ(Pixel(100, RowY(0) - 7), kActive[1]);  // row 1 at the top now
  int row = 0;
  EXPECT_EQ(Kind(60, RowY(0), &row), ui::kListHitCell);
  EXPECT_EQ(row, 1);

  struct Case {
    const char* what;
    int code, position, expected;
  };
  const Case cases[] = {
      {"line down", SB_LINEDOWN, 0, 2},
      {"page down", SB_PAGEDOWN, 0, 13},
      {"line up", SB_LINEUP, 0, 12},
      {"page up", SB_PAGEUP, 0, 1},
      {"page up past the top", SB_PAGEUP, 0, 0},
      {"thumb position", SB_THUMBPOSITION, 17, 17},
      {"thumb track beyond", SB_THUMBTRACK, 99, 29},
      {"top", SB_TOP, 0, 0},
      {"bottom", SB_BOTTOM, 0, 29},
      {"end scroll leaves it", SB_ENDSCROLL, 3, 29},
      {"only the low word counts", 0x10000 | SB_TOP, 0, 0},
  };
  for (const Case& c : cases) {
    SendMessageA(hwnd, WM_VSCROLL, static_cast<WPARAM>(c.code), c.position);
    EXPECT_EQ(view->GetScrollPos(), c.expected) << c.what;
    EXPECT_EQ(scroll->GetPos(), c.expected) << c.what;
  }
  // A hovered sub-button does not stay hot on the row scrolled under it.
  SendMessageA(hwnd, WM_VSCROLL, SB_TOP, 0);
  Send(WM_MOUSEMOVE, 0, 18, RowY(0));
  EXPECT_EQ(Pixel(11, RowY(0) - 7), kFace[1]);
  EXPECT_EQ(view->GetText(), "off tip 0/701");
  SendMessageA(hwnd, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(Pixel(11, RowY(0) - 7), kFace[0]);
  EXPECT_EQ(view->GetText(), "");

  // Fewer rows pull the position back within the range.
  SendMessageA(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
  table.rows.resize(15);
  view->InvalidateRow(-1);
  EXPECT_EQ(view->GetScrollPos(), 4);
  EXPECT_EQ(scroll->GetMaximum(), 4);
}

TEST_F(ButtonListViewTest, TheWheelScrollsThreeRowsANotchWithinTheRange) {
  Create();
  struct Case {
    const char* what;
    int delta;  // WM_MOUSEWHEEL's; negative turns the wheel towards the user
    int expected;
  };
  // Whole notches only: a remainder would depend on the time between the
  // messages.
  const Case cases[] = {
      {"a notch towards the user", -WHEEL_DELTA, 3},
      {"two notches in one message", -2 * WHEEL_DELTA, 9},
      {"a notch away", WHEEL_DELTA, 6},
      {"past the top stops at the first row", 4 * WHEEL_DELTA, 0},
      {"past the bottom stops at the maximum", -20 * WHEEL_DELTA, 29},
  };
  for (const Case& c : cases) {
    SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, c.delta), MAKELPARAM(150, 150));
    EXPECT_EQ(view->GetScrollPos(), c.expected) << c.what;
    EXPECT_EQ(scroll->GetPos(), c.expected) << c.what;
  }
  // The back buffer follows: the third row at the top, then the active
  // second row back in its place.
  SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 9 * WHEEL_DELTA), MAKELPARAM(150, 150));
  EXPECT_EQ(view->GetScrollPos(), 2);
  int row = 0;
  EXPECT_EQ(Kind(60, RowY(0), &row), ui::kListHitCell);
  EXPECT_EQ(row, 2);
  EXPECT_NE(Pixel(100, RowY(0) - 7), kActive[1]);
  SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(150, 150));
  EXPECT_EQ(view->GetScrollPos(), 0);
  EXPECT_EQ(Pixel(100, RowY(1) - 7), kActive[1]);

  // A disabled view stays where it is.
  view->SetEnabled(false);
  SendMessageA(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(view->GetScrollPos(), 0);
}

TEST_F(ButtonListViewTest, HeaderToggleMovesRowsAndTheRange) {
  Create();
  view->ShowHeader(false);
  EXPECT_EQ(scroll->GetPage(), 12);
  EXPECT_EQ(Pixel(150, kItemY + 1), kRow0);
  int row = -1;
  EXPECT_EQ(Kind(60, kItemY + 2, &row), ui::kListHitCell);
  EXPECT_EQ(row, 0);
}

TEST_F(ButtonListViewTest, TooltipsFollowTheHover) {
  Create();
  struct Case {
    const char* what;
    int x, y;
    const char* tip;
  };
  const Case cases[] = {
      {"cell", 60, RowY(2), "cell 2,0"},
      {"header", 200, 40, "header 1"},
      {"button off", 18, RowY(0), "off tip 0/701"},
      {"button on", 18, RowY(3), "on tip 3/701"},
      {"border", 153, RowY(0), ""},
  };
  for (const Case& c : cases) {
    Send(WM_MOUSEMOVE, 0, c.x, c.y);
    EXPECT_EQ(view->GetText(), c.tip) << c.what;
  }
  // A hover on a row that went away is dropped.
  Send(WM_MOUSEMOVE, 0, 60, RowY(8));
  table.rows.resize(5);
  view->InvalidateRow(-1);
  EXPECT_EQ(view->GetText(), "");
}

TEST_F(ButtonListViewTest, CursorOverBordersAndButtons) {
  Create();
  EXPECT_TRUE(view->OnSetCursor(POINT{143, 28}));  // border
  EXPECT_TRUE(view->OnSetCursor(POINT{8, 28}));    // enabled button
  EXPECT_FALSE(view->OnSetCursor(POINT{8, 90}));   // disabled button (row 4)
  EXPECT_FALSE(view->OnSetCursor(POINT{60, 28}));  // cell
}

TEST_F(ButtonListViewTest, APaintAsksForTheVisibleCellsOnlyWhateverTheRowCount) {
  table.rows.resize(5000);
  Create();
  table.text_calls = 0;
  view->InvalidateRow(-1);
  // Twelve row positions of three columns.
  EXPECT_EQ(table.text_calls, 12 * 3);
  table.text_calls = 0;
  SendMessageA(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(view->GetScrollPos(), 5000 - 11);
  EXPECT_EQ(table.text_calls, 11 * 3);  // the last position is past the end
  // A hover moving between cells changes no look: nothing is redrawn.
  Send(WM_MOUSEMOVE, 0, 60, RowY(2));
  table.text_calls = 0;
  Send(WM_MOUSEMOVE, 0, 200, RowY(3));
  EXPECT_EQ(table.text_calls, 0);
  // Pressing a header cell redraws that cell alone.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 60, 40);
  Send(WM_LBUTTONUP, 0, 60, 40);
  EXPECT_EQ(table.text_calls, 0);
  // Redrawing one row asks for its cells alone.
  table.text_calls = 0;
  view->InvalidateRow(5000 - 11 + 4);
  EXPECT_EQ(table.text_calls, 3);
  view->InvalidateRow(3);  // not visible
  EXPECT_EQ(table.text_calls, 3);
}

}  // namespace
