// The launcher's charge chain; see ChargeChain.h.
#include "ChargeChain.h"

#include "ChargeKind.h"
#include "ChargeStatus.h"
#include "ConnectionFile.h"
#include "ConnectionParameterData.h"
#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "LauncherWindow.h"
#include "Log.h"
#include "LogUploadWindow.h"
#include "MessageBox.h"
#include "OstrovelleLite/PcLinkFile.h"
#include "OstrovelleLite/UserAgent.h"
#include "OstrovelleLite/UserListFile.h"
#include "ProgramStart.h"
#include "SkinException.h"
#include "SkinWindowItemDigitImage.h"
#include "SkinWindowItemStatic.h"
#include "UpdateNotifyWindow.h"

namespace ui {

namespace {

constexpr UINT kStateTickMs = 500;
constexpr UINT kDotsTickMs = 1000;
constexpr UINT kAfterTrafficCloseMs = 1000;
constexpr int kDotSteps = 4;

constexpr uint32_t kVersionTransferError = 0x100000;
constexpr uint32_t kVersionServerError = 0x200000;
constexpr uint32_t kServerCodeNoUnit = 5;
constexpr uint32_t kCodeNoUnitOnServer = 0xFF00DD01;

// The customer-registration page.
constexpr int kRegistrationConnection = 3;
constexpr int kRegistrationFunctionCode = 100;

const SkinItemDescriptor* const kStateItems[charge::kKindCount] = {
    &CLauncherWindow::kProbeProgressImage, &CLauncherWindow::kMapProgressImage,
    &CLauncherWindow::kTidewheelProgressImage, &CLauncherWindow::kWeatherProgressImage,
    &CLauncherWindow::kMusicProgressImage};

// The unit's data for the servers: from the card's link file, else from the
// last user of the user list.
struct UnitData {
  std::string device_no;
  uint32_t ccid = 0;
  std::string user_agent;
  std::string nickname;
};

UnitData CardUnit(char drive) {
  UnitData unit;
  if (drive) {
    const CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
    if (link.IsLoaded()) {
      unit.device_no = link.GetDeviceNo();
      unit.ccid = link.GetCcidHead();
    }
    unit.user_agent = GetUserAgent(drive).GetUserAgentA();
    CUserListFile users;
    if (!unit.device_no.empty() && users.Load()) {
      users.GetUser(unit.device_no, &unit.nickname, nullptr, nullptr);
    }
    return unit;
  }
  CUserListFile users;
  int value = 0;
  if (!users.Load() || !users.GetLastUser(&unit.device_no, &unit.ccid, &unit.user_agent, &value)) {
    OV_LOG(kLogError, "CLauncherWindow::OnLogUpLoadStart - ログアップロード用情報取得失敗");
    return UnitData();
  }
  users.GetLastUser(nullptr, &unit.nickname);
  return unit;
}

void OpenRegistrationPage(char drive) {
  const UnitData unit = CardUnit(drive);
  ConnectionParameterData parameters;
  parameters.SetUserAgentParameters(unit.user_agent.c_str(), unit.nickname.c_str(),
                                    kRegistrationFunctionCode);
  parameters.SetDeviceParameters(unit.device_no.c_str(), unit.ccid);
  CConnectionFile connections;
  const std::string page = connections.BuildRequestUrl(kRegistrationConnection, &parameters);
  if (page.empty() || !OpenDefaultBrowser(page.c_str())) {
    OV_LOG(kLogError, "お客様登録ページ表示失敗");
  }
}

}  // namespace

CChargeChain::CChargeChain(CLauncherWindow* launcher)
    : _launcher(launcher),
      _start(&StartCore),
      _msg_log_upload(RegisterOvMessage(kRequestLogUpLoad)),
      _msg_version_check(RegisterOvMessage(kRequestVersionCheck)),
      _msg_auto_update(RegisterOvMessage(kRequestAutoUpdate)),
      _msg_start_charge(RegisterOvMessage(kRequestStartCharge)),
      _msg_progress(RegisterOvMessage(kMsgNotifyProgress)),
      _msg_error(RegisterOvMessage(kMsgNotifyError)),
      _msg_phase_start(RegisterOvMessage(kMsgMapProgressStart)),
      _msg_phase_end(RegisterOvMessage(kMsgMapProgressEnd)),
      _msg_map_progress(RegisterOvMessage(kMsgMapProgress)),
      _msg_sd_change(RegisterOvMessage(kMsgSDChange)) {}

CChargeChain::~CChargeChain() = default;

void CChargeChain::SetCoreStarter(CoreStarter start) { _start = start ? start : &StartCore; }

void CChargeChain::SetCancelEvents(const char* log_upload, const char* inquiry) {
  _log_upload_event = log_upload;
  _inquiry_event = inquiry;
}

void CChargeChain::Start() {
  _launcher->SetTimer(kStateTimer, kStateTickMs);
  _launcher->SetTimer(kDotsTimer, kDotsTickMs);
  _launcher->PostMessageA(_msg_log_upload, 0, 0);
}

void CChargeChain::OnDestroy() {
  for (const UINT_PTR id :
       {kStateTimer, kDotsTimer, kModeTimer, kCountdownTimer, kAfterTrafficCloseTimer}) {
    _launcher->KillTimer(id);
  }
  // The windows belong to the launcher's thread and go with it.
  _log_upload.reset();
  _update.reset();
}

bool CChargeChain::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == _msg_progress) {
    _OnProgress(static_cast<uint32_t>(wparam), static_cast<uint32_t>(lparam));
  } else if (message == _msg_error) {
    _OnResult(static_cast<uint32_t>(wparam), static_cast<uint32_t>(lparam));
  } else if (message == _msg_map_progress) {
    _OnMapProgress(wparam, lparam);
  } else if (message == _msg_phase_start) {
    _OnPhaseStart(wparam);
    return false;  // the launcher follows the card check too
  } else if (message == _msg_phase_end) {
    _OnPhaseEnd(wparam);
    return false;
  } else if (message == _msg_log_upload) {
    _OnLogUpload();
  } else if (message == _msg_version_check) {
    _OnVersionCheck();
  } else if (message == _msg_auto_update) {
    _OnAutoUpdate();
  } else if (message == _msg_start_charge) {
    _OnStartCharge();
  } else if (message == kStatusMessage) {
    _OnStatus(static_cast<int>(wparam));
  } else if (message == kLogUploadDoneMessage) {
    _OnLogUploadDone(wparam, lparam);
  } else if (message == kServerCheckedMessage) {
    _OnServerChecked();
  } else if (message == kAutoUpdateDoneMessage) {
    _OnAutoUpdateDone();
  } else {
    return false;
  }
  return true;
}

