#pragma once
// Threats to the receiver, put into each second's sentences (SecondEffects):
//
//   spoofing drift: the position sent moves away from the true one at the
//   drift's speed and course, counted from its start; the speed and course
//   sent stay the true ones, and with the satellites from their orbits the
//   signal figures are all alike (one transmitter sends every satellite);
//
//   jamming, over its duration: in the first third the signal figures fall
//   by up to 15 dB and the weak satellites are lost; in the second third
//   only three are heard, the strongest whose geometry gives a 2D fix;
//   in the last third none is (the fix is lost). After it all is as before.
//
// Every vehicle's receiver suffers them alike. Times are the second's
// own (SentenceTime::utc_ms), so each fix of a second tells the same; or,
// once told with at(), the scenario's elapsed scale (a leap second is one
// second of a jamming's length and of a drift's way).
//
//   Threats threats;
//   threats.drift({10, 0}, start_ms);   // 10 m/s to the north
//   threats.jam(30, start_ms);
//   transmitter.set_effects(&threats);

#include <cstdint>
#include <optional>

#include "scenario/scenario.h"
#include "sky/sky.h"
#include "tick/second_effects.h"

namespace vadrel {

// The figure every satellite carries under a spoofer.
inline constexpr int spoofed_snr = 45;
// What jamming takes off the figures at most, and below which a satellite is lost.
inline constexpr int jamming_drop_db = 15;
inline constexpr int weakest_heard_snr = 25;

// The sky under jamming, `share` of its way through (0 .. 1).
Sky jammed_sky(Sky sky, double share);

class Threats : public SecondEffects {
public:
    // From utc_ms on; a speed of 0 ends the drift.
    void drift(const Drift& drift, std::int64_t utc_ms);
    void jam(double seconds, std::int64_t utc_ms);
    void affect(SecondOfVehicle& second, std::size_t n) override;
    // The instant of the seconds to come, in ms on the scale the drift and
    // the jamming were started on (the player's atomic one), until told again.
    void at(std::int64_t ms) { now_ms_ = ms; }

    bool drifting() const { return drift_.has_value(); }
    bool jamming(std::int64_t utc_ms) const;

private:
    struct Since {
        Drift drift;
        std::int64_t start_ms = 0;
    };
    struct Jamming {
        std::int64_t start_ms = 0;
        std::int64_t length_ms = 0;
    };
    std::optional<Since> drift_;
    std::optional<Jamming> jamming_;
    std::optional<std::int64_t> now_ms_;
};

}  // namespace vadrel
