// The charge manager; see CoreManager.h.
#include "CoreManager.h"

#include "ChargeFactory.h"
#include "ChargeKind.h"
#include "ConnectionFile.h"
#include "CoreMessages.h"
#include "CoreWindow.h"
#include "Log.h"

#include <algorithm>

namespace {

constexpr int kFinishWaits = 50;
constexpr DWORD kFinishWaitMs = 100;
constexpr DWORD kAbortWaitMs = 1000;

// Error words (top byte cleared) that mean the unit is not registered.
constexpr uint32_t kNotRegisteredCodes[] = {0x200203, 0x200301, 0x200402, 0x220009, 0x230009,
                                            0x260009, 0x270009, 0x280009, 0x290009};

// Message words and kinds as the 32-bit values the log lines print.
template <typename T>
unsigned U(T value) {
  return static_cast<unsigned>(value);
}

bool IsChargeKind(uint32_t kind) {
  return kind == CHARGE_KIND_PROBE || kind == CHARGE_KIND_MAP || kind == CHARGE_KIND_TIDEWHEEL ||
         kind == CHARGE_KIND_WEATHER || kind == CHARGE_KIND_MUSIC;
}

bool IsNotRegistered(uint32_t word) {
  const uint32_t code = word & 0xFFFFFF;
  return std::find(std::begin(kNotRegisteredCodes), std::end(kNotRegisteredCodes), code) !=
         std::end(kNotRegisteredCodes);
}

uint32_t KindOf(const ChargeReserve& entry) { return entry.charge->GetKind(); }

std::list<ChargeReserve>::iterator FindKind(std::list<ChargeReserve>& list, uint32_t kind) {
  return std::find_if(list.begin(), list.end(),
                      [kind](const ChargeReserve& e) { return KindOf(e) == kind; });
}

void LogEntries(int mark, const std::list<ChargeReserve>& list) {
  for (const ChargeReserve& entry : list) {
    OV_LOG(mark, "│ Act:%s Pri:0x%08X Typ:0x%02X Ptr:%p  │", entry.active ? "○" : "－",
           U(entry.priority), U(KindOf(entry)), static_cast<void*>(entry.charge.get()));
  }
}

}  // namespace

CCoreManager::CCoreManager(HWND notify_window, char drive)
    : CCoreManager([&] {
        CoreManagerArgs args;
        args.own_window = GetCoreWindow();
        args.notify_window = notify_window;
        args.drive = drive;
        return args;
      }()) {}

CCoreManager::CCoreManager(const CoreManagerArgs& args)
    : _own(args.own_window),
      _notify(args.notify_window),
      _drive(args.drive),
      _create_charge(args.create_charge ? args.create_charge : CreateChargeObject),
      _tick(args.tick ? args.tick : [] { return GetTickCount(); }) {
  // Read once here, so that a bad replacement file is logged at start-up
  // rather than in the middle of a charge.
  CConnectionFile::GetInstance().Read();
  OV_LOG(kLogInfo, "CCoreManager::CCoreManager - Start");
  _ids.request_charge = RegisterOvMessage(kMsgRequestCharge);
  _ids.request_abort = RegisterOvMessage(kMsgRequestAbort);
  _ids.request_end = RegisterOvMessage(kMsgRequestEnd);
  _ids.notify_progress = RegisterOvMessage(kMsgNotifyProgress);
  _ids.notify_error = RegisterOvMessage(kMsgNotifyError);
  _ids.notify_finish = RegisterOvMessage(kMsgNotifyFinish);
  _ids.map_license = RegisterOvMessage(kMsgMapLicense);
  _ids.map_download = RegisterOvMessage(kMsgMapDownload);
  _ids.reconst_core_manager = RegisterOvMessage(kMsgReConstCoreManager);
  _ids.map_progress_start = RegisterOvMessage(kMsgMapProgressStart);
  _ids.map_progress_end = RegisterOvMessage(kMsgMapProgressEnd);
  _ids.map_progress = RegisterOvMessage(kMsgMapProgress);
  _ids.map_verify = RegisterOvMessage(kMsgMapVerify);
  _ids.no_send_probe = RegisterOvMessage(kMsgNoSendProbe);
}

