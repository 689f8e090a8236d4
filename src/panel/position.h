#pragma once
// The eight position boxes keep the current vehicle's record in step: every
// change of a box is stored at once into mezzi(mezzo_attuale). The hemisphere
// boxes answer the N/S and E/W keys.

#include "model/form1.h"

namespace vadrel {

void txt_lat_g_Change(Form1& form);
void txt_lat_p_Change(Form1& form);
void txt_lat_s_Change(Form1& form);
void txt_lat_ns_Change(Form1& form);
void txt_lon_g_Change(Form1& form);
void txt_lon_p_Change(Form1& form);
void txt_lon_s_Change(Form1& form);
void txt_lon_ew_Change(Form1& form);

void txt_lat_ns_KeyDown(Form1& form, int key, bool shift);
void txt_lat_ns_KeyUp(Form1& form, int key, bool shift);
void txt_lon_ew_KeyDown(Form1& form, int key, bool shift);
void txt_lon_ew_KeyUp(Form1& form, int key, bool shift);

}  // namespace vadrel
