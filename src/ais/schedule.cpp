#include "ais/schedule.h"

#include <cmath>

namespace vadrel {

namespace {

constexpr double pi = 3.14159265358979323846;
// Half a tick: a report is sent at the tick nearest its nominal time.
constexpr double tick_tolerance = 0.5;

double radians(double degrees) { return degrees * pi / 180.0; }

}  // namespace

double reporting_interval(AisClass ais_class, const AisMotion& m, bool changing_course) {
    if (ais_class == AisClass::b) return m.knots > 2.0 ? 30.0 : 180.0;
    if (m.moored) return m.knots > 3.0 ? 10.0 : 180.0;
    if (m.knots > 23.0) return 2.0;
    if (m.knots > 14.0) return changing_course ? 2.0 : 6.0;
    return changing_course ? 10.0 / 3.0 : 10.0;
}

bool Transponder::course_changing(double now, double course) {
    // The mean of the earlier courses of the window, as a direction.
    double north = 0.0, east = 0.0;
    std::size_t counted = 0;
    for (std::size_t i = 0; i < samples_; ++i) {
        const Sample& s = courses_[i];
        if (now - s.at >= course_window || s.at > now) continue;
        north += s.north;
        east += s.east;
        ++counted;
    }
    courses_[next_sample_] = {now, std::cos(radians(course)), std::sin(radians(course))};
    next_sample_ = (next_sample_ + 1) % courses_.size();
    if (samples_ < courses_.size()) ++samples_;
    if (counted == 0) return false;
    // Courses that cancel out have no mean: the vehicle is surely turning.
    const double tiny = 1e-9 * static_cast<double>(counted);
    if (north * north + east * east < tiny * tiny) return true;
    const double mean = std::atan2(east, north) * 180.0 / pi;
    double difference = std::fabs(std::fmod(course - mean, 360.0));
    if (difference > 180.0) difference = 360.0 - difference;
    return difference > course_change_limit;
}

Transponder::Due Transponder::due(double now, AisClass ais_class, const AisMotion& motion) {
    Due due;
    if (!std::isfinite(now)) return due;  // no time, no schedule
    changing_ = ais_class == AisClass::a && course_changing(now, motion.course);
    const double interval = reporting_interval(ais_class, motion, changing_);
    // A time before the last report (a caller's clock that went back) starts the schedule again.
    if (last_position_ && now < *last_position_ - tick_tolerance) last_position_.reset();
    if (last_static_ && now < *last_static_ - tick_tolerance) last_static_.reset();
    if (!last_position_ || now >= *last_position_ + interval - tick_tolerance) {
        due.position = true;
        // On its nominal time, unless that is more than half a tick away
        // (the first report, a clock that jumped, an interval just shortened).
        const double nominal = last_position_ ? *last_position_ + interval : now;
        last_position_ = std::fabs(nominal - now) <= tick_tolerance ? nominal : now;
    }
    if (!last_static_ || now >= *last_static_ + static_interval - tick_tolerance) {
        due.static_data = true;
        const double nominal = last_static_ ? *last_static_ + static_interval : now;
        last_static_ = std::fabs(nominal - now) <= tick_tolerance ? nominal : now;
    }
    return due;
}

char Transponder::next_channel() {
    const char channel = channel_b_ ? 'B' : 'A';
    channel_b_ = !channel_b_;
    return channel;
}

}  // namespace vadrel
