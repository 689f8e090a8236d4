#include "text_box_binding.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "gui/keys.h"

namespace vadrel::gui {

namespace {

std::size_t utf8_offset(const QString& text, int position) {
    return static_cast<std::size_t>(text.left(position).toUtf8().size());
}

// Copies the caret and selection of the widget into the box, in UTF-8 bytes.
void sync_selection(const QLineEdit& edit, TextBox& box) {
    const QString text = edit.text();
    if (text.toStdString() != box.text()) return;
    if (edit.hasSelectedText()) {
        const int start = edit.selectionStart();
        const int end = start + static_cast<int>(edit.selectedText().size());
        const std::size_t byte_start = utf8_offset(text, start);
        box.set_selection(byte_start, utf8_offset(text, end) - byte_start);
    } else {
        box.set_selection(utf8_offset(text, edit.cursorPosition()), 0);
    }
}

}  // namespace

int utf16_offset(const QString& text, std::size_t bytes) {
    const QByteArray utf8 = text.toUtf8();
    const auto end = static_cast<qsizetype>(std::min<std::size_t>(bytes, utf8.size()));
    return static_cast<int>(QString::fromUtf8(utf8.left(end)).size());
}

TextBoxBinding::TextBoxBinding(Forward forward, QObject* parent) : QObject(parent), forward_(std::move(forward)) {}

void TextBoxBinding::bind(TextBox& box, QLineEdit* edit) {
    boxes_[edit] = &box;
    edit->installEventFilter(this);
    // Editing the widget does on its own (delete key, paste, cut, undo, drop)
    // reaches the model as a new text, which runs the change handling.
    connect(edit, &QLineEdit::textEdited, this, [this, &box, edit](const QString& text) {
        forward_([&box, edit, &text] {
            box.set_text(text.toStdString());
            sync_selection(*edit, box);
        });
    });
    auto keep_selection = [&box, edit] { sync_selection(*edit, box); };
    connect(edit, &QLineEdit::cursorPositionChanged, this, keep_selection);
    connect(edit, &QLineEdit::selectionChanged, this, keep_selection);
}

bool TextBoxBinding::eventFilter(QObject* watched, QEvent* event) {
    const auto found = boxes_.find(watched);
    if (found == boxes_.end()) return QObject::eventFilter(watched, event);
    TextBox& box = *found->second;
    auto* edit = static_cast<QLineEdit*>(watched);
    switch (event->type()) {
        case QEvent::KeyPress:
            return key_pressed(box, edit, static_cast<const QKeyEvent&>(*event));
        case QEvent::KeyRelease:
            return key_released(box, edit, static_cast<const QKeyEvent&>(*event));
        case QEvent::InputMethod:
            return input_method(box, edit, static_cast<const QInputMethodEvent&>(*event));
        default:
            return false;
    }
}

bool TextBoxBinding::key_pressed(TextBox& box, QLineEdit* edit, const QKeyEvent& event) {
    const int key = event.key();
    const int code = key_code(key, (event.modifiers() & Qt::KeypadModifier) != 0);
    const bool shift = (event.modifiers() & Qt::ShiftModifier) != 0;

    // The characters the key types; backspace types code 8. Enter, escape and
    // control combinations type nothing into a one-line box.
    // (Control with Alt is AltGr on some systems, which does type.)
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool command = ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier)) ||
                         (modifiers & Qt::MetaModifier);
    std::u32string typed;
    if (key == Qt::Key_Backspace) {
        typed.push_back(static_cast<char32_t>(keys::backspace));
    } else if (!command) {
        for (const char32_t c : event.text().toUcs4()) {
            if (c >= 0x20 && c != 0x7F) typed.push_back(c);
        }
    }
    // Tab moves the focus before the box sees the key go down.
    const bool moves_focus = key == Qt::Key_Tab || key == Qt::Key_Backtab;

    forward_([&] {
        sync_selection(*edit, box);
        if (code != 0 && !moves_focus) box.key_down(code, shift);
        for (const char32_t c : typed) box.key_press(c);
    });
    // A typed character is the model's to insert or refuse; other keys
    // (arrows, delete, shortcuts) go on to the widget.
    return !typed.empty();
}

bool TextBoxBinding::key_released(TextBox& box, QLineEdit* edit, const QKeyEvent& event) {
    // A held key goes up once, when it is let go.
    if (event.isAutoRepeat()) return true;
    const int code = key_code(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0);
    const bool shift = (event.modifiers() & Qt::ShiftModifier) != 0;
    if (code != 0) {
        forward_([&] {
            sync_selection(*edit, box);
            box.key_up(code, shift);
        });
    }
    return false;
}

bool TextBoxBinding::input_method(TextBox& box, QLineEdit* edit, const QInputMethodEvent& event) {
    const QString committed = event.commitString();
    if (committed.isEmpty()) return false;
    forward_([&] {
        sync_selection(*edit, box);
        for (const char32_t c : committed.toUcs4()) box.key_press(c);
    });
    return true;
}

}  // namespace vadrel::gui
