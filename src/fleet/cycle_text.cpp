#include "cycle_text.h"

#include "fleet/fleet.h"
#include "model/numbers.h"

namespace vadrel {

int vehicles_in_cycle(const std::string& text) {
    return int16_from_text(text, NumberReading::leading())
        .value_or(leading_number(text) > 0 ? Fleet::largest_cycle + 1 : 0);
}

}  // namespace vadrel
