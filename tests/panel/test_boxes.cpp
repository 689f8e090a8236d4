#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "motion/dead_reckoning.h"
#include "panel/course_speed.h"
#include "panel/step_buttons.h"
#include "panel/view.h"
#include "support/fakes.h"
#include "tick/second_sentences.h"

namespace vadrel {
namespace {

using testing::Rig;

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
    const struct {
        const char* name;
        TextBox PanelForm::*which;
        std::string start;
        std::size_t caret, selected;
        std::u32string typed;
        int repeats;
        std::string box;
        double value;
    } rows[] = {
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
    for (const auto& row : rows) {
        Rig rig;
        rig.fleet.set_current(5, nullptr);
        TextBox& box = rig.form.*row.which;
        box.set_text("25");
        box.set_text(row.start);
        box.set_selection(row.caret, row.selected);
        type(box, row.typed, row.repeats);
        EXPECT_EQ(box.text(), row.box) << row.name;
        const Vehicle& v = rig.fleet.vehicle(5);
        EXPECT_EQ(row.which == A ? v.course : v.speed, row.value) << row.name;
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

}  // namespace
}  // namespace vadrel
