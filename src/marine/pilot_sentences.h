#pragma once
// What a chart plotter tells its autopilot, read from one NMEA 0183 line:
// $..APB (the heading to steer), $..RMB (the destination waypoint) and
// $..XTE (the cross-track error), any talker. Pure, no Qt.
//
//   $GPAPB,A,A,0.10,R,N,V,V,011,M,WP1,011,M,090,T*..   heading 090 true, towards WP1
//   $GPRMB,A,0.66,L,WP0,WP1,4417.00,N,01030.00,E,...,A*..  steer to 44 17 N 10 30 E
//   $GPXTE,A,A,0.67,L,N*..                             0.67 nautical miles off, steer left
//
// A line is taken only when it is whole: a "$", five letters of address,
// at most max_line characters, a checksum that matches (a line without one
// is refused: a torn or noisy line must never steer a ship), the fields its
// kind has, every status "A" (a "V" says the plotter's data are not valid),
// and every number readable. Anything else gives nothing.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "routes/geodesy.h"

namespace vadrel {

// Past NMEA's 82 characters, for plotters that pad their fields.
inline constexpr std::size_t max_pilot_line = 200;

// The cross-track error: how far off the track, and which way to steer back.
struct CrossTrack {
    double nautical_miles = 0.0;
    char steer = 'R';  // 'L' or 'R'
    bool operator==(const CrossTrack&) const = default;
};

struct PilotSentence {
    enum class Kind { apb, rmb, xte };
    Kind kind = Kind::apb;
    // APB: the heading to steer (or, when that is empty, the bearing to the
    // destination), degrees 0 .. 360, and whether it is magnetic.
    std::optional<double> heading;
    bool magnetic = false;
    // RMB: the destination waypoint.
    std::optional<GeoPoint> destination;
    std::string waypoint;  // APB's and RMB's destination id, printable
    std::optional<CrossTrack> cross_track;
    bool operator==(const PilotSentence&) const = default;
};

// The line without its line end (a trailing CR is allowed); nothing when it
// is not one of the three or is refused.
std::optional<PilotSentence> read_pilot_sentence(std::string_view line);

// A heading given as magnetic made true with the variation (degrees, east
// positive); without one, taken as true. 0 .. 360.
double true_heading(double heading, bool magnetic, std::optional<double> variation);

}  // namespace vadrel
