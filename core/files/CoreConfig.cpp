// The settings the core saves; see CoreConfig.h.
#include "files/CoreConfig.h"

#include "Log.h"
#include "StringUtil.h"

namespace core {

bool COstrovelleConfig::SaveLastAutoCharge(const SYSTEMTIME& date) {
  _last_auto_charge = date;
  if (WriteKey("Music", "LastAutoCharge", FormatDate(date))) return true;
  OV_LOG(kLogError, "COstrovelleConfig::SaveLastAutoCharge - error[%08X]",
         static_cast<unsigned>(GetLastError()));
  return false;
}

bool COstrovelleConfig::SaveSpeedOfLine(int value) {
  _speed_of_line = value;
  return WriteKey("Map", "SpeedOfLine", FormatString("%d", value));
}

}  // namespace core
