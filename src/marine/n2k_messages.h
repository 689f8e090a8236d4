#pragma once
// NMEA 2000 messages: each PGN's data bytes from plain values, and the line
// of the plain text format a CAN logger writes (one reassembled message a
// line, its time, priority, PGN, source, destination, length and bytes).
//
//   n2k::Message m = n2k::position_rapid(44.0113117, 10.1284783);
//   n2k::plain_line(m, utc_ms);
//   // "2026-12-07T10:00:00.000Z,2,129025,1,255,8,fd,19,3b,1a,df,5e,09,06"
//
// Fields little-endian at their bit offsets; reserved bits 1; a value that
// is missing (nullopt, not finite) is the field's "not available": all ones
// unsigned, 0x7F..FF signed. A value beyond the field's range is held at its
// largest (or smallest) valid value. Units in: degrees, knots, metres,
// degrees Celsius; the PGNs carry radians, m/s and kelvin. No Qt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ais/transmitter.h"

namespace vadrel::n2k {

// A sequence id (SID) ties the messages of one moment, 0 to 252; 255: none.
inline constexpr std::uint8_t no_sid = 255;
inline constexpr std::uint8_t highest_sid = 252;

struct Message {
    std::uint32_t pgn = 0;
    std::uint8_t priority = 2;
    std::uint8_t source = 1;         // vadrel's address on the bus
    std::uint8_t destination = 255;  // everyone
    std::vector<std::uint8_t> data;
    bool operator==(const Message&) const = default;
};

// "2026-12-07T10:00:00.000Z,2,129025,1,255,8,fd,19,..." at `utc_ms` since
// 1970; a fast-packet message whole, its length the full length.
std::string plain_line(const Message& message, std::int64_t utc_ms);

// 129025 Position, Rapid Update: 1e-7 degrees.
Message position_rapid(double latitude, double longitude);
// 129026 COG & SOG, Rapid Update: true course over ground.
Message cog_sog_rapid(std::uint8_t sid, std::optional<double> course, std::optional<double> knots);

// 129029 GNSS Position Data (43 bytes, no reference stations).
struct GnssPosition {
    std::int64_t utc_ms = 0;  // the fix's instant: its date and time of day
    std::optional<double> latitude;   // degrees, 1e-16
    std::optional<double> longitude;
    std::optional<double> altitude;   // metres
    bool fix = false;                 // method: GNSS fix, else no GNSS
    int satellites = 0;
    std::optional<double> hdop;
    std::optional<double> pdop;
};
Message gnss_position(std::uint8_t sid, const GnssPosition& position);

// 127250 Vessel Heading, true; deviation and variation east positive.
Message vessel_heading(std::uint8_t sid, std::optional<double> heading, std::optional<double> deviation = std::nullopt,
                       std::optional<double> variation = std::nullopt);

// 130306 Wind Data. The reference as NMEA 2000 numbers it.
enum class WindReference : std::uint8_t {
    true_north = 0,  // the direction it blows from, ground referenced to north
    magnetic = 1,
    apparent = 2,    // relative to the bow, as the ship feels it
    true_boat = 3,   // true wind, relative to the bow
    true_water = 4,
};
Message wind_data(std::uint8_t sid, std::optional<double> knots, std::optional<double> angle,
                  WindReference reference);

// 128267 Water Depth below the transducer; the offset positive from the
// transducer to the water line, negative to the keel.
Message water_depth(std::uint8_t sid, std::optional<double> depth, double offset);
// 128259 Speed, water referenced (ground referenced not available).
Message water_speed(std::uint8_t sid, std::optional<double> knots);
// 130316 Temperature, Extended Range: sea temperature, instance 0.
Message water_temperature(std::uint8_t sid, std::optional<double> celsius);

// 129038 AIS Class A Position Report, 129039 AIS Class B Position Report:
// the fields of the report sent (message 1 or 18), heard on its channel
// (or sent, the own ship's).
Message ais_position(const AisReportSent& sent);
// 129794 AIS Class A Static and Voyage Related Data (message 5). The
// estimated time of arrival, which has no year, is taken in the year of
// `utc_ms`.
Message ais_static(const AisStaticSent& sent, std::int64_t utc_ms);
// 129809 and 129810 AIS Class B Static Data, parts A (the name) and B (the
// type, the maker's id, the call sign, the size): message 24's two parts.
Message ais_static_name(const AisStaticSent& sent);
Message ais_static_type(const AisStaticSent& sent);

}  // namespace vadrel::n2k
