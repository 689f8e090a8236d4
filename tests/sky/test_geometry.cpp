#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "sky/constellation.h"
#include "sky/dilution.h"
#include "sky/look_angles.h"
#include "sky/sky.h"

namespace vadrel {
namespace {

constexpr double deg = std::numbers::pi / 180.0;
constexpr std::int64_t day_2026_06_01 = 1'780'272'000'000;  // 2026-06-01 00:00:00 UTC

// A point `metres` from the observer along its local east, north, up axes,
// worked out here from the normal of the ellipsoid (not by the frame under test).
Ecef along(const Observer& o, double east, double north, double up) {
    const Ecef p = ecef_of(o);
    const double sl = std::sin(o.latitude * deg), cl = std::cos(o.latitude * deg);
    const double so = std::sin(o.longitude * deg), co = std::cos(o.longitude * deg);
    return {p.x - so * east - sl * co * north + cl * co * up, p.y + co * east - sl * so * north + cl * so * up,
            p.z + cl * north + sl * up};
}

// Straight overhead is 90°, due north 0° azimuth, due east 90°, on the
// horizon 0°, 45° up toward the south-west 225°, wherever the observer stands.
TEST(Geometry, LookAnglesOfKnownDirections) {
    const Observer places[] = {{0, 0, 0}, {45.46, 9.19, 120}, {-33.9, 151.2, 50}, {64.1, -21.9, 0}, {10, 179.99, 9000}};
    const struct {
        const char* name;
        double east, north, up, azimuth, elevation;
    } rows[] = {
        {"overhead", 0, 0, 2e7, -1, 90},          {"north on the horizon", 0, 1e6, 0, 0, 0},
        {"east on the horizon", 1e6, 0, 0, 90, 0}, {"south-west, 45 up", -1e6, -1e6, std::sqrt(2.0) * 1e6, 225, 45},
        {"west, low", -2e7, 0, 1e6, 270, std::atan2(1.0, 20.0) / deg},
    };
    for (const Observer& o : places) {
        const LocalFrame frame(o);
        for (const auto& r : rows) {
            const Direction d = frame.direction_to(along(o, r.east, r.north, r.up));
            EXPECT_NEAR(d.elevation, r.elevation, 1e-6) << r.name << " at " << o.latitude << "," << o.longitude;
            if (r.azimuth >= 0) {
                EXPECT_NEAR(d.azimuth, r.azimuth, 1e-6) << r.name << " at " << o.latitude;
            }
        }
    }
}

// The orbits as published: every satellite on its 26,559.7 km circle, no
// higher than 55° of latitude, each plane's four 90° of right ascension
// apart... and after one period (Kepler's third law) at the same place in
// space, which on the turning Earth is the same place turned about the axis.
TEST(Geometry, SatellitesKeepTheirOrbits) {
    const double period = 2 * std::numbers::pi * std::sqrt(std::pow(orbit_semi_major_axis_m, 3) / wgs84_gm);
    EXPECT_NEAR(period / 60.0, 717.95, 0.01);  // 11 h 58 min
    const std::int64_t t = day_2026_06_01 + 12'345'678;
    const Constellation now = constellation_at(t);
    const Constellation later = constellation_at(t + std::llround(period * 1000));
    const double turn = earth_rotation_rad_s * std::llround(period * 1000) / 1000.0;
    for (std::size_t k = 0; k < now.satellites.size(); ++k) {
        const Ecef p = now.satellites[k].position, q = later.satellites[k].position;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), orbit_semi_major_axis_m, 1e-3) << k;
        EXPECT_LE(std::fabs(p.z), orbit_semi_major_axis_m * std::sin(55 * deg) + 1e-3) << k;
        EXPECT_NEAR(q.x, p.x * std::cos(turn) + p.y * std::sin(turn), 5.0) << k;
        EXPECT_NEAR(q.y, -p.x * std::sin(turn) + p.y * std::cos(turn), 5.0) << k;
        EXPECT_NEAR(q.z, p.z, 5.0) << k;
        EXPECT_EQ(now.satellites[k].prn, static_cast<int>(k) + 1);
    }
    // At the epoch the satellite's latitude is asin(sin 55° sin u).
    const Constellation epoch = constellation_at(reference_epoch_ms);
    for (std::size_t k = 0; k < reference_slots.size(); ++k) {
        const Ecef p = epoch.satellites[k].position;
        EXPECT_NEAR(std::asin(p.z / orbit_semi_major_axis_m),
                    std::asin(std::sin(55 * deg) * std::sin(reference_slots[k].argument_of_latitude * deg)), 1e-9);
    }
}

