#pragma once
// Dead reckoning on a sphere of radius 6371 km. Each vehicle's exact position
// (Form1::posizioni, seconds of arc) moves by its speed times the time since
// its last step along its true course: 0 north, 90 east, 180 south, 270 west,
// in every hemisphere; a negative speed goes backwards. Nothing of the step
// is rounded away: the boxes and the record show the position rounded to
// whole seconds, the sentence's fields to a ten-thousandth of a minute, and
// the next step goes on from the exact position.

#include <cstddef>
#include <string>

#include "model/form1.h"
#include "motion/dead_reckoning.h"
#include "motion/position_text.h"

namespace vadrel {

inline constexpr double km_per_miglio = 1.852;

// The speed of the boxes in km/h, in the unit they are in; negative backwards.
double velocita_kmh(const Form1& form);

// How the vehicle of the boxes moves over the ground: the speed's size in
// km/h and the true course 0 <= rotta < 360, turned round when the speed is
// negative (the vehicle backs along its course).
struct MotoSulFondo {
    double kmh;
    double rotta;
};
MotoSulFondo moto_sul_fondo(const Form1& form);

// The latitude half of a step of `km` kilometres along the course `rotta`
// (degrees). Returns the course held after it: over a pole the vehicle comes
// down the far side heading the other way, so the course turns by 180.
double passo_lat(ExactPosition& posizione, double rotta, double km);

// The longitude half of the same step, at the latitude the latitude half
// left (`lat_radianti`, magnitude, from radianti()).
void passo_lon(ExactPosition& posizione, double rotta, double km, double lat_radianti);

// A latitude of `secondi_arco` in radians, magnitude only.
double radianti(double secondi_arco);

// The $GPRMC field of a coordinate of `secondi_arco` (its magnitude; the
// letter says the hemisphere): degrees padded to `degree_digits`, two digits
// of minutes, ".", four decimals of minutes, cut. Degrees, minutes and
// decimals come from one count, so they always agree: "4401.7772",
// "01008.0814", "8959.9999", "9000.0000".
std::string campo_rmc(double secondi_arco, int degree_digits);

// The steps of the current vehicle on the panel: its exact position (started
// again from the boxes when they no longer show it) moves by the speed and
// course of the boxes over `trascorso` seconds. The boxes get the new
// position, the sentence its field (rmc_lat, rmc_lon). leggi_lat leaves
// lat_radianti for leggi_lon and turns the course box at a pole; the tick
// calls leggi_lat, then leggi_lon, with the same elapsed time.
void leggi_lat(Form1& form, double trascorso);
void leggi_lon(Form1& form, double trascorso);

// "Vai a posizione": the vehicle `mezzo` is put where the operator typed,
// exactly; a coordinate the text leaves out stays as it is. On the panel the
// boxes take it rounded to whole seconds, through their change handling as a
// step button's click does, so the record follows; a vehicle not on the
// panel has its record written the same. Its timing is left alone: the next
// step goes on from the new place. Its track breaks there.
void vai_a_posizione(Form1& form, std::size_t mezzo, const TypedPosition& dove);

// Start-up: the exact position (seconds of arc, north and east positive)
// kept for vehicle `mezzo` is taken back only when both coordinates, rounded
// as the boxes show them, give the degrees, minutes and letter its record
// holds: the record takes their seconds and the next step goes on from the
// exact position. Otherwise nothing changes. Returns whether it was taken.
bool riprendi_posizione(Form1& form, std::size_t mezzo, double lat, double lon);

}  // namespace vadrel
