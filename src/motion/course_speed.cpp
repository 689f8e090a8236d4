#include "course_speed.h"

#include "model/numbers.h"

namespace vadrel {

namespace {

constexpr char32_t codice_backspace = 8;
constexpr char32_t codice_meno = 45;
constexpr double limite_rotta = 360.0;

bool is_digit_code(char32_t key) { return key >= U'0' && key <= U'9'; }

// Whether the record's 16-bit field can hold what the text reads as.
bool fits_record(const std::string& text) {
    return int16_from_text(text, NumberReading::leading()).has_value();
}

// A text beyond 16 bits (only a box the keys cannot fill holds one) leaves
// the field as it was.
void store(const TextBox& box, std::int16_t& field) {
    field = int16_from_text(box.text(), NumberReading::leading()).value_or(field);
}

// The filter decides first; a key it lets through is still refused when the
// number it would make does not fit the record, so box and record agree.
bool accept_key(const TextBox& box, char32_t character, bool filter_accepts) {
    return filter_accepts && fits_record(box.text_after_key(character));
}

}  // namespace

std::int16_t controlla_input_intero(const std::string& testo, char32_t Key) {
    if (Key == codice_backspace) return 1;
    if (Key == codice_meno) return testo.empty() ? 1 : 0;
    if (is_digit_code(Key)) return 1;
    return 0;
}

std::int16_t controlla_input_intero_positivo(const std::string& /*testo*/, char32_t Key) {
    if (Key == codice_backspace) return 1;
    if (is_digit_code(Key)) return 1;
    return 0;
}

void txt_angolo_KeyDown(Form1& form, int /*key*/, bool /*shift*/) {
    form.angolo_salvato = form.txt_angolo.text();
    form.angolo_tasto_giu = true;
}

bool txt_angolo_KeyPress(Form1& form, char32_t character) {
    const bool filtro = controlla_input_intero_positivo(form.txt_angolo.text(), character) != 0;
    return accept_key(form.txt_angolo, character, filtro);
}

void txt_angolo_Change(Form1& form) { store(form.txt_angolo, form.veicolo_attuale().angolo); }

// Whatever key was released: a course below 0 or above 360 puts back the text
// the box had when the last key went down. 0 and 360 stand. A release with
// no key down in the box before it (the key that moved the focus here) has
// no text to put back and leaves the box as it is.
void txt_angolo_KeyUp(Form1& form, int /*key*/, bool /*shift*/) {
    if (!form.angolo_tasto_giu) return;
    form.angolo_tasto_giu = false;
    if (leading_number(form.txt_angolo.text()) < 0) form.txt_angolo.set_text(form.angolo_salvato);
    if (leading_number(form.txt_angolo.text()) > limite_rotta) {
        form.txt_angolo.set_text(form.angolo_salvato);
    }
}

bool txt_vel_KeyPress(Form1& form, char32_t character) {
    const bool filtro = controlla_input_intero(form.txt_vel.text(), character) != 0;
    return accept_key(form.txt_vel, character, filtro);
}

void txt_vel_Change(Form1& form) { store(form.txt_vel, form.veicolo_attuale().vel); }

void opt_km_Click(Form1& form) {
    veicolo& v = form.veicolo_attuale();
    v.km = form.opt_km.value();
    v.miglia = form.opt_miglia.value();
}

void opt_miglia_Click(Form1& form) {
    veicolo& v = form.veicolo_attuale();
    v.miglia = form.opt_miglia.value();
    v.km = form.opt_km.value();
}

}  // namespace vadrel
