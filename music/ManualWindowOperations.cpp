// The manual window's operations (listing, copying, deleting, playing,
// properties), the handlers of the workers' results and the card-change
// notice. Every check failure stops before a request exists, so nothing on
// disk changes; each table read holds the window's table lock only for the
// read.
#include <algorithm>
#include <cctype>

#include "Log.h"
#include "ManualWindow.h"
#include "MusicFileLib.h"
#include "MusicFileThreadRequest.h"
#include "MusicFileUtil.h"
#include "StringUtil.h"
#include "WideUtil.h"

namespace ui {

namespace {

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring LastComponent(const std::wstring& folder) {
  std::wstring path = folder;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

const wchar_t* TypeName(int type) {
  switch (type) {
    case 1:
      return L"MP3 形式サウンド";
    case 2:
      return L"Windows Media オーディオファイル";
    case 3:
      return L"Wave サウンド";
    case 4:
      return L"M4A 形式サウンド";
    default:
      return L"不明な形式";
  }
}

}  // namespace

bool CManualWindow::ExistingFolder(const std::wstring& folder, std::wstring* canonical) {
  *canonical = CanonicalizePathW(folder);
  const DWORD attributes = GetFileAttributesW(canonical->c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  OV_LOG(kLogError, "フォルダが存在しません。[%s]", ToMultiByte(*canonical).c_str());
  return false;
}

int CManualWindow::TargetOf(CButtonListView* view) const {
  if (view && view == _pc_view) return kManualPC;
  if (view && view == _sd_view) return kManualSD;
  return 0;
}

CFileListViewTableList* CManualWindow::TableOf(int target) {
  return target == kManualPC ? &_pc_table : target == kManualSD ? &_sd_table : nullptr;
}

CFileListViewTableList CManualWindow::Table(int target) {
  lib::wfc::CLock lock(&_lock);
  const CFileListViewTableList* table = TableOf(target);
  return table ? *table : CFileListViewTableList();
}

void CManualWindow::WithTable(int target, const std::function<void(CFileListViewTableList&)>& f) {
  CFileListViewTableList* table = TableOf(target);
  if (!table) return;
  {
    lib::wfc::CLock lock(&_lock);
    f(*table);
  }
  Redraw(target);
}

void CManualWindow::InitializeFileList(int target) {
  CFileListViewTableList* table = TableOf(target);
  if (!table || !GetListView(target)) return;
  OV_LOG(kLogInfo, "InitializeFileList[Target:%d]", target);
  {
    lib::wfc::CLock lock(&_lock);
    table->Clear();
    table->SetSortState(0, false);
  }
  Redraw(target);
}

void CManualWindow::ListFolder(int target, const std::wstring& folder) {
  const uint32_t status = _operations.Status();
  if (folder.empty() || status == kOpCopy || status == kOpDelete) return;
  if (target != kManualPC && target != kManualSD) return;
  std::wstring canonical;
  if (!ExistingFolder(folder, &canonical)) {
    ShowBuilt(0xFF00BB06, canonical);
    OpenFolder(target, L"", L"");
    return;
  }
  CMusicFileThread* worker = target == kManualPC ? &_pc_worker : &_sd_worker;
  if (!CreateGetFileListRequest(canonical, worker, static_cast<DWORD>(target))) return;
  _operations.Start(target == kManualPC ? kOpListPC : kOpListSD);
  UpdateCopyButton(false);
  InitializeFileList(target);
}

namespace {

// Appends a listing's files to a table (emptied first for a first batch) as
// rows made by `cells`, and sorts it as it was sorted.
template <typename Cells>
void AppendFiles(CFileListViewTableList* table, CMusicFileThreadRequestGetFileList* result,
                 bool clear, Cells cells) {
  if (clear) {
    table->Clear();
    table->SetSortState(0, false);
  }
  for (const auto& info : result->files.Items()) {
    CFileListViewTable row;
    row.selectable = info->playable != 0;
    row.columns.push_back(TextCell(info->file_name));
    CFileListViewColumn size;
    SetSizeText(static_cast<uint32_t>(info->size >> 10), &size);
    row.columns.push_back(size);
    cells(*info, &row);
    table->Append(std::move(row));
  }
  table->Sort(table->SortColumn(), table->Descending());
}

}  // namespace

void CManualWindow::BuildPCFileList(CMusicFileThreadRequestGetFileList* result, bool clear) {
  lib::wfc::CLock lock(&_lock);
  AppendFiles(&_pc_table, result, clear,
              [](const libmusic::CMusicFileInfo& info, CFileListViewTable* row) {
                row->columns.push_back(TextCell(TypeName(info.type)));
                // Files carry UTC; the user reads the time of the PC's own zone.
                SYSTEMTIME local{};
                FileTimeToLocalCalendar(info.last_write_time, &local);
                CFileListViewColumn date;
                SetDateText(local, &date);
                row->columns.push_back(date);
              });
}

void CManualWindow::BuildSDFileList(CMusicFileThreadRequestGetFileList* result, bool clear) {
  lib::wfc::CLock lock(&_lock);
  AppendFiles(&_sd_table, result, clear,
              [](const libmusic::CMusicFileInfo& info, CFileListViewTable* row) {
                row->columns.push_back(TextCell(info.artist));
                row->columns.push_back(TextCell(info.album));
              });
}

void CManualWindow::OnFileListResult(std::unique_ptr<CMusicFileThreadRequest> request) {
  auto* list = dynamic_cast<CMusicFileThreadRequestGetFileList*>(request.get());
  if (!list) return;
  const int target = static_cast<int>(list->target);
  OV_LOG(kLogInfo, "GetFileList応答受信[Target:%d][Result:%d][Error:%08X]", target,
         list->result ? 1 : 0, static_cast<unsigned>(list->error_code));
  if ((target != kManualPC && target != kManualSD) ||
      !SamePath(list->folder, GetCurrentFolder(target))) {
    return;  // a batch of an earlier folder
  }
  const uint32_t bit = target == kManualPC ? kOpListPC : kOpListSD;
  if (list->result) {
    if (list->error_code == 4) ShowLimitBox();
    if (target == kManualPC) {
      BuildPCFileList(list, list->first_batch);
      Redraw(kManualPC);
    } else {
      BuildSDFileList(list, list->first_batch);
      Redraw(kManualSD);
      UpdateSDVolume(true);
    }
  }
  // A failed listing keeps its bit: nothing may be copied into or deleted
  // from a folder whose contents are not known.
  if (list->last_batch) _operations.End(list->result ? bit : 0);
  if (_operations.Status() == 0) UpdateCopyButton(true);
}

void CManualWindow::StartFileOperation(uint32_t bit) {
  _operations.Start(bit);
  UpdateCopyButton(false);
  EnableSide(kManualPC, false);
  EnableSide(kManualSD, false);
}

bool CManualWindow::CopyFoldersReady(const std::wstring& source, const std::wstring& destination,
                                     std::wstring* from, std::wstring* to) {
  if (source.empty() || destination.empty() || _operations.Status() != 0) return false;
  if (!ExistingFolder(source, from)) {
    Show(0xFF00BB0D);
    return false;
  }
  if (!ExistingFolder(destination, to)) {
    Show(0xFF00BB0E);
    return false;
  }
  return true;
}

void CManualWindow::CopyFolder(const std::wstring& source, const std::wstring& destination) {
  std::wstring from, to;
  if (!CopyFoldersReady(source, destination, &from, &to)) return;
  // Never into itself or below itself.
  if (IsInsideFolder(to, from) &&
      (to.size() == from.size() || to[from.size()] == L'\\' || from.back() == L'\\')) {
    return;
  }
  const std::wstring target = Join(to, LastComponent(from));
  if (SamePath(target, from)) return;
  if (!CreateCopyFolderRequest(from, target, &_file_worker)) return;
  StartFileOperation(kOpCopy);
}

void CManualWindow::CopyFiles(const std::wstring& source, const std::wstring& destination) {
  std::wstring from, to;
  if (!CopyFoldersReady(source, destination, &from, &to)) return;
  std::vector<std::wstring> names;
  {
    lib::wfc::CLock lock(&_lock);
    if (_pc_table.GetSelectedNames(&names) == 0) {
      // Nothing chosen: the whole folder goes into a card folder of its name.
      _pc_table.GetSelectableNames(&names);
      to = Join(to, LastComponent(from)) + L"\\";
    }
  }
  if (names.empty()) return;
  for (const std::wstring& name : names) {
    const std::wstring path = Join(from, name);
    if (!FileExists(path)) {
      OV_LOG(kLogError, "ファイルが存在しません。[%s]", ToMultiByte(path).c_str());
      ShowBuilt(0xFF00BB19, path);
      return;
    }
  }
  if (!CreateCopyFilesRequest(from, to, names, &_file_worker)) return;
  StartFileOperation(kOpCopy);
}

void CManualWindow::DeleteFolder(const std::wstring& folder) {
  if (folder.empty() || _operations.Status() != 0) return;
  std::wstring canonical;
  if (!ExistingFolder(folder, &canonical)) {
    Show(0xFF00BB0D);
    return;
  }
  // Only what lies below the card's music folder is ever removed.
  if (!IsInsideCardMusicFolder(canonical, _drive)) {
    OV_LOG(kLogError, "削除できないフォルダです。[%s]", ToMultiByte(canonical).c_str());
    return;
  }
  if (Ask(0xFF00BB08) != IDYES) return;
  if (!CreateDeleteFolderRequest(canonical, &_file_worker)) return;
  StartFileOperation(kOpDelete);
}

void CManualWindow::DeleteFiles(int target, const std::wstring& folder) {
  if (folder.empty() || _operations.Status() != 0) return;
  // Files are deleted on the card only.
  if (target != kManualSD) return;
  std::wstring canonical;
  if (!ExistingFolder(folder, &canonical)) {
    ShowBuilt(0xFF00BB0A, folder);
    return;
  }
  const std::wstring music = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(_drive));
  if (!SamePath(canonical, music) && !IsInsideCardMusicFolder(canonical, _drive)) {
    OV_LOG(kLogError, "削除できないフォルダです。[%s]", ToMultiByte(canonical).c_str());
    return;
  }
  std::vector<std::wstring> names;
  {
    lib::wfc::CLock lock(&_lock);
    _sd_table.GetSelectedNames(&names);
  }
  if (names.empty()) return;
  for (const std::wstring& name : names) {
    const std::wstring path = Join(canonical, name);
    // A name is one file of this folder, never a way out of it.
    if (name.find_first_of(L"\\/:") != std::wstring::npos || name == L"." || name == L".." ||
        !FileExists(path)) {
      OV_LOG(kLogError, "ファイルが存在しません。[%s]", ToMultiByte(path).c_str());
      ShowBuilt(0xFF00BB0A, path);
      return;
    }
  }
  if (Ask(0xFF00BB08) != IDYES) return;
  if (!CreateDeleteFilesRequest(canonical, names, &_file_worker)) return;
  StartFileOperation(kOpDelete);
}

void CManualWindow::PlayFile(int target, const std::wstring& folder) {
  const std::wstring path = SelectedFile(target, folder, 0xFF00BB13);
  if (path.empty()) return;
  if (_hooks.play(path)) {
    OV_LOG(kLogInfo, "音楽再生アプリを起動します。[%s]", ToMultiByte(path).c_str());
  } else {
    OV_LOG(kLogError, "音楽再生アプリ起動失敗。ERR:0x%08X [%s]",
           static_cast<unsigned>(GetLastError()), ToMultiByte(path).c_str());
  }
}

void CManualWindow::ShowFileProperties(int target, const std::wstring& folder) {
  const std::wstring path = SelectedFile(target, folder, 0xFF00BB15);
  if (path.empty()) return;
  if (_hooks.properties(path)) {
    OV_LOG(kLogInfo, "プロパティ表示を起動します。[%s]", ToMultiByte(path).c_str());
  } else {
    OV_LOG(kLogError, "プロパティ表示起動失敗。ERR:0x%08X [%s]",
           static_cast<unsigned>(GetLastError()), ToMultiByte(path).c_str());
  }
}

std::wstring CManualWindow::SelectedFile(int target, const std::wstring& folder,
                                         uint32_t missing_code) {
  CFileListViewTableList* table = TableOf(target);
  if (folder.empty() || !table) return std::wstring();
  std::vector<std::wstring> names;
  {
    lib::wfc::CLock lock(&_lock);
    table->GetSelectedNames(&names);
  }
  if (names.empty()) return std::wstring();
  const std::wstring path = CanonicalizePathW(Join(folder, names.front()));
  if (!FileExists(path)) {
    OV_LOG(kLogError, "ファイルが存在しません。[%s]", ToMultiByte(path).c_str());
    ShowBuilt(missing_code, path);
    return std::wstring();
  }
  return path;
}

void CManualWindow::OnCopyResult(std::unique_ptr<CMusicFileThreadRequest> request) {
  const bool folder = request->kind == kMusicResultCopyFolder;
  std::wstring destination;
  if (auto* files = dynamic_cast<CMusicFileThreadRequestCopyFiles*>(request.get())) {
    destination = files->destination;
  } else if (auto* whole = dynamic_cast<CMusicFileThreadRequestCopyFolder*>(request.get())) {
    destination = whole->destination;
  }
  uint32_t code = 0xFF00BB0C;
  if (request->result) {
    OV_LOG(kLogInfo, folder ? "フォルダコピー成功" : "ファイルコピー成功");
  } else {
    OV_LOG(kLogInfo, folder ? "フォルダコピー失敗" : "ファイルコピー失敗");
    switch (request->error_code) {
      case libmusic::kMusicErrorCardFull:
        code = 0xFF00BB10;
        break;
      case libmusic::kMusicErrorTooManyFiles:
        code = 0xFF00BB11;
        break;
      case libmusic::kMusicErrorTooManyFolders:
        code = 0xFF00BB12;
        break;
      default:
        // Some files failed (word 7), or the card went away.
        code = 0xFF00BB0F;
        break;
    }
  }
  Show(code, request->result ? 0 : request->system_error);
  _operations.End(kOpCopy);
  OnWorkerProgress(0);
  EnableSide(kManualPC, true);
  EnableSide(kManualSD, true);
  OpenFolder(kManualSD, L"", destination);
}

void CManualWindow::OnDeleteResult(std::unique_ptr<CMusicFileThreadRequest> request) {
  const bool folder = request->kind == kMusicResultDeleteFolder;
  std::wstring where;
  bool still_there = false;
  if (auto* files = dynamic_cast<CMusicFileThreadRequestDeleteFiles*>(request.get())) {
    where = files->folder;
    // A file the worker could not remove is a failure, whatever it said.
    for (const std::wstring& name : files->names) still_there |= FileExists(Join(where, name));
  } else if (auto* whole = dynamic_cast<CMusicFileThreadRequestDeleteFolder*>(request.get())) {
    where = whole->folder;
  }
  const bool ok = request->result && !still_there;
  if (ok) {
    OV_LOG(kLogInfo, folder ? "フォルダ削除成功" : "ファイル削除成功");
    Show(0xFF00BB09);
  } else {
    OV_LOG(kLogInfo, folder ? "フォルダ削除失敗" : "ファイル削除失敗");
    Show(0xFF00BB0B, request->error_code ? request->error_code : request->system_error);
  }
  _operations.End(kOpDelete);
  OnWorkerProgress(0);
  EnableSide(kManualPC, true);
  EnableSide(kManualSD, true);
  OpenFolder(kManualSD, L"", where);
}

void CManualWindow::OnWorkerProgress(int percent) {
  _progress = percent;
  SetBar(kCopyProgressImage.id, _progress_full, percent);
}

void CManualWindow::OnSDChange(char drive) {
  // The main program sends 0 (no card) or a letter; anything else is not a
  // card notice.
  const unsigned char letter = static_cast<unsigned char>(drive);
  if (letter != 0 && !std::isalpha(letter)) return;
  _drive = static_cast<char>(std::toupper(letter));
  OV_LOG(kLogInfo, "SD変更通知イベント受信。[%c]", _drive ? _drive : ' ');
  const bool ok = CheckSDDrive();
  EnableSide(kManualSD, ok);
  SetItemVisible(kSDFrameOverlay.id, !ok);
  const bool copy = ok && _operations.Status() == 0;
  SetItemEnabled(kCopyButton.id, copy);
  _pc_tree->SetDraggingAllowed(copy);
  if (!ok) InitializeFileList(kManualSD);
  UpdateSDVolume(true);
  if (ok) {
    const std::wstring music = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(_drive));
    const std::wstring current = GetCurrentFolder(kManualSD);
    // Another card, or the tree lost its root: start again at the music folder.
    const bool same_card =
        !current.empty() && (SamePath(current, music) || IsInsideCardMusicFolder(current, _drive));
    OpenFolder(kManualSD, same_card ? L"" : music, same_card ? L"" : music);
  }
}

// The file lists' table.

int CManualWindow::GetRowCount(CButtonListView* view) {
  CFileListViewTableList* table = TableOf(TargetOf(view));
  if (!table) return 0;
  lib::wfc::CLock lock(&_lock);
  return table->Count();
}

bool CManualWindow::IsActiveRow(CButtonListView* view, int row) {
  CFileListViewTableList* table = TableOf(TargetOf(view));
  if (!table) return false;
  lib::wfc::CLock lock(&_lock);
  return table->IsSelectable(row) && table->IsSelected(row);
}

COLORREF CManualWindow::GetCellTextColor(CButtonListView* view, int row, int) {
  constexpr COLORREF kNormal = 0x443137, kUnplayable = 0xCC93A5, kSelected = 0xF0F0F0;
  CFileListViewTableList* table = TableOf(TargetOf(view));
  if (!table) return kNormal;
  lib::wfc::CLock lock(&_lock);
  if (row >= 0 && row < table->Count() && !table->IsSelectable(row)) return kUnplayable;
  return table->IsSelected(row) ? kSelected : kNormal;
}

int CManualWindow::GetHeaderIcon(CButtonListView* view, int column) {
  CFileListViewTableList* table = TableOf(TargetOf(view));
  if (!table) return -1;
  lib::wfc::CLock lock(&_lock);
  if (column != table->SortColumn()) return -1;
  return table->Descending() ? 4 : 3;
}

int CManualWindow::GetCellIcon(CButtonListView* view, int row, int column) {
  CFileListViewTableList* table = TableOf(TargetOf(view));
  if (!table || column != 0 || row < 0) return -1;
  lib::wfc::CLock lock(&_lock);
  if (row >= table->Count()) return -1;
  return table->IsSelectable(row) && table->IsSelected(row) ? 2 : row % 2;
}

std::wstring CManualWindow::GetCellTextW(CButtonListView* view, int row, int column) {
  CFileListViewTableList* table = TableOf(TargetOf(view));
  if (!table) return std::wstring();
  lib::wfc::CLock lock(&_lock);
  return table->GetColumnText(row, column);
}

// The file lists' listener.

void CManualWindow::OnMouseDown(CButtonListView* view, int row, int kind, int, bool) {
  const int target = TargetOf(view);
  if (!target) return;
  if (kind == kListHitCell) {
    lib::wfc::CLock lock(&_lock);
    TableOf(target)->SetFocusRow(row);
  }
  _context_side = target;
}

void CManualWindow::OnClick(CButtonListView* view, int row, int, int, bool) {
  const int target = TargetOf(view);
  if (!target || row < 0) return;
  {
    lib::wfc::CLock lock(&_lock);
    CFileListViewTableList* table = TableOf(target);
    if (!table->IsSelectable(row)) return;
    if (Shift()) {
      table->SelectRange(row);
    } else {
      if (Ctrl()) {
        table->ToggleRow(row);
      } else {
        table->ClearSelection();
        table->SelectRow(row);
      }
      table->SetAnchor(row);
    }
  }
  Redraw(target);
}

void CManualWindow::OnDoubleClick(CButtonListView* view, int row, int, int, bool) {
  const int target = TargetOf(view);
  if (!target || row < 0) return;
  {
    lib::wfc::CLock lock(&_lock);
    CFileListViewTableList* table = TableOf(target);
    if (!table->IsSelectable(row)) return;
    if (!table->IsSelected(row)) {
      table->ClearSelection();
      table->SelectRow(row);
      table->SetAnchor(row);
    }
  }
  Redraw(target);
  PlayFile(target, GetCurrentFolder(target));
}

void CManualWindow::OnRightClick(CButtonListView* view, int row, int, int, bool) {
  const int target = TargetOf(view);
  if (!target) return;
  const POINT cursor = CursorPos();
  bool several = false;
  {
    lib::wfc::CLock lock(&_lock);
    CFileListViewTableList* table = TableOf(target);
    if (!table->IsSelectable(row)) return;
    if (!table->IsSelected(row)) {
      table->ClearSelection();
      table->SelectRow(row);
      table->SetAnchor(row);
    } else {
      several = table->CountSelected() > 1;
    }
  }
  _context_side = target;
  Redraw(target);
  ShowFileListMenu(cursor, several);
}

void CManualWindow::OnHeaderClick(CButtonListView* view, int column) {
  const int target = TargetOf(view);
  if (!target) return;
  {
    lib::wfc::CLock lock(&_lock);
    CFileListViewTableList* table = TableOf(target);
    if (column != table->SortColumn()) {
      table->SetSortState(column, false);
    } else {
      table->SetSortState(column, !table->Descending());
    }
    table->Sort(table->SortColumn(), table->Descending());
  }
  Redraw(target);
  _context_side = target;
}

void CManualWindow::OnBeginDrag(CButtonListView* view, int, int, int row, int) {
  if ((_hooks.async_key_state(VK_LBUTTON) & 0x8000) == 0) return;
  const int target = TargetOf(view);
  if (!target || !IsCopyEnabled()) return;
  lib::wfc::CLock lock(&_lock);
  if (!TableOf(target)->IsSelectable(row)) return;
  // Files are dragged only from the PC onto the card.
  if (target == kManualPC) {
    _file_drag = true;
    _drag_row = row;
  }
}

void CManualWindow::OnDrop(CButtonListView* view, int x, int y, int row) {
  if (TargetOf(view) != kManualPC || !_file_drag) return;
  _file_drag = false;
  SetCursor(Cursor(0));
  const std::wstring destination = DropDestination(POINT{x, y});
  if (destination.empty()) return;
  {
    // With nothing selected the dragged row is the one copied (the row under
    // the drop point lies in the other list).
    lib::wfc::CLock lock(&_lock);
    if (!_pc_table.AnySelected()) _pc_table.SelectRow(_drag_row >= 0 ? _drag_row : row);
  }
  CopyFiles(GetCurrentFolder(kManualPC), destination);
  Redraw(kManualPC);
}

}  // namespace ui
