#pragma once
// The fields the sky gives the sentences of the full set, made with the
// builders of nmea/sentences.h, so that no sentence of a fix disagrees with
// another or with the geometry.
//
//   Rmc rmc = ...;  tell_fix(sky, rmc);      // status, or the fields a lost fix empties
//   Gga gga = ...;  tell_fix(sky, gga);      // quality, satellites used, HDOP
//   frase(gsa_of(sky));                      // $GPGSA,A,3,02,05,...,1.6,0.9,1.3*..
//   for (const Gsv& g : gsv_of(sky)) frase(g);
//   with_talker(frase(rmc), Talker::gn);     // $GNRMC,...
//
// What each kind of fix lets the sentences say:
//
//   $GPRMC  3D, 2D: status A, every field     none: V; position, speed, course empty
//   $GPGGA  3D: quality 1, used, HDOP, altitude
//           2D: the same without the altitude and its unit (held, not measured)
//           none: quality 0, 00 used; position, HDOP, altitude, geoid empty
//   $GPGSA  3D: A,3, the PRNs used, PDOP, HDOP, VDOP
//           2D: A,2, the PRNs used, PDOP (= HDOP), HDOP, VDOP empty
//           none: A,1, nothing else
//   $GPVTG  3D, 2D: every field               none: every field empty
//   $GPGLL  3D, 2D: status A, mode A          none: V, N; position empty
//   $GPHDT  3D, 2D: the heading               none: empty
//
// $GPGSV lists every satellite in view whatever the fix, four to a
// sentence, in PRN order; one that is not heard has no signal figure. Time
// fields: hhmmss at one fix a second (the bytes vadrel has always sent),
// hhmmss.ss at more.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "nmea/sentences.h"
#include "model/civil_time.h"
#include "sky/sky.h"

namespace vadrel {

// The fields a fix decides, over those the caller filled for a fix.
void tell_fix(const Sky& sky, Rmc& rmc);
void tell_fix(const Sky& sky, Gga& gga);
void tell_fix(const Sky& sky, Vtg& vtg);

// The satellites used and the dilutions, one decimal.
Gsa gsa_of(const Sky& sky);
// The satellites in view, four to a sentence; one sentence with none in view.
std::vector<Gsv> gsv_of(const Sky& sky);

// The position, time and status of the $GPRMC of the same fix, so the two agree.
Gll gll_of(const Rmc& rmc);
// The heading: the course of the $GPRMC of the same fix (the vehicle points
// where it goes), which tell_fix empties without a fix.
Hdt hdt_of(const Rmc& rmc);

// A time field for the time of day in milliseconds: "hhmmss" at one fix a
// second, "hhmmss.ss" (hundredths, cut) at more. From 86400000 on, the
// day's leap second: "235960".
std::string time_field(std::int64_t ms_of_day, int fixes_per_second);

// Talker (model/receiver_options.h): GN goes to the sentences of the
// solution (RMC, GGA, GLL, VTG, GSA, ZDA, HDT); $GPGSV keeps GP, as it
// describes GPS satellites alone.
// The sentence with its talker ("$GP" after any "@n" prefix) for `talker`
// and its checksum made again; any other sentence as it is.
std::string with_talker(std::string sentence, Talker talker);

// The full set vadrel has always sent, and the same with the satellites in view.
inline constexpr std::array<SentenceKind, 5> classic_full_set{SentenceKind::rmc, SentenceKind::gga, SentenceKind::vtg,
                                                              SentenceKind::gsa, SentenceKind::zda};
inline constexpr std::array<SentenceKind, 6> full_set_with_sky{SentenceKind::rmc, SentenceKind::gga,
                                                               SentenceKind::vtg, SentenceKind::gsa,
                                                               SentenceKind::gsv, SentenceKind::zda};

// The sky the full set has always claimed, for its bytes without the
// satellites option: the eight satellites of the radio burst's $GPGSV, the
// seven with a signal used, PDOP 1.8, HDOP 1.0, VDOP 1.5 (fixed figures, not
// from a geometry). Its $GPGSV group is the burst's, byte for byte.
Sky classic_sky();

// One fix as the caller's rules give it: the time of one reading of the
// clock (UTC or local, as the options say), the position as shown (the
// receiver's error included) and the motion, each as its field's text.
struct FixTexts {
    CivilInstant when;
    int fixes_per_second = 1;
    std::string lat, ns, lon, ew;      // "4400.6787", "N", "01007.7087", "E"
    std::string knots, course, kmh;    // "12.3", "045.0", "22.8"
    std::string variation, variation_ew;  // "000.0", "W"
    std::string altitude;              // metres above sea level: "254.5"
};

// The sentences of the full set for one fix, in the order of `kinds`, each
// without line end: what the fix leaves empty emptied, its talker applied,
// every one behind `prefix` ("@3" in multi-user mode). $GPGSV gives its
// whole group where it stands; ZDA's zone is 00,00.
std::vector<std::string> full_set(const FixTexts& fix, const Sky& sky, std::span<const SentenceKind> kinds,
                                  Talker talker = Talker::gp, std::string_view prefix = {});

}  // namespace vadrel
