// The launcher window; see LauncherWindow.h.
#include "LauncherWindow.h"

#include <dbt.h>

#include <algorithm>

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "Folders.h"
#include "Handle.h"
#include "Log.h"
#include "MapDownloadRequest.h"
#include "MainWindowKeys.h"
#include "MessageBox.h"
#include "Placement.h"
#include "ProgramStart.h"
#include "SkinException.h"
#include "SkinWindowItemAnimation.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemStatic.h"
#include "StringUtil.h"
#include "VolumeEject.h"

namespace ui {

const SkinItemDescriptor CLauncherWindow::kBase = {"Base", 5000};
const SkinItemDescriptor CLauncherWindow::kApplicationIcon = {"ApplicationIcon", 5001};
const SkinItemDescriptor CLauncherWindow::kTitle = {"Title", 5002};
const SkinItemDescriptor CLauncherWindow::kMinimizeButton = {"MinimizeButton", 5003};
const SkinItemDescriptor CLauncherWindow::kCloseButton = {"CloseButton", 5004};
const SkinItemDescriptor CLauncherWindow::kMenuButton = {"MenuButton", 5005};
const SkinItemDescriptor CLauncherWindow::kMenuButtonClose = {"MenuButtonClose", 5006};
const SkinItemDescriptor CLauncherWindow::kStatusMessageImage = {"StatusMessageImage", 5007};
const SkinItemDescriptor CLauncherWindow::kProbeProgressImage = {"ProbeProgressImage", 5010};
const SkinItemDescriptor CLauncherWindow::kMapProgressImage = {"MapProgressImage", 5011};
const SkinItemDescriptor CLauncherWindow::kTidewheelProgressImage = {"TidewheelProgressImage",
                                                                     5012};
const SkinItemDescriptor CLauncherWindow::kWeatherProgressImage = {"WeatherProgressImage", 5013};
const SkinItemDescriptor CLauncherWindow::kMusicProgressImage = {"MusicProgressImage", 5014};
const SkinItemDescriptor CLauncherWindow::kSDEjectableIcon = {"SDEjectableIcon", 5020};
const SkinItemDescriptor CLauncherWindow::kSDAlivalIcon = {"SDAlivalIcon", 5021};
const SkinItemDescriptor CLauncherWindow::kSDUnAlivalIcon = {"SDUnAlivalIcon", 5022};
const SkinItemDescriptor CLauncherWindow::kSDCardStatic = {"SDCardStatic", 5023};
const SkinItemDescriptor CLauncherWindow::kSDSearchAnime = {"SDSearchAnime", 5024};
const SkinItemDescriptor CLauncherWindow::kSDChargingAnime = {"SDChargingAnime", 5025};
const SkinItemDescriptor CLauncherWindow::kSDEjectButton = {"SDEjectButton", 5030};
const SkinItemDescriptor CLauncherWindow::kSDEjectTextStatic = {"SDEjectTextStatic", 5031};
const SkinItemDescriptor CLauncherWindow::kSDAbortButton = {"SDAbortButton", 5032};
const SkinItemDescriptor CLauncherWindow::kSDAbortTextStatic = {"SDAbortTextStatic", 5033};
const SkinItemDescriptor CLauncherWindow::kSDAbortInfoTextStatic = {"SDAbortInfoTextStatic", 5034};
const SkinItemDescriptor CLauncherWindow::kFrameOverlay = {"FrameOverlay", 5099};

namespace {

constexpr char kLauncherWindowTitle[] = "Ostrovelle";
constexpr char kMusicManualTitle[] = "Ostrovelle Music Manual";
constexpr char kMusicSettingTitle[] = "Ostrovelle Music Setting";
constexpr char kProbeTitle[] = "Ostrovelle Probe";

constexpr uint32_t kCodeNoUsableCard = 0xFF00EE02;
constexpr uint32_t kCodeEjectNoCard = 0xFF00EE04;
constexpr uint32_t kCodeEjected = 0xFF00EE05;
constexpr uint32_t kCodeEjectFailed = 0xFF00EE06;
constexpr uint32_t kCodeOtherWindows = 0xFF00EE07;
constexpr uint32_t kCodeSmallCard = 0xFF00EE08;
constexpr uint32_t kCodeOtherModel = 0xFF00EE09;

// The shell's notification: every drive and media event of every item.
constexpr int kShellSources = 0x9003;
constexpr LONG kShellEvents = static_cast<LONG>(0xFFF901E1);
constexpr LONG kMediaInserted = 0x20;
constexpr LONG kMediaRemoved = 0x40;
constexpr LONG kDriveRemoved = 0x80;
constexpr LONG kDriveAdded = 0x100;
constexpr LONG kDriveAddedGui = 0x10000;

constexpr UINT kDetectPeriodMs = 1000;
// The core and the music manager are given this long to go (10 x 100 ms).
constexpr int kEndWaitChecks = 10;
constexpr DWORD kEndWaitStepMs = 100;
// A core that does not answer in this time is taken as holding nothing.
constexpr UINT kReconfirmLimitMs = 5000;
// The map charge's card-check phase.
constexpr WPARAM kMapPhaseCardCheck = 3;

constexpr char kAskEndClose[] = "データチャージ中です。転送を中断し、Ostrovelleを終了しますか？";
constexpr char kAskEndTransfer[] = "データチャージ中です。転送を中断しますか？";
constexpr char kUnregisteredCard[] =
    "挿入されたSDカードのお客様登録情報が見つかりませんでした。\r\n"
    "Ostrovelleを再起動して、初期設定を行ってください。";

HWND CoreWindow() { return FindWindowA(kCoreWindowClass, kCoreWindowTitle); }
HWND FrameworkWindow(const char* title) {
  return FindWindowA(lib::wfc::kDefaultWindowClass, title);
}

void PostTo(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window) PostMessageA(window, message, wparam, lparam);
}

char DriveLetter(WPARAM drive) { return drive ? static_cast<char>(drive) : '-'; }

struct OwnedWindowSearch {
  HWND launcher;  // not owned
  bool found;
};

BOOL CALLBACK FindVisibleOwnedWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<OwnedWindowSearch*>(context);
  if (window != search->launcher && IsWindowVisible(window) &&
      GetAncestor(window, GA_ROOTOWNER) == search->launcher) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

CLauncherWindow::CLauncherWindow()
    : CFrameOverlayWindowBase(&kFrameOverlay),
      _msg_sd_change(RegisterOvMessage(kMsgSDChange)),
      _msg_request_end(RegisterOvMessage(kMsgRequestEnd)),
      _msg_reconfirm(RegisterOvMessage(kMsgRequestReconfirm)),
      _msg_map_download(RegisterOvMessage(kMsgMapDownload)),
      _msg_progress_start(RegisterOvMessage(kMsgMapProgressStart)),
      _msg_progress_end(RegisterOvMessage(kMsgMapProgressEnd)),
      _msg_request_start_charge(RegisterOvMessage(CChargeChain::kRequestStartCharge)),
      _msg_notify_error(RegisterOvMessage(kMsgNotifyError)),
      _scan(std::make_unique<CLauncherCardScan>()),
      _chain(std::make_unique<CChargeChain>(this)) {
  SetResizingEnabled(false);
}

CLauncherWindow::~CLauncherWindow() {
  if (Handle()) DestroyWindow();
}

void CLauncherWindow::SetCardScan(std::unique_ptr<CLauncherCardScan> scan) {
  _scan = scan ? std::move(scan) : std::make_unique<CLauncherCardScan>();
}

bool CLauncherWindow::CreateMainWindow() {
  OV_LOG(kLogIn, "CLauncherWindow::CreateMainWindow - Start");
  SkinDefinition definition;
  try {
    LoadDefinition(definition, "LauncherWindow.txt", kBase, false);
    _CreateItems(definition);
  } catch (const CSkinWindowException& e) {
    OV_LOG(kLogError, "スキン読込失敗 %s", e.what());
    lib::wfc::MessageBox(nullptr, e.what(), "Skin Load", MB_OK | MB_ICONERROR);
    return false;
  }
  // A core or music manager left from an earlier run would follow a card
  // this launcher no longer knows.
  _EndCoreAndMusic(false);
  const SIZE size = GetLayoutSize();
  CWindow::Create(0, nullptr, kLauncherWindowTitle, mainwin::kWindowStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, size.cx, size.cy);
  if (!Handle()) return false;
  _notices.Attach(Handle());
  lib::wfc::CenterWindow(Handle(), nullptr);
  try {
    _BuildMenu();
  } catch (const CSkinWindowException& e) {
    OV_LOG(kLogError, "メニューロード失敗 %s", e.what());
    DestroyWindow();
    return false;
  }
  _FirstScan();
  _RegisterShellNotify();
  _chain->Start();
  OV_LOG(kLogOut, "CLauncherWindow::CreateMainWindow - End");
  return true;
}

void CLauncherWindow::_CreateItems(const SkinDefinition& definition) {
  CreateStaticImageItem(definition, kApplicationIcon, this);
  CreateStaticItem(definition, kTitle, this);
  CreateButtonItem(definition, kMinimizeButton, this);
  CreateButtonItem(definition, kCloseButton, this);
  CreateButtonItem(definition, kMenuButton, this);
  CreateButtonItem(definition, kMenuButtonClose, this);
  CreateStaticItem(definition, kStatusMessageImage, this);
  for (const SkinItemDescriptor* state :
       {&kProbeProgressImage, &kMapProgressImage, &kTidewheelProgressImage, &kWeatherProgressImage,
        &kMusicProgressImage}) {
    // The strip holds state pictures, not digits: one frame, no tilde.
    auto* item =
        static_cast<CSkinWindowItemDigitImage*>(CreateDigitImageItem(definition, *state, this));
    item->show_tilde = false;
    item->maximum_digits = 7;
  }
  CreateStaticImageItem(definition, kSDEjectableIcon, this);
  CreateStaticImageItem(definition, kSDAlivalIcon, this);
  CreateStaticImageItem(definition, kSDUnAlivalIcon, this);
  CreateStaticItem(definition, kSDCardStatic, this);
  // The search's small animation stays above the charging one.
  CreateAnimationItem(definition, kSDChargingAnime, this);
  CreateAnimationItem(definition, kSDSearchAnime, this);
  CreateButtonItem(definition, kSDEjectButton, this);
  CreateStaticItem(definition, kSDEjectTextStatic, this);
  CreateButtonItem(definition, kSDAbortButton, this);
  CreateStaticItem(definition, kSDAbortTextStatic, this);
  CreateStaticItem(definition, kSDAbortInfoTextStatic, this);
  CreateFrameOverlay(definition);
  for (const SkinItemDescriptor* hidden :
       {&kMenuButtonClose, &kSDEjectableIcon, &kSDAlivalIcon, &kSDUnAlivalIcon, &kSDSearchAnime,
        &kSDChargingAnime, &kSDEjectButton, &kSDEjectTextStatic, &kSDAbortButton,
        &kSDAbortTextStatic, &kSDAbortInfoTextStatic}) {
    _SetVisible(*hidden, false);
  }
  _SetAllStates(0);
}

void CLauncherWindow::_SetVisible(const SkinItemDescriptor& item, bool visible) {
  if (CSkinWindowItem* found = FindItem(item.id)) found->SetVisible(visible);
}

void CLauncherWindow::_SetAllStates(DWORD frame) {
  for (const SkinItemDescriptor* state :
       {&kProbeProgressImage, &kMapProgressImage, &kTidewheelProgressImage, &kWeatherProgressImage,
        &kMusicProgressImage}) {
    if (auto* item = static_cast<CSkinWindowItemDigitImage*>(FindItem(state->id))) {
      item->SetValue(frame);
    }
  }
}

void CLauncherWindow::_FirstScan() {
  std::vector<char> cards;
  DWORD error = 0;
  _scan->FindCards(cards, &error);
  bool read_only_seen = false;
  for (const char card : cards) {
    if (_scan->IsWritable(card)) {
      _drive = card;
      break;
    }
    OV_LOG(kLogInfo, "SDカード読取専用 %Cドライブ", card);
    read_only_seen = true;
  }
  if (!_drive && read_only_seen) PostMessageA(kShowCodeMessage, kCodeNoUsableCard, 0);
  if (_drive && _scan->FreeSpace(_drive) < kSmallCardBytes) {
    PostMessageA(kShowCodeMessage, kCodeSmallCard, 0);
  }
  if (_menu) PostTo(_menu->MenuWindow(), _msg_sd_change, static_cast<WPARAM>(_drive), 0);
  _ShowCardIcons();
}

void CLauncherWindow::_RegisterShellNotify() {
  if (!_shell.Load()) {
    OV_LOG(kLogError, "シェル通知登録失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
    return;
  }
  SHChangeNotifyEntry entry = {};
  entry.fRecursive = FALSE;
  _shell_id =
      _shell.Register(Handle(), kShellSources, kShellEvents, kShellNotifyMessage, 1, &entry);
  if (_shell_id == 0) {
    OV_LOG(kLogError, "シェル通知登録失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
  }
}

std::string CLauncherWindow::StatusText() {
  const auto* status = static_cast<const CSkinWindowItemStatic*>(FindItem(kStatusMessageImage.id));
  return status ? status->Text() : std::string();
}

std::string CLauncherWindow::CardStatusText() const {
  if (_detect_pending) return "SDカードを確認しています...";
  return _drive ? "SDカードを検出しました。" : "SDカードを挿入してください。";
}

void CLauncherWindow::_SetStatus() {
  auto* status = static_cast<CSkinWindowItemStatic*>(FindItem(kStatusMessageImage.id));
  auto* card = static_cast<CSkinWindowItemStatic*>(FindItem(kSDCardStatic.id));
  // A charge's line stays until the chain clears it.
  if (status && _chain->ShownType() == 0) status->SetText(CardStatusText());
  if (card) card->SetText(_drive ? FormatString("SDカード %c:", _drive) : "SDカードなし");
}

void CLauncherWindow::_ShowCardIcons() {
  const bool card = _drive != 0;
  // While a charge runs its animation stands in for the card's icon.
  const bool charging = IsChargingShown();
  _SetVisible(kSDEjectableIcon, card && !charging && !_sd_panel_open);
  _SetVisible(kSDAlivalIcon, card && !charging && _sd_panel_open);
  _SetVisible(kSDUnAlivalIcon, !card);
  _SetStatus();
}

uint32_t CLauncherWindow::BusyKinds() {
  const HWND core = CoreWindow();
  if (!core) return 0;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(core, _msg_reconfirm, 0, reinterpret_cast<LPARAM>(Handle()),
                           SMTO_ABORTIFHUNG, kReconfirmLimitMs, &result)) {
    result = 0;
  }
  OV_LOG(kLogInfo, "Coreのチャージ予約状況取得 lResult [%08X]", static_cast<unsigned>(result));
  return static_cast<uint32_t>(result);
}

void CLauncherWindow::_EndCoreAndMusic(bool wait) {
  PostTo(CoreWindow(), _msg_request_end, 0, 0);
  PostTo(FrameworkWindow(kMusicManualTitle), _msg_request_end, 0, 0);
  PostTo(FrameworkWindow(kMusicSettingTitle), _msg_request_end, 0, 0);
  if (!wait) return;
  // The core and the music settings window write the card; the next one
  // must not start before they are gone.
  for (int i = 0; i < kEndWaitChecks; ++i) {
    if (!CoreWindow() && !FrameworkWindow(kMusicSettingTitle)) return;
    Sleep(kEndWaitStepMs);
  }
}

void CLauncherWindow::_ShowCode(uint32_t code) {
  uint32_t style = MB_OK;
  const std::string text = GetErrorMessage(code, &style, 0);
  lib::wfc::MessageBox(Handle(), text.c_str(), style);
}

void CLauncherWindow::_ClearCachedStrings() {
  _ccid.clear();
  _user_agent.clear();
}

LRESULT CLauncherWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
  if (_notices.OnMessage(message, wparam, lparam, _drive)) return 0;
  // A result counts for the information charge's fifteen minutes; the chain
  // then takes it.
  if (message == _msg_notify_error) _notices.OnChargeResult(static_cast<uint32_t>(wparam));
  if (_chain->OnMessage(message, wparam, lparam)) return 0;
  if (message == _msg_sd_change) {
    _OnSDChange(wparam, lparam);
    return 0;
  }
  if (message == _msg_progress_start || message == _msg_progress_end) {
    if (wparam == kMapPhaseCardCheck) _card_check_running = message == _msg_progress_start;
    return 0;
  }
  if (message == _msg_map_download) {
    _notices.OnMapDownload();
    StartMapDownloadCharges(Handle(), _drive, &StartCore);
    return 0;
  }
  switch (message) {
    case kShellNotifyMessage:
      _OnShellNotify(wparam, lparam);
      return 0;
    case WM_DEVICECHANGE:
      _OnDeviceChange(wparam, lparam);
      return TRUE;
    case kShowCodeMessage:
      _ShowCode(static_cast<uint32_t>(wparam));
      return 0;
    case kMenuCommandMessage:
      _OnMenuCommand(static_cast<int>(wparam), static_cast<int>(lparam));
      return 0;
    case kMenuHoverMessage:
      PostMessageA(kStatusMessage, CLauncherMenuCommands::HintType(wparam, lparam), 0);
      return 0;
    case kUrlResultMessage:
      _commands.OnUrlResult(_MenuContext(), static_cast<uint32_t>(lparam));
      return 0;
    case WM_KEYDOWN:
      // No key closes the launcher.
      return wparam == VK_ESCAPE ? 1 : 0;
    case WM_SIZE:
      if (wparam == SIZE_RESTORED) _notices.OnRestored();
      return mainwin::CMainFrame::WindowProc(message, wparam, lparam);
    default:
      return mainwin::CMainFrame::WindowProc(message, wparam, lparam);
  }
}

void CLauncherWindow::_OnShellNotify(WPARAM wparam, LPARAM lparam) {
  LONG event = 0;
  char path1[CWrapSHChangeNotifyRegister::kPathBufferSize] = {};
  char path2[CWrapSHChangeNotifyRegister::kPathBufferSize] = {};
  const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  const bool read = _shell.OnNotify(&event, path1, path2, wparam, lparam);
  SetErrorMode(old_mode);
  if (!read) return;
  switch (event) {
    case kMediaInserted:
    case kMediaRemoved:
    case kDriveRemoved:
    case kDriveAdded:
    case kDriveAddedGui:
      OV_LOG(kLogInfo, "%s %s", path1, path2);
      _StartDetection();
      break;
    default:
      break;
  }
}

// The system's volume notice stands for the shell's: Wine sends only this
// one, and only when told (OvDeviceChange).
void CLauncherWindow::_OnDeviceChange(WPARAM event, LPARAM record) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
  if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return;
  const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(record);
  OV_LOG(kLogInfo, "WM_DEVICECHANGE %s 0x%08X", event == DBT_DEVICEARRIVAL ? "arrival" : "removal",
         static_cast<unsigned>(volume->dbcv_unitmask));
  _StartDetection();
}