bool CChargeChain::OnTimer(UINT_PTR id) {
  switch (id) {
    case kStateTimer:
      _OnStateTick();
      return true;
    case kDotsTimer:
      _dots = (_dots + 1) % kDotSteps;
      if (mapprogress::DotsRefreshLine(_record)) RefreshStatusLine();
      return true;
    case kModeTimer:
      _launcher->SetTimer(kModeTimer, mapprogress::StepDisplayMode(&_record));
      RefreshStatusLine();
      return true;
    case kCountdownTimer:
      if (mapprogress::CountDown(&_record)) RefreshStatusLine();
      return true;
    case kAfterTrafficCloseTimer:
      _launcher->KillTimer(kAfterTrafficCloseTimer);
      _launcher->PostMessageA(WM_CLOSE);
      return true;
    default:
      return false;
  }
}

// ---- The chain.

void CChargeChain::_OnLogUpload() {
  OV_LOG(kLogInfo, "ログアップロード開始");
  const char drive = _launcher->CurrentDrive();
  const UnitData unit = CardUnit(drive);
  bool opened = false;
  if (!unit.device_no.empty() && unit.ccid != 0 && !unit.user_agent.empty()) {
    try {
      _log_upload = _log_upload_event ? std::make_unique<CLogUploadWindow>(_log_upload_event)
                                      : std::make_unique<CLogUploadWindow>();
      opened =
          _log_upload->SetLogUploadInfo(unit.ccid, unit.user_agent.c_str(), unit.device_no.c_str());
      if (opened) _log_upload->Create(_launcher->Handle());
    } catch (const CSkinWindowException& e) {
      OV_LOG(kLogError, "ログアップロード画面失敗 %s", e.what());
      opened = false;
    }
    if (!opened) _log_upload.reset();
  } else {
    OV_LOG(kLogInfo,
           "CLauncherWindow::OnLogUpLoadStart - ログアップロード用情報不足のためSKIP　DeviceNo:%s "
           "ID:%X UserAgent:%s",
           unit.device_no.c_str(), static_cast<unsigned>(unit.ccid), unit.user_agent.c_str());
  }
  // Without its window the chain goes on as if the user had said no.
  if (!opened) _launcher->PostMessageA(kLogUploadDoneMessage, 0, 0);
  _SetCurrentType(charge::kStatusServerCheck);
}

