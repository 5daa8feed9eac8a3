// The manual window's frame: items, creation and its refusals, layout,
// commands, keys, mouse, the free-space display and closing. The operations
// and the worker results are in ManualWindowOperations.cpp, the file lists'
// callbacks in ManualWindowFileList.cpp.
#include "ManualWindow.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cwctype>
#include <utility>

#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "Log.h"
#include "MessageBox.h"
#include "MusicFileThreadRequest.h"
#include "MusicFileUtil.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "Placement.h"
#include "SkinWindowItemButton.h"
#include "SkinWindowItemScrollBar.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"
#include "WideUtil.h"

namespace ui {

#define OV_MANUAL_ITEM(name, id) const SkinItemDescriptor CManualWindow::k##name = {#name, id}
OV_MANUAL_ITEM(Base, 2000);
OV_MANUAL_ITEM(ApplicationIcon, 2001);
OV_MANUAL_ITEM(TitleStatic, 2002);
OV_MANUAL_ITEM(CloseButton, 2003);
OV_MANUAL_ITEM(RestoreButton, 2004);
OV_MANUAL_ITEM(MaximizeButton, 2005);
OV_MANUAL_ITEM(MinimizeButton, 2006);
OV_MANUAL_ITEM(ManualInformationTextStatic, 2007);
OV_MANUAL_ITEM(BackGroundPCFrame, 2008);
OV_MANUAL_ITEM(IconPCImage, 2009);
OV_MANUAL_ITEM(PCFolderTreeFrame, 2010);
OV_MANUAL_ITEM(PCFileListFrame, 2011);
OV_MANUAL_ITEM(PCFolderTreeHeader, 2012);
OV_MANUAL_ITEM(PCFolderTreeHeaderTextStatic, 2013);
OV_MANUAL_ITEM(PCBackFolderButton, 2014);
OV_MANUAL_ITEM(PCUpFolderButton, 2015);
OV_MANUAL_ITEM(PCFolderTreeRect, 2016);
OV_MANUAL_ITEM(PCFileListView, 2017);
OV_MANUAL_ITEM(PCFileListScrollBar, 2018);
OV_MANUAL_ITEM(PCFileListSBWrapImage, 2019);
OV_MANUAL_ITEM(CopyButtonFrame, 2020);
OV_MANUAL_ITEM(CopyButton, 2021);
OV_MANUAL_ITEM(CopyProgressFrame, 2022);
OV_MANUAL_ITEM(CopyProgressImage, 2023);
OV_MANUAL_ITEM(BackGroundSDFrame, 2024);
OV_MANUAL_ITEM(IconSDImage, 2025);
OV_MANUAL_ITEM(SDFolderTreeFrame, 2026);
OV_MANUAL_ITEM(SDFileListFrame, 2027);
OV_MANUAL_ITEM(SDFolderTreeHeader, 2028);
OV_MANUAL_ITEM(SDFolderTreeHeaderTextStatic, 2029);
OV_MANUAL_ITEM(SDBackFolderButton, 2030);
OV_MANUAL_ITEM(SDUpFolderButton, 2031);
OV_MANUAL_ITEM(SDFolderTreeRect, 2032);
OV_MANUAL_ITEM(SDFileListView, 2033);
OV_MANUAL_ITEM(SDFileListScrollBar, 2034);
OV_MANUAL_ITEM(SDFileListSBWrapImage, 2035);
OV_MANUAL_ITEM(SDFrameOverlay, 2036);
OV_MANUAL_ITEM(SDVolumeFrame, 2037);
OV_MANUAL_ITEM(SDVolumeImage, 2038);
OV_MANUAL_ITEM(SDVolumeMinTextStatic, 2039);
OV_MANUAL_ITEM(SDVolumeOccupiedTextStatic, 2040);
OV_MANUAL_ITEM(SDVolumeVacantTextStatic, 2041);
OV_MANUAL_ITEM(FrameOverlay, 2042);
OV_MANUAL_ITEM(CustomScrollBar, 2043);
#undef OV_MANUAL_ITEM

namespace {

constexpr DWORD kWindowStyle = 0x820B0000;  // popup, clip children, system menu, min and max box
constexpr char kCoreClass[] = "OSTROVELLEEVCORE";
constexpr char kCoreTitle[] = "Ostrovelle Core";
constexpr int kIconClosed = 3;
constexpr DWORD kWorkerStopMs = 1000;
constexpr int kDisabledCopyAlpha = 110;
constexpr int kColumnWidths[4] = {198, 78, 149, 175};
constexpr UINT kLeftFormat = 4;
constexpr UINT kRightFormat = 6;

bool RealPlay(const std::wstring& file) { return StartProgramW(file, SW_SHOWNORMAL); }

bool RealProperties(const std::wstring& file) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_INVOKEIDLIST;
  info.lpVerb = L"properties";
  info.lpFile = file.c_str();
  info.nShow = 0;
  return ShellExecuteExW(&info) != FALSE;
}

UINT RealTrackPopup(HMENU menu, POINT screen, HWND owner) {
  return static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_RIGHTBUTTON,
                                          screen.x, screen.y, 0, owner, nullptr));
}

POINT RealCursorPos() {
  POINT point = {0, 0};
  GetCursorPos(&point);
  return point;
}

std::wstring WithoutTrailingSlash(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

}  // namespace

int VolumePercent(uint32_t total_mb, uint32_t used_mb) {
  if (total_mb == 0) return 0;
  const uint64_t percent =
      total_mb > 100 ? used_mb / (total_mb / 100) : static_cast<uint64_t>(used_mb) * 100 / total_mb;
  return static_cast<int>(std::clamp<uint64_t>(percent, 3, 100));
}

VolumeTexts MakeVolumeTexts(uint32_t free_mb, uint32_t used_mb) {
  // Mind the units: the used figure is written with "M", the others with
  // "MB".
  return {FormatString("%d MB", 0), FormatString("%u M", used_mb),
          FormatString("空き容量： %u MB", free_mb)};
}

