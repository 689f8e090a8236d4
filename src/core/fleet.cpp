#include "fleet.h"

#include "model/numbers.h"

namespace vadrel {

namespace {

void show_current(Form1& form, std::int16_t nuovo) {
    form.mezzo_attuale = nuovo;
    form.txt_mezzo_attuale.set_text(int_text(nuovo));
    cambia_veicolo(form);
}

bool buttons_active(const Form1& form) { return form.tx_attiva != 1 && form.opt_multi.selected(); }

}  // namespace

void cambia_veicolo(Form1& form) {
    form.txt_lat_g.set_text(int_text(form.veicolo_attuale().lat_g));
    form.txt_lat_p.set_text(int_text(form.veicolo_attuale().lat_p));
    form.txt_lat_s.set_text(int_text(form.veicolo_attuale().lat_s));
    form.txt_lat_ns.set_text(form.veicolo_attuale().lat_ns);
    if (form.txt_lat_ns.text() != "N" && form.txt_lat_ns.text() != "S") form.txt_lat_ns.set_text("N");
    form.txt_lon_g.set_text(int_text(form.veicolo_attuale().lon_g));
    form.txt_lon_p.set_text(int_text(form.veicolo_attuale().lon_p));
    form.txt_lon_s.set_text(int_text(form.veicolo_attuale().lon_s));
    form.txt_lon_ew.set_text(form.veicolo_attuale().lon_ew);
    if (form.txt_lon_ew.text() != "W" && form.txt_lon_ew.text() != "E") form.txt_lon_ew.set_text("E");
    form.txt_vel.set_text(int_text(form.veicolo_attuale().vel));
    form.txt_angolo.set_text(int_text(form.veicolo_attuale().angolo));
    form.opt_km.set_selected(form.veicolo_attuale().km == -1);
    form.opt_miglia.set_selected(form.veicolo_attuale().miglia == -1);
}

void aggiorna_veicolo(Form1& form) {
    const NumberReading regional = NumberReading::regional_in(form.platform.format);
    const NumberReading leading = NumberReading::leading();
    veicolo& v = form.veicolo_attuale();
    // a box that cannot be read keeps the record's value
    const auto store = [](const TextBox& box, NumberReading reading, std::int16_t& field) {
        field = int16_from_text(box.text(), reading).value_or(field);
    };
    store(form.txt_lat_g, regional, v.lat_g);
    store(form.txt_lat_p, regional, v.lat_p);
    v.lat_ns = form.txt_lat_ns.text();
    store(form.txt_lon_g, regional, v.lon_g);
    store(form.txt_lon_p, regional, v.lon_p);
    v.lon_ew = form.txt_lon_ew.text();
    store(form.txt_vel, leading, v.vel);
    store(form.txt_angolo, leading, v.angolo);
    v.km = form.opt_km.value();
    v.miglia = form.opt_miglia.value();
}

// The buttons keep the index inside the table whatever the number of
// vehicles says, and leave it alone when that number cannot be read.
void Command10_Click(Form1& form) {
    if (!buttons_active(form)) return;
    int nuovo = form.mezzo_attuale - 1;
    if (nuovo < 0) {
        try {
            const double n = regional_number(form.txt_num_mezzi.text(), form.platform.format);
            nuovo = to_int16(n - 1.0);
        } catch (const ConversionError&) {
            return;
        } catch (const OverflowError&) {
            return;
        }
        if (nuovo < 0) nuovo = 0;
        if (nuovo > numero_mezzi - 1) nuovo = numero_mezzi - 1;
    }
    show_current(form, static_cast<std::int16_t>(nuovo));
}

void Command11_Click(Form1& form) {
    if (!buttons_active(form)) return;
    double n = 0.0;
    try {
        n = regional_number(form.txt_num_mezzi.text(), form.platform.format);
    } catch (const ConversionError&) {
        return;
    }
    int nuovo = form.mezzo_attuale + 1;
    if (nuovo >= n || nuovo > numero_mezzi - 1) nuovo = 0;
    show_current(form, static_cast<std::int16_t>(nuovo));
}

}  // namespace vadrel
