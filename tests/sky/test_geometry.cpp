#include <gtest/gtest.h>

#include "in_the_sky.h"
#include "sky/constellation.h"
#include "sky/dilution.h"
#include "sky/sky.h"

namespace vadrel {
namespace {

using namespace testing;

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

// The textbook geometry: one satellite at the zenith, three at elevation e
// 120° apart: GᵀG is diagonal but for up and clock, and its inverse gives
// HDOP = 2 / (√3 cos e), VDOP = 2 / (√3 (1 - sin e)), TDOP = √(3 sin²e + 1)
// / (√3 (1 - sin e)); on the horizon HDOP = VDOP = √(4/3). Turned about the
// vertical it is the same; in 2D (altitude held) the three low ones give
// that HDOP and TDOP = √(1/3).
TEST(Geometry, DilutionOfTextbookGeometries) {
    for (const double e : {0.0, 30.0}) {
        for (const double turn : {0.0, 17.0, 200.0}) {
            const Direction four[] = {{turn, 90}, {turn, e}, {turn + 120, e}, {std::fmod(turn + 240, 360), e}};
            const auto d = dilution_3d(four);
            const auto flat = dilution_2d(std::span(four).subspan(1));
            ASSERT_TRUE(d && flat) << turn;
            const double s = std::sin(e * deg), h = 2 / (std::sqrt(3.0) * std::cos(e * deg));
            const double v = 2 / (std::sqrt(3.0) * (1 - s)), t = std::sqrt(3 * s * s + 1) / (std::sqrt(3.0) * (1 - s));
            const std::pair<double, double> got_and_textbook[] = {
                {d->hdop, h},    {d->vdop, v},    {d->pdop, std::hypot(h, v)},     {d->tdop, t},
                {d->gdop, std::hypot(h, v, t)}, {flat->hdop, h}, {flat->pdop, h}, {flat->vdop, 0.0},
                {flat->tdop, std::sqrt(1.0 / 3)}};
            for (const auto& [got, textbook] : got_and_textbook) EXPECT_NEAR(got, textbook, 1e-9) << e << " " << turn;
        }
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
