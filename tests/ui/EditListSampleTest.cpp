// The toolkit's sample window from the test skin: edit boxes holding
// Japanese text, a button list view of Japanese rows with its vertical
// scroll bar, and a horizontal scroll bar, driven through the window's own
// messages and read back from the back buffer; kept as a screenshot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ButtonListView.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinDefinition.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "SkinWindowItemEditBox.h"
#include "SkinWindowItemScrollBar.h"
#include "XvfbScreenshot.h"

namespace {

constexpr int kTitleId = 2001;
constexpr int kArtistId = 2002;
constexpr int kListId = 2003;
constexpr int kListBarId = 2004;
constexpr int kColumnBarId = 2005;

// The list's place in the window (from the skin): a header of 22 and rows of
// 20 below it.
constexpr int kListLeft = 12;
constexpr int kListTop = 64;
constexpr int kRowsTop = kListTop + 22;
constexpr int kRowHeight = 20;
constexpr COLORREF kActiveRowBorder = RGB(110, 160, 230);
constexpr COLORREF kInk = RGB(20, 20, 20);

struct SampleRow {
  const wchar_t* title;
  const wchar_t* artist;
};

const SampleRow kRows[] = {
    {L"春の海", L"宮城 道雄"},   {L"さくらさくら", L"日本古謡"}, {L"荒城の月", L"滝 廉太郎"},
    {L"赤とんぼ", L"山田 耕筰"}, {L"夕焼け小焼け", L"草川 信"},  {L"朧月夜", L"岡野 貞一"},
    {L"紅葉", L"岡野 貞一"},     {L"七つの子", L"本居 長世"},    {L"椰子の実", L"大中 寅二"},
    {L"故郷", L"岡野 貞一"},
};
constexpr int kRowCount = static_cast<int>(sizeof(kRows) / sizeof(kRows[0]));
constexpr int kActiveRow = 2;

class CTable final : public ui::CButtonListViewTableW {
 public:
  int GetRowCount(ui::CButtonListView*) override { return kRowCount; }
  bool IsActiveRow(ui::CButtonListView*, int row) override { return row == kActiveRow; }
  bool IsButtonEnabled(ui::CButtonListView*, int, int) override { return true; }
  bool IsButtonOn(ui::CButtonListView*, int, int) override { return false; }
  int GetButtonLabel(ui::CButtonListView*, int, int) override { return 0; }
  std::string GetCellText(ui::CButtonListView*, int, int) override { return std::string(); }
  COLORREF GetCellTextColor(ui::CButtonListView*, int, int) override { return kInk; }
  int GetCellIcon(ui::CButtonListView*, int, int column) override { return column == 0 ? 1 : -1; }
  std::string GetCellToolTip(ui::CButtonListView*, int, int) override { return std::string(); }
  int GetMinColumnWidth(ui::CButtonListView*) override { return 40; }
  std::wstring GetCellTextW(ui::CButtonListView*, int row, int column) override {
    return column == 0 ? kRows[row].title : kRows[row].artist;
  }
  bool IsWideText(ui::CButtonListView*) override { return true; }
};

struct Heard {
  std::string what;
  int row, kind, index;
  bool operator==(const Heard& o) const {
    return what == o.what && row == o.row && kind == o.kind && index == o.index;
  }
};

class CListener final : public ui::CButtonListViewListener {
 public:
  void OnLayoutChanged(ui::CButtonListView*) override {}
  void OnMouseDown(ui::CButtonListView*, int row, int kind, int index, bool) override {
    heard.push_back(Heard{"down", row, kind, index});
  }
  void OnClick(ui::CButtonListView*, int row, int kind, int index, bool) override {
    heard.push_back(Heard{"click", row, kind, index});
  }
  void OnDoubleClick(ui::CButtonListView*, int, int, int, bool) override {}
  void OnButtonClick(ui::CButtonListView*, int row, int id) override {
    heard.push_back(Heard{"button", row, id, -1});
  }
  std::vector<Heard> heard;
};

class CSampleWindow final : public ui::CSkinWindow {
 public:
  void Build(CListener* listener, CTable* table) {
    const ui::SkinDefinition skin = ui::SkinDefinition::Load("EditListSample.txt");
    LoadBase(skin.GetSection("Base"));
    SetUseRegion(true);
    title = static_cast<ui::CSkinWindowItemEditBox*>(
        CreateEditBox(kTitleId, skin.GetSection("TitleEdit")));
    artist = static_cast<ui::CSkinWindowItemEditBox*>(
        CreateEditBox(kArtistId, skin.GetSection("ArtistEdit")));
    artist->SetUnicode(true);
    list_bar = CreateScrollBar(kListBarId, skin.GetSection("ListScroll"));
    view = CreateButtonListView(kListId, skin.GetSection("FileList"), list_bar, listener);
    column_bar = CreateScrollBar(kColumnBarId, skin.GetSection("ColumnScroll"));
    view->AddSubButton(ui::ListSubButton{0, 1, ui::CButtonListView::kLeft, false, true});
    view->AddColumn(ui::ListColumn{"曲名", 240, DT_LEFT, false, true});
    view->AddColumn(ui::ListColumn{"アーティスト", 160, DT_LEFT, false, true});
    view->ShowHeader(true);
    view->SetTable(table);
    view->LayoutColumns();
    column_bar->SetRange(40, 10);
  }

