#include "SliderMath.h"

#include <algorithm>

namespace ui {

namespace {

// Rounds half away from the minimum end, as the value and the offsets do.
int Round(const SliderRange& range, double x) {
  return static_cast<int>(range.Falling() ? x - 0.5 : x + 0.5);
}

double FractionOf(const SliderRange& range, int value) {
  if (range.maximum == range.minimum) return 0.0;
  return static_cast<double>(value - range.minimum) /
         static_cast<double>(range.maximum - range.minimum);
}

// Less the remainder by the step, but never out of the range: a bound that
// is no multiple of the step would otherwise put the thumb off the track.
int StepDown(const SliderRange& range, int value) {
  const int step = std::max(range.step, 1);
  const int low = std::min(range.minimum, range.maximum);
  const int high = std::max(range.minimum, range.maximum);
  return std::clamp(value - value % step, low, high);
}

}  // namespace

int SliderValueOfFraction(const SliderRange& range, double fraction) {
  return Round(range, fraction * (static_cast<double>(range.maximum) - range.minimum)) +
         range.minimum;
}

double SliderFractionOfValue(const SliderRange& range, int value) {
  const int low = std::min(range.minimum, range.maximum);
  const int high = std::max(range.minimum, range.maximum);
  return FractionOf(range, StepDown(range, std::clamp(value, low, high)));
}

int SliderPixelOffset(const SliderRange& range, double fraction, int length) {
  return Round(range, fraction * length);
}

double SliderFractionAtPoint(const SliderRange& range, int x, int item_width, int thumb_width) {
  const int track = std::max(item_width - thumb_width, 1);
  const int p = std::clamp(x - thumb_width / 2, 0, track);
  const int value = SliderValueOfFraction(range, static_cast<double>(p) / track);
  return FractionOf(range, StepDown(range, value));
}

}  // namespace ui