void CLauncherWindow::_ShowSearch(bool searching) {
  auto* search = static_cast<CSkinWindowItemAnimation*>(FindItem(kSDSearchAnime.id));
  if (!search) return;
  if (searching) {
    search->SetVisible(true);
    if (!search->IsRunning()) search->Start();
  } else {
    search->Stop();
    search->SetVisible(false);
  }
}

bool CLauncherWindow::IsSearchShown() {
  const auto* search = static_cast<CSkinWindowItemAnimation*>(FindItem(kSDSearchAnime.id));
  return search && search->IsVisible() && search->IsRunning();
}

void CLauncherWindow::ShowCharging(bool charging) {
  auto* anime = static_cast<CSkinWindowItemAnimation*>(FindItem(kSDChargingAnime.id));
  if (!anime) return;
  if (charging) {
    anime->SetVisible(true);
    if (!anime->IsRunning()) anime->Start();
  } else if (anime->IsRunning() || anime->IsVisible()) {
    anime->Stop();
    anime->SetVisible(false);
  }
  _ShowCardIcons();
}

bool CLauncherWindow::IsChargingShown() {
  const auto* anime = static_cast<CSkinWindowItemAnimation*>(FindItem(kSDChargingAnime.id));
  return anime && anime->IsVisible() && anime->IsRunning();
}

