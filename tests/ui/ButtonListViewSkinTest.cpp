// The button list view read from skin sections: the keys it takes, the
// sections it refuses (and never allocates for), the pictures it acquires;
// and the sample window from the test skin with Japanese rows, kept as a
// screenshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "ButtonListView.h"
#include "MemoryImageSource.h"
#include "MessageBoxCapture.h"
#include "ScreenLock.h"
#include "SkinDefinition.h"
#include "SkinException.h"
#include "SkinItemResources.h"
#include "SkinWindow.h"
#include "SkinWindowItemScrollBar.h"
#include "StringUtil.h"
#include "XvfbScreenshot.h"

namespace {

using Keys = std::initializer_list<std::pair<const char*, ui::SkinValues>>;

// A whole list view section; `changes` replace or add keys, `removed` are
// left out.
ui::SkinSection ListSection(Keys changes = {}, std::initializer_list<const char*> removed = {}) {
  const Keys keys = {
      {"Position", {"4", "6"}},
      {"Size", {"200", "100"}},
      {"Font", {"MS UI Gothic", "12", "400"}},
      {"NormalButton", {"LvSkin.png", "0", "0", "16", "18"}},
      {"NormalHotButton", {"LvSkin.png", "16", "0", "32", "18"}},
      {"PushedButton", {"LvSkin.png", "32", "0", "48", "18"}},
      {"PushedHotButton", {"LvSkin.png", "48", "0", "64", "18"}},
      {"NormalHeader", {"LvSkin.png", "0", "4", "26", "30", "20", "42"}},
      {"PushedHeader", {"LvSkin.png", "0", "4", "26", "30", "42", "64"}},
      {"NormalRowCount", {"2"}},
      {"NormalRow.0", {"LvRows.png", "0", "3", "27", "30", "0", "18"}},
      {"NormalRow.1", {"LvRows.png", "0", "3", "27", "30", "18", "36"}},
      {"ActiveRow", {"LvSkin.png", "0", "4", "26", "30", "64", "82"}},
      {"LabelCount", {"1"}},
      {"OnLabel.0", {"LvSkin.png", "64", "0", "72", "8"}},
      {"OffLabel.0", {"LvSkin.png", "72", "0", "80", "8"}},
      {"OnDLabel.0", {"LvSkin.png", "80", "0", "88", "8"}},
      {"OffDLabel.0", {"LvSkin.png", "88", "0", "96", "8"}},
      {"ButtonToolTipText.0", {"再生"}},
      {"IconCount", {"1"}},
      {"IconImage.0", {"LvSkin.png", "96", "0", "106", "10", "2", "3"}},
  };
  ui::SkinSection section("List");
  for (const auto& key : keys) {
    const bool gone = std::find_if(removed.begin(), removed.end(), [&](const char* name) {
                        return std::string(name) == key.first;
                      }) != removed.end();
    if (!gone) section.Set(key.first, key.second);
  }
  for (const auto& key : changes) section.Set(key.first, key.second);
  return section;
}

TEST(ButtonListViewSkinTest, ReadsTheLookFromTheSection) {
  const ui::ButtonListLook look = ui::ReadButtonListLook(ListSection());
  EXPECT_EQ(look.rect.left, 4);
  EXPECT_EQ(look.rect.bottom, 106);
  EXPECT_EQ(look.RowHeight(), 18);
  EXPECT_EQ(look.ButtonWidth(), 16);
  EXPECT_EQ(look.HeaderHeight(), 22);
  EXPECT_EQ(look.normal_header.x1, 4);
  EXPECT_EQ(look.normal_header.x2, 26);
  EXPECT_EQ(look.pushed_header.picture.rect.top, 42);
  ASSERT_EQ(look.rows.size(), 2u);
  EXPECT_EQ(look.rows[1].picture.name, "LvRows.png");
  EXPECT_EQ(look.rows[1].picture.rect.top, 18);
  ASSERT_EQ(look.labels.size(), 1u);
  EXPECT_EQ(look.labels[0].off_disabled.rect.left, 88);
  EXPECT_EQ(look.labels[0].tip, "再生");
  EXPECT_EQ(look.labels[0].tip_on, "再生");  // the pushed tip falls back
  ASSERT_EQ(look.icons.size(), 1u);
  EXPECT_EQ(look.icons[0].picture.Width(), 10);
  EXPECT_EQ(look.icons[0].offset.x, 2);
  EXPECT_EQ(look.icons[0].offset.y, 3);
  EXPECT_EQ(look.font.lfWeight, 400);

  // No icons without IconCount; counts below 0 count as none.
  const ui::ButtonListLook bare = ui::ReadButtonListLook(
      ListSection({{"NormalRowCount", {"-4"}}, {"LabelCount", {"0"}}}, {"IconCount"}));
  EXPECT_TRUE(bare.rows.empty());
  EXPECT_TRUE(bare.labels.empty());
  EXPECT_TRUE(bare.icons.empty());
}

TEST(ButtonListViewSkinTest, RefusesBadSectionsWithTheSkinException) {
  struct Case {
    const char* what;
    Keys changes;
    std::initializer_list<const char*> removed;
    std::string text;
  };
  const Case cases[] = {
      {"row height 0",
       {{"NormalButton", {"LvSkin.png", "0", "5", "16", "5"}}},
       {},
       "List/NormalButtonの高さは 1以上が必要です(0)"},
      {"row height below 0",
       {{"NormalButton", {"LvSkin.png", "0", "9", "16", "5"}}},
       {},
       "List/NormalButtonの高さは 1以上が必要です(-4)"},
      {"a required key missing", {}, {"ActiveRow"}, "List/ActiveRowが定義されていません"},
      {"a row the count names missing",
       {},
       {"NormalRow.1"},
       "List/NormalRow.1が定義されていません"},
      {"a huge row count",
       {{"NormalRowCount", {"2147483647"}}},
       {},
       "List/NormalRow.2が定義されていません"},
      {"a label picture missing", {}, {"OnDLabel.0"}, "List/OnDLabel.0が定義されていません"},
      {"a huge label count",
       {{"LabelCount", {"999999999"}}},
       {},
       "List/OnLabel.1が定義されていません"},
      {"an icon short of values",
       {{"IconImage.0", {"LvSkin.png", "96", "0", "106", "10", "2"}}},
       {},
       "List/IconImage.0のパラメータは 7個必要です"},
  };
  for (const Case& c : cases) {
    ovtest::CMessageBoxCapture boxes;
    try {
      ui::ReadButtonListLook(ListSection(c.changes, c.removed));
      ADD_FAILURE() << c.what << ": no exception";
    } catch (const ui::CSkinWindowException& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.text, 0), 0u) << c.what << ": " << e.what();
    }
    // Every refusal shows its "Skin Load" box, answered here.
    ASSERT_EQ(boxes.Boxes().size(), 1u) << c.what;
  }
}