void CChargeChain::_OnLogUploadDone(WPARAM code, LPARAM error) {
  OV_LOG(kLogInfo, "ログアップロード終了通知 MSG:0x%08X ERR:0x%08X", static_cast<unsigned>(code),
         static_cast<unsigned>(error));
  _launcher->PostMessageA(_msg_version_check, 0, 0);
}

void CChargeChain::_OnVersionCheck() {
  OV_LOG(kLogInfo, "バージョンチェック開始");
  if (StartVersionCheck()) _SetCurrentType(charge::kStatusServerCheck);
}

bool CChargeChain::StartVersionCheck() {
  if (_update || _launcher->IsEnding()) return false;
  const char drive = _launcher->CurrentDrive();
  try {
    _update = _inquiry_event ? std::make_unique<CUpdateNotifyWindow>(_launcher->Handle(), drive,
                                                                     _inquiry_event)
                             : std::make_unique<CUpdateNotifyWindow>(_launcher->Handle(), drive);
    _update->Create(_launcher->Handle());
  } catch (const CSkinWindowException& e) {
    // Without the window no report would come: the chain goes on with a
    // failed check, which allows the music charge only.
    OV_LOG(kLogError, "バージョンチェック画面失敗 %s", e.what());
    _update.reset();
    _launcher->PostMessageA(kAutoUpdateDoneMessage, 0, 0);
  }
  return true;
}

void CChargeChain::_OnServerChecked() {
  OV_LOG(kLogInfo, "自動アップデートサーバーチェック終了通知");
  _server_checked = true;
  _launcher->PostMessageA(_msg_auto_update, 0, 0);
}

void CChargeChain::_OnAutoUpdate() {
  OV_LOG(kLogInfo, "自動アップデート開始");
  _SetCurrentType(charge::kStatusNone);
  ILauncherMenu* menu = _launcher->Menu();
  if (!menu) return;
  if (VersionResult() != update::kNewer) menu->Enable(true);
  if (const HWND window = menu->MenuWindow()) {
    ::PostMessageA(window, _msg_sd_change, static_cast<WPARAM>(_launcher->CurrentDrive()), 0);
  }
}

