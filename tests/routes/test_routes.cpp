// Routes: how a point is kept (to a ten-millionth of a degree, a coordinate
// of up to seven decimals back as the very double it was read as, across the
// blocks the points are kept in), the distances and bearings between points,
// the times of GPX and KML, the texts of a route to follow and of the
// progress along it; the follower; a vehicle's route over the fleet; the
// route files of each format, real ones and hostile ones.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fleet/fleet.h"
#include "routes/follower.h"
#include "routes/geodesy.h"
#include "routes/iso_time.h"
#include "routes/route_files.h"
#include "routes/route_text.h"
#include "routes/vehicle_routes.h"
#include "support/scratch_folder.h"
#include "routes_check.h"
#include "textbook.h"

namespace vadrel {
namespace {

using namespace testing;

TEST(RoutePoints, KeptToATenMillionthOfADegree) {
    const std::tuple<const char*, double, double, double> rows[] = {  // what, lat, lon, tolerance (0: the same double)
        {"a town", 45.4642, 9.19, 0.0},
        {"seven decimals", -33.8567844, 151.2152967, 0.0},
        {"the corners of the range", -90.0, 180.0, 0.0},
        {"the other corners", 90.0, -180.0, 0.0},
        {"a ten-millionth off the 180th meridian", 0.0000001, -179.9999999, 0.0},
        {"more decimals: the nearest ten-millionth", 44.123456789, -0.000000049, 0.5e-7},
    };
    for (const auto& [what, lat, lon, tolerance] : rows) {
        Route route;
        ASSERT_FALSE(route.add({lat, lon})) << what;
        EXPECT_NEAR(route.position(0).lat, lat, tolerance) << what;
        EXPECT_NEAR(route.position(0).lon, lon, tolerance) << what;
    }
}

// Many blocks, a copy, and the legs measured between the points as kept;
// each point's time to the millisecond however far along, kept while every
// point has one; speeds only from the first point that has one.
TEST(RoutePoints, ManyPointsAcrossBlocks) {
    const auto speed_of = [](std::int64_t i) { return i < 3 ? std::nullopt : std::optional(5.0 + i % 7); };
    Route route("lungo");
    for (std::int64_t i = 0; i < 10'000; ++i) {
        ASSERT_FALSE(route.add({44.0 + (i % 2) * 0.0002, 9.0 + 0.0003 * i, speed_of(i), 1000 * i * i + 7}));
    }
    route.shrink();
    const Route copy = route;
    for (const std::int64_t i : {0, 4095, 4096, 8191, 8192, 9999}) {
        const auto n = static_cast<std::size_t>(i);
        EXPECT_EQ(copy.position(n).lon, std::round((9.0 + 0.0003 * i) * 1e7) / 1e7) << i;
        EXPECT_EQ(copy.speed(n), speed_of(i)) << i;
        EXPECT_EQ(copy.time(n), 1000 * i * i + 7) << i;
    }
    EXPECT_EQ(copy, route);
    EXPECT_EQ(route.duration_ms(), 1000LL * 9999 * 9999);
    EXPECT_NEAR(route.leg_length(4095), distance_m(route.position(4095), route.position(4096)), 1e-3);
    ASSERT_FALSE(route.add({45.2, 9.0}));
    EXPECT_FALSE(route.has_times()) << "a point without a time: none kept";
    EXPECT_TRUE(route.add({45.3, 9.0, std::nullopt, 5})) << "a later time going back is still refused";
}

TEST(Geodesy, DistancesAndBearingsAsTheTextbookHasThem) {
    const std::tuple<const char*, GeoPoint, GeoPoint> rows[] = {
        {"Milano - Roma", {45.4642, 9.19}, {41.9028, 12.4964}},
        {"across the equator", {-0.5, 10.0}, {0.5, 10.2}},
        {"across the 180th meridian", {10.0, 179.9}, {10.1, -179.9}},
        {"a centimetre", {45.0, 9.0}, {45.0000001, 9.0}},
        {"almost opposite", {10.0, 20.0}, {-10.0, -159.9}},
    };
    for (const auto& [name, a, b] : rows) {
        SCOPED_TRACE(name);
        EXPECT_NEAR(distance_m(a, b), haversine(a, b), 1e-6 * haversine(a, b) + 1e-6);
        EXPECT_NEAR(initial_bearing(a, b), bearing(a, b), 1e-6);
        EXPECT_NEAR(final_bearing(a, b), std::fmod(bearing(b, a) + 180.0, 360.0), 1e-6);
        // The midpoint is as far from either end, and on the way.
        const GeoPoint m = interpolate(a, b, 0.5);
        EXPECT_NEAR(haversine(a, m) + haversine(m, b), haversine(a, b), 1e-6);
        EXPECT_NEAR(haversine(a, m), haversine(m, b), 1e-6);
        EXPECT_LT(haversine(interpolate(a, b, 1.0), b), 1e-6);
    }
    // Over the pole: from 80 N 0 E to 80 N 180 E the midpoint is the pole.
    EXPECT_NEAR(interpolate({80.0, 0.0}, {80.0, 180.0}, 0.5).lat, 90.0, 1e-9);
    EXPECT_NEAR(initial_bearing({80.0, 0.0}, {80.0, 180.0}), 0.0, 1e-9);
}

TEST(IsoTime, ReadsTheDateTimesOfGpxAndKml) {
    const std::pair<const char*, std::optional<std::int64_t>> rows[] = {
        {"2024-05-01T10:00:00Z", 1714557600000},
        {" 2024-05-01T10:00:00.5Z\n", 1714557600500},
        {"2024-05-01T10:00:00.1234Z", 1714557600123},
        {"2024-05-01T10:00:00.9996Z", 1714557601000},
        {"2024-05-01T12:30:00+02:30", 1714557600000},
        {"2024-05-01T08:00:00-0200", 1714557600000},
        {"2024-05-01T10:00:00", 1714557600000},
        {"1969-12-31T23:59:59Z", -1000},
        {"2024-02-29T00:00:00Z", 1709164800000},
        {"2023-02-29T00:00:00Z", std::nullopt},
        {"2024-05-01T24:00:00Z", std::nullopt},
        {"2024-05-01T10:00:60Z", std::nullopt},
        {"2024-05-01 10:00:00Z", std::nullopt},
        {"2024-05-01T10:00:00.Z", std::nullopt},
        {"2024-05-01T10:00:00Zx", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, ms] : rows) EXPECT_EQ(read_iso_time(text), ms) << text;
    for (const std::int64_t ms : {0LL, 1714557600500LL, -1000LL, 253402300799999LL}) {
        EXPECT_EQ(read_iso_time(iso_time(ms)), ms) << iso_time(ms);
    }
    EXPECT_EQ(iso_time(1714557600000), "2024-05-01T10:00:00Z");
}

TEST(RouteText, TheRouteArgumentOfTheCommandLine) {
    using Read = std::variant<RouteArgument, std::string>;
    const auto ok = [](std::size_t n, std::string file, std::string choice, FollowOptions options) {
        return Read(RouteArgument{n, std::move(file), {std::move(choice), options}});
    };
    const std::pair<const char*, Read> rows[] = {
        {"3=giro.gpx", ok(3, "giro.gpx", "", {})},
        {"0=a,b.gpx,nome=Andata, ritorno,fine=ciclo", ok(0, "a,b.gpx", "Andata, ritorno", {RouteEnd::loop})},
        {"20=t.gpx,ritmo=traccia,fine=indietro,da=qui,virata=2,5",
         ok(20, "t.gpx", "", {RouteEnd::back, true, 2.5, true})},
        {"1=t.csv,virata=0.5,ritmo=velocita,da=inizio,fine=ferma",
         ok(1, "t.csv", "", {RouteEnd::stop, false, 0.5, false})},
        {"21=giro.gpx", "il mezzo 21 non esiste: i mezzi vanno da 0 a 20"},
        {"x=giro.gpx", "--percorso vuole N=FILE, con N il numero del mezzo: \"x=giro.gpx\""},
        {"2=", "--percorso 2= vuole il nome di un file"},
        {"2=g.gpx,fine=sempre", "fine=sempre non è una regola: sono ferma, ciclo, indietro"},
        {"2=g.gpx,fine=ciclo,fine=ferma", "l'opzione fine= è data due volte"},
        {"2=g.gpx,virata=400", "virata=400: la velocità di virata è un numero di gradi al secondo da 0 a 360"},
        {"2=g.gpx,virata=-1", "virata=-1: la velocità di virata è un numero di gradi al secondo da 0 a 360"},
        {"2=g.gpx,da=li", "da=li non è un punto di partenza: sono qui, inizio"},
        {"2=g.gpx,nome=", "nome= vuole il nome o il numero di un percorso del file"},
        {"2=g.gpx,fnie=ciclo", ok(2, "g.gpx,fnie=ciclo", "", {})},  // a file of that name
    };
    for (const auto& [text, read] : rows) EXPECT_EQ(read_route_argument(text), read) << text;

    for (const FollowOptions options : {FollowOptions{}, FollowOptions{RouteEnd::back, true, 0.25, true},
                                        FollowOptions{RouteEnd::loop, false, 3.0, false}}) {
        const auto back = read_route_request(options_text(options));
        ASSERT_TRUE(std::holds_alternative<RouteRequest>(back)) << options_text(options);
        EXPECT_EQ(std::get<RouteRequest>(back).options, options) << options_text(options);
    }
    EXPECT_EQ(options_text({RouteEnd::back, true, 0.0, true}), "fine=indietro,ritmo=traccia,da=qui");
}

TEST(RouteText, ProgressReadsBackExactlyAndRefusesWhatIsNotOne) {
    const RouteProgress p{.leg = 123456, .fraction = 0.1 + 0.2, .backward = true, .turning = true,
                          .turn_tangent = 1.2345678901234567e-5, .turn_done = 0.3, .rounds = 18446744073709551615u,
                          .origin = {-45.123456789, 179.99999999}, .rejoin = 99, .rejoin_backward = true,
                          .course = 359.99};
    const std::string text = progress_text(p);
    EXPECT_EQ(std::get<RouteProgress>(read_progress(text + "\n")), p) << text;
    const std::string good = "tratta=0 frazione=0 verso=avanti virata=no giri=0 finito=no origine=0,0 rotta=0";
    EXPECT_EQ(progress_text(RouteProgress{}), good);

    const std::pair<std::string, const char*> rows[] = {  // text, what is said
        {good + " altro=1", "campo sconosciuto \"altro=1\""},
        {good + " rotta=1", "rotta è dato due volte"},
        {good + " raggiunge=3,su", "raggiunge=3,su non è valido"},
        {"tratta=0 frazione=0", "manca verso="},
        {"tratta=-2" + good.substr(8), "tratta=-2 non è valido"},
        {"frazione=1.5" + good.substr(good.find(" verso")) + " tratta=0", "frazione=1.5 non è valido"},
        {good.substr(0, good.size() - 7) + "rotta=360", "rotta=360 non è valido"},
        {good.substr(0, good.find("origine")) + "origine=91,0 rotta=0", "origine=91,0 non è valido"},
        {good.substr(0, good.find("virata")) + "virata=0,2" + good.substr(good.find(" giri")),
         "virata=0,2 non è valido"},
        {good.substr(0, good.find("giri")) + "giri=-1 finito=no origine=0,0 rotta=0", "giri=-1 non è valido"},
        {good.substr(0, good.find("finito")) + "finito=forse origine=0,0 rotta=0", "finito=forse non è valido"},
    };
    for (const auto& [text, says] : rows) {
        const auto read = read_progress(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << text;
        EXPECT_NE(std::get<std::string>(read).find(says), std::string::npos)
            << text << " -> " << std::get<std::string>(read);
    }
}

// Ticks of one second from the start.
std::vector<RouteStep> drive(const Route& route, const FollowOptions& options, double speed, int ticks,
                             GeoPoint here = {}) {
    std::vector<RouteStep> steps{locate(route, start_route(route, options, here), options, speed)};
    for (int i = 0; i < ticks; ++i) steps.push_back(advance(route, steps.back().progress, options, 1.0, speed));
    return steps;
}

// The legs of a route as the checks see them, closing leg and first leg included.
std::vector<std::pair<GeoPoint, GeoPoint>> legs_of(const Route& route, bool closing = false,
                                                   std::optional<GeoPoint> from = std::nullopt) {
    std::vector<std::pair<GeoPoint, GeoPoint>> legs;
    if (from) legs.emplace_back(*from, route.position(0));
    for (std::size_t i = 0; i + 1 < route.size(); ++i) legs.emplace_back(route.position(i), route.position(i + 1));
    if (closing) legs.emplace_back(route.position(route.size() - 1), route.position(0));
    return legs;
}

double off_route(GeoPoint p, const std::vector<std::pair<GeoPoint, GeoPoint>>& legs) {
    double best = 1e12;
    for (const auto& [a, b] : legs) best = std::min(best, off_leg(p, a, b));
    return best;
}

// What a client reading the sentences checks: every fix on the path, the
// speed from consecutive fixes, every point passed within a second's
// travel, the end reached within a second of length over speed, there to stay.
TEST(Follower, EveryFixIsOnTheRouteAtTheSetSpeed) {
    const std::tuple<const char*, Route, double> rows[] = {  // name, route, speed
        {"across the equator",
         route_of({{-0.02, 10.0}, {0.015, 10.02}, {0.03, 9.99}, {-0.01, 9.985}}), 30.0},
        {"near 80 N, where the great circle leaves the parallel",
         route_of({{80.0, 0.0}, {80.0, 3.0}, {80.05, 3.1}}), 250.0},
        {"many short legs, several in one second",
         [] {
             Route r;
             for (int i = 0; i < 400; ++i) EXPECT_FALSE(r.add({45.0 + 0.00003 * i, 9.0 + 0.00004 * (i % 7)}));
             return r;
         }(),
         12.0},
    };
    for (const auto& [name, route, speed] : rows) {
        SCOPED_TRACE(name);
        const auto legs = legs_of(route);
        double length = 0;
        for (const auto& [a, b] : legs) length += haversine(a, b);
        const int ticks = static_cast<int>(length / speed) + 5;
        const std::vector<RouteStep> steps = drive(route, {}, speed, ticks);
        int end = -1;
        double worst_off = 0, worst_speed = 0;
        for (int k = 1; k <= ticks; ++k) {
            const RouteStep& s = steps[k];
            worst_off = std::max(worst_off, off_route(s.position, legs));
            if (s.events.points == 0 && !s.progress.finished) {
                const double went = haversine(steps[k - 1].position, s.position);
                worst_speed = std::max(worst_speed, std::fabs(went / speed - 1));
                EXPECT_DOUBLE_EQ(s.speed, speed);
                // The course is the heading of the great circle where the vehicle is.
                EXPECT_LT(angle_between(s.course, bearing(s.position, route.position(s.progress.leg + 1))), 1e-5);
            }
            if (end < 0 && s.events.finished) end = k;
        }
        EXPECT_LT(worst_off, 1.0);
        EXPECT_LT(worst_speed, 0.005);
        for (std::size_t i = 0; i < route.size(); ++i) {
            double nearest = 1e12;
            for (const RouteStep& s : steps) nearest = std::min(nearest, haversine(s.position, route.position(i)));
            EXPECT_LE(nearest, speed * 1.0) << "point " << i;
        }
        ASSERT_GT(end, 0);
        EXPECT_GE(end, length / speed - 1e-6);
        EXPECT_LT(end - 1, length / speed);
        EXPECT_EQ(steps.back().position, route.position(route.size() - 1));
        EXPECT_EQ(steps.back().speed, 0.0);
        EXPECT_EQ(steps[end].events.ends, 1u);
    }
}

// One long step is the same as many short ones: what is left of a second
// goes on along the next legs, from the start or from half way.
TEST(Follower, AStepIsTheSumOfItsParts) {
    const Route route = route_of({{45.0, 9.0}, {45.001, 9.0}, {45.001, 9.002}, {45.0005, 9.0021}, {45.0, 9.0}});
    for (const FollowOptions options : {FollowOptions{RouteEnd::loop}, FollowOptions{RouteEnd::back, false, 8.0}}) {
        std::vector<RouteStep> steps = drive(route, options, 9.0, 250);
        const RouteStep once = advance(route, steps[0].progress, options, 250.0, 9.0);
        EXPECT_LT(haversine(once.position, steps.back().position), 1e-6);
        EXPECT_EQ(once.progress.rounds, steps.back().progress.rounds);
        const RouteStep again = advance(route, steps[120].progress, options, 130.0, 9.0);
        EXPECT_LT(haversine(again.position, steps.back().position), 1e-6);
    }
}

// A leg goes at the speed of the point it starts from, either way along it;
// a point without one, or with 0, leaves the vehicle's. The route's time to
// drive at a speed, and its length, count the same.
TEST(Follower, ThePointsSpeeds) {
    const Route route = route_of({{0.0, 0.0, 5.0}, {0.0, 0.005, 0.0}, {0.0, 0.01}});
    const double leg = haversine({0.0, 0.0}, {0.0, 0.005});
    const auto steps = drive(route, {RouteEnd::back}, 20.0, static_cast<int>(leg / 5 + leg / 20) * 2 + 2);
    EXPECT_EQ(steps[10].speed, 5.0f);
    EXPECT_EQ(steps[static_cast<int>(leg / 5) + 2].speed, 20.0);
    const auto there = std::find_if(steps.begin(), steps.end(), [](const RouteStep& s) { return s.events.ends > 0; });
    EXPECT_NEAR(there - steps.begin(), leg / 5 + leg / 20, 1.0);
    EXPECT_EQ(steps[steps.size() - 3].speed, 5.0f);  // back along the first leg
    EXPECT_NEAR(route.travel_seconds(20.0), leg / 5 + leg / 20, 1e-6);
    EXPECT_TRUE(std::isinf(route.travel_seconds(0.0))) << "a leg left to a speed of 0";
    EXPECT_NEAR(route.length(), 2 * leg, 1e-6);
}

// The end rules, each against the times a client would compute.
TEST(Follower, EndRules) {
    const Route route = route_of({{0.0, 0.0}, {0.0, 0.01}, {0.01, 0.01}});
    const double v = 10.0, leg = haversine({0.0, 0.0}, {0.0, 0.01}), up = haversine({0.0, 0.01}, {0.01, 0.01});
    const double back_leg = haversine({0.01, 0.01}, {0.0, 0.0});

    // ciclo: on along a leg back to the first point, round again.
    const auto loop = drive(route, {RouteEnd::loop}, v, static_cast<int>((leg + up + back_leg) / v) + 10);
    const auto legs = legs_of(route, true);
    for (const RouteStep& s : loop) EXPECT_LT(off_route(s.position, legs), 1.0);
    const auto lap = std::find_if(loop.begin(), loop.end(), [](const RouteStep& s) { return s.progress.rounds == 1; });
    ASSERT_NE(lap, loop.end());
    EXPECT_NEAR(lap - loop.begin(), (leg + up + back_leg) / v, 1.0);
    EXPECT_EQ(lap->events.last_point, 0);
    EXPECT_GT(loop.back().speed, 0.0);

    // indietro: back to the first point, then forth again.
    const auto back = drive(route, {RouteEnd::back}, v, static_cast<int>(2 * (leg + up) / v) + 3);
    const int there = static_cast<int>((leg + up) / v) + 1;
    EXPECT_TRUE(back[there].progress.backward);
    EXPECT_EQ(back[there].events.last_point, 2);
    EXPECT_LT(angle_between(back[there + 1].course, 180.0), 1e-6);  // down the leg it came up
    EXPECT_LT(haversine(back[there + 5].position, {0.01, 0.01}), 6 * v);
    EXPECT_FALSE(back.back().progress.backward);
    EXPECT_EQ(back.back().progress.rounds, 2u);
    EXPECT_NEAR(haversine(back.back().position, {0.0, 0.0}), v * (back.size() - 1 - 2 * (leg + up) / v), 1e-3);

    // ciclo on a route that closes on itself: no leg of no length, a round each time round.
    const Route ring = route_of({{0.0, 0.0}, {0.0, 0.001}, {0.001, 0.001}, {0.0, 0.0}});
    const RouteStep rounds = advance(ring, start_route(ring, {RouteEnd::loop}, {}), {RouteEnd::loop}, 3600.0, 16857.0);
    const double ring_length = haversine({0, 0}, {0, 0.001}) * 2 + haversine({0.001, 0.001}, {0, 0});
    EXPECT_NEAR(static_cast<double>(rounds.progress.rounds), 3600.0 * 16857.0 / ring_length, 1.0);
    EXPECT_LT(off_route(rounds.position, legs_of(ring)), 1.0);
}

// Turning at a rate: along a circle of radius speed / rate, tangent to both
// legs; at once where that circle does not fit.
TEST(Follower, TurnsAtTheRateOnACircleTangentToBothLegs) {
    const Route corner = route_of({{45.0, 9.0}, {45.0, 9.05}, {45.04, 9.05}});
    const double v = 20.0, rate = 3.0, r = v / (rate * rad);
    const auto steps = drive(corner, {RouteEnd::stop, false, rate}, v, 500);
    double nearest = 1e12, most = 0;
    int turning = 0, told = 0;
    for (std::size_t k = 1; k < steps.size(); ++k) {
        nearest = std::min(nearest, haversine(steps[k].position, {45.0, 9.05}));
        told += steps[k].events.points > 0;
        if (steps[k].progress.finished) continue;
        most = std::max(most, angle_between(steps[k].course, steps[k - 1].course));
        if (steps[k].progress.turning) ++turning;
        EXPECT_NEAR(haversine(steps[k - 1].position, steps[k].position), v, v * 0.005);
        // Off the legs only while turning.
        if (!steps[k].progress.turning && !steps[k - 1].progress.turning) {
            EXPECT_LT(off_route(steps[k].position, legs_of(corner)), 1.0) << k;
        }
    }
    EXPECT_LE(most, rate * 1.0001);
    const double turned = angle_between(bearing({45.0, 9.05}, {45.04, 9.05}), bearing({45.0, 9.0}, {45.0, 9.05}));
    EXPECT_NEAR(turning, turned / rate, 1.5);
    EXPECT_NEAR(nearest, r / std::cos(turned / 2 * rad) - r, 0.05 * r);
    EXPECT_EQ(told, 2);  // the corner, then the end

    // The circle of 0.5 degrees per second would not fit in half a leg: at once.
    const auto sharp = drive(corner, {RouteEnd::stop, false, 0.5}, v, 500);
    for (const RouteStep& s : sharp) {
        EXPECT_FALSE(s.progress.turning);
        EXPECT_LT(off_route(s.position, legs_of(corner)), 1.0);
    }
}

// The track's rhythm: where the track was after the same time, whatever the
// vehicle's speed; a stop in the track is a stop.
TEST(Follower, TheTracksRhythm) {
    const std::int64_t t0 = 1714557600000;
    const Route track = route_of({{45.0, 9.0, std::nullopt, t0},
                                  {45.01, 9.0, std::nullopt, t0 + 100000},
                                  {45.01, 9.0, std::nullopt, t0 + 160000},
                                  {45.02, 9.01, std::nullopt, t0 + 200000}});
    const FollowOptions rhythm{RouteEnd::stop, true};
    ASSERT_FALSE(follow_problem(track, rhythm));
    const auto steps = drive(track, rhythm, 999.0, 210);
    EXPECT_LT(haversine(steps[50].position, {45.005, 9.0}), 0.01);
    EXPECT_NEAR(steps[50].speed, haversine({45.0, 9.0}, {45.01, 9.0}) / 100.0, 1e-3);
    EXPECT_EQ(steps[130].position, track.position(1));
    EXPECT_EQ(steps[130].speed, 0.0);
    EXPECT_EQ(steps[130].course, steps[99].course);
    EXPECT_LT(off_leg(steps[180].position, track.position(2), track.position(3)), 0.01);
    EXPECT_NEAR(haversine(steps[180].position, track.position(2)), haversine(track.position(2), track.position(3)) / 2, 0.01);
    EXPECT_FALSE(steps[199].progress.finished);
    EXPECT_TRUE(steps[200].events.finished);

    const Route untimed = route_of({{45.0, 9.0}, {45.01, 9.0}});
    EXPECT_EQ(follow_problem(untimed, rhythm), "il percorso non ha l'ora in ogni punto: non ha un ritmo da seguire");
}

// "dal punto attuale": a first leg from where the vehicle is; "Raggiungi":
// a route of one point.
TEST(Follower, FromHereAndReachingAPoint) {
    const GeoPoint here{44.99, 8.98};
    const Route route = route_of({{45.0, 9.0}, {45.0, 9.01}});
    const FollowOptions options{RouteEnd::stop, false, 0.0, true};
    const auto steps = drive(route, options, 15.0, 200, here);
    EXPECT_EQ(steps[0].position, here);
    const double first = haversine(here, {45.0, 9.0});
    for (const RouteStep& s : steps) EXPECT_LT(off_route(s.position, legs_of(route, false, here)), 1.0);
    // (Never reached: 200 seconds, far from the time expected.)
    const auto reached = std::find_if(steps.begin(), steps.end(), [](const RouteStep& s) { return s.events.first_point == 0; });
    EXPECT_NEAR(reached - steps.begin(), first / 15.0, 1.0);

    const Route point = route_of({{45.0, 9.0}});
    const auto reach = drive(point, options, 15.0, static_cast<int>(first / 15.0) + 2, here);
    EXPECT_EQ(reach.back().position, point.position(0));
    EXPECT_TRUE(reach.back().progress.finished);
    EXPECT_EQ(reach.back().speed, 0.0);
    // Without from_here a route of one point is where the vehicle is put.
    EXPECT_TRUE(start_route(point, {}, here).finished);
}

// A vehicle put by hand off its route goes straight to the point it was
// heading for, and on from there the way it was going.
TEST(Follower, RejoiningFromWhereItWasPut) {
    const Route route = route_of({{45.0, 9.0}, {45.0, 9.01}, {45.01, 9.01}});
    const GeoPoint off{44.995, 9.005};
    // name, options, seconds driven before it is put off its route, the point it then heads for, the leg it goes on
    // along from there (-1: it stops there), the way along it
    const std::tuple<const char*, FollowOptions, double, std::int64_t, std::int64_t, bool> rows[] = {
        {"on the first leg: to point 1, on along leg 1", {}, 20.0, 1, 1, false},
        {"on the last leg: to the last point, and it stops there", {}, 120.0, 2, -1, false},
        {"on the way back: to point 1, back along leg 0", {RouteEnd::back}, 250.0, 1, 0, true},
        {"on the leg back of a loop: to the first point, round again", {RouteEnd::loop}, 250.0, 0, 0, false},
    };
    for (const auto& [name, options, before, rejoin, next_leg, backward] : rows) {
        RouteProgress p = advance(route, start_route(route, options, {}), options, before, 10.0).progress;
        p = rejoin_route(route, p, options, off);
        EXPECT_EQ(std::pair(p.leg, p.rejoin), std::pair(std::int64_t{-1}, rejoin)) << name;
        EXPECT_FALSE(progress_problem(route, options, p)) << name;
        EXPECT_EQ(locate(route, p, options, 10.0).position, off) << name;
        const GeoPoint heading_for = route.position(static_cast<std::size_t>(rejoin));
        const RouteStep half = advance(route, p, options, haversine(off, heading_for) / 20.0, 10.0);
        EXPECT_LT(off_leg(half.position, off, heading_for), 0.01) << name;
        const RouteStep after = advance(route, p, options, haversine(off, heading_for) / 10.0 + 1.0, 10.0);
        EXPECT_EQ(std::pair(after.events.first_point, after.progress.finished), std::pair(rejoin, next_leg < 0))
            << name;
        if (next_leg < 0) continue;
        EXPECT_EQ(std::pair(after.progress.leg, after.progress.backward), std::pair(next_leg, backward)) << name;
    }
    const RouteProgress finished = advance(route, start_route(route, {}, {}), {}, 1e6, 10.0).progress;
    EXPECT_EQ(rejoin_route(route, finished, {}, off), finished) << "a finished route stays finished";
    const RouteProgress first = rejoin_route(route, start_route(route, {}, {}), {}, off);
    EXPECT_NEAR(summarize(route, first, {}, 10.0).left_m, haversine(off, route.position(1)) + route.leg_length(1), 0.5)
        << "what is left: to the point rejoined, and the route from there";
}

// A kept progress that does not fit its route is told, and brought within
// it rather than followed out of it; a speed or a time that is not a number
// moves nothing.
TEST(Follower, NothingOutOfTheRoute) {
    const Route route = route_of({{45.0, 9.0}, {45.0, 9.01}});
    const RouteProgress wild{.leg = 7, .fraction = std::nan("")};
    EXPECT_EQ(progress_problem(route, {}, wild),
              "l'avanzamento non corrisponde al percorso: la tratta 7 non esiste: il percorso ne ha 1");
    const RouteStep step = advance(route, wild, {}, 1.0, 10.0);
    EXPECT_LT(off_route(step.position, legs_of(route)), 1e-6);
    const RouteProgress start = start_route(route, {}, {});
    for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        EXPECT_EQ(advance(route, start, {}, bad, 10.0).position, route.position(0));
        EXPECT_EQ(advance(route, start, {}, 1.0, bad).position, route.position(0));
    }
    EXPECT_EQ(follow_problem(Route(), {}), "il percorso non ha punti");
    EXPECT_TRUE(follow_problem(route, {RouteEnd::stop, false, -1.0}));
}

constexpr double metres_per_degree = 111'195.0;

// Remembers what it was asked to keep and forget; refuses to keep while
// `refusals` has any, the first each time.
struct FakeKeeper : RouteKeeper {
    std::vector<std::string> calls;
    std::vector<std::string> refusals;
    bool later = true;  // may_keep_later
    bool may_keep_later(std::size_t) const override { return later; }
    std::optional<std::string> keep(std::size_t n, const Route& route, const FollowOptions&,
                                    const RouteProgress&) override {
        calls.push_back("keep " + std::to_string(n) + " " + std::to_string(route.size()));
        if (refusals.empty()) return std::string();
        const std::string why = refusals.front();
        refusals.erase(refusals.begin());
        return why;
    }
    std::optional<std::string> forget(std::size_t n) override {
        calls.push_back("forget " + std::to_string(n));
        return std::string();
    }
};

// A fleet whose vehicle 0 goes at 36 km/h (10 m/s) on routes the tests give.
struct OnRoute : ::testing::Test {
    Fleet fleet;
    FakeKeeper keeper;
    VehicleRoutes routes{fleet, &keeper};
    std::vector<Change> heard;
    std::vector<std::size_t> told;
    const int me = 0;

