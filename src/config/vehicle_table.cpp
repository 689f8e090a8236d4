#include "vehicle_table.h"

#include <algorithm>
#include <cmath>

namespace vadrel {

namespace {

double coordinate_of(std::int16_t degrees, std::int16_t minutes, std::int16_t seconds, const std::string& letter,
                     const char* negative) {
    return arc_seconds_of(WholeSeconds{degrees, minutes, seconds, letter == negative});
}

// The letters and flags of a record as the panel shows its vehicle.
void as_shown(VehicleRecord& r) {
    if (r.lat_hemisphere != "N" && r.lat_hemisphere != "S") r.lat_hemisphere = "N";
    if (r.lon_hemisphere != "E" && r.lon_hemisphere != "W") r.lon_hemisphere = "E";
    if (r.kmh != 0 && r.knots != 0) r.kmh = 0;
}

// Whether a saved coordinate rounds to the record's degrees, minutes and
// letter; exactly on the line the record's letter counts.
bool agrees(double exact, std::int16_t degrees, std::int16_t minutes, const std::string& letter, char positive,
            char negative) {
    const bool south_or_west = exact == 0.0 ? letter == std::string(1, negative) : exact < 0.0;
    const WholeSeconds shown = whole_seconds(exact);
    return shown.degrees == degrees && shown.minutes == minutes &&
           letter == std::string(1, south_or_west ? negative : positive);
}

}  // namespace

Vehicle vehicle_of(const VehicleRecord& r) {
    Vehicle v;
    v.lat = coordinate_of(r.lat_degrees, r.lat_minutes, r.lat_seconds, r.lat_hemisphere, "S");
    v.lon = coordinate_of(r.lon_degrees, r.lon_minutes, r.lon_seconds, r.lon_hemisphere, "W");
    v.course = r.course;
    v.speed = r.speed;
    v.unit = r.knots != 0 ? SpeedUnit::knots : r.kmh != 0 ? SpeedUnit::kmh : SpeedUnit::none;
    return v;
}

VehicleRecord record_of(const Vehicle& v) {
    const WholeSeconds lat = whole_seconds(v.lat);
    const WholeSeconds lon = whole_seconds(v.lon);
    return {lat.degrees,
            lat.minutes,
            lat.seconds,
            lat.negative ? "S" : "N",
            lon.degrees,
            lon.minutes,
            lon.seconds,
            lon.negative ? "W" : "E",
            whole_number(v.speed),
            whole_number(v.course),
            static_cast<std::int16_t>(v.unit == SpeedUnit::kmh ? -1 : 0),
            static_cast<std::int16_t>(v.unit == SpeedUnit::knots ? -1 : 0)};
}

VehicleTable::VehicleTable(Fleet& fleet) : fleet_(fleet) {
    // The table before any file: every record never filled, every vehicle
    // what such a record reads as.
    for (std::size_t n = 0; n < fleet_size; ++n) kept_[n] = Kept{VehicleRecord{}, fleet_.vehicle(n)};
    watch_ = fleet_.watch([this](std::size_t n, Change what, Fleet::Origin) {
        if (what == Change::current && kept_[n]) as_shown(kept_[n]->record);
    });
    if (kept_[fleet_.current()]) as_shown(kept_[fleet_.current()]->record);
}

VehicleTable::~VehicleTable() { fleet_.unwatch(watch_); }

void VehicleTable::load(const VehicleRecords& records, bool whole, std::size_t reached) {
    if (!whole) kept_[0].reset();
    for (std::size_t n = whole ? 0 : 1; n < std::min(reached, fleet_size); ++n) {
        fleet_.load(n, vehicle_of(records[n]), this);
        kept_[n] = Kept{records[n], fleet_.vehicle(n)};
    }
    if (whole && kept_[fleet_.current()]) as_shown(kept_[fleet_.current()]->record);
}

void VehicleTable::take_positions(const SavedPositions& saved) {
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (!saved[n] || !kept_[n]) continue;
        const VehicleRecord& r = kept_[n]->record;
        if (!agrees(saved[n]->lat, r.lat_degrees, r.lat_minutes, r.lat_hemisphere, 'N', 'S') ||
            !agrees(saved[n]->lon, r.lon_degrees, r.lon_minutes, r.lon_hemisphere, 'E', 'W')) {
            continue;
        }
        const auto on_line = [](double exact, bool negative) {
            return exact == 0.0 ? std::copysign(0.0, negative ? -1.0 : 1.0) : exact;
        };
        fleet_.place(n, on_line(saved[n]->lat, r.lat_hemisphere == "S"),
                     on_line(saved[n]->lon, r.lon_hemisphere == "W"), this);
        kept_[n]->loaded = fleet_.vehicle(n);
    }
}

VehicleRecords VehicleTable::records() const {
    VehicleRecords records;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        const Vehicle& v = fleet_.vehicle(n);
        records[n] = kept_[n] && v.same_values(kept_[n]->loaded) ? kept_[n]->record : record_of(v);
    }
    return records;
}

std::string VehicleTable::positions_text() const {
    std::array<SavedPosition, fleet_size> positions;
    for (std::size_t n = 0; n < fleet_size; ++n) positions[n] = {fleet_.vehicle(n).lat, fleet_.vehicle(n).lon};
    return vadrel::positions_text(positions);
}

}  // namespace vadrel
