#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>
#include <string>
#include <vector>

#include "sky/constellation.h"
#include "sky/dilution.h"
#include "sky/look_angles.h"
#include "sky/receiver_error.h"
#include "sky/replay_now.h"
#include "sky/sky.h"
#include "sky/sky_options.h"
#include "sky/sky_sentences.h"

namespace vadrel {
namespace {

// A day, a place, and points set in its sky worked out from the normal of
// the ellipsoid (not by the frame under test).
constexpr double deg = std::numbers::pi / 180.0;
constexpr std::int64_t day_2026_06_01 = 1'780'272'000'000;  // 2026-06-01 00:00:00 UTC
const Observer milan{45.46, 9.19, 120};

// The point `east`, `north` and `up` metres from the observer along its local axes.
Ecef along(const Observer& o, double east, double north, double up) {
    const Ecef p = ecef_of(o);
    const double sl = std::sin(o.latitude * deg), cl = std::cos(o.latitude * deg);
    const double so = std::sin(o.longitude * deg), co = std::cos(o.longitude * deg);
    return {p.x - so * east - sl * co * north + cl * co * up, p.y + co * east - sl * so * north + cl * so * up,
            p.z + cl * north + sl * up};
}

// The sky of a day in Milan hides what the settings hide: no hidden
// satellite is used, they are listed without a signal; hiding all but three
// gives a 2D fix, all but two none.
// Whatever is hidden, the open sky's dilutions stay those without obstructions.
TEST(Sky, ObstructionsAndTheMaskDecideTheFix) {
    const Constellation c = constellation_at(day_2026_06_01 + 3'600'000);
    const Sky open = observe(c, milan, {});
    ASSERT_GE(open.satellites.size(), 7u);

    std::vector<SatelliteInView> highest = open.satellites;
    std::sort(highest.begin(), highest.end(), [](auto& a, auto& b) { return a.elevation > b.elevation; });
    // the highest satellites left in view, the fix
    const std::tuple<std::size_t, FixKind> rows[] = {{4, FixKind::three_d}, {3, FixKind::two_d}, {2, FixKind::none}};
    for (const auto& [left, fix] : rows) {
        SkySettings settings;
        for (std::size_t i = left; i < highest.size(); ++i) {
            const double a = highest[i].azimuth;
            settings.obstructions.push_back({a, a, 90});  // one azimuth, up to the zenith
        }
        const Sky sky = observe(c, milan, settings);
        for (const SatelliteInView& s : sky.satellites) {
            EXPECT_EQ(s.hidden, s.snr == 0) << s.prn << ": listed, without a signal";
            EXPECT_FALSE(s.used && s.hidden) << s.prn;
        }
        EXPECT_EQ(sky.satellites.size(), open.satellites.size()) << left;
        EXPECT_EQ(sky.fix, fix) << left;
        EXPECT_EQ(sky.used, fix == FixKind::none ? 0 : static_cast<int>(left)) << left;
        EXPECT_EQ(sky.open_sky.hdop, open.dilution.hdop) << "the measure of the noise stays the open sky's";
    }

    // A mask through the middle: only those at or above it.
    SkySettings high;
    high.mask = highest[3].elevation;
    const Sky masked = observe(c, milan, high);
    for (const SatelliteInView& s : masked.satellites) EXPECT_GE(s.elevation, high.mask);
    const auto at_or_above = [&high](const SatelliteInView& s) { return s.elevation >= high.mask; };
    EXPECT_EQ(masked.satellites.size(),
              static_cast<std::size_t>(std::count_if(highest.begin(), highest.end(), at_or_above)));

    // An observer that is nowhere (not a number) sees nothing.
    EXPECT_TRUE(observe(c, {std::nan(""), 9, 0}, {}).satellites.empty());

    // An outage: the same satellites listed, none heard, no fix.
    const Sky lost = observe(c, milan, {}, false);
    EXPECT_EQ(lost.satellites.size(), open.satellites.size());
    EXPECT_EQ(lost.fix, FixKind::none);
    for (const SatelliteInView& s : lost.satellites) EXPECT_EQ(s.snr, 0);
}

// A constellation set in Milan's sky at these azimuths and elevations,
// 20,000 km away, PRN 1 first; the other slots far below the horizon.
Constellation set_in_the_sky(const std::vector<Direction>& where) {
    Constellation c;
    for (std::size_t k = 0; k < c.satellites.size(); ++k) {
        const Direction d = k < where.size() ? where[k] : Direction{0, -90};
        const double az = d.azimuth * deg, el = d.elevation * deg, r = 2e7;
        const double east = r * std::cos(el) * std::sin(az), north = r * std::cos(el) * std::cos(az);
        c.satellites[k] = {static_cast<int>(k) + 1, along(milan, east, north, r * std::sin(el))};
    }
    return c;
}

// With more than twelve heard, the twelve highest are used (elevations 10°
// to 79°, 15° of azimuth apart). Four that hardly give a vertical solution
// (all but one at 30°) give 2D: PDOP beyond max_dop.
TEST(Sky, TwelveUsedTheHighestAndAWeakGeometry) {
    std::vector<Direction> many;
    for (int k = 0; k < 24; ++k) many.push_back({15.0 * k, 10.0 + 3.0 * k});
    const Sky sky = observe(set_in_the_sky(many), milan, {});
    ASSERT_EQ(sky.satellites.size(), 24u);
    EXPECT_EQ(sky.used, 12);
    for (const SatelliteInView& s : sky.satellites) EXPECT_EQ(s.used, s.prn > 12) << s.prn << " at " << s.elevation;
    EXPECT_EQ(gsa_of(sky).satellites[0], "13");

    const std::vector<Direction> flat{{0, 30}, {90, 30}, {180, 30}, {270, 31}};
    ASSERT_GT(dilution_3d(flat)->pdop, max_dop);
    const Sky weak = observe(set_in_the_sky(flat), milan, {});
    EXPECT_EQ(weak.fix, FixKind::two_d);
    EXPECT_EQ(weak.used, 4);
}

// A sector through north, and the edges of a sector.
TEST(Sky, SectorsWrapThroughNorth) {
    const Obstruction north{350, 10, 30};
    const Obstruction all_round{0, 360, 20};
    // the sector, azimuth and elevation, hidden
    const std::tuple<const Obstruction&, int, int, bool> rows[] = {
        {north, 355, 10, true},  {north, 0, 29, true},    {north, 10, 0, true},      {north, 11, 10, false},
        {north, 349, 10, false}, {north, 0, 30, false},   {all_round, 180, 19, true}};
    for (const auto& [o, azimuth, elevation, hidden] : rows) {
        EXPECT_EQ(hides(o, azimuth, elevation), hidden)
            << o.from << "-" << o.to << " az " << azimuth << " el " << elevation;
    }
}

// The sentences of each kind of fix, as the table of sky_sentences.h says;
// a 2D fix changes only the $GPGGA's altitude and the $GPGSA.
TEST(Sky, TheFieldsOfEachFix) {
    Sky sky;
    sky.satellites = {{2, 60, 40, 47, false, true},  {5, 30, 120, 40, false, true}, {12, 20, 250, 37, false, true},
                      {17, 7, 300, 0, true, false},  {24, 45, 200, 44, false, true}};
    sky.used = 4;
    sky.dilution = {2.5, 2.14, 1.26, 1.73, 1.0};
    const auto sentences = [&sky](FixKind fix) {
        sky.fix = fix;
        for (auto& s : sky.satellites) s.used = fix != FixKind::none && !s.hidden;
        Rmc rmc{"201528", "A", "4400.6787", "N", "01007.7087", "E", "12.3", "045.0", "090503", "000.0", "W"};
        Gga gga{"201528", "4400.6787", "N", "01007.7087", "E", "", "", "", "254.5", "M", "", "M", "", ""};
        Vtg vtg{"045.0", "045.0", "12.3", "22.8"};
        tell_fix(sky, rmc);
        tell_fix(sky, gga);
        tell_fix(sky, vtg);
        EXPECT_EQ(sentence(gsv_of(sky).at(1)), "$GPGSV,2,2,05,24,45,200,44*49");
        return std::vector{sentence(rmc), sentence(gga), sentence(gsa_of(sky)),
                           sentence(vtg), sentence(gll_of(rmc)), sentence(hdt_of(rmc))};
    };
    std::vector<std::string> two_d = sentences(FixKind::three_d);
    two_d[1] = "$GPGGA,201528,4400.6787,N,01007.7087,E,1,04,1.3,,,,M,,*35";
    two_d[2] = "$GPGSA,A,2,02,05,12,24,,,,,,,,,2.1,1.3,*1E";
    EXPECT_EQ(sentences(FixKind::three_d),
              (std::vector<std::string>{"$GPRMC,201528,A,4400.6787,N,01007.7087,E,12.3,045.0,090503,000.0,W,*7A",
                                        "$GPGGA,201528,4400.6787,N,01007.7087,E,1,04,1.3,254.5,M,,M,,*50",
                                        "$GPGSA,A,3,02,05,12,24,,,,,,,,,2.1,1.3,1.7*37",
                                        "$GPVTG,045.0,T,045.0,M,12.3,N,22.8,K*46",
                                        "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4B", "$GPHDT,045.0,T*34"}));
    EXPECT_EQ(sentences(FixKind::two_d), two_d);
    EXPECT_EQ(sentences(FixKind::none),
              (std::vector<std::string>{"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", "$GPGGA,201528,,,,,0,00,,,,,,,*6A",
                                        "$GPGSA,A,1,,,,,,,,,,,,,,,*1E", "$GPVTG,,T,,M,,N,,K*4E",
                                        "$GPGLL,,,,,201528,V,N*68", "$GPHDT,,T*1B"}));
    EXPECT_EQ(sentence(gsv_of(Sky{}).at(0)), "$GPGSV,1,1,00*79");
}

// The whole set of a fix in the order asked, with the talker and prefix.
// (The set of the sky vadrel has always claimed is the tick's to check.)
TEST(Sky, TheFullSet) {
    const FixTexts fix{{2003, 5, 9, 20, 15, 28, 500}, 2, "4400.6787", "N", "01007.7087", "E", "54.0", "045.0",
                       "100.0", "000.0", "W", "254.5"};
    const SentenceKind kinds[] = {SentenceKind::gll, SentenceKind::gsv, SentenceKind::rmc, SentenceKind::hdt};
    EXPECT_EQ(full_set(fix, Sky{}, kinds, Talker::gn, "@3"),
              (std::vector<std::string>{"@3$GNGLL,,,,,201528.50,V,N*4A", "@3$GPGSV,1,1,00*6E",
                                        "@3$GNRMC,201528.50,V,,,,,,,090503,000.0,W,*45", "@3$GNHDT,,T*12"}));
}

// Time fields and talkers.
TEST(Sky, TimeFieldsAndTalkers) {
    // the time of day in ms, fixes a second, the field
    const std::tuple<std::int64_t, int, const char*> times[] = {
        {72'928'000, 1, "201528"},    {72'928'999, 1, "201528"}, {72'928'100, 10, "201528.10"},
        {72'928'500, 2, "201528.50"}, {0, 10, "000000.00"},      {86'399'900, 10, "235959.90"}};
    for (const auto& [ms, rate, field] : times) EXPECT_EQ(time_field(ms, rate), field) << ms << " at " << rate;

    // the sentence, the talker, the sentence then
    const std::tuple<const char*, Talker, const char*> talkers[] = {
        {"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", Talker::gn, "$GNRMC,201528,V,,,,,,,090503,000.0,W,*79"},
        {"@3$GPGGA,201528,,,,,0,00,,,,,,,*7D", Talker::gn, "@3$GNGGA,201528,,,,,0,00,,,,,,,*63"},
        {"$GPGSV,1,1,00*79", Talker::gn, "$GPGSV,1,1,00*79"},
        {"$PGRME,297.9,M,300.0,M,297.9,M*2D", Talker::gn, "$PGRME,297.9,M,300.0,M,297.9,M*2D"},
        {"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", Talker::gp, "$GPRMC,201528,V,,,,,,,090503,000.0,W,*67"},
        {"$GP", Talker::gn, "$GP"},
        {"", Talker::gn, ""},
    };
    for (const auto& [in, talker, out] : talkers) EXPECT_EQ(with_talker(in, talker), out) << in;
}

// Straight overhead is 90°, due north 0° azimuth, due east 90°, on the
// horizon 0°, 45° up toward the south-west 225°, wherever the observer stands.
TEST(Geometry, LookAnglesOfKnownDirections) {
    const Observer places[] = {{0, 0, 0}, {45.46, 9.19, 120}, {-33.9, 151.2, 50}, {64.1, -21.9, 0}, {10, 179.99, 9000}};
    // what, the point east, north and up of the observer, its azimuth (-1: any) and elevation
    const std::tuple<const char*, double, double, double, double, double> rows[] = {
        {"overhead", 0, 0, 2e7, -1, 90},          {"north on the horizon", 0, 1e6, 0, 0, 0},
        {"east on the horizon", 1e6, 0, 0, 90, 0}, {"south-west, 45 up", -1e6, -1e6, std::sqrt(2.0) * 1e6, 225, 45},
        {"west, low", -2e7, 0, 1e6, 270, std::atan2(1.0, 20.0) / deg},
    };
    for (const Observer& o : places) {
        const LocalFrame frame(o);
        for (const auto& [name, east, north, up, azimuth, elevation] : rows) {
            const Direction d = frame.direction_to(along(o, east, north, up));
            EXPECT_NEAR(d.elevation, elevation, 1e-6) << name << " at " << o.latitude << "," << o.longitude;
            if (azimuth >= 0) {
                EXPECT_NEAR(d.azimuth, azimuth, 1e-6) << name << " at " << o.latitude;
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
    // ms after the start, the fix lost
    const std::tuple<std::int64_t, bool> rows[] = {
        {0, false},       {269'999, false}, {270'000, true}, {299'999, true},
        {300'000, false}, {570'000, true},  {-1, true},      {-30'000, true},
        {-30'001, false}, {86'400'000 * 400LL + 280'000, true}};
    for (const auto& [after_ms, lost] : rows) EXPECT_EQ(fix_lost(o, start, start + after_ms), lost) << after_ms;
    EXPECT_FALSE(fix_lost({300, 300}, start, start + 299'000)) << "never for ever: that is --senza-fix";
    EXPECT_FALSE(fix_lost({0, 300}, start, start + 299'000));
}

// Metres to seconds of arc on WGS 84, and the globe's edges.
TEST(ReceiverError, DisplacedPositions) {
    // what, from where, metres east and north, to where, within
    const std::tuple<const char*, double, double, double, double, double, double, double> rows[] = {
        // a degree of latitude at 45° is 111,132.954 m (WGS 84 tables): 1852 m is 59.993"
        {"north at 45", 45 * 3600.0, 9 * 3600.0, 0, 1852, 45 * 3600.0 + 1852 / 111'132.954 * 3600, 9 * 3600.0, 0.002},
        // on the equator a second of longitude is 30.92 m
        {"east on the equator", 0, 0, 30.92, 0, 0, 1.0, 0.001},
        {"over the north pole", 90 * 3600.0 - 1, 10 * 3600.0, 0, 61.9, 90 * 3600.0 - 1, -170 * 3600.0, 0.01},
        {"over the south pole", -90 * 3600.0 + 1, -10 * 3600.0, 0, -61.9, -90 * 3600.0 + 1, 170 * 3600.0, 0.01},
        {"across 180", 0, 180 * 3600.0 - 0.5, 30.92, 0, 0, -180 * 3600.0 + 0.5, 0.001},
    };
    for (const auto& [name, lat, lon, east, north, to_lat, to_lon, within] : rows) {
        const ArcPosition p = displaced(lat, lon, {east, north, 0});
        EXPECT_NEAR(p.lat, to_lat, within) << name;
        EXPECT_NEAR(p.lon, to_lon, within) << name;
    }
    const ArcPosition pole = displaced(90 * 3600.0, 0, {1e6, 0, 0});
    EXPECT_TRUE(std::isfinite(pole.lon) && std::fabs(pole.lon) <= 180 * 3600.0);
}

template <typename T>
std::string problem(const std::variant<T, std::string>& read) {
    return std::holds_alternative<std::string>(read) ? std::get<std::string>(read) : "";
}

// Every value the options take, and the ones they refuse with a reason in
// Italian that names what was given.
TEST(SkyOptions, ReadOrRefused) {
    // what is read, the problem, what it says ("" when read)
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"mask 5", problem(read_mask("5")), ""},
        {"mask 12,5", problem(read_mask("12,5")), ""},
        {"mask 91", problem(read_mask("91")), "da 0 a 90 gradi, non \"91\""},
        {"mask -1", problem(read_mask("-1")), "non \"-1\""},
        {"mask nan", problem(read_mask("nan")), "non \"nan\""},
        {"through north", problem(read_obstruction("350-10:20")), ""},
        {"all round", problem(read_obstruction("0-360:15.5")), ""},
        {"no elevation", problem(read_obstruction("200-340")), "AZIMUT1-AZIMUT2:ELEVAZIONE"},
        {"negative azimuth", problem(read_obstruction("-10-20:30")), "da 0 a 360 gradi"},
        {"elevation 91", problem(read_obstruction("0-30:91")), "da 0 a 90 gradi"},
        {"extra part", problem(read_obstruction("0-30:40:5")), "AZIMUT1-AZIMUT2:ELEVAZIONE"},
        {"noise 5", problem(read_noise("5")), ""},
        {"noise 1001", problem(read_noise("1001")), "da 0 a 1000 metri"},
        {"noise inf", problem(read_noise("inf")), "da 0 a 1000 metri"},
        {"rate 10", problem(read_rate("10")), ""},
        {"rate 3", problem(read_rate("3")), "1, 2, 5 o 10"},
        {"rate 1.0", problem(read_rate("1.0")), "1, 2, 5 o 10"},
        {"talker gn", problem(read_talker("gn")), ""},
        {"talker GL", problem(read_talker("GL")), "GP"},
        {"outage 30/300", problem(read_fix_outage("30/300")), ""},
        {"outage 300/300", problem(read_fix_outage("300/300")), "meno di OGNI"},
        {"outage 1/86401", problem(read_fix_outage("1/86401")), "da 2 a 86400"},
        {"outage 30", problem(read_fix_outage("30")), "DURATA/OGNI"},
        {"outage 1.5/300", problem(read_fix_outage("1.5/300")), "DURATA/OGNI"},
        {"sentences", problem(read_sentence_list("RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT")), ""},
        {"sentences unknown", problem(read_sentence_list("RMC,GSV,XYZ")), "\"XYZ\" non è una frase"},
        {"sentences twice", problem(read_sentence_list("RMC,GGA,GGA")), "GGA è data due volte"},
        {"sentences without RMC", problem(read_sentence_list("GGA,GSA")), "comprende sempre RMC"},
        {"sentences lower case", problem(read_sentence_list("rmc")), "\"rmc\" non è una frase"},
    };
    for (const auto& [name, problem, says] : rows) {
        if (*says == '\0') {
            EXPECT_EQ(problem, "") << name;
        } else {
            EXPECT_NE(problem.find(says), std::string::npos) << name << ": " << problem;
        }
    }
}

// The forms read and written apart from the plain numbers: a decimal comma
// read, a point written; the sentences in the order given.
TEST(SkyOptions, ValuesAndTheirTexts) {
    EXPECT_EQ(std::get<Obstruction>(read_obstruction("350-10,5:20")), (Obstruction{350, 10.5, 20}));
    EXPECT_EQ(obstruction_text({350, 10.5, 20}), "350-10.5:20");
    const auto list = std::get<std::vector<SentenceKind>>(read_sentence_list("RMC,GSV,GLL,HDT"));
    EXPECT_EQ(sentence_list_text(list), "RMC,GSV,GLL,HDT");
}

constexpr std::int64_t day = 86'400;

// Time and date fields moved, the checksum made again, every other byte as
// it was; what cannot be moved, as it was.
TEST(ReplayNow, MovesTimeAndDateFields) {
    // what moves, the sentence, the seconds, the sentence then (nullptr: as it was)
    const std::tuple<const char*, const char*, std::int64_t, const char*> rows[] = {
        {"RMC a day and a second on", "$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B",
         day + 1, "$GPRMC,201529,A,4400.6787,N,01007.7087,E,0.0,000.0,100503,000.0,W,*42"},
        {"RMC over a new year, decimals kept", "$GNRMC,235959.50,A,4400.6787,N,01007.7087,E,0.0,,311299,,,A*6B", 1,
         "$GNRMC,000000.50,A,4400.6787,N,01007.7087,E,0.0,,010100,,,A*6B"},
        {"RMC to a 29 February", "$GPRMC,120000,A,,,,,,,280224,,*2B", day, "$GPRMC,120000,A,,,,,,,290224,,*2A"},
        {"2000 had a 29 February", "$GPRMC,120000,A,,,,,,,280200,,*2D", day, "$GPRMC,120000,A,,,,,,,290200,,*2C"},
        {"2100 will not", "$GPZDA,120000,28,02,2100,00,00*40", day, "$GPZDA,120000,01,03,2100,00,00*4A"},
        {"RMC of 1999 to 2026", "$GPRMC,120000,A,,,,,,,010199,,*25", 9862 * day, "$GPRMC,120000,A,,,,,,,010126,,*21"},
        {"RMC without a date: the time alone", "$GPRMC,235959,V,,,,,,,,,*30", 2, "$GPRMC,000001,V,,,,,,,,,*30"},
        {"GGA back over midnight", "$GPGGA,000010.25,4400.6787,N,01007.7087,E,1,08,0.9,254.5,M,,M,,*73", -20,
         "$GPGGA,235950.25,4400.6787,N,01007.7087,E,1,08,0.9,254.5,M,,M,,*7A"},
        {"GLL, its fifth field", "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4B", 3600,
         "$GPGLL,4400.6787,N,01007.7087,E,211528,A,A*4A"},
        {"ZDA with its date", "$GPZDA,235959,31,12,2025,00,00*4D", 1, "$GPZDA,000000,01,01,2026,00,00*4E"},
        {"multi-user prefix and line end", "@3$GPGGA,201528,,,,,0,00,,,,,,,*7D\r\n", 1,
         "@3$GPGGA,201529,,,,,0,00,,,,,,,*7C\r\n"},
        {"no checksum: none added", "$GPGGA,201528,,,,,0,00,,,,,,,", 1, "$GPGGA,201529,,,,,0,00,,,,,,,"},
        {"a sentence without a time", "$GPHDT,045.0,T*34", 1, nullptr},
        {"a lower-case checksum read", "$GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4b", 3600,
         "$GPGLL,4400.6787,N,01007.7087,E,211528,A,A*4A"},
        {"damaged: wrong checksum", "$GPGGA,201528,,,,,0,00,,,,,,,*6B", 1, nullptr},
        {"damaged: cut short", "$GPGGA,2015", 1, nullptr},
        {"no time", "$GPGGA,,,,,,0,00,,,,,,,*66", 1, nullptr},
        {"a time that is not one", "$GPGGA,251528,,,,,0,00,,,,,,,*6F", 1, nullptr},
        {"a leap second moved: its day's last second again", "$GPGGA,235960,,,,,0,00,,,,,,,*6D", 1,
         "$GPGGA,000000,,,,,0,00,,,,,,,*66"},
        {"a leap second moved by whole days: still one", "$GPRMC,235960,A,,,,,,,311216,,*2B", day,
         "$GPRMC,235960,A,,,,,,,010117,,*2B"},
        {"second 60 before the day's last minute", "$GPGGA,235860,,,,,0,00,,,,,,,*6C", 1, nullptr},
        {"decimals that are not", "$GPGGA,201528.x,,,,,0,00,,,,,,,*3C", 1, nullptr},
        {"RMC with a 31 June: its time moves, its date stays", "$GPRMC,120000,A,,,,,,,310624,,*27", 1,
         "$GPRMC,120001,A,,,,,,,310624,,*26"},
        {"ZDA beyond 9999", "$GPZDA,235959,31,12,9999,00,00*48", 1, nullptr},
        {"a move of more than ten thousand years", "$GPGGA,201528,,,,,0,00,,,,,,,*6A", 400'000'000'000LL, nullptr},
        {"proprietary", "$PGRME,297.9,M,300.0,M,297.9,M*2D", 1, nullptr},
        {"not a sentence", "hello, world", 1, nullptr},
        {"empty", "", 1, nullptr},
    };
    for (const auto& [name, in, seconds, out] : rows) EXPECT_EQ(moved_in_time(in, seconds), out ? out : in) << name;

    // A line of a radio log: the burst's NULs before the sentence, outside its checksum.
    using namespace std::string_literals;
    EXPECT_EQ(moved_in_time("\0\0\0\0\0$GPGGA,201528,,,,,0,00,,,,,,,*6A\r"s, 1),
              "\0\0\0\0\0$GPGGA,201529,,,,,0,00,,,,,,,*6B\r"s);
    EXPECT_EQ(moved_in_time("\0\0\0"s, 1), "\0\0\0"s);
}

// The offset to now from a log's first timed sentence: from its date and
// time, or from its time of day alone; whole seconds, so the decimals stay,
// never beyond now, so a client does not see a fix from the future.
TEST(ReplayNow, SecondsToNow) {
    const std::int64_t now = 1'780'272'000'000 + 36'000'600;  // 2026-06-01 10:00:00.6 UTC
    const auto rmc = sentence_time("$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B");
    ASSERT_TRUE(rmc && rmc->dated);
    EXPECT_EQ(rmc->ms, 1'052'511'328'000);  // 2003-05-09 20:15:28 UTC
    const std::int64_t by = seconds_to_now(*rmc, now);
    EXPECT_EQ(moved_in_time("$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B", by),
              "$GPRMC,100000,A,4400.6787,N,01007.7087,E,0.0,000.0,010626,000.0,W,*4A");

    const auto gga = sentence_time("$GPGGA,201528.50,,,,,0,00,,,,,,,*41");
    ASSERT_TRUE(gga && !gga->dated);
    EXPECT_EQ(gga->ms, 72'928'500);
    EXPECT_EQ(seconds_to_now(*gga, now), day - 10 * 3600 - 15 * 60 - 28);  // to 10:00:00.5 the next morning
    EXPECT_EQ(seconds_to_now(*rmc, rmc->ms - 1500), -2) << "a log from the future: back to now, not after it";
    EXPECT_FALSE(sentence_time("$GPGSV,1,1,00*79"));
    EXPECT_FALSE(sentence_time("$GPGGA,,,,,,0,00,,,,,,,*66"));
}

}  // namespace
}  // namespace vadrel
