#pragma once
// The instruments' memory from one second to the next: the course a
// second before (the rate of turn) and the distance run through the water
// since the start. One log per ship whose instruments speak.
//
//   InstrumentLog log;
//   log.second(vehicle, steady_now, settings);   // the readings of this second

#include <optional>

#include "fleet/vehicle.h"
#include "marine/instrument_readings.h"

namespace vadrel {

class InstrumentLog {
public:
    // The readings of `vehicle` moving as it does at the steady time `now`
    // (seconds); the first second turns at no rate and has run nothing. A
    // time that goes back starts the count of the turn again.
    InstrumentReadings second(const Vehicle& vehicle, double now, const InstrumentSettings& settings);
    // From the start again: no distance run, no course before.
    void reset() { last_.reset(); }

private:
    struct Last {
        double time = 0.0;
        double course = 0.0;
        double distance_nm = 0.0;
    };
    std::optional<Last> last_;
};

}  // namespace vadrel