SIZE ClampToMonitor(SIZE size, const RECT& monitor) {
  return SIZE{std::min<LONG>(size.cx, std::max<LONG>(monitor.right - monitor.left, 0)),
              std::min<LONG>(size.cy, std::max<LONG>(monitor.bottom - monitor.top, 0))};
}

int BarWidth(int full, int percent) {
  if (percent <= 0) return 0;
  if (percent >= 100) return full;
  return full * percent / 100;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  const std::wstring x = WithoutTrailingSlash(CanonicalizePathW(a));
  const std::wstring y = WithoutTrailingSlash(CanonicalizePathW(b));
  return x.size() == y.size() &&
         CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, x.c_str(), static_cast<int>(x.size()),
                        y.c_str(), static_cast<int>(y.size())) == CSTR_EQUAL;
}

bool IsInsideCardMusicFolder(const std::wstring& path, char drive) {
  if (drive == 0 || path.empty()) return false;
  const std::wstring canonical = WithoutTrailingSlash(CanonicalizePathW(path));
  const std::wstring root = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(drive)) + L"\\";
  if (canonical.size() <= root.size()) return false;
  if (canonical.find(L"\\..") != std::wstring::npos) return false;
  return IsInsideFolder(canonical, root);
}

CManualWindow::CManualWindow(ManualWindowHooks hooks)
    : CMusicFrame(&kFrameOverlay),
      _hooks(std::move(hooks)),
      _request_end(RegisterOvMessage(kMsgRequestEnd)),
      _music_manual(RegisterWindowMessageA(kMsgMusicManual)),
      _request_reconfirm(RegisterOvMessage(kMsgRequestReconfirm)),
      _sd_change(RegisterOvMessage(kMsgSDChange)) {
  if (!_hooks.play) _hooks.play = &RealPlay;
  if (!_hooks.properties) _hooks.properties = &RealProperties;
  if (!_hooks.track_popup) _hooks.track_popup = &RealTrackPopup;
  if (!_hooks.key_state) _hooks.key_state = [](int key) { return GetKeyState(key); };
  if (!_hooks.async_key_state)
    _hooks.async_key_state = [](int key) { return GetAsyncKeyState(key); };
  if (!_hooks.cursor_pos) _hooks.cursor_pos = &RealCursorPos;
  _pc_tree = std::make_unique<CFolderTreeView>(kManualPC);
  _sd_tree = std::make_unique<CFolderTreeView>(kManualSD);
  _pc_tree->SetLimit(CFolderTreeView::kDefaultLimit);
  _sd_tree->SetLimit(CFolderTreeView::kDefaultLimit);
  _pc_tree->SetDraggingAllowed(true);
  _sd_tree->SetDraggingAllowed(false);
  // The walk from the desktop and a folder of many files take the shell a
  // second or more: the window answers meanwhile.
  _pc_tree->SetBackgroundListing(true);
  _sd_tree->SetBackgroundListing(true);
}

CManualWindow::~CManualWindow() {
  // The workers post to the window: they stop before it goes.
  AbortWorkers(false);
  if (Handle()) DestroyWindow();
  if (_menu) DestroyMenu(_menu);
}

void CManualWindow::SetTarget(char drive, HWND notify) {
  _drive = static_cast<char>(std::toupper(static_cast<unsigned char>(drive)));
  _notify = notify;
}

bool CManualWindow::CreateMusicWindow() {
  try {
    return Create();
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "CManualWindow::Create - %s", e.what());
    return false;
  }
}

CButtonListView* CManualWindow::CreateFileList(const SkinDefinition& definition,
                                               const SkinItemDescriptor& view,
                                               const SkinItemDescriptor& bar, bool pc) {
  CSkinWindowItemScrollBar* scroll = CreateScrollBar(bar.id, definition.GetSection(bar));
  CButtonListView* list = CreateButtonListView(view.id, definition.GetSection(view), scroll, this);
  list->SetFirstColumnTakesSlack(false);
  list->ShowHeader(true);
  const char* titles[4] = {"名前", "サイズ", pc ? "ファイルの種類" : "アーティスト",
                           pc ? "更新日時" : "アルバム"};
  for (int i = 0; i < 4; ++i) {
    ListColumn column;
    column.title = titles[i];
    column.width = kColumnWidths[i];
    column.format = i == 1 ? 2 : 0;
    column.header_button = true;
    list->AddColumn(column);
  }
  list->SetHeaderIconMode(2);
  list->SetTable(this);
  list->LayoutColumns();
  scroll->SetListener(this);
  (pc ? _pc_bar : _sd_bar) = scroll;
  return list;
}

