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
    if (field.size() != point + 5 || field[point] != '.') return std::nullopt;
    long long degrees = 0;
    long long minutes = 0;  // ten-thousandths
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (i == point) continue;
        if (field[i] < '0' || field[i] > '9') return std::nullopt;
        long long& part = i < point - 2 ? degrees : minutes;
        part = part * 10 + (field[i] - '0');
    }
    if (minutes >= 600000 || degrees * 600000 + minutes > max_degrees * 600000LL) return std::nullopt;
    return static_cast<double>(degrees) + static_cast<double>(minutes) / 600000.0;
}

constexpr double true_pi = 3.14159265358979323846;
constexpr double earth_km = 6371.0;

// Distance (km) and course (degrees) from fix a to fix b on a local plane at
// their middle latitude; the longitude difference is taken the short way.
void implied(double lat_a, double lon_a, double lat_b, double lon_b, double& km, double& course) {
    double dlon = std::remainder(lon_b - lon_a, 360.0);
    const double north = (lat_b - lat_a) * true_pi / 180.0 * earth_km;
    const double east = dlon * true_pi / 180.0 * std::cos((lat_a + lat_b) / 2.0 * true_pi / 180.0) * earth_km;
    km = std::hypot(north, east);
    course = std::fmod(std::atan2(east, north) * 180.0 / true_pi + 360.0, 360.0);
}

// An hour of one-second steps on every course in 1 degree steps, from every
// quadrant, 70 N and S, and the equator by the 180th meridian, at 5 knots,
// 100 and 1000 km/h: the positions as the fields send them imply the speed
// and course set (0.5 %, 0.2 degrees) over each minute, and no field is ever
// malformed.
TEST(DeadReckoning, EveryCourseGoesWhereItsCourseAndSpeedSay) {
    const struct {
        const char* place;
        double lat, lon;  // degrees, north and east positive
    } starts[] = {
        {"44 N 10 E", 44.0, 10.0 + 8.0 / 60.0},
        {"70 N 74 W", 70.0, -74.0},
        {"33 S 151 E", -33.85, 151.2},
        {"70 S 43 W", -70.0, -43.2},
        {"equator by 180", 0.0, 179.9},
    };
    const struct {
        const char* name;
        double km_per_hour;
    } speeds[] = {{"5 knots", 5 * 1.852}, {"100 km/h", 100}, {"1000 km/h", 1000}};
    constexpr int minute = 60;
    for (const auto& start : starts) {
        for (const auto& speed : speeds) {
            const double km = speed.km_per_hour / 3600.0;
            const double expected_km = speed.km_per_hour / 60.0;
            for (int course = 0; course < 360; ++course) {
                double lat = start.lat * 3600.0, lon = start.lon * 3600.0;
                double rotta = course;
                double lat_a = start.lat;
                double lon_a = start.lon;
                for (int second = 1; second <= 3600; ++second) {
                    rotta = step_latitude(lat, lon, rotta, km);
                    step_longitude(lon, rotta, km, latitude_radians(lat));
                    const std::optional<double> lat_field = read_field(rmc_coordinate(lat, 2), 2, 90);
                    const std::optional<double> lon_field = read_field(rmc_coordinate(lon, 3), 3, 180);
                    ASSERT_TRUE(lat_field && lon_field) << start.place << ", " << speed.name << ", course " << course
                                                        << ", second " << second << ": " << rmc_coordinate(lat, 2)
                                                        << " " << rmc_coordinate(lon, 3);
                    if (second % minute != 0) continue;
                    const double lat_b = lat < 0 ? -*lat_field : *lat_field;
                    const double lon_b = lon < 0 ? -*lon_field : *lon_field;
                    double went = 0;
                    double heading = 0;
                    implied(lat_a, lon_a, lat_b, lon_b, went, heading);
                    const double off_course = std::fabs(std::remainder(heading - course, 360.0));
                    ASSERT_TRUE(std::fabs(went / expected_km - 1.0) < 0.005 && off_course < 0.2)
                        << start.place << ", " << speed.name << ", course " << course << ", minute "
                        << second / minute << ": " << went / expected_km * speed.km_per_hour << " km/h on course "
                        << heading;
                    lat_a = lat_b;
                    lon_a = lon_b;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vadrel