CCoreManager::~CCoreManager() {
  DumpList(false, "デストラクタ");
  _repeats.clear();
  if (_timer_running && _own) KillTimer(_own, kRepeatTimerId);
  // A running charge's deleter asks its worker to stop and waits for it.
  _reserves.clear();
  OV_LOG(kLogInfo, "CCoreManager::~CCoreManager - End");
}

bool CCoreManager::RecieveWindowMessage(const MSG& msg) {
  if (msg.message == WM_CLOSE && msg.hwnd == _own) {
    if (_close_posted) {
      _close_posted = false;
      // A request behind the close (or one already taken) outlives the end.
      MSG request;
      if (!_end_requested ||
          PeekMessageA(&request, _own, _ids.request_charge, _ids.request_charge, PM_NOREMOVE)) {
        OV_LOG(kLogInfo,
               "CCoreManager::RecieveWindowMessage 終了要求後のチャージ要求のため終了しない");
        return true;
      }
    }
    OV_LOG(kLogInfo, "CCoreManager::RecieveWindowMessage 親ウィンドウが終了要求受信");
    return false;
  }
  if (msg.message == WM_TIMER && msg.wParam == kRepeatTimerId && msg.hwnd == _own) {
    CheckRepeatCharge();
    return false;
  }
  if (msg.message < 0xC000 || msg.message > 0xFFFF) return false;

  const UINT m = msg.message;
  if (m == _ids.request_charge) {
    OnRequestCharge(msg.wParam, msg.lParam);
  } else if (m == _ids.request_abort) {
    OnRequestAbort(msg.wParam, msg.lParam);
  } else if (m == _ids.request_end) {
    OnRequestEnd(msg.wParam, msg.lParam);
  } else if (m == _ids.notify_progress) {
    OnNotifyProgress(msg.wParam, msg.lParam);
  } else if (m == _ids.notify_error) {
    OnNotifyError(msg.wParam, msg.lParam);
  } else if (m == _ids.notify_finish) {
    OnNotifyFinish(msg.wParam, msg.lParam);
  } else if (m == _ids.map_license || m == _ids.map_download || m == _ids.map_verify ||
             m == _ids.no_send_probe || m == _ids.map_progress_start ||
             m == _ids.map_progress_end || m == _ids.map_progress) {
    OnThroughMessage(msg);
  }
  return false;
}

uint32_t CCoreManager::ReconfirmChargeReserve() {
  uint32_t kinds = 0;
  for (const ChargeReserve& entry : _reserves) kinds |= KindOf(entry);
  OV_LOG(kLogInfo, "CCoreManager::ReconfirmChargeReserve チャージ予約確認 [0x%08X]", U(kinds));
  return kinds;
}

int CCoreManager::OnReConstCoreManager(char drive, HWND notify_window) {
  if (drive == _drive && notify_window == _notify) {
    OV_LOG(kLogTrace, "情報再設定時の同一内容受信");
    return 1;
  }
  if (drive != _drive) {
    OV_LOG(kLogInfo, "情報再設定時のドライブ変更 %c -> %c", _drive, drive);
    _drive = drive;
  }
  if (notify_window != _notify) {
    OV_LOG(kLogTrace, "情報再設定時の通知先HWND変更 %08X -> %08X",
           U(reinterpret_cast<UINT_PTR>(_notify)), U(reinterpret_cast<UINT_PTR>(notify_window)));
    _notify = notify_window;
  }
  return 0;
}

bool CCoreManager::CreateCharge(ChargeReserve& entry, uint32_t kind) {
  if (!IsChargeKind(kind)) return false;
  ChargePtr charge = _create_charge(kind);
  if (!charge) return false;
  entry.charge = std::move(charge);
  entry.priority = ChargePriority(kind);
  return true;
}

void CCoreManager::AddCharge(uint32_t kind) {
  OV_LOG(kLogInfo, "CCoreManager::AddCharge type[0x%08X]", U(kind));
  const DWORD now = Now();
  for (ChargeReserve& entry : _repeats) {
    if (KindOf(entry) == kind) entry.last_tick = now;
  }
  if (FindKind(_reserves, kind) != _reserves.end()) {
    OV_LOG(kLogError, "CCoreManager::AddCharge 重複登録");
    return;
  }
  ChargeReserve entry;
  entry.last_tick = now;
  if (!CreateCharge(entry, kind)) {
    OV_LOG(kLogError, "CCoreManager::AddCharge 予約オブジェクト作成失敗");
    return;
  }
  _reserves.push_back(std::move(entry));
  DumpList(false, "予約リストに追加");
}