    void SetUp() override {
        EXPECT_FALSE(fleet.set_unit(0, SpeedUnit::kmh, nullptr));
        EXPECT_FALSE(fleet.set_speed(0, 36.0, nullptr));
        fleet.watch([this](std::size_t, Change what, Fleet::Origin) { heard.push_back(what); });
        routes.watch([this](std::size_t n, Fleet::Origin) { told.push_back(n); });
    }
    void give(Route route, FollowOptions options = {}) {
        ASSERT_FALSE(routes.give(0, std::move(route), options, &me));
    }
    // The first step starts the clock; then `seconds` go by.
    void go_for(double seconds) {
        fleet.advance(0.0);
        fleet.advance(seconds);
    }
    double lat() const { return fleet.vehicle(0).lat / arc_seconds_per_degree; }
    double lon() const { return fleet.vehicle(0).lon / arc_seconds_per_degree; }
};

// North along the meridian 10 E from 44 N: 1 km, then 1 km more.
const Route north = route_of({{44.0, 10.0}, {44.0 + 1000.0 / metres_per_degree, 10.0},
                              {44.0 + 2000.0 / metres_per_degree, 10.0}});

TEST_F(OnRoute, GivenItIsPlacedAtTheStartKeptAndToldThenMovesAlongItToTheEnd) {
    give(north);
    EXPECT_NEAR(lat(), 44.0, 1e-9);
    EXPECT_EQ(keeper.calls, std::vector<std::string>{"keep 0 3"});
    EXPECT_EQ(told, std::vector<std::size_t>{0});
    const std::uint32_t segment = fleet.vehicle(0).segment;
    fleet.advance(100.0);  // the first step starts the clock
    fleet.advance(110.0);  // 10 s at 10 m/s
    EXPECT_NEAR((lat() - 44.0) * metres_per_degree, 100.0, 0.01);
    EXPECT_NEAR(lon(), 10.0, 1e-9);
    EXPECT_EQ(fleet.vehicle(0).segment, segment) << "the track goes on: the route moves, it does not place";
    heard.clear();
    fleet.advance(350.0);  // 2500 m more asked on a route of 2000 m
    EXPECT_NEAR(lat(), 44.0 + 2000.0 / metres_per_degree, 1e-7) << "stopped at the end (a point kept to 1e-7 degrees)";
    EXPECT_EQ(fleet.vehicle(0).speed, 0.0);
    EXPECT_NE(std::find(heard.begin(), heard.end(), Change::speed), heard.end());
    routes.take_away(0, &me);
    EXPECT_EQ(std::pair(keeper.calls.back(), told), std::pair(std::string("forget 0"), std::vector<std::size_t>{0, 0}));
}

// A route that cannot be kept is followed, said not kept, and kept again
// with the table's saves until it is; one kept is not written again.
TEST_F(OnRoute, ARouteNotKeptIsFollowedAndKeptAgainUntilItIs) {
    keeper.refusals = {"disco pieno", "disco ancora pieno"};
    give(north);
    EXPECT_TRUE(routes.has_route(0));
    EXPECT_EQ(std::pair(routes.not_kept(0), routes.keep_problem()), std::pair(std::string("disco pieno"), std::string("disco pieno")));
    EXPECT_EQ(routes.keep_again(), std::vector<std::size_t>{});
    EXPECT_EQ(routes.not_kept(0), "disco ancora pieno");
    go_for(10.0);
    EXPECT_EQ(routes.keep_again(), std::vector<std::size_t>{0});
    EXPECT_EQ(routes.not_kept(0), "");
    EXPECT_EQ(routes.keep_again(), std::vector<std::size_t>{});
    EXPECT_EQ(keeper.calls, (std::vector<std::string>{"keep 0 3", "keep 0 3", "keep 0 3"}));
    // Taken away while not kept: nothing more to keep.
    keeper.refusals = {"disco pieno"};
    give(north);
    routes.take_away(0, &me);
    EXPECT_EQ(std::pair(routes.not_kept(0), routes.keep_again()), std::pair(std::string(), std::vector<std::size_t>{}));
    // A refusal that will not change (a route too large to keep) is not tried again.
    keeper.refusals = {"troppo grande", "troppo grande"};
    keeper.later = false;
    give(north);
    const std::size_t asked = keeper.calls.size();
    EXPECT_EQ(std::pair(routes.keep_again(), keeper.calls.size()), std::pair(std::vector<std::size_t>{}, asked));
    EXPECT_EQ(routes.not_kept(0), "troppo grande");
}

TEST_F(OnRoute, FromHereItIsNotPlacedAndDrivesToTheFirstPoint) {
    EXPECT_FALSE(fleet.place(0, 43.99 * arc_seconds_per_degree, 10.0 * arc_seconds_per_degree, nullptr));
    give(north, {RouteEnd::stop, false, 0.0, true});
    EXPECT_NEAR(lat(), 43.99, 1e-9);
    go_for(10.0);
    EXPECT_NEAR((lat() - 43.99) * metres_per_degree, 100.0, 0.01);
}

TEST_F(OnRoute, APointsSpeedIsTheVehiclesInItsUnit) {
    EXPECT_FALSE(fleet.set_unit(0, SpeedUnit::knots, nullptr));
    give(route_of({{0.0, 0.0, 1852.0 / 3600.0 * 20.0}, {0.0, 1.0}}));  // 20 knots from the first point
    go_for(1.0);
    EXPECT_NEAR(fleet.vehicle(0).speed, 20.0, 1e-6);
    EXPECT_NEAR(fleet.vehicle(0).course, 90.0, 1e-9);
}

// A point added at the end: the vehicle goes on from where it is, and on to it.
TEST_F(OnRoute, APointAppendedIsDrivenToFromWhereTheVehicleIs) {
    const double p3 = 44.0 + 3000.0 / metres_per_degree;
    // what, with a route, its end rule, seconds driven before the point is added, seconds then driven, metres north
    // of 44 N at the end
    const std::tuple<const char*, bool, RouteEnd, double, double, double> rows[] = {
        {"no route: one of the point, from where it is", false, RouteEnd::stop, 0.0, 50.0, 500.0},
        {"half way: on along the route, then to the point", true, RouteEnd::stop, 50.0, 200.0, 2500.0},
        {"stopped at the end: on to the new point", true, RouteEnd::stop, 250.0, 50.0, 2500.0},
        {"on the leg back of a loop: back to the first point first", true, RouteEnd::loop, 250.0, 50.0, 1000.0},
    };
    double t = 0.0;  // the steady clock, on from row to row
    for (const auto& [what, with_route, end, before_s, after_s, expected_m] : rows) {
        SCOPED_TRACE(what);
        t += 1000.0;
        routes.take_away(0, &me);
        fleet.advance(t);  // the time since the row before goes by first
        ASSERT_FALSE(fleet.place(0, 44.0 * arc_seconds_per_degree, 10.0 * arc_seconds_per_degree, &me));
        ASSERT_FALSE(fleet.set_speed(0, 36.0, &me));
        if (with_route) give(north, {end, false, 0.0, false});
        fleet.advance(t + before_s);
        const std::size_t kept = keeper.calls.size();
        ASSERT_FALSE(routes.append(0, {p3, 10.0}, "aggiunto", &me));
        EXPECT_EQ(keeper.calls.size(), kept + 1) << "kept again";
        ASSERT_FALSE(fleet.set_speed(0, 36.0, &me));  // a route that stopped left it at 0
        fleet.advance(t + before_s + after_s);
        EXPECT_NEAR((lat() - 44.0) * metres_per_degree, expected_m, 0.5);
        EXPECT_EQ(routes.route(0)->route.size(), with_route ? 4u : 1u);
    }
    EXPECT_TRUE(routes.append(0, {95.0, 10.0}, "", &me)) << "a latitude out of range";
    EXPECT_EQ(routes.route(0)->route.size(), 4u);
}

TEST_F(OnRoute, HandChangesThatTakeItOffItsRoute) {
    const Route one_point = route_of({{44.0, 10.0}});
    // name, route, its end, first driven to the end of its route, the change, whether the route stays
    const std::tuple<const char*, const Route*, RouteEnd, bool, Change, bool> rows[] = {
        {"a speed changes the pace only", &north, RouteEnd::stop, false, Change::speed, true},
        {"placed at the end of its route: done", &north, RouteEnd::stop, true, Change::placed, false},
        {"a speed at the end of its route: done", &north, RouteEnd::stop, true, Change::speed, false},
        {"a speed on a loop of one point: it never ends", &one_point, RouteEnd::loop, true, Change::speed, true},
        {"a speed back and forth on one point", &one_point, RouteEnd::back, true, Change::speed, true},
        {"a speed on one point that stops: done", &one_point, RouteEnd::stop, true, Change::speed, false},
    };
    for (const auto& [name, route, end, finished, what, stays] : rows) {
        SCOPED_TRACE(name);
        give(*route, {end, false, 0.0, false});
        go_for(finished ? 1000.0 : 10.0);
        keeper.calls.clear();
        EXPECT_FALSE(what == Change::speed ? fleet.set_speed(0, 50.0, &me) : fleet.place(0, 0.0, 0.0, &me));
        EXPECT_EQ(std::pair(routes.has_route(0), keeper.calls.empty()), std::pair(stays, stays));
        if (stays && route == &one_point) {
            fleet.advance(2000.0);
            EXPECT_NEAR(lat(), 44.0, 1e-9) << "it holds at its point";
            EXPECT_EQ(fleet.vehicle(0).speed, 50.0) << "at the speed given";
        }
        routes.take_away(0, &me);
        EXPECT_FALSE(fleet.set_speed(0, 36.0, &me));
    }
}

TEST_F(OnRoute, ARouteThatCannotBeFollowedIsRefusedAndNothingChanges) {
    EXPECT_TRUE(routes.give(0, Route{}, {}, &me)) << "empty";
    EXPECT_TRUE(routes.give(fleet_size, north, {}, &me)) << "no such vehicle";
    EXPECT_EQ(std::tuple(routes.has_route(0), lat(), keeper.calls.size(), told.size()), std::tuple(false, 0.0, 0u, 0u));
}

const std::vector<Route>& routes_of(const RouteReading& read) {
    static const std::vector<Route> none;
    if (const auto* problem = std::get_if<ReadProblem>(&read)) {
        ADD_FAILURE() << problem->message();
        return none;
    }
    return std::get<std::vector<Route>>(read);
}

// Why a reading was refused.
std::string refusal(const RouteReading& read) {
    const auto* problem = std::get_if<ReadProblem>(&read);
    return problem ? problem->reason : "<letto senza problemi>";
}

RouteReading read_text(const std::string& text, RouteFormat format) {
    return read_route_file(QByteArray::fromStdString(text), format);
}

const std::string gpx_head =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"t\" "
    "xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n";

// Each format as its writers write it: what the routes hold, point by point.
TEST(RouteFiles, GoodFilesOfEachFormat) {
    // name, format, text, the routes' names in order, the points of the first route and its last point (a
    // speed is kept as a float)
    using Names = std::vector<std::string>;
    const std::tuple<const char*, RouteFormat, std::string, Names, std::size_t, RoutePoint> rows[] = {
        {"GPX rte, then its waypoints as a route of their own", RouteFormat::gpx,
         gpx_head + "<wpt lat=\"1\" lon=\"2\"/><wpt lat=\"3\" lon=\"4\"/>\n<rte><name>Andata</name>"
                    "<rtept lat=\"45.5\" lon=\"9.25\"><name>A</name></rtept><rtept lat=\"45.6\" lon=\"9.3\"/></rte></gpx>",
         {"Andata", "waypoint"}, 2, {45.6, 9.3}},
        {"GPX trk: segments joined, times, Garmin speeds", RouteFormat::gpx,
         gpx_head + "<trk><name>Giro</name><trkseg><trkpt lat=\"10\" lon=\"20\"><time>2024-05-01T10:00:00Z</time>"
                    "</trkpt></trkseg><trkseg><trkpt lat=\"10.001\" lon=\"20\"><ele>3</ele><time>2024-05-01T10:00:10.5Z"
                    "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>11.1</gpxtpx:speed>"
                    "</gpxtpx:TrackPointExtension></extensions></trkpt></trkseg></trk></gpx>",
         {"Giro"}, 2, {10.001, 20.0, 11.1f, 1714557610500}},
        {"GPX 1.0 speed, no namespace, a BOM", RouteFormat::guess,
         "\xEF\xBB\xBF<gpx version=\"1.0\"><trk><trkseg><trkpt lat=\"-1\" lon=\"179.5\"><speed>2.5</speed></trkpt>"
         "</trkseg></trk></gpx>",
         {""}, 1, {-1.0, 179.5, 2.5}},
        {"GPX in Latin-1, said so", RouteFormat::gpx,
         "<?xml version='1.0' encoding='ISO-8859-1'?><gpx><rte><name>caff\xE8</name><rtept lat=\"1\" lon=\"2\"/>"
         "</rte></gpx>",
         {"caff\xC3\xA8"}, 1, {1.0, 2.0}},
        {"KML LineString named by its Placemark", RouteFormat::kml,
         "<?xml version=\"1.0\"?><kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document><Placemark><name>Linea</name>"
         "<LineString><coordinates>\n  9.1,45.1,0 9.2,45.2\n  9.3,45.3,10\n</coordinates></LineString></Placemark>"
         "<Placemark><name>Punto</name><Point><coordinates>1,2</coordinates></Point></Placemark></Document></kml>",
         {"Linea"}, 3, {45.3, 9.3}},
        {"KML MultiGeometry: one route a LineString", RouteFormat::guess,
         "<kml><Placemark><MultiGeometry><LineString><coordinates>1,1 2,2</coordinates></LineString>"
         "<LineString><coordinates>3,3 4,4</coordinates></LineString></MultiGeometry><name>Due</name></Placemark></kml>",
         {"Due", "Due (2)"}, 2, {2.0, 2.0}},
        {"KML gx:Track: when and gx:coord in pairs", RouteFormat::kml,
         "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Placemark>"
         "<name>T</name><gx:Track><when>2024-05-01T10:00:00Z</when><when>2024-05-01T10:01:00Z</when>"
         "<gx:coord>9 45 0</gx:coord><gx:coord>9.01 45.01 0</gx:coord></gx:Track></Placemark></kml>",
         {"T"}, 2, {45.01, 9.01, std::nullopt, 1714557660000}},
        {"CSV ; with decimal commas, km/h by default, comments", RouteFormat::csv,
         "# giro del lago\nlatitudine;longitudine;velocita\n45,5;9,25;36\n\n45,6;9,3;\n", {""}, 2, {45.6, 9.3}},
        {"CSV , with points, quoted header, knots, time", RouteFormat::guess,
         "\"lat\",\"lon\",\"speed (kn)\",ora,nome\r\n1.5,2.5,10,2024-05-01T10:00:00Z,\"a, b\"\r\n", {""}, 1,
         {1.5, 2.5, static_cast<float>(10 * 1852.0 / 3600.0), 1714557600000}},
        {"CSV tab, m/s, columns in any order", RouteFormat::csv, "lon\tvelocita_ms\tlat\n7\t3.5\t-8\n", {""}, 1,
         {-8.0, 7.0, 3.5}},
        {"JSON list", RouteFormat::json, "[{\"lat\":1,\"lon\":2},{\"lat\":1.5,\"lon\":2,\"velocita_kmh\":36}]", {""}, 2,
         {1.5, 2.0, 10.0}},
        {"JSON: escapes, a BOM, the name after the points", RouteFormat::guess,
         "\xEF\xBB\xBF {\"punti\" : [ {\"lat\" : -1.5e0 , \"lon\":2, \"velocita_nodi\": 10} ] ,"
         " \"nome\":\"caff\\u00e8 \\ud83d\\ude97 \\\"a\\\"\"}",
         {"caff\xC3\xA8 \xF0\x9F\x9A\x97 \"a\""}, 1, {-1.5, 2.0, static_cast<float>(10 * 1852.0 / 3600.0)}},
        {"JSON object with a name", RouteFormat::guess,
         "{\"nome\":\"api\",\"punti\":[{\"latitudine\":-3,\"longitudine\":4,\"ora\":\"2024-05-01T12:00:00+02:00\"}]}",
         {"api"}, 1, {-3.0, 4.0, std::nullopt, 1714557600000}},
    };
    for (const auto& [name, format, text, names, points, last] : rows) {
        SCOPED_TRACE(name);
        const RouteReading read = read_text(text, format);
        const std::vector<Route>& routes = routes_of(read);
        std::vector<std::string> read_names;
        for (const Route& r : routes) read_names.push_back(r.name());
        EXPECT_EQ(read_names, names);
        if (routes.empty()) continue;
        ASSERT_EQ(routes[0].size(), points);
        EXPECT_EQ(routes[0].point(points - 1), last);
    }
}

// What must be refused, and where: each file says why, in Italian, with the
// line and column of the trouble where it has one. (The end-to-end test sends
// the route API an empty CSV and a JSON point with a key that is none.)
TEST(RouteFiles, HostileAndBrokenFilesAreRefusedWithWhere) {
    // name, format, text, line, column, what is said
    const std::tuple<const char*, RouteFormat, std::string, std::int64_t, std::int64_t, const char*> rows[] = {
        {"external entity", RouteFormat::guess,
         "<?xml version=\"1.0\"?>\n<!-- x --><!DOCTYPE gpx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><gpx>&x;</gpx>",
         2, 11, "DOCTYPE"},
        {"undeclared entity", RouteFormat::gpx, "<gpx><rte><name>&x;</name></rte></gpx>", 1, 20, "XML"},
        {"binary without NUL", RouteFormat::gpx, "\x89PNG\r\n\x1A\n\xFF\xD8", 1, 1, "UTF-8"},
        {"a Latin-1 byte in a file that does not say so", RouteFormat::gpx,
         "<gpx><rte>\n<name>caff\xE8 \xC3\xA8</name><rtept lat=\"1\" lon=\"2\"/></rte></gpx>", 2, 11, "UTF-8"},
        {"a character cut at the end", RouteFormat::gpx, "<gpx><rte><name>\xC3", 1, 17, "UTF-8"},
        {"a control character", RouteFormat::gpx, "<gpx><rte><name>\x1B]0;titolo\x07</name></rte></gpx>", 1, 17,
         "carattere di controllo"},
        {"binary: a NUL byte", RouteFormat::guess, std::string("lat;lon\n1;2\n3;\0\xFF", 16), 3, 3, "byte nulli"},
        // At the start of the element cut short, not where the reader gave up.
        {"truncated GPX", RouteFormat::gpx, gpx_head + "<rte><rtept lat=\"1\" lon=\"2\"/><rtept lat=\"1", 3, 30,
         "finisce a metà"},
        {"XML neither GPX nor KML", RouteFormat::gpx, "<html><body/></html>", 1, 7, "<html>"},
        {"latitude out of range", RouteFormat::gpx,
         gpx_head + "<rte><rtept lat=\"1\" lon=\"2\"/>\n  <rtept lat=\"95\" lon=\"2\"/></rte></gpx>", 4, 28,
         "latitudine 95"},
        {"longitude not a number", RouteFormat::gpx, gpx_head + "<rte><rtept lat=\"1\" lon=\"x\"/></rte></gpx>", 3, 30,
         "non è un numero"},
        {"time going backwards", RouteFormat::gpx,
         gpx_head + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>2024-05-01T10:00:01Z</time></trkpt>\n"
                    "<trkpt lat=\"1\" lon=\"2.1\"><time>2024-05-01T10:00:00Z</time></trkpt></trkseg></trk></gpx>",
         4, 26, "viene prima"},
        {"a time that is no time", RouteFormat::gpx,
         gpx_head + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>ieri</time></trkpt></trkseg></trk></gpx>", 3, 54,
         "ora"},
        {"opposite points", RouteFormat::csv, "lat;lon\n10;20\n-10;-160\n", 3, 1, "antipodi"},
        {"an empty route only", RouteFormat::gpx, gpx_head + "<rte><name>vuoto</name></rte></gpx>", 3, 6,
         "\"vuoto\" non ha punti"},
        {"KML tuple", RouteFormat::kml, "<kml><LineString><coordinates>1,2 3;4</coordinates></LineString></kml>", 1,
         35, "coordinate KML"},
        {"gx:Track unpaired", RouteFormat::kml,
         "<kml><Track><when>2024-05-01T10:00:00Z</when><coord>1 2 3</coord><coord>1 2 3</coord></Track></kml>", 1,
         94, "vanno a coppie"},
        {"blanks only, the format to guess", RouteFormat::guess, " \n\n", 0, 0, "vuoto"},
        {"CSV without a header", RouteFormat::csv, "45.1;9.2\n", 1, 1, "nominare le colonne"},
        {"CSV comma separator with decimal commas", RouteFormat::csv, "lat,lon\n45,5,9,2\n", 2, 1, "col punto"},
        {"CSV unknown speed unit", RouteFormat::csv, "lat;lon;velocita_mph\n", 1, 9, "unità"},
        {"CSV line too long", RouteFormat::csv, "lat;lon\n" + std::string(5000, '7'), 2, 1, "più lunga"},
        {"JSON syntax", RouteFormat::json, "[{\"lat\":1,\n \"lon\":}]", 2, 8, "JSON"},
        {"JSON: a key given twice", RouteFormat::json, "{\"punti\":[{\"lat\":1,\"lon\":2,\n\"latitudine\":3}]}", 2, 1,
         "punto 1: latitudine: il valore è dato due volte"},
        {"JSON: a route's field twice", RouteFormat::json,
         "{\"nome\":\"a\",\"punti\":[{\"lat\":1,\"lon\":2}],\"nome\":\"b\"}", 1, 41, "\"nome\" è dato due volte"},
        {"JSON: an unknown field of a point", RouteFormat::guess, "[{\"lat\":45,\"lon\":9,\"quota\":3}]", 1, 20,
         "punto 1: chiave sconosciuta \"quota\""},
        {"JSON: a point out of range, placed", RouteFormat::json, "[{\"lat\":1,\"lon\":2},\n {\"lat\":95,\"lon\":2}]", 2,
         2, "punto 2: la latitudine 95"},
        {"JSON: a number as text", RouteFormat::json, "[{\"lat\":\"45\",\"lon\":9}]", 1, 9, "lat deve essere un numero"},
        {"JSON: a point that is a list", RouteFormat::json, "[[45,9]]", 1, 2, "ogni punto è un oggetto"},
        {"JSON: no points", RouteFormat::json, "{\"nome\":\"x\"}", 0, 0, "lista di punti"},
        {"JSON: an empty list", RouteFormat::json, " []", 1, 3, "non ha punti"},
        {"JSON: text after the end", RouteFormat::json, "[{\"lat\":1,\"lon\":2}] x", 1, 21, "dopo la fine"},
        {"JSON: a lone surrogate", RouteFormat::json, "{\"nome\":\"\\ud800x\",\"punti\":[]}", 1, 16, "surrogato"},
        {"JSON: a control byte in a string", RouteFormat::json, "{\"nome\":\"a\tb\"}", 1, 11, "controllo"},
        {"JSON: a number JSON does not write", RouteFormat::json, "[{\"lat\":01,\"lon\":2}]", 1, 9, "numero"},
        {"JSON: 1e999", RouteFormat::json, "[{\"lat\":1e999,\"lon\":2}]", 1, 9, "fuori campo"},
        {"JSON: cut short", RouteFormat::json, "{\"punti\":[{\"lat\":1", 1, 19, "non è chiuso"},
    };
    for (const auto& [name, format, text, line, column, says] : rows) {
        SCOPED_TRACE(name);
        const RouteReading read = read_text(text, format);
        const auto* problem = std::get_if<ReadProblem>(&read);
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->reason.find(says), std::string::npos) << problem->message();
        EXPECT_EQ(std::pair(problem->line, problem->column), std::pair(line, column)) << problem->message();
    }
}

// A problem is placed as the format counts lines: XML ends a line at a CR
// alone as at LF, and a CR LF pair ends one; CSV and JSON end lines at LF
// only. However the bytes come, the place is the same, even with a CR LF
// pair cut between two pieces.
TEST(RouteFiles, ProblemsArePlacedByTheFormatsLines) {
    const std::string nul(1, '\0');
    const std::string attributes = [] {
        std::string text;
        for (int i = 0; i < 65; ++i) text += " a" + std::to_string(i) + "=\"\"";
        return text;
    }();
    // name, format, text, line, column, what is said
    const std::tuple<const char*, RouteFormat, std::string, std::int64_t, std::int64_t, const char*> rows[] = {
        {"XML: CR alone, then CR LF", RouteFormat::guess, "<gpx>\r<rte>\r\n<name>a" + nul, 3, 8, "byte nulli"},
        {"XML: CR CR", RouteFormat::gpx, "<gpx>\r\r<rte>" + nul, 3, 6, "byte nulli"},
        {"XML: the markup's limit after a CR", RouteFormat::gpx, "<gpx>\r<rte" + attributes + "/></gpx>", 2, 444,
         "attributi"},
        {"XML: \"]]>\" in text, however it is cut", RouteFormat::gpx, "<gpx>\r<rte><name>a]]]>b</name>", 2, 16,
         "\"]]>\""},
        {"CSV: a CR alone is no line's end", RouteFormat::csv, "lat;lon\r\n1;2\r3;" + nul, 2, 7, "byte nulli"},
        {"JSON: nor here", RouteFormat::json, "[\r{\"lat\":1,\r\n" + nul, 2, 1, "byte nulli"},
    };
    for (const auto& [name, format, text, line, column, says] : rows) {
        for (const std::size_t piece : {text.size(), std::size_t{1}, std::size_t{2}, std::size_t{5}}) {
            SCOPED_TRACE(std::string(name) + ", pieces of " + std::to_string(piece));
            std::size_t at = 0;
            const RouteReading read = read_route_source(
                [&]() -> Piece {
                    const std::string_view next = std::string_view(text).substr(at, piece);
                    at += next.size();
                    return {next, {}};
                },
                format);
            const auto* problem = std::get_if<ReadProblem>(&read);
            ASSERT_TRUE(problem);
            EXPECT_NE(problem->reason.find(says), std::string::npos) << problem->message();
            EXPECT_EQ(std::pair(problem->line, problem->column), std::pair(line, column)) << problem->message();
        }
    }
}

// The markup's limits, which keep the XML reader's time in proportion to the
// file: counted on tags only, never in comments, CDATA, values or text.
TEST(RouteFiles, MarkupPastItsLimitsIsRefusedWithWhere) {
    const auto attributes = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i) text += " a" + std::to_string(i) + "=\"\"";
        return text;
    };
    const auto nested = [](int n, const std::string& open) {
        std::string text;
        for (int i = 0; i < n; ++i) text += open;
        return text;
    };
    const std::string point = "<rte><rtept lat=\"1\" lon=\"2\"/></rte>";
    // name, text, line and column of the refusal (0, 0: read), what is said
    const std::tuple<const char*, std::string, std::int64_t, std::int64_t, const char*> rows[] = {
        {"64 attributes", "<gpx" + attributes(64) + ">" + point + "</gpx>", 0, 0, ""},
        {"65 attributes", "<gpx" + attributes(65) + ">" + point + "</gpx>", 1, 444, "più di 64 attributi"},
        {"a million attributes", "<gpx>\n<rte" + attributes(1'000'000) + "/>", 2, 444, "più di 64 attributi"},
        {"= and > inside values, comments and CDATA",
         "<gpx a='=\"=>' b=\"'==\"><!-- <a x=1 y=2> --><![CDATA[ <b c=d> ]]><?p <e f=g>?>" + nested(70, "<b x=\"/>\"/>") +
             point + "</gpx>",
         0, 0, ""},
        {"63 deep below the root", "<gpx>" + nested(63, "<a>") + nested(63, "</a>") + point + "</gpx>", 0, 0, ""},
        {"64 deep below the root", "<gpx>\n" + nested(64, "<a>"), 2, 190, "annidati a più di 64"},
        {"64 deep after a comment and a CDATA section", "<gpx><!-- a - b\n--><![CDATA[ ]> ]] ]]]>\n" + nested(64, "<a>"),
         3, 190, "annidati a più di 64"},
        {"empty elements do not nest", "<gpx>" + nested(100, "<a xmlns:x=\"u\"/>") + point + "</gpx>", 0, 0, ""},
        {"65 namespaces in force",
         "<kml xmlns:a=\"u\" xmlns:b=\"u\">" + nested(62, "<a xmlns:n=\"u\">") + "<b xmlns=\"v\">", 1, 963, "xmlns"},
        {"a tag past 64 KiB", "<gpx a=\"" + std::string(70'000, 'x') + "\">", 1, 1, "64 KiB"},
        {"a comment after the root", "<gpx>" + point + "</gpx>\n<!-- fine -->\n", 0, 0, ""},
        {"text after the root", "<gpx>" + point + "</gpx>\n lat,lon", 2, 2, "dopo la fine"},
        {"an element after the root", "<gpx/><gpx>" + point + "</gpx>", 1, 7, "dopo la fine"},
    };
    for (const auto& [name, text, line, column, says] : rows) {
        SCOPED_TRACE(name);
        const RouteReading read = read_text(text, RouteFormat::gpx);
        const auto* problem = std::get_if<ReadProblem>(&read);
        if (line == 0) {
            EXPECT_FALSE(problem) << problem->message();
            continue;
        }
        ASSERT_TRUE(problem);
        EXPECT_THAT(problem->reason, ::testing::HasSubstr(says));
        EXPECT_EQ(std::pair(problem->line, problem->column), std::pair(line, column)) << problem->message();
    }
}

// A valid GPX whose whole is far beyond one token's 16 MiB reads as a file
// does: the bytes in memory are given to the reader a piece at a time.
TEST(RouteFiles, AGpxLargerThanOneTokenReadsFromMemory) {
    std::string text = gpx_head + "<rte>\n";
    while (text.size() < (17u << 20)) text += "<rtept lat=\"45.1234567\" lon=\"9.1234567\"></rtept>\n";
    text += "</rte></gpx>\n";
    const RouteReading read = read_text(text, RouteFormat::guess);
    ASSERT_EQ(routes_of(read).size(), 1u);
    EXPECT_GT(routes_of(read)[0].size(), 300'000u);
}

// The fuzzer's seed corpus: every rule of routes_check.h holds, and the
// files named ok- read while those named ko- are refused.
TEST(RouteFiles, FuzzCorpusKeepsEveryRule) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_ROUTES_CORPUS)) << "the seed corpus is there";
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_ROUTES_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(fuzzing::check_routes(bytes), "") << name;
        const RouteReading read = read_text(bytes, RouteFormat::guess);
        EXPECT_EQ(std::holds_alternative<ReadProblem>(read), name.rfind("ko-", 0) == 0) << name << ": " << fuzzing::describe(read);
    }
}

