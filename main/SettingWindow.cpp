#include "SettingWindow.h"

#include <shlobj.h>

#include "CardClear.h"
#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "Folders.h"
#include "Log.h"
#include "MessageBox.h"
#include "OstrovelleLite/DownloadManageFile.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "ShellHelpers.h"
#include "SkinWindowItemEditBox.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"

namespace ui {

namespace {

constexpr const char kMusicWindowClass[] = "WFC-OstrovelleEVDefaultWindowClass";
constexpr const char kMusicManualTitle[] = "Ostrovelle Music Manual";
constexpr const char kMusicSettingTitle[] = "Ostrovelle Music Setting";
// How long the window waits for the core's answer about reserved charges.
constexpr UINT kCoreAnswerTimeoutMs = 5000;
// The music manager is given this many looks, this far apart, to end.
constexpr int kMusicWaitRounds = 10;
constexpr DWORD kMusicWaitStepMs = 100;

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return std::string();
  }
  return path;
}

std::vector<std::string> SystemFolders() {
  std::vector<std::string> folders;
  for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_WINDOWS}) {
    std::string folder = ShellFolder(csidl);
    if (!folder.empty()) folders.push_back(folder);
  }
  return folders;
}

bool PickWithShell(HWND owner, const std::string& initial, std::string* chosen) {
  lib::CBrowseForFolder picker(initial);
  if (!picker.Show(owner, "ダウンロードデータを一時的に保存するフォルダを選択", false)) {
    return false;
  }
  if (picker.GetPath().empty()) return false;
  *chosen = picker.GetPath();
  return true;
}

bool FreeSpace(const std::string& root, uint64_t* free_bytes, DWORD* error) {
  ULARGE_INTEGER available = {}, total = {}, free = {};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) {
    *error = GetLastError();
    return false;
  }
  *free_bytes = free.QuadPart;
  *error = 0;
  return true;
}

bool MusicManagerShown() {
  return FindWindowA(kMusicWindowClass, kMusicManualTitle) != nullptr ||
         FindWindowA(kMusicWindowClass, kMusicSettingTitle) != nullptr;
}

// The music manager ends its windows when it is asked to; a manual transfer
// still writing keeps them a while.
bool WaitMusicManagerGone() {
  for (int round = 0; round < kMusicWaitRounds; ++round) {
    if (!MusicManagerShown()) return true;
    Sleep(kMusicWaitStepMs);
  }
  return !MusicManagerShown();
}

DWORD ClearUnitData(char drive) { return ClearSDCard(drive, true, false); }

// "C:\" of "C:\x\y", "\\server\share\" of a share; the path itself else.
std::string RootOf(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  if (path.compare(0, 2, "\\\\") == 0) {
    const size_t server = path.find('\\', 2);
    if (server != std::string::npos) {
      const size_t share = path.find('\\', server + 1);
      return (share == std::string::npos ? path : path.substr(0, share)) + "\\";
    }
  }
  return path;
}

class CWaitCursor final {
 public:
  CWaitCursor() : _old(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~CWaitCursor() { SetCursor(_old); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  HCURSOR _old;
};

}  // namespace

namespace setting {

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

uint32_t CheckFolder(const std::string& folder, const std::vector<std::string>& system_folders) {
  if (folder.empty()) return kFolderEmpty;
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A file of that name would take every download's place.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return kFolderNotAcceptable;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                      FILE_ATTRIBUTE_TEMPORARY)) {
      return kFolderNotAcceptable;
    }
  }
  // Folder names are compared as the file system does: without case.
  const std::string upper = ToUpper(folder);
  for (const std::string& system : system_folders) {
    if (!system.empty() && upper.find(ToUpper(system)) != std::string::npos) {
      return kFolderNotAcceptable;
    }
  }
  return 0;
}

}  // namespace setting

