// Running the product's core (Ostrovelle_Core.exe) as a real process in a
// test: one started core that the test can end, kill or wait for, under the
// one-core lock (tests/support CoreProcessLock.h). The core inherits this
// process's environment (data root, card, connection file,
// OV_TEST_NO_PHASE_PAUSE).
#pragma once

#include <string>

#include "Handle.h"
#include "OvWindows.h"

namespace coretest {

// The running core's window, found as the programs find it.
HWND FindCore();

// One core started for a drive, a notify window and charge kinds; killed at
// the end when it still runs.
class CCoreProcess final {
 public:
  CCoreProcess() = default;
  ~CCoreProcess() { Kill(); }
  CCoreProcess(const CCoreProcess&) = delete;
  CCoreProcess& operator=(const CCoreProcess&) = delete;

  // The core skips the map charge's phase pauses unless asked to keep them
  // (a test that stops a run in the middle may need the time they give).
  bool Start(char drive, HWND notify, const char* kinds);
  void KeepPhasePauses(bool keep) { _keep_phase_pauses = keep; }
  bool IsRunning() const;
  // Pumps this thread's messages until the core has ended; false after the
  // limit.
  bool WaitExit(DWORD limit_ms) const;
  // Asks the core to end (OVEVRequestEnd) and waits for it.
  bool End(DWORD limit_ms) const;
  // Ends the process at once, as a crash or a power cut would.
  void Kill();

 private:
  CHandle _process;
  bool _keep_phase_pauses = false;
};

}  // namespace coretest
