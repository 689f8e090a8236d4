#pragma once
// When a transponder sends: its position at the interval ITU-R M.1371-5
// gives for its class, speed and manoeuvre, its static data at start and
// every 6 minutes. One Transponder a vehicle; the steady time is passed in.
//
//   Transponder t;
//   Transponder::Due due = t.due(now, AisClass::a, {12.0, 45.0, false});
//   due.position, due.static_data    // true at the first call
//   t.next_channel();                // 'A', then 'B', 'A', ...
//
// Class A (Table 1): at anchor or moored and not faster than 3 kn, 3 min;
// 0 to 14 kn, 10 s (changing course 3 1/3 s); over 14 up to 23 kn, 6 s
// (changing course 2 s); over 23 kn, 2 s. "Changing course": the course
// differs by more than 5 degrees from its mean over the last 30 s (the
// rule class A transponders apply, IEC 61993-2). Class B "CS": 30 s over
// 2 kn, 3 min at 2 kn or less.
//
// The reports keep to their nominal times: each is sent at the call (a
// tick) nearest its time, so a 3 1/3 s interval comes as 3, 3 and 4
// seconds of ticks, and a tick a few milliseconds early or late moves
// nothing. An interval that becomes shorter takes effect at once.

#include <array>
#include <optional>

#include "ais/identity.h"

namespace vadrel {

// What the schedule needs of the vehicle at this moment.
struct AisMotion {
    double knots = 0.0;   // speed over ground
    double course = 0.0;  // course over ground, degrees
    bool moored = false;  // navigational status moored (or at anchor)
};

// The reporting interval in seconds.
double reporting_interval(AisClass ais_class, const AisMotion& motion, bool changing_course);

inline constexpr double static_interval = 360.0;
inline constexpr double course_window = 30.0;
inline constexpr double course_change_limit = 5.0;

class Transponder {
public:
    struct Due {
        bool position = false;
        bool static_data = false;
    };
    // What is due at the steady time `now` (seconds), a call each tick.
    // Remembers what it says is due as sent.
    Due due(double now, AisClass ais_class, const AisMotion& motion);
    // The static data once more at the next call (its fields changed).
    void amend() { last_static_.reset(); }
    // The channel of the next transmission: A and B in turn.
    char next_channel();
    // Whether the course is changing, as the last call found.
    bool changing_course() const { return changing_; }

private:
    bool course_changing(double now, double course);

    std::optional<double> last_position_;  // nominal time of the last report
    std::optional<double> last_static_;
    struct Sample {
        double at = 0.0;
        double north = 0.0;  // the course as a unit vector
        double east = 0.0;
    };
    std::array<Sample, 32> courses_{};  // the last calls' courses, oldest overwritten
    std::size_t next_sample_ = 0;
    std::size_t samples_ = 0;
    bool changing_ = false;
    bool channel_b_ = false;
};

}  // namespace vadrel
