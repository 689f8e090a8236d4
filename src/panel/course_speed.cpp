#include "course_speed.h"

#include "panel/view.h"

namespace vadrel {

namespace {

constexpr char32_t backspace_code = 8;
constexpr char32_t minus_code = 45;

bool is_digit_code(char32_t key) { return key >= U'0' && key <= U'9'; }

// The filter decides first; a key it lets through is still refused when the
// number it would make does not fit the record.
bool accept_key(const TextBox& box, char32_t character, bool filter_accepts) {
    return filter_accepts && int16_from_text(box.text_after_key(character), NumberReading::leading()).has_value();
}

}  // namespace

bool signed_whole_key(const std::string& text, char32_t key) {
    if (key == minus_code) return text.empty();
    return key == backspace_code || is_digit_code(key);
}

bool whole_key(const std::string& /*text*/, char32_t key) { return key == backspace_code || is_digit_code(key); }

std::optional<std::int16_t> box_number(const TextBox& box) {
    return int16_from_text(box.text(), NumberReading::leading());
}

void course_key_down(PanelForm& form) {
    form.course_saved = form.course_box.text();
    form.course_key_down = true;
}

bool course_key_press(PanelForm& form, char32_t character) {
    return accept_key(form.course_box, character, whole_key(form.course_box.text(), character));
}

// A course the fleet refuses (past 360) leaves the vehicle's: the key's
// release puts the text back.
void course_changed(PanelForm& form) {
    if (form.drawing) return;
    if (const auto course = box_number(form.course_box)) form.fleet.set_course(form.fleet.current(), *course, &form);
}

// Whatever key was released: a course below 0 or above 360 puts back the text
// the box had when the last key went down. 0 and 360 stand. A release with
// no key down in the box before it (the key that moved the focus here) has
// no text to put back. A text that still is no course the vehicle can take
// (a held key saved one past 360, a paste) gives way to the vehicle's.
void course_key_up(PanelForm& form) {
    if (!form.course_key_down) return;
    form.course_key_down = false;
    TextBox& box = form.course_box;
    if (leading_number(box.text()) < 0) box.set_text(form.course_saved);
    if (leading_number(box.text()) > Fleet::course_limit) box.set_text(form.course_saved);
    draw_course(form, false);
}

bool speed_key_press(PanelForm& form, char32_t character) {
    return accept_key(form.speed_box, character, signed_whole_key(form.speed_box.text(), character));
}

void speed_changed(PanelForm& form) {
    if (form.drawing) return;
    if (const auto speed = box_number(form.speed_box)) form.fleet.set_speed(form.fleet.current(), *speed, &form);
}

void unit_clicked(PanelForm& form, SpeedUnit unit) {
    if (!form.drawing) form.fleet.set_unit(form.fleet.current(), unit, &form);
}

}  // namespace vadrel
