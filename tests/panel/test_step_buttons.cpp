#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "model/numbers.h"
#include "panel/step_buttons.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// One button: its box, its field and its upper limit.
struct Button {
    const char* name;
    bool plus;
    TextBox Form1::*box;
    std::int16_t veicolo::*field;
    int limit;
};

const Button buttons[] = {
    {"Command1", true, &Form1::txt_lat_g, &veicolo::lat_g, 89},
    {"Command2", false, &Form1::txt_lat_g, &veicolo::lat_g, 89},
    {"Command3", true, &Form1::txt_lat_p, &veicolo::lat_p, 59},
    {"Command4", false, &Form1::txt_lat_p, &veicolo::lat_p, 59},
    {"Command13", true, &Form1::txt_lat_s, &veicolo::lat_s, 59},
    {"Command12", false, &Form1::txt_lat_s, &veicolo::lat_s, 59},
    {"Command6", true, &Form1::txt_lon_g, &veicolo::lon_g, 179},
    {"Command5", false, &Form1::txt_lon_g, &veicolo::lon_g, 179},
    {"Command8", true, &Form1::txt_lon_p, &veicolo::lon_p, 59},
    {"Command7", false, &Form1::txt_lon_p, &veicolo::lon_p, 59},
    {"Command18", true, &Form1::txt_lon_s, &veicolo::lon_s, 59},
    {"Command16", false, &Form1::txt_lon_s, &veicolo::lon_s, 59},
};

const Button& button(const std::string& name) {
    for (const Button& b : buttons) {
        if (name == b.name) return b;
    }
    throw std::invalid_argument(name);
}

// The position boxes and hemisphere boxes a click must leave alone.
constexpr std::array<TextBox Form1::*, 8> position_boxes{
    &Form1::txt_lat_g, &Form1::txt_lat_p, &Form1::txt_lat_s, &Form1::txt_lat_ns,
    &Form1::txt_lon_g, &Form1::txt_lon_p, &Form1::txt_lon_s, &Form1::txt_lon_ew,
};

// A panel showing a position whose every field differs from the test values.
void fill_panel(Form1& f) {
    f.txt_lat_g.set_text("44");
    f.txt_lat_p.set_text("17");
    f.txt_lat_s.set_text("33");
    f.txt_lat_ns.set_text("N");
    f.txt_lon_g.set_text("10");
    f.txt_lon_p.set_text("8");
    f.txt_lon_s.set_text("41");
    f.txt_lon_ew.set_text("E");
    f.txt_vel.set_text("50");
    f.txt_angolo.set_text("90");
}

// "=" leaves box and field as they were.
struct Row {
    const char* button;
    const char* start;
    const char* expected;
};

void check_click(const Row& row, std::int16_t vehicle) {
    const std::string where = std::string(row.button) + " on \"" + row.start + "\"";
    Rig rig;
    Form1& f = rig.form;
    f.mezzo_attuale = vehicle;
    fill_panel(f);
    const Button& b = button(row.button);
    TextBox& box = f.*b.box;
    box.set_text(row.start);

    const veicolo before = f.mezzi[static_cast<std::size_t>(vehicle)];
    const auto table_before = f.mezzi;
    std::vector<std::string> texts_before;
    for (auto member : position_boxes) texts_before.push_back((f.*member).text());
    const auto tempo_before = f.tempo_ultimo;

    auto* control = dynamic_cast<CommandButton*>(f.find(row.button));
    ASSERT_NE(control, nullptr) << where;
    control->click();

    const veicolo& after = f.mezzi[static_cast<std::size_t>(vehicle)];
    veicolo expected_record = before;
    const std::string expected_text = std::string(row.expected) == "=" ? row.start : row.expected;
    if (std::string(row.expected) != "=") {
        expected_record.*b.field = static_cast<std::int16_t>(std::stoi(row.expected));
    }
    EXPECT_EQ(box.text(), expected_text) << where;
    EXPECT_EQ(after.*b.field, expected_record.*b.field) << where;
    // Nothing else moved: no carry, no hemisphere, no other vehicle, no timing.
    EXPECT_EQ(after, expected_record) << where;
    for (std::size_t i = 0; i < f.mezzi.size(); ++i) {
        if (i != static_cast<std::size_t>(vehicle)) {
            EXPECT_EQ(f.mezzi[i], table_before[i]) << where;
        }
    }
    for (std::size_t i = 0; i < position_boxes.size(); ++i) {
        if (position_boxes[i] != b.box) {
            EXPECT_EQ((f.*position_boxes[i]).text(), texts_before[i]) << where;
        }
    }
    EXPECT_EQ(f.tempo_ultimo, tempo_before) << where;
    EXPECT_TRUE(rig.port.written.empty()) << where;
    if (std::string(row.expected) != "=") {
        // The box shows exactly what the record holds.
        EXPECT_EQ(box.text(), int_text(after.*b.field)) << where;
    }
}

