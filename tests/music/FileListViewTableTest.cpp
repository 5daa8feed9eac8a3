// The file list tables as tables of cases: size and date texts, the local
// time of a file date, cell and row order, stable sorts in both directions,
// click ranges with and without an anchor, focus and the name lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileListViewTable.h"

namespace {

using ui::CFileListViewColumn;
using ui::CFileListViewTable;
using ui::CFileListViewTableList;

SYSTEMTIME Time(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s = 0, WORD ms = 0) {
  SYSTEMTIME t{};
  t.wYear = y;
  t.wMonth = mo;
  t.wDay = d;
  t.wHour = h;
  t.wMinute = mi;
  t.wSecond = s;
  t.wMilliseconds = ms;
  return t;
}

// A row: name, size in KB, a label and a date; selectable unless told.
CFileListViewTable Row(const std::wstring& name, uint32_t kb = 0, const std::wstring& label = L"",
                       SYSTEMTIME when = Time(2020, 1, 1, 0, 0), bool selectable = true) {
  CFileListViewTable row;
  row.columns.push_back(ui::TextCell(name));
  CFileListViewColumn size, date;
  ui::SetSizeText(kb, &size);
  ui::SetDateText(when, &date);
  row.columns.push_back(size);
  row.columns.push_back(ui::TextCell(label));
  row.columns.push_back(date);
  row.selectable = selectable;
  return row;
}

std::vector<std::wstring> Names(const CFileListViewTableList& list) {
  std::vector<std::wstring> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.GetColumnText(i, 0));
  return names;
}

std::vector<int> Selected(const CFileListViewTableList& list) {
  std::vector<int> rows;
  for (int i = 0; i < list.Count(); ++i) {
    if (list.IsSelected(i)) rows.push_back(i);
  }
  return rows;
}

TEST(FileListViewTableTest, SizeTextsGroupThousandsOfKB) {
  const struct {
    uint32_t kb;
    const wchar_t* text;
  } cases[] = {
      {0, L"0 KB"},
      {999, L"999 KB"},
      {1000, L"1,000 KB"},
      {1001, L"1,001 KB"},
      {45678, L"45,678 KB"},
      {999999, L"999,999 KB"},
      {1000000, L"1,000,000 KB"},
      {1234567, L"1,234,567 KB"},
      {4294967295u, L"4294,967,295 KB"},
  };
  for (const auto& c : cases) {
    CFileListViewColumn cell;
    ui::SetSizeText(c.kb, &cell);
    EXPECT_EQ(cell.text, c.text) << c.kb;
    EXPECT_EQ(cell.kind, ui::kCellSize);
    EXPECT_EQ(cell.size_kb, c.kb);
  }
}

TEST(FileListViewTableTest, DateTextShowsMinutesAndKeepsTheWholeTime) {
  CFileListViewColumn cell;
  ui::SetDateText(Time(2026, 3, 7, 5, 9, 42, 7), &cell);
  EXPECT_EQ(cell.text, L"2026/03/07 05:09");
  EXPECT_EQ(cell.kind, ui::kCellDate);
  EXPECT_EQ(cell.time.wSecond, 42);
  EXPECT_EQ(cell.time.wMilliseconds, 7);
}

