#pragma once
// What makes a vehicle an AIS station: its MMSI, class, name, type, call
// sign and size, as the operator sets them (the dialog, vadrel.ini's group
// [ais]), with the rules they must keep and the Italian reason of a refusal.
//
//   AisIdentity id = default_identity(3);      // MMSI 900000003, class A, "MEZZO 3", type 90
//   read_mmsi("2470123");                       // 002470123
//   identity_problem(id);                      // nullopt: it can be sent
//   id.name = "Nave Grande e Lunga Più Di 20";  // identity_problem: Refusal{"nome", "..."}
//
// The default MMSIs, 900000000 + the vehicle's number, cannot be taken for
// a real ship: a ship station's MMSI begins with its country's MID (first
// digit 2 to 7), and ITU-R M.585 (to revision 9) gives the first digit 9
// only to stations that are no ship as 98 (craft of a parent ship), 99
// (aids to navigation) and 97 (SART, man overboard and EPIRB-AIS devices,
// 970, 972, 974): no format begins with 90. Chart plotters show them as
// plain vessels, not as a distress device or a buoy.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "ais/messages.h"
#include "fleet/fleet.h"

namespace vadrel {

enum class AisClass : std::uint8_t { a, b };

inline constexpr std::uint32_t default_mmsi_base = 900000000;
inline constexpr std::uint32_t highest_mmsi = 999999999;
// "Other type, all ships of this type": a vehicle of the simulator may be
// anything, and a plotter still draws it as a vessel.
inline constexpr std::uint8_t default_ship_type = 90;
inline constexpr std::size_t name_chars = 20;
inline constexpr std::size_t call_sign_chars = 7;

struct AisIdentity {
    std::uint32_t mmsi = 0;
    AisClass ais_class = AisClass::a;
    std::string name;  // as written (UTF-8); empty: "MEZZO n"
    std::uint8_t ship_type = default_ship_type;
    std::string call_sign;  // as written; empty: not available
    ais::Dimensions dimensions;  // all 0: not available
    bool operator==(const AisIdentity&) const = default;
};

// Vehicle n's identity until the operator sets another: MMSI 900000000 + n,
// class A, the name "MEZZO n", type 90, no call sign, no dimensions.
AisIdentity default_identity(std::size_t vehicle);

// The name sent for vehicle n: its own, or "MEZZO n"; as six-bit text.
std::string sent_name(const AisIdentity& identity, std::size_t vehicle);

// Text as AIS sends it: upper case, the accents of Italian (and of the
// other Latin letters with one) dropped, the typographic apostrophe plain.
// What still does not belong to six-bit text becomes '?'; identity_problem
// refuses such a text first.
std::string six_bit_text(std::string_view utf8);

// "002470123" of 2470123: the nine digits an MMSI is written with.
std::string mmsi_text(std::uint32_t mmsi);
// An MMSI as the operator writes it: 1 to 9 digits (leading zeros count as
// the digits they are), 000000001 .. 999999999.
std::variant<std::uint32_t, Refusal> read_mmsi(std::string_view text);

// "A" or "B" (lower case too).
std::variant<AisClass, Refusal> read_ais_class(std::string_view text);
const char* ais_class_text(AisClass ais_class);

// Why the identity cannot be sent as it is, naming the field ("mmsi",
// "nome", "nominativo", "tipo", "dimensioni"); nullopt when it can.
std::optional<Refusal> identity_problem(const AisIdentity& identity);
// Why the vehicles' identities cannot be sent together: two with one MMSI
// would be one station jumping between two places on every receiver.
std::optional<Refusal> fleet_identities_problem(std::span<const AisIdentity> identities);

}  // namespace vadrel
