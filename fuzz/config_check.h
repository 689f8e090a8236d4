#pragma once
// What must hold for any bytes given to the configuration reader: the result
// is 1 or 0, and whatever table it leaves is written as a file that reads
// back, with result 1, into the same table (texts as the writer must change
// them, flags as -1/0, seconds not kept). The same bytes read as the exact
// positions beside it give positions in range that read back the same once
// written. Shared by the fuzzer and the corpus test.

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "config/configurazione.h"

namespace vadrel::fuzzing {

// The same bytes as vadrel.pos: each position read is within its ranges,
// and, kept as the exact positions of the records of `table`, is written so
// that it reads back to the same double.
inline std::string check_positions(std::string_view bytes, const std::array<veicolo, numero_mezzi>& table) {
    const PosizioniSalvate read = leggi_posizioni_testo(bytes);
    std::array<ExactPosition, numero_mezzi> exact{};
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (!read[i]) continue;
        if (!(std::fabs(read[i]->lat) <= 324000.0 && std::fabs(read[i]->lon) <= 648000.0)) {
            return "position " + std::to_string(i) + " out of range";
        }
        const veicolo& v = table[i];
        exact[i] = {read[i]->lat, read[i]->lon, ShownCoordinate{v.lat_g, v.lat_p, v.lat_s, v.lat_ns},
                    ShownCoordinate{v.lon_g, v.lon_p, v.lon_s, v.lon_ew}};
    }
    const PosizioniSalvate back = leggi_posizioni_testo(testo_posizioni(table, exact));
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (read[i] && !(back[i] == read[i])) return "position " + std::to_string(i) + " reads back otherwise";
    }
    return {};
}

// Empty when all holds, otherwise what did not.
inline std::string check_configurazione(std::string_view bytes) {
    std::array<veicolo, numero_mezzi> table{};
    for (auto& v : table) v = veicolo{-7, -7, -7, "?", -7, -7, -7, "?", -7, -7, 5, 5};
    const std::int16_t result = leggi_configurazione_testo(bytes, table);
    if (result != 0 && result != 1) return "result " + std::to_string(result);

    const std::string text = testo_configurazione(table);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') return "CR without LF in the written file";
            ++lines;
            ++i;
        } else if (c < 0x20 || c > 0x7E) {
            return "byte " + std::to_string(c) + " in the written file";
        }
    }
    if (lines != 22) return "written file of " + std::to_string(lines) + " lines";

    std::array<veicolo, numero_mezzi> back{};
    if (leggi_configurazione_testo(text, back) != 1) return "the written file does not read back";
    for (std::size_t i = 0; i < table.size(); ++i) {
        veicolo expected = table[i];
        expected.lat_s = 0;
        expected.lon_s = 0;
        expected.lat_ns = testo_scrivibile(expected.lat_ns);
        expected.lon_ew = testo_scrivibile(expected.lon_ew);
        expected.km = expected.km != 0 ? -1 : 0;
        expected.miglia = expected.miglia != 0 ? -1 : 0;
        if (!(back[i] == expected)) return "record " + std::to_string(i) + " reads back otherwise";
    }
    return check_positions(bytes, table);
}

}  // namespace vadrel::fuzzing
