#pragma once
// The fleet as vadrel.cnf and vadrel.pos hold it. A vehicle's record is
// made as the panel's boxes show the vehicle (its position rounded to whole
// seconds), except that a vehicle still what its record read as keeps that
// record exactly as read (odd hemisphere letters, minutes past 59, both
// unit flags): the file changes only where the fleet did. A record whose
// vehicle has been the current one has its letters and flags as the panel
// showed them: a hemisphere other than N/S (E/W) as N (E), both unit flags as
// miglia/h.
//
//   VehicleTable table(fleet);      // before start-up: 21 records never filled
//   table.load(records, whole);     // vadrel.cnf read
//   table.take_positions(saved);    // vadrel.pos, where it agrees with vadrel.cnf
//   file.save(table.text(), table.positions_text());

#include <array>
#include <optional>
#include <string>

#include "config/vehicle_record.h"
#include "fleet/fleet.h"

namespace vadrel {

// What a record says of its vehicle: a hemisphere "S" ("W") is south
// (west), anything else north (east); the miglia/h flag gives knots, else
// the Km/h flag km/h, else no unit.
Vehicle vehicle_of(const VehicleRecord& record);
// The record of a vehicle as the panel shows it.
VehicleRecord record_of(const Vehicle& vehicle);

class VehicleTable {
public:
    explicit VehicleTable(Fleet& fleet);
    ~VehicleTable();
    VehicleTable(const VehicleTable&) = delete;
    VehicleTable& operator=(const VehicleTable&) = delete;

    // The first `reached` records read from vadrel.cnf into the fleet; a
    // vehicle past them stays as it is. A file not read whole leaves vehicle
    // 0 as it is (the panel's start-up position) and gives the others what
    // it filled.
    void load(const VehicleRecords& records, bool whole, std::size_t reached = fleet_size);
    // The exact positions kept beside vadrel.cnf, each taken only where,
    // rounded as the boxes show it, it gives the degrees, minutes and letter
    // its vehicle's record holds.
    void take_positions(const SavedPositions& saved);

    VehicleRecords records() const;
    // vadrel.cnf and vadrel.pos for the fleet as it is now.
    std::string text() const { return table_text(records()); }
    std::string positions_text() const;

private:
    // A record as read, and its vehicle as loaded from it.
    struct Kept {
        VehicleRecord record;
        Vehicle loaded;
    };

    Fleet& fleet_;
    std::array<std::optional<Kept>, fleet_size> kept_;
    Fleet::WatchId watch_ = 0;
};

}  // namespace vadrel
