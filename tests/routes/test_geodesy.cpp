#include <gtest/gtest.h>

#include "routes/geodesy.h"
#include "routes/iso_time.h"
#include "textbook.h"

namespace vadrel {
namespace {

using testing::bearing;
using testing::haversine;

TEST(Geodesy, DistancesAndBearingsAsTheTextbookHasThem) {
    const struct {
        const char* name;
        GeoPoint a, b;
    } rows[] = {
        {"Milano - Roma", {45.4642, 9.19}, {41.9028, 12.4964}},
        {"across the equator", {-0.5, 10.0}, {0.5, 10.2}},
        {"across the 180th meridian", {10.0, 179.9}, {10.1, -179.9}},
        {"a centimetre", {45.0, 9.0}, {45.0000001, 9.0}},
        {"almost opposite", {10.0, 20.0}, {-10.0, -159.9}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(distance_m(row.a, row.b), haversine(row.a, row.b), 1e-6 * haversine(row.a, row.b) + 1e-6);
        EXPECT_NEAR(initial_bearing(row.a, row.b), bearing(row.a, row.b), 1e-6);
        EXPECT_NEAR(final_bearing(row.a, row.b), std::fmod(bearing(row.b, row.a) + 180.0, 360.0), 1e-6);
        // The midpoint is as far from either end, and on the way.
        const GeoPoint m = interpolate(row.a, row.b, 0.5);
        EXPECT_NEAR(haversine(row.a, m) + haversine(m, row.b), haversine(row.a, row.b), 1e-6);
        EXPECT_NEAR(haversine(row.a, m), haversine(m, row.b), 1e-6);
        EXPECT_LT(haversine(interpolate(row.a, row.b, 1.0), row.b), 1e-6);
    }
    // Over the pole: from 80 N 0 E to 80 N 180 E the midpoint is the pole.
    EXPECT_NEAR(interpolate({80.0, 0.0}, {80.0, 180.0}, 0.5).lat, 90.0, 1e-9);
    EXPECT_NEAR(initial_bearing({80.0, 0.0}, {80.0, 180.0}), 0.0, 1e-9);
}

TEST(IsoTime, ReadsTheDateTimesOfGpxAndKml) {
    const struct {
        const char* text;
        std::optional<std::int64_t> ms;
    } rows[] = {
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
    for (const auto& row : rows) EXPECT_EQ(read_iso_time(row.text), row.ms) << row.text;
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

}  // namespace
}  // namespace vadrel
