#include "advance.h"

#include <cmath>
#include <cstdio>

#include "model/numbers.h"
#include "motion/normalizza.h"

namespace vadrel {

namespace {

constexpr double raggio_terra_km = 6371.0;
constexpr double km_per_miglio = 1.852;
constexpr double secondi_per_ora = 3600.0;
constexpr double giorno = 86400.0;

// Which coordinate a step moves.
struct Coordinate {
    TextBox& gradi;
    TextBox& primi;
    TextBox& secondi;
    std::int16_t veicolo::*campo_gradi;
    std::int16_t veicolo::*campo_primi;
    std::int16_t veicolo::*campo_secondi;
    bool latitude;
};

// A position box that cannot be read keeps the vehicle's stored value.
double read_seconds_or(const TextBox& box, std::int16_t stored, RegionalFormat format) {
    try {
        return regional_number(box.text(), format);
    } catch (const ConversionError&) {
        return stored;
    }
}

std::string padded(std::int16_t value, std::size_t width) {
    std::string text = int_text(value);
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

// The minutes with at least two whole digits and exactly eight decimals, in
// the regional format. The float is expanded from its seven significant digits.
std::string eight_decimals(float minutes, RegionalFormat format) {
    const double value = seven_digit_value(minutes);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%011.8f", value < 0 ? "-" : "", std::fabs(value));
    std::string text = buffer;
    text[text.find('.')] = format.decimal;
    return text;
}

void step(Form1& form, const Coordinate& c) {
    const RegionalFormat format = form.platform.format;
    veicolo& record = form.veicolo_attuale();
    const std::size_t m = static_cast<std::size_t>(form.mezzo_attuale);

    double secondi = read_seconds_or(c.secondi, record.*c.campo_secondi, format);
    const double trascorso =
        elapsed_seconds(form.platform.clock.seconds_since_midnight(), form.tempo_ultimo[m]);
    const double rotta = leading_number(form.txt_angolo.text()) * pi_rotta / 180.0;
    const double direzione = c.latitude ? std::cos(rotta) : std::sin(rotta);
    double distanza = leading_number(form.txt_vel.text()) * trascorso / secondi_per_ora * direzione;
    if (form.opt_miglia.selected()) distanza = distanza * km_per_miglio;
    double angolo = distanza / raggio_terra_km * 180.0 / pi_rotta * 60.0 * 60.0;
    if (!c.latitude) angolo = angolo / std::cos(form.lat_radianti);
    secondi = secondi + angolo;

    std::int16_t primi = record.*c.campo_primi;
    std::int16_t gradi = record.*c.campo_gradi;
    const NumberReading regional = NumberReading::regional_in(format);
    primi = int16_from_text(c.primi.text(), regional).value_or(primi);
    gradi = int16_from_text(c.gradi.text(), regional).value_or(gradi);
    if (c.latitude) {
        normalizza_lat(gradi, primi, secondi);
    } else {
        normalizza_lon(gradi, primi, secondi);
    }

    c.gradi.set_text(int_text(gradi));
    c.primi.set_text(int_text(primi));
    const double secondi_interi = std::round(secondi);  // halves away from zero
    c.secondi.set_text(int_text(static_cast<long long>(secondi_interi == 0.0 ? 0.0 : secondi_interi)));

    const RmcField campo = compose_rmc_field(gradi, primi, secondi, c.latitude ? 2 : 3, format);
    if (c.latitude) {
        form.rmc_lat = campo.text();
        form.lat_radianti = leading_number(campo.degrees) * pi_rotta / 180.0 +
                            leading_number(campo.minutes) / 60.0 * pi_rotta / 180.0 +
                            leading_number("." + campo.decimals) / 60.0 * pi_rotta / 180.0;
    } else {
        form.rmc_lon = campo.text();
    }
}

}  // namespace

double elapsed_seconds(float now, float last) {
    double trascorso = seven_digit_value(now) - static_cast<double>(last);
    // Only a real wrap at midnight counts: the clock's own rounding can make a
    // first step come out a few milliseconds negative, and that stays as it is.
    if (trascorso < -giorno / 2.0) trascorso += giorno;
    return trascorso;
}

RmcField compose_rmc_field(std::int16_t gradi, std::int16_t primi, double secondi,
                           int degree_digits, RegionalFormat format) {
    const float m = static_cast<float>(secondi / 60.0 + primi);
    const std::string testo = eight_decimals(m, format);
    const std::size_t separatore = testo.find_first_of(".,");
    std::string cifre = "0000";
    if (separatore != std::string::npos) cifre = (testo.substr(separatore + 1) + "00000000").substr(0, 4);
    return {padded(gradi, static_cast<std::size_t>(degree_digits)), padded(primi, 2), cifre};
}

void leggi_lat(Form1& form) {
    step(form, {form.txt_lat_g, form.txt_lat_p, form.txt_lat_s, &veicolo::lat_g, &veicolo::lat_p,
                &veicolo::lat_s, true});
}

void leggi_lon(Form1& form) {
    step(form, {form.txt_lon_g, form.txt_lon_p, form.txt_lon_s, &veicolo::lon_g, &veicolo::lon_p,
                &veicolo::lon_s, false});
}

}  // namespace vadrel