TEST(ButtonListViewSkinTest, AcquiresEveryPictureRowsIncluded) {
  lib::wfc::CDIB picture;
  picture.Create(128, 128);
  picture.Fill(RGB(1, 2, 3));
  uitest::CMemoryImageSource::Installed().Put("LvSkin.png", std::move(picture));
  lib::wfc::CDIB rows;
  rows.Create(32, 40);
  rows.Fill(RGB(4, 5, 6));
  uitest::CMemoryImageSource::Installed().Put("LvRows.png", std::move(rows));
  ui::CSkinItemResources resources;
  ui::CButtonListView view(nullptr, 1, ListSection(), &resources, nullptr, nullptr);
  const auto& keys = resources.Keys();
  EXPECT_EQ(keys.size(), 2u);
  EXPECT_NE(std::find(keys.begin(), keys.end(), ui::CCachedDIBImpl::KeyOf("LvRows.png")),
            keys.end());
  EXPECT_EQ(view.Width(), 200);
  EXPECT_EQ(view.Height(), 100);
  // A row of 18 and a font of 12: two pixels above the text at least.
  const RECT margins = view.TextMargins();
  EXPECT_EQ(margins.left, 2);
  EXPECT_EQ(margins.right, 2);
  EXPECT_GE(margins.top, margins.bottom);
}

// The sample: a file list with Japanese rows from a wide table.
struct SampleRow {
  const wchar_t* name;
  const wchar_t* artist;
  const wchar_t* size;
  int icon;
};

const SampleRow kSampleRows[] = {
    {L"音楽フォルダ", L"", L"", 0},
    {L"春の海.mp3", L"宮城 道雄", L"4.2 MB", 1},
    {L"さくらさくら.wma", L"日本の歌", L"3.1 MB", 1},
    {L"故郷（ふるさと）.m4a", L"唱歌", L"2.8 MB", 1},
    {L"荒城の月.mp3", L"滝 廉太郎", L"5.0 MB", 1},
    {L"赤とんぼ.mp3", L"山田 耕筰", L"3.7 MB", 1},
    {L"夕焼け小焼け.wma", L"草川 信", L"2.2 MB", 1},
    {L"花.mp3", L"滝 廉太郎", L"4.4 MB", 1},
    {L"とても長い曲名の例：表示しきれない部分は省略されます.mp3", L"作者不明", L"9.9 MB", 1},
    {L"朧月夜.m4a", L"岡野 貞一", L"3.3 MB", 1},
    {L"紅葉.mp3", L"岡野 貞一", L"2.9 MB", 1},
    {L"雪.mp3", L"文部省唱歌", L"1.8 MB", 1},
    {L"七つの子.wma", L"本居 長世", L"2.6 MB", 1},
    {L"椰子の実.mp3", L"大中 寅二", L"4.0 MB", 1},
};
constexpr int kSampleCount = static_cast<int>(sizeof(kSampleRows) / sizeof(kSampleRows[0]));