const SkinItemDescriptor CSettingWindow::kBase = {"Base", 5500};
const SkinItemDescriptor CSettingWindow::kApplicationIcon = {"ApplicationIcon", 5501};
const SkinItemDescriptor CSettingWindow::kTitleStatic = {"TitleStatic", 5502};
const SkinItemDescriptor CSettingWindow::kCloseButton = {"CloseButton", 5503};
const SkinItemDescriptor CSettingWindow::kChargeSelectFrame = {"ChargeSelectFrame", 5504};
const SkinItemDescriptor CSettingWindow::kChargeSelectFrameText = {"ChargeSelectFrameText", 5505};
const SkinItemDescriptor CSettingWindow::kMapChargeExeCheckBox = {"MapChargeExeCheckBox", 5506};
const SkinItemDescriptor CSettingWindow::kMapChargeExeTextStatic = {"MapChargeExeTextStatic", 5507};
const SkinItemDescriptor CSettingWindow::kTidewheelExeCheckBox = {"TidewheelExeCheckBox", 5508};
const SkinItemDescriptor CSettingWindow::kTidewheelExeTextStatic = {"TidewheelExeTextStatic", 5509};
const SkinItemDescriptor CSettingWindow::kStratovineExeCheckBox = {"StratovineExeCheckBox", 5510};
const SkinItemDescriptor CSettingWindow::kStratovineExeTextStatic = {"StratovineExeTextStatic",
                                                                     5511};
const SkinItemDescriptor CSettingWindow::kDownloadFolderFrame = {"DownloadFolderFrame", 5512};
const SkinItemDescriptor CSettingWindow::kDownloadFolderFrameText = {"DownloadFolderFrameText",
                                                                     5513};
const SkinItemDescriptor CSettingWindow::kDownloadFolderTitleTextStatic = {
    "DownloadFolderTitleTextStatic", 5514};
const SkinItemDescriptor CSettingWindow::kDownloadFolderTextStatic = {"DownloadFolderTextStatic",
                                                                      5515};
const SkinItemDescriptor CSettingWindow::kDownloadFolderEdit = {"DownloadFolderEdit", 5516};
const SkinItemDescriptor CSettingWindow::kDownloadFolderButton = {"DownloadFolderButton", 5517};
const SkinItemDescriptor CSettingWindow::kAutoDeleteCheckBox = {"AutoDeleteCheckBox", 5518};
const SkinItemDescriptor CSettingWindow::kAutoDeleteTextStatic = {"AutoDeleteTextStatic", 5519};
const SkinItemDescriptor CSettingWindow::kDownloadDeleteTextStatic1 = {"DownloadDeleteTextStatic1",
                                                                       5520};
const SkinItemDescriptor CSettingWindow::kDownloadDeleteButton = {"DownloadDeleteButton", 5521};
const SkinItemDescriptor CSettingWindow::kSDClearFrame = {"SDClearFrame", 5522};
const SkinItemDescriptor CSettingWindow::kSDClearFrameText = {"SDClearFrameText", 5523};
const SkinItemDescriptor CSettingWindow::kSDClearTextStatic1 = {"SDClearTextStatic1", 5524};
const SkinItemDescriptor CSettingWindow::kSDClearButton = {"SDClearButton", 5525};
const SkinItemDescriptor CSettingWindow::kOKButton = {"OKButton", 5526};
const SkinItemDescriptor CSettingWindow::kCancelButton = {"CancelButton", 5527};
const SkinItemDescriptor CSettingWindow::kReInitializeButton = {"ReInitializeButton", 5528};
const SkinItemDescriptor CSettingWindow::kFrameOverlay = {"FrameOverlay", 5529};

CSettingWindow::CSettingWindow(SettingWindowHooks hooks)
    : CKeptCardWindow(&kFrameOverlay, kApplicationIcon.id), _hooks(std::move(hooks)) {
  if (!_hooks.pick_folder) _hooks.pick_folder = &PickWithShell;
  if (!_hooks.free_space) _hooks.free_space = &FreeSpace;
  if (!_hooks.system_folders) _hooks.system_folders = &SystemFolders;
  if (!_hooks.wait_music_manager_gone) _hooks.wait_music_manager_gone = &WaitMusicManagerGone;
  if (!_hooks.clear_card) _hooks.clear_card = &ClearUnitData;
}

CSettingWindow::~CSettingWindow() {
  if (Handle()) DestroyWindow();
}