// A stream that never ends, and a regular file too large, in bounded memory;
// a million and one points refused by their count.
TEST(RouteFiles, EndlessAndHugeFilesAreRefusedEarly) {
    std::uint64_t given = 0;
    const auto endless = [&](std::string start, std::string again) {
        given = 0;
        return [&given, start, again, first = true]() mutable -> Piece {
            const std::string& piece = first ? start : again;
            first = false;
            given += piece.size();
            return {piece, {}};
        };
    };
    std::string comments;
    while (comments.size() < 60000) comments += "# " + std::string(4000, '.') + "\n";
    // name, the first piece, each piece after it, format, the bytes given at most before the refusal, what is said
    const std::tuple<const char*, std::string, std::string, RouteFormat, std::uint64_t, const char*> rows[] = {
        {"blanks: one endless text", gpx_head + "<rte>", std::string(65536, ' '), RouteFormat::guess,
         (16u << 20) + 70000, "16 MiB"},
        {"comment lines of CSV", "lat;lon\n", comments, RouteFormat::csv, max_file_bytes + 70000, "128 MiB"},
        {"a JSON body", "[", std::string(65536, ' '), RouteFormat::json, max_file_bytes + 70000, "128 MiB"},
    };
    for (const auto& [name, start, again, format, at_most, says] : rows) {
        EXPECT_THAT(refusal(read_route_source(endless(start, again), format)), ::testing::HasSubstr(says)) << name;
        EXPECT_LE(given, at_most) << name;
    }
    // The endless text is placed where it starts (line 3, after "<rte>"),
    // not where the reader last tried it.
    const RouteReading text = read_route_source(endless(gpx_head + "<rte>", std::string(65536, 'x')), RouteFormat::gpx);
    ASSERT_TRUE(std::holds_alternative<ReadProblem>(text));
    EXPECT_EQ(std::pair(std::get<ReadProblem>(text).line, std::get<ReadProblem>(text).column), std::pair(3L, 6L))
        << std::get<ReadProblem>(text).message();

    // A million and one points of CSV, given a line at a time.
    std::size_t lines = 0;
    std::string line;
    const RouteReading many = read_route_source(
        [&]() -> Piece {
            line = lines == 0 ? "lat;lon\n" : std::to_string(lines % 2) + ";" + std::to_string((lines / 2) % 100) + "\n";
            return {lines++ <= Route::max_points + 1 ? std::string_view(line) : std::string_view(), {}};
        },
        RouteFormat::csv);
    ASSERT_TRUE(std::holds_alternative<ReadProblem>(many));
    EXPECT_EQ(std::get<ReadProblem>(many).line, static_cast<std::int64_t>(Route::max_points) + 2);
    EXPECT_NE(std::get<ReadProblem>(many).reason.find("1.000.000"), std::string::npos);
}