void CCoreManager::AddRepeatCharge(uint32_t kind) {
  OV_LOG(kLogInfo, "CCoreManager::AddRepeatCharge type[0x%08X]", U(kind));
  if (FindKind(_repeats, kind) != _repeats.end()) {
    OV_LOG(kLogError, "CCoreManager::AddRepeatCharge 重複登録");
    return;
  }
  ChargeReserve entry;
  entry.last_tick = Now();
  if (!CreateCharge(entry, kind)) {
    OV_LOG(kLogError, "CCoreManager::AddRepeatCharge 予約オブジェクト作成失敗");
    return;
  }
  _repeats.push_back(std::move(entry));
  DumpList(false, "継続リストに追加");
  if (_own) SetTimer(_own, kRepeatTimerId, kRepeatTimerMs, nullptr);
  _timer_running = true;
}

void CCoreManager::DelCharge(uint32_t kind) {
  OV_LOG(kLogInfo, "CCoreManager::DelCharge type[0x%08X]", U(kind));
  const auto it = FindKind(_reserves, kind);
  if (it == _reserves.end()) {
    OV_LOG(kLogError, "CCoreManager::DelCharge 削除対象なし");
    return;
  }
  _reserves.erase(it);
  DumpList(false, "予約リストから削除");
}

void CCoreManager::DelRepeatCharge(uint32_t kind) {
  OV_LOG(kLogInfo, "CCoreManager::DelRepeatCharge type[0x%08X]", U(kind));
  const auto it = FindKind(_repeats, kind);
  if (it == _repeats.end()) {
    OV_LOG(kLogError, "CCoreManager::DelRepeatCharge 削除対象なし");
  } else {
    _repeats.erase(it);
    DumpList(false, "継続リストから削除");
  }
  StopRepeatTimerIfIdle();
}

void CCoreManager::DelAllCharge() {
  OV_LOG(kLogInfo, "CCoreManager::DelAllCharge");
  _reserves.clear();
}

void CCoreManager::DelAllRepeatCharge() {
  OV_LOG(kLogInfo, "CCoreManager::DelAllRepeatCharge");
  _repeats.clear();
  StopRepeatTimerIfIdle();
}

void CCoreManager::StopRepeatTimerIfIdle() {
  if (!_repeats.empty() || !_timer_running) return;
  if (_own) KillTimer(_own, kRepeatTimerId);
  _timer_running = false;
}

void CCoreManager::StartCharge() {
  OV_LOG(kLogInfo, "CCoreManager::StartCharge");
  for (;;) {
    if (_reserves.empty()) {
      OV_LOG(kLogInfo, "CCoreManager::StartCharge 予約リストなし");
      return;
    }
    if (_reserves.front().active) {
      OV_LOG(kLogInfo, "CCoreManager::StartCharge 処理中のためスキップ");
      return;
    }
    _reserves.sort(
        [](const ChargeReserve& a, const ChargeReserve& b) { return a.priority < b.priority; });
    ChargeReserve& head = _reserves.front();
    head.active = true;
    head.charge->SetDriveLetter(_drive);
    head.charge->SetTargetWindow(_own);
    DumpList(true, "チャージ開始直前");
    if (head.charge->Start()) return;
    // A charge that did not start would hold the head for ever: nothing
    // else could start and an end could not close the core.
    OV_LOG(kLogError, "CCoreManager::StartCharge チャージ開始失敗");
    _reserves.pop_front();
    DumpList(false, "予約リストから削除");
  }
}

void CCoreManager::CheckRepeatCharge() {
  const DWORD now = Now();
  std::vector<uint32_t> due;
  for (const ChargeReserve& entry : _repeats) {
    if (entry.interval < static_cast<uint32_t>(now - entry.last_tick)) due.push_back(KindOf(entry));
  }
  for (uint32_t kind : due) AddCharge(kind);
  if (!due.empty()) StartCharge();
}

