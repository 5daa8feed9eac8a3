// Which class and priority belong to a charge kind. Stateless.
#pragma once

#include "Charge.h"

#include <cstdint>

// The charge object of a kind; none for a kind whose charge is not there.
ChargePtr CreateChargeObject(uint32_t kind);
// Smaller runs first; 0 for anything but the five kinds.
uint32_t ChargePriority(uint32_t kind);