void CManualWindow::CreateItems(const SkinDefinition& definition) {
  const auto text = [&](const SkinItemDescriptor& d, const std::string& value, UINT format) {
    auto* item = static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, d, this));
    item->SetFormat(format);
    item->SetText(value);
  };
  const auto nine = [&](const SkinItemDescriptor& d) {
    CreateResizableStaticImageItem(definition, d, this);
  };
  const auto image = [&](const SkinItemDescriptor& d) {
    CreateStaticImageItem(definition, d, this);
  };
  constexpr UINT kLeft = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
  CreateButtonItem(definition, kApplicationIcon, this);
  text(kTitleStatic, "マニュアル転送", kLeft);
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kRestoreButton, this)->SetVisible(false);
  CreateButtonItem(definition, kMaximizeButton, this);
  CreateButtonItem(definition, kMinimizeButton, this);
  text(kManualInformationTextStatic, "音楽ファイルを任意に選択してSDカードへコピーします。", kLeft);
  nine(kBackGroundPCFrame);
  image(kIconPCImage);
  nine(kPCFolderTreeFrame);
  nine(kPCFileListFrame);
  nine(kPCFolderTreeHeader);
  text(kPCFolderTreeHeaderTextStatic, "デスクトップ内のフォルダ", kLeft);
  CreateButtonItem(definition, kPCBackFolderButton, this);
  CreateButtonItem(definition, kPCUpFolderButton, this);
  nine(kPCFolderTreeRect);
  _pc_view = CreateFileList(definition, kPCFileListView, kPCFileListScrollBar, true);
  image(kPCFileListSBWrapImage);
  nine(kCopyButtonFrame);
  CreateButtonItem(definition, kCopyButton, this);
  SetItemEnabled(kCopyButton.id, false);
  nine(kCopyProgressFrame);
  nine(kCopyProgressImage);
  FindItem(kCopyProgressImage.id)->SetVisible(false);
  nine(kBackGroundSDFrame);
  image(kIconSDImage);
  nine(kSDFolderTreeFrame);
  nine(kSDFileListFrame);
  nine(kSDFolderTreeHeader);
  text(kSDFolderTreeHeaderTextStatic, "SDカード内のフォルダ", kLeft);
  CreateButtonItem(definition, kSDBackFolderButton, this);
  CreateButtonItem(definition, kSDUpFolderButton, this);
  nine(kSDFolderTreeRect);
  _sd_view = CreateFileList(definition, kSDFileListView, kSDFileListScrollBar, false);
  image(kSDFileListSBWrapImage);
  CSkinWindowItem* overlay =
      CreateOverlay(kSDFrameOverlay.id, definition.GetSection(kSDFrameOverlay));
  const RECT tree = FindItem(kSDFolderTreeFrame.id)->Rect();
  const RECT list = FindItem(kSDFileListFrame.id)->Rect();
  overlay->SetRect(tree.left, tree.top, list.right, list.bottom);
  overlay->SetVisible(false);
  nine(kSDVolumeFrame);
  nine(kSDVolumeImage);
  FindItem(kSDVolumeImage.id)->SetVisible(false);
  text(kSDVolumeMinTextStatic, "", DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  text(kSDVolumeOccupiedTextStatic, "", DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  text(kSDVolumeVacantTextStatic, "", DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
  CreateFrameOverlay(definition);
  _progress_full = FindItem(kCopyProgressImage.id)->Width();
  _volume_full = FindItem(kSDVolumeImage.id)->Width();

  struct Entry {
    const SkinItemDescriptor* item;
    int l, t, r, b;
  };
  const Entry entries[] = {
      {&kTitleStatic, 1, 1, 1, 1},
      {&kCloseButton, 2, 1, 2, 1},
      {&kRestoreButton, 2, 1, 2, 1},
      {&kMaximizeButton, 2, 1, 2, 1},
      {&kMinimizeButton, 2, 1, 2, 1},
      {&kManualInformationTextStatic, 1, 1, 1, 1},
      {&kBackGroundPCFrame, 1, 1, 2, 3},
      {&kIconPCImage, 1, 1, 1, 3},
      {&kPCFolderTreeFrame, 1, 1, 3, 3},
      {&kPCFileListFrame, 3, 1, 2, 3},
      {&kPCFolderTreeHeader, 1, 1, 3, 1},
      {&kPCFolderTreeHeaderTextStatic, 1, 1, 3, 1},
      {&kPCBackFolderButton, 3, 1, 3, 1},
      {&kPCUpFolderButton, 3, 1, 3, 1},
      {&kPCFolderTreeRect, 1, 1, 3, 3},
      {&kPCFileListView, 3, 1, 2, 3},
      {&kPCFileListScrollBar, 2, 1, 2, 3},
      {&kPCFileListSBWrapImage, 2, 1, 2, 1},
      {&kCopyButtonFrame, 1, 3, 2, 3},
      {&kCopyButton, 3, 3, 3, 3},
      {&kCopyProgressFrame, 3, 3, 3, 3},
      {&kCopyProgressImage, 3, 3, 3, 3},
      {&kBackGroundSDFrame, 1, 3, 2, 2},
      {&kIconSDImage, 1, 3, 1, 2},
      {&kSDFolderTreeFrame, 1, 3, 3, 2},
      {&kSDFileListFrame, 3, 3, 2, 2},
      {&kSDFolderTreeHeader, 1, 3, 3, 3},
      {&kSDFolderTreeHeaderTextStatic, 1, 3, 3, 3},
      {&kSDBackFolderButton, 3, 3, 3, 3},
      {&kSDUpFolderButton, 3, 3, 3, 3},
      {&kSDFolderTreeRect, 1, 3, 3, 2},
      {&kSDFileListView, 3, 3, 2, 2},
      {&kSDFileListScrollBar, 2, 3, 2, 2},
      {&kSDFileListSBWrapImage, 2, 3, 2, 3},
      {&kSDFrameOverlay, 1, 3, 2, 2},
      {&kSDVolumeFrame, 3, 2, 3, 2},
      {&kSDVolumeImage, 3, 2, 3, 2},
      {&kSDVolumeMinTextStatic, 3, 2, 3, 2},
      {&kSDVolumeOccupiedTextStatic, 3, 2, 3, 2},
      {&kSDVolumeVacantTextStatic, 3, 2, 3, 2},
  };
  for (const Entry& e : entries) CLayoutManager::AddItem(e.item->id, e.l, e.t, e.r, e.b);
}

bool CManualWindow::CreateTrees(const SkinDefinition& definition) {
  bool ok = true;
  for (int target : {kManualPC, kManualSD}) {
    CFolderTreeView* tree = GetTree(target);
    tree->SetCustomScrollBar(CreateCustomScrollBar(definition, kCustomScrollBar.section));
    const RECT rect = ItemRect(target == kManualPC ? kPCFolderTreeRect.id : kSDFolderTreeRect.id);
    tree->SetOwner(this);
    ok = tree->Create(Handle(), rect) && ok;
  }
  for (CMusicFileThread* worker : {&_file_worker, &_pc_worker, &_sd_worker}) {
    worker->SetTargetWindow(Handle());
  }
  return ok;
}

bool CManualWindow::Create() {
  COstrovelleConfig config;
  config.LoadMusic();
  SkinDefinition definition;
  LoadDefinition(definition, "ManualWindow.txt", kBase, false);
  CreateItems(definition);
  const RECT client = GetDefaultClientRect();
  CWindow::Create(0, nullptr, "Ostrovelle Music Manual", kWindowStyle, 0, 0,
                  client.right - client.left, client.bottom - client.top, nullptr);
  if (!Handle()) return false;
  lib::wfc::CenterWindow(Handle(), GetDesktopWindow());
  _system_menu = GetSystemMenu(Handle(), FALSE);
  if (!_system_menu) OV_LOG(kLogError, "メニューロード失敗");
  _menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kFileListMenu));
  if (!_menu) OV_LOG(kLogError, "メニューロード失敗");
  DrawMenuBar(Handle());
  _cursors[0] = static_cast<HCURSOR>(
      LoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
  for (int i = 1; i < 4; ++i) {
    _cursors[i] =
        static_cast<HCURSOR>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(139 + i),
                                        IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    if (!_cursors[i]) _cursors[i] = _cursors[0];
  }
  CreateTrees(definition);
  _created = true;
  InitializeFileList(kManualPC);
  InitializeFileList(kManualSD);

  if (!CheckCreation(&config)) return false;
  UpdateCopyButton(false);
  _operations.Start(kOpListPC | kOpListSD);
  const std::wstring recent = config.GetManualRecentFolderW();
  OpenFolder(kManualPC, L"", recent.empty() ? config.GetMusicFolderW() : recent);
  const std::wstring card = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(_drive));
  OpenFolder(kManualSD, card, card);
  return true;
}

