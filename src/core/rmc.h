#pragma once
// The $GPRMC sentence of the current vehicle, and the radio-mode burst.

#include <string>
#include <string_view>

#include "model/form1.h"

namespace vadrel {

// $GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B
//
// Builds the sentence without line end. In multi-user mode it is prefixed
// with "@" and the vehicle's number, and the panel moves on to the next
// vehicle, after which pending events run once.
std::string forma_stringa_rmc(Form1& form);

// Exclusive or of every character after the first one.
unsigned char rmc_checksum(std::string_view sentence);
// "*" and the checksum in two upper-case hexadecimal digits: "*0A".
std::string checksum_field(std::string_view sentence);

// CR, LF and five NUL characters.
std::string radio_separator();

// The seven sentences of radio mode, each behind the separator, closed by
// one more separator; the live $GPRMC stands fourth.
std::string forma_pacchetto_radio(const std::string& rmc);

// The six fixed sentences of the burst, in burst order around the $GPRMC.
inline constexpr std::string_view gsv_1 =
    "$GPGSV,2,1,08,04,47,228,46,14,05,121,,16,16,303,39,18,57,057,46*7C";
inline constexpr std::string_view gsv_2 =
    "$GPGSV,2,2,08,19,64,163,46,22,09,040,41,27,39,196,44,29,33,067,46*7C";
inline constexpr std::string_view rme = "$PGRME,297.9,M,300.0,M,297.9,M*2D";
inline constexpr std::string_view vtg = "$GPVTG,327.9,T,327.4,M,03.0,N,05.5,K*40";
inline constexpr std::string_view gga =
    "$GPGGA,201528,4400.6787,N,01007.7087,E,1,03,6.3,254.5,M,47.9,M,,*44";
inline constexpr std::string_view gsa = "$GPGSA,A,3,,,,18,,,27,29,,,,,6.3,6.3,1.0*34";

}  // namespace vadrel