void CSettingWindow::CreateItems(const SkinDefinition& definition) {
  auto text = [&](const SkinItemDescriptor& item, const char* value, bool wrap = false) {
    auto* item_static =
        static_cast<CSkinWindowItemStatic*>(CreateStaticItem(definition, item, this));
    if (wrap) item_static->SetFormat(DT_WORDBREAK);
    item_static->SetText(value);
  };
  auto check = [&](const SkinItemDescriptor& item) {
    CreateToggleButton(item.id, definition.GetSection(item));
  };
  CreateButtonItem(definition, kApplicationIcon, this);
  text(kTitleStatic, "ダウンロード設定");
  CreateButtonItem(definition, kCloseButton, this);
  CreateResizableStaticImageItem(definition, kChargeSelectFrame, this);
  text(kChargeSelectFrameText, "ナビチャージ設定");
  check(kMapChargeExeCheckBox);
  text(kMapChargeExeTextStatic, "マップチャージ");
  check(kTidewheelExeCheckBox);
  text(kTidewheelExeTextStatic, "渋滞情報取得");
  check(kStratovineExeCheckBox);
  text(kStratovineExeTextStatic, "Stratovine");
  CreateResizableStaticImageItem(definition, kDownloadFolderFrame, this);
  text(kDownloadFolderFrameText, "ダウンロードデータ設定");
  text(kDownloadFolderTitleTextStatic, "ダウンロードするフォルダの設定");
  text(kDownloadFolderTextStatic,
       "※規定サイズ以上の空きがあるドライブのフォルダを指定してください。", true);
  CreateEditBox(kDownloadFolderEdit.id, definition.GetSection(kDownloadFolderEdit));
  CreateButtonItem(definition, kDownloadFolderButton, this);
  check(kAutoDeleteCheckBox);
  text(kAutoDeleteTextStatic, "ナビに反映済みのダウンロードしたデータを自動で削除する");
  text(kDownloadDeleteTextStatic1, "ダウンロードしたデータの消去を行います。");
  CreateButtonItem(definition, kDownloadDeleteButton, this);
  CreateResizableStaticImageItem(definition, kSDClearFrame, this);
  text(kSDClearFrameText, "SDカードデータ操作");
  text(kSDClearTextStatic1, "SDカードに格納されているデータの消去を行います。");
  CreateButtonItem(definition, kSDClearButton, this);
  CreateButtonItem(definition, kOKButton, this);
  CreateButtonItem(definition, kCancelButton, this);
  CreateButtonItem(definition, kReInitializeButton, this);
  CreateFrameOverlay(definition);
  CLayoutManager::AddItem(kCloseButton.id, kAnchorFar, kAnchorNear, kAnchorFar, kAnchorNear);
  CLayoutManager::AddItem(kOKButton.id, kAnchorNear, kAnchorNear, kAnchorNear, kAnchorNear);
}

void CSettingWindow::Create(HWND owner) {
  CreateFromSkin(owner, "SettingWindow.txt", kBase, "Ostrovelle Setting");
  DragAcceptFiles(Edit()->Handle(), TRUE);
  COstrovelleConfig config;
  config.LoadSetting();
  config.LoadMap();
  Fill(config);
  SetDrive(0);
  PostMessageA(SkinWindowInternalMessage(), 0, 0);
}

void CSettingWindow::Show(char drive) {
  COstrovelleConfig config;
  const bool setting = config.LoadSetting();
  const bool map = config.LoadMap();
  if (setting && map) Fill(config);
  SetDrive(drive);
  ShowInFront();
}

CSkinWindowItemEditBox* CSettingWindow::Edit() {
  return dynamic_cast<CSkinWindowItemEditBox*>(FindItem(kDownloadFolderEdit.id));
}

std::string CSettingWindow::FolderText() {
  CSkinWindowItemEditBox* edit = Edit();
  return edit ? edit->GetText() : std::string();
}

void CSettingWindow::SetFolderText(const std::string& text) {
  if (CSkinWindowItemEditBox* edit = Edit()) edit->SetText(text);
}

bool CSettingWindow::IsChecked(const SkinItemDescriptor& item) {
  CSkinWindowItem* found = FindItem(item.id);
  return found && found->OnNotify(kItemGetSelected, 0, 0) != 0;
}

