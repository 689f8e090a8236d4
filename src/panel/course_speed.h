#pragma once
// Course and speed of the current vehicle: the key filters of the two boxes,
// the course box that puts back its former text when the course leaves 0 to
// 360, and the unit buttons. Every change is one change of the fleet.

#include <optional>
#include <string>

#include "panel/panel_form.h"

namespace vadrel {

// Key filter for signed whole numbers: backspace and the digits pass; a
// minus only into an empty box (the whole text counts, not the caret or a
// selection); anything else is refused.
bool signed_whole_key(const std::string& text, char32_t key);
// Key filter for non-negative whole numbers: backspace and the digits only.
bool whole_key(const std::string& text, char32_t key);

// What the course or speed box says: its leading number rounded half to
// even, nothing when that does not fit the 16 bits a record holds.
std::optional<std::int16_t> box_number(const TextBox& box);

void course_key_down(PanelForm& form);
// Returns false to refuse the character: the filter's refusal, or a number
// the record could not hold.
bool course_key_press(PanelForm& form, char32_t character);
void course_changed(PanelForm& form);
void course_key_up(PanelForm& form);

bool speed_key_press(PanelForm& form, char32_t character);
void speed_changed(PanelForm& form);

void unit_clicked(PanelForm& form, SpeedUnit unit);

}  // namespace vadrel