void CLauncherWindow::_StartDetection() {
  if (!_detect_pending) _ShowSearch(true);
  _detect_pending = true;
  _SetStatus();
  SetTimer(kDetectTimer, kDetectPeriodMs);
}

void CLauncherWindow::OnTimer(UINT_PTR id) {
  if (_chain->OnTimer(id)) return;
  if (id == kDetectTimer) {
    KillTimer(kDetectTimer);
    _OnTimerShellNotify();
    return;
  }
  if (_notices.OnTimer(id)) return;
  mainwin::CMainFrame::OnTimer(id);
}

void CLauncherWindow::_OnTimerShellNotify() {
  std::vector<char> cards;
  DWORD error = 0;
  _scan->FindCards(cards, &error);
  // A card being checked by the map charge answers "not ready" for a while;
  // it has not gone.
  if (cards.empty() && _card_check_running && error == ERROR_NOT_READY &&
      _detect_retries < kDetectRetryLimit) {
    ++_detect_retries;
    OV_LOG(kLogInfo, "CLauncherWindow::_OnTimerShellNotify() - SHELL通知時のドライブ準備中");
    SetTimer(kDetectTimer, kDetectPeriodMs);
    return;
  }
  _detect_retries = 0;

  char chosen = 0;
  bool read_only_seen = false;
  for (const char card : cards) {
    if (!_scan->IsWritable(card)) {
      OV_LOG(kLogInfo, "SDカード読取専用 %Cドライブ", card);
      read_only_seen = true;
      chosen = 0;
      continue;
    }
    const LauncherCard info = _scan->ReadCard(card);
    if (info.link_read && !_scan->IsRegistered(info.device_no)) {
      OV_LOG(kLogInfo, "　－ユーザー登録情報なしSDカード挿入");
      lib::wfc::MessageBox(Handle(), kUnregisteredCard, MB_OK | MB_ICONINFORMATION);
      chosen = 0;
      break;
    }
    OV_LOG(kLogInfo, "SD検知");
    if (card == _drive) {
      chosen = card;
      break;
    }
    if (!chosen) chosen = card;
  }

  if (chosen) {
    _ClearCachedStrings();
    const bool current_gone =
        _drive && std::find(cards.begin(), cards.end(), _drive) == cards.end();
    if (current_gone) OV_LOG(kLogInfo, "新SD検知 %C", chosen);
    bool changed = !_drive || current_gone;
    // The first card starts the version check, whose chain starts the
    // charges.
    if (_chain->StartVersionCheck()) changed = false;
    if (chosen != _drive) {
      const LauncherCard info = _scan->ReadCard(chosen);
      if (_model != 0 && info.link_read && info.model != _model) {
        OV_LOG(kLogInfo, "モデル違いSDにより再起動");
        _drive = 0;
        _ShowCardIcons();
        PostMessageA(_msg_sd_change, 0, 0);
        _ShowCode(kCodeOtherModel);
        _restart = true;
        PostMessageA(WM_CLOSE);
        _detect_pending = false;
        _ShowSearch(false);
        return;
      }
      if (_scan->FreeSpace(chosen) < kSmallCardBytes) {
        PostMessageA(kShowCodeMessage, kCodeSmallCard, 0);
      }
      PostMessageA(_msg_sd_change, static_cast<WPARAM>(chosen), changed ? 1 : 0);
    }
  } else {
    OV_LOG(kLogInfo, "SD抜取検知");
    _ClearCachedStrings();
    if (read_only_seen) PostMessageA(kShowCodeMessage, kCodeNoUsableCard, 0);
    PostMessageA(_msg_sd_change, 0, 0);
  }
  _detect_pending = false;
  _ShowSearch(false);
  _ShowCardIcons();
}

