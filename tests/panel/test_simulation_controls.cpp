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

// Each option button is the fleet's unit or mode, and the fleet's is shown.
// (A vehicle never given a unit takes the one shown: VehicleUnits.)
TEST(OptionButtons, EachIsTheFleetsModeOrUnitAndTheFleetsIsShown) {
    Rig rig;
    rig.form.radio_mode_option.select();
    EXPECT_EQ(rig.fleet.mode(), Mode::radio);
    rig.form.multi_user_mode_option.select();
    EXPECT_EQ(rig.fleet.mode(), Mode::multi_user);
    rig.fleet.set_mode(Mode::gps_standard, nullptr);
    EXPECT_TRUE(rig.form.standard_mode_option.selected());
    EXPECT_FALSE(rig.form.multi_user_mode_option.selected());
    rig.form.mph_option.select();
    EXPECT_EQ(rig.fleet.vehicle(0).unit, SpeedUnit::knots);
    rig.form.kmh_option.select();
    EXPECT_EQ(rig.fleet.vehicle(0).unit, SpeedUnit::kmh);
    rig.fleet.set_unit(0, SpeedUnit::knots, nullptr);  // elsewhere: shown at once
    EXPECT_TRUE(rig.form.mph_option.selected());
}

const char* const tx_ok = "Tx ok green";
const char* const no_tx = "No tx red";

std::string label(const PanelForm& f) {
    return f.status_label.caption() + (f.status_label.colour() == Colour::green_status() ? " green" : " red");
}

int ports_selected(const PanelForm& f) {
    return f.com1_option.selected() + f.com2_option.selected() + f.com3_option.selected() + f.com4_option.selected();
}

TEST(PortChoice, ClosesOpensAndReports) {
    const struct {
        const char* name;
        bool open_before;
        bool stopped;
        std::set<int> failing;
        std::vector<std::string> calls;
        const char* label;
        bool message;
        bool open_after;
    } rows[] = {
        {"open port moves to COM 3", true, false, {}, {"close", "port 3", "open 3 4800,N,8,1"}, tx_ok, false, true},
        {"closed port opens on COM 3", false, false, {}, {"port 3", "open 3 4800,N,8,1"}, tx_ok, false, true},
        {"stopped transmission still shows Tx ok", false, true, {}, {"port 3", "open 3 4800,N,8,1"}, tx_ok, false, true},
        {"a port that fails leaves none open", true, false, {3}, {"close", "port 3", "open 3 4800,N,8,1"}, no_tx, true, false},
    };
    for (const auto& r : rows) {
        Rig rig;
        if (r.open_before) rig.port.force_open();
        if (r.stopped) rig.form.start_stop_button.click();
        rig.port.failing_ports = r.failing;
        rig.form.com3_option.select();
        EXPECT_EQ(rig.port.calls, r.calls) << r.name;
        EXPECT_EQ(label(rig.form), r.label) << r.name;
        EXPECT_EQ(rig.port.is_open(), r.open_after) << r.name;
        EXPECT_EQ(ports_selected(rig.form), r.message ? 0 : 1) << r.name;
        EXPECT_EQ(rig.transmitter.port_problem(), r.message ? "porta inesistente" : "") << r.name;
        EXPECT_EQ(rig.shell.messages, r.message ? std::vector<std::string>{"vadrel: Errore nell'apertura della seriale"}
                                                : std::vector<std::string>{})
            << r.name;
    }
    Rig rig;  // any other error ends the program at once
    rig.port.fail_otherwise = true;
    rig.form.com1_option.select();
    EXPECT_EQ(rig.shell.ended, "guasto imprevisto");
    EXPECT_TRUE(rig.shell.messages.empty());
}

// Without a fix the label says "Senza fix" while transmission runs on an
// open port, and shows again what it showed when the fix is back. (Which
// second has a fix is the transmitter's.)
TEST(StatusLabel, SaysWhileTheFixIsLost) {
    OpzioniRicevitore timed_loss;
    timed_loss.guasti.attivi = true;
    timed_loss.guasti.perdita_fix = {1, 2};
    OpzioniRicevitore no_signal;
    no_signal.senza_fix = true;
    // stopped, the port open, the receiver's options, the ticks, the label after them
    const std::tuple<const char*, bool, bool, OpzioniRicevitore, int, const char*> rows[] = {
        {"a timed loss of the fix, its second second", false, true, timed_loss, 2, "Senza fix red"},
        {"a timed loss of the fix, over", false, true, timed_loss, 3, tx_ok},
        {"a closed port says nothing of the fix", false, false, no_signal, 1, tx_ok},
        {"stopped", true, true, no_signal, 1, "Stop red"},
    };
    for (const auto& [name, stopped, open, options, ticks, shown] : rows) {
        Rig rig;
        if (open) rig.port.force_open();
        rig.transmitter.set_receiver(options);
        rig.form.status_label.set_caption("Tx ok");
        rig.form.status_label.set_colour(Colour::green_status());
        if (stopped) rig.form.start_stop_button.click();
        for (int i = 0; i < ticks; ++i, rig.clock.utc += 1.0) rig.tick();
        EXPECT_EQ(label(rig.form), shown) << name;
    }
}

TEST(SpeedChoice, ReopensAnOpenPortOnlyAndKeepsTheLabel) {
    Rig rig;
    rig.form.baud_9600_option.select();  // port closed: nothing happens to it
    EXPECT_TRUE(rig.port.calls.empty());
    rig.form.com4_option.select();  // a later port choice opens at the former speed
    ASSERT_FALSE(rig.port.calls.empty());
    EXPECT_EQ(rig.port.calls.back(), "open 4 4800,N,8,1");
    EXPECT_TRUE(rig.form.baud_9600_option.selected());
    rig.form.status_label.set_caption("Tx OK");
    const std::pair<OptionButton PanelForm::*, std::string> buttons[] = {{&PanelForm::baud_2400_option, "2400,N,8,1"},
                                                                         {&PanelForm::baud_9600_option, "9600,N,8,1"},
                                                                         {&PanelForm::baud_4800_option, "4800,N,8,1"}};
    for (const auto& [button, text] : buttons) {
        rig.port.calls.clear();
        (rig.form.*button).select();
        EXPECT_EQ(rig.port.calls, (std::vector<std::string>{"close", "settings " + text, "open 4 " + text}));
    }
    EXPECT_EQ(rig.form.status_label.caption(), "Tx OK");
    // a speed choice that fails follows the port-choice rule
    rig.port.failing_ports = {4};
    rig.form.baud_2400_option.select();
    EXPECT_EQ(label(rig.form), no_tx);
}

}  // namespace
}  // namespace vadrel