const std::string four_hundred_nines(400, '9');

const Row rows[] = {
    // start-up minutes text: the leading number 1
    {"Command1", "1,7775", "2"}, {"Command2", "1,7775", "0"},
    {"Command3", "1,7775", "2"}, {"Command4", "1,7775", "0"},
    {"Command13", "1,7775", "2"}, {"Command12", "1,7775", "0"},
    {"Command6", "1,7775", "2"}, {"Command5", "1,7775", "0"},
    {"Command8", "8,0623", "9"}, {"Command7", "8,0623", "7"},
    {"Command18", "1,7775", "2"}, {"Command16", "1,7775", "0"},
    // plain steps
    {"Command1", "44", "45"}, {"Command2", "44", "43"},
    {"Command3", "0", "1"}, {"Command4", "59", "58"},
    {"Command13", "30", "31"}, {"Command12", "30", "29"},
    {"Command6", "178", "179"}, {"Command5", "1", "0"},
    {"Command8", "58", "59"}, {"Command7", "1", "0"},
    {"Command18", "0", "1"}, {"Command16", "59", "58"},
    // wrap at the limit and at 0
    {"Command1", "89", "0"}, {"Command2", "0", "89"},
    {"Command3", "59", "0"}, {"Command4", "0", "59"},
    {"Command13", "59", "0"}, {"Command12", "0", "59"},
    {"Command6", "179", "0"}, {"Command5", "0", "179"},
    {"Command8", "59", "0"}, {"Command7", "0", "59"},
    {"Command18", "59", "0"}, {"Command16", "0", "59"},
    // a value above its limit from a stored record: one test, one direction
    {"Command1", "120", "0"}, {"Command2", "120", "119"},
    {"Command3", "120", "0"}, {"Command4", "120", "119"},
    {"Command13", "120", "0"}, {"Command12", "120", "119"},
    {"Command6", "120", "121"}, {"Command5", "120", "119"},
    {"Command6", "200", "0"}, {"Command5", "200", "199"},
    {"Command8", "120", "0"}, {"Command7", "120", "119"},
    {"Command18", "120", "0"}, {"Command16", "120", "119"},
    {"Command2", "90", "89"}, {"Command1", "90", "0"},
    // a negative value
    {"Command1", "-3", "-2"}, {"Command2", "-3", "89"},
    {"Command3", "-3", "-2"}, {"Command4", "-3", "59"},
    {"Command13", "-3", "-2"}, {"Command12", "-3", "59"},
    {"Command6", "-3", "-2"}, {"Command5", "-3", "179"},
    {"Command8", "-3", "-2"}, {"Command7", "-3", "59"},
    {"Command18", "-3", "-2"}, {"Command16", "-3", "59"},
    {"Command1", "-1", "0"},
    // leading-number reading and rounding half to even
    {"Command1", "2.5", "3"}, {"Command1", "3.5", "5"},
    {"Command2", "2.5", "1"}, {"Command2", "3.5", "3"},
    {"Command3", "2.6", "4"}, {"Command4", "0.4", "59"},
    {"Command1", "12abc", "13"}, {"Command1", " 7", "8"},
    {"Command1", "abc", "1"}, {"Command2", "abc", "89"},
    {"Command13", "", "1"}, {"Command12", "", "59"},
    {"Command6", "-", "1"}, {"Command5", "N", "179"},
    // the ends of the 16-bit range
    {"Command1", "32767", "0"}, {"Command2", "32767", "32766"},
    {"Command1", "-32768", "-32767"}, {"Command2", "-32768", "89"},
    {"Command6", "32767", "0"}, {"Command5", "-32768", "179"},
    {"Command18", "32767", "0"}, {"Command16", "-32768", "59"},
    {"Command1", "32767.5", "0"}, {"Command2", "-32768.5", "89"},
    // beyond it: only the wrap can bring the value back
    {"Command1", "40000", "0"}, {"Command2", "40000", "="},
    {"Command1", "-40000", "="}, {"Command2", "-40000", "89"},
    {"Command3", "99999999999999999999999", "0"}, {"Command4", "99999999999999999999999", "="},
    {"Command8", four_hundred_nines.c_str(), "0"},
};