  ui::CSkinWindowItemEditBox* title = nullptr;
  ui::CSkinWindowItemEditBox* artist = nullptr;
  ui::CButtonListView* view = nullptr;
  ui::CSkinWindowItemScrollBar* list_bar = nullptr;
  ui::CSkinWindowItemScrollBar* column_bar = nullptr;
  std::vector<int> column_codes;

  // The wheel scrolls the list only while the pointer is over it.
  void OnMouseWheelNotch(UINT, int steps, int x, int y) override {
    POINT pt{x, y};
    ::ScreenToClient(Handle(), &pt);
    const RECT r = view->Rect();
    if (PtInRect(&r, pt)) view->ScrollByWheel(steps);
  }

 protected:
  // The list's bar reports to the window, which passes it to the view; the
  // horizontal bar's owner moves it a step or a page.
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_VSCROLL && view) {
      view->OnNotify(WM_VSCROLL, static_cast<INT_PTR>(wparam), lparam);
      return 0;
    }
    if (message == WM_HSCROLL && column_bar) {
      const int code = LOWORD(wparam);
      column_codes.push_back(code);
      const int pos = column_bar->GetPos();
      if (code == SB_LINERIGHT) column_bar->SetPos(pos + 1);
      if (code == SB_LINELEFT) column_bar->SetPos(pos - 1);
      if (code == SB_PAGERIGHT) column_bar->SetPos(pos + column_bar->GetPage());
      if (code == SB_PAGELEFT) column_bar->SetPos(pos - column_bar->GetPage());
      return 0;
    }
    return CSkinWindow::WindowProc(message, wparam, lparam);
  }
};

// Mouse input from the real pointer is dropped: other test processes share
// the Xvfb pointer, and a hover it brings would change the pixels read here.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class EditListSampleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.Build(&listener, &table);
    const RECT client = window.GetDefaultClientRect();
    window.Create(0, nullptr, window.Title().c_str(), WS_POPUP | WS_VISIBLE, 60, 60, client.right,
                  client.bottom);
    window.title->SetTextW(L"春の海（箏と尺八）");
    window.artist->SetTextW(L"宮城 道雄");
    window.UpdateWindow();
    Pump();
  }
  void TearDown() override {
    if (window.Handle()) window.DestroyWindow();
    Pump();
  }

  void Click(int x, int y) {
    SendMessageA(window.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(window.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    Pump();
  }

  // Pixels of the active row's border colour in the row slot `slot` below
  // the header.
  int ActiveBorderIn(int slot) {
    int count = 0;
    const int top = kRowsTop + kRowHeight * slot;
    for (int y = top; y < top + kRowHeight; ++y)
      for (int x = kListLeft; x < kListLeft + 474; ++x)
        count += window.BackBuffer()->GetPixel(x, y) == kActiveRowBorder;
    return count;
  }

  int InkIn(int slot) {
    int count = 0;
    const int top = kRowsTop + kRowHeight * slot;
    for (int y = top; y < top + kRowHeight; ++y)
      for (int x = kListLeft + 40; x < kListLeft + 240; ++x)
        count += window.BackBuffer()->GetPixel(x, y) == kInk;
    return count;
  }

  ovtest::CScreenLock screen_lock;  // taken before the window is made
  ovtest::CMessageBoxCapture boxes;
  CListener listener;
  CTable table;
  CSampleWindow window;
};

TEST_F(EditListSampleTest, ShowsEveryItemApartWithJapaneseText) {
  EXPECT_TRUE(boxes.Boxes().empty());
  ASSERT_NE(window.BackBuffer(), nullptr);
  ASSERT_EQ(window.Items().size(), 5u);
  for (size_t i = 0; i < window.Items().size(); ++i)
    for (size_t j = i + 1; j < window.Items().size(); ++j)
      EXPECT_FALSE(Overlap(window.Items()[i]->Rect(), window.Items()[j]->Rect()))
          << window.Items()[i]->Id() << " and " << window.Items()[j]->Id();

  // The controls hold the text whole, the narrow one in CP932.
  EXPECT_EQ(window.title->GetTextW(), L"春の海（箏と尺八）");
  EXPECT_EQ(window.artist->GetTextW(), L"宮城 道雄");
  EXPECT_EQ(window.title->GetText(), "春の海（箏と尺八）");
  EXPECT_TRUE(window.title->ControlShown());
  EXPECT_TRUE(window.artist->ControlShown());

  // 170 high: seven whole rows of ten under the header, so three to scroll;
  // the horizontal bar has room to move.
  EXPECT_EQ(window.view->GetPageRowCount(), 7);
  EXPECT_EQ(window.list_bar->GetMaximum(), 3);
  EXPECT_TRUE(window.list_bar->IsEnabled());
  EXPECT_TRUE(window.column_bar->IsEnabled());
  for (int slot = 0; slot < 7; ++slot) EXPECT_GT(InkIn(slot), 20) << "row " << slot;
  EXPECT_GT(ActiveBorderIn(kActiveRow), 100);

  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("edit_list_sample", &error)) << error;
}

