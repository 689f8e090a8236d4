#pragma once
// Every NMEA 0183 sentence vadrel sends is made here: one plain struct of
// field texts per kind of sentence and one builder per kind, which writes the
// address, the fields joined by ",", then "*" and the checksum. The caller
// adds the line end (CR LF) or frames the sentence in the radio burst. The
// live sentences of each second and the radio burst's fixed ones go through
// the same builders.
//
// A prefix ("@3" in multi-user mode) stands before the "$" and takes part in
// the checksum, which covers every character after the first: the receivers
// that read multi-user lines check them so.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vadrel {

// Exclusive or of every character after the first one.
unsigned char nmea_checksum(std::string_view sentence);
// "*" and the checksum in two upper-case hexadecimal digits: "*0A".
std::string checksum_field(std::string_view sentence);
// The checksum written after "*": two hexadecimal digits, either case;
// nothing when `digits` is anything else.
std::optional<unsigned> read_checksum(std::string_view digits);
// The whole number written in `count` decimal digits at `at`; nothing when
// the text is shorter or holds anything else there.
std::optional<int> read_digits(std::string_view text, std::size_t at, std::size_t count);

// Recommended minimum data. Its last field is always empty, so the text
// before "*" ends with ",".
struct Rmc {
    std::string time_field;    // hhmmss
    std::string status;  // A valid, V no fix
    std::string lat;    // ddmm.mmmm
    std::string ns;
    std::string lon;  // dddmm.mmmm
    std::string ew;
    std::string speed;  // knots
    std::string course;     // degrees true
    std::string data;      // ddmmyy
    std::string variation;
    std::string variation_ew;
};
// $GPRMC,201528,A,4400.6787,N,01007.7087,E,0.0,000.0,090503,000.0,W,*4B
std::string sentence(const Rmc& f, std::string_view prefix = {});

// Fix data.
struct Gga {
    std::string time_field;
    std::string lat;
    std::string ns;
    std::string lon;
    std::string ew;
    std::string quality;    // 0 no fix, 1 GPS fix
    std::string satellites;  // in use, two digits
    std::string hdop;
    std::string altitude;  // metres above sea level
    std::string altitude_unit;
    std::string geoid;  // separation of the geoid from the ellipsoid, metres
    std::string geoid_unit;
    std::string eta_dgps;
    std::string dgps_station;
};
// $GPGGA,201528,4400.6787,N,01007.7087,E,1,03,6.3,254.5,M,47.9,M,,*44
std::string sentence(const Gga& f, std::string_view prefix = {});

// Course and speed over ground.
struct Vtg {
    std::string course_true;
    std::string course_magnetic;
    std::string knots;
    std::string kmh;
};
// $GPVTG,327.9,T,327.4,M,03.0,N,05.5,K*40
std::string sentence(const Vtg& f, std::string_view prefix = {});

// Dilution of precision and the satellites in use.
struct Gsa {
    std::string mode;  // A automatic
    std::string fix;   // 1 none, 2 2D, 3 3D
    std::array<std::string, 12> satellites;
    std::string pdop;
    std::string hdop;
    std::string vdop;
};
// $GPGSA,A,3,,,,18,,,27,29,,,,,6.3,6.3,1.0*34
std::string sentence(const Gsa& f, std::string_view prefix = {});

// Satellites in view, four to a sentence. The last sentence of a group may
// carry fewer: the blocks after its last satellite with a number are left
// out, as NMEA 0183 allows ("$GPGSV,3,3,09,29,33,067,46*48", and
// "$GPGSV,1,1,00*79" with none in view).
struct Gsv {
    struct Satellite {
        std::string number;
        std::string elevation;
        std::string azimuth;
        std::string snr;  // signal to noise, dB; empty when not tracked
    };
    std::string sentences;   // sentences in the group
    std::string this_one;  // this one's number in the group
    std::string in_view;
    std::array<Satellite, 4> satellites;
};
// $GPGSV,2,1,08,04,47,228,46,14,05,121,,16,16,303,39,18,57,057,46*7C
std::string sentence(const Gsv& f, std::string_view prefix = {});

