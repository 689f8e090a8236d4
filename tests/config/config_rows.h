#pragma once
// Tables shared by the configuration tests.

#include <array>
#include <string>

#include "config/configurazione.h"

namespace vadrel::testing {

using Tabella = std::array<veicolo, numero_mezzi>;

// The two vehicles of the documented example; every other record never filled.
inline Tabella worked_example_table() {
    Tabella t{};
    t[0] = veicolo{44, 1, 0, "N", 10, 8, 0, "E", 30, 90, -1, 0};
    t[1] = veicolo{45, 30, 0, "N", 9, 12, 0, "E", 12, 270, 0, -1};
    return t;
}

inline std::string worked_example_text() {
    std::string text = "44,1,\"N\",,10,8,\"E\",30,90,#TRUE#,#FALSE#\r\n"
                       "45,30,\"N\",,9,12,\"E\",12,270,#FALSE#,#TRUE#\r\n";
    for (int i = 2; i < numero_mezzi; ++i) text += "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#\r\n";
    text += "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";
    return text;
}

// Every record filled, each differently, the 16-bit extremes included.
inline Tabella full_table() {
    Tabella t{};
    for (int i = 0; i < numero_mezzi; ++i) {
        auto& v = t[static_cast<std::size_t>(i)];
        const auto n = static_cast<std::int16_t>(i);
        v.lat_g = static_cast<std::int16_t>(i * 4);
        v.lat_p = static_cast<std::int16_t>(59 - i);
        v.lat_s = static_cast<std::int16_t>(i + 1);
        v.lat_ns = i % 2 == 0 ? "N" : "S";
        v.lon_g = static_cast<std::int16_t>(179 - i * 8);
        v.lon_p = static_cast<std::int16_t>(i * 2);
        v.lon_s = static_cast<std::int16_t>(58 - i);
        v.lon_ew = i % 3 == 0 ? "W" : "E";
        v.vel = static_cast<std::int16_t>(n * 37 - 100);
        v.angolo = static_cast<std::int16_t>(n * 17);
        v.km = i % 2 == 0 ? -1 : 0;
        v.miglia = i % 2 == 0 ? 0 : -1;
    }
    t[19].vel = 32767;
    t[19].angolo = -32768;
    t[20].lat_ns = "";
    t[20].lon_ew = "";
    t[20].km = 0;
    t[20].miglia = 0;
    return t;
}

// A table of values no file would hold, to see which records a read touched.
inline Tabella sentinel_table() {
    Tabella t{};
    for (auto& v : t) v = veicolo{-7, -7, -7, "?", -7, -7, -7, "?", -7, -7, 5, 5};
    return t;
}

}  // namespace vadrel::testing