TEST(FileListViewTableTest, FileDatesAreShownInTheZoneOfTheUser) {
  // 2026-12-31 20:30 UTC is 2027-01-01 05:30 in Tokyo (UTC+9, no summer time)
  // and 15:30 on the 31st in New York in winter.
  SYSTEMTIME utc = Time(2026, 12, 31, 20, 30);
  FILETIME file{};
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &file));
  TIME_ZONE_INFORMATION tokyo{};
  tokyo.Bias = -540;
  TIME_ZONE_INFORMATION new_york{};
  new_york.Bias = 300;
  new_york.DaylightBias = -60;
  new_york.StandardDate = Time(0, 11, 1, 2, 0);  // first Sunday of November
  new_york.DaylightDate = Time(0, 3, 2, 2, 0);   // second Sunday of March
  SYSTEMTIME local{};
  ASSERT_TRUE(ui::FileTimeToLocalCalendar(file, &local, &tokyo));
  EXPECT_EQ(ui::FormatDate(local), L"2027/01/01 05:30");
  ASSERT_TRUE(ui::FileTimeToLocalCalendar(file, &local, &new_york));
  EXPECT_EQ(ui::FormatDate(local), L"2026/12/31 15:30");
  // The user's own zone agrees with the platform's conversion.
  ASSERT_TRUE(ui::FileTimeToLocalCalendar(file, &local));
  FILETIME converted{};
  SYSTEMTIME expected{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&file, &converted));
  ASSERT_TRUE(FileTimeToSystemTime(&converted, &expected));
  EXPECT_EQ(ui::FormatDate(local), ui::FormatDate(expected));
}

TEST(FileListViewTableTest, CellsCompareByTheirKind) {
  CFileListViewColumn small, large, early, late, same_minute_later;
  ui::SetSizeText(9, &small);
  ui::SetSizeText(10, &large);
  ui::SetDateText(Time(2020, 5, 1, 10, 0), &early);
  ui::SetDateText(Time(2020, 5, 1, 10, 1), &late);
  ui::SetDateText(Time(2020, 5, 1, 10, 0, 0, 1), &same_minute_later);
  CFileListViewColumn odd = small;
  odd.kind = 7;
  const struct {
    const char* name;
    CFileListViewColumn a, b;
    bool before;
  } cases[] = {
      {"texts by code unit: upper before lower", ui::TextCell(L"Z"), ui::TextCell(L"a"), true},
      {"texts: equal is not before", ui::TextCell(L"a"), ui::TextCell(L"a"), false},
      {"sizes by value, not by text", small, large, true},
      {"sizes: larger is not before", large, small, false},
      {"dates by minute", early, late, true},
      {"dates down to the millisecond", early, same_minute_later, true},
      {"another kind never sorts before", odd, large, false},
  };
  for (const auto& c : cases) EXPECT_EQ(ui::CompareCells(c.a, c.b), c.before) << c.name;
  CFileListViewTable short_row;
  short_row.columns.push_back(ui::TextCell(L"a"));
  EXPECT_FALSE(ui::CompareRows(1, short_row, Row(L"b", 1)));
  EXPECT_FALSE(ui::CompareRows(-1, Row(L"a"), Row(L"b")));
  EXPECT_TRUE(ui::CompareRows(0, Row(L"a"), Row(L"b")));
}

TEST(FileListViewTableTest, SortsAreStableInBothDirections) {
  CFileListViewTableList list;
  list.Append(Row(L"c.mp3", 5, L"x"));
  list.Append(Row(L"a.mp3", 1000, L"y"));
  list.Append(Row(L"b.mp3", 5, L"x"));
  list.Append(Row(L"d.mp3", 20, L"x"));
  CFileListViewTable bare;  // no columns: never moves against the others
  list.Append(bare);

  list.Sort(1, false);
  EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"c.mp3", L"b.mp3", L"d.mp3", L"a.mp3", L""}));
  list.Sort(1, true);
  EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"a.mp3", L"d.mp3", L"c.mp3", L"b.mp3", L""}));
  // Equal labels keep the order the last sort left, both ways.
  list.Sort(2, false);
  EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"d.mp3", L"c.mp3", L"b.mp3", L"a.mp3", L""}));
  list.Sort(2, true);
  EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"a.mp3", L"d.mp3", L"c.mp3", L"b.mp3", L""}));
  list.Sort(0, false);
  EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"a.mp3", L"b.mp3", L"c.mp3", L"d.mp3", L""}));
  // A column no row has leaves the order alone.
  list.Sort(9, true);
  EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"a.mp3", L"b.mp3", L"c.mp3", L"d.mp3", L""}));
}

