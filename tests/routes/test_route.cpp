// A route's points and the sphere they lie on: how a point is kept (to a
// ten-millionth of a degree, a coordinate of up to seven decimals back as the
// very double it was read as, across the blocks the points are kept in), the
// distances and bearings between points, the times of GPX and KML, and the
// texts of a route to follow and of the progress along it.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>

#include "routes/geodesy.h"
#include "routes/iso_time.h"
#include "routes/route_text.h"
#include "textbook.h"

namespace vadrel {
namespace {

using testing::bearing;
using testing::haversine;

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

// The time to drive a route at a speed where its points give none (or 0),
// and its length.
TEST(Route, TravelTimeAndLength) {
    const Route paced = testing::route_of({{0.0, 0.0, 10.0}, {0.0, 0.01, 0.0}, {0.0, 0.02}});
    const double leg = haversine({0.0, 0.0}, {0.0, 0.01});
    EXPECT_NEAR(paced.travel_seconds(5.0), leg / 10.0 + leg / 5.0, 1e-6);
    EXPECT_TRUE(std::isinf(paced.travel_seconds(0.0)));
    EXPECT_NEAR(paced.length(), 2 * leg, 1e-6);
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

}  // namespace
}  // namespace vadrel
