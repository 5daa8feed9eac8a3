// The launcher's questions; see LauncherNotices.h.
#include "LauncherNotices.h"

#include "CoreMessages.h"
#include "ErrorMessage.h"
#include "InfoChargeWindow.h"
#include "Log.h"
#include "MessageBox.h"
#include "OstrovelleLite/OstrovelleConfig.h"
#include "Placement.h"
#include "ProgramStart.h"
#include "SkinException.h"

namespace mapnotice {

namespace {

// Fifteen minutes in FILETIME units (100 ns).
constexpr ULONGLONG kInfoChargeGap = 15ull * 60ull * 10000000ull;
constexpr uint32_t kCodeMask = 0x00FFFFFF;
constexpr uint32_t kTrafficDone = 0;
constexpr uint32_t kTrafficDoneNothingLeft = 267;

bool ToFileTime(const SYSTEMTIME& time, ULONGLONG* out) {
  FILETIME file_time;
  if (!SystemTimeToFileTime(&time, &file_time)) return false;
  *out = (static_cast<ULONGLONG>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
  return true;
}

}  // namespace

bool IsInfoChargeDue(const SYSTEMTIME& last_traffic, const SYSTEMTIME& now) {
  ULONGLONG last = 0;
  ULONGLONG current = 0;
  return last_traffic.wYear != 0 && ToFileTime(last_traffic, &last) && ToFileTime(now, &current) &&
         current > last + kInfoChargeGap;
}

bool IsTrafficSuccess(uint32_t word) {
  const uint32_t code = word & kCodeMask;
  return (word >> 24) == kTrafficKind && (code == kTrafficDone || code == kTrafficDoneNothingLeft);
}

}  // namespace mapnotice

namespace {

SYSTEMTIME LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

unsigned U(uint32_t value) { return static_cast<unsigned>(value); }

}  // namespace

CLauncherNotices::CLauncherNotices()
    : _msg_map_license(RegisterOvMessage(kMsgMapLicense)),
      _msg_map_verify(RegisterOvMessage(kMsgMapVerify)),
      _msg_no_send_probe(RegisterOvMessage(kMsgNoSendProbe)),
      _start(&::StartCore),
      _clock(&LocalNow),
      _ask(&ui::CInfoChargeWindow::Ask) {}

CLauncherNotices::~CLauncherNotices() = default;

void CLauncherNotices::SetCoreStarter(CoreStarter start) { _start = start ? start : &::StartCore; }
void CLauncherNotices::SetClock(Clock clock) { _clock = clock ? clock : &LocalNow; }
void CLauncherNotices::SetAsker(Asker ask) { _ask = ask ? ask : &ui::CInfoChargeWindow::Ask; }

bool CLauncherNotices::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, char drive) {
  if (message == _msg_map_license) {
    OnMapLicense(static_cast<uint32_t>(wparam), static_cast<uint32_t>(lparam), drive);
  } else if (message == _msg_map_verify) {
    OV_LOG(kLogInfo, "マップベリファイ要求");
    BringLauncherToFront();
    ShowScreen(mapnotice::kScreenVerify, 0);
  } else if (message == _msg_no_send_probe) {
    OV_LOG(kLogInfo, "未送信プローブ通知");
    BringLauncherToFront();
    ShowScreen(mapnotice::kScreenProbe, 0);
  } else if (message == mapnotice::kAnswerMessage) {
    OnAnswer(static_cast<uint32_t>(wparam), lparam, drive);
  } else {
    return false;
  }
  return true;
}

bool CLauncherNotices::EnsureWindow() {
  if (_window) return true;
  auto window = std::make_unique<ui::CMapChargeWindow>(_launcher);
  try {
    window->Create();
  } catch (const ui::CSkinWindowException& e) {
    OV_LOG(kLogError, "マップチャージ画面生成失敗 %s", e.what());
    return false;
  }
  if (!window->Handle()) {
    OV_LOG(kLogError, "マップチャージ画面生成失敗 ERR:0x%08X", U(GetLastError()));
    return false;
  }
  _window = std::move(window);
  _window->SetUnitModel(_model);
  return true;
}

void CLauncherNotices::BringLauncherToFront() {
  if (!_launcher) return;
  SendMessageA(_launcher, WM_SYSCOMMAND, SC_RESTORE, 0);
  lib::wfc::ForceForegroundWindow(_launcher);
}

void CLauncherNotices::PostAnswer(uint32_t type, bool yes) {
  if (_launcher) {
    PostMessageA(_launcher, mapnotice::kAnswerMessage, type, mapnotice::AnswerParam(yes, false));
  }
}