// Real files: the format by the name, a CSV route named after its file; a
// file too large refused before it is read; a folder, a FIFO, a missing
// file, an unreadable one and a stopped reading said as such.
TEST(RouteFiles, ReadsRealFilesAndOnlyRegularOnes) {
    testing::ScratchFolder folder;
    folder.put("giro.csv", "lat;lon\n45;9\n45.1;9\n");
    folder.put("senza_nome", gpx_head + "<rte><rtept lat=\"1\" lon=\"2\"/></rte></gpx>");
    const RouteReading csv = read_route_file(folder.at("giro.csv"));
    ASSERT_EQ(routes_of(csv).size(), 1u);
    EXPECT_EQ(routes_of(csv)[0].name(), "giro");
    const RouteReading gpx = read_route_file(folder.at("senza_nome"));
    EXPECT_EQ(routes_of(gpx).size(), 1u);

    folder.put("grande.gpx", "");
    ASSERT_EQ(::truncate(folder.at("grande.gpx").c_str(), 200 * 1000 * 1000), 0);
    ASSERT_EQ(::mkfifo(folder.at("fifo.gpx").c_str(), 0600), 0);
    ::mkdir(folder.at("cartella.gpx").c_str(), 0700);
    folder.put("chiuso.gpx", "x");
    ::chmod(folder.at("chiuso.gpx").c_str(), 0);
    const bool root = ::geteuid() == 0;
    const std::pair<const char*, const char*> rows[] = {  // name, what is said
        {"grande.gpx", "più grande di 128 MiB"}, {"fifo.gpx", "non è un file normale"},
        {"cartella.gpx", "è una cartella"},      {"manca.gpx", "non si apre: il file o la cartella non esiste"},
        {"chiuso.gpx", root ? "troncato" : "permesso negato"},  // as root, readable: "x" is no whole GPX
    };
    for (const auto& [name, says] : rows) {
        EXPECT_THAT(refusal(read_route_file(folder.at(name))), ::testing::HasSubstr(says)) << name;
    }
    const RouteReading stopped = read_route_file(folder.at("giro.csv"), [](double) { return false; });
    EXPECT_THAT(refusal(stopped), ::testing::HasSubstr("interrotta"));
}

