#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "in_the_sky.h"
#include "sky/receiver_error.h"

namespace vadrel {
namespace {

using namespace testing;

// A fix of these dilutions where the open sky would give HDOP 1.2, VDOP 1.5.
Sky fix_with(double hdop, double vdop, FixKind fix = FixKind::three_d) {
    Sky sky;
    sky.fix = fix;
    sky.dilution.hdop = hdop;
    sky.dilution.vdop = vdop;
    sky.open_sky.hdop = 1.2;
    sky.open_sky.vdop = 1.5;
    return sky;
}

struct Spread {
    double mean = 0, deviation = 0;
};
Spread spread(const std::vector<double>& values) {
    Spread s;
    for (double v : values) s.mean += v / values.size();
    for (double v : values) s.deviation += (v - s.mean) * (v - s.mean) / values.size();
    s.deviation = std::sqrt(s.deviation);
    return s;
}

// Each axis is a walk about the true position times sigma times how much
// worse its dilution is than the open sky's: over a long run sigma x HDOP /
// 1.2 across, sigma x VDOP / 1.5 up; nothing without a fix, nothing up in 2D.
TEST(ReceiverError, TheDilutionScalesTheError) {
    PositionNoise noise(4.0, 11, 0);
    std::vector<double> east, up;
    for (std::int64_t k = 0; k < 40'000; ++k) {
        const Offset e = noise.step(k * 200, fix_with(2.4, 4.5));
        east.push_back(e.east);
        up.push_back(e.up);
    }
    EXPECT_NEAR(spread(east).deviation, 4.0 * 2.4 / 1.2, 0.4);
    EXPECT_NEAR(spread(east).mean, 0.0, 0.5);
    EXPECT_NEAR(spread(up).deviation, 4.0 * 4.5 / 1.5, 0.6);
    EXPECT_EQ(noise.step(40'000 * 200, fix_with(2.0, 3.0, FixKind::none)), Offset{});
    EXPECT_EQ(noise.step(40'001 * 200, fix_with(2.0, 0.0, FixKind::two_d)).up, 0.0);
    EXPECT_EQ(PositionNoise(0.0, 11, 0).step(0, fix_with(1, 1)), Offset{});
    EXPECT_EQ(PositionNoise(std::nan(""), 11, 0).step(0, fix_with(1, 1)), Offset{});
}

// The same seed and vehicle give the same errors, on every machine: the
// first ones are written here. Another vehicle or seed, other errors; the
// same time twice, the same error.
TEST(ReceiverError, TheSeedRepeatsTheErrorsExactly) {
    const Sky sky = fix_with(1.0, 1.0);
    PositionNoise a(5.0, 42, 0), other_vehicle(5.0, 42, 1), other_seed(5.0, 43, 0);
    // -0.1475..., 4.3011..., -3.0302... and 0.3780..., 3.3799..., -1.8124..., to the last bit
    const Offset first = a.step(0, sky);
    EXPECT_EQ(first, (Offset{-0x1.2e25017d15dcbp-3, 0x1.1345dfab5e4fbp+2, -0x1.83de2c671924ep+1}));
    EXPECT_EQ(a.step(100, sky), (Offset{0x1.83156ccfab3c2p-2, 0x1.b0a0e92358370p+1, -0x1.cfffca8ff6829p+0}));
    EXPECT_NE(other_vehicle.step(0, sky), first);
    EXPECT_NE(other_seed.step(0, sky), first);
    const Offset again = a.step(200, sky);
    EXPECT_EQ(a.step(200, sky), again) << "the same time again";
}

// perdita-fix=30/300 from the start of the run: a fix for 270 s, none for
// the next 30, and again.
TEST(ReceiverError, OutagesComeOnTime) {
    const FixOutage o{30, 300};
    const std::int64_t start = day_2026_06_01 + 123;
    const struct {
        std::int64_t after_ms;
        bool lost;
    } rows[] = {{0, false},           {269'999, false}, {270'000, true},  {299'999, true},
                {300'000, false},     {570'000, true},  {-1, true},       {-30'000, true},
                {-30'001, false},     {86'400'000 * 400LL + 280'000, true}};
    for (const auto& r : rows) EXPECT_EQ(fix_lost(o, start, start + r.after_ms), r.lost) << r.after_ms;
    EXPECT_FALSE(fix_lost({300, 300}, start, start + 299'000)) << "never for ever: that is --senza-fix";
    EXPECT_FALSE(fix_lost({0, 300}, start, start + 299'000));
}

// Metres to seconds of arc on WGS 84, and the globe's edges.
TEST(ReceiverError, DisplacedPositions) {
    const struct {
        const char* name;
        double lat, lon, east, north, to_lat, to_lon, within;
    } rows[] = {
        // a degree of latitude at 45° is 111,132.954 m (WGS 84 tables): 1852 m is 59.993"
        {"north at 45", 45 * 3600.0, 9 * 3600.0, 0, 1852, 45 * 3600.0 + 1852 / 111'132.954 * 3600, 9 * 3600.0, 0.002},
        // on the equator a second of longitude is 30.92 m
        {"east on the equator", 0, 0, 30.92, 0, 0, 1.0, 0.001},
        {"over the north pole", 90 * 3600.0 - 1, 10 * 3600.0, 0, 61.9, 90 * 3600.0 - 1, -170 * 3600.0, 0.01},
        {"over the south pole", -90 * 3600.0 + 1, -10 * 3600.0, 0, -61.9, -90 * 3600.0 + 1, 170 * 3600.0, 0.01},
        {"across 180", 0, 180 * 3600.0 - 0.5, 30.92, 0, 0, -180 * 3600.0 + 0.5, 0.001},
    };
    for (const auto& r : rows) {
        const ArcPosition p = displaced(r.lat, r.lon, {r.east, r.north, 0});
        EXPECT_NEAR(p.lat, r.to_lat, r.within) << r.name;
        EXPECT_NEAR(p.lon, r.to_lon, r.within) << r.name;
    }
    const ArcPosition pole = displaced(90 * 3600.0, 0, {1e6, 0, 0});
    EXPECT_TRUE(std::isfinite(pole.lon) && std::fabs(pole.lon) <= 180 * 3600.0);
}

}  // namespace
}  // namespace vadrel
