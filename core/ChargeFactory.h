// Which class and priority belong to a charge kind. Stateless.
#pragma once

#include "Charge.h"
#include "OvWindows.h"

#include <cstdint>

// The charge object of a kind; none for a kind whose charge is not there.
ChargePtr CreateChargeObject(uint32_t kind);
// Smaller runs first; 0 for anything but the five kinds.
uint32_t ChargePriority(uint32_t kind);

// GetDiskFreeSpaceExA, unless OV_TEST_CARD_SPACE ("<total>,<free>" in
// bytes) names the card's size and room; a value that does not read as two
// numbers is ignored. The factory's map charge asks it when the variable is
// set.
BOOL WINAPI CardSpaceOfEnvironment(LPCSTR root, PULARGE_INTEGER free_to_caller,
                                   PULARGE_INTEGER total, PULARGE_INTEGER total_free);
