#include <gtest/gtest.h>

#include "core/fleet.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

TEST(CambiaVeicolo, LoadsTheRecordAndRepairsOnlyTheHemispheres) {
    const struct {
        const char* name;
        veicolo loaded;
        const char* shown;
        veicolo stored;
    } rows[] = {
        {"never filled", {}, "0 0 0 N 0 0 0 E 0 0 -", {0, 0, 0, "N", 0, 0, 0, "E", 0, 0, 0, 0}},
        {"lower case and blanks repaired", {45, 30, 10, "n", 9, 12, 20, "E ", 12, 270, -1, 0},
         "45 30 10 N 9 12 20 E 12 270 km", {45, 30, 10, "N", 9, 12, 20, "E", 12, 270, -1, 0}},
        {"south west in miles", {45, 30, 10, "S", 9, 12, 20, "W", 12, 270, 0, -1},
         "45 30 10 S 9 12 20 W 12 270 mi", {45, 30, 10, "S", 9, 12, 20, "W", 12, 270, 0, -1}},
        {"both flags end on miles", {1, 2, 3, "N", 4, 5, 6, "E", 7, 8, -1, -1}, "1 2 3 N 4 5 6 E 7 8 mi",
         {1, 2, 3, "N", 4, 5, 6, "E", 7, 8, 0, -1}},
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.form.txt_lat_g.set_text("44");
        rig.form.mezzo_attuale = 5;
        rig.form.mezzi[5] = r.loaded;
        cambia_veicolo(rig.form);
        EXPECT_EQ(testing::panel_text(rig.form), r.shown) << r.name;
        EXPECT_EQ(rig.form.mezzi[5], r.stored) << r.name;
        EXPECT_EQ(rig.form.mezzi[0].lat_g, 44) << r.name << ": the outgoing record is untouched";
    }
}

TEST(AggiornaVeicolo, StoresThePanelWithEachBoxsOwnReading) {
    const struct {
        const char* vel;
        int stored;
    } rows[] = {{"12,7", 12}, {"12.7", 13}, {"12.5", 12}, {"-5", -5}, {"", 0}, {"99999", 7}};
    for (const auto& r : rows) {
        Rig rig;
        rig.form.mezzi[0].vel = 7;
        rig.form.txt_vel.set_text(r.vel);
        rig.form.mezzi[0].vel = 7;  // only aggiorna_veicolo may write it in this test
        aggiorna_veicolo(rig.form);
        EXPECT_EQ(rig.form.mezzi[0].vel, r.stored) << r.vel;
    }
    Rig rig;
    rig.form.txt_lat_p.set_text("1,7775");
    rig.form.txt_lon_p.set_text("8,0623");
    rig.form.txt_lat_ns.set_text("x");
    rig.form.opt_miglia.select();
    rig.form.mezzi[0] = veicolo{};  // seconds are the seconds boxes' business
    aggiorna_veicolo(rig.form);
    EXPECT_EQ(rig.form.mezzi[0], (veicolo{0, 2, 0, "x", 0, 8, 0, "E", 0, 0, 0, -1}));
}

TEST(VehicleButtons, StepAndWrapOnlyWhileStoppedInMultiUserMode) {
    const struct {
        const char* name;
        bool stopped, multi;
        const char* num_mezzi;
        int from;
        bool plus;
        int to;
    } rows[] = {
        {"+ wraps at n", true, true, "3", 2, true, 0},
        {"- wraps to n-1", true, true, "3", 0, false, 2},
        {"+ steps", true, true, "3", 0, true, 1},
        {"running: nothing", false, true, "3", 1, true, 1},
        {"GPS mode: nothing", true, false, "3", 1, false, 1},
        {"- with 0 vehicles stays at 0", true, true, "0", 0, false, 0},
        {"- with 30 vehicles stops at 20", true, true, "30", 0, false, 20},
        {"+ past 20 wraps to 0", true, true, "30", 20, true, 0},
        {"+ with unreadable n: unchanged", true, true, "tre", 1, true, 1},
        {"- with unreadable n: unchanged", true, true, "", 0, false, 0},
        {"- inside the range never reads n", true, true, "tre", 2, false, 1},
        {"+ compares with fractions", true, true, "2,5", 2, true, 0},
        {"- with n beyond 16 bits: unchanged", true, true, "99999999", 0, false, 0},
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.form.mezzi[static_cast<std::size_t>(r.to)].lat_g = 33;
        if (r.multi) rig.form.opt_multi.select();
        if (r.stopped) rig.form.tx_attiva = 0;
        rig.form.txt_num_mezzi.set_text(r.num_mezzi);
        rig.form.mezzo_attuale = static_cast<std::int16_t>(r.from);
        (r.plus ? rig.form.Command11 : rig.form.Command10).click();
        EXPECT_EQ(rig.form.mezzo_attuale, r.to) << r.name;
        if (r.to != r.from) {
            EXPECT_EQ(rig.form.txt_mezzo_attuale.text(), std::to_string(r.to)) << r.name;
            EXPECT_EQ(rig.form.txt_lat_g.text(), "33") << r.name;
        }
    }
}

}  // namespace
}  // namespace vadrel
