// The charge kinds' classes and priorities; see ChargeFactory.h.
#include "ChargeFactory.h"

#include <string>

#include "ChargeKind.h"
#include "EnvironmentOverrides.h"
#include "info/InfoChargeTidewheel.h"
#include "info/InfoChargeWeather.h"
#include "map/MapCharge.h"
#include "music/MusicCharge.h"
#include "probe/ProbeUpload.h"

namespace {

// Tests that run a real core set OV_TEST_NO_PHASE_PAUSE (as they set the
// data root), so that a map charge does not sit through the pauses meant
// for a person watching the main program.
ChargePtr CreateMapCharge() {
  CMapCharge* map = new CMapCharge();
  ChargePtr charge(map);
  if (GetEnvironmentOverride(kOverrideNoPhasePause) == "1") map->SetPhasePause(0);
  if (!GetEnvironmentOverride(kOverrideCardSpace).empty()) {
    map->CardUpkeep().SetDiskSpaceSource(&CardSpaceOfEnvironment);
  }
  return charge;
}

bool ReadCardSpace(const std::string& text, uint64_t* total, uint64_t* free) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  const std::string parts[2] = {text.substr(0, comma), text.substr(comma + 1)};
  uint64_t values[2] = {};
  for (int i = 0; i < 2; ++i) {
    if (parts[i].empty() || parts[i].find_first_not_of("0123456789") != std::string::npos ||
        parts[i].size() > 19) {
      return false;
    }
    values[i] = std::stoull(parts[i]);
  }
  *total = values[0];
  *free = values[1];
  return true;
}

}  // namespace

ChargePtr CreateChargeObject(uint32_t kind) {
  // The charges join here as they are built.
  switch (kind) {
    case CHARGE_KIND_PROBE:
      return ChargePtr(new CProbeUpload());
    case CHARGE_KIND_MAP:
      return CreateMapCharge();
    case CHARGE_KIND_TIDEWHEEL:
      return ChargePtr(new CInfoChargeTidewheel());
    case CHARGE_KIND_WEATHER:
      return ChargePtr(new CInfoChargeWeather());
    case CHARGE_KIND_MUSIC:
      return ChargePtr(new CMusicCharge());
    default:
      return ChargePtr();
  }
}

uint32_t ChargePriority(uint32_t kind) {
  switch (kind) {
    case CHARGE_KIND_PROBE:
      return 0x1;
    case CHARGE_KIND_MAP:
      return 0x10;
    case CHARGE_KIND_TIDEWHEEL:
      return 0x1000;
    case CHARGE_KIND_WEATHER:
      return 0x100000;
    case CHARGE_KIND_MUSIC:
      return 0x1000000;
    default:
      return 0;
  }
}

BOOL WINAPI CardSpaceOfEnvironment(LPCSTR root, PULARGE_INTEGER free_to_caller,
                                   PULARGE_INTEGER total, PULARGE_INTEGER total_free) {
  uint64_t size = 0;
  uint64_t room = 0;
  if (!ReadCardSpace(GetEnvironmentOverride(kOverrideCardSpace), &size, &room)) {
    return GetDiskFreeSpaceExA(root, free_to_caller, total, total_free);
  }
  if (free_to_caller) free_to_caller->QuadPart = room;
  if (total) total->QuadPart = size;
  if (total_free) total_free->QuadPart = room;
  return TRUE;
}