bool CManualWindow::CheckCreation(COstrovelleConfig* config) {
  if (!CheckSDDrive()) {
    Show(0xFF00BB03);
    return false;
  }
  const uint32_t reserved = QueryCoreChargeReserve();
  if (reserved & kCoreMapCharges) {
    OV_LOG(kLogInfo, "操作制限（マップチャージ動作中）");
    Show(0xFF00BB01);
    return false;
  }
  if ((reserved & kCoreMusicCharge) && config->GetChargeType() == 2) {
    Show(0xFF00BB00);
    OV_LOG(kLogInfo, "操作制限（自動ミュージックチャージ動作中）");
    return false;
  }
  if (config->GetChargeType() != 1) {
    if (Ask(0xFF00BB02) != IDYES) return false;
    // Only the charge type changes: the rest is read afresh.
    COstrovelleConfig fresh;
    fresh.LoadMusic();
    fresh.SetChargeType(1);
    if (!fresh.SaveMusic()) OV_LOG(kLogError, "設定保存失敗");
    *config = fresh;
  }
  return true;
}

uint32_t CManualWindow::QueryCoreChargeReserve() {
  const HWND core = FindWindowA(kCoreClass, kCoreTitle);
  if (!core) return 0;
  DWORD_PTR reserved = 0;
  if (!SendMessageTimeoutA(core, _request_reconfirm, 0, reinterpret_cast<LPARAM>(Handle()),
                           SMTO_ABORTIFHUNG, _hooks.core_timeout_ms, &reserved)) {
    // A core that does not answer may be in the middle of a charge: the card
    // is taken as busy.
    OV_LOG(kLogError, "Coreのチャージ予約状況取得失敗 [%08X]",
           static_cast<unsigned>(GetLastError()));
    return kCoreMapCharges;
  }
  OV_LOG(kLogInfo, "Coreのチャージ予約状況取得 lResult [%08X]", static_cast<unsigned>(reserved));
  return static_cast<uint32_t>(reserved);
}

bool CManualWindow::CheckSDDrive() {
  if (_drive == 0 || !IsDiruSDCard(_drive)) {
    OV_LOG(kLogError, "SDドライブ無効[%c:\\]", _drive ? _drive : '?');
    return false;
  }
  const std::wstring folder = libmusic::GetMusicFolderPathW(static_cast<wchar_t>(_drive));
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  if (SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS) {
    OV_LOG(kLogError, "フォルダ作成失敗 [%s]", ToMultiByte(folder).c_str());
    return false;
  }
  return true;
}

void CManualWindow::UpdateCopyButton(bool allow) {
  const bool enabled = allow && CheckSDDrive();
  SetItemEnabled(kCopyButton.id, enabled);
  _pc_tree->SetDraggingAllowed(enabled);
}

bool CManualWindow::IsCopyEnabled() { return IsItemEnabled(kCopyButton.id); }

void CManualWindow::EnableSide(int target, bool enable) {
  if (target != kManualPC && target != kManualSD) return;
  const bool pc = target == kManualPC;
  for (const SkinItemDescriptor* d :
       {pc ? &kPCFolderTreeHeader : &kSDFolderTreeHeader,
        pc ? &kPCBackFolderButton : &kSDBackFolderButton,
        pc ? &kPCUpFolderButton : &kSDUpFolderButton, pc ? &kPCFileListView : &kSDFileListView,
        pc ? &kPCFileListScrollBar : &kSDFileListScrollBar}) {
    SetItemEnabled(d->id, enable);
  }
  GetTree(target)->Enable(enable);
}

CFolderTreeView* CManualWindow::GetTree(int target) const {
  return target == kManualPC ? _pc_tree.get() : target == kManualSD ? _sd_tree.get() : nullptr;
}

CButtonListView* CManualWindow::GetListView(int target) const {
  return target == kManualPC ? _pc_view : target == kManualSD ? _sd_view : nullptr;
}