// Second by second over a day the satellites move as orbits do: no
// direction moves more than a satellite can (0.01° a second from the
// ground), no elevation as sent changes by more than a degree, a satellite
// comes and goes only at the mask; at mid latitudes 6 to 12 are in view.
TEST(Geometry, TheSkyMovesSmoothlyOverADay) {
    const Observer places[] = {{45.46, 9.19, 120}, {38.1, 13.4, 0}, {-37.8, 144.9, 30}, {52.5, -1.9, 100}};
    struct Seen {
        std::map<int, int> elevations;  // by PRN, the second before
        std::array<Direction, 24> last{};
        std::size_t fewest = 99, most = 0;
    };
    std::array<Seen, std::size(places)> seen;
    for (std::int64_t s = 0; s < 86'400; ++s) {
        const Constellation c = constellation_at(day_2026_06_01 + s * 1000);
        for (std::size_t p = 0; p < std::size(places); ++p) {
            const LocalFrame frame(places[p]);
            Seen& w = seen[p];
            for (std::size_t k = 0; k < 24; ++k) {
                const Direction d = frame.direction_to(c.satellites[k].position);
                const Direction& e = w.last[k];
                const double cos_gap = std::sin(d.elevation * deg) * std::sin(e.elevation * deg) +
                                       std::cos(d.elevation * deg) * std::cos(e.elevation * deg) *
                                           std::cos((d.azimuth - e.azimuth) * deg);
                if (s > 0) {
                    ASSERT_LT(std::acos(std::min(1.0, cos_gap)) / deg, 0.01) << "PRN " << k + 1 << " at " << s;
                }
                w.last[k] = d;
            }
            const Sky sky = observe(c, places[p], {});
            std::map<int, int> now;
            for (const SatelliteInView& v : sky.satellites) {
                now[v.prn] = v.elevation;
                const auto was = w.elevations.find(v.prn);
                if (was == w.elevations.end()) {
                    if (s > 0) {
                        ASSERT_EQ(v.elevation, 5) << "PRN " << v.prn << " appears at " << s;
                    }
                } else {
                    ASSERT_LE(std::abs(v.elevation - was->second), 1) << "PRN " << v.prn << " at " << s;
                }
            }
            for (const auto& [prn, elevation] : w.elevations) {
                if (!now.count(prn)) {
                    ASSERT_EQ(elevation, 5) << "PRN " << prn << " leaves at " << s;
                }
            }
            w.elevations = std::move(now);
            w.fewest = std::min(w.fewest, sky.satellites.size());
            w.most = std::max(w.most, sky.satellites.size());
        }
    }
    for (std::size_t p = 0; p < std::size(places); ++p) {
        EXPECT_GE(seen[p].fewest, 6u) << places[p].latitude;
        EXPECT_LE(seen[p].most, 12u) << places[p].latitude;
    }
}

// The textbook geometry: one satellite at the zenith, three on the horizon
// 120° apart: GᵀG is diagonal but for up and clock, and its inverse gives
// HDOP = VDOP = sqrt(4/3), PDOP = sqrt(8/3), TDOP = sqrt(1/3), GDOP = sqrt(3).
// Turned about the vertical it is the same; in 2D (altitude held) the three
// on the horizon give HDOP sqrt(4/3) and TDOP sqrt(1/3).
TEST(Geometry, DilutionOfTextbookGeometries) {
    for (const double turn : {0.0, 17.0, 200.0}) {
        const Direction four[] = {{turn, 90}, {turn, 0}, {turn + 120, 0}, {std::fmod(turn + 240, 360), 0}};
        const auto d = dilution_3d(four);
        ASSERT_TRUE(d) << turn;
        EXPECT_NEAR(d->hdop, std::sqrt(4.0 / 3), 1e-9) << turn;
        EXPECT_NEAR(d->vdop, std::sqrt(4.0 / 3), 1e-9) << turn;
        EXPECT_NEAR(d->pdop, std::sqrt(8.0 / 3), 1e-9) << turn;
        EXPECT_NEAR(d->tdop, std::sqrt(1.0 / 3), 1e-9) << turn;
        EXPECT_NEAR(d->gdop, std::sqrt(3.0), 1e-9) << turn;
        const auto flat = dilution_2d(std::span(four).subspan(1));
        ASSERT_TRUE(flat) << turn;
        EXPECT_NEAR(flat->hdop, std::sqrt(4.0 / 3), 1e-9) << turn;
        EXPECT_NEAR(flat->pdop, flat->hdop, 1e-12) << turn;
        EXPECT_EQ(flat->vdop, 0.0) << turn;
        EXPECT_NEAR(flat->tdop, std::sqrt(1.0 / 3), 1e-9) << turn;
    }
    // No solution: too few, or every line of sight on one cone (all at one
    // elevation), or two satellites in one direction.
    const Direction cone[] = {{0, 30}, {90, 30}, {180, 30}, {270, 30}, {45, 30}};
    const Direction twice[] = {{10, 40}, {10, 40}, {200, 70}, {200, 70}};
    const Direction three[] = {{0, 90}, {0, 10}, {120, 10}};
    EXPECT_FALSE(dilution_3d(cone));
    EXPECT_FALSE(dilution_3d(twice));
    EXPECT_FALSE(dilution_3d(three));
    EXPECT_FALSE(dilution_2d(std::span(three).first(2)));
}

}  // namespace
}  // namespace vadrel