void CLauncherWindow::_OnSDChange(WPARAM drive, LPARAM start) {
  // Any process may post this message.
  if (!IsSDChangeDrive(drive)) {
    OV_LOG(kLogError, "SD変更通知不正 0x%08X", static_cast<unsigned>(drive));
    return;
  }
  const char new_drive = static_cast<char>(drive);
  if (new_drive != _drive) {
    OV_LOG(kLogInfo, "SD変更検知 %C -> %C", DriveLetter(static_cast<WPARAM>(_drive)),
           DriveLetter(drive));
    _chain->ResetKinds();
    _ClearCachedStrings();
    _EndCoreAndMusic(true);
    _drive = new_drive;
    if (_drive && start) _chain->StartChargesByVersion();
    _ShowCardIcons();
  }
  _PassSDChangeOn();
}

void CLauncherWindow::_PassSDChangeOn() {
  const WPARAM drive = static_cast<WPARAM>(_drive);
  if (_menu) PostTo(_menu->MenuWindow(), _msg_sd_change, drive, 0);
  PostTo(FrameworkWindow(kProbeTitle), _msg_sd_change, drive, 0);
  PostTo(FrameworkWindow(kMusicManualTitle), _msg_sd_change, drive, 0);
  PostTo(FrameworkWindow(kMusicSettingTitle), _msg_sd_change, drive, 0);
}

