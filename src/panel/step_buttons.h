#pragma once
// The twelve "+" and "-" buttons beside the numeric position boxes, as one
// table. A click moves its box's number by one, wrapping at the ends of the
// field's range in the button's direction, with no carry into the
// neighbouring field and no change of hemisphere; the box's change then
// moves the vehicle there (panel/position.h).

#include <array>

#include "panel/panel_form.h"

namespace vadrel {

// Upper ends of the position fields; every field starts at 0.
inline constexpr int latitude_degrees_limit = 89;
inline constexpr int longitude_degrees_limit = 179;
inline constexpr int minutes_seconds_limit = 59;

struct StepButton {
    CommandButton PanelForm::*button;
    TextBox PanelForm::*box;
    int direction;  // +1 or -1
    int limit;
};

inline constexpr std::array<StepButton, 12> step_buttons{{
    {&PanelForm::latitude_degrees_up_button, &PanelForm::latitude_degrees_box, +1, latitude_degrees_limit},
    {&PanelForm::latitude_degrees_down_button, &PanelForm::latitude_degrees_box, -1, latitude_degrees_limit},
    {&PanelForm::latitude_minutes_up_button, &PanelForm::latitude_minutes_box, +1, minutes_seconds_limit},
    {&PanelForm::latitude_minutes_down_button, &PanelForm::latitude_minutes_box, -1, minutes_seconds_limit},
    {&PanelForm::latitude_seconds_up_button, &PanelForm::latitude_seconds_box, +1, minutes_seconds_limit},
    {&PanelForm::latitude_seconds_down_button, &PanelForm::latitude_seconds_box, -1, minutes_seconds_limit},
    {&PanelForm::longitude_degrees_up_button, &PanelForm::longitude_degrees_box, +1, longitude_degrees_limit},
    {&PanelForm::longitude_degrees_down_button, &PanelForm::longitude_degrees_box, -1, longitude_degrees_limit},
    {&PanelForm::longitude_minutes_up_button, &PanelForm::longitude_minutes_box, +1, minutes_seconds_limit},
    {&PanelForm::longitude_minutes_down_button, &PanelForm::longitude_minutes_box, -1, minutes_seconds_limit},
    {&PanelForm::longitude_seconds_up_button, &PanelForm::longitude_seconds_box, +1, minutes_seconds_limit},
    {&PanelForm::longitude_seconds_down_button, &PanelForm::longitude_seconds_box, -1, minutes_seconds_limit},
}};

// One click. The box's text is read by the leading-number reading ("1,7775"
// reads as 1), stepped by one and tested once, in the button's direction
// only: "+" past the limit gives 0, "-" below 0 gives the limit, so a value
// already out of range just moves by one. A text that does not read as a
// 16-bit number is left as it is.
void step_clicked(PanelForm& form, const StepButton& step);

}  // namespace vadrel