TEST(RouteFiles, ChoosingARouteByNameOrNumber) {
    const std::vector<Route> routes{Route("Andata"), Route("Ritorno"), Route("2")};
    const std::string has = "\": ha \"Andata\", \"Ritorno\", \"2\" (si può scegliere anche per numero, da 1 a 3)";
    const std::pair<const char*, std::variant<std::size_t, std::string>> rows[] = {
        {"", std::size_t{0}},
        {"Ritorno", std::size_t{1}},
        {"2", std::size_t{2}},  // a name first
        {"1", std::size_t{0}},
        {"3", std::size_t{2}},
        {"4", "il file non ha un percorso \"4" + has},
        {"andata", "il file non ha un percorso \"andata" + has},
    };
    for (const auto& [choice, chosen] : rows) EXPECT_EQ(choose_route(routes, choice), chosen) << choice;
}

// The GPX written for a route reads back as the same route, to the last bit.
TEST(RouteFiles, WrittenGpxReadsBackTheSame) {
    for (const bool timed : {false, true}) {
        Route route(timed ? "traccia <&> \"1\"" : "");
        for (int i = 0; i < 300; ++i) {
            RoutePoint p{45.0 + i * 1.234567891234e-3, -179.999999999 + i * 1e-7};
            if (i % 3 == 0) p.speed = 0.1 * i;
            if (timed) p.time = 1714557600000 + i * 1001;
            ASSERT_FALSE(route.add(p));
        }
        const RouteReading read = read_route_file(route_gpx(route), RouteFormat::gpx);
        ASSERT_EQ(routes_of(read).size(), 1u);
        EXPECT_EQ(routes_of(read)[0], route) << route_gpx(route).left(600).toStdString();
    }
}

