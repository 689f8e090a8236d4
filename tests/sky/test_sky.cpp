#include <gtest/gtest.h>

#include <algorithm>

#include "in_the_sky.h"
#include "sky/dilution.h"
#include "sky/sky.h"
#include "sky/sky_sentences.h"

namespace vadrel {
namespace {

using namespace testing;

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
    const struct {
        std::size_t left;
        FixKind fix;
    } rows[] = {{4, FixKind::three_d}, {3, FixKind::two_d}, {2, FixKind::none}};
    for (const auto& row : rows) {
        SkySettings settings;
        for (std::size_t i = row.left; i < highest.size(); ++i) {
            const double a = highest[i].azimuth;
            settings.obstructions.push_back({a, a, 90});  // one azimuth, up to the zenith
        }
        const Sky sky = observe(c, milan, settings);
        for (const SatelliteInView& s : sky.satellites) {
            EXPECT_EQ(s.hidden, s.snr == 0) << s.prn << ": listed, without a signal";
            EXPECT_FALSE(s.used && s.hidden) << s.prn;
        }
        EXPECT_EQ(sky.satellites.size(), open.satellites.size()) << row.left;
        EXPECT_EQ(sky.fix, row.fix) << row.left;
        EXPECT_EQ(sky.used, row.fix == FixKind::none ? 0 : static_cast<int>(row.left)) << row.left;
        EXPECT_EQ(sky.open_sky.hdop, open.dilution.hdop) << "the measure of the noise stays the open sky's";
    }

    // A mask through the middle: only those at or above it.
    SkySettings high;
    high.mask = highest[3].elevation;
    const Sky masked = observe(c, milan, high);
    for (const SatelliteInView& s : masked.satellites) EXPECT_GE(s.elevation, high.mask);
    EXPECT_EQ(masked.satellites.size(), static_cast<std::size_t>(std::count_if(highest.begin(), highest.end(), [&](auto& s) {
                                            return s.elevation >= high.mask;
                                        })));

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
        c.satellites[k] = {static_cast<int>(k) + 1,
                           along(milan, r * std::cos(el) * std::sin(az), r * std::cos(el) * std::cos(az), r * std::sin(el))};
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
    EXPECT_EQ(gsa_of(sky).satelliti[0], "13");

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
    const struct {
        const Obstruction& o;
        int azimuth, elevation;
        bool hidden;
    } rows[] = {{north, 355, 10, true},   {north, 0, 29, true},   {north, 10, 0, true},
                {north, 11, 10, false},   {north, 349, 10, false}, {north, 0, 30, false},
                {all_round, 180, 19, true}};
    for (const auto& r : rows) {
        EXPECT_EQ(hides(r.o, r.azimuth, r.elevation), r.hidden) << r.o.from << "-" << r.o.to << " az " << r.azimuth
                                                              << " el " << r.elevation;
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
        EXPECT_EQ(frase(gsv_of(sky).at(1)), "$GPGSV,2,2,05,24,45,200,44*49");
        return std::vector{frase(rmc), frase(gga), frase(gsa_of(sky)), frase(vtg), frase(gll_of(rmc)), frase(hdt_of(rmc))};
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
    EXPECT_EQ(frase(gsv_of(Sky{}).at(0)), "$GPGSV,1,1,00*79");
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
    const struct {
        std::int64_t ms;
        int rate;
        const char* field;
    } times[] = {{72'928'000, 1, "201528"}, {72'928'999, 1, "201528"}, {72'928'100, 10, "201528.10"},
                 {72'928'500, 2, "201528.50"}, {0, 10, "000000.00"},
                 {86'399'900, 10, "235959.90"}};
    for (const auto& t : times) EXPECT_EQ(time_field(t.ms, t.rate), t.field) << t.ms << " at " << t.rate;

    const struct {
        const char* in;
        Talker talker;
        const char* out;
    } talkers[] = {
        {"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", Talker::gn, "$GNRMC,201528,V,,,,,,,090503,000.0,W,*79"},
        {"@3$GPGGA,201528,,,,,0,00,,,,,,,*7D", Talker::gn, "@3$GNGGA,201528,,,,,0,00,,,,,,,*63"},
        {"$GPGSV,1,1,00*79", Talker::gn, "$GPGSV,1,1,00*79"},
        {"$PGRME,297.9,M,300.0,M,297.9,M*2D", Talker::gn, "$PGRME,297.9,M,300.0,M,297.9,M*2D"},
        {"$GPRMC,201528,V,,,,,,,090503,000.0,W,*67", Talker::gp, "$GPRMC,201528,V,,,,,,,090503,000.0,W,*67"},
        {"$GP", Talker::gn, "$GP"},
        {"", Talker::gn, ""},
    };
    for (const auto& t : talkers) EXPECT_EQ(with_talker(t.in, t.talker), t.out) << t.in;
}

}  // namespace
}  // namespace vadrel
