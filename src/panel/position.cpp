#include "position.h"

#include "model/numbers.h"

namespace vadrel {

namespace {

// The key decides, not the character: n and N both give "N". Another key
// puts back what the box showed when it went down. Only a key that went down
// in the box since its text last changed counts on release: the key that
// moved the focus here, or a key held while a tick loaded another vehicle,
// keeps what the box shows. Shift and the letter may be released in either
// order: each release is the release of its own key.
void hemisphere_key_up(TextBox& box, std::set<int>& tasti_giu, const std::string& salvato, int key,
                       char first, char second) {
    if (tasti_giu.erase(key) == 0) return;
    if (key == keys::letter(first)) {
        box.set_text(std::string(1, first));
    } else if (key == keys::letter(second)) {
        box.set_text(std::string(1, second));
    } else {
        box.set_text(salvato);
    }
}

// A text that is not a 16-bit number leaves the field as it was.
void store(Form1& form, const TextBox& box, std::int16_t veicolo::*field) {
    std::int16_t& stored = form.veicolo_attuale().*field;
    stored = int16_from_text(box.text(), NumberReading::regional_in(form.platform.format)).value_or(stored);
}

}  // namespace

void txt_lat_g_Change(Form1& form) { store(form, form.txt_lat_g, &veicolo::lat_g); }
void txt_lat_p_Change(Form1& form) { store(form, form.txt_lat_p, &veicolo::lat_p); }
void txt_lat_s_Change(Form1& form) { store(form, form.txt_lat_s, &veicolo::lat_s); }
void txt_lon_g_Change(Form1& form) { store(form, form.txt_lon_g, &veicolo::lon_g); }
void txt_lon_p_Change(Form1& form) { store(form, form.txt_lon_p, &veicolo::lon_p); }
void txt_lon_s_Change(Form1& form) { store(form, form.txt_lon_s, &veicolo::lon_s); }

void txt_lat_ns_Change(Form1& form) {
    form.veicolo_attuale().lat_ns = form.txt_lat_ns.text();
    form.lat_ns_tasti_giu.clear();
}

void txt_lon_ew_Change(Form1& form) {
    form.veicolo_attuale().lon_ew = form.txt_lon_ew.text();
    form.lon_ew_tasti_giu.clear();
}

void txt_lat_ns_KeyDown(Form1& form, int key, bool /*shift*/) {
    form.lat_ns_salvato = form.txt_lat_ns.text();
    form.lat_ns_tasti_giu.insert(key);
}

void txt_lat_ns_KeyUp(Form1& form, int key, bool /*shift*/) {
    hemisphere_key_up(form.txt_lat_ns, form.lat_ns_tasti_giu, form.lat_ns_salvato, key, 'N', 'S');
}

void txt_lon_ew_KeyDown(Form1& form, int key, bool /*shift*/) {
    form.lon_ew_salvato = form.txt_lon_ew.text();
    form.lon_ew_tasti_giu.insert(key);
}

void txt_lon_ew_KeyUp(Form1& form, int key, bool /*shift*/) {
    hemisphere_key_up(form.txt_lon_ew, form.lon_ew_tasti_giu, form.lon_ew_salvato, key, 'E', 'W');
}

}  // namespace vadrel
