#include <gtest/gtest.h>

#include <string>

#include "panel/step_buttons.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

// Each position box with its field and its "+" and "-" buttons.
struct Field {
    std::string plus;
    std::string minus;
    TextBox Form1::*box;
    std::int16_t veicolo::*field;
};
const Field fields[] = {
    {"Command1", "Command2", &Form1::txt_lat_g, &veicolo::lat_g},
    {"Command3", "Command4", &Form1::txt_lat_p, &veicolo::lat_p},
    {"Command13", "Command12", &Form1::txt_lat_s, &veicolo::lat_s},
    {"Command6", "Command5", &Form1::txt_lon_g, &veicolo::lon_g},
    {"Command8", "Command7", &Form1::txt_lon_p, &veicolo::lon_p},
    {"Command18", "Command16", &Form1::txt_lon_s, &veicolo::lon_s},
};

// A click on `button` over a box showing `start` leaves `expected` in the box and in the
// record's field; "=" leaves both as they were.
struct Row {
    const char* button;
    std::string start;
    const char* expected;
};
const Row rows[] = {
    // the start-up texts read by their leading number
    {"Command1", "1,7775", "2"}, {"Command7", "8,0623", "7"},
    // wrap past each field's limit and below 0, with no carry into the next field
    {"Command1", "88", "89"}, {"Command1", "89", "0"}, {"Command2", "0", "89"},
    {"Command3", "59", "0"}, {"Command4", "0", "59"},
    {"Command13", "59", "0"}, {"Command12", "0", "59"},
    {"Command6", "179", "0"}, {"Command5", "0", "179"},
    {"Command8", "59", "0"}, {"Command7", "0", "59"},
    {"Command18", "59", "0"}, {"Command16", "0", "59"},
    // out of range from a stored record: tested in the button's direction only
    {"Command1", "120", "0"}, {"Command2", "120", "119"},
    {"Command6", "120", "121"}, {"Command5", "200", "199"},
    {"Command1", "-3", "-2"}, {"Command2", "-3", "89"},
    {"Command18", "-3", "-2"}, {"Command16", "-3", "59"},
    // rounding half to even before the step; no number reads as 0
    {"Command1", "2.5", "3"}, {"Command1", "3.5", "5"},
    {"Command1", "abc", "1"}, {"Command2", "", "89"},
    // the ends of the 16-bit range; a text beyond it is left as it is
    {"Command1", "32767", "0"}, {"Command2", "32767", "32766"},
    {"Command1", "-32768", "-32767"}, {"Command2", "-32768", "89"},
    {"Command2", "32768", "="}, {"Command1", "-32769", "="},
    {"Command8", std::string(400, '9'), "="},
};

TEST(StepButtons, EveryButtonThroughTheTable) {
    for (const Row& row : rows) {
        const std::string where = std::string(row.button) + " on \"" + row.start + "\"";
        const Field* fd = nullptr;
        for (const Field& c : fields) {
            if (row.button == c.plus || row.button == c.minus) fd = &c;
        }
        ASSERT_NE(fd, nullptr) << where;
        Rig rig;
        Form1& f = rig.form;
        f.mezzo_attuale = 13;  // only the current vehicle moves
        TextBox& box = f.*fd->box;
        box.set_text(row.start);
        auto table = f.mezzi;
        const bool moves = std::string(row.expected) != "=";
        if (moves) table[13].*fd->field = static_cast<std::int16_t>(std::stoi(row.expected));
        std::int16_t at_change = 0;
        auto change = box.on_change;
        box.on_change = [&] { at_change = f.mezzi[13].*fd->field; change(); };
        auto* button = dynamic_cast<CommandButton*>(f.find(row.button));
        ASSERT_NE(button, nullptr) << where;
        button->click();
        EXPECT_EQ(box.text(), moves ? row.expected : row.start) << where;
        EXPECT_EQ(f.mezzi, table) << where;
        if (moves) {
            EXPECT_EQ(at_change, table[13].*fd->field) << where << ": record before box";
        }
    }
}

}  // namespace
}  // namespace vadrel
