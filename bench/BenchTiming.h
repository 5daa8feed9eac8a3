// Timing shared by the benchmarks: a millisecond clock and the best of
// several rounds (the least disturbed one).
#pragma once

#include <algorithm>
#include <functional>

#include "OvWindows.h"

inline double NowMs() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Best(int rounds, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const double start = NowMs();
    work();
    best = std::min(best, NowMs() - start);
  }
  return best;
}
