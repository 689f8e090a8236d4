#pragma once
// What must hold for any bytes given to the configuration reader: the result
// is 1 or 0, and whatever table it leaves is written as a file that reads
// back, with result 1, into the same table (texts as the writer must change
// them, flags as -1/0, seconds not kept); and loaded into a fleet, the table
// of that fleet is written the same. The same bytes read as the exact
// positions beside it give positions in range that read back the same once
// written. Shared by the fuzzer and the corpus test.

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "config/vehicle_table.h"

namespace vadrel::fuzzing {

// The same bytes as vadrel.pos: each position read is within its ranges,
// and is written so that it reads back to the same double.
inline std::string check_positions(std::string_view bytes) {
    const SavedPositions read = read_positions_text(bytes);
    std::array<SavedPosition, fleet_size> kept{};
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (!read[i]) continue;
        if (!(std::fabs(read[i]->lat) <= 324000.0 && std::fabs(read[i]->lon) <= 648000.0)) {
            return "position " + std::to_string(i) + " out of range";
        }
        kept[i] = *read[i];
    }
    const SavedPositions back = read_positions_text(positions_text(kept));
    for (std::size_t i = 0; i < read.size(); ++i) {
        if (read[i] && !(back[i] == read[i])) return "position " + std::to_string(i) + " reads back otherwise";
    }
    return {};
}

// Empty when all holds, otherwise what did not.
inline std::string check_table(std::string_view bytes) {
    VehicleRecords table{};
    for (auto& r : table) r = VehicleRecord{-7, -7, -7, "?", -7, -7, -7, "?", -7, -7, 5, 5};
    const TableRead read = read_table(bytes, table);
    const std::int16_t result = read.result;
    if (result != 0 && result != 1) return "result " + std::to_string(result);
    if (read.reached > table.size()) return "reached " + std::to_string(read.reached) + " records";
    for (std::size_t i = read.reached; i < table.size(); ++i) {
        if (table[i].lat_degrees != -7 || table[i].kmh != 5) {
            return "record " + std::to_string(i) + " changed, not reached";
        }
    }

    const std::string text = table_text(table);
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

    if (result == 1) {
        Fleet fleet;
        VehicleTable loaded(fleet);
        loaded.load(table, true);
        fleet.set_current(1, nullptr);
        fleet.set_current(0, nullptr);
        VehicleRecords shown = table;
        for (VehicleRecord& r : shown) {
            if (r.lat_hemisphere != "N" && r.lat_hemisphere != "S") r.lat_hemisphere = "N";
            if (r.lon_hemisphere != "E" && r.lon_hemisphere != "W") r.lon_hemisphere = "E";
            if (r.kmh != 0 && r.knots != 0) r.kmh = 0;
        }
        for (std::size_t i = 2; i < shown.size(); ++i) shown[i] = table[i];
        if (loaded.text() != table_text(shown)) return "the fleet loaded from the table writes another table";
    }
    VehicleRecords back{};
    if (read_table_text(text, back) != 1) return "the written file does not read back";
    for (std::size_t i = 0; i < table.size(); ++i) {
        VehicleRecord expected = table[i];
        expected.lat_seconds = 0;
        expected.lon_seconds = 0;
        expected.lat_hemisphere = writable_text(expected.lat_hemisphere);
        expected.lon_hemisphere = writable_text(expected.lon_hemisphere);
        expected.kmh = expected.kmh != 0 ? -1 : 0;
        expected.knots = expected.knots != 0 ? -1 : 0;
        if (!(back[i] == expected)) return "record " + std::to_string(i) + " reads back otherwise";
    }
    return check_positions(bytes);
}

}  // namespace vadrel::fuzzing
