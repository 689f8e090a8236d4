#include "start_values.h"

#include "fleet/fleet.h"
#include "model/numbers.h"

namespace vadrel {

Vehicle start_vehicle() {
    Vehicle v;
    v.lat = arc_seconds_of({44, 2, 0, false});
    v.lon = arc_seconds_of({10, 8, 0, false});
    v.unit = SpeedUnit::kmh;
    return v;
}

int vehicles_in_cycle(const std::string& text) {
    return int16_from_text(text, NumberReading::leading())
        .value_or(leading_number(text) > 0 ? largest_cycle + 1 : 0);
}

}  // namespace vadrel
