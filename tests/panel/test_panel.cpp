#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "motion/dead_reckoning.h"
#include "panel/about.h"
#include "panel/course_speed.h"
#include "config/table_file.h"
#include "fleet/start_values.h"
#include "panel/lifecycle.h"
#include "panel/link.h"
#include "panel/step_buttons.h"
#include "panel/view.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"
#include "tick/second_sentences.h"

namespace vadrel {
namespace {

namespace fs = std::filesystem;
using testing::cnf_text;
using testing::Rig;
using testing::ScratchFolder;

constexpr double arc(double degrees, double minutes = 0.0, double seconds = 0.0) {
    return degrees * 3600.0 + minutes * 60.0 + seconds;
}

// The position boxes of the current vehicle (4) move it: each box read in
// the regional format, a box that cannot be read counting as the vehicle's
// own; the box keeps the text it was given. The vehicle is at 7 7 7 N 7 7 7 E.
TEST(PositionBoxes, EachChangeMovesTheCurrentVehicle) {
    // the box, its text, where the vehicle goes
    const std::tuple<TextBox PanelForm::*, const char*, double, double> rows[] = {
        {&PanelForm::latitude_degrees_box, "120", arc(59, 52, 53),
         -arc(172, 52, 53)},  // past the pole, down the far meridian
        {&PanelForm::latitude_minutes_box, "1,7775", arc(7, 2, 7), arc(7, 7, 7)},
        {&PanelForm::longitude_seconds_box, "-3", arc(7, 7, 7), arc(7, 6, 57)},
        {&PanelForm::latitude_seconds_box, "2,5", arc(7, 7, 2), arc(7, 7, 7)},
        {&PanelForm::longitude_degrees_box, "1.5", arc(7, 7, 7), arc(15, 7, 7)},  // "." groups digits in Italian
        {&PanelForm::latitude_hemisphere_box, "S", -arc(7, 7, 7), arc(7, 7, 7)},
        {&PanelForm::longitude_hemisphere_box, "x", arc(7, 7, 7), arc(7, 7, 7)},  // not W: east
        // texts that cannot be read keep the vehicle's value
        {&PanelForm::latitude_minutes_box, "", arc(7, 7, 7), arc(7, 7, 7)},
        {&PanelForm::longitude_seconds_box, "40000", arc(7, 7, 7), arc(7, 7, 7)},
    };
    for (const auto& [which, text, lat, lon] : rows) {
        Rig rig;
        rig.fleet.set_current(4, nullptr);
        rig.fleet.place(4, arc(7, 7, 7), arc(7, 7, 7), nullptr);
        TextBox& box = rig.form.*which;
        box.set_text(text);
        EXPECT_NEAR(rig.fleet.vehicle(4).lat, lat, 1e-6) << box.name() << " " << text;
        EXPECT_NEAR(rig.fleet.vehicle(4).lon, lon, 1e-6) << box.name() << " " << text;
        EXPECT_EQ(box.text(), text) << "the box keeps its text";
    }
}

// The letter the keys leave in a hemisphere box. A key typed ('t'), or keys
// going down ('d') and up ('u') in either order; another vehicle shown ('v').
TEST(HemisphereKeys, TheKeyDecides) {
    // the latitude's box (else the longitude's), the letter before, the keys, the letter after
    const std::tuple<const char*, bool, const char*, std::vector<std::pair<char, int>>, const char*> rows[] = {
        {"N turns S to N", true, "S", {{'t', 'N'}}, "N"},
        {"S", true, "N", {{'t', 'S'}}, "S"},
        {"E", false, "W", {{'t', 'E'}}, "E"},
        {"W", false, "E", {{'t', 'W'}}, "W"},
        {"E in the latitude box keeps N", true, "N", {{'t', 'E'}}, "N"},
        {"N in the longitude box keeps W", false, "W", {{'t', 'N'}}, "W"},
        {"Shift released first", true, "N", {{'d', keys::shift}, {'d', 'S'}, {'u', keys::shift}, {'u', 'S'}}, "S"},
        {"the letter released first", true, "N", {{'d', keys::shift}, {'d', 'S'}, {'u', 'S'}, {'u', keys::shift}},
         "S"},
        {"a release with no key down keeps the letter", true, "S", {{'u', keys::tab}}, "S"},
        {"held while vehicle 1 (W) was shown", false, "E", {{'d', keys::shift}, {'v', 1}, {'u', keys::shift}}, "W"},
    };
    for (const auto& [name, latitude, before, keys, after] : rows) {
        Rig rig;
        rig.fleet.place(1, -arc(1), -arc(1), nullptr);
        TextBox& box = latitude ? rig.form.latitude_hemisphere_box : rig.form.longitude_hemisphere_box;
        box.set_text(before);
        for (const auto& [how, key] : keys) {
            if (how == 'd') {
                box.key_down(key, true);
            } else if (how == 'u') {
                box.key_up(key, true);
            } else if (how == 'v') {
                rig.fleet.set_current(static_cast<std::size_t>(key), nullptr);
            } else {
                box.type(key, static_cast<char32_t>(key));
            }
        }
        EXPECT_EQ(box.text(), after) << name;
        const Vehicle& shown = rig.fleet.vehicle(rig.fleet.current());
        const double value = latitude ? shown.lat : shown.lon;
        EXPECT_EQ(std::signbit(value), *after == 'S' || *after == 'W') << name;
    }
}

TEST(PositionBoxes, LockedBoxesNeverTakeTypedCharacters) {
    Rig rig;
    for (TextBox* box : {&rig.form.latitude_degrees_box, &rig.form.latitude_hemisphere_box,
                         &rig.form.longitude_seconds_box, &rig.form.current_vehicle_box}) {
        const std::string before = box->text();
        EXPECT_FALSE(box->key_press('7')) << box->name();
        EXPECT_EQ(box->text(), before) << box->name();
    }
}

// A click on `button` over a box showing `start` leaves `expected` in it
// and moves the vehicle (at 33 33 33 N 33 33 33 E) there; "=" leaves both
// as they were.
TEST(StepButtons, EveryButtonThroughTheTable) {
    const std::tuple<const char*, std::string, const char*> rows[] = {
        // the start-up texts read by their leading number
        {"Command1", "1,7775", "2"}, {"Command7", "8,0623", "7"},
        // wrap past each field's limit and below 0, with no carry into the next field
        {"Command1", "89", "0"}, {"Command2", "0", "89"}, {"Command3", "59", "0"}, {"Command4", "0", "59"},
        {"Command13", "59", "0"}, {"Command12", "0", "59"}, {"Command6", "179", "0"}, {"Command5", "0", "179"},
        {"Command8", "59", "0"}, {"Command7", "0", "59"}, {"Command18", "59", "0"}, {"Command16", "0", "59"},
        // out of range: tested in the button's direction only
        {"Command1", "120", "0"}, {"Command2", "120", "119"}, {"Command6", "120", "121"},
        {"Command1", "-3", "-2"}, {"Command2", "-3", "89"},
        // no number reads as 0; a text beyond 16 bits is left as it is
        {"Command1", "abc", "1"}, {"Command2", "32768", "="},
    };
    for (const auto& [button, start, expected] : rows) {
        const std::string where = std::string(button) + " on \"" + start + "\"";
        const StepButton* step = nullptr;
        Rig rig;
        for (const StepButton& s : step_buttons) {
            if ((rig.form.*s.button).name() == button) step = &s;
        }
        ASSERT_NE(step, nullptr) << where;
        rig.fleet.place(0, arc(33, 33, 33), arc(33, 33, 33), nullptr);
        TextBox& box = rig.form.*step->box;
        {
            const Drawing drawing(rig.form);  // shown, not an edit
            box.set_text(start);
        }
        const Vehicle before = rig.fleet.vehicle(0);
        (rig.form.*step->button).click();
        const bool moves = std::string(expected) != "=";
        EXPECT_EQ(box.text(), moves ? expected : start) << where;
        EXPECT_EQ(rig.fleet.vehicle(0).segment != before.segment, moves) << where;
    }
}

// Ten seconds at 50 km/h due north from 45 30 0 N: 4.497 seconds of arc.
// What happens after the fifth second decides where the tenth ends: the
// exact position follows the operator, not the panel's own writes; the
// track breaks where the vehicle was set, by hand or elsewhere.
TEST(PositionBoxes, TheExactPositionFollowsTheOperatorNotThePanelsOwnWrites) {
    // what happens, where the vehicle ends, whether its track breaks there
    const std::tuple<const char*, std::function<void(Rig&)>, const char*, bool> rows[] = {
        {"nothing: no fraction is lost", [](Rig&) {}, "4530.0749,N", false},
        {"a step button: from its whole second", [](Rig& r) { r.form.latitude_seconds_up_button.click(); },
         "4530.0874,N", true},
        {"a step button and back: nothing moved",
         [](Rig& r) {
             r.form.latitude_seconds_up_button.click();
             r.form.latitude_seconds_down_button.click();
         },
         "4530.0749,N", true},
        {"the S key: from 45 30 2 S, northward", [](Rig& r) { r.form.latitude_hemisphere_box.type('S', U's'); },
         "4529.9958,S", true},
        {"another vehicle shown and back",
         [](Rig& r) {
             r.fleet.set_current(1, nullptr);
             r.fleet.set_current(0, nullptr);
         },
         "4530.0749,N", false},
        {"placed elsewhere", [](Rig& r) { r.fleet.place(0, 3600.0, std::nullopt, nullptr); }, "0100.0374,N", true},
    };
    for (const auto& [name, between, field, breaks] : rows) {
        Rig rig;
        rig.fleet.place(0, arc(45, 30), arc(9), nullptr);
        rig.form.speed_box.set_text("50");
        for (int i = 0; i < 6; ++i) rig.tick();
        between(rig);
        for (int i = 0; i < 5; ++i) rig.tick();
        const double lat = rig.fleet.vehicle(0).lat;
        EXPECT_EQ(rmc_coordinate(lat, 2) + "," + (lat < 0 ? "S" : "N"), field) << name;
        const auto& track = rig.tracks.points(0);
        ASSERT_EQ(track.size(), 11u) << name;
        EXPECT_EQ(track[6].segment != track[5].segment, breaks) << name;
    }
}

// The minus key has code 189; every other key here has its character as code.
int key_of(char32_t c) { return c == U'-' ? 189 : static_cast<int>(c); }

// Each character is one keystroke; `repeats` > 1 holds the key down that many repetitions.
void type(TextBox& box, const std::u32string& characters, int repeats = 1) {
    for (const char32_t c : characters) {
        for (int i = 0; i < repeats; ++i) {
            box.key_down(key_of(c));
            box.key_press(c);
        }
        box.key_up(key_of(c));
    }
}

TEST(KeyFilters, AcceptAndRefuseByTheFirstRuleThatApplies) {
    const std::tuple<const char*, std::string, char32_t, bool, bool> rows[] = {
        {"backspace", "12", 8, true, true},
        {"minus into empty", "", U'-', true, false},
        {"minus after digits", "5", U'-', false, false},
        {"minus after a blank: the whole text counts", " ", U'-', false, false},
        {"digit 9 after minus", "-", U'9', true, true},
        {"slash below the digits", "", U'/', false, false},
        {"colon above the digits", "", U':', false, false},
        {"decimal point", "1", U'.', false, false},
        {"code point whose low 16 bits are a digit", "", 0x10030, false, false},
    };
    for (const auto& [name, text, key, signed_whole, whole] : rows) {
        EXPECT_EQ(signed_whole_key(text, key), signed_whole) << name;
        EXPECT_EQ(whole_key(text, key), whole) << name;
    }
}

// Keys typed (or, with nothing typed, text set by the program) into either
// box of the current vehicle, whose course and speed were 25: the box shows
// `box`, the vehicle holds `value`.
TEST(CourseAndSpeed, TypingAndProgramText) {
    const auto A = &PanelForm::course_box;
    const auto V = &PanelForm::speed_box;
    const std::size_t E = std::string::npos;
    // what, the box, its text before, caret, characters selected, the keys, their repetitions, the text
    // after, the value
    const std::tuple<const char*, TextBox PanelForm::*, std::string, std::size_t, std::size_t, std::u32string, int,
                     std::string, double>
        rows[] = {
        {"360 stands", A, "", E, 0, U"360", 1, "360", 360},
        {"361 puts back the text before its last key", A, "", E, 0, U"361", 1, "36", 36},
        {"held key: the text at the last repetition comes back", A, "3", E, 0, U"6", 2, "36", 36},
        {"held key past 360 both times: the vehicle's course", A, "36", E, 0, U"5", 2, "36", 36},
        {"minus into the empty speed box reads 0", V, "", E, 0, U"-", 1, "-", 0},
        {"minus over a whole selected speed", V, "40", 0, 2, U"-", 1, "40", 40},
        {"backspace back to a lone minus", V, "-5", E, 0, U"\b", 1, "-", 0},
        {"highest speed", V, "", E, 0, U"327670", 1, "32767", 32767},
        {"32768 refused at its last digit", V, "", E, 0, U"32768", 1, "3276", 3276},
        {"below the lowest speed", V, "", E, 0, U"-32769", 1, "-3276", -3276},
        {"leading zeros cannot hide an overflow", V, "", E, 0, U"00032768", 1, "0003276", 3276},
        {"digit over a selected digit fits", V, "12345", 0, 1, U"2", 1, "22345", 22345},
        {"program text above the range keeps the speed", V, "32768", E, 0, U"", 1, "32768", 25},
    };
    for (const auto& [name, which, start, caret, selected, typed, repeats, shown, value] : rows) {
        Rig rig;
        rig.fleet.set_current(5, nullptr);
        TextBox& box = rig.form.*which;
        box.set_text("25");
        box.set_text(start);
        box.set_selection(caret, selected);
        type(box, typed, repeats);
        EXPECT_EQ(box.text(), shown) << name;
        const Vehicle& v = rig.fleet.vehicle(5);
        EXPECT_EQ(which == A ? v.course : v.speed, value) << name;
    }
}

TEST(Course, OnlyAReleaseAfterAKeyDownInTheBoxPutsTextBack) {
    Rig rig;
    TextBox& box = rig.form.course_box;
    type(box, U"12");        // the last key down saved "1"
    box.set_text("400");     // pasted: the vehicle keeps 12
    box.key_up(keys::tab);   // the release of the key that brought the focus: nothing to put back
    EXPECT_EQ(box.text(), "400");
    box.key_down(keys::right);  // saves "400"
    box.set_text("-5");         // pasted meanwhile
    box.key_up(keys::shift);    // any key's release checks: below 0 puts back the saved text ...
    EXPECT_EQ(box.text(), "12") << "... and a text the course cannot be gives way to the vehicle's";
    EXPECT_EQ(rig.fleet.vehicle(0).course, 12.0);
}

TEST(VehicleButtons, StepAndWrapOnlyWhileStoppedInMultiUserMode) {
    // what, stopped, multi-user, the count, the current vehicle, + (else -), the current one then
    const std::tuple<const char*, bool, bool, const char*, std::size_t, bool, std::size_t> rows[] = {
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
    for (const auto& [name, stopped, multi, count, from, plus, to] : rows) {
        Rig rig;
        rig.fleet.place(to, 33 * 3600.0, std::nullopt, nullptr);
        if (multi) rig.form.multi_user_mode_option.select();
        if (stopped) rig.form.start_stop_button.click();
        rig.form.vehicle_count_box.set_text(count);
        rig.fleet.set_current(from, nullptr);
        (plus ? rig.form.next_vehicle_button : rig.form.previous_vehicle_button).click();
        EXPECT_EQ(rig.fleet.current(), to) << name;
        EXPECT_EQ(rig.form.current_vehicle_box.text(), std::to_string(to)) << name;
        EXPECT_EQ(rig.form.latitude_degrees_box.text(), "33") << name;
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

// A port that fails to open leaves none open nor chosen, the label and a
// message say so.
TEST(PortChoice, ClosesOpensAndReports) {
    // open before, transmission stopped, COM 3 fails, the port's calls
    const std::tuple<const char*, bool, bool, bool, std::vector<std::string>> rows[] = {
        {"open port moves to COM 3", true, false, false, {"close", "port 3", "open 3 4800,N,8,1"}},
        {"closed port opens on COM 3", false, false, false, {"port 3", "open 3 4800,N,8,1"}},
        {"stopped transmission still shows Tx ok", false, true, false, {"port 3", "open 3 4800,N,8,1"}},
        {"a port that fails", true, false, true, {"close", "port 3", "open 3 4800,N,8,1"}},
    };
    for (const auto& [name, open_before, stopped, fails, calls] : rows) {
        Rig rig;
        if (open_before) rig.port.force_open();
        if (stopped) rig.form.start_stop_button.click();
        if (fails) rig.port.failing_ports = {3};
        rig.form.com3_option.select();
        EXPECT_EQ(rig.port.calls, calls) << name;
        EXPECT_EQ(label(rig.form), fails ? no_tx : tx_ok) << name;
        EXPECT_EQ(rig.port.is_open(), !fails) << name;
        EXPECT_EQ(ports_selected(rig.form), fails ? 0 : 1) << name;
        EXPECT_EQ(rig.link.problem(), fails ? "porta inesistente" : "") << name;
        EXPECT_EQ(rig.shell.messages, std::vector<std::string>(fails, "vadrel: Errore nell'apertura della seriale"))
            << name;
    }
    Rig rig;  // any other error ends the program at once
    rig.port.fail_otherwise = true;
    rig.form.com1_option.select();
    EXPECT_EQ(rig.shell.ended, "guasto imprevisto");
    EXPECT_TRUE(rig.shell.messages.empty());
}

// A port moved to a device that will not open: the operator hears of it
// when the change was theirs ("Porta..." changes through the panel), not when
// a client or start-up made it; the panel shows the port closed either way.
TEST(PortChoice, ADeviceThatFailsIsToldOnlyForTheOperatorsChange) {
    for (const bool operators : {true, false}) {
        Rig rig;
        rig.port.force_open();
        rig.port.failing_ports = {2};
        const Link::Origin origin = operators ? static_cast<Link::Origin>(&rig.form) : nullptr;
        EXPECT_FALSE(rig.link.set_device(2, "/dev/ttyUSB0", origin));
        EXPECT_EQ(rig.devices.devices[2], "/dev/ttyUSB0");
        EXPECT_EQ(label(rig.form), no_tx) << operators;
        EXPECT_EQ(ports_selected(rig.form), 0) << operators;
        EXPECT_EQ(rig.shell.messages,
                  std::vector<std::string>(operators ? 1 : 0, "vadrel: Errore nell'apertura della seriale"))
            << operators;
    }
}

// Without a fix the label says "Senza fix" while transmission runs on an
// open port, and shows again what it showed when the fix is back. (Which
// second has a fix is the transmitter's.)
TEST(StatusLabel, SaysWhileTheFixIsLost) {
    ReceiverOptions timed_loss;
    timed_loss.faults.enabled = true;
    timed_loss.faults.fix_outage = {1, 2};
    ReceiverOptions no_signal;
    no_signal.no_fix = true;
    // stopped, the port open, the receiver's options, the ticks, the label after them
    const std::tuple<const char*, bool, bool, ReceiverOptions, int, const char*> rows[] = {
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

// One run of the program in a real folder, with fakes around the panel.
struct ProgramRun {
    ~ProgramRun() { fs::current_path(fs::temp_directory_path()); }
    // As the program does: the panel's start-up texts, the table, then the link's port.
    void start() {
        start_panel(rig.form);
        load_table(table, file, tell);
        rig.link.start(nullptr);
    }
    bool stop() {
        rig.link.close();
        return save_table(table, file, tell);
    }
    const Tell tell = [this](const QString& text) { rig.shell.message_box(text.toStdString(), program_title); };
    ScratchFolder f;
    ProgramFolder folder{f.path()};
    TableFile file{folder};
    Rig rig;
    VehicleTable table{rig.fleet};
};

// The port and speed of the command line are those opened, once.
TEST(Lifecycle, StartUpShowsTheDefaultOrTheStoredVehicleAndOpensThePortOnce) {
    const std::string first = "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n";
    const std::vector<std::string> com2 = {"port 2", "settings 4800,N,8,1", "open 2 4800,N,8,1"};
    // vadrel.cnf, the panel shown, after the first tick, COM 3 at 9600 selected, the port's calls
    const std::tuple<const char*, std::string, const char*, const char*, bool, std::vector<std::string>> rows[] = {
        {"first run", "", "44 1,7775 0 N 10 8,0623 0 E 0 0 km", "44 2 0 N 10 8 0 E 0 0 km", false, com2},
        {"a good file", cnf_text(first), "45 30 0 S 9 12 0 W 12 270 mi", "45 30 0 S 9 12 0 W 12 270 mi", false,
         com2},
        {"a file cut short keeps the start-up texts", first, "44 1,7775 0 N 10 8,0623 0 E 0 0 km",
         "44 2 0 N 10 8 0 E 0 0 km", false, com2},
        {"COM 3 at 9600 selected", "", "44 1,7775 0 N 10 8,0623 0 E 0 0 km", "44 2 0 N 10 8 0 E 0 0 km", true,
         {"port 3", "settings 9600,N,8,1", "open 3 9600,N,8,1"}},
    };
    for (const auto& [name, file, shown, after_tick, com3_9600, calls] : rows) {
        ProgramRun run;
        if (!file.empty()) run.f.put("vadrel.cnf", file);
        if (com3_9600) {
            EXPECT_FALSE(run.rig.link.set_start(3, 9600));
            draw_link(run.rig.form);
        }
        run.rig.port.calls.clear();
        run.start();
        const PanelForm& form = run.rig.form;
        EXPECT_EQ(testing::panel_text(form), shown) << name;
        EXPECT_EQ(run.rig.port.calls, calls) << name;
        EXPECT_EQ(form.status_label.caption(), "Tx ok") << name;
        run.rig.tick(0);  // the first step covers no time: the boxes show where the vehicle is
        EXPECT_EQ(testing::panel_text(form), after_tick) << name;
    }
}

// Both programs start the current vehicle at one place: the panel's start-up
// texts as it reads them, and start_vehicle() without a panel.
TEST(Lifecycle, ThePanelsStartUpIsTheStartVehicle) {
    Rig rig;  // as the window makes it
    start_panel(rig.form);
    EXPECT_TRUE(rig.fleet.vehicle(0).same_values(start_vehicle()))
        << rig.fleet.vehicle(0).lat << " " << rig.fleet.vehicle(0).lon << " vs " << start_vehicle().lat << " "
        << start_vehicle().lon;
}

// Closes the port only when open, then writes all 21 records.
TEST(Lifecycle, ShutDownClosesThePortThenWritesAllRecords) {
    for (const bool port_fails : {false, true}) {
        ProgramRun run;
        Rig& rig = run.rig;
        if (port_fails) rig.port.failing_ports = {2};
        run.start();
        EXPECT_EQ(rig.form.status_label.caption(), port_fails ? "No tx" : "Tx ok");
        rig.port.calls.clear();
        EXPECT_TRUE(run.stop());
        EXPECT_EQ(rig.port.calls, std::vector<std::string>(port_fails ? 0 : 1, "close")) << port_fails;
        EXPECT_TRUE(rig.shell.messages.empty());
        // Ended before the first tick: the record holds what the panel showed,
        // the hemisphere letters and the unit of the window's creation included.
        EXPECT_EQ(run.f.get("vadrel.cnf"), cnf_text("44,2,\"N\",,10,8,\"E\",0,0,#TRUE#,#FALSE#\r\n")) << port_fails;
    }
}

// The version and the contact lines are the project's as CMake hands them to
// this test, apart from the header the program reads them through; a line
// CMake does not give is said to be missing, never filled with a made-up
// value; no line break after the last line, which would show an empty one.
TEST(About, TheLinesComeFromTheProject) {
    std::vector<std::string> lines;
    const std::string text = about_box_text() + "\r\n";
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 11u) << text;
    const std::string phone = VADREL_PHONE, web = VADREL_HOMEPAGE_URL;
    EXPECT_EQ(lines[0], VADREL_VENDOR " - Sistemi di navigazione");
    EXPECT_EQ(lines[1], "vadrel - versione " VADREL_PROJECT_VERSION);
    EXPECT_EQ(lines[5], "Tel: " + (phone.empty() ? "nessuno" : phone));
    EXPECT_EQ(lines[7], "E-MAIL: " VADREL_MAINTAINER_EMAIL);
    EXPECT_EQ(lines[10], web.empty() ? "nessun sito: scrivete all'indirizzo qui sopra" : web);
}

}  // namespace
}  // namespace vadrel