void CChargeChain::_OnAutoUpdateDone() {
  OV_LOG(kLogInfo, "自動アップデート終了通知");
  const uint32_t result = VersionResult();
  if (result & kVersionTransferError) {
    OV_LOG(kLogError, "サーバー通信エラー");
  } else if (result & kVersionServerError) {
    OV_LOG(kLogError, "サーバーレスポンスコードエラー 0x%08X", static_cast<unsigned>(result));
    if ((result & 0xFFFF) == kServerCodeNoUnit) {
      uint32_t style = MB_OK;
      const std::string text = GetErrorMessage(kCodeNoUnitOnServer, &style, 0);
      if (!text.empty()) lib::wfc::MessageBox(_launcher->Handle(), text.c_str(), style);
    }
  }
  // No inquiry was due: the window closed without the server check's
  // report, and the automatic-update step (the menu) has not run yet.
  if (!_server_checked) {
    _server_checked = true;
    _OnAutoUpdate();
  }
  _launcher->PostMessageA(_msg_start_charge, 0, 0);
}

void CChargeChain::_OnStartCharge() {
  OV_LOG(kLogInfo, "データ更新開始");
  _SetCurrentType(charge::kStatusNone);
  StartChargesByVersion();
}

uint32_t CChargeChain::VersionResult() const { return _update ? _update->Result() : 0; }

void CChargeChain::StartChargesByVersion() {
  const uint32_t result = VersionResult();
  uint32_t kinds = CHARGE_KIND_MUSIC;
  if (result == update::kUpToDate) {
    _launcher->Notices().CancelRefresh();
    kinds = CHARGE_KIND_ALL;
  } else if (result == update::kNewer) {
    OV_LOG(kLogInfo, "バージョンアップ確認未達成のためチャージ無し RET:0x%08X",
           static_cast<unsigned>(result));
    return;
  } else {
    OV_LOG(kLogInfo, "バージョンアップ確認接続エラーのため、音楽転送のみ RET:0x%08X",
           static_cast<unsigned>(result));
  }
  // The core needs a drive: without one it would have nowhere to charge.
  if (!_launcher->CurrentDrive()) {
    OV_LOG(kLogInfo, "自動アップデート終了通知時のSDカード無し(チャージ実行無し)");
    return;
  }
  _Start(kinds);
}

bool CChargeChain::_Start(uint32_t kinds) {
  const bool started = _start(_launcher->Handle(), _launcher->CurrentDrive(), kinds);
  if (!started) {
    OV_LOG(kLogError, "Core起動失敗 KIND:0x%02X ERR:0x%08X", static_cast<unsigned>(kinds),
           static_cast<unsigned>(GetLastError()));
  }
  return started;
}

void CChargeChain::StartAfterTraffic(int mode) {
  _after_traffic = mode;
  if (_launcher->CurrentDrive() && _Start(CHARGE_KIND_TIDEWHEEL)) return;
  // No traffic charge will report: the eject or close is due now.
  _AfterTraffic();
}

void CChargeChain::_AfterTraffic() {
  const int mode = _after_traffic;
  if (mode == kAfterTrafficEject) {
    _after_traffic = kAfterTrafficNone;
    _launcher->EjectNow();
  } else if (mode == kAfterTrafficClose) {
    // The mode stays: the close asks nothing.
    _launcher->SetTimer(kAfterTrafficCloseTimer, kAfterTrafficCloseMs);
  }
}

// ---- The core's reports.

void CChargeChain::_OnProgress(uint32_t percent, uint32_t kind) {
  _launcher->ShowCharging(true);
  _charging = true;
  _running_kind = kind;
  _running_percent = percent;
  const int type = charge::RunningStatusType(kind);
  _current_type = type;
  _kind_types[kind] = type;
}

void CChargeChain::_OnResult(uint32_t word, uint32_t platform_error) {
  OV_LOG(kLogInfo, "転送完了通知 CHG:%x ERC:0x%08X WinERC:0x%08X",
         static_cast<unsigned>(word >> 24), static_cast<unsigned>(word),
         static_cast<unsigned>(platform_error));
  _StopCharging();
  if (word < 0x1000000) return;
  const uint32_t kind = word >> 24;
  const charge::ResultOutcome outcome = charge::OutcomeOf(word);
  if (outcome.slot >= 0) {
    _SetState(outcome.slot, outcome.frame);
    _kind_types[kind] = outcome.status_type;
  }
  _current_type = charge::kStatusNone;
  if (kind == CHARGE_KIND_TIDEWHEEL) _AfterTraffic();
  int answer = 0;
  if (outcome.shows_box) {
    uint32_t style = MB_OK;
    const std::string text = GetErrorMessage(word, &style, platform_error);
    if (!text.empty()) answer = lib::wfc::MessageBox(_launcher->Handle(), text.c_str(), style);
  }
  if (outcome.removes_user) _RemoveCardUser();
  if (outcome.offers_registration && answer == IDYES) {
    OpenRegistrationPage(_launcher->CurrentDrive());
  }
}