TEST_F(EditListSampleTest, ClicksTypingAndArrowsReachTheirOwners) {
  // A click on the fourth row's title cell reaches the listener.
  Click(kListLeft + 120, kRowsTop + kRowHeight * 3 + 10);
  EXPECT_EQ(listener.heard, (std::vector<Heard>{{"down", 3, ui::kListHitCell, 0},
                                                {"click", 3, ui::kListHitCell, 0}}));

  // Typing into the wide box: the character arrives whole at the end.
  const HWND control = window.artist->Handle();
  SendMessageW(control, EM_SETSEL, 100, 100);
  SendMessageW(control, WM_CHAR, L'氏', 1);
  EXPECT_EQ(window.artist->GetTextW(), L"宮城 道雄氏");

  // The down arrow of the list's bar scrolls by one row: the active row
  // moves up one slot in the back buffer.
  const int down_arrow_y = kListTop + 170 - 8;
  Click(486 + 8, down_arrow_y);
  EXPECT_EQ(window.view->GetScrollPos(), 1);
  EXPECT_EQ(window.list_bar->GetPos(), 1);
  EXPECT_GT(ActiveBorderIn(kActiveRow - 1), 100);
  EXPECT_EQ(ActiveBorderIn(kActiveRow), 0);
  // The row under the same point is now the fifth.
  listener.heard.clear();
  Click(kListLeft + 120, kRowsTop + kRowHeight * 3 + 10);
  ASSERT_FALSE(listener.heard.empty());
  EXPECT_EQ(listener.heard.back().row, 4);

  // A wheel notch over the list scrolls it three rows; over the edit boxes
  // it leaves the list alone.
  auto wheel = [&](int delta, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(window.Handle(), &pt);
    SendMessageA(window.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(pt.x, pt.y));
  };
  wheel(WHEEL_DELTA, 100, 40);
  EXPECT_EQ(window.view->GetScrollPos(), 1);
  wheel(WHEEL_DELTA, kListLeft + 100, kRowsTop + 30);
  EXPECT_EQ(window.view->GetScrollPos(), 0);
  EXPECT_GT(ActiveBorderIn(kActiveRow), 100);
  wheel(-WHEEL_DELTA, kListLeft + 100, kRowsTop + 30);
  EXPECT_EQ(window.view->GetScrollPos(), 3);
  EXPECT_EQ(window.list_bar->GetPos(), 3);

  // The horizontal bar's right arrow reaches the window, whose owner moves it.
  const int thumb_before = window.column_bar->Geometry().thumb_start;
  Click(12 + 474 - 8, 236 + 8);
  EXPECT_EQ(window.column_codes, (std::vector<int>{SB_LINERIGHT}));
  EXPECT_EQ(window.column_bar->GetPos(), 1);
  EXPECT_GT(window.column_bar->Geometry().thumb_start, thumb_before);
}

}  // namespace