void CCoreManager::AbortCharge(uint32_t kind) {
  OV_LOG(kLogInfo, "CCoreManager::AbortCharge");
  DelRepeatCharge(kind);
  if (_reserves.empty()) {
    OV_LOG(kLogError, "CCoreManager::AbortCharge 予約リストなし");
    return;
  }
  for (auto it = _reserves.begin(); it != _reserves.end();) {
    if (KindOf(*it) != kind) {
      ++it;
    } else if (it->active) {
      // The entry stays until its finish arrives.
      it->charge->Abort(kAbortWaitMs);
      ++it;
    } else {
      it = _reserves.erase(it);
      DumpList(false, "予約リストから削除");
    }
  }
}

void CCoreManager::EndCharge() {
  OV_LOG(kLogInfo, "CCoreManager::EndCharge");
  _end_requested = true;
  DelAllRepeatCharge();
  bool running = false;
  for (auto it = _reserves.begin(); it != _reserves.end();) {
    if (it->active) {
      it->charge->Abort(kAbortWaitMs);
      running = true;
      ++it;
    } else {
      it = _reserves.erase(it);
    }
  }
  if (!running) {
    OV_LOG(kLogInfo, "CCoreManager::EndCharge 親ウィンドウに終了要求");
    PostClose();
  }
}

void CCoreManager::PostClose() {
  if (!_own) return;
  _close_posted = true;
  PostMessageA(_own, WM_CLOSE, 0, 0);
}

void CCoreManager::OnRequestCharge(WPARAM wparam, LPARAM lparam) {
  OV_LOG(kLogInfo, "CCoreManager::OnRequestCharge - w[0x%08X] l[0x%08X]", U(wparam), U(lparam));
  const uint32_t kind = static_cast<uint32_t>(lparam);
  if (!IsChargeKind(kind)) {
    OV_LOG(kLogError, "CCoreManager::OnRequestCharge 想定外のパラメータ");
    return;
  }
  if (_end_requested) {
    // A newer request wins over the end: the core stays for it.
    OV_LOG(kLogInfo, "CCoreManager::OnRequestCharge 終了要求後のチャージ要求のため終了取り消し");
    _end_requested = false;
  }
  AddCharge(kind);
  if (kind == CHARGE_KIND_TIDEWHEEL) AddRepeatCharge(kind);
  StartCharge();
}

void CCoreManager::OnRequestAbort(WPARAM wparam, LPARAM lparam) {
  OV_LOG(kLogInfo, "CCoreManager::OnRequestAbort - w[0x%08X] l[0x%08X]", U(wparam), U(lparam));
  AbortCharge(static_cast<uint32_t>(lparam));
}

void CCoreManager::OnRequestEnd(WPARAM wparam, LPARAM lparam) {
  OV_LOG(kLogInfo, "CCoreManager::OnRequestEnd - w[0x%08X] l[0x%08X]", U(wparam), U(lparam));
  EndCharge();
}

void CCoreManager::OnNotifyProgress(WPARAM wparam, LPARAM lparam) {
  OV_LOG(kLogTrace, "CCoreManager::OnNotifyProgress - w[0x%08X] l[0x%08X]", U(wparam), U(lparam));
  PostMessageA(_notify, _ids.notify_progress, wparam, lparam);
}

void CCoreManager::OnNotifyError(WPARAM wparam, LPARAM lparam) {
  OV_LOG(kLogInfo, "CCoreManager::OnNotifyError - w[0x%08X] l[0x%08X]", U(wparam), U(lparam));
  _last_error = static_cast<uint32_t>(wparam);
  PostMessageA(_notify, _ids.notify_error, wparam, lparam);
}

void CCoreManager::OnThroughMessage(const MSG& msg) {
  if (msg.message != _ids.map_progress) {
    OV_LOG(kLogInfo, "CCoreManager::OnThroughMessage - MSG[0x%08X] w[0x%08X] l[0x%08X]",
           U(msg.message), U(msg.wParam), U(msg.lParam));
  }
  PostMessageA(_notify, msg.message, msg.wParam, msg.lParam);
}

ChargeReserve* CCoreManager::FindActive(uint32_t kind) {
  for (ChargeReserve& entry : _reserves) {
    if (entry.active && KindOf(entry) == kind) return &entry;
  }
  return nullptr;
}