void CChargeChain::_RemoveCardUser() {
  const char drive = _launcher->CurrentDrive();
  if (!drive) return;
  const CPcLinkFile link(CPcLinkFile::kLinkFile, drive);
  if (!link.IsLoaded()) return;
  const std::string device_no = link.GetDeviceNo();
  CUserListFile users;
  if (!users.Load() || !users.DeleteUser(device_no)) {
    OV_LOG(kLogError, "ユーザーリスト削除失敗 %s", device_no.c_str());
    return;
  }
  OV_LOG(kLogInfo, "ユーザーリスト削除 %s", device_no.c_str());
}

void CChargeChain::_StopCharging() {
  _charging = false;
  _running_kind = 0;
  _running_percent = 0;
  _launcher->ShowCharging(false);
}

void CChargeChain::ResetKinds() {
  for (int slot = 0; slot < charge::kKindCount; ++slot) _SetState(slot, charge::kFrameIdle);
  _kind_types.clear();
  // The core is ended for the card change: a charge it never reported the
  // end of is not running any more.
  _StopCharging();
}

int CChargeChain::KindType(uint32_t kind) const {
  const auto found = _kind_types.find(kind);
  return found == _kind_types.end() ? 0 : found->second;
}

void CChargeChain::_OnStateTick() {
  const int slot = charge::KindSlot(_running_kind);
  if (slot < 0) return;
  _SetState(slot, charge::RunningFrame(_running_percent, _StateFrame(slot)));
}

void CChargeChain::_SetState(int slot, int frame) {
  auto* item = static_cast<CSkinWindowItemDigitImage*>(_launcher->FindItem(kStateItems[slot]->id));
  if (item) item->SetValue(static_cast<DWORD>(frame));
}

int CChargeChain::_StateFrame(int slot) const {
  const auto* item =
      static_cast<const CSkinWindowItemDigitImage*>(_launcher->FindItem(kStateItems[slot]->id));
  return item ? static_cast<int>(item->Value()) : 0;
}

// ---- The status line.

void CChargeChain::_SetCurrentType(int type) {
  _current_type = type;
  RefreshStatusLine();
}

void CChargeChain::RefreshStatusLine() {
  if (_shown_type < charge::kFirstHintType) {
    _launcher->PostMessageA(kStatusMessage, static_cast<WPARAM>(_current_type), 0);
  }
}

void CChargeChain::_OnStatus(int type) {
  // A hint that leaves the line gives it back to what is running.
  if (type == charge::kStatusNone) type = _current_type;
  _shown_type = type;
  std::string text;
  if (type == 2) {
    text = mapprogress::MapLine(_record, _dots);
  } else if (charge::IsRunningType(type)) {
    text = charge::StatusTypeText(type) + charge::DotCells(_dots);
  } else if (type == charge::kStatusNone) {
    text = _launcher->CardStatusText();
  } else {
    text = charge::StatusTypeText(type);
  }
  auto* line = static_cast<CSkinWindowItemStatic*>(
      _launcher->FindItem(CLauncherWindow::kStatusMessageImage.id));
  if (line) line->SetText(text);
}

// ---- The map charge's progress.

void CChargeChain::_StartMapTimers() {
  _launcher->SetTimer(kModeTimer, mapprogress::kFirstStepMs);
  _launcher->SetTimer(kCountdownTimer, mapprogress::kCountdownMs);
}

