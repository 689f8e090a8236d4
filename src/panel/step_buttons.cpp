#include "step_buttons.h"

#include <optional>

#include "model/numbers.h"

namespace vadrel {

namespace {

enum class Verso { su, giu };

// One click. The box's text is read by the leading-number reading ("1,7775"
// reads as 1), stepped by one and tested once, in the button's direction only:
// "+" past the limit gives 0, "-" below 0 gives the limit, so a value already
// out of range just moves by one ("+" on 32767 gives 0, "-" on -32768 the
// limit, so the result always fits 16 bits). A text that does not read as a
// 16-bit number leaves box and record as they were. The record is written
// before the box, whose change handling then stores the same value again.
void passo(Form1& form, TextBox& box, std::int16_t veicolo::*campo, Verso verso, int limite) {
    const std::optional<std::int16_t> letto = int16_from_text(box.text(), NumberReading::leading());
    if (!letto) return;
    int valore = *letto;
    if (verso == Verso::su) {
        valore += 1;
        if (valore > limite) valore = 0;
    } else {
        valore -= 1;
        if (valore < 0) valore = limite;
    }
    const auto risultato = static_cast<std::int16_t>(valore);
    form.veicolo_attuale().*campo = risultato;
    box.set_text(int_text(risultato));
}

}  // namespace

void Command1_Click(Form1& f) { passo(f, f.txt_lat_g, &veicolo::lat_g, Verso::su, limite_gradi_lat); }
void Command2_Click(Form1& f) { passo(f, f.txt_lat_g, &veicolo::lat_g, Verso::giu, limite_gradi_lat); }
void Command3_Click(Form1& f) { passo(f, f.txt_lat_p, &veicolo::lat_p, Verso::su, limite_primi_secondi); }
void Command4_Click(Form1& f) { passo(f, f.txt_lat_p, &veicolo::lat_p, Verso::giu, limite_primi_secondi); }
void Command13_Click(Form1& f) { passo(f, f.txt_lat_s, &veicolo::lat_s, Verso::su, limite_primi_secondi); }
void Command12_Click(Form1& f) { passo(f, f.txt_lat_s, &veicolo::lat_s, Verso::giu, limite_primi_secondi); }

void Command6_Click(Form1& f) { passo(f, f.txt_lon_g, &veicolo::lon_g, Verso::su, limite_gradi_lon); }
void Command5_Click(Form1& f) { passo(f, f.txt_lon_g, &veicolo::lon_g, Verso::giu, limite_gradi_lon); }
void Command8_Click(Form1& f) { passo(f, f.txt_lon_p, &veicolo::lon_p, Verso::su, limite_primi_secondi); }
void Command7_Click(Form1& f) { passo(f, f.txt_lon_p, &veicolo::lon_p, Verso::giu, limite_primi_secondi); }
void Command18_Click(Form1& f) { passo(f, f.txt_lon_s, &veicolo::lon_s, Verso::su, limite_primi_secondi); }
void Command16_Click(Form1& f) { passo(f, f.txt_lon_s, &veicolo::lon_s, Verso::giu, limite_primi_secondi); }

}  // namespace vadrel
