#pragma once
// What must hold for any bytes given to the fleet file's reader, shared by
// the fuzzer and the corpus test:
// * a refusal names the file, a line not past the file's last, and a reason;
// * every device accepted has an id of the allowed characters, unique, a
//   position on the globe, a course 0 to 360, a speed 0 to the bound, an
//   interval 0 (the fleet's) to the bound, and a zone that holds it;
// * the same bytes read twice give the same reading.

#include <set>
#include <string>
#include <string_view>
#include <variant>

#include "routes/geodesy.h"
#include "tracker/fleet_file.h"

namespace vadrel::fuzzing {

inline std::string check_fleet_file(std::string_view bytes) {
    const FleetReading read = read_fleet_text(bytes, "f", "/d");
    if (!(read_fleet_text(bytes, "f", "/d") == read)) return "two readings differ";
    if (const auto* problem = std::get_if<FleetProblem>(&read)) {
        if (problem->file != "f" || problem->reason.empty()) return "a refusal without its file or reason";
        std::int64_t lines = 1;
        for (const char c : bytes) lines += c == '\n';
        if (problem->line < 0 || problem->line > lines) return "a refusal past the last line: " + problem->message();
        return {};
    }
    std::set<std::string> ids;
    for (const FleetEntry& e : std::get<std::vector<FleetEntry>>(read)) {
        if (e.id.empty() || e.id.size() > max_device_id || !ids.insert(e.id).second) return "a bad or repeated id";
        if (!(e.lat >= -90 && e.lat <= 90 && e.lon >= -180 && e.lon <= 180)) return "a device off the globe";
        if (!(e.course >= 0 && e.course < 360) || !(e.speed_kmh >= 0 && e.speed_kmh <= max_device_speed_kmh))
            return "a course or speed out of range";
        if (e.interval < 0 || e.interval > max_report_interval) return "an interval out of range";
        if (e.zone && distance_m({e.zone->lat, e.zone->lon}, {e.lat, e.lon}) > e.zone->radius_km * 1000.0)
            return "a device outside its zone";
    }
    if (ids.empty()) return "a fleet of no device accepted";
    return {};
}

}  // namespace vadrel::fuzzing