void CLauncherWindow::OnCommand(UINT id, UINT code, HWND control) {
  if (id == kCloseButton.id) {
    _ExitCheck();
  } else if (id == kMinimizeButton.id) {
    _CloseMenu();
    ShowWindow(SW_MINIMIZE);
  } else if (id == kMenuButton.id || id == kMenuButtonClose.id) {
    if (_sd_panel_open) _ToggleSDPanel();
    if (!_menu) {
      OV_LOG(kLogInfo, "メニュー未設定");
    } else if (_menu->IsOpen()) {
      _menu->Close();
    } else {
      _PlaceMenu();
      _menu->Open();
    }
    const bool open = _menu && _menu->IsOpen();
    _SetVisible(kMenuButton, !open);
    _SetVisible(kMenuButtonClose, open);
  } else if (id == kSDEjectButton.id) {
    _RequestEject();
  } else if (id == kSDAbortButton.id) {
    _RequestAbort();
  } else {
    mainwin::CMainFrame::OnCommand(id, code, control);
  }
}

void CLauncherWindow::OnLButtonUp(UINT keys, int x, int y) {
  mainwin::CMainFrame::OnLButtonUp(keys, x, y);
  if (GetActiveWindow() != Handle()) return;
  const POINT pt = {x, y};
  for (const SkinItemDescriptor* icon :
       {&kSDEjectableIcon, &kSDAlivalIcon, &kSDUnAlivalIcon, &kSDSearchAnime, &kSDChargingAnime}) {
    const CSkinWindowItem* item = FindItem(icon->id);
    if (!item || !item->IsVisible()) continue;
    const RECT rect = item->Rect();
    if (PtInRect(&rect, pt)) {
      _ToggleSDPanel();
      return;
    }
  }
}