void CChargeChain::_StopMapTimers() {
  _launcher->KillTimer(kModeTimer);
  _launcher->KillTimer(kCountdownTimer);
}

void CChargeChain::_OnPhaseStart(WPARAM phase) {
  mapprogress::Zero(&_record);
  mapprogress::Block block;
  if (phase == mapprogress::kStartDownload) {
    _record.phase = mapprogress::kPhaseDownload;
    const DWORD error = mapprogress::ReadBlock(kMapChargeDLProgress, &block);
    if (error == 0) {
      mapprogress::ApplyDownloadStart(&_record, block);
    } else {
      OV_LOG(kLogError, "CLauncherWindow::OnMapChargeStart - DL用共有メモリオープン失敗 Err=0x%08X",
             static_cast<unsigned>(error));
    }
  } else if (phase == mapprogress::kStartTransfer) {
    _record.phase = mapprogress::kPhaseTransfer;
    const DWORD error = mapprogress::ReadBlock(kMapChargeTRProgress, &block);
    if (error == 0) {
      mapprogress::ApplyTransferStart(&_record, block);
    } else {
      OV_LOG(kLogError, "CLauncherWindow::OnMapChargeStart - TR用共有メモリオープン失敗 Err=0x%08X",
             static_cast<unsigned>(error));
    }
  } else if (phase == mapprogress::kStartCardCheck) {
    _record.phase = mapprogress::kPhaseCardCheck;
    OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeStart - CHKDSK開始");
    return;
  } else {
    return;
  }
  _record.mode = mapprogress::kModePhase;
  RefreshStatusLine();
  _StartMapTimers();
}

void CChargeChain::_OnMapProgress(WPARAM which, LPARAM detail) {
  if (which == mapprogress::kBlockTransfer && detail == mapprogress::kDetailCheckBegins) {
    _record.phase = mapprogress::kPhaseChecking;
    RefreshStatusLine();
    _StopMapTimers();
    return;
  }
  if (which == mapprogress::kBlockTransfer && detail == mapprogress::kDetailTransferResumes) {
    _StartMapTimers();
    _record.phase = mapprogress::kPhaseTransfer;
    return;
  }
  if (which != mapprogress::kBlockDownload && which != mapprogress::kBlockTransfer) return;
  const bool download = which == mapprogress::kBlockDownload;
  _record.phase = download ? mapprogress::kPhaseDownload : mapprogress::kPhaseTransfer;
  mapprogress::Block block;
  const DWORD error =
      mapprogress::ReadBlock(download ? kMapChargeDLProgress : kMapChargeTRProgress, &block);
  if (error != 0) {
    OV_LOG(kLogError,
           "CLauncherWindow::OnMapChargeProgress - 共有メモリオープン失敗 : Type=%d Err=0x%08X",
           static_cast<int>(which), static_cast<unsigned>(error));
    return;
  }
  mapprogress::ApplyProgress(&_record, block);
}

void CChargeChain::_OnPhaseEnd(WPARAM phase) {
  if (phase == mapprogress::kStartCardCheck) {
    mapprogress::Zero(&_record);
    OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - CHKDSK終了");
    return;
  }
  _StopMapTimers();
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ処理種別 = %d ",
         static_cast<int>(phase));
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ全体サイズ = %lld ",
         static_cast<long long>(_record.total));
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ累計サイズ = %lld ",
         static_cast<long long>(_record.processed));
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ予測時間 = %lld ",
         static_cast<long long>(_record.remaining));
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ進捗率 = %5.1f ",
         _record.percent);
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ現在処理サイズ = %lld ",
         static_cast<long long>(_record.step));
  OV_LOG(kLogInfo, "CLauncherWindow::OnMapChargeEnd - マップチャージ回線速度 = %d ",
         static_cast<int>(_record.speed));
  mapprogress::Zero(&_record);
}

}  // namespace ui
