#include "advance.h"

#include <cmath>
#include <optional>

#include "model/numbers.h"
#include "motion/dead_reckoning.h"
#include "motion/normalizza.h"

namespace vadrel {

namespace {

constexpr double secondi_per_ora = 3600.0;


// One coordinate on the panel: its boxes, its record fields, its letters.
struct Coordinate {
    TextBox& gradi;
    TextBox& primi;
    TextBox& secondi;
    TextBox& emisfero;
    std::int16_t veicolo::*campo_gradi;
    std::int16_t veicolo::*campo_primi;
    std::int16_t veicolo::*campo_secondi;
    std::string veicolo::*campo_emisfero;
    char positivo;
    char negativo;
    double ExactPosition::*esatta;
    std::optional<ShownCoordinate> ExactPosition::*mostrata;
};

Coordinate latitude(Form1& f) {
    return {f.txt_lat_g,      f.txt_lat_p,      f.txt_lat_s,       f.txt_lat_ns,
            &veicolo::lat_g,  &veicolo::lat_p,  &veicolo::lat_s,   &veicolo::lat_ns,
            'N',              'S',              &ExactPosition::lat, &ExactPosition::lat_mostrata};
}

Coordinate longitude(Form1& f) {
    return {f.txt_lon_g,      f.txt_lon_p,      f.txt_lon_s,       f.txt_lon_ew,
            &veicolo::lon_g,  &veicolo::lon_p,  &veicolo::lon_s,   &veicolo::lon_ew,
            'E',              'W',              &ExactPosition::lon, &ExactPosition::lon_mostrata};
}

// What the boxes show, read as their change handling reads them; a box that
// cannot be read counts as the record's value.
ShownCoordinate shown(Form1& form, const Coordinate& c) {
    const NumberReading regional = NumberReading::regional_in(form.platform.format);
    const veicolo& v = form.veicolo_attuale();
    return {int16_from_text(c.gradi.text(), regional).value_or(v.*c.campo_gradi),
            int16_from_text(c.primi.text(), regional).value_or(v.*c.campo_primi),
            int16_from_text(c.secondi.text(), regional).value_or(v.*c.campo_secondi), c.emisfero.text()};
}

double seconds_of(const ShownCoordinate& s, char negativo) {
    const double secondi = s.gradi * 3600.0 + s.primi * 60.0 + s.secondi;
    return s.emisfero == std::string(1, negativo) ? -secondi : secondi;
}

// The exact position of the current vehicle, started again from the boxes
// for each coordinate whose boxes no longer show what they were last given
// (the first step, a step button, a hemisphere key, a loaded file). The
// longitude is taken first: a latitude past a pole moves it.
ExactPosition& current_position(Form1& form) {
    ExactPosition& p = form.posizioni[static_cast<std::size_t>(form.mezzo_attuale)];
    const Coordinate lon = longitude(form);
    const ShownCoordinate lon_box = shown(form, lon);
    const Coordinate lat = latitude(form);
    const ShownCoordinate lat_box = shown(form, lat);
    if (p.lon_mostrata != lon_box || p.lat_mostrata != lat_box) ++p.tratto;
    if (p.lon_mostrata != lon_box) {
        p.lon = seconds_of(lon_box, lon.negativo);
        normalizza_lon(p.lon);
        p.lon_mostrata = lon_box;
    }
    if (p.lat_mostrata != lat_box) {
        p.lat = seconds_of(lat_box, lat.negativo);
        normalizza_lat(p.lat, p.lon);
        p.lat_mostrata = lat_box;
    }
    return p;
}

// Kilometres travelled in `trascorso` seconds at the speed of the boxes.
double km_percorsi(const Form1& form, double trascorso) { return velocita_kmh(form) * trascorso / secondi_per_ora; }

// The boxes show the position rounded to whole seconds (halves away from
// zero), so they never show 60 seconds or 60 minutes. The letter is the
// side of the equator or of the prime meridian the vehicle is on; exactly on
// the line the box keeps its letter.
ShownCoordinate rounded(const Coordinate& c, double secondi_arco, bool negativo_sulla_linea) {
    const long long totale = std::llround(std::fabs(secondi_arco));
    const bool negativo = secondi_arco < 0.0 || (secondi_arco == 0.0 && negativo_sulla_linea);
    return {static_cast<std::int16_t>(totale / 3600), static_cast<std::int16_t>(totale / 60 % 60),
            static_cast<std::int16_t>(totale % 60), std::string(1, negativo ? c.negativo : c.positivo)};
}

void show_rounded(const Coordinate& c, ExactPosition& p, const ShownCoordinate& nuovo) {
    c.gradi.set_text(int_text(nuovo.gradi));
    c.primi.set_text(int_text(nuovo.primi));
    c.secondi.set_text(int_text(nuovo.secondi));
    c.emisfero.set_text(nuovo.emisfero);
    p.*c.mostrata = nuovo;
}

void show(const Coordinate& c, ExactPosition& p, double secondi_arco) {
    show_rounded(c, p, rounded(c, secondi_arco, c.emisfero.text() == std::string(1, c.negativo)));
}

// A vehicle not on the panel: its record takes what the boxes would show.
void store_rounded(const Coordinate& c, veicolo& v, ExactPosition& p, const ShownCoordinate& nuovo) {
    v.*c.campo_gradi = nuovo.gradi;
    v.*c.campo_primi = nuovo.primi;
    v.*c.campo_secondi = nuovo.secondi;
    v.*c.campo_emisfero = nuovo.emisfero;
    p.*c.mostrata = nuovo;
}

// A course within 0 <= rotta < 360.
double nel_giro(double rotta) {
    const double r = std::fmod(rotta, 360.0);
    return r < 0.0 ? r + 360.0 : r;
}

double girata(double rotta) { return nel_giro(rotta + 180.0); }

}  // namespace

double velocita_kmh(const Form1& form) {
    const double velocita = leading_number(form.txt_vel.text());
    return form.opt_miglia.selected() ? velocita * km_per_miglio : velocita;
}

MotoSulFondo moto_sul_fondo(const Form1& form) {
    const double kmh = velocita_kmh(form);
    const double rotta = leading_number(form.txt_angolo.text());
    return {std::fabs(kmh), kmh < 0.0 ? girata(rotta) : nel_giro(rotta)};
}

double passo_lat(ExactPosition& posizione, double rotta, double km) {
    return step_latitude(posizione.lat, posizione.lon, rotta, km);
}

void passo_lon(ExactPosition& posizione, double rotta, double km, double lat_radianti) {
    step_longitude(posizione.lon, rotta, km, lat_radianti);
}

double radianti(double secondi_arco) { return latitude_radians(secondi_arco); }

std::string campo_rmc(double secondi_arco, int degree_digits) { return rmc_coordinate(secondi_arco, degree_digits); }

void vai_a_posizione(Form1& form, std::size_t mezzo, const TypedPosition& dove) {
    if (mezzo >= form.posizioni.size()) return;
    ExactPosition& p = form.posizioni[mezzo];
    const bool sul_pannello = mezzo == static_cast<std::size_t>(form.mezzo_attuale);
    ++p.tratto;
    const auto sposta = [&](const Coordinate& c, const std::optional<TypedCoordinate>& typed) {
        if (!typed) return;
        const double esatta = typed->signed_seconds();
        const ShownCoordinate nuovo = rounded(c, esatta, typed->negative);
        if (sul_pannello) {
            show_rounded(c, p, nuovo);
        } else {
            store_rounded(c, form.mezzi[mezzo], p, nuovo);
        }
        p.*c.esatta = esatta;
    };
    sposta(latitude(form), dove.lat);
    sposta(longitude(form), dove.lon);
}

bool riprendi_posizione(Form1& form, std::size_t mezzo, double lat, double lon) {
    if (mezzo >= form.posizioni.size() || !std::isfinite(lat) || !std::isfinite(lon)) return false;
    veicolo& v = form.mezzi[mezzo];
    const auto matching = [&v](const Coordinate& c, double esatta) -> std::optional<ShownCoordinate> {
        const std::string& letter = v.*c.campo_emisfero;
        const ShownCoordinate nuovo = rounded(c, esatta, letter == std::string(1, c.negativo));
        if (nuovo.gradi != v.*c.campo_gradi || nuovo.primi != v.*c.campo_primi || nuovo.emisfero != letter)
            return std::nullopt;
        return nuovo;
    };
    const Coordinate lat_c = latitude(form), lon_c = longitude(form);
    const auto lat_shown = matching(lat_c, lat), lon_shown = matching(lon_c, lon);
    if (std::fabs(lat) > 90.0 * 3600.0 || std::fabs(lon) > 180.0 * 3600.0 || !lat_shown || !lon_shown) return false;
    ExactPosition& p = form.posizioni[mezzo];
    store_rounded(lat_c, v, p, *lat_shown);
    store_rounded(lon_c, v, p, *lon_shown);
    p.lat = lat;
    p.lon = lon;
    return true;
}

void leggi_lat(Form1& form, double trascorso) {
    ExactPosition& p = current_position(form);
    const double rotta = leading_number(form.txt_angolo.text());
    const double dopo = passo_lat(p, rotta, km_percorsi(form, trascorso));
    show(latitude(form), p, p.lat);
    form.rmc_lat = campo_rmc(p.lat, 2);
    form.lat_radianti = radianti(p.lat);
    // the course box and the record take the course on the far side of the pole
    if (dopo != rotta) form.txt_angolo.set_text(int_text(std::llround(dopo)));
}

void leggi_lon(Form1& form, double trascorso) {
    ExactPosition& p = current_position(form);
    const double rotta = leading_number(form.txt_angolo.text());
    passo_lon(p, rotta, km_percorsi(form, trascorso), form.lat_radianti);
    show(longitude(form), p, p.lon);
    form.rmc_lon = campo_rmc(p.lon, 3);
}

}  // namespace vadrel
