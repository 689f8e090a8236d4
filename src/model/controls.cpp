#include "controls.h"

#include <algorithm>

#include "utf8.h"

namespace vadrel {

namespace {

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

Control::Control(std::string name, ControlKind kind, std::string container, Geometry geometry)
    : name_(std::move(name)), kind_(kind), container_(std::move(container)), geometry_(geometry) {}

TextBox::TextBox(std::string name, std::string container, std::string text, bool locked,
                 Geometry geometry)
    : Control(std::move(name), ControlKind::text_box, std::move(container), geometry),
      text_(std::move(text)),
      locked_(locked),
      selection_start_(text_.size()) {}

void TextBox::set_text(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    selection_start_ = std::min(selection_start_, text_.size());
    selection_length_ = std::min(selection_length_, text_.size() - selection_start_);
    if (on_change) on_change();
}

void TextBox::set_selection(std::size_t start, std::size_t length) {
    selection_start_ = std::min(start, text_.size());
    selection_length_ = std::min(length, text_.size() - selection_start_);
}

void TextBox::key_down(int key, bool shift) {
    if (on_key_down) on_key_down(key, shift);
}

namespace {

// Where the caret ends after a key, with the text it leaves.
struct Edit {
    std::string text;
    std::size_t caret;
};

Edit edit_for_key(const std::string& original, std::size_t start, std::size_t length, char32_t character) {
    std::string text = original;
    if (character == keys::backspace) {
        if (length == 0) {
            if (start == 0) return {text, 0};
            std::size_t previous = start - 1;
            while (previous > 0 && is_continuation(text[previous])) --previous;
            length = start - previous;
            start = previous;
        }
        text.erase(start, length);
        return {text, start};
    }
    const std::string inserted = utf8(character);
    text.replace(start, length, inserted);
    return {text, start + inserted.size()};
}

}  // namespace

std::string TextBox::text_after_key(char32_t character) const {
    return edit_for_key(text_, selection_start_, selection_length_, character).text;
}

bool TextBox::key_press(char32_t character) {
    if (on_key_press && !on_key_press(character)) return false;
    if (locked_) return false;
    Edit edit = edit_for_key(text_, selection_start_, selection_length_, character);
    selection_start_ = edit.caret;
    selection_length_ = 0;
    set_text(std::move(edit.text));
    selection_start_ = std::min(edit.caret, text_.size());
    selection_length_ = 0;
    return true;
}

void TextBox::key_up(int key, bool shift) {
    if (on_key_up) on_key_up(key, shift);
}

void TextBox::type(int key, char32_t character, bool shift) {
    key_down(key, shift);
    key_press(character);
    key_up(key, shift);
}

OptionButton::OptionButton(std::string name, std::string container, std::string caption,
                           bool selected, Geometry geometry)
    : Control(std::move(name), ControlKind::option_button, std::move(container), geometry),
      caption_(std::move(caption)),
      selected_(selected) {}

void OptionButton::select() {
    if (selected_) return;
    for (OptionButton* other : group_) {
        if (other != this) other->selected_ = false;
    }
    selected_ = true;
    if (on_click) on_click();
}

void OptionButton::set_selected(bool selected) {
    if (selected) {
        select();
    } else {
        clear();
    }
}

CommandButton::CommandButton(std::string name, std::string container, std::string caption,
                             Geometry geometry)
    : Control(std::move(name), ControlKind::command_button, std::move(container), geometry),
      caption_(std::move(caption)) {}

void CommandButton::click() {
    if (on_click) on_click();
}

Label::Label(std::string name, std::string container, std::string caption, Geometry geometry)
    : Control(std::move(name), ControlKind::label, std::move(container), geometry),
      caption_(std::move(caption)) {}

Frame::Frame(std::string name, std::string container, std::string caption, Geometry geometry)
    : Control(std::move(name), ControlKind::frame, std::move(container), geometry),
      caption_(std::move(caption)) {}

PictureBox::PictureBox(std::string name, std::string container, Geometry geometry)
    : Control(std::move(name), ControlKind::picture_box, std::move(container), geometry) {}

void PictureBox::print(const std::string& text) {
    const std::vector<std::string> shown = readable_lines(text);
    lines_.insert(lines_.end(), shown.begin(), shown.end());
    current_y_ += line_height * static_cast<int>(shown.size());
}

void PictureBox::clear() {
    lines_.clear();
    current_y_ = 0;
}

HiddenControl::HiddenControl(std::string name, ControlKind kind, std::string container)
    : Control(std::move(name), kind, std::move(container), Geometry{}) {}

MenuEntry::MenuEntry(std::string name, std::string caption)
    : Control(std::move(name), ControlKind::menu_entry, "Form1", Geometry{}),
      caption_(std::move(caption)) {}

void MenuEntry::click() {
    if (on_click) on_click();
}

std::vector<std::string> readable_lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else if (c == '\n') {
            lines.emplace_back();
        } else if (c == '\0') {
            lines.back() += "\xE2\x90\x80";  // U+2400 SYMBOL FOR NULL
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            lines.back() += '^';
            lines.back() += static_cast<char>(c ^ 0x40);
        } else {
            lines.back() += c;
        }
    }
    // What is left to steer a terminal or a window: C1 controls, bytes that
    // are not UTF-8 (a log replayed, a name given by a client).
    for (std::string& line : lines) line = printable(line);
    return lines;
}

}  // namespace vadrel