void CLauncherNotices::OnMapLicense(uint32_t type, uint32_t data, char) {
  OV_LOG(kLogInfo, "マップチャージ要求 0x%08X", U(type));
  if (type == mapnotice::kRequestReminder) {
    COstrovelleConfig config;
    if (config.LoadMap() && config.GetMapNotifyMessage() == 0) {
      OV_LOG(kLogInfo, "地図更新リマインド通知 今後表示しないため、即応答");
      PostAnswer(mapnotice::kAnswerReminder, false);
      return;
    }
  }
  if (type == mapnotice::kRequestCardTooSmall) {
    // Yes lets the core erase the card: only the user's yes may say so.
    uint32_t style = MB_YESNO | MB_ICONQUESTION;
    const std::string text = GetErrorMessage(mapnotice::kCardTooSmallCode, &style, 0);
    BringLauncherToFront();
    const bool yes = lib::wfc::MessageBox(_launcher, text.c_str(), style) == IDYES;
    PostAnswer(mapnotice::kAnswerCardTooSmall, yes);
    return;
  }
  const int screen = mapnotice::ScreenOfRequest(type);
  if (screen == mapnotice::kScreenNone) {
    OV_LOG(kLogError, "未定義のマップチャージ要求 0x%08X", U(type));
    return;
  }
  BringLauncherToFront();
  ShowScreen(screen, data);
}

void CLauncherNotices::ShowScreen(int screen, uint32_t data) {
  if (!EnsureWindow()) {
    // Without the drawer the core would wait for an answer nobody can give.
    PostAnswer(mapnotice::AnswerTypeOfScreen(screen), false);
    return;
  }
  if (_window->SetUpScreen(screen, data)) _window->Show();
}

void CLauncherNotices::OnAnswer(uint32_t type, LPARAM answer, char drive) {
  const bool yes = mapnotice::AnswerIsYes(answer);
  const bool check_box = mapnotice::AnswerCheckBox(answer);
  OV_LOG(kLogInfo, "マップチャージ画面終了通知 TYPE:%d RESULT:%s %s", static_cast<int>(type),
         yes ? "OK" : "CANCEL", check_box ? "今後表示しない" : " ");
  switch (type) {
    case mapnotice::kAnswerReminder:
      if (check_box) {
        COstrovelleConfig config;
        if (!config.SaveMapNotifyMessage(0)) OV_LOG(kLogError, "ランチャー設定ファイル更新失敗");
      }
      if (!yes && _launcher) {
        // Declined: the user is asked again in five minutes whether to
        // refresh everything.
        _refresh_armed =
            SetTimer(_launcher, mapnotice::kRefreshTimer, mapnotice::kRefreshDelayMs, nullptr) != 0;
      }
      mapnotice::SetAnswerEvent(mapnotice::AnswerEventName(type, yes));
      break;
    case mapnotice::kAnswerDownload:
    case mapnotice::kAnswerVerify:
    case mapnotice::kAnswerProbe:
    case mapnotice::kAnswerCardTooSmall:
      mapnotice::SetAnswerEvent(mapnotice::AnswerEventName(type, yes));
      break;
    case mapnotice::kAnswerRefresh:
      // The card may have left while the question waited.
      if (yes && drive == 0) {
        OV_LOG(kLogError, "最新情報更新要求時のSDカード無し(チャージ実行無し)");
      } else if (yes) {
        StartCore(drive, kMapDownloadKinds);
      }
      break;
    default:
      OV_LOG(kLogError, "未定義のマップチャージ画面終了通知 0x%08X", U(type));
      break;
  }
}

bool CLauncherNotices::OnTimer(UINT_PTR id) {
  if (id != mapnotice::kRefreshTimer) return false;
  if (_launcher) {
    KillTimer(_launcher, mapnotice::kRefreshTimer);
    PostMessageA(_launcher, _msg_map_license, mapnotice::kRequestRefresh, 0);
  }
  _refresh_armed = false;
  return true;
}

void CLauncherNotices::CancelRefresh() {
  if (_launcher) KillTimer(_launcher, mapnotice::kRefreshTimer);
  _refresh_armed = false;
}

void CLauncherNotices::OnMapDownload() {
  CancelRefresh();
  if (_window && _window->Screen() == mapnotice::kScreenRefresh && _window->IsShowing()) {
    _window->Hide();
  }
}

void CLauncherNotices::OnRestored() {
  // Showing restores the launcher, which lands here again.
  if (_reshowing || !_window || !_window->IsShowing()) return;
  _reshowing = true;
  _window->Show();
  _reshowing = false;
}

void CLauncherNotices::HideNotice() {
  if (_window && _window->IsShowing()) _window->Hide();
}

void CLauncherNotices::OnChargeResult(uint32_t word) {
  if (mapnotice::IsTrafficSuccess(word)) _last_traffic = _clock();
}

bool CLauncherNotices::IsInfoChargeDue(char drive) const {
  if (drive == 0) return false;
  COstrovelleConfig config;
  if (config.LoadTransmitExe3() && config.GetTransmitExe(3) == 0) return false;
  const bool due = mapnotice::IsInfoChargeDue(_last_traffic, _clock());
  if (due) OV_LOG(kLogInfo, "インフォチャージ確認 前回取得から15分経過");
  return due;
}

bool CLauncherNotices::AskInfoCharge() { return _ask(_launcher); }

bool CLauncherNotices::StartCore(char drive, uint32_t kinds) {
  const bool started = _start(_launcher, drive, kinds);
  if (!started) OV_LOG(kLogError, "Core起動失敗 KIND:0x%08X", U(kinds));
  return started;
}
