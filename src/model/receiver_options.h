#pragma once
// What the simulated receiver sends beyond the $GPRMC of the defaults, as the
// operator switches it in the menu "Opzioni" or on the command line. With
// every option off the sentences are byte for byte those of the defaults.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vadrel {

// Timed losses of the fix, "perdita-fix=DURATA/OGNI": the last `duration`
// seconds of every `every` seconds of the run. 30/300: a fix for 270 s, then
// 30 s without, and again. {0, 0}: none.
struct FixOutage {
    std::int64_t duration = 0;  // seconds, 1 .. every - 1
    std::int64_t every = 0;     // seconds
    bool operator==(const FixOutage&) const = default;
};

// Faults put into the output on purpose, so that a client under test can be
// watched coping with them. The same seed gives the same faults.
struct Faults {
    bool enabled = false;
    double loss = 0.0;   // share of seconds whose sentences are not sent at all
    double checksum = 0.0;  // share of sentences sent with a wrong checksum
    double cut_short = 0.0;    // share of sentences cut short
    std::uint64_t seed = 1;  // also of the position noise (Cielo::rumore)
    FixOutage fix_outage{};  // the fix lost for a while, again and again
    bool operator==(const Faults&) const = default;
};

// An obstruction, as "a building to the west": the azimuths from `from`
// clockwise to `to` (through north when from > to; 0 to 360 is all round),
// up to `below` degrees of elevation.
struct Obstruction {
    double from = 0.0;
    double to = 0.0;
    double below = 0.0;
    bool operator==(const Obstruction&) const = default;
};

// The talker of the full set: GP for a GPS receiver, GN for one that
// combines constellations.
enum class Talker : std::uint8_t { gp, gn };

// The sentences the full set can send, by their names.
enum class SentenceKind : std::uint8_t { rmc, gga, vtg, gsa, gsv, zda, gll, hdt };
inline constexpr std::array<std::string_view, 8> sentence_names{"RMC", "GGA", "VTG", "GSA",
                                                                "GSV", "ZDA", "GLL", "HDT"};

inline constexpr double default_elevation_mask = 5.0;  // degrees

// The receiver under a sky, for the full set. Every field at its default
// gives the bytes the full set has always had (fixed satellites and
// dilutions, one fix a second, GP).
struct SkyOptions {
    bool satellites = false;  // the satellites from their orbits, the fix from their geometry
    double mask = default_elevation_mask;
    std::vector<Obstruction> obstructions;
    double noise = 0.0;  // metres of position noise under an open sky (0: none)
    int rate = 1;    // fixes a second: 1, 2, 5 or 10 (GPS standard mode)
    Talker talker = Talker::gp;
    std::vector<SentenceKind> sentences;  // the full set's sentences in order; empty: the default set
    bool operator==(const SkyOptions&) const = default;
};

struct ReceiverOptions {
    bool utc = false;             // time and date in UTC instead of local time
    bool real_motion = false;      // the vehicle's speed and course instead of 0.0 and 000.0
    bool full_set = false;  // $GPGGA, $GPVTG, $GPGSA, $GPZDA after the $GPRMC; live ones in the radio burst
    double altitude = 0.0;           // metres above sea level, for $GPGGA
    bool no_fix = false;       // the sentences of a receiver that has lost the signal
    Faults faults;
    SkyOptions sky_options{};
    bool operator==(const ReceiverOptions&) const = default;
};

// What a receiver of today sends, in one step: time in UTC, the real speed
// and course, the full set; every other option as it is.
inline ReceiverOptions modern_receiver(ReceiverOptions options) {
    options.utc = true;
    options.real_motion = true;
    options.full_set = true;
    return options;
}

// The altitudes the option takes, in metres.
inline constexpr double min_altitude = -1000.0;
inline constexpr double max_altitude = 100000.0;

// Why these fault rates cannot be used, in Italian; "" when they can. Each
// rate is a share from 0 to 1; a sentence is either given a wrong checksum
// or cut, never both, so those two add up to 1 at most.
std::string faults_problem(const Faults& faults);
// Why this altitude cannot be used, in Italian; "" when it can.
std::string altitude_problem(double altitude);

// The options switched on, in Italian, for a line on standard error:
// "ora UTC, velocità e rotta reali, ..."; "" when none is.
std::string describe_options(const ReceiverOptions& chosen_options);

// SplitMix64: a small generator whose sequence is the same with every
// compiler and library (the standard distributions are not), so a seed
// repeats a run's faults exactly.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed = 1) : state_(seed) {}
    std::uint64_t next();
    // The next 53 bits as a number in [0, 1).
    double uniform();
    // A whole number in [0, n), n > 0.
    std::uint64_t below(std::uint64_t n);

private:
    std::uint64_t state_;
};

}  // namespace vadrel