// One rule for a route's name, wherever the route comes from: a name it
// takes is written into the kept GPX and read back whole; a longer one, or
// one with a character XML cannot hold, is refused before it is followed.
TEST(RouteFiles, ANameTakenIsReadBackWholeAndAnyOtherIsRefused) {
    std::string smileys;
    for (std::size_t i = 0; i < Route::max_name_chars; ++i) smileys += "\xF0\x9F\x98\x80";
    // what, the name, what is said ("" when taken)
    const std::tuple<const char*, std::string, const char*> rows[] = {
        {"the longest", std::string(Route::max_name_chars, 'a'), ""},
        {"one character more", std::string(Route::max_name_chars + 1, 'a'), "più lungo di 1024 caratteri"},
        {"four bytes a character", smileys, ""},
        {"each escaped in XML", std::string(Route::max_name_chars, '&'), ""},
        {"a tab and a line", "a\tb\nc", ""},
        {"a control character", "giro\x01", "(U+0001)"},
        {"an escape", "\x1B]0;x\x07", "(U+001B)"},
        {"U+FFFF", "\xEF\xBF\xBF", "(U+FFFF)"},
        {"bytes that are no UTF-8, one character each", std::string(Route::max_name_chars + 1, '\x80'), "più lungo"},
        {"many bytes, not decoded", std::string(8 * 1024 * 1024, 'a'), "più lungo"},
    };
    for (const auto& [what, name, says] : rows) {
        SCOPED_TRACE(what);
        Route route(name);
        ASSERT_FALSE(route.add({45.0, 9.0}));
        const auto problem = follow_problem(route, {});
        if (*says != '\0') {
            ASSERT_TRUE(problem);
            EXPECT_NE(problem->find(says), std::string::npos) << *problem;
            continue;
        }
        ASSERT_FALSE(problem) << *problem;
        const RouteReading read = read_route_file(route_gpx(route), RouteFormat::gpx);
        ASSERT_EQ(routes_of(read).size(), 1u);
        EXPECT_EQ(routes_of(read)[0].name(), name);
    }
    // A KML placemark's second line is named after it with " (2)": past the limit.
    const std::string kml = "<kml><Placemark><name>" + std::string(Route::max_name_chars, 'k') +
                            "</name><MultiGeometry><LineString><coordinates>1,2 3,4</coordinates></LineString>"
                            "<LineString><coordinates>1,2 3,4</coordinates></LineString></MultiGeometry></Placemark></kml>";
    const RouteReading placemark = read_text(kml, RouteFormat::kml);
    const std::vector<Route>& lines = routes_of(placemark);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(follow_problem(lines[0], {}));
    EXPECT_TRUE(follow_problem(lines[1], {}));
}

