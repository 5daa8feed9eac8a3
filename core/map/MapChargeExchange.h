// How one server exchange of the map charge ended; shared by the map
// charge's source files only.
#pragma once

#include "OvWindows.h"
#include "map/MapCharge.h"

struct CMapCharge::Exchange {
  enum Stage { kPrepareFailed, kOpenFailed, kAborted, kWaitFailed, kDone };
  Stage stage = kWaitFailed;
  DWORD error = 0;   // the platform error of a failed step
  DWORD result = 0;  // the client's result once done
};