void CSettingWindow::SetChecked(const SkinItemDescriptor& item, bool on) {
  if (CSkinWindowItem* found = FindItem(item.id)) found->OnNotify(kItemSetSelected, on ? 1 : 0, 0);
}

bool CSettingWindow::IsItemEnabled(const SkinItemDescriptor& item) {
  CSkinWindowItem* found = FindItem(item.id);
  return found && found->Enabled();
}

void CSettingWindow::Fill(const COstrovelleConfig& config) {
  SetFolderText(config.GetDownloadFolderPath());
  SetChecked(kAutoDeleteCheckBox, config.GetDataAutoDelete() != 0);
  SetChecked(kMapChargeExeCheckBox, config.GetTransmitExe(2) != 0);
  SetChecked(kTidewheelExeCheckBox, config.GetTransmitExe(3) != 0);
  SetChecked(kStratovineExeCheckBox, config.GetTransmitExe(4) != 0);
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void CSettingWindow::SetDrive(char drive) {
  _drive = drive;
  for (const SkinItemDescriptor* item : {&kDownloadDeleteButton, &kSDClearButton}) {
    if (CSkinWindowItem* button = FindItem(item->id)) button->SetEnabled(drive != 0);
  }
  if (Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

int CSettingWindow::Ask(uint32_t code) {
  uint32_t style = msgstyle::kWarning;
  const std::string text = GetErrorMessage(code, &style, 0);
  return lib::wfc::MessageBox(Handle(), text.c_str(), style);
}

bool CSettingWindow::CheckFolderText(std::string* folder) {
  *folder = setting::TrimBlanks(FolderText());
  const uint32_t code = setting::CheckFolder(*folder, _hooks.system_folders());
  if (code == 0) return true;
  Ask(code);
  return false;
}

bool CSettingWindow::CoreHasReservations() {
  const HWND core = FindWindowA(kCoreWindowClass, kCoreWindowTitle);
  if (!core) return false;
  DWORD_PTR reserved = 0;
  if (!SendMessageTimeoutA(core, RegisterOvMessage(kMsgRequestReconfirm), 0,
                           reinterpret_cast<LPARAM>(Handle()), SMTO_ABORTIFHUNG,
                           kCoreAnswerTimeoutMs, &reserved)) {
    // A core that cannot say may be writing: nothing is deleted under it.
    OV_LOG(kLogError, "CSettingWindow - no answer from the core ERR:0x%08X",
           static_cast<unsigned>(GetLastError()));
    return true;
  }
  return reserved != 0;
}

void CSettingWindow::Apply() {
  std::string folder;
  if (!CheckFolderText(&folder)) return;
  if (!PathIsDirectory(folder)) {
    if (Ask(setting::kAskCreateFolder) != IDYES) return;
    if (!CreateDirectories(folder) || !PathIsDirectory(folder)) {
      OV_LOG(kLogError, "ダウンロードフォルダ作成失敗 ERR:0x%08X",
             static_cast<unsigned>(GetLastError()));
      Ask(setting::kFolderNotAcceptable);
      return;
    }
  }
  uint64_t free_bytes = 0;
  DWORD error = 0;
  const bool known = _hooks.free_space(RootOf(folder), &free_bytes, &error);
  if (!known || free_bytes < setting::kMinimumFreeBytes) {
    OV_LOG(kLogError, "ダウンロード指定ドライブ容量不正 RET:%s ERR:0x%08X %lld",
           known ? "成功" : "失敗", static_cast<unsigned>(error),
           static_cast<long long>(free_bytes));
    if (Ask(setting::kAskLowSpace) != IDYES) return;
  }
  COstrovelleConfig config;
  bool saved = config.SaveDownloadFolder(folder.c_str());
  saved = config.SaveDataAutoDelete(IsChecked(kAutoDeleteCheckBox) ? 1 : 0) && saved;
  saved = config.SaveTransmitExe2(IsChecked(kMapChargeExeCheckBox) ? 1 : 0) && saved;
  saved = config.SaveTransmitExe3(IsChecked(kTidewheelExeCheckBox) ? 1 : 0) && saved;
  saved = config.SaveTransmitExe4(IsChecked(kStratovineExeCheckBox) ? 1 : 0) && saved;
  if (!saved) OV_LOG(kLogError, "設定ファイル保存失敗");
  SetFolderText(folder);
  Hide();
}

void CSettingWindow::PickFolder() {
  std::string chosen;
  if (_hooks.pick_folder(Handle(), setting::TrimBlanks(FolderText()), &chosen)) {
    SetFolderText(chosen);
  }
}

void CSettingWindow::DeleteDownloads() {
  if (CoreHasReservations()) {
    Ask(setting::kDownloadsBusy);
    return;
  }
  std::string folder;
  if (!CheckFolderText(&folder)) return;
  if (!PathIsDirectory(folder)) {
    Ask(setting::kNoDownloadFolder);
    return;
  }
  if (Ask(setting::kAskDeleteDownloads) != IDYES) return;
  bool ok;
  {
    CWaitCursor wait;
    ok = CDownloadManageFile(folder)._DeleteAllLocalData(folder);
    const CPcLinkFile unit(CPcLinkFile::kUnitInfoFile, _drive);
    if (_drive != 0 && unit.IsLoaded()) {
      std::string model_folder = folder;
      AppendBackslash(model_folder);
      model_folder += FormatString("Data%02X", unit.GetModel());
      if (PathIsDirectory(model_folder)) {
        ok = CDownloadManageFile(model_folder)._DeleteAllLocalData(model_folder) && ok;
        ok = DeleteFolderTree(model_folder, true) && ok;
      }
    }
  }
  Ask(ok ? setting::kDownloadsDeleted : setting::kDownloadsDeleteFailed);
}

void CSettingWindow::ClearCard() {
  if (CoreHasReservations()) {
    Ask(setting::kCardBusy);
    return;
  }
  if (Ask(setting::kAskClearCard) != IDYES) return;
  const char drive = _drive;
  bool music_gone = true;
  DWORD result = ERROR_INVALID_DRIVE;
  {
    CWaitCursor wait;
    const UINT end = RegisterOvMessage(kMsgRequestEnd);
    if (const HWND core = FindWindowA(kCoreWindowClass, kCoreWindowTitle)) {
      ::PostMessageA(core, end, 0, 0);
    }
    for (const char* title : {kMusicManualTitle, kMusicSettingTitle}) {
      if (const HWND music = FindWindowA(kMusicWindowClass, title))
        ::PostMessageA(music, end, 0, 0);
    }
    // A manual transfer may still be writing to the card: nothing is
    // cleared under it.
    music_gone = _hooks.wait_music_manager_gone();
    if (!music_gone) {
      OV_LOG(kLogError, "SDカードクリア中断 音楽マネージャ終了待ちタイムアウト");
    } else if (drive != 0) {
      result = _hooks.clear_card(drive);
      if (result == 0) CopyOutingFile(drive, true);
    }
  }
  if (!music_gone) {
    Ask(setting::kCardBusy);
    return;
  }
  Ask(result == 0 ? setting::kCardCleared : setting::kCardClearFailed);
}

void CSettingWindow::Reset() {
  if (Ask(setting::kAskReset) != IDYES) return;
  COstrovelleConfig config;
  if (!config.LoadSetting()) return;
  config.InitMap(true);
  config.InitSetting(true);
  Fill(config);
}

void CSettingWindow::OnCommand(UINT id, UINT code, HWND control) {
  struct Command {
    const SkinItemDescriptor* item;
    void (CSettingWindow::*handler)();
  };
  static const Command kCommands[] = {
      {&kOKButton, &CSettingWindow::Apply},
      {&kCancelButton, &CSettingWindow::Hide},
      {&kCloseButton, &CSettingWindow::Hide},
      {&kDownloadFolderButton, &CSettingWindow::PickFolder},
      {&kDownloadDeleteButton, &CSettingWindow::DeleteDownloads},
      {&kSDClearButton, &CSettingWindow::ClearCard},
      {&kReInitializeButton, &CSettingWindow::Reset},
  };
  for (const Command& command : kCommands) {
    if (command.item->id == id) {
      (this->*command.handler)();
      return;
    }
  }
  mainwin::CMainFrame::OnCommand(id, code, control);
}

void CSettingWindow::OnAcceptOrCancel(int, bool accept) {
  if (accept && IsWindowVisible(Handle())) Apply();
}

}  // namespace ui
