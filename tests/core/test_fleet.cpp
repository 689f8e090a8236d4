#include <gtest/gtest.h>

#include "core/fleet.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

TEST(CambiaVeicolo, LoadingARecordNeverFilledRepairsTheHemispheres) {
    Rig rig;
    rig.form.txt_lat_g.set_text("44");
    rig.form.mezzo_attuale = 5;
    cambia_veicolo(rig.form);
    const Form1& f = rig.form;
    EXPECT_EQ(f.txt_lat_g.text(), "0");
    EXPECT_EQ(f.txt_lat_ns.text(), "N");
    EXPECT_EQ(f.txt_lon_ew.text(), "E");
    EXPECT_EQ(f.txt_vel.text(), "0");
    EXPECT_EQ(f.txt_angolo.text(), "0");
    EXPECT_FALSE(f.opt_km.selected());
    EXPECT_FALSE(f.opt_miglia.selected());
    EXPECT_EQ(f.mezzi[5].lat_ns, "N");
    EXPECT_EQ(f.mezzi[5].lon_ew, "E");
    EXPECT_EQ(f.mezzi[5].km, 0);
    EXPECT_EQ(f.mezzi[0].lat_g, 44);  // the outgoing record is untouched
}

TEST(CambiaVeicolo, HemisphereAndUnitCases) {
    const struct {
        const char* name;
        const char *lat_ns, *lon_ew;
        int km, miglia;
        const char *shown_ns, *shown_ew;
        bool km_selected, miglia_selected;
    } rows[] = {
        {"lower-case n becomes N", "n", "w", -1, 0, "N", "E", true, false},
        {"S and W stay", "S", "W", 0, -1, "S", "W", false, true},
        {"blank text becomes N", " N", "E ", -1, 0, "N", "E", true, false},
        {"both flags set ends on miglia", "N", "E", -1, -1, "N", "E", false, true},
        {"no flag leaves no unit", "N", "E", 0, 0, "N", "E", false, false},
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.form.mezzo_attuale = 2;
        rig.form.mezzi[2] = veicolo{45, 30, 10, r.lat_ns, 9, 12, 20, r.lon_ew, 12, 270,
                                    static_cast<std::int16_t>(r.km), static_cast<std::int16_t>(r.miglia)};
        cambia_veicolo(rig.form);
        EXPECT_EQ(rig.form.txt_lat_ns.text(), r.shown_ns) << r.name;
        EXPECT_EQ(rig.form.txt_lon_ew.text(), r.shown_ew) << r.name;
        EXPECT_EQ(rig.form.mezzi[2].lat_ns, r.shown_ns) << r.name;
        EXPECT_EQ(rig.form.opt_km.selected(), r.km_selected) << r.name;
        EXPECT_EQ(rig.form.opt_miglia.selected(), r.miglia_selected) << r.name;
        EXPECT_EQ(rig.form.txt_lat_s.text(), "10") << r.name;
        EXPECT_EQ(rig.form.txt_lon_s.text(), "20") << r.name;
        EXPECT_EQ(rig.form.mezzi[2].lat_g, 45) << r.name;
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
    rig.form.opt_miglia.select();
    rig.form.mezzi[0].lat_s = 33;
    aggiorna_veicolo(rig.form);
    EXPECT_EQ(rig.form.mezzi[0].lat_p, 2);
    EXPECT_EQ(rig.form.mezzi[0].lon_p, 8);
    EXPECT_EQ(rig.form.mezzi[0].miglia, -1);
    EXPECT_EQ(rig.form.mezzi[0].km, 0);
    EXPECT_EQ(rig.form.mezzi[0].lat_s, 33);  // seconds are the seconds boxes' business
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