std::wstring CManualWindow::GetCurrentFolder(int target) const {
  const CFolderTreeView* tree = GetTree(target);
  return tree ? tree->GetSelectedPath() : std::wstring();
}

bool CManualWindow::OpenFolder(int target, const std::wstring& root, const std::wstring& path) {
  CFolderTreeView* tree = GetTree(target);
  if (!tree) return false;
  const uint32_t bit = target == kManualPC ? kOpListPC : kOpListSD;
  _operations.Start(bit);
  CheckSDDrive();
  SetItemEnabled(kCopyButton.id, false);
  _pc_tree->SetDraggingAllowed(false);
  const std::wstring folder = path.empty() ? tree->GetWantedPath() : path;
  const bool selected = tree->Refresh(root) && tree->SelectFolder(folder);
  if (!selected) {
    _operations.End(bit);
    const bool card = CheckSDDrive() && _operations.Status() == 0;
    SetItemEnabled(kCopyButton.id, card);
    _pc_tree->SetDraggingAllowed(card);
  }
  return selected;
}

void CManualWindow::UpdateSDVolume(bool reread) {
  if (reread) {
    _total_mb = _free_mb = _used_mb = 0;
    if (CheckSDDrive()) {
      const char root[4] = {_drive, ':', '\\', 0};
      ULARGE_INTEGER available = {}, total = {};
      if (GetDiskFreeSpaceExA(root, &available, &total, nullptr)) {
        _total_mb = static_cast<uint32_t>(total.QuadPart >> 20);
        _free_mb = static_cast<uint32_t>(available.QuadPart >> 20);
        _used_mb = _total_mb - std::min(_free_mb, _total_mb);
      } else {
        OV_LOG(kLogError, "SD容量取得失敗[%08X]", static_cast<unsigned>(GetLastError()));
      }
    }
  }
  if (_total_mb == 0) {
    SetItemVisible(kSDVolumeImage.id, false);
    for (const SkinItemDescriptor* d :
         {&kSDVolumeMinTextStatic, &kSDVolumeOccupiedTextStatic, &kSDVolumeVacantTextStatic}) {
      SetItemText(d->id, "");
    }
    return;
  }
  const int percent = VolumePercent(_total_mb, _used_mb);
  SetBar(kSDVolumeImage.id, _volume_full, percent);
  const VolumeTexts texts = MakeVolumeTexts(_free_mb, _used_mb);
  SetItemText(kSDVolumeMinTextStatic.id, texts.zero);
  SetItemText(kSDVolumeVacantTextStatic.id, texts.free);
  auto* used = dynamic_cast<CSkinWindowItemStatic*>(FindItem(kSDVolumeOccupiedTextStatic.id));
  CSkinWindowItem* bar = FindItem(kSDVolumeImage.id);
  if (!used || !bar) return;
  used->SetText(texts.used);
  // A little room: the antialiased text runs wider than the plain measure.
  const int width = used->MeasureText().cx + 8;
  const int centre = bar->X() + BarWidth(_volume_full, percent);
  MoveItem(used, RECT{centre - width / 2, used->Y(), centre - width / 2 + width,
                      used->Y() + used->Height()});
}

void CManualWindow::MoveItem(CSkinWindowItem* item, const RECT& to) {
  // Setting an item's place draws nothing: the place it leaves and the place
  // it takes are both drawn again.
  RECT both = item->Rect();
  item->SetRect(to.left, to.top, to.right, to.bottom);
  const RECT now = item->Rect();
  UnionRect(&both, &both, &now);
  InvalidateItemRect(both.left, both.top, both.right, both.bottom, false);
}

void CManualWindow::SetBar(int id, int full_width, int percent) {
  CSkinWindowItem* bar = FindItem(id);
  if (!bar) return;
  if (percent <= 0) {
    bar->SetVisible(false);
    return;
  }
  const int width = BarWidth(full_width, percent);
  MoveItem(bar, RECT{bar->X(), bar->Y(), bar->X() + width, bar->Y() + bar->Height()});
  bar->SetVisible(true);
}

void CManualWindow::SelectAll(int target) {
  CFileListViewTableList* table = TableOf(target);
  if (!table) return;
  {
    lib::wfc::CLock lock(&_lock);
    table->SelectAll();
  }
  Redraw(target);
}

void CManualWindow::MoveFocus(int target, bool down, bool shift, bool ctrl) {
  CFileListViewTableList* table = TableOf(target);
  CButtonListView* view = GetListView(target);
  if (!table || !view) return;
  const int step = ctrl ? 5 : 1;
  int row = -1;
  {
    lib::wfc::CLock lock(&_lock);
    const int focus = table->FindFocusRow();
    if (focus < 0) return;
    row = down ? std::min(focus + step, table->Count() - 1) : std::max(focus - step, 0);
    table->SetFocusRow(row);
    if (shift) {
      table->SelectRange(row);
    } else {
      table->ClearSelection();
      table->SelectRow(row);
      table->SetAnchor(row);
    }
  }
  Redraw(target);
  const int first = view->GetScrollPos();
  CSkinWindowItemScrollBar* bar = target == kManualPC ? _pc_bar : _sd_bar;
  if (!bar) return;
  if (!down && row <= first) bar->ScrollBy(-step, view);
  if (down && row >= first + view->GetVisibleRowCount() - 1) bar->ScrollBy(step, view);
}

