#include <gtest/gtest.h>

#include <vector>

#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

TEST(PositionBoxes, EveryChangeIsStoredIntoTheCurrentRecord) {
    const struct {
        const char* box;
        const char* text;
        std::int16_t veicolo::*field;
        int stored;
    } rows[] = {
        {"txt_lat_g", "120", &veicolo::lat_g, 120},
        {"txt_lat_p", "1,7775", &veicolo::lat_p, 2},
        {"txt_lon_g", " 10 ", &veicolo::lon_g, 10},
        {"txt_lon_p", "8,0623", &veicolo::lon_p, 8},
        {"txt_lon_s", "-3", &veicolo::lon_s, -3},
        {"txt_lat_s", "2,5", &veicolo::lat_s, 2},
        // texts that cannot be read keep the record's value (7)
        {"txt_lat_g", "abc", &veicolo::lat_g, 7},
        {"txt_lat_p", "", &veicolo::lat_p, 7},
        {"txt_lon_s", "40000", &veicolo::lon_s, 7},
        {"txt_lon_g", "1.5", &veicolo::lon_g, 15},  // "." groups digits in Italian
    };
    for (const auto& r : rows) {
        Rig rig;
        rig.form.mezzo_attuale = 4;
        rig.form.mezzi[4].*r.field = 7;
        auto* box = dynamic_cast<TextBox*>(rig.form.find(r.box));
        ASSERT_NE(box, nullptr);
        box->set_text(r.text);
        EXPECT_EQ(rig.form.mezzi[4].*r.field, r.stored) << r.box << " " << r.text;
        EXPECT_EQ(box->text(), r.text) << "the box keeps its text";
    }
}

// The letter the keys leave in a hemisphere box and its record. A key typed
// ('t'; 'T' with Shift), or held Shift's keys going down ('d') and up ('u')
// in either order.
TEST(HemisphereKeys, TheKeyDecides) {
    const struct {
        const char* name;
        bool latitude;
        const char* before;
        std::vector<std::pair<char, int>> keys;
        const char* after;
    } rows[] = {
        {"N turns S to N", true, "S", {{'t', 'N'}}, "N"},
        {"shifted n too", true, "S", {{'T', 'N'}}, "N"},
        {"S", true, "N", {{'t', 'S'}}, "S"},
        {"E", false, "W", {{'t', 'E'}}, "E"},
        {"W", false, "E", {{'t', 'W'}}, "W"},
        {"a digit keeps S", true, "S", {{'t', '5'}}, "S"},
        {"delete keeps W", false, "W", {{'t', keys::del}}, "W"},
        {"backspace keeps N", true, "N", {{'t', keys::backspace}}, "N"},
        {"E in the latitude box keeps N", true, "N", {{'t', 'E'}}, "N"},
        {"N in the longitude box keeps W", false, "W", {{'t', 'N'}}, "W"},
        {"Shift released first", true, "N", {{'d', keys::shift}, {'d', 'S'}, {'u', keys::shift}, {'u', 'S'}}, "S"},
        {"the letter released first", true, "N", {{'d', keys::shift}, {'d', 'S'}, {'u', 'S'}, {'u', keys::shift}},
         "S"},
        {"W with Shift released first", false, "E", {{'d', keys::shift}, {'d', 'W'}, {'u', keys::shift}, {'u', 'W'}},
         "W"},
        {"Shift alone keeps the letter", false, "W", {{'d', keys::shift}, {'u', keys::shift}}, "W"},
    };
    for (const auto& r : rows) {
        Rig rig;
        TextBox& box = r.latitude ? rig.form.txt_lat_ns : rig.form.txt_lon_ew;
        box.set_text(r.before);
        (r.latitude ? rig.form.mezzi[0].lat_ns : rig.form.mezzi[0].lon_ew) = r.before;
        for (const auto& [how, key] : r.keys) {
            if (how == 'd') {
                box.key_down(key, true);
            } else if (how == 'u') {
                box.key_up(key, true);
            } else {
                box.type(key, static_cast<char32_t>(key), how == 'T');
            }
        }
        EXPECT_EQ(box.text(), r.after) << r.name;
        EXPECT_EQ(r.latitude ? rig.form.mezzi[0].lat_ns : rig.form.mezzi[0].lon_ew, r.after) << r.name;
    }
}

TEST(HemisphereKeys, AKeyUpWithNoKeyDownSinceTheBoxChangedKeepsWhatItShows) {
    Rig rig;
    rig.form.txt_lat_ns.set_text("S");
    rig.form.txt_lat_ns.key_up(keys::tab);  // the release of the key that brought the focus
    rig.form.txt_lon_ew.key_down(keys::shift, true);  // saves "E"
    rig.form.txt_lon_ew.set_text("W");                // a tick loads another vehicle
    rig.form.txt_lon_ew.key_up(keys::shift, true);
    EXPECT_EQ(rig.form.txt_lat_ns.text() + rig.form.mezzi[0].lat_ns, "SS");
    EXPECT_EQ(rig.form.txt_lon_ew.text() + rig.form.mezzi[0].lon_ew, "WW");
}

TEST(HemisphereKeys, LockedBoxesNeverTakeTypedCharacters) {
    Rig rig;
    for (TextBox* box : {&rig.form.txt_lat_g, &rig.form.txt_lat_p, &rig.form.txt_lat_s, &rig.form.txt_lat_ns,
                         &rig.form.txt_lon_g, &rig.form.txt_lon_p, &rig.form.txt_lon_s, &rig.form.txt_lon_ew,
                         &rig.form.txt_mezzo_attuale}) {
        const std::string before = box->text();
        EXPECT_FALSE(box->key_press('7')) << box->name();
        EXPECT_FALSE(box->key_press(keys::backspace)) << box->name();
        EXPECT_EQ(box->text(), before) << box->name();
    }
}

}  // namespace
}  // namespace vadrel
