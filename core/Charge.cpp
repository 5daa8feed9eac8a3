// The charge base class; see Charge.h.
#include "Charge.h"

#include "ChargeKind.h"
#include "CoreMessages.h"
#include "Folders.h"
#include "Log.h"
#include "StringUtil.h"

#include <exception>
#include <process.h>

namespace {

constexpr DWORD kReapWaitMs = 1000;
// The result of a charge whose work ended with an exception; memory
// exhaustion, the one the design expects, has this code everywhere.
constexpr uint32_t kResultThrown = 0xFFFF;

// Set by tests before any charge starts.
std::string& AbortEventTag() {
  static std::string tag;
  return tag;
}

}  // namespace

namespace chargetest {
void SetAbortEventTag(const std::string& tag) { AbortEventTag() = tag; }
}  // namespace chargetest

CCharge::CCharge(uint32_t kind) : _kind(kind), _store(&GetChargeStore()) {}

CCharge::~CCharge() {
  ReapThread();
  _abort.Reset();
}

void CCharge::ReapThread() {
  if (!_thread) return;
  // Ask first: a worker that stops by itself needs no termination.
  if (_abort) SetEvent(_abort.Get());
  if (WaitForSingleObject(_thread.Get(), kReapWaitMs) == WAIT_TIMEOUT) {
    TerminateThread(_thread.Get(), 0);
    WaitForSingleObject(_thread.Get(), INFINITE);
  }
  _thread.Reset();
}

bool CCharge::Start() {
  if (_thread) {
    OV_LOG(kLogError, "処理開始時のスレッド存在.");
    return false;
  }
  if (!_abort) {
    const std::string name =
        FormatString("Event_Core_Abort_%08X", static_cast<unsigned>(_kind)) + AbortEventTag();
    _abort.Reset(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  }
  if (_abort) ResetEvent(_abort.Get());

  if (!_IsExistSD()) {
    OV_LOG(kLogInfo, "チャージ開始時のSD無し CHARGTYPE:%08X", static_cast<unsigned>(_kind));
    _NotifyError(CHARGE_RESULT_NOSD, 0);
    Post(kMsgNotifyFinish, 0, static_cast<LPARAM>(_kind));
    return true;
  }
  if (!MayRun()) {
    OV_LOG(kLogInfo, "チャージ開始時のスキップ CHARGTYPE:%08X", static_cast<unsigned>(_kind));
    _NotifyError(CHARGE_RESULT_SKIP, 0);
    Post(kMsgNotifyFinish, 0, static_cast<LPARAM>(_kind));
    return true;
  }
  _device_no = _store->ReadDeviceNo(_drive).substr(0, 16);

  // Suspended, so that the handle the worker reports is known before it runs.
  const uintptr_t thread =
      _beginthreadex(nullptr, 0, &CCharge::ThreadProc, this, CREATE_SUSPENDED, &_thread_id);
  if (thread == 0) {
    OV_LOG(kLogError, "処理スレッド開始失敗 ERR:0x%08X.", static_cast<unsigned>(GetLastError()));
    return false;
  }
  _thread.Reset(reinterpret_cast<HANDLE>(thread));
  _reported_thread = _thread.Get();
  ResumeThread(_thread.Get());
  return true;
}

bool CCharge::MayRun() {
  int value = 0;
  if (!_store->LoadRunSwitch(_kind, &value)) return true;
  if (_kind == CHARGE_KIND_MUSIC) return value == 2;
  return value != 0;
}

bool CCharge::Abort(DWORD wait_ms) {
  if (!_thread) {
    OV_LOG(kLogError, "処理中断時のスレッドなし.");
    return false;
  }
  if (_abort) SetEvent(_abort.Get());
  if (WaitForSingleObject(_thread.Get(), wait_ms) != WAIT_TIMEOUT) _thread.Reset();
  return true;
}

unsigned __stdcall CCharge::ThreadProc(void* self) {
  return static_cast<CCharge*>(self)->RunProc();
}

uint32_t CCharge::RunProc() {
  uint32_t result = kResultThrown;
  // Nothing may end the worker without its finish: the manager waits for it.
  try {
    result = RunWork();
  } catch (const std::exception& e) {
    OV_LOG(kLogError, "チャージ処理の例外 CHARGTYPE:%08X %s", static_cast<unsigned>(_kind),
           e.what());
    _NotifyError(kResultThrown, 0);
  } catch (...) {
    OV_LOG(kLogError, "チャージ処理の例外 CHARGTYPE:%08X 不明な例外", static_cast<unsigned>(_kind));
    _NotifyError(kResultThrown, 0);
  }
  if (!IsVolumeLockable(_drive)) {
    OV_LOG(kLogError, "SDフラッシュ失敗 SD:%c ERR:0x%08X", _drive,
           static_cast<unsigned>(GetLastError()));
  }
  Post(kMsgNotifyFinish, reinterpret_cast<WPARAM>(_reported_thread), static_cast<LPARAM>(_kind));
  return result;
}

uint32_t CCharge::RunWork() {
  const bool restarted_before = _restart;
  _restart = false;
  uint32_t result = _Proc();
  if (_restart && !restarted_before) {
    _restart = false;
    result = _Proc();
  }
  return result;
}

bool CCharge::_IsAbort() const {
  return _abort && WaitForSingleObject(_abort.Get(), 0) != WAIT_TIMEOUT;
}

void CCharge::_NotifyProgress(uint32_t percent) const {
  Post(kMsgNotifyProgress, percent, static_cast<LPARAM>(_kind));
}

void CCharge::_NotifyError(uint32_t code, LPARAM detail) const {
  Post(kMsgNotifyError, (_kind << 24) | code, detail);
}

CCharge::HistoryStage CCharge::_FailedStage(uint32_t code) {
  return code == CHARGE_RESULT_ABORT ? kHistoryAborted : kHistoryFailed;
}

bool CCharge::_SaveHistory(HistoryStage stage, uint32_t code, uint32_t data_version,
                           uint32_t map_version, uint32_t record_id) const {
  const uint32_t result = (_kind << 24) | code;
  OV_LOG(kLogInfo, "CCharge::_SaveHistory - Start RES:0x%08X VER:0x%08X MAP:0x%08X",
         static_cast<unsigned>(result), static_cast<unsigned>(data_version),
         static_cast<unsigned>(map_version));
  if (stage == kHistoryStart && _kind != CHARGE_KIND_MUSIC) return true;
  const uint32_t low = code & 0xFFFF;
  if (low == CHARGE_RESULT_SKIP || low == CHARGE_RESULT_NODATA) return true;

  SYSTEMTIME now;
  GetLocalTime(&now);
  if (_kind == CHARGE_KIND_PROBE) {
    if (stage == kHistoryNotLogged) return true;
    return _store->SaveProbeLog(_device_no, now, stage, result);
  }
  ChargeHistoryRecord record;
  record.id = record_id != 0 ? record_id : _kind;
  record.time = now;
  record.stage = stage;
  record.result = result;
  record.data_version = data_version;
  record.map_version = map_version;
  return _store->SaveCardHistory(_drive, record);
}

bool CCharge::_IsExistSD() const {
  return _drive != 0 && PathFileExists(FormatString("%c:\\", _drive));
}

void CCharge::Post(const char* message, WPARAM wparam, LPARAM lparam) const {
  if (_target) PostMessageA(_target, RegisterOvMessage(message), wparam, lparam);
}
