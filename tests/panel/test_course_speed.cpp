#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "panel/course_speed.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

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

// (A vehicle never given a unit takes the one shown: VehicleUnits.)
TEST(Unit, AClickIsTheVehiclesUnitAndTheVehicleShowsItsOwn) {
    Rig rig;
    rig.form.mph_option.select();
    EXPECT_EQ(rig.fleet.vehicle(0).unit, SpeedUnit::knots);
    rig.form.kmh_option.select();
    EXPECT_EQ(rig.fleet.vehicle(0).unit, SpeedUnit::kmh);
    rig.fleet.set_unit(0, SpeedUnit::knots, nullptr);  // elsewhere: shown at once
    EXPECT_TRUE(rig.form.mph_option.selected());
}

}  // namespace
}  // namespace vadrel
