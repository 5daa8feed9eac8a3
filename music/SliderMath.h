// The slider's arithmetic, apart from any window: values, fractions of the
// track and pixel offsets. A range may fall (maximum below minimum); a range
// of one value has every fraction at 0. Pure functions, safe anywhere.
#pragma once

namespace ui {

struct SliderRange {
  int minimum = 0;
  int maximum = 100;
  int step = 1;

  bool Falling() const { return minimum > maximum; }
};

// The value a fraction of the track stands for, rounded to the nearest.
int SliderValueOfFraction(const SliderRange& range, double fraction);
// The fraction of a value: clamped into the range, less its remainder by the
// step; 0 when the range holds one value.
double SliderFractionOfValue(const SliderRange& range, int value);
// The pixel offset of a fraction in a length, rounded as the value is.
int SliderPixelOffset(const SliderRange& range, double fraction, int length);
// The fraction under an item point's x: the thumb's centre follows the
// pointer, inside the track (the item's width less the thumb's).
double SliderFractionAtPoint(const SliderRange& range, int x, int item_width, int thumb_width);

}  // namespace ui
