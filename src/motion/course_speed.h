#pragma once
// Course and speed of the current vehicle: the key filters of the two boxes,
// the course box that puts back its former text when the course leaves 0 to
// 360, and the unit buttons. Every change goes at once into
// mezzi(mezzo_attuale).

#include <cstdint>
#include <string>

#include "model/form1.h"

namespace vadrel {

// Key filter for signed whole numbers: 1 accepts, 0 refuses. Backspace and the
// digits pass; a minus only into an empty box (the whole text counts, not the
// caret or a selection); anything else is refused.
std::int16_t controlla_input_intero(const std::string& testo, char32_t Key);

// Key filter for non-negative whole numbers: backspace and the digits only.
std::int16_t controlla_input_intero_positivo(const std::string& testo, char32_t Key);

// Course box txt_angolo.
void txt_angolo_KeyDown(Form1& form, int key, bool shift);
// Returns false to refuse the character.
bool txt_angolo_KeyPress(Form1& form, char32_t character);
void txt_angolo_Change(Form1& form);
void txt_angolo_KeyUp(Form1& form, int key, bool shift);

// Speed box txt_vel.
bool txt_vel_KeyPress(Form1& form, char32_t character);
void txt_vel_Change(Form1& form);

// Unit buttons.
void opt_km_Click(Form1& form);
void opt_miglia_Click(Form1& form);

}  // namespace vadrel
