#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/tick.h"
#include "model/numbers.h"
#include "motion/course_speed.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// Key codes of keys the panel's keys:: table does not name.
constexpr int key_minus = 189;
constexpr char32_t backspace = 8;

int key_of(char32_t character) {
    if (character == U'-') return key_minus;
    return static_cast<int>(character);
}

// Types the characters one full keystroke each, as the operator would.
void type(TextBox& box, const std::u32string& characters) {
    for (const char32_t c : characters) box.type(key_of(c), c);
}

// Sets the box's text as the program does (a vehicle load, a paste), caret at the end.
void show(TextBox& box, const std::string& text) {
    box.set_text(text);
    box.set_selection(text.size(), 0);
}

// What the box reads as, in the record's 16-bit field.
std::int16_t reading(const TextBox& box) { return to_int16(leading_number(box.text())); }

// ---- key filters ----

TEST(KeyFilters, AcceptAndRefuseByTheFirstRuleThatApplies) {
    const struct {
        const char* name;
        std::string testo;
        char32_t key;
        std::int16_t intero;
        std::int16_t positivo;
    } rows[] = {
        {"backspace on empty", "", 8, 1, 1},
        {"backspace on text", "12", 8, 1, 1},
        {"minus into empty", "", U'-', 1, 0},
        {"minus after digits", "5", U'-', 0, 0},
        {"minus after minus", "-", U'-', 0, 0},
        {"minus after a blank", " ", U'-', 0, 0},
        {"digit 0", "", U'0', 1, 1},
        {"digit 9 after minus", "-", U'9', 1, 1},
        {"slash below the digits", "", U'/', 0, 0},
        {"colon above the digits", "", U':', 0, 0},
        {"plus sign", "", U'+', 0, 0},
        {"decimal point", "1", U'.', 0, 0},
        {"decimal comma", "1", U',', 0, 0},
        {"letter", "", U'a', 0, 0},
        {"space", "", U' ', 0, 0},
        {"enter", "", 13, 0, 0},
        {"tab", "", 9, 0, 0},
        {"nul", "", 0, 0, 0},
        {"escape", "", 27, 0, 0},
        {"superscript two", "", U'\u00B2', 0, 0},
        {"code point whose low 16 bits are a digit", "", 0x10030, 0, 0},
        {"code point whose low 16 bits are a minus", "", 0x1002D, 0, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(controlla_input_intero(row.testo, row.key), row.intero) << row.name;
        EXPECT_EQ(controlla_input_intero_positivo(row.testo, row.key), row.positivo) << row.name;
    }
}

TEST(KeyFilters, ChangeNeitherArgument) {
    const std::string testo = "12";
    const char32_t key = U'3';
    controlla_input_intero(testo, key);
    controlla_input_intero_positivo(testo, key);
    EXPECT_EQ(testo, "12");
    EXPECT_EQ(key, U'3');
}

// ---- course box ----

TEST(Course, WorkedExampleTyping365KeepsThe36) {
    Rig rig;
    Form1& f = rig.form;
    show(f.txt_angolo, "");
    ASSERT_EQ(f.mezzi[0].angolo, 0);

    std::vector<std::int16_t> stored;
    auto change = f.txt_angolo.on_change;
    f.txt_angolo.on_change = [&] {
        change();
        stored.push_back(f.mezzi[0].angolo);
    };

    type(f.txt_angolo, U"36");
    EXPECT_EQ(f.txt_angolo.text(), "36");
    EXPECT_EQ(f.mezzi[0].angolo, 36);

    f.txt_angolo.key_down('5');
    EXPECT_EQ(f.angolo_salvato, "36");
    EXPECT_TRUE(f.txt_angolo.key_press(U'5'));
    EXPECT_EQ(f.txt_angolo.text(), "365");
    EXPECT_EQ(f.mezzi[0].angolo, 365);
    f.txt_angolo.key_up('5');
    EXPECT_EQ(f.txt_angolo.text(), "36");
    EXPECT_EQ(f.mezzi[0].angolo, 36);

    EXPECT_EQ(stored, (std::vector<std::int16_t>{3, 36, 365, 36}));
}

TEST(Course, RangeCheckOnRelease) {
    const struct {
        const char* name;
        std::string start;
        std::u32string typed;
        std::string box;
    } rows[] = {
        {"360 stands", "", U"360", "360"},
        {"361 reverts to the text before its last key", "", U"361", "36"},
        {"0 stands", "", U"0", "0"},
        {"a fourth digit on 360 reverts", "360", U"0", "360"},
        {"leading zeros read as their number", "", U"0360", "0360"},
        {"leading zeros then too much", "", U"0361", "036"},
        {"backspace from 360", "360", U"\b", "36"},
        {"backspace to empty", "7", U"\b", ""},
        {"minus into the empty box is refused", "", U"-", ""},
        {"minus after digits is refused", "45", U"-", "45"},
        {"letters and separators are refused", "45", U"a.,+ ", "45"},
        {"999 typed stays 99", "", U"999", "99"},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        show(f.txt_angolo, row.start);
        type(f.txt_angolo, row.typed);
        EXPECT_EQ(f.txt_angolo.text(), row.box) << row.name;
        EXPECT_EQ(f.mezzi[0].angolo, reading(f.txt_angolo)) << row.name;
    }
}

TEST(Course, MinusNeverEntersTheCourseBox) {
    Rig rig;
    Form1& f = rig.form;
    show(f.txt_angolo, "");
    EXPECT_FALSE(f.txt_angolo.key_press(U'-'));
    EXPECT_EQ(f.txt_angolo.text(), "");
    show(f.txt_angolo, "90");
    f.txt_angolo.set_selection(0, 2);  // even over a selection
    EXPECT_FALSE(f.txt_angolo.key_press(U'-'));
    EXPECT_EQ(f.txt_angolo.text(), "90");
    EXPECT_EQ(f.mezzi[0].angolo, 90);
}

TEST(Course, AKeyThatTypesNothingStillRunsTheCheckOnRelease) {
    Rig rig;
    Form1& f = rig.form;
    show(f.txt_angolo, "36");
    // Shift goes down, then 5; Shift is released first.
    f.txt_angolo.key_down(keys::shift);
    f.txt_angolo.key_down('5');
    f.txt_angolo.key_press(U'5');
    ASSERT_EQ(f.txt_angolo.text(), "365");
    f.txt_angolo.key_up(keys::shift);
    EXPECT_EQ(f.txt_angolo.text(), "36");
    EXPECT_EQ(f.mezzi[0].angolo, 36);
    f.txt_angolo.key_up('5');
    EXPECT_EQ(f.txt_angolo.text(), "36");

    // An arrow over a course in range changes nothing.
    show(f.txt_angolo, "270");
    f.txt_angolo.key_down(keys::left);
    f.txt_angolo.key_up(keys::left);
    EXPECT_EQ(f.txt_angolo.text(), "270");
    EXPECT_EQ(f.mezzi[0].angolo, 270);
}

TEST(Course, ReleaseWithNoKeyDownInTheBoxKeepsTheText) {
    Rig rig;
    Form1& f = rig.form;
    type(f.txt_angolo, U"12");  // the last key down saved "1"
    show(f.txt_angolo, "400");  // a stored course loaded into the panel
    f.txt_angolo.key_up(keys::tab);  // the release of the key that brought the focus
    EXPECT_EQ(f.txt_angolo.text(), "400");
    EXPECT_EQ(f.mezzi[0].angolo, 400);
    // a real keystroke saves the text it finds, and puts back that text
    f.txt_angolo.key_down(keys::right);
    f.txt_angolo.key_up(keys::right);
    EXPECT_EQ(f.txt_angolo.text(), "400");
}

TEST(Course, HeldKeyRestoresTheTextSavedAtTheLastRepetition) {
    const struct {
        const char* name;
        std::string start;
        char32_t held;
        int repeats;
        std::string box;
    } rows[] = {
        {"6 held twice on 3", "3", U'6', 2, "36"},
        {"6 held once on 3", "3", U'6', 1, "36"},
        {"0 held three times on empty", "", U'0', 3, "000"},
        {"only the last repetition is undone", "36", U'5', 2, "365"},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        show(f.txt_angolo, row.start);
        for (int i = 0; i < row.repeats; ++i) {
            f.txt_angolo.key_down(key_of(row.held));
            f.txt_angolo.key_press(row.held);
        }
        f.txt_angolo.key_up(key_of(row.held));
        EXPECT_EQ(f.txt_angolo.text(), row.box) << row.name;
        EXPECT_EQ(f.mezzi[0].angolo, reading(f.txt_angolo)) << row.name;
    }
}

// Past 32767 the key is refused outright, before the release check could
// put the text back: the record never sees a number it cannot hold.
TEST(Course, KeyPastTheRecordsRangeIsRefused) {
    Rig rig;
    Form1& f = rig.form;
    show(f.txt_angolo, "3276");
    f.txt_angolo.key_down('8');
    EXPECT_FALSE(f.txt_angolo.key_press(U'8'));
    EXPECT_EQ(f.txt_angolo.text(), "3276");
    EXPECT_TRUE(f.txt_angolo.key_press(U'7'));
    EXPECT_EQ(f.mezzi[0].angolo, 32767);
    f.txt_angolo.key_up('7');
    EXPECT_EQ(f.txt_angolo.text(), "3276");
    EXPECT_EQ(f.mezzi[0].angolo, 3276);
}

TEST(Course, ChangeGoesIntoTheCurrentVehicle) {
    Rig rig;
    Form1& f = rig.form;
    f.mezzo_attuale = 7;
    show(f.txt_angolo, "");
    type(f.txt_angolo, U"180");
    EXPECT_EQ(f.mezzi[7].angolo, 180);
    EXPECT_EQ(f.mezzi[0].angolo, 0);
}

// ---- speed box ----

TEST(Speed, Typing) {
    const struct {
        const char* name;
        std::string start;
        std::u32string typed;
        std::string box;
        std::int16_t vel;
    } rows[] = {
        {"minus into empty reads 0", "", U"-", "-", 0},
        {"minus then 5", "", U"-5", "-5", -5},
        {"minus refused after digits", "5", U"-", "5", 5},
        {"minus refused after minus", "", U"--7", "-7", -7},
        {"minus refused in the middle", "12", U"3-4", "1234", 1234},
        {"digits", "", U"120", "120", 120},
        {"no upper limit but the record's", "", U"32767", "32767", 32767},
        {"backspace back to a lone minus", "-5", U"\b", "-", 0},
        {"backspace to empty", "9", U"\b", "", 0},
        {"letters, point and comma refused", "", U"1a.5,2", "152", 152},
        {"a key past the record's range is refused", "", U"327670", "32767", 32767},
        {"32768 is refused at its last digit", "", U"32768", "3276", 3276},
        {"lowest speed", "", U"-32768", "-32768", -32768},
        {"below the lowest speed is refused", "", U"-32769", "-3276", -3276},
        {"leading zeros are not the record's concern", "", U"00032767", "00032767", 32767},
        {"leading zeros cannot hide an overflow", "", U"00032768", "0003276", 3276},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        show(f.txt_vel, row.start);
        type(f.txt_vel, row.typed);
        EXPECT_EQ(f.txt_vel.text(), row.box) << row.name;
        EXPECT_EQ(f.mezzi[0].vel, row.vel) << row.name;
    }
}

TEST(Speed, MinusOverAWholeSelectionIsStillRefused) {
    Rig rig;
    Form1& f = rig.form;
    show(f.txt_vel, "40");
    f.txt_vel.set_selection(0, 2);
    EXPECT_FALSE(f.txt_vel.key_press(U'-'));
    EXPECT_EQ(f.txt_vel.text(), "40");
    EXPECT_EQ(f.mezzi[0].vel, 40);
}

// The range guard looks at the text the key would make where the caret is.
TEST(Speed, RangeGuardFollowsCaretAndSelection) {
    const struct {
        const char* name;
        std::string start;
        std::size_t sel_start;
        std::size_t sel_length;
        char32_t key;
        std::string box;
    } rows[] = {
        {"digit before 4000 fits", "4000", 0, 0, U'2', "24000"},
        {"digit after 4000 does not", "4000", 4, 0, U'2', "4000"},
        {"digit inside 4000 does not", "4000", 1, 0, U'9', "4000"},
        {"digit over a selected digit fits", "12345", 0, 1, U'2', "22345"},
        {"digit over a selected digit does not", "12345", 0, 1, U'9', "12345"},
        {"digit over two selected digits", "12345", 0, 2, U'9', "9345"},
        {"digit over the whole text", "32767", 0, 5, U'8', "8"},
        {"backspace at the start does nothing", "12", 0, 0, backspace, "12"},
        {"backspace removes the selection", "12345", 1, 3, backspace, "15"},
        {"backspace in the middle", "12345", 2, 0, backspace, "1345"},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        show(f.txt_vel, row.start);
        f.txt_vel.set_selection(row.sel_start, row.sel_length);
        f.txt_vel.type(key_of(row.key), row.key);
        EXPECT_EQ(f.txt_vel.text(), row.box) << row.name;
        EXPECT_EQ(f.mezzi[0].vel, reading(f.txt_vel)) << row.name;
    }
}

TEST(ProgramText, OutOfRangeTextKeepsTheRecordAndNeverThrows) {
    const struct {
        const char* name;
        std::string text;
        std::int16_t kept;
    } rows[] = {
        {"just above", "32768", 25},
        {"just below", "-32769", 25},
        {"far above", "99999999999999999999999999999999999999", 25},
        {"beyond a double", std::string(400, '9'), 25},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        show(f.txt_vel, "25");
        show(f.txt_angolo, "25");
        EXPECT_NO_THROW(show(f.txt_vel, row.text)) << row.name;
        EXPECT_NO_THROW(show(f.txt_angolo, row.text)) << row.name;
        EXPECT_EQ(f.mezzi[0].vel, row.kept) << row.name;
        EXPECT_EQ(f.mezzi[0].angolo, row.kept) << row.name;
    }
}

TEST(ProgramText, ReadingRules) {
    const struct {
        const char* name;
        std::string text;
        std::int16_t value;
    } rows[] = {
        {"12,7 reads 12", "12,7", 12},
        {"12.7 rounds to 13", "12.7", 13},
        {"12.5 rounds to even 12", "12.5", 12},
        {"13.5 rounds to even 14", "13.5", 14},
        {"lone minus", "-", 0},
        {"empty", "", 0},
        {"not a number", "abc", 0},
        {"blanks before", "  42", 42},
        {"exponent is not read", "1e3", 1},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        show(f.txt_vel, "77");
        show(f.txt_angolo, "77");
        show(f.txt_vel, row.text);
        show(f.txt_angolo, row.text);
        EXPECT_EQ(f.mezzi[0].vel, row.value) << row.name;
        EXPECT_EQ(f.mezzi[0].angolo, row.value) << row.name;
    }
}

// ---- unit ----

TEST(Unit, ClickStoresBothFlagsInTheCurrentRecord) {
    Rig rig;
    Form1& f = rig.form;
    f.mezzo_attuale = 3;
    ASSERT_TRUE(f.opt_km.selected());

    f.opt_miglia.select();
    EXPECT_EQ(f.mezzi[3].miglia, -1);
    EXPECT_EQ(f.mezzi[3].km, 0);
    EXPECT_FALSE(f.opt_km.selected());

    f.opt_km.select();
    EXPECT_EQ(f.mezzi[3].km, -1);
    EXPECT_EQ(f.mezzi[3].miglia, 0);
    EXPECT_FALSE(f.opt_miglia.selected());

    EXPECT_EQ(f.mezzi[0].km, 0);
    EXPECT_EQ(f.mezzi[0].miglia, 0);
}

// ---- the tick reads what was typed ----

TEST(Speed, NegativeSpeedMovesTheVehicleBackwards) {
    const struct {
        const char* name;
        std::u32string speed;
        std::string box;
        std::string lat_s;
    } rows[] = {
        {"forwards", U"1000", "1000", "39"},
        {"standing", U"0", "0", "30"},
        {"backwards", U"-1000", "-1000", "21"},
    };
    for (const auto& row : rows) {
        Rig rig;
        Form1& f = rig.form;
        f.txt_lat_g.set_text("44");
        f.txt_lat_s.set_text("30");
        show(f.txt_angolo, "");
        type(f.txt_angolo, U"0");
        show(f.txt_vel, "");
        type(f.txt_vel, row.speed);

        Timer1_Timer(f);  // the first tick only stamps the vehicle's time
        ASSERT_EQ(f.txt_lat_s.text(), "30") << row.name;
        rig.clock.seconds += 1.0f;
        Timer1_Timer(f);
        // 1000 km/h for one second is 8.99 seconds of arc along the meridian
        EXPECT_EQ(f.txt_lat_g.text(), "44") << row.name;
        EXPECT_EQ(f.txt_lat_s.text(), row.lat_s) << row.name;
        EXPECT_EQ(f.mezzi[0].lat_s, std::stoi(row.lat_s)) << row.name;
        EXPECT_EQ(f.txt_vel.text(), row.box) << row.name;
    }
}

}  // namespace
}  // namespace vadrel
