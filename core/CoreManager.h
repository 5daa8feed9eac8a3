// The core's scheduler: a reservation list run one charge at a time in
// priority order, a repeat list that reserves the probe-traffic charge again
// every twenty minutes, the reports of the charges passed on to the notify
// window, and the close of the core once an end was asked for and nothing
// runs.
//
// Threads: main thread only. Workers reach the manager through messages
// posted to the core window, which the message loop hands to
// RecieveWindowMessage before dispatching them; so the lists need no lock.
#pragma once

#include "Charge.h"
#include "OvWindows.h"

#include <cstdint>
#include <functional>
#include <list>
#include <vector>

struct ChargeReserve {
  ChargePtr charge;  // owned; deleted with the entry
  uint32_t priority = 0x10000000;
  bool active = false;
  uint32_t interval = 1200000;  // ms between repeats
  uint32_t last_tick = 0;       // when made or last refreshed
};

struct CoreManagerArgs {
  HWND own_window = nullptr;     // not owned: charges post here; closed at the end
  HWND notify_window = nullptr;  // not owned: reports are passed on here
  char drive = 0;
  // Makes the charge of a kind (none: refused); CreateChargeObject unless set.
  std::function<ChargePtr(uint32_t kind)> create_charge;
  // Milliseconds of the system tick count; GetTickCount unless set.
  std::function<DWORD()> tick;
};

class CCoreManager final {
 public:
  static constexpr UINT_PTR kRepeatTimerId = 777;
  static constexpr UINT kRepeatTimerMs = 5000;

  // Own window: the core window.
  CCoreManager(HWND notify_window, char drive);
  explicit CCoreManager(const CoreManagerArgs& args);
  ~CCoreManager();
  CCoreManager(const CCoreManager&) = delete;
  CCoreManager& operator=(const CCoreManager&) = delete;

  // Sees every message of the loop before dispatch. True when the message
  // is spent and must not be dispatched.
  bool RecieveWindowMessage(const MSG& msg);
  // The OR of the kinds of all reservations, running or waiting.
  uint32_t ReconfirmChargeReserve();
  // 1 when drive and window are both unchanged, else 0.
  int OnReConstCoreManager(char drive, HWND notify_window);

  void AddCharge(uint32_t kind);
  void DelCharge(uint32_t kind);
  void DelAllCharge();
  void AddRepeatCharge(uint32_t kind);
  void DelRepeatCharge(uint32_t kind);
  void DelAllRepeatCharge();
  void StartCharge();
  void AbortCharge(uint32_t kind);
  void EndCharge();
  void CheckRepeatCharge();
  void DumpList(bool at_start, const char* label);
  bool CreateCharge(ChargeReserve& entry, uint32_t kind);

  void OnRequestCharge(WPARAM wparam, LPARAM lparam);
  void OnRequestAbort(WPARAM wparam, LPARAM lparam);
  void OnRequestEnd(WPARAM wparam, LPARAM lparam);
  void OnNotifyProgress(WPARAM wparam, LPARAM lparam);
  void OnNotifyError(WPARAM wparam, LPARAM lparam);
  void OnNotifyFinish(WPARAM wparam, LPARAM lparam);
  void OnThroughMessage(const MSG& msg);

  HWND GetNotifyWindow() const { return _notify; }
  char GetDriveLetter() const { return _drive; }
  bool IsEndRequested() const { return _end_requested; }
  uint32_t GetLastErrorWord() const { return _last_error; }
  bool IsRepeatTimerRunning() const { return _timer_running; }
  // Kinds in list order.
  std::vector<uint32_t> ReservedKinds() const;
  std::vector<uint32_t> RepeatKinds() const;
  // The kind of the active reservation; 0 when nothing runs.
  uint32_t ActiveKind() const;

 private:
  struct MessageIds {
    UINT request_charge, request_abort, request_end, notify_progress, notify_error, notify_finish,
        map_license, map_download, reconst_core_manager, map_progress_start, map_progress_end,
        map_progress, map_verify, no_send_probe;
  };

  ChargeReserve* FindActive(uint32_t kind);
  void WaitForWorker(HANDLE thread);
  void DecideAfterFinish(uint32_t kind);
  void PostClose();
  void StopRepeatTimerIfIdle();
  DWORD Now() const { return _tick(); }

  HWND _own;     // not owned
  HWND _notify;  // not owned
  char _drive;
  bool _end_requested = false;
  // Set when the manager posted WM_CLOSE itself; a request that comes after
  // the end withdraws that close.
  bool _close_posted = false;
  uint32_t _last_error = 0;
  MessageIds _ids;
  std::list<ChargeReserve> _reserves;
  std::list<ChargeReserve> _repeats;
  bool _timer_running = false;
  std::function<ChargePtr(uint32_t)> _create_charge;
  std::function<DWORD()> _tick;
};
