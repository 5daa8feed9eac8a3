// The one-core lock: window names, mutexes and events of the programs are
// global in the Wine session, so one test process at a time may run a core,
// a main program or a window that poses as one. Take a test card first, then
// this lock, as every holder does.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

namespace ovtest {

// Held for the life of the object. Taking and giving it back ends, in other
// processes, a core or a main program that a failed test left running.
class CCoreProcessLock final {
 public:
  CCoreProcessLock();
  ~CCoreProcessLock();
  CCoreProcessLock(const CCoreProcessLock&) = delete;
  CCoreProcessLock& operator=(const CCoreProcessLock&) = delete;

  bool IsHeld() const { return _held; }

 private:
  CHandle _lock;
  bool _held = false;
};

// Ends every other process that shows the core's window or one of the main
// program's windows; this process's own windows stay.
void EndStrayPrograms();

}  // namespace ovtest
