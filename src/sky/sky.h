#pragma once
// One receiver's sky: the satellites above its elevation mask, those an
// obstruction hides, those it uses, and the fix their geometry gives.
//
//   const Constellation now = constellation_at(utc_ms);          // once per fix
//   const Sky sky = observe(now, {45.46, 9.19, 120.0}, settings); // per vehicle
//   sky.fix;            // FixKind::three_d
//   sky.dilution.hdop;  // 0.9
//
// Every decision is made on the figures the sentences carry, the elevation
// and azimuth rounded to whole degrees: a satellite is in view when its
// elevation is at least the mask; an obstruction hides it by those figures;
// the dilutions come from them, so anyone who recomputes them from the
// $GPGSV of that second finds the $GPGSA's (within its one decimal).
//
// Satellites in view: all of them, in PRN order, with a signal-to-noise
// figure from their elevation, 30 + 20 sin(elevation) dB-Hz rounded (30 on
// the horizon, 40 at 30°, 50 at the zenith). A hidden satellite, or any
// while the signal is lost, is listed without a figure (not heard).
// Used: the heard ones, highest elevation first (ties by PRN), at most 12,
// the most a $GPGSA lists. Fix: 3D with four or more used and a PDOP up to
// max_dop; otherwise 2D (the altitude held) with three or more and an HDOP up
// to max_dop; otherwise none, and then none is used.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fleet/vehicle.h"
#include "model/receiver_options.h"
#include "sky/constellation.h"
#include "sky/dilution.h"
#include "sky/look_angles.h"

namespace vadrel {

// An obstruction (model/receiver_options.h): a satellite in its sector lower
// than `below` is hidden.
bool hides(const Obstruction& obstruction, int azimuth, int elevation);

inline constexpr double default_mask = default_elevation_mask;

struct SkySettings {
    double mask = default_mask;  // degrees
    std::vector<Obstruction> obstructions;
    bool operator==(const SkySettings&) const = default;
};

inline constexpr std::size_t max_used = 12;
// A receiver gives no fix from a geometry worse than this (as common
// receivers' default PDOP mask).
inline constexpr double max_dop = 25.0;

struct SatelliteInView {
    int prn = 0;
    int elevation = 0;  // whole degrees, as the sentences carry them
    int azimuth = 0;    // 0 .. 359
    int snr = 0;        // dB-Hz; 0 when not heard
    bool hidden = false;
    bool used = false;
};

enum class FixKind : std::uint8_t { none, two_d, three_d };

struct Sky {
    std::vector<SatelliteInView> satellites;  // in view, PRN order
    FixKind fix = FixKind::none;
    Dilution dilution;  // of the fix; all 0 without one
    int used = 0;
    Dilution open_sky;  // under an open sky here and now (3D); all 0 if even that gives none
};

// Where a vehicle's antenna stands: its true position at `height` metres.
Observer observer_of(const Vehicle& vehicle, double height);

// The signal-to-noise figure of a satellite heard at this elevation.
int snr_at(int elevation);

// The satellites used and the fix, chosen again from the figures the
// satellites carry now (those with one are heard), as observe() chooses them;
// the open sky's dilutions stay.
void choose_fix(Sky& sky);

// The sky of an observer at the constellation's time. `signal` false: the
// receiver hears nothing (an outage); the satellites stay listed.
Sky observe(const Constellation& constellation, const Observer& observer, const SkySettings& settings,
            bool signal = true);

}  // namespace vadrel