// gpsbabel, a writer and reader of its own, reads our GPX and writes it
// again as GPX and as KML (gx:Track): both read as the points we wrote.
TEST(RouteFiles, GpsbabelReadsOursAndWeReadItsFiles) {
    if (QStandardPaths::findExecutable("gpsbabel").isEmpty()) GTEST_SKIP() << "gpsbabel is not installed";
    testing::ScratchFolder folder;
    Route route("punti");
    for (int i = 0; i < 50; ++i) {
        ASSERT_FALSE(route.add({45.1 + i * 1e-4, i % 2 ? -179.9995 : 179.9995, std::nullopt, 1714557600000 + i * 2000}));
    }
    folder.put("ours.gpx", route_gpx(route).toStdString());
    const QString ours = QString::fromStdString(folder.at("ours.gpx"));
    for (const char* out : {"gpx", "kml,points=0,track=1"}) {
        SCOPED_TRACE(out);
        QProcess babel;
        babel.start("gpsbabel", {"-t", "-i", "gpx", "-f", ours, "-o", out, "-F", "-"});
        ASSERT_TRUE(babel.waitForFinished(30000));
        ASSERT_EQ(babel.exitCode(), 0) << babel.readAllStandardError().toStdString();
        const RouteReading read = read_route_file(babel.readAllStandardOutput(), *out == 'g' ? RouteFormat::gpx : RouteFormat::kml);
        ASSERT_FALSE(routes_of(read).empty());
        const Route& theirs = routes_of(read)[0];
        ASSERT_EQ(theirs.size(), route.size());
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            EXPECT_NEAR(theirs.position(i).lat, route.position(i).lat, 1e-9);
            EXPECT_NEAR(theirs.position(i).lon, route.position(i).lon, 1e-9);
        }
        EXPECT_EQ(theirs.time(49), route.time(49));
    }
}

TEST(RouteFiles, FormatsByNameAndContentType) {
    EXPECT_EQ(format_of_name("/a/Giro.GPX"), RouteFormat::gpx);
    EXPECT_EQ(format_of_name("x.kml"), RouteFormat::kml);
    EXPECT_EQ(format_of_name("x.txt"), RouteFormat::csv);
    EXPECT_EQ(format_of_name("x.gpx.bak"), RouteFormat::guess);
    EXPECT_EQ(format_of_content_type("application/gpx+xml; charset=utf-8"), RouteFormat::gpx);
    EXPECT_EQ(format_of_content_type("Application/JSON"), RouteFormat::json);
    EXPECT_EQ(format_of_content_type("text/csv"), RouteFormat::csv);
    EXPECT_EQ(format_of_content_type("application/octet-stream"), RouteFormat::guess);
}

}  // namespace
}  // namespace vadrel