void CCoreManager::OnNotifyFinish(WPARAM wparam, LPARAM lparam) {
  OV_LOG(kLogInfo, "CCoreManager::OnNotifyFinish - w[0x%08X] l[0x%08X]", U(wparam), U(lparam));
  const uint32_t kind = static_cast<uint32_t>(lparam);
  ChargeReserve* finished = FindActive(kind);
  if (!finished) {
    // Not the running charge's finish: a stray or forged message must
    // neither remove a waiting reservation nor close the core under a
    // running charge.
    OV_LOG(kLogError, "CCoreManager::OnNotifyFinish 実行中でない種別の終了通知");
    return;
  }
  // The handle in wParam may have been closed by an abort already; only the
  // handle the charge still holds is safe to wait on.
  if (finished->charge->GetThreadHandle()) WaitForWorker(finished->charge->GetThreadHandle());
  DecideAfterFinish(kind);
  if (_end_requested) {
    OV_LOG(kLogInfo, "CCoreManager::OnNotifyFinish 親ウィンドウに終了要求");
    PostClose();
  } else {
    StartCharge();
  }
}

void CCoreManager::WaitForWorker(HANDLE thread) {
  for (int attempt = 0; attempt < kFinishWaits; ++attempt) {
    const DWORD wait = WaitForSingleObject(thread, kFinishWaitMs);
    if (wait == WAIT_OBJECT_0) {
      OV_LOG(kLogInfo, "CCoreManager::OnNotifyFinish - スレッド終了");
      return;
    }
    if (wait == WAIT_ABANDONED) {
      OV_LOG(kLogInfo, "CCoreManager::OnNotifyFinish - WAIT_ABANDONED");
      OV_LOG(kLogInfo, "CCoreManager::OnNotifyFinish - スレッド終了");
      return;
    }
    if (wait == WAIT_FAILED) {
      OV_LOG(kLogError, "CCoreManager::OnNotifyFinish - WAIT_FAILED 0x%08x",
             U(reinterpret_cast<UINT_PTR>(thread)));
    }
  }
}

void CCoreManager::DecideAfterFinish(uint32_t kind) {
  if ((_last_error & 0xFFFF) == CHARGE_RESULT_NOSD) {
    OV_LOG(kLogInfo, "エラー0x%08X 終了のため、全チャージ予約削除", U(_last_error));
    DelAllCharge();
    DelAllRepeatCharge();
    return;
  }
  if (IsNotRegistered(_last_error)) {
    OV_LOG(kLogInfo, "エラー0x%08X 未登録終了のため、チャージ予約削除", U(_last_error));
    for (uint32_t k :
         {CHARGE_KIND_PROBE, CHARGE_KIND_MAP, CHARGE_KIND_TIDEWHEEL, CHARGE_KIND_WEATHER}) {
      DelCharge(k);
    }
    DelAllRepeatCharge();
  }
  // Whatever the word said, the finished charge leaves the head: a word
  // left by an earlier charge must not keep it there.
  if (FindActive(kind)) DelCharge(kind);
}

void CCoreManager::DumpList(bool at_start, const char* label) {
  const int mark = at_start ? kLogInfo : kLogTrace;
  OV_LOG(mark, "┌─┤予約リスト├───────────────┐←(%s)", label);
  LogEntries(mark, _reserves);
  OV_LOG(mark, "├─┤継続リスト├───────────────┤");
  LogEntries(mark, _repeats);
  OV_LOG(mark, "└───────────────────────┘");
}

std::vector<uint32_t> CCoreManager::ReservedKinds() const {
  std::vector<uint32_t> kinds;
  for (const ChargeReserve& entry : _reserves) kinds.push_back(KindOf(entry));
  return kinds;
}

std::vector<uint32_t> CCoreManager::RepeatKinds() const {
  std::vector<uint32_t> kinds;
  for (const ChargeReserve& entry : _repeats) kinds.push_back(KindOf(entry));
  return kinds;
}

uint32_t CCoreManager::ActiveKind() const {
  for (const ChargeReserve& entry : _reserves) {
    if (entry.active) return KindOf(entry);
  }
  return 0;
}