TEST(StepButtons, EveryButtonThroughTheTable) {
    for (const Row& row : rows) check_click(row, 0);
}

TEST(StepButtons, StepTheCurrentVehicleOnly) {
    for (const Row& row : rows) check_click(row, 13);
}

TEST(StepButtons, EveryButtonIsInTheTableAndWired) {
    Rig rig;
    for (const Button& b : buttons) {
        auto* control = dynamic_cast<CommandButton*>(rig.form.find(b.name));
        ASSERT_NE(control, nullptr) << b.name;
        EXPECT_EQ(control->caption(), b.plus ? "+" : "-") << b.name;
        EXPECT_TRUE(static_cast<bool>(control->on_click)) << b.name;
    }
}

// The record already holds the new value when the box's change handling runs.
TEST(StepButtons, RecordIsWrittenBeforeTheBox) {
    for (const Button& b : buttons) {
        Rig rig;
        Form1& f = rig.form;
        f.mezzo_attuale = 2;
        TextBox& box = f.*b.box;
        box.set_text("5");
        std::vector<std::int16_t> seen;
        auto change = box.on_change;
        box.on_change = [&] {
            seen.push_back(f.mezzi[2].*b.field);
            change();
        };
        dynamic_cast<CommandButton&>(*f.find(b.name)).click();
        const std::int16_t expected = b.plus ? 6 : 4;
        EXPECT_EQ(seen, std::vector<std::int16_t>{expected}) << b.name;
        EXPECT_EQ(f.mezzi[2].*b.field, expected) << b.name;
    }
}

// "-" from above the limit walks back into range one click at a time.
TEST(StepButtons, MinusWalksBackFromAboveTheLimit) {
    Rig rig;
    Form1& f = rig.form;
    f.txt_lat_g.set_text("92");
    std::vector<std::string> shown;
    for (int i = 0; i < 4; ++i) {
        f.Command2.click();
        shown.push_back(f.txt_lat_g.text());
        EXPECT_EQ(f.mezzi[0].lat_g, std::stoi(f.txt_lat_g.text()));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"91", "90", "89", "88"}));
}

// The step reads the box, not the record: the start-up minutes "1,7775" are
// stored as 2 but step from 1.
TEST(StepButtons, StepStartsFromTheBoxNotTheRecord) {
    Rig rig;
    Form1& f = rig.form;
    f.txt_lat_p.set_text("1,7775");
    ASSERT_EQ(f.mezzi[0].lat_p, 2);
    f.Command3.click();
    EXPECT_EQ(f.txt_lat_p.text(), "2");
    EXPECT_EQ(f.mezzi[0].lat_p, 2);
    f.txt_lat_p.set_text("1,7775");
    f.Command4.click();
    EXPECT_EQ(f.txt_lat_p.text(), "0");
    EXPECT_EQ(f.mezzi[0].lat_p, 0);
}

}  // namespace
}  // namespace vadrel