// Estimated position error, a proprietary sentence of the maker code GRM.
struct Rme {
    std::string horizontal;  // metres
    std::string vertical;
    std::string spherical;
};
// $PGRME,297.9,M,300.0,M,297.9,M*2D
std::string sentence(const Rme& f, std::string_view prefix = {});

// Date and time; the local zone as hours and minutes from UTC.
struct Zda {
    std::string time_field;
    std::string day;
    std::string month;
    std::string year;  // four digits
    std::string zone_hours;
    std::string zone_minutes;
};
// $GPZDA,201528,09,05,2003,00,00*49
std::string sentence(const Zda& f, std::string_view prefix = {});

// Geographic position, latitude and longitude, with the time of the fix.
struct Gll {
    std::string lat;
    std::string ns;
    std::string lon;
    std::string ew;
    std::string time_field;
    std::string status;  // A valid, V no fix
    std::string mode;   // A autonomous, N not valid
};
// $GPGLL,4400.6787,N,01007.7087,E,201528,A,A*4B
std::string sentence(const Gll& f, std::string_view prefix = {});

// Heading, degrees true: the receiver's own (GP, or GN as the full set's
// talker says) or a gyro's (HE).
struct Hdt {
    std::string heading;  // empty when unknown
    std::string talker = "GP";
};
// $GPHDT,327.9,T*3A
std::string sentence(const Hdt& f, std::string_view prefix = {});

// The own ship's instruments: each sentence with its sensor's usual talker.
// Angles in degrees, speeds in knots unless named; "E" or "W" beside a
// correction, both empty when it is not known.

// Heading of a magnetic sensor, with its deviation and the variation.
struct Hdg {
    std::string heading;
    std::string deviation;
    std::string deviation_ew;
    std::string variation;
    std::string variation_ew;
};
// $HCHDG,351.7,1.5,E,2.0,E*44
std::string sentence(const Hdg& f, std::string_view prefix = {});

// Rate of turn, degrees a minute, negative to port.
struct Rot {
    std::string rate;
};
// $TIROT,-12.0,A*25
std::string sentence(const Rot& f, std::string_view prefix = {});

// Heading and speed through the water.
struct Vhw {
    std::string heading_true;
    std::string heading_magnetic;
    std::string knots;
    std::string kmh;
};
// $VWVHW,355.2,T,,M,10.2,N,18.9,K*78
std::string sentence(const Vhw& f, std::string_view prefix = {});

// Wind angle relative to the bow and speed: R the apparent wind, T the
// true (theoretical) one.
struct Mwv {
    std::string angle;
    std::string reference;  // R or T
    std::string knots;
};
// $WIMWV,303.7,R,18.0,N,A*1D
std::string sentence(const Mwv& f, std::string_view prefix = {});

// Wind direction (where it blows from) and speed.
struct Mwd {
    std::string direction_true;
    std::string direction_magnetic;
    std::string knots;
    std::string metres_per_second;
};
// $WIMWD,270.0,T,268.0,M,15.0,N,7.7,M*67
std::string sentence(const Mwd& f, std::string_view prefix = {});

// Depth below the transducer in feet, metres and fathoms.
struct Dbt {
    std::string feet;
    std::string metres;
    std::string fathoms;
};
// $SDDBT,41.0,f,12.5,M,6.8,F*0B
std::string sentence(const Dbt& f, std::string_view prefix = {});

// Depth below the transducer and the transducer's offset, metres: positive
// from the transducer to the water line, negative to the keel.
struct Dpt {
    std::string depth;
    std::string offset;
};
// $SDDPT,12.5,0.5*64
std::string sentence(const Dpt& f, std::string_view prefix = {});

// Water temperature, degrees Celsius.
struct Mtw {
    std::string celsius;
};
// $SDMTW,14.0,C*01
std::string sentence(const Mtw& f, std::string_view prefix = {});

// Distance through the water, nautical miles: in all and since the reset.
struct Vlw {
    std::string total;
    std::string since_reset;
};
// $VWVLW,3.25,N,3.25,N*4C
std::string sentence(const Vlw& f, std::string_view prefix = {});

}  // namespace vadrel