void CLauncherWindow::_ToggleSDPanel() {
  _sd_panel_open = !_sd_panel_open;
  const bool open = _sd_panel_open;
  // While a charge runs the panel offers to abort it, else to eject.
  const bool charging = _chain->IsCharging();
  for (const SkinItemDescriptor* state :
       {&kProbeProgressImage, &kMapProgressImage, &kTidewheelProgressImage, &kWeatherProgressImage,
        &kMusicProgressImage, &kStatusMessageImage}) {
    _SetVisible(*state, !open);
  }
  _SetVisible(kSDEjectButton, open && !charging);
  _SetVisible(kSDEjectTextStatic, open && !charging);
  if (CSkinWindowItem* eject = FindItem(kSDEjectButton.id)) eject->SetEnabled(_drive != 0);
  for (const SkinItemDescriptor* abort :
       {&kSDAbortButton, &kSDAbortTextStatic, &kSDAbortInfoTextStatic}) {
    _SetVisible(*abort, open && charging);
  }
  _ShowCardIcons();
}

// Any window of the launcher's thread but the launcher, or a music-manager
// window, still shows: the card may be in use.
bool CLauncherWindow::_OtherWindowsVisible() {
  OwnedWindowSearch search = {Handle(), false};
  EnumThreadWindows(GetCurrentThreadId(), &FindVisibleOwnedWindow,
                    reinterpret_cast<LPARAM>(&search));
  if (search.found) return true;
  for (const char* title : {kMusicManualTitle, kMusicSettingTitle}) {
    const HWND music = FrameworkWindow(title);
    if (music && IsWindowVisible(music)) return true;
  }
  return false;
}

