#pragma once
// Keeping an exact position (seconds of arc, north and east positive) on the
// globe after a step: going on across the 180th meridian and over a pole.
// Crossing the equator needs nothing: the latitude just changes sign.

namespace vadrel {

// A latitude that went past a pole comes back down over it: the vehicle is
// then on the meridian 180 degrees away (the longitude moves by half a turn)
// and heads the other way. Returns true when that happened, false when the
// latitude was already within 90 S .. 90 N (or came round a whole meridian).
bool normalize_lat(double& lat, double& lon);

// Brings a longitude into 180 W .. 180 E: east of 180 E is west of it.
void normalize_lon(double& lon);

}  // namespace vadrel
