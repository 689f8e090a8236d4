#include "keys.h"

#include <QAction>
#include <QWidget>
#include <Qt>

#include "model/controls.h"

namespace vadrel::gui {

int key_code(int qt_key, bool keypad) {
    if (keypad) {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return 96 + (qt_key - Qt::Key_0);
        switch (qt_key) {
            case Qt::Key_Asterisk: return 106;
            case Qt::Key_Plus: return 107;
            case Qt::Key_Minus: return 109;
            case Qt::Key_Period:
            case Qt::Key_Comma: return 110;
            case Qt::Key_Slash: return 111;
            default: break;  // the keypad's arrows, enter... as on the main block
        }
    }
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return keys::letter(static_cast<char>(qt_key));
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return qt_key;
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return keys::f1 + (qt_key - Qt::Key_F1);
    switch (qt_key) {
        case Qt::Key_Backspace: return keys::backspace;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return keys::tab;
        case Qt::Key_Return:
        case Qt::Key_Enter: return keys::enter;
        case Qt::Key_Shift: return keys::shift;
        case Qt::Key_Control: return 17;
        case Qt::Key_Alt: return 18;
        case Qt::Key_Pause: return 19;
        case Qt::Key_CapsLock: return 20;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return keys::space;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return keys::left;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return keys::right;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return keys::del;
        case Qt::Key_NumLock: return 144;
        case Qt::Key_ScrollLock: return 145;
        // The punctuation keys of the main block, by the key cap they share.
        case Qt::Key_Semicolon:
        case Qt::Key_Colon: return 186;
        case Qt::Key_Plus:
        case Qt::Key_Equal: return 187;
        case Qt::Key_Comma:
        case Qt::Key_Less: return 188;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: return 189;
        case Qt::Key_Period:
        case Qt::Key_Greater: return 190;
        case Qt::Key_Slash:
        case Qt::Key_Question: return 191;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde: return 192;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft: return 219;
        case Qt::Key_Backslash:
        case Qt::Key_Bar: return 220;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight: return 221;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl: return 222;
        default: return 0;
    }
}

void close_on_escape(QWidget& window) {
    auto* key = new QAction(&window);
    key->setShortcut(Qt::Key_Escape);
    QObject::connect(key, &QAction::triggered, &window, &QWidget::close);
    window.addAction(key);
}

}  // namespace vadrel::gui
