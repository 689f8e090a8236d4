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
    {&PanelForm::Command1, &PanelForm::txt_lat_g, +1, latitude_degrees_limit},
    {&PanelForm::Command2, &PanelForm::txt_lat_g, -1, latitude_degrees_limit},
    {&PanelForm::Command3, &PanelForm::txt_lat_p, +1, minutes_seconds_limit},
    {&PanelForm::Command4, &PanelForm::txt_lat_p, -1, minutes_seconds_limit},
    {&PanelForm::Command13, &PanelForm::txt_lat_s, +1, minutes_seconds_limit},
    {&PanelForm::Command12, &PanelForm::txt_lat_s, -1, minutes_seconds_limit},
    {&PanelForm::Command6, &PanelForm::txt_lon_g, +1, longitude_degrees_limit},
    {&PanelForm::Command5, &PanelForm::txt_lon_g, -1, longitude_degrees_limit},
    {&PanelForm::Command8, &PanelForm::txt_lon_p, +1, minutes_seconds_limit},
    {&PanelForm::Command7, &PanelForm::txt_lon_p, -1, minutes_seconds_limit},
    {&PanelForm::Command18, &PanelForm::txt_lon_s, +1, minutes_seconds_limit},
    {&PanelForm::Command16, &PanelForm::txt_lon_s, -1, minutes_seconds_limit},
}};

// One click. The box's text is read by the leading-number reading ("1,7775"
// reads as 1), stepped by one and tested once, in the button's direction
// only: "+" past the limit gives 0, "-" below 0 gives the limit, so a value
// already out of range just moves by one. A text that does not read as a
// 16-bit number is left as it is.
void step_clicked(PanelForm& form, const StepButton& step);

}  // namespace vadrel
