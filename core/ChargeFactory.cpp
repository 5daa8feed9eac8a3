// The charge kinds' classes and priorities; see ChargeFactory.h.
#include "ChargeFactory.h"

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
  return charge;
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
