#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "core/fleet.h"
#include "core/tick.h"
#include "motion/advance.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

void set_boxes(std::initializer_list<std::pair<TextBox*, const char*>> texts) {
    for (const auto& [box, text] : texts) box->set_text(text);
}

std::string boxes(const Form1& f) {
    return f.txt_lat_g.text() + " " + f.txt_lat_p.text() + " " + f.txt_lat_s.text() + " " + f.txt_lat_ns.text() +
           " " + f.txt_lon_g.text() + " " + f.txt_lon_p.text() + " " + f.txt_lon_s.text() + " " +
           f.txt_lon_ew.text();
}

void step(Form1& f, double seconds) {
    leggi_lat(f, seconds);
    leggi_lon(f, seconds);
}

// One second at 100 km/h on course 45; the latitude in radians takes pi as
// 3.141592, as the longitude's step does.
TEST(Advance, WorkedExampleOneSecondAt100KmhOnCourse45) {
    Rig rig;
    Form1& f = rig.form;
    set_boxes({{&f.txt_lat_g, "44"}, {&f.txt_lat_p, "1"}, {&f.txt_lat_s, "46"}, {&f.txt_lon_g, "10"},
               {&f.txt_lon_p, "8"}, {&f.txt_lon_s, "4"}, {&f.txt_angolo, "45"}, {&f.txt_vel, "100"}});
    step(f, 1.0);
    EXPECT_NEAR(f.lat_radianti, 0.7684617, 5e-8);
    EXPECT_EQ(f.rmc_lat + " " + f.rmc_lon, "4401.7772 01008.0814");
    EXPECT_EQ(boxes(f), "44 1 47 N 10 8 5 E");
}

