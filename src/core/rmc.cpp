#include "rmc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "core/fleet.h"
#include "model/numbers.h"
#include "motion/advance.h"

namespace vadrel {

namespace {

// Most vehicles the multi-user cycle serves.
constexpr int massimo_mezzi_ciclo = 19;

// The constellation of a live fix: the satellites of the burst's $GPGSV
// that have a signal, and dilutions of a good open-sky fix.
constexpr std::array<const char*, 7> satelliti_in_uso{"04", "16", "18", "19", "22", "27", "29"};
constexpr const char* pdop = "1.8";
constexpr const char* hdop = "1.0";
constexpr const char* vdop = "1.5";

std::string without(std::string text, char removed) {
    text.erase(std::remove(text.begin(), text.end(), removed), text.end());
    return text;
}

std::string printed(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// The number of vehicles of the cycle, as its box's leading number. A number
// beyond the 16-bit range counts as beyond the cap when large, as 0 when
// very negative.
int vehicles_in_cycle(Form1& form) {
    const std::string& testo = form.txt_num_mezzi.text();
    int n = int16_from_text(testo, NumberReading::leading())
                .value_or(leading_number(testo) > 0 ? massimo_mezzi_ciclo + 1 : 0);
    if (n > massimo_mezzi_ciclo) {
        form.txt_num_mezzi.set_text(int_text(massimo_mezzi_ciclo));
        n = massimo_mezzi_ciclo;
    }
    return n;
}

// The multi-user step: the prefix of the current vehicle, then the panel
// moves on to the next one and pending events run once.
std::string passa_al_prossimo(Form1& form) {
    const std::string prefisso = "@" + int_text(form.mezzo_attuale);
    int prossimo = form.mezzo_attuale + 1;
    const int n = vehicles_in_cycle(form);
    if (prossimo >= n || prossimo >= numero_mezzi) prossimo = 0;
    form.mezzo_attuale = static_cast<std::int16_t>(prossimo);
    form.txt_mezzo_attuale.set_text(int_text(form.mezzo_attuale));
    cambia_veicolo(form);
    form.platform.shell.run_pending_events();
    return prefisso;
}

// What this second's sentences tell of the vehicle. Its letters and motion
// are read before the multi-user step puts the next vehicle on the panel.
struct Rilievo {
    OpzioniRicevitore opzioni;
    std::string prefisso;
    std::string lat_ns;
    std::string lon_ew;
    MotoSulFondo moto{};
    CivilTime quando;  // the reading the time fields come from
};

// The time and date fields, rmc_ora and rmc_data. With neither UTC nor the
// full set they are the regional texts as they have always been read;
// otherwise one reading of the clock, local or UTC, gives every field.
void leggi_ora(Form1& form, Rilievo& r) {
    Clock& clock = form.platform.clock;
    if (!r.opzioni.utc && !r.opzioni.frasi_complete) {
        const std::string ora = "000000" + without(clock.time_text(), '.');
        form.rmc_ora = ora.substr(ora.size() - 6);
        form.rmc_data = without(clock.date_text(), '/');
        return;
    }
    const WallTime adesso = clock.wall_time();
    r.quando = r.opzioni.utc ? adesso.utc : adesso.local;
    const CivilTime& t = r.quando;
    form.rmc_ora = printed("%02d%02d%02d", t.hour, t.minute, t.second);
    form.rmc_data = printed("%02d%02d%02d", t.day, t.month, t.year % 100);
}

Rilievo rileva(Form1& form) {
    Rilievo r;
    r.opzioni = form.ricevitore;  // a change made while events run counts from the next second
    r.lat_ns = form.txt_lat_ns.text();
    r.lon_ew = form.txt_lon_ew.text();
    r.moto = moto_sul_fondo(form);
    if (form.opt_multi.selected()) r.prefisso = passa_al_prossimo(form);
    leggi_ora(form, r);
    return r;
}

// Speed and course as the sentences write them: the vehicle's with the real
// motion on, the fixed fields otherwise. A course that rounds to 360.0 is 000.0.
struct Moto {
    std::string rotta;
    std::string nodi;
    std::string kmh;
};

Moto moto_di(const Form1& form, const Rilievo& r) {
    if (!r.opzioni.moto_reale) return {form.rmc_rotta, form.rmc_vel, form.rmc_vel};
    const long decimi = std::lround(r.moto.rotta * 10.0) % 3600;
    return {printed("%03ld.%ld", decimi / 10, decimi % 10), printed("%.1f", r.moto.kmh / km_per_miglio),
            printed("%.1f", r.moto.kmh)};
}

Rmc rmc_di(const Form1& form, const Rilievo& r) {
    const Moto moto = moto_di(form, r);
    if (r.opzioni.senza_fix) {
        return {form.rmc_ora, "V", "", "", "", "", "", "", form.rmc_data, form.rmc_var, form.rmc_var_dir};
    }
    return {form.rmc_ora, form.rmc_stato, form.rmc_lat, r.lat_ns, form.rmc_lon,     r.lon_ew,
            moto.nodi,    moto.rotta,     form.rmc_data, form.rmc_var, form.rmc_var_dir};
}

Gga gga_di(const Form1& form, const Rilievo& r) {
    if (r.opzioni.senza_fix) return {form.rmc_ora, "", "", "", "", "0", "00", "", "", "", "", "", "", ""};
    return {form.rmc_ora, form.rmc_lat, r.lat_ns, form.rmc_lon, r.lon_ew, "1", printed("%02zu", satelliti_in_uso.size()),
            hdop, printed("%.1f", r.opzioni.quota), "M", "", "M", "", ""};
}

Vtg vtg_di(const Form1& form, const Rilievo& r) {
    if (r.opzioni.senza_fix) return {};
    const Moto moto = moto_di(form, r);
    return {moto.rotta, moto.rotta, moto.nodi, moto.kmh};  // no magnetic variation: the $GPRMC says 000.0
}

Gsa gsa_di(const Rilievo& r) {
    if (r.opzioni.senza_fix) return {"A", "1", {}, "", "", ""};
    Gsa f{"A", "3", {}, pdop, hdop, vdop};
    std::copy(satelliti_in_uso.begin(), satelliti_in_uso.end(), f.satelliti.begin());
    return f;
}

// The zone is 00,00: the time field is the one the $GPRMC carries.
Zda zda_di(const Form1& form, const Rilievo& r) {
    const CivilTime& t = r.quando;
    return {form.rmc_ora, printed("%02d", t.day), printed("%02d", t.month), printed("%04d", t.year), "00", "00"};
}

std::string rmc_firmata(Form1& form, const Rilievo& r) {
    const std::string s = frase(rmc_di(form, r), r.prefisso);
    form.rmc_checksum = s.substr(s.size() - 3);
    return s;
}

}  // namespace

std::string forma_stringa_rmc(Form1& form) { return rmc_firmata(form, rileva(form)); }

std::vector<std::string> forma_frasi(Form1& form) {
    const Rilievo r = rileva(form);
    const std::string rmc = rmc_firmata(form, r);
    const OpzioniRicevitore& o = r.opzioni;
    if (form.opt_tx_radio.selected()) {
        if (!o.frasi_complete && !o.senza_fix) return {gsv_1, gsv_2, rme, rmc, vtg, gga, gsa};
        return {gsv_1, gsv_2, rme, rmc, frase(vtg_di(form, r)), frase(gga_di(form, r)), frase(gsa_di(r))};
    }
    if (!o.frasi_complete) return {rmc};
    return {rmc, frase(gga_di(form, r), r.prefisso), frase(vtg_di(form, r), r.prefisso), frase(gsa_di(r), r.prefisso),
            frase(zda_di(form, r), r.prefisso)};
}

std::string radio_separator() { return std::string("\r\n\0\0\0\0\0", 7); }

std::string incornicia_radio(const std::vector<std::string>& frasi) {
    const std::string sep = radio_separator();
    std::string burst = sep;
    for (const std::string& sentence : frasi) {
        burst += sentence;
        burst += sep;
    }
    return burst;
}

std::string forma_pacchetto_radio(const std::string& rmc) {
    return incornicia_radio({gsv_1, gsv_2, rme, rmc, vtg, gga, gsa});
}

}  // namespace vadrel
