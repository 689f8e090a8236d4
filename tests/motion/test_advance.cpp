#include <gtest/gtest.h>

#include <cmath>

#include "support/fakes.h"
#include "motion/advance.h"

namespace vadrel {
namespace {

using testing::Rig;

// Puts the panel at a position, course and speed, with one second elapsed.
void set_panel(Rig& rig, const char* lat_g, const char* lat_p, const char* lat_s, const char* lon_g,
               const char* lon_p, const char* lon_s, const char* angolo, const char* vel) {
    Form1& f = rig.form;
    f.txt_lat_g.set_text(lat_g);
    f.txt_lat_p.set_text(lat_p);
    f.txt_lat_s.set_text(lat_s);
    f.txt_lon_g.set_text(lon_g);
    f.txt_lon_p.set_text(lon_p);
    f.txt_lon_s.set_text(lon_s);
    f.txt_angolo.set_text(angolo);
    f.txt_vel.set_text(vel);
    f.tempo_ultimo[0] = rig.clock.seconds - 1.0f;
}

TEST(Advance, WorkedExampleOneSecondAt100KmhOnCourse45) {
    Rig rig;
    set_panel(rig, "44", "1", "46", "10", "8", "4", "45", "100");
    leggi_lat(rig.form);
    EXPECT_EQ(rig.form.txt_lat_g.text(), "44");
    EXPECT_EQ(rig.form.txt_lat_p.text(), "1");
    EXPECT_EQ(rig.form.txt_lat_s.text(), "47");
    EXPECT_EQ(rig.form.rmc_lat, "4401.7772");
    EXPECT_NEAR(rig.form.lat_radianti, 0.7684617, 5e-8);
    leggi_lon(rig.form);
    EXPECT_EQ(rig.form.txt_lon_g.text(), "10");
    EXPECT_EQ(rig.form.txt_lon_p.text(), "8");
    EXPECT_EQ(rig.form.txt_lon_s.text(), "5");
    EXPECT_EQ(rig.form.rmc_lon, "01008.0814");
    // the change handling stored the new seconds
    EXPECT_EQ(rig.form.mezzi[0].lat_s, 47);
    EXPECT_EQ(rig.form.mezzi[0].lon_s, 5);
}

TEST(Advance, WorkedExampleReadsTheSameUnderADecimalPointFormat) {
    Rig rig;
    rig.form.platform.format = RegionalFormat::decimal_point();
    set_panel(rig, "44", "1", "46", "10", "8", "4", "45", "100");
    leggi_lat(rig.form);
    leggi_lon(rig.form);
    EXPECT_EQ(rig.form.rmc_lat, "4401.7772");
    EXPECT_EQ(rig.form.rmc_lon, "01008.0814");
}

TEST(Advance, StepCases) {
    const struct {
        const char* name;
        const char *lat_g, *lat_p, *lat_s, *angolo, *vel;
        float elapsed;
        bool miglia;
        const char *lat_g_after, *lat_p_after, *lat_s_after, *rmc_lat;
    } rows[] = {
        {"start-up minutes text read as 2", "44", "1,7775", "0", "0", "0", 1, false, "44", "2", "0", "4402.0000"},
        {"sub-half-second step lost from the box", "44", "1", "46", "0", "50", 1, false, "44", "1", "46", "4401.7741"},
        {"carry at 60.349 s", "44", "1", "59", "60", "100", 3, false, "44", "2", "0", "4402.0000"},
        {"59.6 s written as 60", "44", "1", "59", "0", "100", 0.6f, false, "44", "1", "60", "4401.9923"},
        {"negative speed moves backwards", "44", "1", "46", "0", "-100", 1, false, "44", "1", "45", "4401.7516"},
        {"speed in miles per hour", "44", "1", "46", "0", "100", 1, true, "44", "1", "48", "4401.7944"},
        {"text course and speed read as 0", "44", "1", "46", "abc", "", 1, false, "44", "1", "46", "4401.7666"},
    };
    for (const auto& r : rows) {
        Rig rig;
        Form1& f = rig.form;
        f.txt_lat_g.set_text(r.lat_g);
        f.txt_lat_p.set_text(r.lat_p);
        f.txt_lat_s.set_text(r.lat_s);
        f.txt_angolo.set_text(r.angolo);
        f.txt_vel.set_text(r.vel);
        if (r.miglia) f.opt_miglia.select();
        f.tempo_ultimo[0] = rig.clock.seconds - r.elapsed;
        leggi_lat(f);
        EXPECT_EQ(f.txt_lat_g.text(), r.lat_g_after) << r.name;
        EXPECT_EQ(f.txt_lat_p.text(), r.lat_p_after) << r.name;
        EXPECT_EQ(f.txt_lat_s.text(), r.lat_s_after) << r.name;
        EXPECT_EQ(f.rmc_lat, r.rmc_lat) << r.name;
    }
}

TEST(Advance, HemisphereIsNotRead) {
    // With S shown, course 0 still increases the figures (towards the south pole).
    Rig rig;
    rig.form.txt_lat_ns.set_text("S");
    set_panel(rig, "44", "1", "46", "10", "8", "4", "0", "100");
    leggi_lat(rig.form);
    EXPECT_EQ(rig.form.txt_lat_s.text(), "47");
    EXPECT_EQ(rig.form.txt_lat_ns.text(), "S");
}

TEST(Advance, Course90KeepsATinyNorthwardComponent) {
    Rig rig;
    set_panel(rig, "44", "1", "46", "10", "8", "4", "90", "30000");
    rig.form.tempo_ultimo[0] = rig.clock.seconds - 3600.0f;
    leggi_lat(rig.form);
    // 90 * 3.141592 / 180 is not exactly a right angle: an hour at 30000 km/h
    // due east still moves the latitude by about a third of a second.
    EXPECT_EQ(rig.form.txt_lat_s.text(), "46");
    EXPECT_GT(rig.form.rmc_lat, "4401.7700");
    EXPECT_LT(rig.form.rmc_lat, "4401.7750");
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
    EXPECT_EQ(compose_rmc_field(44, 1, 46.6359166, 2, it).text(), "4401.7772");
    EXPECT_EQ(compose_rmc_field(10, 8, 4.8844694, 3, it).text(), "01008.0814");
    EXPECT_EQ(compose_rmc_field(5, 0, 0, 2, it).text(), "0500.0000");
    EXPECT_EQ(compose_rmc_field(0, 0, 0, 3, it).text(), "00000.0000");
    // longer texts are not cut
    EXPECT_EQ(compose_rmc_field(120, 75, 0, 2, it).text(), "12075.0000");
}

TEST(Advance, UnreadableBoxKeepsTheStoredValue) {
    Rig rig;
    set_panel(rig, "44", "1", "46", "10", "8", "4", "0", "0");
    rig.form.txt_lat_p.set_text("abc");  // cannot be converted: the record keeps 1
    EXPECT_EQ(rig.form.mezzi[0].lat_p, 1);
    leggi_lat(rig.form);
    EXPECT_EQ(rig.form.txt_lat_p.text(), "1");
    EXPECT_EQ(rig.form.rmc_lat, "4401.7666");
}

}  // namespace
}  // namespace vadrel
