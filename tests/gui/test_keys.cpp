// Qt key numbers to the codes the panel's key down and key up receive.
#include <gtest/gtest.h>

#include <Qt>

#include "gui/keys.h"

namespace vadrel::gui {
namespace {

struct Row {
    const char* name;
    int qt_key;
    bool keypad;
    int code;
};

TEST(CodiceTasto, GivesThePanelsCodes) {
    const Row rows[] = {
        {"letter N", Qt::Key_N, false, 'N'},
        {"letter S", Qt::Key_S, false, 83},
        {"letter A", Qt::Key_A, false, 65},
        {"letter Z", Qt::Key_Z, false, 90},
        {"digit 0", Qt::Key_0, false, 48},
        {"digit 9", Qt::Key_9, false, 57},
        {"backspace", Qt::Key_Backspace, false, 8},
        {"tab", Qt::Key_Tab, false, 9},
        {"shift tab", Qt::Key_Backtab, false, 9},
        {"return", Qt::Key_Return, false, 13},
        {"keypad enter", Qt::Key_Enter, true, 13},
        {"shift", Qt::Key_Shift, false, 16},
        {"escape", Qt::Key_Escape, false, 27},
        {"space", Qt::Key_Space, false, 32},
        {"left", Qt::Key_Left, false, 37},
        {"up", Qt::Key_Up, false, 38},
        {"right", Qt::Key_Right, false, 39},
        {"down", Qt::Key_Down, false, 40},
        {"delete", Qt::Key_Delete, false, 46},
        {"F1", Qt::Key_F1, false, 112},
        {"F12", Qt::Key_F12, false, 123},
        // Punctuation must not fall on the codes of other keys: "." is not
        // delete (46) and "-" is not insert (45).
        {"period", Qt::Key_Period, false, 190},
        {"comma", Qt::Key_Comma, false, 188},
        {"minus", Qt::Key_Minus, false, 189},
        {"keypad 0", Qt::Key_0, true, 96},
        {"keypad 7", Qt::Key_7, true, 103},
        {"keypad minus", Qt::Key_Minus, true, 109},
        {"keypad point", Qt::Key_Period, true, 110},
        {"keypad left", Qt::Key_Left, true, 37},
        {"no code: e grave", Qt::Key_Egrave, false, 0},
        {"no code: unknown", Qt::Key_unknown, false, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(codice_tasto(row.qt_key, row.keypad), row.code) << row.name;
    }
}

}  // namespace
}  // namespace vadrel::gui