TEST(FileListViewTableTest, RangesRunFromTheAnchorOrFromTheRowToTheEnd) {
  // Rows 0..5; row 3 cannot be played.
  const auto fill = [](CFileListViewTableList* list) {
    for (const wchar_t* name : {L"0", L"1", L"2", L"3", L"4", L"5"}) {
      list->Append(Row(name, 1, L"", Time(2020, 1, 1, 0, 0), std::wstring(name) != L"3"));
    }
  };
  const struct {
    const char* name;
    int anchor;  // -1: none set
    const wchar_t* anchor_name;
    int clicked;
    std::vector<int> selected;
  } cases[] = {
      {"down from the anchor, skipping the unplayable row", 1, nullptr, 4, {1, 2, 4}},
      {"up to the anchor", 4, nullptr, 1, {1, 2, 4}},
      {"the anchor row alone", 2, nullptr, 2, {2}},
      {"no anchor: from the row to the end", -1, nullptr, 2, {2, 4, 5}},
      {"an anchor name no row has: from the row to the end", -1, L"gone", 1, {1, 2, 4, 5}},
      {"a row outside the list changes nothing", 1, nullptr, 9, {0}},
  };
  for (const auto& c : cases) {
    CFileListViewTableList list;
    if (c.anchor_name) {
      // The anchor's row goes away with a reload; its name stays.
      list.Append(Row(c.anchor_name));
      list.SetAnchor(0);
      list.Clear();
    }
    fill(&list);
    list.SelectRow(0);
    if (c.anchor >= 0) list.SetAnchor(c.anchor);
    list.SelectRange(c.clicked);
    EXPECT_EQ(Selected(list), c.selected) << c.name;
  }
}

TEST(FileListViewTableTest, TwoRowsOfTheAnchorNameStartAtTheFirst) {
  CFileListViewTableList list;
  for (const wchar_t* name : {L"x", L"a", L"b", L"a", L"c"}) list.Append(Row(name));
  list.SetAnchor(3);  // "a": rows 1 and 3 both carry it
  list.SelectRange(4);
  EXPECT_EQ(Selected(list), (std::vector<int>{1, 2, 3, 4}));
}

TEST(FileListViewTableTest, SelectionFocusAndNames) {
  CFileListViewTableList list;
  list.Append(Row(L"a", 1));
  list.Append(Row(L"b", 1, L"", Time(2020, 1, 1, 0, 0), false));
  list.Append(Row(L"c", 1));
  list.SelectRow(1);
  EXPECT_FALSE(list.AnySelected()) << "an unplayable row is never selected";
  list.ToggleRow(1);
  EXPECT_FALSE(list.IsSelected(1));
  list.ToggleRow(2);
  EXPECT_TRUE(list.IsSelected(2));
  list.ToggleRow(2);
  EXPECT_FALSE(list.IsSelected(2));
  list.SelectAll();
  EXPECT_EQ(list.CountSelected(), 2);
  std::vector<std::wstring> names{L"stale"};
  EXPECT_EQ(list.GetSelectedNames(&names), 2);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"c"}));
  list.ClearSelection();
  EXPECT_EQ(list.GetSelectedNames(&names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(list.GetSelectableNames(&names), 2);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"c"}));

  EXPECT_EQ(list.FindFocusRow(), -1);
  list.SetFocusRow(2);
  list.SetFocusRow(1);
  EXPECT_EQ(list.FindFocusRow(), 1);
  list.SetFocusRow(7);
  EXPECT_EQ(list.FindFocusRow(), -1) << "a row outside the list clears the mark";

  EXPECT_EQ(list.GetColumnText(0, 1), L"1 KB");
  EXPECT_EQ(list.GetColumnText(0, 9), L"");
  EXPECT_EQ(list.GetColumnText(-1, 0), L"");
  EXPECT_FALSE(list.IsSelectable(3));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
