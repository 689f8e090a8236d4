#pragma once
// The errors of a real receiver, put on the true position of a vehicle: a
// noise that wanders, and timed losses of the fix. The true position stays
// the vehicle's; only what the sentences report moves.
//
//   PositionNoise noise(5.0, seed, vehicle);          // 5 m under an open sky
//   const Offset e = noise.step(utc_ms, sky);          // each fix, in order
//   const ArcPosition shown = displaced(lat, lon, e);  // what the sentences say
//
// The noise is a first-order Gauss-Markov walk on each axis (east, north,
// up): z' = phi z + sqrt(1 - phi²) w with phi = e^(-dt/tau), tau one
// second, dt the time since the previous step, w a normal deviate. Its
// standard deviation is 1 and two fixes a second apart correlate by e^-1
// whatever the rate (ten steps of 0.1 s make one of 1 s), and its value
// drifts over a second or so, as a receiver's does, giving a client's filter
// something to filter. Each axis of the error is the walk times sigma, scaled by how much
// the fix's geometry dilutes the precision beyond what the open sky at that
// place and time would (Sky::open_sky): HDOP / open HDOP east and north,
// VDOP / open VDOP up. So under an open sky the positions scatter by sigma
// on each axis, whatever the hour (the open sky's own HDOP wanders between
// about 0.7 and 1.6 over a day); a building or a high mask that doubles the
// HDOP doubles the error; in 2D (the altitude held) nothing moves up; no
// fix, no error.
//
// The same seed and vehicle give the same errors on every machine: the
// deviates come from SplitMix64 as the sum of twelve uniform draws less six
// (unit variance), and the walk uses only the operations IEEE 754 rounds
// exactly (no library function whose last bit differs between systems:
// the step factor has its own series, decay).

#include <cstddef>
#include <cstdint>
#include <optional>

#include "model/receiver_options.h"
#include "sky/sky.h"

namespace vadrel {

// Metres, from the true position.
struct Offset {
    double east = 0.0;
    double north = 0.0;
    double up = 0.0;
    bool operator==(const Offset&) const = default;
};

class PositionNoise {
public:
    static constexpr double correlation_s = 1.0;

    // sigma: metres on each axis under an open sky (0: no noise). Each
    // vehicle's walk is its own, drawn from the seed and its index.
    PositionNoise(double sigma, std::uint64_t seed, std::size_t vehicle);

    // The error at `utc_ms`, the walk stepped from its previous time: the
    // same time again gives the same error; a first step, or a time that
    // goes back, starts the walk afresh.
    Offset step(std::int64_t utc_ms, const Sky& sky);

private:
    double deviate();

    double sigma_;
    SplitMix64 dice_;
    double walk_[3] = {0.0, 0.0, 0.0};
    std::optional<std::int64_t> last_ms_;
};

// e^-x for x >= 0 (1 below), the same to the last bit on every machine:
// the step factor of the walk.
double decay(double x);

// A position in seconds of arc, north and east positive, as the fleet keeps it.
struct ArcPosition {
    double lat = 0.0;
    double lon = 0.0;
};

// The position `offset` metres east and north of lat, lon (seconds of arc),
// on WGS 84's radii of curvature there; past a pole it comes down the far
// side, past 180 it goes round.
ArcPosition displaced(double lat, double lon, const Offset& offset);

// Timed losses of the fix (FixOutage, model/receiver_options.h): the last
// `duration` seconds of every `every` seconds, counted from an origin the
// caller keeps (the start of the run), so the run starts with a fix.
bool fix_lost(const FixOutage& outage, std::int64_t origin_ms, std::int64_t now_ms);

}  // namespace vadrel