void CManualWindow::ShowFileListMenu(POINT screen, bool multiple) {
  if ((_context_side != kManualPC && _context_side != kManualSD) || !_menu) return;
  const HMENU popup = GetSubMenu(_menu, 0);
  if (!popup) return;
  const bool deletable = _context_side == kManualSD && IsCopyEnabled();
  EnableMenuItem(popup, kCmdDelete, MF_BYCOMMAND | (deletable ? MF_ENABLED : MF_GRAYED));
  const UINT single = MF_BYCOMMAND | (multiple ? MF_GRAYED : MF_ENABLED);
  EnableMenuItem(popup, kCmdPlay, single);
  EnableMenuItem(popup, kCmdProperties, single);
  EnableMenuItem(popup, kCmdSelectAll, MF_BYCOMMAND | MF_ENABLED);
  const UINT chosen = TrackPopup(popup, screen);
  if (chosen != 0) SendMessageA(WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

UINT CManualWindow::TrackPopup(HMENU menu, POINT screen) {
  return _hooks.track_popup(menu, screen, Handle());
}

void CManualWindow::Redraw(int target) {
  if (CButtonListView* view = GetListView(target)) view->InvalidateRow(-1);
}

int CManualWindow::Ask(uint32_t code) {
  uint32_t style = msgstyle::kWarning;
  const std::string text = GetErrorMessage(code, &style, 0);
  return lib::wfc::MessageBox(Handle(), text.c_str(), style);
}

void CManualWindow::Show(uint32_t code, uint32_t detail) {
  uint32_t style = msgstyle::kWarning;
  const std::string text = GetErrorMessage(code, &style, detail);
  lib::wfc::MessageBox(Handle(), text.c_str(), style);
}

void CManualWindow::ShowBuilt(uint32_t code, const std::wstring& path) {
  const wchar_t* tail = code == 0xFF00BB06 ? L"は認識できない、または存在しないフォルダです。"
                                           : L"は存在しないファイルです。";
  wchar_t line[64];
  std::swprintf(line, 64, L"\r\n\r\n(メッセージコード：%08X)", static_cast<unsigned>(code));
  lib::wfc::MessageBoxW(Handle(), (path + tail + line).c_str(), MB_ICONWARNING);
}

void CManualWindow::ShowLimitBox() {
  char text[256];
  std::snprintf(text, sizeof text,
                "表示ファイル数が上限(%d件)を超えました。\r\n%d件まで表示します。\r\n\r\n("
                "メッセージコード：%08X)",
                static_cast<int>(kMusicListLimit), static_cast<int>(kMusicListLimit), 0xFF00BB04u);
  lib::wfc::MessageBox(Handle(), text, MB_ICONWARNING);
}

bool CManualWindow::Shift() const { return (_hooks.key_state(VK_SHIFT) & 0x8000) != 0; }
bool CManualWindow::Ctrl() const { return (_hooks.key_state(VK_CONTROL) & 0x8000) != 0; }
POINT CManualWindow::CursorPos() const { return _hooks.cursor_pos(); }

bool CManualWindow::PointIn(int id, POINT client) {
  const RECT rect = ItemRect(id);
  return PtInRect(&rect, client) != FALSE;
}

bool CManualWindow::TreeEnabled(int target) const {
  const CFolderTreeView* tree = GetTree(target);
  return tree && tree->Handle() && tree->IsEnabled();
}

std::wstring CManualWindow::DropDestination(POINT client) {
  if (PointIn(kSDFolderTreeRect.id, client) && TreeEnabled(kManualSD)) {
    POINT screen = client;
    ::ClientToScreen(Handle(), &screen);
    return _sd_tree->GetPathAt(screen);
  }
  if (_sd_view && _sd_view->IsVisible() && PointIn(kSDFileListView.id, client)) {
    return GetCurrentFolder(kManualSD);
  }
  return std::wstring();
}

bool CManualWindow::IsItemEnabled(int id) {
  CSkinWindowItem* item = FindItem(id);
  return item && item->Enabled();
}

bool CManualWindow::IsItemVisible(int id) {
  CSkinWindowItem* item = FindItem(id);
  return item && item->IsVisible();
}

RECT CManualWindow::ItemRect(int id) {
  CSkinWindowItem* item = FindItem(id);
  return item ? item->Rect() : RECT{0, 0, 0, 0};
}

std::string CManualWindow::ItemText(int id) {
  if (auto* text = dynamic_cast<CSkinWindowItemStatic*>(FindItem(id))) return text->Text();
  return std::string();
}

void CManualWindow::SetItemEnabled(int id, bool on) {
  CSkinWindowItem* item = FindItem(id);
  if (!item) return;
  item->SetEnabled(on);
  // The copy button's caption is white, which greys to white: a disabled
  // copy button is shown faded over its band instead.
  if (id == kCopyButton.id) {
    if (auto* button = dynamic_cast<CSkinWindowItemButton*>(item))
      button->SetAlpha(on ? 255 : kDisabledCopyAlpha);
  }
}

void CManualWindow::SetItemVisible(int id, bool on) {
  if (CSkinWindowItem* item = FindItem(id)) item->SetVisible(on);
}

void CManualWindow::SetItemText(int id, const std::string& value) {
  if (auto* text = dynamic_cast<CSkinWindowItemStatic*>(FindItem(id))) text->SetText(value);
}

void CManualWindow::AbortWorkers(bool listing_only) {
  if (!listing_only) _file_worker.Abort(kWorkerStopMs);
  _pc_worker.Abort(kWorkerStopMs);
  _sd_worker.Abort(kWorkerStopMs);
}

void CManualWindow::SaveRecentFolder() {
  const std::wstring folder = GetCurrentFolder(kManualPC);
  // A window refused at creation never listed a folder: the stored one stays.
  if (folder.empty()) return;
  // The settings window may have saved since this window opened: only the
  // recent folder changes.
  COstrovelleConfig config;
  config.LoadMusic();
  config.SetManualRecentFolderW(folder);
  if (!config.SaveMusic()) OV_LOG(kLogError, "設定保存失敗");
}

void CManualWindow::OnClose() {
  SaveRecentFolder();
  AbortWorkers(false);
  OV_LOG(kLogInfo, "CMusicFileThread were aborted.");
  DestroyWindow();
}

void CManualWindow::OnDestroy() {
  PostQuitMessage(0);
  CMusicFrame::OnDestroy();
}

void CManualWindow::OnEndSession(bool ending, LPARAM lparam) {
  if (ending) {
    PostMessageA(WM_CLOSE);
    MSG msg;
    while (IsWindow(Handle()) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  CMusicFrame::OnEndSession(ending, lparam);
}

bool CManualWindow::ResizeBuffers(UINT type, int cx, int cy) {
  if (type == SIZE_MAXIMIZED) {
    SetItemVisible(kRestoreButton.id, true);
    SetItemVisible(kMaximizeButton.id, false);
    // The whole monitor, as a popup window maximises over it: the layout
    // never runs past the screen the window is on.
    lib::wfc::CMonitorList monitors;
    monitors.Fill();
    RECT window = {0, 0, 0, 0};
    ::GetWindowRect(Handle(), &window);
    if (const MONITORINFO* monitor = monitors.Nearest(window)) {
      const SIZE clamped = ClampToMonitor(SIZE{cx, cy}, monitor->rcMonitor);
      cx = clamped.cx;
      cy = clamped.cy;
    }
  } else if (type == SIZE_RESTORED) {
    SetItemVisible(kMaximizeButton.id, true);
    SetItemVisible(kRestoreButton.id, false);
  }
  const bool resized = CMusicFrame::ResizeBuffers(type, cx, cy);
  if (!_created) return resized;
  for (int target : {kManualPC, kManualSD}) {
    CFolderTreeView* tree = GetTree(target);
    if (!tree || !tree->Handle()) continue;
    const RECT r = ItemRect(target == kManualPC ? kPCFolderTreeRect.id : kSDFolderTreeRect.id);
    ::MoveWindow(tree->Handle(), r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  if (type == SIZE_RESTORED) {
    for (CButtonListView* view : {_pc_view, _sd_view}) {
      if (!view) continue;
      for (int i = 0; i < 4; ++i) view->SetColumnWidth(i, kColumnWidths[i]);
    }
  }
  OnWorkerProgress(_progress);
  UpdateSDVolume(false);
  return resized;
}

bool CManualWindow::Notify(int id, int code, int value) {
  if (id == kApplicationIcon.id && code == kIconClosed) {
    PostMessageA(WM_CLOSE);
    return true;
  }
  return CMusicFrame::Notify(id, code, value);
}

void CManualWindow::OnScroll(CSkinWindowItemScrollBar* bar, UINT message, int code, int position) {
  CButtonListView* view = bar == _pc_bar ? _pc_view : bar == _sd_bar ? _sd_view : nullptr;
  if (view && message == WM_VSCROLL) view->OnNotify(WM_VSCROLL, code, position);
}

void CManualWindow::OnCommand(UINT id, UINT code, HWND control) {
  const int item = static_cast<int>(id);
  const uint32_t status = _operations.Status();
  const bool busy = status == kOpCopy || status == kOpDelete;
  if (item == kCloseButton.id) {
    PostMessageA(WM_CLOSE);
  } else if (item == kRestoreButton.id) {
    ::ShowWindow(Handle(), SW_RESTORE);
  } else if (item == kMaximizeButton.id) {
    ::ShowWindow(Handle(), SW_MAXIMIZE);
  } else if (item == kMinimizeButton.id) {
    ::ShowWindow(Handle(), SW_MINIMIZE);
  } else if (item == kCopyButton.id) {
    CopyFiles(GetCurrentFolder(kManualPC), GetCurrentFolder(kManualSD));
  } else if (item == kPCBackFolderButton.id || item == kSDBackFolderButton.id) {
    if (!busy) GetTree(item == kPCBackFolderButton.id ? kManualPC : kManualSD)->Back();
  } else if (item == kPCUpFolderButton.id || item == kSDUpFolderButton.id) {
    if (!busy) GetTree(item == kPCUpFolderButton.id ? kManualPC : kManualSD)->Up();
  } else if (id == kCmdPlay) {
    PlayFile(_context_side, GetCurrentFolder(_context_side));
  } else if (id == kCmdDelete) {
    DeleteFiles(_context_side, GetCurrentFolder(_context_side));
  } else if (id == kCmdProperties) {
    ShowFileProperties(_context_side, GetCurrentFolder(_context_side));
  } else if (id == kCmdSelectAll) {
    SelectAll(_context_side);
  } else if (id >= 0xF000) {
    PostMessageA(WM_SYSCOMMAND, id, 0);
  } else {
    CMusicFrame::OnCommand(id, code, control);
  }
}

void CManualWindow::OnKeyDown(UINT key, UINT flags) {
  const uint32_t status = _operations.Status();
  if (key == VK_DELETE && _context_side == kManualSD) {
    DeleteFiles(kManualSD, GetCurrentFolder(kManualSD));
  } else if (key == VK_F5) {
    if (status == kOpCopy || status == kOpDelete) return;
    AbortWorkers(true);
    OpenFolder(kManualPC, L"", L"");
    OpenFolder(kManualSD, L"", L"");
  } else if (key == 'A' && Ctrl()) {
    SelectAll(_context_side);
  } else if (key == VK_UP || key == VK_DOWN) {
    MoveFocus(_context_side, key == VK_DOWN, Shift(), Ctrl());
  } else {
    CMusicFrame::OnKeyDown(key, flags);
  }
}

void CManualWindow::OnMouseWheel(UINT keys, int delta, int x, int y) {
  POINT client = {x, y};
  ::ScreenToClient(Handle(), &client);
  if (PointIn(kPCFolderTreeRect.id, client) && TreeEnabled(kManualPC)) {
    _pc_tree->ScrollByWheel(delta);
  } else if (PointIn(kSDFolderTreeRect.id, client) && TreeEnabled(kManualSD)) {
    _sd_tree->ScrollByWheel(delta);
  } else {
    for (CButtonListView* view : {_pc_view, _sd_view}) {
      if (view && view->IsVisible() && PointIn(view->Id(), client)) {
        view->ScrollByWheel(-delta / WHEEL_DELTA * 3);
        return;
      }
    }
    CMusicFrame::OnMouseWheel(keys, delta, x, y);
  }
}

void CManualWindow::OnMouseMove(UINT keys, int x, int y) {
  const POINT client = {x, y};
  const bool folder_drag = !_pc_tree->GetDraggedPath().empty();
  if (!_file_drag && !folder_drag) {
    for (CButtonListView* view : {_pc_view, _sd_view}) {
      if (!view || !view->IsVisible() || !view->IsEnabled() || !PointIn(view->Id(), client)) {
        continue;
      }
      int row = -1, index = -1;
      const POINT inside = {x - view->X(), y - view->Y()};
      if (view->HitTest(inside, &row, &index) == kListHitBorder) SetCursor(_cursors[1]);
    }
  } else {
    if (PointIn(kSDFolderTreeRect.id, client) && TreeEnabled(kManualSD)) {
      _sd_tree->HighlightAt(client);
    }
    const bool over_card =
        PointIn(kSDFolderTreeRect.id, client) ||
        (_sd_view && _sd_view->IsVisible() && PointIn(kSDFileListView.id, client));
    SetCursor(_cursors[over_card && IsCopyEnabled() ? 2 : 3]);
  }
  CMusicFrame::OnMouseMove(keys, x, y);
}

void CManualWindow::OnLButtonUp(UINT keys, int x, int y) {
  const std::wstring dragged = _pc_tree->GetDraggedPath();
  if (!dragged.empty()) {
    const std::wstring destination = DropDestination(POINT{x, y});
    SetCursor(_cursors[0]);
    // The tree ends its drag when the button comes up; the path was taken.
    if (!destination.empty()) CopyFolder(dragged, destination);
  }
  CMusicFrame::OnLButtonUp(keys, x, y);
}

void CManualWindow::OnRButtonUp(UINT keys, int x, int y) {
  const POINT client = {x, y};
  if (PointIn(kSDFolderTreeRect.id, client) && TreeEnabled(kManualSD) && _menu) {
    POINT screen = client;
    ::ClientToScreen(Handle(), &screen);
    const std::wstring folder = _sd_tree->GetPathAt(screen);
    if (!folder.empty()) {
      const HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kFileListMenu));
      const HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
      if (popup) {
        for (UINT command : {kCmdPlay, kCmdProperties, kCmdSelectAll}) {
          DeleteMenu(popup, command, MF_BYCOMMAND);
        }
        const bool root = SamePath(folder, libmusic::GetMusicFolderPathW(_drive));
        EnableMenuItem(popup, kCmdDelete,
                       MF_BYCOMMAND | (root || !IsCopyEnabled() ? MF_GRAYED : MF_ENABLED));
        const UINT chosen = TrackPopup(popup, screen);
        if (chosen == kCmdDelete) {
          const std::wstring clicked = _sd_tree->GetRightClickedPath();
          if (!clicked.empty()) DeleteFolder(clicked);
        } else if (chosen == 0) {
          _sd_tree->ForgetRightClicked();
        }
      }
      if (menu) DestroyMenu(menu);
    }
  }
  CMusicFrame::OnRButtonUp(keys, x, y);
}

void CManualWindow::OnNcRButtonUp(UINT hit, int x, int y) {
  if (_system_menu && hit == HTCAPTION) {
    const bool maximised = IsZoomed(Handle()) != FALSE;
    const auto state = [](bool on) { return MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED); };
    EnableMenuItem(_system_menu, SC_RESTORE, state(maximised));
    EnableMenuItem(_system_menu, SC_MAXIMIZE, state(!maximised));
    EnableMenuItem(_system_menu, SC_MOVE, state(!maximised));
    EnableMenuItem(_system_menu, SC_SIZE, state(false));
    EnableMenuItem(_system_menu, SC_MINIMIZE, state(true));
    const UINT chosen = TrackPopup(_system_menu, POINT{x, y});
    if (chosen != 0) PostMessageA(WM_SYSCOMMAND, chosen, 0);
    return;
  }
  CMusicFrame::OnNcRButtonUp(hit, x, y);
}

LRESULT CManualWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY && lparam) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
    for (CFolderTreeView* tree : {_pc_tree.get(), _sd_tree.get()}) {
      if (tree && tree->Handle() && header->hwndFrom == tree->Handle()) {
        return tree->OnNotify(message, wparam, reinterpret_cast<NMHDR*>(lparam));
      }
    }
  }
  if (message == _music_manual && _music_manual != 0) {
    // Only a request a worker of this process posted is taken: a foreign or
    // repeated post of the system-wide message is dropped.
    std::unique_ptr<CMusicFileThreadRequest> request;
    if (wparam == kMusicManualProgress) {
      OnWorkerProgress(static_cast<int>(lparam));
      return 0;
    }
    request = CMusicFileThreadRequest::Adopt(wparam, lparam);
    if (!request) {
      OV_LOG(kLogError, "不正な通知を無視します。[%u]", static_cast<unsigned>(wparam));
      return 0;
    }
    switch (wparam) {
      case kMusicResultFileList:
        OnFileListResult(std::move(request));
        break;
      case kMusicResultCopyFolder:
      case kMusicResultCopyFiles:
        OnCopyResult(std::move(request));
        break;
      case kMusicResultDeleteFolder:
      case kMusicResultDeleteFiles:
        OnDeleteResult(std::move(request));
        break;
      default:
        break;
    }
    return 0;
  }
  if (message == _sd_change && _sd_change != 0) {
    OnSDChange(static_cast<char>(wparam));
    return 0;
  }
  if (message == _request_end && _request_end != 0) {
    PostMessageA(WM_CLOSE);
    return 0;
  }
  return CMusicFrame::WindowProc(message, wparam, lparam);
}

}  // namespace ui
