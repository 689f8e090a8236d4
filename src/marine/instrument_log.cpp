#include "instrument_log.h"

namespace vadrel {

InstrumentReadings InstrumentLog::second(const Vehicle& vehicle, double now, const InstrumentSettings& settings) {
    const GroundMotion ground = ground_motion(vehicle);
    ShipMotion motion{ground.course, ground.kmh / km_per_nautical_mile, ground.course, 0.0, 0.0};
    if (last_) {
        motion.distance_run_nm = last_->distance_nm;
        if (now > last_->time) {
            motion.previous_course = last_->course;
            motion.elapsed_seconds = now - last_->time;
        }
    }
    const InstrumentReadings readings = instrument_readings(motion, settings);
    last_ = Last{now, ground.course, readings.distance_run_nm};
    return readings;
}

}  // namespace vadrel