void CLauncherWindow::_RequestEject() {
  if (!_drive) {
    _ShowCode(kCodeEjectNoCard);
    return;
  }
  if (_OtherWindowsVisible()) {
    _ShowCode(kCodeOtherWindows);
    return;
  }
  const uint32_t busy = BusyKinds();
  if (busy) {
    OV_LOG(kLogInfo, "処理中のSD抜取要求 PROCs:0x%08X", static_cast<unsigned>(busy));
    if (lib::wfc::MessageBox(Handle(), kAskEndTransfer, MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return;
    }
  }
  _ClearCachedStrings();
  _EndCoreAndMusic(true);
  // Fresh traffic information first, when the user wants it: the card goes
  // once that charge has ended (the chain ejects it).
  if (_notices.IsInfoChargeDue(_drive) && _notices.AskInfoCharge()) {
    _chain->ExpectAfterTraffic(CChargeChain::kAfterTrafficEject);
    if (_notices.StartCore(_drive, mapnotice::kTrafficKind)) {
      _ToggleSDPanel();
      return;
    }
    _chain->ExpectAfterTraffic(CChargeChain::kAfterTrafficNone);
  }
  EjectNow();
  _ToggleSDPanel();
}

void CLauncherWindow::EjectNow() {
  if (!_drive) return;
  if (EjectVolume(_drive) == 1) {
    _ShowCode(kCodeEjected);
  } else {
    OV_LOG(kLogError, "SD取り出し失敗 ERR:0x%08X", static_cast<unsigned>(GetLastError()));
    _ShowCode(kCodeEjectFailed);
  }
}

// The close button: offers the traffic information before the program
// ends, then closes once that charge has ended.
void CLauncherWindow::_ExitCheck() {
  if (_chain->AfterTrafficMode() == CChargeChain::kAfterTrafficNone &&
      _notices.IsInfoChargeDue(_drive) && _notices.AskInfoCharge()) {
    if (BusyKinds()) _EndCoreAndMusic(true);
    _chain->ExpectAfterTraffic(CChargeChain::kAfterTrafficClose);
    if (_notices.StartCore(_drive, mapnotice::kTrafficKind)) return;
    // No core, no result to wait for: close now.
    _chain->ExpectAfterTraffic(CChargeChain::kAfterTrafficNone);
  }
  PostMessageA(WM_CLOSE);
}

void CLauncherWindow::_RequestAbort() {
  const uint32_t busy = BusyKinds();
  if (busy) {
    OV_LOG(kLogInfo, "処理中の中断要求 PROCs:0x%08X", static_cast<unsigned>(busy));
    if (lib::wfc::MessageBox(Handle(), kAskEndTransfer, MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return;
    }
  }
  PostTo(CoreWindow(), _msg_request_end, 0, 0);
  _ToggleSDPanel();
  _notices.HideNotice();
}

void CLauncherWindow::OnClose() {
  if (_chain->AfterTrafficMode() != CChargeChain::kAfterTrafficClose && !_ending) {
    const uint32_t busy = BusyKinds();
    if (busy) {
      OV_LOG(kLogInfo, "処理中の終了要求 PROCs:0x%08X", static_cast<unsigned>(busy));
      if (lib::wfc::MessageBox(Handle(), kAskEndClose, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
      }
    }
  }
  _ending = true;
  _EndCoreAndMusic(false);
  _DeleteTemporaryFiles();
  DestroyWindow();
}

void CLauncherWindow::_DeleteTemporaryFiles() {
  const std::string folder = GetTemporaryFolder();
  if (folder.empty()) return;
  WIN32_FIND_DATAA found;
  const CFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!find) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    DeleteFileA((folder + "\\" + found.cFileName).c_str());
  } while (FindNextFileA(find.Get(), &found));
}

bool CLauncherWindow::OnQueryEndSession(LPARAM lparam) {
  OV_LOG(kLogInfo, "WM_QUERYENDSESSION 受信 Option:0x%08X", static_cast<unsigned>(lparam));
  _ending = true;
  const bool result = mainwin::CMainFrame::OnQueryEndSession(lparam);
  OV_LOG(kLogInfo, "WM_QUERYENDSESSION 結果 %d", result ? 1 : 0);
  PostMessageA(WM_CLOSE);
  return result;
}

void CLauncherWindow::OnEndSession(bool ending, LPARAM lparam) {
  OV_LOG(kLogInfo, "WM_ENDSESSION 受信 End:%d Option:%d", ending ? 1 : 0, static_cast<int>(lparam));
  if (ending) {
    _ending = true;
    PostMessageA(WM_CLOSE);
  }
  mainwin::CMainFrame::OnEndSession(ending, lparam);
  if (ending) OV_LOG(kLogInfo, "WM_ENDSESSION 処理終了");
}

bool CLauncherWindow::IsForwardedKey(UINT key, UINT) {
  return mainwin::IsForwardedKeyCombination(mainwin::CurrentModifiers(), key);
}

void CLauncherWindow::OnDestroy() {
  KillTimer(kDetectTimer);
  _chain->OnDestroy();
  _commands.Stop();
  if (_menu) _menu->Close();
  if (_shell_id) {
    _shell.Deregister(_shell_id);
    _shell_id = 0;
  }
  _ending = true;
  mainwin::CMainFrame::OnDestroy();
  if (_quit_on_destroy) PostQuitMessage(0);
}

}  // namespace ui
