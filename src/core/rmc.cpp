#include "rmc.h"

#include <algorithm>
#include <cstdio>

#include "core/fleet.h"
#include "model/numbers.h"

namespace vadrel {

namespace {

// Most vehicles the multi-user cycle serves.
constexpr int massimo_mezzi_ciclo = 19;

std::string without(std::string text, char removed) {
    text.erase(std::remove(text.begin(), text.end(), removed), text.end());
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

}  // namespace

unsigned char rmc_checksum(std::string_view sentence) {
    unsigned char sum = 0;
    for (std::size_t i = 1; i < sentence.size(); ++i) sum ^= static_cast<unsigned char>(sentence[i]);
    return sum;
}

std::string checksum_field(std::string_view sentence) {
    char field[4];
    std::snprintf(field, sizeof field, "*%02X", rmc_checksum(sentence));
    return field;
}

std::string forma_stringa_rmc(Form1& form) {
    std::string s;
    std::string lat_ns = form.txt_lat_ns.text();
    std::string lon_ew = form.txt_lon_ew.text();
    const bool multi = form.opt_multi.selected();
    if (multi) {
        s = "@";
        s += int_text(form.mezzo_attuale);
        int prossimo = form.mezzo_attuale + 1;
        const int n = vehicles_in_cycle(form);
        if (prossimo >= n || prossimo >= numero_mezzi) prossimo = 0;
        form.mezzo_attuale = static_cast<std::int16_t>(prossimo);
        form.txt_mezzo_attuale.set_text(int_text(form.mezzo_attuale));
        cambia_veicolo(form);
        form.platform.shell.run_pending_events();
    }
    s += form.rmc_id + ",";
    const std::string ora = "000000" + without(form.platform.clock.time_text(), '.');
    form.rmc_ora = ora.substr(ora.size() - 6);
    s += form.rmc_ora + ",";
    s += form.rmc_stato + ",";
    s += form.rmc_lat + ",";
    s += (multi ? lat_ns : form.txt_lat_ns.text()) + ",";
    s += form.rmc_lon + ",";
    s += (multi ? lon_ew : form.txt_lon_ew.text()) + ",";
    s += form.rmc_vel + ",";
    s += form.rmc_rotta + ",";
    form.rmc_data = without(form.platform.clock.date_text(), '/');
    s += form.rmc_data + ",";
    s += form.rmc_var + ",";
    s += form.rmc_var_dir + ",";
    form.rmc_checksum = checksum_field(s);
    s += form.rmc_checksum;
    return s;
}

std::string radio_separator() { return std::string("\r\n\0\0\0\0\0", 7); }

std::string forma_pacchetto_radio(const std::string& rmc) {
    const std::string sep = radio_separator();
    std::string burst = sep;
    for (const std::string_view sentence : {gsv_1, gsv_2, rme, std::string_view(rmc), vtg, gga, gsa}) {
        burst += sentence;
        burst += sep;
    }
    return burst;
}

}  // namespace vadrel
