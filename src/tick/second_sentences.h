#pragma once
// The sentences one second sends for one vehicle: the $GPRMC and, as the
// receiver options ask, the full set, the sentences of a receiver that has
// lost its fix, and the radio burst around them. The sentences themselves
// are put together by the builders of nmea/sentences.h.
//
//   SecondOfVehicle s{vehicle, "@3", Mode::multi_user, options, sentence_time(clock, options)};
//   second_sentences(s);   // {"@3$GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*5C"}

#include <optional>
#include <string>
#include <vector>

#include "nmea/sentences.h"
#include "fleet/fleet.h"
#include "model/platform.h"
#include "model/receiver_options.h"
#include "sky/sky.h"

namespace vadrel {

// The time and date fields of a second's sentences. With neither UTC nor
// the full set they are the regional texts as they have always been read
// ("20.15.28" gives 201528, only "." and "/" taken out); otherwise one
// reading of the clock, local or UTC, gives every field.
// Above one fix a second (`fixes_per_second`, with the full set) the
// reading is that of the fix: the wall clock's UTC cut down to the fix's
// instant (0.2 s apart at 5 a second), shown in local time or UTC.
struct SentenceTime {
    std::string time;  // hhmmss
    std::string date;  // ddmmyy
    CivilTime civil;   // the reading behind them, for $GPZDA
    int millisecond = 0;     // of the fix within its second, above one fix a second
    std::int64_t utc_ms = 0;  // the same instant since 1970 UTC, for the sky
};
SentenceTime sentence_time(Clock& clock, const ReceiverOptions& options, int fixes_per_second = 1);

// What one second tells of one vehicle.
struct SecondOfVehicle {
    Vehicle vehicle;
    std::string prefix;  // "@3" in multi-user mode, else empty
    Mode mode = Mode::gps_standard;
    ReceiverOptions options;
    SentenceTime time;
    // The full set's sky (with Cielo::satelliti, the satellites from their
    // orbits; nothing: the fixed sky it has always claimed, classic_sky())
    // and this fix's rate. With senza_fix nothing is heard whatever it says.
    std::optional<Sky> sky = std::nullopt;
    int fixes_per_second = 1;
    double altitude_error = 0.0;  // metres the noise adds to the altitude
};

// The sentences of this second in the order they leave, each without line
// end or separator. GPS standard and multi-user: the $GPRMC alone, or the
// full set (sky/sky_sentences.h) of the sky and the list the options give
// (by default $GPRMC, $GPGGA, $GPVTG, $GPGSA and $GPZDA, with the
// satellites also the $GPGSV after the $GPGSA), all behind the prefix.
// Radio: the seven sentences of the burst, whose $GPVTG, $GPGGA and $GPGSA
// tell the live fix (or its loss) when the full set or the loss of the
// signal is on.
std::vector<std::string> second_sentences(const SecondOfVehicle& second);

// The bytes of the second: each sentence with CR LF, or in radio mode the
// burst: each sentence behind the separator (CR, LF and five NUL
// characters), closed by one more separator.
std::string second_bytes(const std::vector<std::string>& sentences, Mode mode);
// The same second as the monitor prints it: the sentences joined by CR LF
// with no line end after the last, or in radio mode the burst.
std::string second_text(const std::vector<std::string>& sentences, Mode mode);

// The six fixed sentences of the burst, in burst order around the $GPRMC,
// made by the builders from their fixed field values.
inline const std::string gsv_1 = sentence(Gsv{"2", "1", "08",
                                           {{{"04", "47", "228", "46"},
                                             {"14", "05", "121", ""},
                                             {"16", "16", "303", "39"},
                                             {"18", "57", "057", "46"}}}});
inline const std::string gsv_2 = sentence(Gsv{"2", "2", "08",
                                           {{{"19", "64", "163", "46"},
                                             {"22", "09", "040", "41"},
                                             {"27", "39", "196", "44"},
                                             {"29", "33", "067", "46"}}}});
inline const std::string rme = sentence(Rme{"297.9", "300.0", "297.9"});
inline const std::string vtg = sentence(Vtg{"327.9", "327.4", "03.0", "05.5"});
inline const std::string gga = sentence(
    Gga{"201528", "4400.6787", "N", "01007.7087", "E", "1", "03", "6.3", "254.5", "M", "47.9", "M", "", ""});
inline const std::string gsa =
    sentence(Gsa{"A", "3", {"", "", "", "18", "", "", "27", "29", "", "", "", ""}, "6.3", "6.3", "1.0"});

}  // namespace vadrel
