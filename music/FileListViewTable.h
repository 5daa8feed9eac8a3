// The rows of the manual window's two file lists: cells that carry their
// display text with the value they sort by, rows with selection, focus and
// playability, and a list with its anchor and sort state. No locking here:
// every caller holds the manual window's table lock. Rows are kept in a
// vector so that the view's per-cell questions cost constant time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OvWindows.h"

namespace ui {

enum FileListCellKind : int { kCellText = 0, kCellSize = 1, kCellDate = 2 };

class CFileListViewColumn {
 public:
  virtual ~CFileListViewColumn() = default;

  int kind = kCellText;
  std::wstring text;
  uint32_t size_kb = 0;
  SYSTEMTIME time = {};
};

class CFileListViewTable {
 public:
  virtual ~CFileListViewTable() = default;

  std::vector<CFileListViewColumn> columns;
  bool selected = false;
  bool selectable = true;
  bool focus = false;
};

// "1,234 KB": groups of three decimal digits of the KB figure.
std::wstring FormatSizeKB(uint32_t kb);
// "2026/12/11 06:15"
std::wstring FormatDate(const SYSTEMTIME& time);
void SetSizeText(uint32_t kb, CFileListViewColumn* cell);
void SetDateText(const SYSTEMTIME& time, CFileListViewColumn* cell);
CFileListViewColumn TextCell(const std::wstring& text);
// A file time (UTC) as calendar time in the zone (null: the user's own);
// false when the platform cannot convert it (the fields are then zero).
bool FileTimeToLocalCalendar(const FILETIME& utc, SYSTEMTIME* local,
                             const TIME_ZONE_INFORMATION* zone = nullptr);
// True when a sorts before b.
bool CompareCells(const CFileListViewColumn& a, const CFileListViewColumn& b);
bool CompareRows(int column, const CFileListViewTable& a, const CFileListViewTable& b);

class CFileListViewTableList {
 public:
  virtual ~CFileListViewTableList() = default;

  int Count() const { return static_cast<int>(_rows.size()); }
  void Append(CFileListViewTable row) { _rows.push_back(std::move(row)); }
  const CFileListViewTable* Row(int index) const;

  std::wstring GetColumnText(int row, int column) const;
  bool IsSelectable(int index) const;
  bool IsSelected(int index) const;
  bool AnySelected() const;
  int CountSelected() const;
  void ClearSelection();
  void SelectRow(int index);
  // Flips a selectable row's selection.
  void ToggleRow(int index);
  void SelectAll();
  void SetAnchor(int index);
  const std::wstring& AnchorName() const { return _anchor; }
  void SelectRange(int index);
  void SetFocusRow(int index);
  int FindFocusRow() const;
  int GetSelectedNames(std::vector<std::wstring>* names) const;
  int GetSelectableNames(std::vector<std::wstring>* names) const;
  void Clear();
  void Sort(int column, bool descending);

  int SortColumn() const { return _sort_column; }
  bool Descending() const { return _descending; }
  void SetSortState(int column, bool descending) {
    _sort_column = column;
    _descending = descending;
  }

 private:
  bool Valid(int index) const { return index >= 0 && index < Count(); }

  std::vector<CFileListViewTable> _rows;
  std::wstring _anchor;
  int _sort_column = 0;
  bool _descending = false;
};

}  // namespace ui
