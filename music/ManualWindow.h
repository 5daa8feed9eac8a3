// The manual transfer window: the PC's folders and music files above, the
// card's music folder below, a copy button with its progress bar between
// them and the card's free space at the bottom. Listing, copying and
// deleting run on three workers whose results come back as posted
// OVEVMusicManual messages; the window turns them into rows.
//
// Threads: the window's thread only. The table lock guards both file tables
// (rows, selection, sort state, anchor); it is taken around each table access
// and never held across a message box, a menu, a redraw or a worker call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ButtonListView.h"
#include "FileListViewTable.h"
#include "FolderTreeView.h"
#include "MusicFileThread.h"
#include "MusicWindow.h"
#include "OperationManager.h"
#include "SettingWindow.h"
#include "SkinWindowItemScrollBar.h"
#include "Threads.h"

class COstrovelleConfig;
class CMusicFileThreadRequest;
class CMusicFileThreadRequestGetFileList;

namespace ui {

// What the window asks of the world beyond files and workers; tests replace
// them. Each one left unset takes the platform's way.
struct ManualWindowHooks {
  // Opens a music file with the shell's "open" verb.
  std::function<bool(const std::wstring& file)> play;
  // Shows the shell's properties of a file.
  std::function<bool(const std::wstring& file)> properties;
  // Tracks a popup menu at a screen point; the chosen command, 0 for none.
  std::function<UINT(HMENU menu, POINT screen, HWND owner)> track_popup;
  // GetKeyState, GetAsyncKeyState and GetCursorPos.
  std::function<SHORT(int key)> key_state;
  std::function<SHORT(int key)> async_key_state;
  std::function<POINT()> cursor_pos;
  // How long the core may take to say which charges it holds.
  UINT core_timeout_ms = kCoreAnswerTimeoutMs;
};

// Targets: the PC side and the card side.
constexpr int kManualPC = 1;
constexpr int kManualSD = 2;

// Operation status bits.
constexpr uint32_t kOpCopy = 0x01;
constexpr uint32_t kOpDelete = 0x04;
constexpr uint32_t kOpListPC = 0x10;
constexpr uint32_t kOpListSD = 0x20;

// Popup menu commands (menu resource 130).
constexpr UINT kCmdSelectAll = 0x8004;
constexpr UINT kCmdPlay = 0x800C;
constexpr UINT kCmdDelete = 0x800D;
constexpr UINT kCmdProperties = 0x800E;
constexpr int kFileListMenu = 130;

// The core's reserved-charge bits that refuse the window.
constexpr uint32_t kCoreMapCharges = 0x22;
constexpr uint32_t kCoreMusicCharge = 0x10;

// The free-space bar's share of its full width: at least 3 %.
int VolumePercent(uint32_t total_mb, uint32_t used_mb);
// The free-space display's three texts from the card's figures in MB: the
// zero mark, the used space (on the end of the used bar) and the free space.
struct VolumeTexts {
  std::string zero, used, free;
};
VolumeTexts MakeVolumeTexts(uint32_t free_mb, uint32_t used_mb);
// A maximised window's client size, no larger than its monitor.
SIZE ClampToMonitor(SIZE size, const RECT& monitor);
// A bar of `percent` of `full` pixels (0 or less: 0; 100 or more: full).
int BarWidth(int full, int percent);
// Whether `path` lies strictly below the card's music folder of `drive`,
// compared canonically and without case.
bool IsInsideCardMusicFolder(const std::wstring& path, char drive);
// Paths compared as the file system does: canonical, without case and
// without a trailing backslash.
bool SamePath(const std::wstring& a, const std::wstring& b);

class CManualWindow final : public CMusicFrame,
                            public CWindowBase,
                            public IMusicWindow,
                            public IFolderTreeOwner,
                            public CButtonListViewListener,
                            public CButtonListViewTableW,
                            public IScrollBarListener {
 public:
  static const SkinItemDescriptor kBase, kApplicationIcon, kTitleStatic, kCloseButton,
      kRestoreButton, kMaximizeButton, kMinimizeButton, kManualInformationTextStatic,
      kBackGroundPCFrame, kIconPCImage, kPCFolderTreeFrame, kPCFileListFrame, kPCFolderTreeHeader,
      kPCFolderTreeHeaderTextStatic, kPCBackFolderButton, kPCUpFolderButton, kPCFolderTreeRect,
      kPCFileListView, kPCFileListScrollBar, kPCFileListSBWrapImage, kCopyButtonFrame, kCopyButton,
      kCopyProgressFrame, kCopyProgressImage, kBackGroundSDFrame, kIconSDImage, kSDFolderTreeFrame,
      kSDFileListFrame, kSDFolderTreeHeader, kSDFolderTreeHeaderTextStatic, kSDBackFolderButton,
      kSDUpFolderButton, kSDFolderTreeRect, kSDFileListView, kSDFileListScrollBar,
      kSDFileListSBWrapImage, kSDFrameOverlay, kSDVolumeFrame, kSDVolumeImage,
      kSDVolumeMinTextStatic, kSDVolumeOccupiedTextStatic, kSDVolumeVacantTextStatic, kFrameOverlay,
      kCustomScrollBar;

  explicit CManualWindow(ManualWindowHooks hooks = {});
  ~CManualWindow() override;

  // IMusicWindow
  void SetTarget(char drive, HWND notify) override;
  bool CreateMusicWindow() override;
  HWND WindowHandle() const override { return Handle(); }

  // The creation sequence; false when the window refused to open (it may
  // exist then and is closed by the caller).
  bool Create();
  UINT GetWindowMessage() const override { return WM_APP + 1; }

  std::wstring GetCurrentFolder(int target) const;
  CButtonListView* GetListView(int target) const;
  CFolderTreeView* GetTree(int target) const;
  bool OpenFolder(int target, const std::wstring& root, const std::wstring& path);
  void BuildPCFileList(CMusicFileThreadRequestGetFileList* result, bool clear);
  void BuildSDFileList(CMusicFileThreadRequestGetFileList* result, bool clear);
  void UpdateSDVolume(bool reread);
  bool CheckSDDrive();
  void UpdateCopyButton(bool allow);
  void EnableSide(int target, bool enable);
  void SelectAll(int target);
  void MoveFocus(int target, bool down, bool shift, bool ctrl);
  uint32_t QueryCoreChargeReserve();
  void ShowFileListMenu(POINT screen, bool multiple);

  // Operations.
  void ListFolder(int target, const std::wstring& folder) override;
  void CopyFolder(const std::wstring& source, const std::wstring& destination);
  void CopyFiles(const std::wstring& source, const std::wstring& destination);
  void DeleteFolder(const std::wstring& folder);
  void DeleteFiles(int target, const std::wstring& folder);
  void PlayFile(int target, const std::wstring& folder);
  void ShowFileProperties(int target, const std::wstring& folder);
  void InitializeFileList(int target);
  // Result handlers; each takes the request it is given.
  void OnFileListResult(std::unique_ptr<CMusicFileThreadRequest> request);
  void OnCopyResult(std::unique_ptr<CMusicFileThreadRequest> request);
  void OnDeleteResult(std::unique_ptr<CMusicFileThreadRequest> request);
  void OnWorkerProgress(int percent);
  void OnSDChange(char drive);

  // State, for the window's own code and for tests.
  uint32_t Status() const { return _operations.Status(); }
  // The status word itself: the gate's cases set it directly.
  COperationManager& Operations() { return _operations; }
  char Drive() const { return _drive; }
  int ContextSide() const { return _context_side; }
  bool IsCopyEnabled();
  bool IsItemEnabled(int id);
  bool IsItemVisible(int id);
  RECT ItemRect(int id);
  std::string ItemText(int id);
  bool FileDragging() const { return _file_drag; }
  HCURSOR Cursor(int index) const { return _cursors[index]; }
  // A copy of a side's table, taken under the lock.
  CFileListViewTableList Table(int target);
  // Runs f on a side's table under the lock (tests set up selections).
  void WithTable(int target, const std::function<void(CFileListViewTableList&)>& f);
  uint32_t VolumeTotal() const { return _total_mb; }
  uint32_t VolumeFree() const { return _free_mb; }
  int Progress() const { return _progress; }

  // CButtonListViewTableW
  int GetRowCount(CButtonListView* view) override;
  bool IsActiveRow(CButtonListView* view, int row) override;
  bool IsButtonEnabled(CButtonListView*, int, int) override { return true; }
  bool IsButtonOn(CButtonListView*, int, int) override { return false; }
  int GetButtonLabel(CButtonListView*, int, int) override { return 0; }
  std::string GetCellText(CButtonListView*, int, int) override { return std::string(); }
  COLORREF GetCellTextColor(CButtonListView* view, int row, int column) override;
  int GetHeaderIcon(CButtonListView* view, int column) override;
  int GetCellIcon(CButtonListView* view, int row, int column) override;
  std::string GetCellToolTip(CButtonListView*, int, int) override { return std::string(); }
  int GetMinColumnWidth(CButtonListView*) override { return 50; }
  std::wstring GetCellTextW(CButtonListView* view, int row, int column) override;
  bool IsWideText(CButtonListView*) override { return true; }

  // CButtonListViewListener
  void OnLayoutChanged(CButtonListView*) override {}
  void OnMouseDown(CButtonListView* view, int row, int kind, int index, bool on_icon) override;
  void OnClick(CButtonListView* view, int row, int kind, int index, bool on_icon) override;
  void OnDoubleClick(CButtonListView* view, int row, int kind, int index, bool on_icon) override;
  void OnRightClick(CButtonListView* view, int row, int kind, int index, bool on_icon) override;
  void OnHeaderClick(CButtonListView* view, int column) override;
  void OnButtonClick(CButtonListView*, int, int) override {}
  void OnBeginDrag(CButtonListView* view, int x, int y, int row, int column) override;
  void OnDrop(CButtonListView* view, int x, int y, int row) override;

  // Item accessor
  bool Notify(int id, int code, int value) override;
  // The lists' bars: each scrolls its own list.
  void OnScroll(CSkinWindowItemScrollBar* bar, UINT message, int code, int position) override;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  bool ResizeBuffers(UINT type, int cx, int cy) override;
  void OnClose() override;
  void OnDestroy() override;
  void OnEndSession(bool ending, LPARAM lparam) override;
  void OnMouseMove(UINT keys, int x, int y) override;
  void OnLButtonUp(UINT keys, int x, int y) override;
  void OnRButtonUp(UINT keys, int x, int y) override;
  void OnNcRButtonUp(UINT hit, int x, int y) override;
  void OnMouseWheel(UINT keys, int delta, int x, int y) override;
  void OnKeyDown(UINT key, UINT flags) override;
  void OnCommand(UINT id, UINT code, HWND control) override;
  void OnAcceptOrCancel(int, bool) override {}

 private:
  // 1 for the PC list, 2 for the card's, 0 for any other view.
  int TargetOf(CButtonListView* view) const;
  CFileListViewTableList* TableOf(int target);

  void CreateItems(const SkinDefinition& definition);
  CButtonListView* CreateFileList(const SkinDefinition& definition, const SkinItemDescriptor& view,
                                  const SkinItemDescriptor& bar, bool pc);
  bool CreateTrees(const SkinDefinition& definition);
  bool CheckCreation(COstrovelleConfig* config);
  void Redraw(int target);
  void Show(uint32_t code, uint32_t detail = 0);
  int Ask(uint32_t code);
  void ShowBuilt(uint32_t code, const std::wstring& path);
  void ShowLimitBox();
  bool Shift() const;
  bool Ctrl() const;
  POINT CursorPos() const;
  UINT TrackPopup(HMENU menu, POINT screen);
  bool PointIn(int id, POINT client);
  bool TreeEnabled(int target) const;
  std::wstring DropDestination(POINT client);
  void SetItemEnabled(int id, bool on);
  void SetItemVisible(int id, bool on);
  void SetItemText(int id, const std::string& text);
  void SetBar(int id, int full_width, int percent);
  void MoveItem(CSkinWindowItem* item, const RECT& to);
  void StartFileOperation(uint32_t bit);
  // An idle word and both folders there (canonical in *from and *to); else
  // false, after the missing folder's box.
  bool CopyFoldersReady(const std::wstring& source, const std::wstring& destination,
                        std::wstring* from, std::wstring* to);
  // The first selected file of a side, checked; empty (after its box when
  // the file is gone) when there is none.
  std::wstring SelectedFile(int target, const std::wstring& folder, uint32_t missing_code);
  void AbortWorkers(bool listing_only);
  void SaveRecentFolder();
  bool ExistingFolder(const std::wstring& folder, std::wstring* canonical);

  ManualWindowHooks _hooks;
  CMusicFileThread _file_worker{"MusicFile"};
  CMusicFileThread _pc_worker{"PCFileList"};
  CMusicFileThread _sd_worker{"SDFileList"};
  COperationManager _operations;
  lib::wfc::CCriticalSection _lock;  // the two file tables
  CFileListViewTableList _pc_table;  // guarded by _lock
  CFileListViewTableList _sd_table;  // guarded by _lock
  std::unique_ptr<CFolderTreeView> _pc_tree;
  std::unique_ptr<CFolderTreeView> _sd_tree;
  CButtonListView* _pc_view = nullptr;  // not owned: the window's items
  CButtonListView* _sd_view = nullptr;
  CSkinWindowItemScrollBar* _pc_bar = nullptr;
  CSkinWindowItemScrollBar* _sd_bar = nullptr;
  const UINT _request_end;
  const UINT _music_manual;
  const UINT _request_reconfirm;
  const UINT _sd_change;
  HMENU _system_menu = nullptr;  // not owned: the window's
  HMENU _menu = nullptr;
  HCURSOR _cursors[4] = {};  // arrow, column border, drop allowed, drop refused
  char _drive = 0;
  HWND _notify = nullptr;  // not owned
  bool _file_drag = false;
  int _drag_row = -1;  // the PC row a file drag started on
  int _context_side = 0;
  uint32_t _total_mb = 0, _free_mb = 0, _used_mb = 0;
  int _volume_full = 0;
  int _progress_full = 0;
  int _progress = 0;
  bool _created = false;
};

}  // namespace ui
