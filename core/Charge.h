// The base of every charge: its worker thread and abort event, the start
// test (card present, switched on), the reports to the core window and the
// history record.
//
// Threads: Start, Abort, ReapThread and deletion run on the main thread;
// _Proc and the protected helpers on the worker. The two share only the
// abort event and the drive letter and target window, which the main thread
// sets before Start. Every report crosses threads as a posted message.
#pragma once

#include "ChargeStore.h"
#include "Handle.h"
#include "OvWindows.h"

#include <cstdint>
#include <memory>
#include <string>

class CCharge {
 public:
  virtual ~CCharge();
  CCharge(const CCharge&) = delete;
  CCharge& operator=(const CCharge&) = delete;

  // True when the worker runs or the charge already ended inside Start (no
  // card, switched off: error and finish are posted then); false when a
  // thread is still held or none could be started.
  virtual bool Start();
  // Sets the abort event and waits up to wait_ms for the worker; true while
  // a thread was held (even when it is still running).
  virtual bool Abort(DWORD wait_ms);

  uint32_t GetKind() const { return _kind; }
  char GetDriveLetter() const { return _drive; }
  void SetDriveLetter(char drive) { _drive = drive; }
  HWND GetTargetWindow() const { return _target; }  // not owned
  void SetTargetWindow(HWND window) { _target = window; }
  // The worker thread while the object holds it; null otherwise.
  HANDLE GetThreadHandle() const { return _thread.Get(); }
  const std::string& GetDeviceNo() const { return _device_no; }
  // Tests give a store of their own; not owned.
  void SetStore(IChargeStore* store) { _store = store; }

  // Asks the worker to stop and waits for it: 1000 ms, then it is
  // terminated. Must run before a subclass's members go, so deleters call
  // it before the destructor chain starts.
  void ReapThread();

 protected:
  explicit CCharge(uint32_t kind);

  // The charge's work; reports its own result with _NotifyError before it
  // returns. Returns the result code.
  virtual uint32_t _Proc() = 0;

  bool _IsAbort() const;
  void _NotifyProgress(uint32_t percent) const;
  void _NotifyError(uint32_t code, LPARAM detail) const;
  // The stage a history record names: in the card's history, or for the
  // probe charge in its probe log.
  enum HistoryStage : uint32_t {
    kHistorySent = 0,   // probe: the data reached the server
    kHistoryStart = 1,  // recorded for the music charge only
    kHistoryDone = 2,   // the data is on the card (probe: kept there)
    kHistoryAborted = 3,
    kHistoryFailed = 4,
    kHistoryNotLogged = 5,  // probe: a stage the probe log does not keep
  };
  // kHistoryAborted for the abort's code, else kHistoryFailed.
  static HistoryStage _FailedStage(uint32_t code);
  bool _SaveHistory(HistoryStage stage, uint32_t code, uint32_t data_version, uint32_t map_version,
                    uint32_t record_id) const;
  bool _IsExistSD() const;
  // Asks for one more run of _Proc after this one (at most one).
  void _SetRestart() { _restart = true; }
  HANDLE _GetAbortEvent() const { return _abort.Get(); }

 private:
  static unsigned __stdcall ThreadProc(void* self);
  uint32_t RunProc();
  uint32_t RunWork();
  bool MayRun();
  void Post(const char* message, WPARAM wparam, LPARAM lparam) const;

  uint32_t _kind;
  CHandle _thread;
  unsigned _thread_id = 0;
  // The handle value the worker reports with its finish; fixed before the
  // worker runs, so the worker never reads _thread.
  HANDLE _reported_thread = nullptr;
  CHandle _abort;
  std::string _device_no;
  HWND _target = nullptr;  // not owned
  bool _restart = false;   // worker only, while it runs
  char _drive = 0;
  IChargeStore* _store;  // not owned
};

// Deletes a charge only after its worker has ended.
struct ChargeDeleter {
  void operator()(CCharge* charge) const {
    charge->ReapThread();
    delete charge;
  }
};
using ChargePtr = std::unique_ptr<CCharge, ChargeDeleter>;

// Tests that run charges in parallel processes give the abort events a name
// of their own.
namespace chargetest {
void SetAbortEventTag(const std::string& tag);
}  // namespace chargetest
