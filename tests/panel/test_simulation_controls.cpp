#include <gtest/gtest.h>

#include <tuple>

#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

TEST(VehicleButtons, StepAndWrapOnlyWhileStoppedInMultiUserMode) {
    const struct {
        const char* name;
        bool stopped, multi;
        const char* count;
        std::size_t from;
        bool plus;
        std::size_t to;
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
    for (const auto& row : rows) {
        Rig rig;
        rig.fleet.place(row.to, 33 * 3600.0, std::nullopt, nullptr);
        if (row.multi) rig.form.multi_user_mode_option.select();
        if (row.stopped) rig.form.start_stop_button.click();
        rig.form.vehicle_count_box.set_text(row.count);
        rig.fleet.set_current(row.from, nullptr);
        (row.plus ? rig.form.next_vehicle_button : rig.form.previous_vehicle_button).click();
        EXPECT_EQ(rig.fleet.current(), row.to) << row.name;
        EXPECT_EQ(rig.form.current_vehicle_box.text(), std::to_string(row.to)) << row.name;
        EXPECT_EQ(rig.form.latitude_degrees_box.text(), "33") << row.name;
    }
}

// "Numero di mezzi mobili" read by its leading number; the multi-user tick
// shows the largest cycle in place of more.
TEST(VehicleCount, TheCycleAndItsBox) {
    // the text, the cycle, the box after a tick
    const std::tuple<const char*, int, const char*> rows[] = {
        {"3", 3, "3"}, {"0", 0, "0"}, {"", 0, ""}, {"2,5", 2, "2,5"}, {"2.5", 2, "2.5"},
        {"25", 19, "19"}, {"99999", 19, "19"}, {"-99999", 0, "-99999"},
    };
    for (const auto& [text, cycle, after_tick] : rows) {
        Rig rig;
        rig.form.multi_user_mode_option.select();
        rig.form.vehicle_count_box.set_text(text);
        EXPECT_EQ(rig.fleet.cycle(), cycle) << text;
        rig.tick();
        EXPECT_EQ(rig.form.vehicle_count_box.text(), after_tick) << text;
    }
}

// A vehicle never given a unit takes the one the panel shows when it becomes
// the current one, enters the cycle or is given a speed elsewhere; a unit of
// its own stays.
TEST(VehicleUnits, NewVehiclesTakeTheUnitShown) {
    enum How { count_raised, made_current, speed_elsewhere };
    // miglia/h shown (else Km/h), vehicle 2 set to Km/h beforehand, how it comes in, its unit then
    const std::tuple<const char*, bool, bool, How, SpeedUnit> rows[] = {
        {"count raised, miglia/h shown", true, false, count_raised, SpeedUnit::knots},
        {"count raised, Km/h shown", false, false, count_raised, SpeedUnit::kmh},
        {"count raised over a unit of its own", true, true, count_raised, SpeedUnit::kmh},
        {"made current, miglia/h shown", true, false, made_current, SpeedUnit::knots},
        {"made current with a unit of its own", true, true, made_current, SpeedUnit::kmh},
        {"a speed from the fleet table", true, false, speed_elsewhere, SpeedUnit::knots},
    };
    for (const auto& [name, knots_shown, own_unit, how, expected] : rows) {
        Rig rig;
        rig.form.multi_user_mode_option.select();
        rig.form.start_stop_button.click();
        (knots_shown ? rig.form.mph_option : rig.form.kmh_option).select();
        if (own_unit) rig.fleet.set_unit(2, SpeedUnit::kmh, nullptr);
        const int elsewhere = 0;
        switch (how) {
            case count_raised: rig.form.vehicle_count_box.set_text("3"); break;
            case made_current: rig.fleet.set_current(2, &elsewhere); break;
            case speed_elsewhere: rig.fleet.set_speed(2, 12.0, &elsewhere); break;
        }
        EXPECT_EQ(rig.fleet.vehicle(2).unit, expected) << name;
        EXPECT_EQ(rig.fleet.vehicle(9).unit, SpeedUnit::none) << name;
        if (how == made_current) {
            EXPECT_EQ(rig.form.mph_option.selected(), expected == SpeedUnit::knots) << name;
        }
    }
}

TEST(Modes, EachButtonIsTheFleetsModeAndTheFleetsModeIsShown) {
    Rig rig;
    rig.form.radio_mode_option.select();
    EXPECT_EQ(rig.fleet.mode(), Mode::radio);
    rig.form.multi_user_mode_option.select();
    EXPECT_EQ(rig.fleet.mode(), Mode::multi_user);
    rig.fleet.set_mode(Mode::gps_standard, nullptr);
    EXPECT_TRUE(rig.form.standard_mode_option.selected());
    EXPECT_FALSE(rig.form.multi_user_mode_option.selected());
}

}  // namespace
}  // namespace vadrel
