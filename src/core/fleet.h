#pragma once
// The vehicle table and the panel: loading a record into the panel, storing
// the panel into the record, and the two vehicle buttons of multi-user mode.

#include "model/form1.h"

namespace vadrel {

// Loads mezzi(mezzo_attuale) into the panel; the boxes' own change handling
// writes the loaded values back, repairing a hemisphere other than N/S, E/W.
void cambia_veicolo(Form1& form);
// Stores the panel into mezzi(mezzo_attuale); the seconds are left to the
// seconds boxes' change handling.
void aggiorna_veicolo(Form1& form);
// "-": previous vehicle, only while stopped and in multi-user mode.
void Command10_Click(Form1& form);
// "+": next vehicle, only while stopped and in multi-user mode.
void Command11_Click(Form1& form);

}  // namespace vadrel
