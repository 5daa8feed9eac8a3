// The two settings that the core saves: the time of the last automatic music
// charge and the measured line speed. One object serves one thread.
#pragma once

#include "OstrovelleLite/OstrovelleConfig.h"

namespace core {

class COstrovelleConfig final : public ::COstrovelleConfig {
 public:
  // [Music] LastAutoCharge as "%04d%02d%02d%02d%02d%02d".
  bool SaveLastAutoCharge(const SYSTEMTIME& date);
  // [Map] SpeedOfLine as "%d".
  bool SaveSpeedOfLine(int value);
};

}  // namespace core
