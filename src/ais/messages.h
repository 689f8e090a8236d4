#pragma once
// The AIS messages a transponder sends about itself, field by field as
// ITU-R M.1371-5 lays them out: each builder takes the fields as numbers in
// the message's own units and gives the payload.
//
//   PositionReport r;                 // every field "not available"
//   r.mmsi = 477553000; r.status = NavigationalStatus::moored; ...
//   class_a_position(r).armoured();   // message 1: 168 bits, 28 characters
//
// Message 1 (class A position), 18 (class B "CS" position), 5 (class A
// static and voyage data, 424 bits: two sentences), 24 part A (class B
// name) and part B (class B type, vendor, call sign, dimensions).

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>

#include "ais/payload.h"

namespace vadrel::ais {

enum class NavigationalStatus : std::uint8_t {
    under_way_using_engine = 0,
    at_anchor = 1,
    moored = 5,
    sart_active = 14,  // also MOB-AIS and EPIRB-AIS
    not_defined = 15,
};

// The "not available" values of the fields.
inline constexpr int rate_of_turn_unknown = -128;
inline constexpr std::uint16_t speed_unknown = 1023;  // 102.3 kn
inline constexpr std::uint16_t speed_highest = 1022;  // 102.2 kn or more
inline constexpr std::int32_t longitude_unknown = 181 * 600000;
inline constexpr std::int32_t latitude_unknown = 91 * 600000;
inline constexpr std::uint16_t course_unknown = 3600;
inline constexpr std::uint16_t heading_unknown = 511;
inline constexpr std::uint8_t second_unknown = 60;

// Message 1, or 18 (whose unit has no navigational status, rate of turn
// nor manoeuvre indicator: those fields are not sent).
struct PositionReport {
    std::uint32_t mmsi = 0;  // 30 bits
    NavigationalStatus status = NavigationalStatus::not_defined;
    int rate_of_turn = rate_of_turn_unknown;  // -128 .. 127
    std::uint16_t speed = speed_unknown;      // speed over ground, tenths of a knot
    bool accuracy = false;                    // true: better than 10 m
    std::int32_t longitude = longitude_unknown;  // ten-thousandths of a minute, east positive
    std::int32_t latitude = latitude_unknown;    // ten-thousandths of a minute, north positive
    std::uint16_t course = course_unknown;    // course over ground, tenths of a degree
    std::uint16_t heading = heading_unknown;  // true heading, whole degrees
    std::uint8_t second = second_unknown;     // the UTC second of the fix
    std::uint8_t manoeuvre = 0;               // 0 not available, 1 none, 2 special
    bool raim = false;
    std::uint32_t radio = 0;  // communication state, 19 bits
};
Payload class_a_position(const PositionReport& report);
// Message 18 of a class B "CS" unit: the unit flag says CS, no display, no
// DSC, the whole band, message 22 taken, autonomous mode, and the
// communication state is the one CS units send (ITDMA selector,
// 1100000000000000110).
Payload class_b_position(const PositionReport& report);
inline constexpr std::uint32_t class_b_cs_radio = 0b1100000000000000110;

// Dimensions from the reference point of the position (the antenna), metres.
struct Dimensions {
    std::uint16_t to_bow = 0;        // 0 .. 511 (511: 511 m or more)
    std::uint16_t to_stern = 0;      // 0 .. 511
    std::uint8_t to_port = 0;        // 0 .. 63
    std::uint8_t to_starboard = 0;   // 0 .. 63
    bool operator==(const Dimensions&) const = default;
};

// Message 5 and message 24's two parts. Texts are six-bit text already
// (upper case, see is_six_bit); longer ones are cut.
struct StaticData {
    std::uint32_t mmsi = 0;
    std::uint8_t ais_version = 2;  // 2: ITU-R M.1371-5
    std::uint32_t imo = 0;         // 0: not available
    std::string call_sign;         // 7 characters
    std::string name;              // 20 characters
    std::uint8_t ship_type = 0;    // 0 not available .. 99
    Dimensions dimensions;
    std::uint8_t epfd = 1;  // type of positioning device: 1 GPS
    // Estimated time of arrival, UTC: month 0, day 0, hour 24, minute 60 when not available.
    std::uint8_t eta_month = 0;
    std::uint8_t eta_day = 0;
    std::uint8_t eta_hour = 24;
    std::uint8_t eta_minute = 60;
    std::uint8_t draught = 0;  // tenths of a metre, 0 not available
    std::string destination;   // 20 characters
    bool dte_unavailable = true;  // data terminal (display) not ready: the default
    // Message 24 part B: the maker's three characters, the unit's model and serial number.
    std::string vendor = "VDR";
    std::uint8_t model = 1;        // 4 bits
    std::uint32_t serial = 0;      // 20 bits
};
Payload static_and_voyage(const StaticData& data);  // message 5, 424 bits
// Message 24 part A: 168 bits, the name and 8 spare bits (decoders take 160 or 168).
Payload static_part_a(const StaticData& data);
Payload static_part_b(const StaticData& data);  // message 24 part B, 168 bits

// Message 21, an aid to navigation's report: its type (1 a reference
// point, 20 .. 23 the cardinal marks, 30 a special mark: Table 74), its name
// (six-bit text, 20 characters and up to 14 more in the extension), its
// position, no dimensions, not virtual, on position.
inline constexpr std::size_t aid_name_chars = 20;
inline constexpr std::size_t aid_name_extension_chars = 14;
struct AidToNavigation {
    std::uint32_t mmsi = 0;
    std::uint8_t aid_type = 1;  // 5 bits
    std::string name;
    bool accuracy = true;
    std::int32_t longitude = longitude_unknown;
    std::int32_t latitude = latitude_unknown;
    std::uint8_t second = second_unknown;
    bool virtual_aid = false;
};
Payload aid_to_navigation(const AidToNavigation& aid);  // 272 bits, and the extension to a whole byte

// Message 14, a safety-related broadcast: six-bit text, as much as the
// payload holds (the message allows 161 characters; vadrel sends short ones).
inline constexpr std::size_t safety_text_chars = (Payload::max_bits - 40) / 6;
Payload safety_broadcast(std::uint32_t mmsi, std::string_view text);

}  // namespace vadrel::ais
