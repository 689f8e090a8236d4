#include <gtest/gtest.h>

#include "model/controls.h"

namespace vadrel {
namespace {

TEST(TextBox, TypedCharacterGoesAtTheCaretOverTheSelection) {
    const struct {
        const char* name;
        std::string start;
        std::size_t sel_start, sel_length;
        char32_t key;
        std::string after;
        std::size_t caret;
    } rows[] = {
        {"backspace at end", "12", 2, 0, keys::backspace, "1", 1},
        {"backspace at start", "12", 0, 0, keys::backspace, "12", 0},
        {"backspace over a two-byte character", "1\xC3\xA8", 3, 0, keys::backspace, "1", 1},
        {"insert a non-ASCII character", "1", 1, 0, U'\u00E8', "1\xC3\xA8", 3},
    };
    for (const auto& row : rows) {
        TextBox box("t", "Form1", row.start, false, {});
        int changes = 0;
        box.on_change = [&] { ++changes; };
        box.set_selection(row.sel_start, row.sel_length);
        EXPECT_EQ(box.text_after_key(row.key), row.after) << row.name;
        EXPECT_TRUE(box.key_press(row.key)) << row.name;
        EXPECT_EQ(box.text(), row.after) << row.name;
        EXPECT_EQ(box.selection_start(), row.caret) << row.name;
        EXPECT_EQ(changes, row.after == row.start ? 0 : 1) << row.name;
    }
}

TEST(OptionButton, SelectingClearsTheFrameThenClicks) {
    OptionButton a("a", "F", "A", true, {}), b("b", "F", "B", false, {});
    a.set_group({&a, &b});
    b.set_group({&a, &b});
    bool a_at_click = true;
    int clicks = 0;
    b.on_click = [&] {
        a_at_click = a.selected();
        ++clicks;
    };
    b.select();
    EXPECT_FALSE(a.selected());
    EXPECT_FALSE(a_at_click);
    b.select();
    EXPECT_EQ(clicks, 1);
}

TEST(PictureBox, CountsEveryLineBreakAndShowsNulReadably) {
    PictureBox p("p", "Form1", {0, 0, 100, 3045});
    p.print("uno");
    p.print(std::string("\r\n\0\0$A\r\nB\nC\rD", 13));
    EXPECT_EQ(p.current_y(), 6 * PictureBox::line_height);
    EXPECT_EQ(p.lines(), (std::vector<std::string>{"uno", "", "\xE2\x90\x80\xE2\x90\x80$A", "B", "C", "D"}));
    p.clear();
    EXPECT_EQ(p.current_y(), 0);
}

}  // namespace
}  // namespace vadrel
