#pragma once
// The configuration file vadrel.cnf: the vehicle table kept from one run to the
// next. 21 vehicle lines of eleven comma-separated items and an end-marker
// line of ten "#" texts, every line closed by CR LF:
//
//   44,1,"N",,10,8,"E",30,90,#TRUE#,#FALSE#
//   ...
//   "#","#","#","#","#","#","#","#","#","#"
//
// Items of a vehicle line: latitude degrees, minutes and hemisphere,
// (empty, read and thrown away), longitude degrees, minutes and hemisphere,
// speed, course, the Km/h flag and the miglia/h flag. The seconds are not
// kept.
//
// The reader and the writer over bytes are pure and free of Qt, so they can
// be fuzzed and tested without a disk; table_file.h does the file work in
// the program's folder.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fleet/fleet.h"

namespace vadrel {

inline constexpr const char* table_file_name = "vadrel.cnf";

// One vehicle line, its fields as the file fixes them. Flags are -1
// (selected) or 0.
struct VehicleRecord {
    std::int16_t lat_degrees = 0;
    std::int16_t lat_minutes = 0;
    std::int16_t lat_seconds = 0;  // not in the file
    std::string lat_hemisphere;
    std::int16_t lon_degrees = 0;
    std::int16_t lon_minutes = 0;
    std::int16_t lon_seconds = 0;  // not in the file
    std::string lon_hemisphere;
    std::int16_t speed = 0;
    std::int16_t course = 0;
    std::int16_t kmh = 0;
    std::int16_t knots = 0;
    bool operator==(const VehicleRecord&) const = default;
};
using VehicleRecords = std::array<VehicleRecord, fleet_size>;
// A vadrel.cnf that does not read back is copied, before the table replaces
// it, to vadrel.cnf.bak.1, .2, ... (a new number each time); the newest
// copie_conservate are kept. vadrel.cnf.bak alone is the copy earlier
// versions made: never touched.
inline constexpr const char* table_copy_name = "vadrel.cnf.bak";
inline constexpr unsigned kept_copies = 5;
// When vadrel.cnf has to be left as it is, the table is saved beside it
// under vadrel.cnf.nuovo.N, a number no earlier run used.
inline constexpr const char* separate_table_name = "vadrel.cnf.nuovo";
// A changed table is on disk within this time.
inline constexpr std::chrono::seconds save_interval{5};

// The vehicles' exact positions, beside vadrel.cnf (which keeps whole
// minutes), saved with it: a comment, then one line a vehicle with its
// number, latitude and longitude in seconds of arc, north and east
// positive, each written so that it reads back to the same double:
//
//   # vadrel: posizioni esatte dei veicoli ...
//   0 158506.65320000001 36486.3738
//
// vadrel.cnf stays the truth: a position is taken back only where it rounds
// to what its vehicle's record there says (VehicleTable::take_positions).
inline constexpr const char* positions_file_name = "vadrel.pos";

struct SavedPosition {
    double lat = 0.0;
    double lon = 0.0;
    bool operator==(const SavedPosition&) const = default;
};
using SavedPositions = std::array<std::optional<SavedPosition>, fleet_size>;

// The file of the vehicles' exact positions.
std::string positions_text(const std::array<SavedPosition, fleet_size>& positions);

// The positions in a file: a vehicle whose line is missing or cannot be
// read (not three numbers, a number past its range, not finite) has none.
SavedPositions read_positions_text(std::string_view text);

// What a read of vadrel.cnf did: `result` 1 when the end marker was
// reached, 0 on any failure; `reached` the records it stored into, from
// index 0 (the failing one included). The records from `reached` on are left
// as they were: a file whose first item is the marker changes none.
struct TableRead {
    std::int16_t result = 0;
    std::size_t reached = 0;
    bool operator==(const TableRead&) const = default;
};

// Reads the records of `content` into `records` from index 0 upward. On
// failure the records before the failing one are complete, and in the
// failing record the fields stored before the failing item hold their new
// values.
TableRead read_table(std::string_view content, VehicleRecords& records);
// The result alone.
inline std::int16_t read_table_text(std::string_view content, VehicleRecords& records) {
    return read_table(content, records).result;
}

// The whole file for `records`: 21 vehicle lines and the end-marker line.
std::string table_text(const VehicleRecords& records);

// The text as the file writes it: quotes and any byte that is not printable
// ASCII are replaced, so that every written file reads back.
std::string writable_text(std::string_view text);

}  // namespace vadrel
