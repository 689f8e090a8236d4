#pragma once
// What the simulator starts with, by one rule for both programs: the
// vehicle the panel shows at start-up, and the multi-user cycle a text
// asks for (the panel's "Numero di mezzi mobili", --mezzi).

#include <string>

#include "fleet/vehicle.h"

namespace vadrel {

// The current vehicle before vadrel.cnf is read: 44° 2' N, 10° 8' E (the
// start-up texts 44° 1,7775' and 10° 8,0623' as the panel's whole-minute
// boxes read them), still, course 0, in km/h.
Vehicle start_vehicle();

// The number of vehicles a text of "Numero di mezzi mobili" asks for: its
// leading number, rounded half to even; beyond the 16-bit range, past the
// largest cycle when large and 0 when very negative.
int vehicles_in_cycle(const std::string& text);

}  // namespace vadrel
