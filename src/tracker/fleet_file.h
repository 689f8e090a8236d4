#pragma once
// A fleet file: the devices that report to a tracking server, one a row.
// CSV with a header naming the columns (";" a tab or "," between them, as
// the route files' CSV), or JSON, a list of objects with the same names:
//
//   id;lat;lon;rotta;velocita_kmh;percorso;fine;intervallo;zona
//   taxi-1;45.07;7.68;90;40;;;;
//   taxi-2;45.07;7.68;0;30;giro.gpx;ciclo;5;
//   cane-1;45.1;7.7;0;6;;;;45.1,7.7,0.5
//
//   [{"id": "taxi-1", "lat": 45.07, "lon": 7.68, "rotta": 90, "velocita_kmh": 40}]
//
// id (unique, 1 to 64 of letters, digits and - _ . : @ +), lat, lon,
// rotta (0 to 360) and velocita_kmh (0 to 10000) on every row; percorso a
// route file (relative to the fleet file's folder) the device follows from
// where it is, with fine (ferma, ciclo, indietro); intervallo the whole
// seconds between its reports (1 to 3600; the fleet's when empty); zona
// "LAT,LON,RAGGIO_KM", a circle the device wanders in and never leaves
// (it starts inside). A route and a zone do not go together.
//
// The whole file is checked before anything is used; the first problem is
// told as "FILE:LINE: campo: motivo". Bounded: max_fleet_file_bytes,
// max_fleet_devices rows, max_fleet_line_bytes a line; a FIFO, a device or
// a folder is refused before it is read.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "routes/follower.h"

namespace vadrel {

inline constexpr std::uint64_t max_fleet_file_bytes = 16ull * 1024 * 1024;
inline constexpr std::size_t max_fleet_devices = 100000;
inline constexpr std::size_t max_fleet_line_bytes = 4096;
inline constexpr std::size_t max_device_id = 64;
inline constexpr int max_report_interval = 3600;
inline constexpr double max_device_speed_kmh = 10000.0;
inline constexpr double max_zone_radius_km = 1000.0;

struct DeviceZone {
    double lat = 0.0;  // degrees
    double lon = 0.0;
    double radius_km = 0.0;
    bool operator==(const DeviceZone&) const = default;
};

// One row: a device as the file gives it.
struct FleetEntry {
    std::string id;
    double lat = 0.0;  // degrees
    double lon = 0.0;
    double course = 0.0;  // degrees true
    double speed_kmh = 0.0;
    std::string route;  // the route file's path, folder joined; "" for none
    RouteEnd end = RouteEnd::stop;
    int interval = 0;   // seconds; 0: the fleet's
    std::optional<DeviceZone> zone;
    std::int64_t line = 0;  // where the row is, for a later refusal (its route)
    bool operator==(const FleetEntry&) const = default;
};

struct FleetProblem {
    std::string file;
    std::int64_t line = 0;  // 0: the file as a whole
    std::string field;      // the column; "" for none
    std::string reason;     // Italian
    // "FILE:LINE: campo: motivo" (each part left out when it has none).
    std::string message() const;
    bool operator==(const FleetProblem&) const = default;
};

using FleetReading = std::variant<std::vector<FleetEntry>, FleetProblem>;

// The bytes of a fleet file named `file` (for the messages); route paths are
// joined to `folder` unless absolute. JSON when the first thing in it is
// "[", CSV otherwise.
FleetReading read_fleet_text(std::string_view bytes, const std::string& file, const std::string& folder);
// A regular file, read whole within its bounds.
FleetReading read_fleet_file(const std::string& path);

// The rows instance `part` of `parts` takes (from 1): rows part, part +
// parts, part + 2 parts ... in the file's order.
std::vector<FleetEntry> fleet_part(std::vector<FleetEntry> entries, int part, int parts);

namespace fleet_parsing {

// A row as named texts, checked into an entry; nullopt with `problem` set.
struct RowText {
    std::vector<std::pair<std::string, std::string>> fields;  // column, text
    std::int64_t line = 0;
};
class RowChecker {
public:
    RowChecker(std::string file, std::string folder, bool comma_decimals);
    // False with problem() set when the row is refused.
    bool add(const RowText& row);
    // The column names a row may carry; unknown ones are refused.
    static bool known_column(std::string_view name);
    static const std::vector<std::string>& required_columns();
    std::vector<FleetEntry> take() { return std::move(entries_); }
    const FleetProblem& problem() const { return problem_; }
    bool fail(std::int64_t line, std::string field, std::string reason);
    std::size_t size() const { return entries_.size(); }

private:
    std::optional<double> number(const std::string& text, std::int64_t line, const std::string& field, double low,
                                 double high);
    bool read_zone(const std::string& text, std::int64_t line, FleetEntry& entry);

    std::string file_, folder_;
    bool comma_;
    std::vector<FleetEntry> entries_;
    std::unordered_map<std::string, std::int64_t> ids_;  // the line of each id, for duplicates
    FleetProblem problem_;
};

// JSON: a list of flat objects whose values are strings or numbers.
FleetReading read_fleet_json(std::string_view bytes, RowChecker& checker, const std::string& file);

}  // namespace fleet_parsing

}  // namespace vadrel
