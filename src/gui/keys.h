#pragma once
// The key codes the panel's key down and key up handlers receive, from Qt's
// key numbers; the keys the program's other windows share.

class QWidget;

namespace vadrel::gui {

// The code of a Qt::Key: letters are their upper-case ASCII code, digits their
// ASCII code, then the usual virtual-key numbers (backspace 8, tab 9, enter
// 13, shift 16, space 32, arrows 37..40, delete 46, F1 112...). `keypad` is
// true when the key came from the numeric keypad. Keys with no code give 0.
int key_code(int qt_key, bool keypad = false);

// Escape anywhere in the window closes it.
void close_on_escape(QWidget& window);

}  // namespace vadrel::gui
