#include <gtest/gtest.h>

#include "motion/advance.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

TEST(Advance, WorkedExampleOneSecondAt100KmhOnCourse45UnderEitherFormat) {
    for (const RegionalFormat format : {RegionalFormat::italian(), RegionalFormat::decimal_point()}) {
        Rig rig;
        Form1& f = rig.form;
        f.platform.format = format;
        for (auto [box, text] : {std::pair{&f.txt_lat_g, "44"}, {&f.txt_lat_p, "1"}, {&f.txt_lat_s, "46"},
                                 {&f.txt_lon_g, "10"}, {&f.txt_lon_p, "8"}, {&f.txt_lon_s, "4"},
                                 {&f.txt_angolo, "45"}, {&f.txt_vel, "100"}}) {
            box->set_text(text);
        }
        f.tempo_ultimo[0] = rig.clock.seconds - 1.0f;
        leggi_lat(f);
        EXPECT_EQ(f.rmc_lat, "4401.7772");
        EXPECT_NEAR(f.lat_radianti, 0.7684617, 5e-8);
        leggi_lon(f);
        EXPECT_EQ(f.rmc_lon, "01008.0814");
        EXPECT_EQ(f.txt_lat_g.text() + " " + f.txt_lat_p.text() + " " + f.txt_lat_s.text(), "44 1 47");
        EXPECT_EQ(f.txt_lon_g.text() + " " + f.txt_lon_p.text() + " " + f.txt_lon_s.text(), "10 8 5");
        EXPECT_EQ(f.mezzi[0].lat_s * 100 + f.mezzi[0].lon_s, 4705) << "the seconds reach the record";
    }
}

TEST(Advance, LatitudeStepCases) {
    const struct {
        const char* name;
        const char *lat_p, *lat_s, *angolo, *vel, *ns;
        float elapsed;
        bool miglia;
        const char *after, *rmc_lat;
    } rows[] = {
        {"start-up minutes text read as 2", "1,7775", "0", "0", "0", "N", 1, false, "44 2 0", "4402.0000"},
        {"sub-half-second step lost from the box", "1", "46", "0", "50", "N", 1, false, "44 1 46", "4401.7741"},
        {"carry at 60.349 s drops the fraction", "1", "59", "60", "100", "N", 3, false, "44 2 0", "4402.0000"},
        {"59.6 s written as 60", "1", "59", "0", "100", "N", 0.6f, false, "44 1 60", "4401.9923"},
        {"negative speed moves backwards", "1", "46", "0", "-100", "N", 1, false, "44 1 45", "4401.7516"},
        {"speed in miles per hour", "1", "46", "0", "100", "N", 1, true, "44 1 48", "4401.7944"},
        {"text course and speed read as 0", "1", "46", "abc", "", "N", 1, false, "44 1 46", "4401.7666"},
        {"south: course 0 still adds", "1", "46", "0", "100", "S", 1, false, "44 1 47", "4401.7816"},
        {"unreadable minutes: the record's 1", "abc", "46", "0", "0", "N", 1, false, "44 1 46", "4401.7666"},
        // 90 * 3.141592 / 180 is not a right angle: an hour due east creeps north
        {"course 90 at 30000 km/h for an hour", "1", "46", "90", "30000", "N", 3600, false, "44 1 46", "4401.7719"},
    };
    for (const auto& r : rows) {
        Rig rig;
        Form1& f = rig.form;
        f.txt_lat_g.set_text("44");
        f.mezzi[0].lat_p = 1;
        f.txt_lat_p.set_text(r.lat_p);
        f.txt_lat_s.set_text(r.lat_s);
        f.txt_lat_ns.set_text(r.ns);
        f.txt_angolo.set_text(r.angolo);
        f.txt_vel.set_text(r.vel);
        if (r.miglia) f.opt_miglia.select();
        f.tempo_ultimo[0] = rig.clock.seconds - r.elapsed;
        leggi_lat(f);
        EXPECT_EQ(f.txt_lat_g.text() + " " + f.txt_lat_p.text() + " " + f.txt_lat_s.text(), r.after) << r.name;
        EXPECT_EQ(f.rmc_lat, r.rmc_lat) << r.name;
        EXPECT_EQ(f.txt_lat_ns.text(), r.ns) << r.name;
    }
}

TEST(ElapsedSeconds, MidnightAddsADayButRoundingStaysTiny) {
    EXPECT_NEAR(elapsed_seconds(0.5f, 86399.5f), 1.0, 1e-2);
    EXPECT_NEAR(elapsed_seconds(100.0f, 99.0f), 1.0, 1e-6);
    // the seven-digit reading of a float can fall just below the float itself
    const float t = 72928.4140625f;
    EXPECT_LT(elapsed_seconds(t, t), 0.0);
    EXPECT_GT(elapsed_seconds(t, t), -0.01);
}

TEST(ComposeRmcField, PadsAndCutsTheMinutes) {
    const auto it = RegionalFormat::italian();
    EXPECT_EQ(compose_rmc_field(5, 0, 0, 2, it).text(), "0500.0000");
    EXPECT_EQ(compose_rmc_field(0, 0, 0, 3, it).text(), "00000.0000");
    EXPECT_EQ(compose_rmc_field(120, 75, 0, 2, it).text(), "12075.0000");  // longer texts are not cut
}

}  // namespace
}  // namespace vadrel
