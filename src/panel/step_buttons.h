#pragma once
// The twelve "+" and "-" buttons beside the numeric position boxes, as one
// table. A click moves its box's number by one, wrapping at the ends of the
// field's range in the button's direction, with no carry into the
// neighbouring field and no change of hemisphere; the box's change then
// moves the vehicle there (panel/position.h).

#include <array>

#include "panel/form1.h"

namespace vadrel {

// Upper ends of the position fields; every field starts at 0.
inline constexpr int latitude_degrees_limit = 89;
inline constexpr int longitude_degrees_limit = 179;
inline constexpr int minutes_seconds_limit = 59;

struct StepButton {
    CommandButton Form1::*button;
    TextBox Form1::*box;
    int direction;  // +1 or -1
    int limit;
};

inline constexpr std::array<StepButton, 12> step_buttons{{
    {&Form1::Command1, &Form1::txt_lat_g, +1, latitude_degrees_limit},
    {&Form1::Command2, &Form1::txt_lat_g, -1, latitude_degrees_limit},
    {&Form1::Command3, &Form1::txt_lat_p, +1, minutes_seconds_limit},
    {&Form1::Command4, &Form1::txt_lat_p, -1, minutes_seconds_limit},
    {&Form1::Command13, &Form1::txt_lat_s, +1, minutes_seconds_limit},
    {&Form1::Command12, &Form1::txt_lat_s, -1, minutes_seconds_limit},
    {&Form1::Command6, &Form1::txt_lon_g, +1, longitude_degrees_limit},
    {&Form1::Command5, &Form1::txt_lon_g, -1, longitude_degrees_limit},
    {&Form1::Command8, &Form1::txt_lon_p, +1, minutes_seconds_limit},
    {&Form1::Command7, &Form1::txt_lon_p, -1, minutes_seconds_limit},
    {&Form1::Command18, &Form1::txt_lon_s, +1, minutes_seconds_limit},
    {&Form1::Command16, &Form1::txt_lon_s, -1, minutes_seconds_limit},
}};

// One click. The box's text is read by the leading-number reading ("1,7775"
// reads as 1), stepped by one and tested once, in the button's direction
// only: "+" past the limit gives 0, "-" below 0 gives the limit, so a value
// already out of range just moves by one. A text that does not read as a
// 16-bit number is left as it is.
void step_clicked(Form1& form, const StepButton& step);

}  // namespace vadrel
