// One window test at a time on the shared Xvfb screen, across test processes.
// Cases that read what lies under a screen point (WindowFromPoint, the
// pointer) hold it, so a window another case puts at the same place cannot
// answer for theirs. A case that also holds the one-core lock
// (CoreProcessLock.h) takes that one first: two cases taking the two locks
// in opposite orders wait on each other until their time runs out.
#pragma once

#include "Handle.h"
#include "OvWindows.h"

namespace ovtest {

class CScreenLock final {
 public:
  CScreenLock();
  ~CScreenLock();
  CScreenLock(const CScreenLock&) = delete;
  CScreenLock& operator=(const CScreenLock&) = delete;

 private:
  CHandle _mutex;
  bool _held = false;
};

}  // namespace ovtest
