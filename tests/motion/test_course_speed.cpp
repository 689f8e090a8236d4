#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "motion/course_speed.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// The minus key has code 189; every other key here has its character as code.
int key_of(char32_t c) { return c == U'-' ? 189 : static_cast<int>(c); }

// Each character is one keystroke; `repeats` > 1 holds the key down that many repetitions.
void type(TextBox& box, const std::u32string& characters, int repeats = 1) {
    for (const char32_t c : characters) {
        for (int i = 0; i < repeats; ++i) { box.key_down(key_of(c)); box.key_press(c); }
        box.key_up(key_of(c));
    }
}

// Text set by the program (a vehicle load, a paste); the caret at `caret`, the end by default.
void show(TextBox& box, const std::string& text, std::size_t caret = std::string::npos,
          std::size_t selected = 0) {
    box.set_text(text);
    box.set_selection(caret, selected);
}

TEST(KeyFilters, AcceptAndRefuseByTheFirstRuleThatApplies) {
    const struct { const char* name; std::string testo; char32_t key; int intero, positivo; } rows[] = {
        {"backspace", "12", 8, 1, 1},
        {"minus into empty", "", U'-', 1, 0},
        {"minus after digits", "5", U'-', 0, 0},
        {"minus after a blank: the whole text counts", " ", U'-', 0, 0},
        {"digit 0", "", U'0', 1, 1},
        {"digit 9 after minus", "-", U'9', 1, 1},
        {"slash below the digits", "", U'/', 0, 0},
        {"colon above the digits", "", U':', 0, 0},
        {"decimal point", "1", U'.', 0, 0},
        {"letter", "", U'a', 0, 0},
        {"code point whose low 16 bits are a digit", "", 0x10030, 0, 0},
        {"code point whose low 16 bits are a minus", "", 0x1002D, 0, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(controlla_input_intero(row.testo, row.key), row.intero) << row.name;
        EXPECT_EQ(controlla_input_intero_positivo(row.testo, row.key), row.positivo) << row.name;
    }
}

// Past 32767 the course box refuses the key at once, not put back on release
// as past 360: the record never sees a number it cannot hold.
TEST(Course, AKeyThatWouldOverflowIsRefusedAtOnce) {
    Rig rig;
    show(rig.form.txt_angolo, "3276");
    rig.form.txt_angolo.key_down('8');
    EXPECT_FALSE(rig.form.txt_angolo.key_press(U'8'));
}

// Keys typed (or, with nothing typed, text set by the program) into either box of the
// current vehicle, whose record held 25 before: the box shows `box`, the record `record`.
TEST(CourseAndSpeed, TypingAndProgramText) {
    const auto A = &Form1::txt_angolo;
    const auto V = &Form1::txt_vel;
    const std::size_t E = std::string::npos;
    const struct {
        const char* name; TextBox Form1::*which; std::string start; std::size_t caret, selected;
        std::u32string typed; int repeats; std::string box; std::int16_t record;
    } rows[] = {
        {"360 stands", A, "", E, 0, U"360", 1, "360", 360},
        {"361 puts back the text before its last key", A, "", E, 0, U"361", 1, "36", 36},
        {"a fourth digit on 360", A, "360", E, 0, U"0", 1, "360", 360},
        {"minus into the empty course box", A, "", E, 0, U"-", 1, "", 0},
        {"minus over a whole selected course", A, "90", 0, 2, U"-", 1, "90", 90},
        {"held key: the text at the last repetition comes back", A, "3", E, 0, U"6", 2, "36", 36},
        {"held key: only the last repetition is undone", A, "36", E, 0, U"5", 2, "365", 365},
        {"minus into the empty speed box reads 0", V, "", E, 0, U"-", 1, "-", 0},
        {"minus then digits", V, "", E, 0, U"--7", 1, "-7", -7},
        {"minus after digits", V, "5", E, 0, U"-", 1, "5", 5},
        {"minus over a whole selected speed", V, "40", 0, 2, U"-", 1, "40", 40},
        {"backspace back to a lone minus", V, "-5", E, 0, U"\b", 1, "-", 0},
        {"highest speed", V, "", E, 0, U"327670", 1, "32767", 32767},
        {"32768 refused at its last digit", V, "", E, 0, U"32768", 1, "3276", 3276},
        {"lowest speed", V, "", E, 0, U"-32768", 1, "-32768", -32768},
        {"below the lowest speed", V, "", E, 0, U"-32769", 1, "-3276", -3276},
        {"leading zeros cannot hide an overflow", V, "", E, 0, U"00032768", 1, "0003276", 3276},
        {"digit before 4000 fits", V, "4000", 0, 0, U"2", 1, "24000", 24000},
        {"digit over a selected digit fits", V, "12345", 0, 1, U"2", 1, "22345", 22345},
        {"digit over the whole text", V, "32767", 0, 5, U"8", 1, "8", 8},
        {"program text above the range keeps the record", V, "32768", E, 0, U"", 1, "32768", 25},
        {"program text below the range keeps the record", V, "-32769", E, 0, U"", 1, "-32769", 25},
        {"program text beyond a double keeps the record", A, std::string(400, '9'), E, 0, U"", 1,
         std::string(400, '9'), 25},
        {"program text 12.5 rounds to even 12", A, "12.5", E, 0, U"", 1, "12.5", 12},
    };
    for (const auto& row : rows) {
        Rig rig;
        rig.form.mezzo_attuale = 5;
        const veicolo& v = rig.form.mezzi[5];
        TextBox& box = rig.form.*row.which;
        show(box, "25");
        show(box, row.start, row.caret, row.selected);
        type(box, row.typed, row.repeats);
        EXPECT_EQ(box.text(), row.box) << row.name;
        EXPECT_EQ(row.which == A ? v.angolo : v.vel, row.record) << row.name;
    }
}

TEST(Course, OnlyAReleaseAfterAKeyDownInTheBoxPutsTextBack) {
    Rig rig;
    TextBox& box = rig.form.txt_angolo;
    type(box, U"12");        // the last key down saved "1"
    show(box, "400");        // a stored course loaded into the panel
    box.key_up(keys::tab);   // the release of the key that brought the focus: nothing to put back
    EXPECT_EQ(box.text(), "400");
    box.key_down(keys::right);  // saves "400"
    show(box, "-5");            // pasted meanwhile
    box.key_up(keys::shift);    // any key's release checks: below 0 puts back the saved text
    EXPECT_EQ(box.text(), "400");
}

TEST(Unit, ClickStoresBothFlagsInTheCurrentRecord) {
    Rig rig;
    Form1& f = rig.form;
    f.mezzo_attuale = 3;
    f.mezzi[3].km = -1;  // the record as loaded, in km
    using Flags = std::pair<std::int16_t, std::int16_t>;
    auto flags = [&](int i) { return Flags(f.mezzi[i].km, f.mezzi[i].miglia); };
    f.opt_miglia.select();
    EXPECT_EQ(flags(3), Flags(0, -1));
    f.opt_km.select();
    EXPECT_EQ(flags(3), Flags(-1, 0));
    EXPECT_EQ(flags(0), Flags(0, 0));
}

}  // namespace
}  // namespace vadrel
