// CLauncherNotices: the launcher's side of the map charge's questions and of
// the information-charge question. It turns the core's requests
// (OVEVMapLicense, OVEVMapVerify, OVEVNoSendProbe) into the notice drawer
// or a message box, sets the named event of each answer (0xA66), arms the
// five-minute refresh question after a declined reminder (timer 0x1237 on
// the launcher) and keeps the time of the last traffic charge for the
// fifteen-minute rule before closing or ejecting.
//
// The core starter, the clock and the question are replaceable, so tests
// run the rules without a core and without waiting.
//
// Belongs to the launcher's thread.
#pragma once

#include <cstdint>
#include <memory>

#include "MapChargeWindow.h"
#include "MapDownloadRequest.h"
#include "OvWindows.h"

namespace mapnotice {

// The one-shot timer of the refresh question after a declined reminder.
constexpr UINT_PTR kRefreshTimer = 0x1237;
constexpr UINT kRefreshDelayMs = 300000;
// The traffic charge's kind, the only one the information charge starts.
constexpr uint32_t kTrafficKind = 4;
// The message code of the card-too-small question.
constexpr uint32_t kCardTooSmallCode = 0x0200EEEF;

// The fifteen-minute rule: a traffic charge finished (last has a year) and
// more than fifteen minutes have passed since, both local times.
bool IsInfoChargeDue(const SYSTEMTIME& last_traffic, const SYSTEMTIME& now);
// Whether a result word (kind << 24 | code) is a traffic charge that
// fetched its data.
bool IsTrafficSuccess(uint32_t word);

}  // namespace mapnotice

class CLauncherNotices final {
 public:
  using Clock = SYSTEMTIME (*)();  // local time
  using Asker = bool (*)(HWND owner);

  CLauncherNotices();
  ~CLauncherNotices();
  CLauncherNotices(const CLauncherNotices&) = delete;
  CLauncherNotices& operator=(const CLauncherNotices&) = delete;

  // The launcher's window, once it exists.
  void Attach(HWND launcher) { _launcher = launcher; }
  void SetUnitModel(uint8_t model) { _model = model; }
  // Null restores the real one.
  void SetCoreStarter(CoreStarter start);
  void SetClock(Clock clock);
  void SetAsker(Asker ask);

  // The core's requests and the answers; true when `message` was one of
  // them (it is then handled).
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, char drive);
  // The launcher's timer; true when it was the refresh timer.
  bool OnTimer(UINT_PTR id);
  // The refresh question five minutes after a declined reminder is no
  // longer wanted (the charges start anyway).
  void CancelRefresh();
  // A forwarded map download starts the core itself: the refresh question
  // is no longer wanted, and a refresh question on the screen goes.
  void OnMapDownload();
  // The launcher came back from its minimised state: a question on the
  // screen slides out again.
  void OnRestored();
  // The charges were aborted: the question has nobody to answer.
  void HideNotice();
  // Every charge result word; a traffic charge's success is remembered.
  void OnChargeResult(uint32_t word);

  // The information-charge rule before closing or ejecting: the traffic
  // charge is enabled ([Setting] TransmitExe3), a card is in and the
  // fifteen-minute rule holds. Logs the decision.
  bool IsInfoChargeDue(char drive) const;
  // Asks the question; true for yes.
  bool AskInfoCharge();
  // Starts the core through the starter.
  bool StartCore(char drive, uint32_t kinds);

  bool IsRefreshArmed() const { return _refresh_armed; }
  const SYSTEMTIME& LastTraffic() const { return _last_traffic; }
  // The drawer, null until the first question.
  ui::CMapChargeWindow* Window() const { return _window.get(); }

 private:
  void OnMapLicense(uint32_t type, uint32_t data, char drive);
  void ShowScreen(int screen, uint32_t data);
  void OnAnswer(uint32_t type, LPARAM answer, char drive);
  bool EnsureWindow();
  void BringLauncherToFront();
  void PostAnswer(uint32_t type, bool yes);

  const UINT _msg_map_license;
  const UINT _msg_map_verify;
  const UINT _msg_no_send_probe;
  HWND _launcher = nullptr;  // not owned
  uint8_t _model = 0;
  CoreStarter _start;
  Clock _clock;
  Asker _ask;
  std::unique_ptr<ui::CMapChargeWindow> _window;
  bool _refresh_armed = false;
  bool _reshowing = false;
  SYSTEMTIME _last_traffic = {};
};
