#pragma once
// The control types of the panel. They behave like the toolkit the panel was
// designed for: setting a different text runs the box's change handling before
// the setter returns, selecting an option button clears the others of its
// frame and then runs its click handling, and a box receives key down, key
// press (which a handler may refuse) and key up. The Qt window only mirrors
// these objects.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vadrel {

// Position and size in twips inside the container.
struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Geometry&) const = default;
};

struct Colour {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Colour&) const = default;

    // The two status colours of the 16-colour palette.
    static constexpr Colour green_status() { return {0, 128, 0}; }
    static constexpr Colour red_status() { return {128, 0, 0}; }
    static constexpr Colour black() { return {0, 0, 0}; }
};

enum class ControlKind {
    text_box,
    option_button,
    command_button,
    label,
    frame,
    picture_box,
    timer,
    serial_component,
    menu_entry,
};

struct Font {
    double points = 8.0;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

// Key codes as the window reports them on key down and key up: letters are
// their upper-case ASCII code, digits their ASCII code.
namespace keys {
constexpr int backspace = 8;
constexpr int tab = 9;
constexpr int enter = 13;
constexpr int shift = 16;
constexpr int space = 32;
constexpr int left = 37;
constexpr int right = 39;
constexpr int del = 46;
constexpr int f1 = 112;
constexpr int letter(char upper) { return upper; }
}  // namespace keys

class Control {
public:
    Control(std::string name, ControlKind kind, std::string container, Geometry geometry);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }
    // Name of the containing control; "Form1" for the top level.
    const std::string& container() const { return container_; }
    const Geometry& geometry() const { return geometry_; }
    const Font& font() const { return font_; }
    void set_font(Font font) { font_ = font; }

private:
    std::string name_;
    ControlKind kind_;
    std::string container_;
    Geometry geometry_;
    Font font_;
};

class TextBox : public Control {
public:
    TextBox(std::string name, std::string container, std::string text, bool locked, Geometry geometry);

    const std::string& text() const { return text_; }
    // Sets the text; a different text runs the change handling before returning.
    void set_text(std::string text);
    bool locked() const { return locked_; }

    // Caret and selection, in bytes of the UTF-8 text.
    std::size_t selection_start() const { return selection_start_; }
    std::size_t selection_length() const { return selection_length_; }
    void set_selection(std::size_t start, std::size_t length);

    // Keyboard, in the window's order: key down, key press, change, key up.
    void key_down(int key, bool shift = false);
    // The character typed (a Unicode code point, 8 for backspace). Returns true
    // when it was inserted: the handler accepted it and the box is not locked.
    bool key_press(char32_t character);
    void key_up(int key, bool shift = false);

    // The text a typed character would leave: inserted at the caret over the
    // selection, or for backspace the selection or the character before the
    // caret taken away.
    std::string text_after_key(char32_t character) const;

    // One full keystroke of a character key: key down, key press, key up.
    void type(int key, char32_t character, bool shift = false);

    std::function<void()> on_change;
    std::function<void(int key, bool shift)> on_key_down;
    // Returns false to refuse the character.
    std::function<bool(char32_t character)> on_key_press;
    std::function<void(int key, bool shift)> on_key_up;

private:
    std::string text_;
    bool locked_;
    std::size_t selection_start_;
    std::size_t selection_length_ = 0;
};

class OptionButton : public Control {
public:
    OptionButton(std::string name, std::string container, std::string caption, bool selected,
                 Geometry geometry);

    const std::string& caption() const { return caption_; }
    bool selected() const { return selected_; }
    // -1 while selected, 0 otherwise, as the record's flags hold it.
    std::int16_t value() const { return selected_ ? -1 : 0; }

    // Selecting clears the other buttons of the frame, then runs the click
    // handling. Selecting a button already selected changes nothing.
    void select();
    // Clearing runs no handling.
    void clear() { selected_ = false; }
    void set_selected(bool selected);

    std::function<void()> on_click;

    // Buttons of the same frame; filled by the form.
    void set_group(std::vector<OptionButton*> group) { group_ = std::move(group); }

private:
    std::string caption_;
    bool selected_;
    std::vector<OptionButton*> group_;
};

class CommandButton : public Control {
public:
    CommandButton(std::string name, std::string container, std::string caption, Geometry geometry);
    const std::string& caption() const { return caption_; }
    void click();
    std::function<void()> on_click;

private:
    std::string caption_;
};

class Label : public Control {
public:
    Label(std::string name, std::string container, std::string caption, Geometry geometry);
    const std::string& caption() const { return caption_; }
    void set_caption(std::string caption) { caption_ = std::move(caption); }
    const Colour& colour() const { return colour_; }
    void set_colour(Colour colour) { colour_ = colour; }
    bool visible() const { return visible_; }
    void set_visible(bool visible) { visible_ = visible; }

private:
    std::string caption_;
    Colour colour_ = Colour::black();
    bool visible_ = true;
};

class Frame : public Control {
public:
    Frame(std::string name, std::string container, std::string caption, Geometry geometry);
    const std::string& caption() const { return caption_; }

private:
    std::string caption_;
};

// A picture box; the monitor prints lines into it.
class PictureBox : public Control {
public:
    // Height of one printed line in twips: an 8-point font.
    static constexpr int line_height = 195;

    PictureBox(std::string name, std::string container, Geometry geometry);

    int height() const { return geometry().height; }
    // Vertical print position in twips.
    int current_y() const { return current_y_; }
    // Prints the text and a line break. Each CR LF, lone CR or lone LF inside
    // the text starts a new line too.
    void print(const std::string& text);
    void clear();
    // The lines shown, control characters made readable.
    const std::vector<std::string>& lines() const { return lines_; }

private:
    int current_y_ = 0;
    std::vector<std::string> lines_;
};

// Controls with no face at run time: the timer, the serial component.
class HiddenControl : public Control {
public:
    HiddenControl(std::string name, ControlKind kind, std::string container);
};

class MenuEntry : public Control {
public:
    MenuEntry(std::string name, std::string caption);
    const std::string& caption() const { return caption_; }
    void click();
    std::function<void()> on_click;

private:
    std::string caption_;
};

// How the monitor shows one printed text: lines split at line breaks, a NUL
// as the visible symbol for null, other C0 controls and DEL as ^X, the rest
// as printable (utf8.h) shows it.
std::vector<std::string> readable_lines(const std::string& text);

}  // namespace vadrel
