// Timing shared by the benchmarks: the foundation's millisecond clock and
// the best of several rounds (the least disturbed one).
#pragma once

#include <algorithm>
#include <functional>

#include "Clock.h"

inline double Best(int rounds, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const double start = NowMs();
    work();
    best = std::min(best, NowMs() - start);
  }
  return best;
}
