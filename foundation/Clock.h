// A steady millisecond clock from the performance counter, for intervals
// of a few milliseconds: the pace of a download, how long ago an abort
// event was asked. GetTickCount will not do for these under Wine: it reads
// a tick the Wine server keeps up to date, which can stand still for a
// while on a loaded machine. Safe on any thread.
#pragma once

#include "OvWindows.h"

// Milliseconds, with their fraction, since a start of the system's choosing.
inline double NowMs() {
  static const double ticks_per_ms = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / ticks_per_ms;
}
