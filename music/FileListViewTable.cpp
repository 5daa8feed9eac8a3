#include "FileListViewTable.h"

#include <algorithm>
#include <cwchar>
#include <tuple>

namespace ui {

std::wstring FormatSizeKB(uint32_t kb) {
  wchar_t text[48];
  if (kb >= 1000000) {
    std::swprintf(text, 48, L"%u,%03u,%03u KB", kb / 1000000, (kb % 1000000) / 1000, kb % 1000);
  } else if ((kb % 1000000) / 1000 != 0) {
    std::swprintf(text, 48, L"%u,%03u KB", (kb % 1000000) / 1000, kb % 1000);
  } else {
    std::swprintf(text, 48, L"%u KB", kb % 1000);
  }
  return text;
}

std::wstring FormatDate(const SYSTEMTIME& t) {
  wchar_t text[48];
  std::swprintf(text, 48, L"%04d/%02d/%02d %02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute);
  return text;
}

void SetSizeText(uint32_t kb, CFileListViewColumn* cell) {
  cell->kind = kCellSize;
  cell->size_kb = kb;
  cell->text = FormatSizeKB(kb);
}

void SetDateText(const SYSTEMTIME& time, CFileListViewColumn* cell) {
  cell->kind = kCellDate;
  cell->time = time;
  cell->text = FormatDate(time);
}

CFileListViewColumn TextCell(const std::wstring& text) {
  CFileListViewColumn cell;
  cell.text = text;
  return cell;
}

bool FileTimeToLocalCalendar(const FILETIME& utc, SYSTEMTIME* local,
                             const TIME_ZONE_INFORMATION* zone) {
  *local = SYSTEMTIME{};
  SYSTEMTIME universal{};
  if (!FileTimeToSystemTime(&utc, &universal)) return false;
  // The time-zone rules of the file's own date, not of today.
  if (SystemTimeToTzSpecificLocalTime(const_cast<TIME_ZONE_INFORMATION*>(zone), &universal, local))
    return true;
  if (zone) return false;
  FILETIME converted{};
  return FileTimeToLocalFileTime(&utc, &converted) && FileTimeToSystemTime(&converted, local);
}

bool CompareCells(const CFileListViewColumn& a, const CFileListViewColumn& b) {
  switch (a.kind) {
    case kCellText:
      return a.text < b.text;
    case kCellSize:
      return a.size_kb < b.size_kb;
    case kCellDate: {
      const auto key = [](const SYSTEMTIME& t) {
        return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                               t.wMilliseconds);
      };
      return key(a.time) < key(b.time);
    }
    default:
      return false;
  }
}

bool CompareRows(int column, const CFileListViewTable& a, const CFileListViewTable& b) {
  if (column < 0 || static_cast<size_t>(column) >= a.columns.size() ||
      static_cast<size_t>(column) >= b.columns.size()) {
    return false;
  }
  return CompareCells(a.columns[column], b.columns[column]);
}

const CFileListViewTable* CFileListViewTableList::Row(int index) const {
  return Valid(index) ? &_rows[index] : nullptr;
}

std::wstring CFileListViewTableList::GetColumnText(int row, int column) const {
  if (!Valid(row) || column < 0 || static_cast<size_t>(column) >= _rows[row].columns.size()) {
    return std::wstring();
  }
  return _rows[row].columns[column].text;
}

bool CFileListViewTableList::IsSelectable(int index) const {
  return Valid(index) && _rows[index].selectable;
}

bool CFileListViewTableList::IsSelected(int index) const {
  return Valid(index) && _rows[index].selected;
}

bool CFileListViewTableList::AnySelected() const {
  return std::any_of(_rows.begin(), _rows.end(), [](const auto& r) { return r.selected; });
}

int CFileListViewTableList::CountSelected() const {
  return static_cast<int>(
      std::count_if(_rows.begin(), _rows.end(), [](const auto& r) { return r.selected; }));
}

void CFileListViewTableList::ClearSelection() {
  for (auto& row : _rows) row.selected = false;
}

void CFileListViewTableList::SelectRow(int index) {
  if (Valid(index)) _rows[index].selected = _rows[index].selectable;
}

void CFileListViewTableList::ToggleRow(int index) {
  if (Valid(index)) _rows[index].selected = _rows[index].selectable && !_rows[index].selected;
}

void CFileListViewTableList::SelectAll() {
  for (auto& row : _rows) row.selected = row.selectable;
}

void CFileListViewTableList::SetAnchor(int index) {
  if (Valid(index)) _anchor = GetColumnText(index, 0);
}

void CFileListViewTableList::SelectRange(int index) {
  if (!Valid(index)) return;
  ClearSelection();
  const auto named = std::find_if(_rows.begin(), _rows.end(), [&](const auto& r) {
    return !r.columns.empty() && r.columns[0].text == _anchor;
  });
  // Without a row of the anchor's name the range runs from the row to the end.
  const int anchor = named == _rows.end() ? Count() - 1 : static_cast<int>(named - _rows.begin());
  const int first = std::min(anchor, index);
  const int last = std::max(anchor, index);
  for (int i = first; i <= last; ++i) _rows[i].selected = _rows[i].selectable;
}

void CFileListViewTableList::SetFocusRow(int index) {
  for (auto& row : _rows) row.focus = false;
  if (Valid(index)) _rows[index].focus = true;
}

int CFileListViewTableList::FindFocusRow() const {
  const auto found =
      std::find_if(_rows.begin(), _rows.end(), [](const auto& r) { return r.focus; });
  return found == _rows.end() ? -1 : static_cast<int>(found - _rows.begin());
}

int CFileListViewTableList::GetSelectedNames(std::vector<std::wstring>* names) const {
  names->clear();
  for (int i = 0; i < Count(); ++i) {
    if (_rows[i].selected) names->push_back(GetColumnText(i, 0));
  }
  return static_cast<int>(names->size());
}

int CFileListViewTableList::GetSelectableNames(std::vector<std::wstring>* names) const {
  names->clear();
  for (int i = 0; i < Count(); ++i) {
    if (_rows[i].selectable) names->push_back(GetColumnText(i, 0));
  }
  return static_cast<int>(names->size());
}

void CFileListViewTableList::Clear() { _rows.clear(); }

void CFileListViewTableList::Sort(int column, bool descending) {
  std::stable_sort(_rows.begin(), _rows.end(), [&](const auto& a, const auto& b) {
    return descending ? CompareRows(column, b, a) : CompareRows(column, a, b);
  });
}

}  // namespace ui
