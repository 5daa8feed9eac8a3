// The slider's arithmetic as tables: values set and read back, fractions,
// pixel offsets in rising and falling ranges, and positions from points.
#include <gtest/gtest.h>

#include "SliderMath.h"

namespace {

using ui::SliderRange;

TEST(SliderMathTest, SettingAValueStepsItDownAndReadsBack) {
  const struct {
    const char* name;
    SliderRange range;
    int set;
    double fraction;
    int reads;
  } cases[] = {
      {"step 10 takes off the remainder", {0, 100, 10}, 57, 0.5, 50},
      {"falling range", {100, 0, 1}, 30, 0.7, 30},
      {"falling range with a step", {100, 0, 10}, 37, 0.7, 30},
      {"above the range clamps to the top", {0, 100, 1}, 250, 1.0, 100},
      {"below the range clamps to the bottom", {0, 100, 1}, -5, 0.0, 0},
      {"above a falling range clamps to its minimum", {100, 0, 1}, 130, 0.0, 100},
      {"one-value range has fraction 0", {40, 40, 1}, 40, 0.0, 40},
      {"one-value range, value outside", {40, 40, 5}, 90, 0.0, 40},
      {"minimum no multiple of the step stays in range", {5, 100, 10}, 7, 0.0, 5},
      {"step 0 counts as 1", {0, 100, 0}, 33, 0.33, 33},
      {"negative range", {-50, 50, 1}, 0, 0.5, 0},
  };
  for (const auto& c : cases) {
    const double fraction = ui::SliderFractionOfValue(c.range, c.set);
    EXPECT_DOUBLE_EQ(fraction, c.fraction) << c.name;
    EXPECT_EQ(ui::SliderValueOfFraction(c.range, fraction), c.reads) << c.name;
  }
}

TEST(SliderMathTest, PixelOffsetsRoundTowardsTheMinimumEnd) {
  const struct {
    const char* name;
    SliderRange range;
    double fraction;
    int length;
    int offset;
  } cases[] = {
      {"0.7 of 111 rising", {0, 100, 1}, 0.7, 111, 78},
      {"0.7 of 111 falling", {100, 0, 1}, 0.7, 111, 77},
      {"half of 111: the track splits at 56", {0, 100, 1}, 0.5, 111, 56},
      {"thumb left is the value on a 100-pixel track", {0, 100, 1}, 0.37, 100, 37},
      {"start", {0, 100, 1}, 0.0, 111, 0},
      {"end", {0, 100, 1}, 1.0, 111, 111},
      {"second position 0.3 of 111", {0, 100, 1}, 0.3, 111, 33},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ui::SliderPixelOffset(c.range, c.fraction, c.length), c.offset) << c.name;
}

TEST(SliderMathTest, FractionAtAPointFollowsTheThumbCentre) {
  // The settings window's slider: 111 pixels wide with an 11-pixel thumb, so
  // the track is 100 pixels and x - 5 is the value in a 0 to 100 range.
  const struct {
    const char* name;
    SliderRange range;
    int x;
    int width;
    int thumb;
    double fraction;
  } cases[] = {
      {"centre on 30", {0, 100, 1}, 35, 111, 11, 0.30},
      {"left of the track", {0, 100, 1}, 2, 111, 11, 0.0},
      {"right of the track", {0, 100, 1}, 140, 111, 11, 1.0},
      {"step 10 rounds down", {0, 100, 10}, 62, 111, 11, 0.5},
      {"falling range", {100, 0, 1}, 75, 111, 11, 0.7},
      {"one-value range", {7, 7, 1}, 60, 111, 11, 0.0},
      {"thumb wider than the item", {0, 100, 1}, 11, 10, 20, 1.0},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(ui::SliderFractionAtPoint(c.range, c.x, c.width, c.thumb), c.fraction)
        << c.name;
}

}  // namespace
