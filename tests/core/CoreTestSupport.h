// Helpers of the core's tests: a window that records what reaches it, a
// message pump that lets a charge manager see each message first, charges
// whose work the test steers, and a store that records instead of writing
// files.
#pragma once

#include "Charge.h"
#include "ChargeStore.h"
#include "CoreManager.h"
#include "OvWindows.h"
#include "TestSupport.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace coretest {

struct RecordedMessage {
  UINT id;
  WPARAM wparam;
  LPARAM lparam;
};

// A hidden top-level window of this thread that records every message
// posted or sent to it, WM_CLOSE included (it is never destroyed by one).
class CRecorderWindow final {
 public:
  CRecorderWindow();
  ~CRecorderWindow();
  CRecorderWindow(const CRecorderWindow&) = delete;
  CRecorderWindow& operator=(const CRecorderWindow&) = delete;

  HWND Get() const { return _window; }
  std::vector<RecordedMessage> Of(UINT id) const;
  size_t Count(UINT id) const { return Of(id).size(); }
  const std::vector<RecordedMessage>& All() const { return _messages; }
  void Clear() { _messages.clear(); }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND _window = nullptr;
  std::vector<RecordedMessage> _messages;
};

// Pumps this thread's messages until done() holds or timeout_ms pass; the
// manager (when given) sees each message of core_window before dispatch, as
// in the core.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms, CCoreManager* manager = nullptr,
               HWND core_window = nullptr);

UINT Msg(const char* name);

// A store that keeps what the charges ask for and write.
class CFakeStore final : public IChargeStore {
 public:
  bool loadable = false;
  std::map<uint32_t, int> switches;  // by kind
  std::string device_no;
  std::vector<ChargeHistoryRecord> card_history;
  std::vector<std::pair<std::string, ChargeHistoryRecord>> probe_log;

  bool LoadRunSwitch(uint32_t kind, int* value) override;
  std::string ReadDeviceNo(char) override { return device_no; }
  bool SaveCardHistory(char drive, const ChargeHistoryRecord& record) override;
  bool SaveProbeLog(const std::string& device, const SYSTEMTIME& time, uint32_t stage,
                    uint32_t result) override;
};

// A charge whose work is a function of the test's; the protected helpers
// are open to it.
class CTestCharge final : public CCharge {
 public:
  using Work = std::function<uint32_t(CTestCharge&)>;
  CTestCharge(uint32_t kind, Work work) : CCharge(kind), _work(std::move(work)) {}

  using CCharge::_IsAbort;
  using CCharge::_IsExistSD;
  using CCharge::_NotifyError;
  using CCharge::_NotifyProgress;
  using CCharge::_SaveHistory;
  using CCharge::_SetRestart;
  HANDLE AbortEvent() const { return _GetAbortEvent(); }
  // Tests name a stage by the number the card keeps.
  static HistoryStage Stage(uint32_t number) { return static_cast<HistoryStage>(number); }

 protected:
  uint32_t _Proc() override { return _work(*this); }

 private:
  Work _work;
};

// How the charges of one manager test behave, per kind: each reports its
// start with progress 0, then waits until the test releases it (it then
// reports its code, unless silent) or until it is aborted (0xFF00).
class CChargeScript final {
 public:
  CChargeScript();
  ~CChargeScript();
  CChargeScript(const CChargeScript&) = delete;
  CChargeScript& operator=(const CChargeScript&) = delete;

  void Release(uint32_t kind) { SetEvent(Gate(kind)); }
  void SetCode(uint32_t kind, uint32_t code) { _codes[kind] = code; }
  void SetSilent(uint32_t kind) { _silent[kind] = true; }
  // The charge ignores its abort and waits for its release alone.
  void SetStubborn(uint32_t kind) { _stubborn[kind] = true; }
  // Start() of this kind returns false without doing anything.
  void SetStartFails(uint32_t kind) { _start_fails[kind] = true; }
  // Kinds of which no charge can be made.
  void SetMissing(uint32_t kind) { _missing[kind] = true; }
  std::function<ChargePtr(uint32_t)> Factory();
  int Created(uint32_t kind) const;

 private:
  HANDLE Gate(uint32_t kind);

  std::map<uint32_t, HANDLE> _gates;
  std::map<uint32_t, uint32_t> _codes;
  std::map<uint32_t, bool> _silent;
  std::map<uint32_t, bool> _start_fails;
  std::map<uint32_t, bool> _stubborn;
  std::map<uint32_t, bool> _missing;
  std::map<uint32_t, int> _created;
  CFakeStore _store;  // nothing switched off, nothing written
};

// A drive letter with no root folder, for "no card" cases.
char MissingDriveLetter();

}  // namespace coretest