class CSampleTable final : public ui::CButtonListViewTableW {
 public:
  int GetRowCount(ui::CButtonListView*) override { return kSampleCount; }
  bool IsActiveRow(ui::CButtonListView*, int row) override { return row == 2; }
  bool IsButtonEnabled(ui::CButtonListView*, int row, int) override { return row != 0; }
  bool IsButtonOn(ui::CButtonListView*, int row, int id) override { return id == 1 && row == 4; }
  int GetButtonLabel(ui::CButtonListView*, int, int) override { return 1; }
  std::string GetCellText(ui::CButtonListView*, int, int) override { return std::string(); }
  COLORREF GetCellTextColor(ui::CButtonListView*, int row, int) override {
    return row == 0 ? RGB(30, 60, 140) : RGB(20, 20, 20);
  }
  int GetCellIcon(ui::CButtonListView*, int row, int column) override {
    return column == 0 ? kSampleRows[row].icon : -1;
  }
  std::string GetCellToolTip(ui::CButtonListView*, int, int) override { return std::string(); }
  int GetMinColumnWidth(ui::CButtonListView*) override { return 40; }
  std::wstring GetCellTextW(ui::CButtonListView*, int row, int column) override {
    const SampleRow& r = kSampleRows[row];
    return column == 0 ? r.name : column == 1 ? r.artist : r.size;
  }
  bool IsWideText(ui::CButtonListView*) override { return true; }
};

class CSampleListener final : public ui::CButtonListViewListener {
 public:
  void OnLayoutChanged(ui::CButtonListView*) override {}
  void OnMouseDown(ui::CButtonListView*, int, int, int, bool) override {}
  void OnDoubleClick(ui::CButtonListView*, int, int, int, bool) override {}
  void OnButtonClick(ui::CButtonListView*, int, int) override {}
};

class CSampleWindow final : public ui::CSkinWindow {
 public:
  void Build(CSampleListener* listener) {
    const ui::SkinDefinition skin = ui::SkinDefinition::Load("ListView.txt");
    LoadBase(skin.GetSection("Base"));
    SetUseRegion(true);
    auto bar = std::make_unique<ui::CSkinWindowItemScrollBar>(
        this, 2001, skin.GetSection("ListScroll"), GetItemResourceObject());
    auto list = std::make_unique<ui::CButtonListView>(this, 2000, skin.GetSection("FileList"),
                                                      GetItemResourceObject(), bar.get(), listener);
    view = list.get();
    scroll = bar.get();
    AddItem(std::move(list));
    AddItem(std::move(bar));
    view->AddSubButton(ui::ListSubButton{0, 1, ui::CButtonListView::kLeft, true, true});
    view->AddSubButton(ui::ListSubButton{-1, 2, ui::CButtonListView::kRight, false, true});
    view->AddColumn(ui::ListColumn{"曲名", 180, DT_LEFT, false, true});
    view->AddColumn(ui::ListColumn{"アーティスト", 100, DT_LEFT, false, true});
    view->AddColumn(ui::ListColumn{"サイズ", 60, DT_RIGHT, true, false});
    view->ShowHeader(true);
  }

  ui::CButtonListView* view = nullptr;
  ui::CSkinWindowItemScrollBar* scroll = nullptr;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    if (message == WM_VSCROLL && view) {
      view->OnNotify(WM_VSCROLL, static_cast<INT_PTR>(wparam), lparam);
      return 0;
    }
    return CSkinWindow::WindowProc(message, wparam, lparam);
  }
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) continue;
    DispatchMessageA(&msg);
  }
}

TEST(ButtonListViewSampleTest, JapaneseRowsFromTheTestSkin) {
  ovtest::CScreenLock screen_lock;
  ovtest::CMessageBoxCapture boxes;
  CSampleListener listener;
  CSampleTable table;
  CSampleWindow window;
  window.Build(&listener);
  window.view->SetTable(&table);
  window.view->LayoutColumns();
  const RECT client = window.GetDefaultClientRect();
  window.Create(0, nullptr, window.Title().c_str(), WS_POPUP | WS_VISIBLE, 60, 60, client.right,
                client.bottom);
  EXPECT_TRUE(boxes.Boxes().empty());
  // 268 high: a header of 22 and rows of 20, so 12 whole rows of 14.
  EXPECT_EQ(window.view->GetPageRowCount(), 12);
  EXPECT_EQ(window.scroll->GetMaximum(), 2);
  // The pointer rests on the second row's play button: drawn hot.
  SendMessageA(window.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(20, 40 + 22 + 20 + 10));
  window.UpdateWindow();
  Pump();

  // Dark ink in the first column of the text rows: the names are drawn.
  const lib::wfc::CDIB& back = *window.BackBuffer();
  for (int row = 1; row < 6; ++row) {
    int ink = 0;
    const int top = 40 + 22 + 20 * row;
    for (int y = top; y < top + 20; ++y)
      for (int x = 50; x < 200; ++x) ink += back.GetPixel(x, y) == RGB(20, 20, 20);
    EXPECT_GT(ink, 20) << "row " << row;
  }
  std::string error;
  EXPECT_TRUE(ovtest::SaveXvfbScreenshot("button_list_view", &error)) << error;
  window.DestroyWindow();
  Pump();
}

}  // namespace
