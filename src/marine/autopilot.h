#pragma once
// The autopilot: what the plotter last asked (APB's heading to steer, or
// the bearing to RMB's waypoint) and the turn towards it, one step a tick.
// Pure, no Qt, no clock of its own: the caller passes the program's steady
// seconds, so at a clock rate of x10 it turns ten times as much per real
// second.
//
//   Autopilot pilot;
//   pilot.set_on(true);
//   pilot.hear("$GPAPB,...,090,T*..", "tcp 127.0.0.1:40312", now);
//   std::optional<double> course = pilot.step(vehicle_course, here, now);   // 003 after one second at 3/s
//
// It turns the short way round at turn_rate() degrees a second and stops
// on the asked heading exactly. When an APB has been heard lately, an RMB
// does not override it (plotters send both; APB carries the plotter's own
// heading to steer). When the sentences stop it keeps the last heading
// asked: an RMB's bearing is taken from where the ship is while RMBs come,
// and frozen when they stop.

#include <optional>
#include <string>
#include <string_view>

#include "marine/pilot_sentences.h"
#include "os/result.h"

namespace vadrel {

class Autopilot {
public:
    static constexpr double default_turn_rate = 3.0;  // degrees a second
    static constexpr double most_turn_rate = 180.0;
    // Without a sentence for this long the sentences have stopped.
    static constexpr double silence_seconds = 5.0;
    // An APB heard this recently keeps an RMB from steering.
    static constexpr double apb_precedence_seconds = 5.0;

    bool on() const { return on_; }
    // Off: nothing is heard and step() changes nothing; on again: it waits
    // for a new sentence.
    void set_on(bool on);
    double turn_rate() const { return turn_rate_; }
    // Refused outside 0 (excluded) .. most_turn_rate.
    std::optional<Refusal> set_turn_rate(double degrees_per_second);
    // East positive; nothing: a magnetic heading is taken as true.
    std::optional<double> variation() const { return variation_; }
    std::optional<Refusal> set_variation(std::optional<double> degrees);

    // One line from `source`; true when it was taken (the pilot is on and
    // the line is an APB, RMB or XTE read whole).
    bool hear(std::string_view line, std::string_view source, double now);
    // The course the vehicle should have after the time since the last
    // step, from its course now and its position; nothing when it keeps its
    // course (off, nothing asked, or on the heading already).
    std::optional<double> step(double course, GeoPoint here, double now);

    // The heading asked now (true, 0 .. 360); nothing before the first sentence.
    std::optional<double> asked() const { return asked_; }
    const std::string& waypoint() const { return waypoint_; }
    const std::string& source() const { return source_; }
    // Seconds since the last sentence taken; nothing when none was.
    std::optional<double> since_last(double now) const;
    bool silent(double now) const;
    const std::optional<CrossTrack>& cross_track() const { return cross_track_; }

    // "Pilota: rotta 090 verso WP1", "Pilota: spento",
    // "Pilota: nessuna frase da 12 s, tiene 090", "Pilota: in attesa di frasi".
    std::string status(double now) const;

private:
    bool on_ = false;
    double turn_rate_ = default_turn_rate;
    std::optional<double> variation_;
    std::optional<double> asked_;
    std::optional<GeoPoint> destination_;  // steering to RMB's waypoint
    std::string waypoint_;
    std::string source_;
    std::optional<CrossTrack> cross_track_;
    std::optional<double> last_heard_;
    std::optional<double> last_apb_;
    std::optional<double> last_step_;
};

// A course within 0 .. 360 (excluded); a hair below 360, as a bearing's
// rounding gives, is 0, so the sentences never say 360.0.
double within_compass(double degrees);

// The course after turning from `course` towards `target` by at most
// `most` degrees, the short way round (to starboard when opposite);
// `target` itself when within reach. 0 .. 360.
double turned_course(double course, double target, double most);

}  // namespace vadrel
