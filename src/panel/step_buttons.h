#pragma once
// The twelve "+" and "-" buttons beside the numeric position boxes. A click
// moves one field of the current vehicle's position by one, wrapping at the
// ends of the field's range in the button's direction, and writes the result
// into mezzi(mezzo_attuale) and then into the box. There is no carry into the
// neighbouring field and no change of hemisphere.

#include "model/form1.h"

namespace vadrel {

// Upper ends of the position fields; every field starts at 0.
inline constexpr int limite_gradi_lat = 89;
inline constexpr int limite_gradi_lon = 179;
inline constexpr int limite_primi_secondi = 59;

// Latitude: degrees, minutes, seconds.
void Command1_Click(Form1& form);   // txt_lat_g +
void Command2_Click(Form1& form);   // txt_lat_g -
void Command3_Click(Form1& form);   // txt_lat_p +
void Command4_Click(Form1& form);   // txt_lat_p -
void Command13_Click(Form1& form);  // txt_lat_s +
void Command12_Click(Form1& form);  // txt_lat_s -

// Longitude: degrees, minutes, seconds.
void Command6_Click(Form1& form);   // txt_lon_g +
void Command5_Click(Form1& form);   // txt_lon_g -
void Command8_Click(Form1& form);   // txt_lon_p +
void Command7_Click(Form1& form);   // txt_lon_p -
void Command18_Click(Form1& form);  // txt_lon_s +
void Command16_Click(Form1& form);  // txt_lon_s -

}  // namespace vadrel
