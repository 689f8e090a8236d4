#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "motion/dead_reckoning.h"

namespace vadrel {
namespace {

// Degrees, minutes and four decimals of minutes come from one count and are
// cut, never rounded up into a minute or degree the vehicle has not reached.
TEST(DeadReckoning, SentenceFieldsAgreeAndAreCut) {
    const struct {
        double seconds_of_arc;
        int degree_digits;
        const char* field;
    } rows[] = {
        {158506.6359166, 2, "4401.7772"}, {-36484.8844694, 3, "01008.0814"},
        {161999.99999, 2, "4459.9999"},   {162000.0, 2, "4500.0000"},
        {323999.99999, 2, "8959.9999"},   {324000.0, 2, "9000.0000"},
        {-647999.99999, 3, "17959.9999"}, {648000.0, 3, "18000.0000"},
        {0.005, 3, "00000.0000"},         {0.006, 2, "0000.0001"},
    };
    for (const auto& r : rows) EXPECT_EQ(rmc_coordinate(r.seconds_of_arc, r.degree_digits), r.field) << r.seconds_of_arc;
}

// ---- every course, against a computation of the test's own ----

// A field as a client reads it: ddmm.mmmm (dddmm.mmmm), minutes below 60, the
// degrees within range. Degrees, or nothing when the field is malformed.
std::optional<double> read_field(const std::string& field, int degree_digits, int max_degrees) {
    const std::size_t point = static_cast<std::size_t>(degree_digits) + 2;
    if (field.size() != point + 5 || field[point] != '.' || field.find_first_not_of("0123456789") != point ||
        field.find_first_not_of("0123456789", point + 1) != std::string::npos) {
        return std::nullopt;
    }
    const double degrees = std::stoi(field.substr(0, point - 2)) + std::stod(field.substr(point - 2)) / 60.0;
    if (field.compare(point - 2, 2, "60") >= 0 || degrees > max_degrees) return std::nullopt;
    return degrees;
}

constexpr double true_pi = 3.14159265358979323846;
constexpr double km_per_degree = 6371.0 * true_pi / 180.0;

// Distance (km) and course (degrees) from fix a to fix b (degrees) on a local
// plane at their middle latitude; the longitude difference the short way.
std::pair<double, double> implied(double lat_a, double lon_a, double lat_b, double lon_b) {
    const double north = (lat_b - lat_a) * km_per_degree;
    const double east = std::remainder(lon_b - lon_a, 360.0) * std::cos((lat_a + lat_b) / 360.0 * true_pi) * km_per_degree;
    return {std::hypot(north, east), std::fmod(std::atan2(east, north) * 180.0 / true_pi + 360.0, 360.0)};
}

// An hour of one-second steps on every course in 1 degree steps, from every
// quadrant, 70 N and S, and the equator by the 180th meridian, at 5 knots,
// 100 and 1000 km/h: the positions as the fields send them imply the speed
// and course set (0.5 %, 0.2 degrees) over each minute, and no field is ever
// malformed.
TEST(DeadReckoning, EveryCourseGoesWhereItsCourseAndSpeedSay) {
    const std::pair<double, double> starts[] = {
        {44.0, 10.0 + 8.0 / 60.0}, {70.0, -74.0}, {-33.85, 151.2}, {-70.0, -43.2}, {0.0, 179.9}};
    for (const auto& [start_lat, start_lon] : starts) {
        for (const double kmh : {5 * 1.852, 100.0, 1000.0}) {
            for (int course = 0; course < 360; ++course) {
                double lat = start_lat * 3600.0, lon = start_lon * 3600.0, rotta = course;
                double lat_a = start_lat, lon_a = start_lon;
                int second = 1;
                const auto at = [&] {  // only made for a failure's message
                    return "from " + std::to_string(start_lat) + " " + std::to_string(start_lon) + " at " +
                           std::to_string(kmh) + " km/h on course " + std::to_string(course) + ", second " +
                           std::to_string(second) + ": ";
                };
                for (; second <= 3600; ++second) {
                    rotta = step_latitude(lat, lon, rotta, kmh / 3600.0);
                    step_longitude(lon, rotta, kmh / 3600.0, latitude_radians(lat));
                    const auto lat_field = read_field(rmc_coordinate(lat, 2), 2, 90);
                    const auto lon_field = read_field(rmc_coordinate(lon, 3), 3, 180);
                    ASSERT_TRUE(lat_field && lon_field) << at() << rmc_coordinate(lat, 2) << " " << rmc_coordinate(lon, 3);
                    if (second % 60 != 0) continue;
                    const double lat_b = lat < 0 ? -*lat_field : *lat_field;
                    const double lon_b = lon < 0 ? -*lon_field : *lon_field;
                    const auto [km, heading] = implied(lat_a, lon_a, lat_b, lon_b);
                    ASSERT_NEAR(km / (kmh / 60.0), 1.0, 0.005) << at();
                    ASSERT_LT(std::fabs(std::remainder(heading - course, 360.0)), 0.2) << at() << "course " << heading;
                    lat_a = lat_b;
                    lon_a = lon_b;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vadrel
