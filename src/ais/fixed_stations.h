#pragma once
// The AIS stations that stand in one place: aids to navigation (buoys) and
// a search and rescue transmitter in test (SART), each at its own rhythm.
//
//   FixedStations fixed;
//   fixed.set({{"BOA NORD", 44 * 3600.0, 9 * 3600.0}}, Sart{44 * 3600.0, 9.01 * 3600.0});
//   for (const std::string& s : fixed.second(time)) bytes += s + "\r\n";
//
// A buoy sends message 21 (type 1, a reference point; not virtual) at the
// first second and then every 3 minutes, as real AtoN stations do; its
// MMSI is 990000001 + its place in the list (99: an aid to navigation, with
// no country's MID). The SART (MMSI 970010001 unless set) sends a burst of
// eight message 1 reports (navigational status 14, speed 0, course and
// heading not available) once a minute, four on each channel, and message
// 14 "SART TEST" with the first burst and every 4 minutes after it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ais/sentences.h"
#include "ais/transmitter.h"

namespace vadrel {

struct Buoy {
    std::string name;  // as written (UTF-8): sent as six-bit text, 34 characters at most
    double lat = 0.0;  // seconds of arc, north and east positive
    double lon = 0.0;
    bool operator==(const Buoy&) const = default;
};

inline constexpr std::uint32_t first_aid_mmsi = 990000001;
inline constexpr std::uint32_t default_sart_mmsi = 970010001;

struct Sart {
    double lat = 0.0;  // seconds of arc
    double lon = 0.0;
    std::uint32_t mmsi = default_sart_mmsi;
    bool operator==(const Sart&) const = default;
};

// The stations on the air: the buoys in order (the first MMSI 990000001), the SART if on.
struct StationsOnAir {
    std::vector<Buoy> buoys;
    std::optional<Sart> sart;
    bool operator==(const StationsOnAir&) const = default;
};

// At most this many buoys: each is a message 21 every 3 minutes.
inline constexpr std::size_t most_buoys = 50;

inline constexpr double aid_interval = 180.0;
inline constexpr double sart_interval = 60.0;
inline constexpr int sart_burst = 8;
inline constexpr double sart_text_interval = 240.0;
inline constexpr const char* sart_test_text = "SART TEST";

// Why a buoy's name cannot be sent: empty, longer than 34 characters, or
// with a character six-bit text has not. Field "boa".
std::optional<Refusal> buoy_name_problem(const std::string& name);

// Why the stations cannot be sent: a buoy's name, a position off the globe
// (field "boa" or "sart"), more than most_buoys buoys; nullopt when they can.
std::optional<Refusal> stations_problem(const StationsOnAir& stations);

class FixedStations {
public:
    // The stations from now on; each starts again (sends at the next second).
    void set(std::vector<Buoy> buoys, std::optional<Sart> sart);
    bool empty() const { return buoys_.empty() && !sart_; }
    StationsOnAir stations() const { return {buoys_, sart_}; }
    // The sentences due at this second (the steady time says when).
    std::vector<std::string> second(const AisTime& time);
    // Every buoy's report as of the last second, for a receiver that has
    // just begun to listen; the schedule stays as it is.
    std::vector<std::string> aid_sentences() const;

private:
    std::vector<std::string> aids(ais::Framer& framer) const;
    void burst(std::vector<std::string>& out);
    char next_channel();

    std::vector<Buoy> buoys_;
    std::optional<Sart> sart_;
    std::optional<double> last_aids_;
    std::optional<double> last_burst_;
    std::optional<double> last_text_;
    AisTime time_;
    bool channel_b_ = false;
    ais::Framer framer_;
};

}  // namespace vadrel
