#pragma once
// The GPS constellation of the published nominal reference orbits: the
// baseline 24 slots of the GPS Standard Positioning Service Performance
// Standard, six planes A..F of four slots, circular orbits inclined 55° with
// a semi-major axis of 26,559.7 km. Each slot is given by the right
// ascension of its plane's ascending node and its argument of latitude at
// the reference epoch, 1 July 1993 00:00 UTC, when the Greenwich hour angle
// of the equinox was 18h 36m 14.4s.
//
// Propagation is two-body: each satellite goes round its circle at the mean
// motion Kepler's third law gives for that axis (WGS 84's GM), the planes
// keep their right ascension, and the Earth turns under them at WGS 84's
// rate from the epoch's hour angle. Nothing perturbs the orbits and no one
// keeps the slots, so decades after the epoch the satellites stand elsewhere
// along their planes than the real ones: the sky is true to the geometry of
// the constellation (six planes, 11 h 58 min orbits, the sky repeating
// about four minutes earlier each day), not to today's almanac. Time is the
// UTC of the caller's clock; leap seconds are not counted.
//
// PRN numbers: the slots in table order, A1 = 1 .. A4 = 4, B1 = 5 .. F4 = 24.
//
//   const Constellation sky = constellation_at(utc_ms);   // once per fix, for every vehicle
//   sky.satellites[0].position;                          // PRN 1 (slot A1), ECEF metres

#include <array>
#include <cstdint>

namespace vadrel {

struct Slot {
    char plane;                 // 'A' .. 'F'
    int number;                 // 1 .. 4 within its plane
    double right_ascension;     // of the ascending node at the epoch, degrees
    double argument_of_latitude;  // at the epoch, degrees
};

inline constexpr std::array<Slot, 24> reference_slots{{
    {'A', 1, 272.847, 268.126}, {'A', 2, 272.847, 161.786}, {'A', 3, 272.847, 11.676},  {'A', 4, 272.847, 41.806},
    {'B', 1, 332.847, 80.956},  {'B', 2, 332.847, 173.336}, {'B', 3, 332.847, 309.976}, {'B', 4, 332.847, 204.376},
    {'C', 1, 32.847, 111.876},  {'C', 2, 32.847, 11.796},   {'C', 3, 32.847, 339.666},  {'C', 4, 32.847, 241.556},
    {'D', 1, 92.847, 135.226},  {'D', 2, 92.847, 265.446},  {'D', 3, 92.847, 35.156},   {'D', 4, 92.847, 167.356},
    {'E', 1, 152.847, 197.046}, {'E', 2, 152.847, 302.596}, {'E', 3, 152.847, 66.066},  {'E', 4, 152.847, 333.686},
    {'F', 1, 212.847, 238.886}, {'F', 2, 212.847, 345.226}, {'F', 3, 212.847, 105.206}, {'F', 4, 212.847, 135.346},
}};

inline constexpr double orbit_semi_major_axis_m = 26'559'700.0;
inline constexpr double orbit_inclination_deg = 55.0;
inline constexpr double wgs84_gm = 3.986004418e14;             // m³/s²
inline constexpr double earth_rotation_rad_s = 7.2921151467e-5;  // WGS 84
inline constexpr std::int64_t reference_epoch_ms = 741'484'800'000;  // 1993-07-01 00:00:00 UTC
inline constexpr double epoch_hour_angle_deg = (18.0 + 36.0 / 60.0 + 14.4 / 3600.0) * 15.0;

// Earth-centred, Earth-fixed coordinates (WGS 84), metres.
struct Ecef {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct Satellite {
    int prn = 0;
    Ecef position;
};

struct Constellation {
    std::int64_t utc_ms = 0;
    std::array<Satellite, reference_slots.size()> satellites{};
};

// The PRN of the slot at `index` in reference_slots.
constexpr int prn_of_slot(std::size_t index) { return static_cast<int>(index) + 1; }

// Where every satellite is at `utc_ms` (milliseconds since 1970 UTC).
Constellation constellation_at(std::int64_t utc_ms);

}  // namespace vadrel