// Degrees, minutes and four decimals of minutes come from one count and are
// cut, never rounded up into a minute or degree the vehicle has not reached.
TEST(Advance, SentenceFieldsAgreeAndAreCut) {
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
    for (const auto& r : rows) EXPECT_EQ(campo_rmc(r.seconds_of_arc, r.degree_digits), r.field) << r.seconds_of_arc;
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
TEST(Advance, EveryCourseGoesWhereItsCourseAndSpeedSay) {
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
                ExactPosition p{start.lat * 3600.0, start.lon * 3600.0, std::nullopt, std::nullopt};
                double rotta = course;
                double lat_a = start.lat;
                double lon_a = start.lon;
                for (int second = 1; second <= 3600; ++second) {
                    rotta = passo_lat(p, rotta, km);
                    passo_lon(p, rotta, km, radianti(p.lat));
                    const std::optional<double> lat = read_field(campo_rmc(p.lat, 2), 2, 90);
                    const std::optional<double> lon = read_field(campo_rmc(p.lon, 3), 3, 180);
                    ASSERT_TRUE(lat && lon) << start.place << ", " << speed.name << ", course " << course
                                            << ", second " << second << ": " << campo_rmc(p.lat, 2) << " "
                                            << campo_rmc(p.lon, 3);
                    if (second % minute != 0) continue;
                    const double lat_b = p.lat < 0 ? -*lat : *lat;
                    const double lon_b = p.lon < 0 ? -*lon : *lon;
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

// ---- crossings, on the panel ----

// Crossing a line is going on across it: the letter flips and the figures
// go on; over a pole the vehicle comes down the meridian 180 degrees away,
// its course turned round in the box and the record.
TEST(Advance, CrossingsGoOnAcrossTheLine) {
    const struct {
        const char* name;
        const char *lat_g, *lat_p, *lat_s, *ns, *lon_g, *lon_p, *lon_s, *ew, *course, *speed;
        int steps;
        double seconds;
        const char *fields, *shown, *course_after;
    } rows[] = {
        {"south across the equator", "0", "0", "1", "N", "10", "0", "0", "E", "180", "100", 2, 1,
         "0000.0133,S 01000.0000,E", "0 0 1 S 10 0 0 E", "180"},
        {"north across the equator", "0", "0", "1", "S", "10", "0", "0", "W", "0", "100", 2, 1,
         "0000.0133,N 01000.0000,W", "0 0 1 N 10 0 0 W", "0"},
        {"east across 180", "0", "0", "0", "N", "179", "59", "59", "E", "90", "100", 2, 1,
         "0000.0000,N 17959.9866,W", "0 0 0 N 179 59 59 W", "90"},
        {"west across 180", "0", "0", "0", "S", "179", "59", "59", "W", "270", "100", 2, 1,
         "0000.0000,S 17959.9866,E", "0 0 0 S 179 59 59 E", "270"},
        {"north over the pole", "89", "59", "59", "N", "10", "0", "0", "E", "0", "100", 2, 1,
         "8959.9866,N 17000.0000,W", "89 59 59 N 170 0 0 W", "180"},
        {"south over the pole", "89", "59", "59", "S", "10", "0", "0", "W", "180", "100", 2, 1,
         "8959.9866,S 17000.0000,E", "89 59 59 S 170 0 0 E", "0"},
        {"backwards over the pole keeps going backwards", "89", "59", "59", "N", "10", "0", "0", "E", "180", "-100",
         2, 1, "8959.9866,N 17000.0000,W", "89 59 59 N 170 0 0 W", "0"},
        // 30000 km due north from 44 N: 269.8 degrees of meridian, over the
        // north pole, then the south pole, and up the first meridian again
        {"a long stop: over both poles", "44", "0", "0", "N", "10", "0", "0", "E", "0", "3000", 1, 36000,
         "4612.2077,S 01000.0000,E", "46 12 12 S 10 0 0 E", "0"},
        {"seconds that round to 60 carry", "44", "1", "59", "N", "10", "0", "0", "E", "0", "100", 1, 0.6,
         "4401.9923,N 01000.0000,E", "44 2 0 N 10 0 0 E", "0"},
    };
    for (const auto& r : rows) {
        Rig rig;
        Form1& f = rig.form;
        set_boxes({{&f.txt_lat_g, r.lat_g}, {&f.txt_lat_p, r.lat_p}, {&f.txt_lat_s, r.lat_s}, {&f.txt_lat_ns, r.ns},
                      {&f.txt_lon_g, r.lon_g}, {&f.txt_lon_p, r.lon_p}, {&f.txt_lon_s, r.lon_s}, {&f.txt_lon_ew, r.ew},
                      {&f.txt_angolo, r.course}, {&f.txt_vel, r.speed}});
        for (int i = 0; i < r.steps; ++i) step(f, r.seconds);
        EXPECT_EQ(f.rmc_lat + "," + f.txt_lat_ns.text() + " " + f.rmc_lon + "," + f.txt_lon_ew.text(), r.fields)
            << r.name;
        EXPECT_EQ(boxes(f), r.shown) << r.name;
        EXPECT_EQ(f.txt_angolo.text(), r.course_after) << r.name;
        aggiorna_veicolo(f);  // as the tick does
        const veicolo& v = f.mezzi[0];
        EXPECT_EQ(std::to_string(v.lat_g) + " " + std::to_string(v.lat_p) + " " + std::to_string(v.lat_s) + " " +
                      v.lat_ns + " " + std::to_string(v.lon_g) + " " + std::to_string(v.lon_p) + " " +
                      std::to_string(v.lon_s) + " " + v.lon_ew + " " + std::to_string(v.angolo),
                  std::string(r.shown) + " " + r.course_after)
            << r.name << ": the record follows the boxes";
    }
}

// ---- what moves the exact position, and what does not ----

// Ten seconds at 50 km/h due north from 45 30 0 N: 4.497 seconds of arc.
// What happens after the fifth second decides where the tenth ends.
TEST(Advance, TheExactPositionFollowsTheOperatorNotTheTicksOwnWrites) {
    const struct {
        const char* name;
        void (*between)(Form1&);
        const char* rmc_lat;
    } rows[] = {
        {"nothing: no fraction is lost", [](Form1&) {}, "4530.0749,N"},
        {"a step button: from its whole second", [](Form1& f) { f.Command13.click(); }, "4530.0874,N"},
        {"a step button and back: nothing moved", [](Form1& f) { f.Command13.click(); f.Command12.click(); },
         "4530.0749,N"},
        {"the S key: from 45 30 2 S, northward", [](Form1& f) { f.txt_lat_ns.type('S', U's'); }, "4529.9958,S"},
        {"another vehicle and back, as multi-user mode does",
         [](Form1& f) {
             f.mezzo_attuale = 1;
             f.mezzi[1] = veicolo{10, 0, 0, "S", 20, 0, 0, "W", 0, 0, -1, 0};
             cambia_veicolo(f);
             f.mezzo_attuale = 0;
             cambia_veicolo(f);
         },
         "4530.0749,N"},
    };
    for (const auto& r : rows) {
        Rig rig;
        Form1& f = rig.form;
        set_boxes({{&f.txt_lat_g, "45"}, {&f.txt_lat_p, "30"}, {&f.txt_lat_s, "0"}, {&f.txt_lon_g, "9"},
                      {&f.txt_angolo, "0"}, {&f.txt_vel, "50"}});
        for (int i = 0; i < 5; ++i) step(f, 1.0);
        r.between(f);
        for (int i = 0; i < 5; ++i) step(f, 1.0);
        EXPECT_EQ(f.rmc_lat + "," + f.txt_lat_ns.text(), r.rmc_lat) << r.name;
    }
}

// ---- "Vai a posizione" ----

// A vehicle put where the operator typed: the boxes (on the panel) or the
// record (off it) show it rounded, and the next sentence carries it exactly.
// The panel starts on vehicle 0 at 44 1 46 N 10 8 4 E, standing still.
TEST(Advance, VaiAPosizionePutsTheVehicleWhereTyped) {
    const struct {
        const char* text;
        std::size_t mezzo;
        const char* panel;   // vehicle 0's boxes after the move
        const char* record;  // the moved vehicle's record
        const char* fields;  // its next sentence
    } rows[] = {
        {"45.123456 9.654321", 0, "45 7 24 N 9 39 16 E", "45 7 24 N 9 39 16 E", "4507.4073,N 00939.2592,E"},
        {"45 30 0,6 N", 0, "45 30 1 N 10 8 4 E", "45 30 1 N 10 8 4 E", "4530.0100,N 01008.0666,E"},
        {"0 0 0 S 0 0 0 W", 0, "0 0 0 S 0 0 0 W", "0 0 0 S 0 0 0 W", "0000.0000,S 00000.0000,W"},
        {"4530.000,N,00912.000,W", 2, "44 1 46 N 10 8 4 E", "45 30 0 N 9 12 0 W", "4530.0000,N 00912.0000,W"},
    };
    const auto record = [](const veicolo& v) {
        return std::to_string(v.lat_g) + " " + std::to_string(v.lat_p) + " " + std::to_string(v.lat_s) + " " +
               v.lat_ns + " " + std::to_string(v.lon_g) + " " + std::to_string(v.lon_p) + " " +
               std::to_string(v.lon_s) + " " + v.lon_ew;
    };
    for (const auto& r : rows) {
        Rig rig;
        Form1& f = rig.form;
        rig.port.force_open();
        set_boxes({{&f.txt_lat_g, "44"}, {&f.txt_lat_p, "1"}, {&f.txt_lat_s, "46"}, {&f.txt_lon_g, "10"},
                   {&f.txt_lon_p, "8"}, {&f.txt_lon_s, "4"}});
        Timer1_Timer(f);
        const auto typed = read_position(r.text);
        ASSERT_TRUE(std::holds_alternative<TypedPosition>(typed)) << r.text;
        const std::uint32_t tratto = f.posizioni[r.mezzo].tratto;
        vai_a_posizione(f, r.mezzo, std::get<TypedPosition>(typed));
        EXPECT_EQ(boxes(f), r.panel) << r.text;
        EXPECT_EQ(record(f.mezzi[r.mezzo]), r.record) << r.text;
        EXPECT_GT(f.posizioni[r.mezzo].tratto, tratto) << r.text << ": the track breaks";
        f.mezzo_attuale = static_cast<std::int16_t>(r.mezzo);
        cambia_veicolo(f);
        rig.clock.steady += 1.0;
        Timer1_Timer(f);
        EXPECT_EQ(f.rmc_lat + "," + f.txt_lat_ns.text() + " " + f.rmc_lon + "," + f.txt_lon_ew.text(), r.fields)
            << r.text;
        EXPECT_NE(rig.port.written.back().find(f.rmc_lat + "," + f.txt_lat_ns.text()), std::string::npos) << r.text;
    }
}

}  // namespace
}  // namespace vadrel
