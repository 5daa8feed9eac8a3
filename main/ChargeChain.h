// CChargeChain: what the launcher does between its start and the charges,
// and what it shows of them. The chain runs once per launcher start: log
// upload (CLogUploadWindow, 0xB98) -> version check (CUpdateNotifyWindow,
// 0xB78) -> automatic update (0xB77) -> charge start, the core started with
// the kinds the version check allows. The chain also keeps each kind's state
// image and status type from the core's progress and result reports (and
// the launcher's charging animation running between them), the
// status line (0x739) with its dots, and the map charge's phase, percent,
// time left and speed read from the core's progress blocks.
//
// The launcher owns one chain and hands it every message and timer first
// (OnMessage, OnTimer). Main thread of the launcher.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "MapDownloadRequest.h"
#include "MapProgress.h"
#include "OvWindows.h"

namespace ui {

class CLauncherWindow;
class CLogUploadWindow;
class CUpdateNotifyWindow;

class CChargeChain final {
 public:
  // Private messages of the launcher that the chain handles.
  static constexpr UINT kStatusMessage = 0x739;          // status type, 0
  static constexpr UINT kAutoUpdateDoneMessage = 0xB77;  // from the update window
  static constexpr UINT kServerCheckedMessage = 0xB78;   // from the update window
  static constexpr UINT kLogUploadDoneMessage = 0xB98;   // message code, error
  // The launcher's registered requests to its own window: each starts one
  // step of the chain (the charge start also comes from the menu).
  static constexpr const char kRequestLogUpLoad[] = "OVEVRequestLogUpLoad";
  static constexpr const char kRequestVersionCheck[] = "OVEVRequestVersionCheck";
  static constexpr const char kRequestAutoUpdate[] = "OVEVRequestAutoUpdate";
  static constexpr const char kRequestStartCharge[] = "OVEVRequestStartCharge";
  // Timers.
  static constexpr UINT_PTR kStateTimer = 0x1234;  // running state image, 500 ms
  static constexpr UINT_PTR kDotsTimer = 0x1235;   // dot counter, 1000 ms
  static constexpr UINT_PTR kModeTimer = 0x1238;   // display-mode step
  static constexpr UINT_PTR kCountdownTimer = 0x1239;
  static constexpr UINT_PTR kAfterTrafficCloseTimer = 0x123A;  // one shot, 1000 ms

  // After-traffic modes: what a finished traffic charge does.
  static constexpr int kAfterTrafficNone = 0;
  static constexpr int kAfterTrafficEject = 1;
  static constexpr int kAfterTrafficClose = 2;

  explicit CChargeChain(CLauncherWindow* launcher);
  ~CChargeChain();
  CChargeChain(const CChargeChain&) = delete;
  CChargeChain& operator=(const CChargeChain&) = delete;

  // Replaces the core's start (tests); null: the installed core.
  void SetCoreStarter(CoreStarter start);
  // Cancel events of the two windows (tests give their own); null: the
  // product's.
  void SetCancelEvents(const char* log_upload, const char* inquiry);

  // Once the window exists: starts the two display timers and posts the
  // chain's first step.
  void Start();
  // The launcher's message; true when it was the chain's alone (the launcher
  // returns 0). Phase starts and ends are also left to the launcher.
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  bool OnTimer(UINT_PTR id);
  // The window goes: timers stop, the chain's windows close.
  void OnDestroy();

  // Creates the update window for the current card when there is none yet
  // (a card found for the first time); true when it was created now.
  bool StartVersionCheck();
  // Starts the core for the current card with the kinds the version check
  // allows (the card change's start and the refresh).
  void StartChargesByVersion();
  // The exit or eject request's traffic charge: the mode is kept until the
  // charge reports. When the core cannot be started the mode is dropped and
  // the eject or close follows at once.
  void StartAfterTraffic(int mode);
  int AfterTrafficMode() const { return _after_traffic; }
  // What the end of a traffic charge started elsewhere (the information
  // charge's question) is to do; kAfterTrafficNone forgets it.
  void ExpectAfterTraffic(int mode) { _after_traffic = mode; }
  // The card changed: every state image idle, the kinds' types forgotten,
  // no charge running.
  void ResetKinds();

  // 1 newer, 2 up to date (or no inquiry due), else a failure; 0 before the
  // update window exists.
  uint32_t VersionResult() const;
  CUpdateNotifyWindow* UpdateWindow() const { return _update.get(); }
  CLogUploadWindow* LogUploadWindow() const { return _log_upload.get(); }
  int CurrentType() const { return _current_type; }
  int ShownType() const { return _shown_type; }
  int Dots() const { return _dots; }
  uint32_t RunningKind() const { return _running_kind; }
  uint32_t RunningPercent() const { return _running_percent; }
  bool IsCharging() const { return _charging; }
  // The kind's last status type (running or result), 0 when none.
  int KindType(uint32_t kind) const;
  const mapprogress::Record& MapRecord() const { return _record; }

  // Redraws the status line when no hint is on it.
  void RefreshStatusLine();

 private:
  void _OnLogUpload();
  void _OnLogUploadDone(WPARAM code, LPARAM error);
  void _OnVersionCheck();
  void _OnServerChecked();
  void _OnAutoUpdate();
  void _OnAutoUpdateDone();
  void _OnStartCharge();
  void _OnProgress(uint32_t percent, uint32_t kind);
  void _OnResult(uint32_t word, uint32_t platform_error);
  void _StopCharging();
  void _OnPhaseStart(WPARAM phase);
  void _OnPhaseEnd(WPARAM phase);
  void _OnMapProgress(WPARAM block, LPARAM detail);
  void _OnStatus(int type);
  void _OnStateTick();
  void _AfterTraffic();
  void _StartMapTimers();
  void _StopMapTimers();
  void _SetState(int slot, int frame);
  int _StateFrame(int slot) const;
  bool _Start(uint32_t kinds);
  void _SetCurrentType(int type);
  void _RemoveCardUser();

  CLauncherWindow* _launcher;  // owns the chain
  CoreStarter _start;
  const char* _log_upload_event = nullptr;
  const char* _inquiry_event = nullptr;

  std::unique_ptr<CLogUploadWindow> _log_upload;
  std::unique_ptr<CUpdateNotifyWindow> _update;
  bool _server_checked = false;

  const UINT _msg_log_upload;
  const UINT _msg_version_check;
  const UINT _msg_auto_update;
  const UINT _msg_start_charge;
  const UINT _msg_progress;
  const UINT _msg_error;
  const UINT _msg_phase_start;
  const UINT _msg_phase_end;
  const UINT _msg_map_progress;
  const UINT _msg_sd_change;

  int _current_type = 0;
  int _shown_type = 0;
  int _dots = 0;
  uint32_t _running_kind = 0;
  uint32_t _running_percent = 0;
  bool _charging = false;
  std::map<uint32_t, int> _kind_types;
  int _after_traffic = kAfterTrafficNone;
  mapprogress::Record _record;
};

}  // namespace ui
