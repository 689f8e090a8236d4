#include <gtest/gtest.h>

#include <functional>

#include "config/vehicle_table.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

constexpr const char* empty_line = "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#";

// The line vadrel.cnf writes for vehicle 1 after it was read as `read` and
// then `after` happened.
TEST(VehicleTable, ARecordStaysAsReadWhileItsVehicleIsWhatItReadsAs) {
    const struct {
        const char* name;
        const char* read;
        std::function<void(Fleet&)> after;
        const char* written;
    } rows[] = {
        {"a plain record", "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#", [](Fleet&) {},
         "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#"},
        {"odd letters, minutes past 59, both flags: untouched", "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#",
         [](Fleet&) {}, "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#"},
        {"the same, once the current vehicle: letters and flags as the panel shows them",
         "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#",
         [](Fleet& f) {
             f.set_current(1, nullptr);
             f.set_current(0, nullptr);
         },
         "44,75,\"N\",,10,8,\"E\",0,400,#FALSE#,#TRUE#"},
        {"never filled: as read", empty_line, [](Fleet&) {}, empty_line},
        {"never filled, once the current vehicle", empty_line, [](Fleet& f) { f.set_current(1, nullptr); },
         "0,0,\"N\",,0,0,\"E\",0,0,#FALSE#,#FALSE#"},
        {"moved: as the panel shows it, to the whole second", "44,75,\"n\",,10,8,\"E \",0,400,#TRUE#,#TRUE#",
         [](Fleet& f) { f.place(1, std::nullopt, -0.4, nullptr); }, "45,15,\"N\",,0,0,\"W\",0,400,#FALSE#,#TRUE#"},
        {"a speed set", "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#", [](Fleet& f) { f.set_speed(1, 12.5, nullptr); },
         "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#"},
        {"a unit set", "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#",
         [](Fleet& f) { f.set_unit(1, SpeedUnit::kmh, nullptr); }, "45,30,\"S\",,9,12,\"W\",12,270,#TRUE#,#FALSE#"},
    };
    for (const auto& row : rows) {
        Fleet fleet;
        VehicleTable table(fleet);
        VehicleRecords records{};
        ASSERT_EQ(read_table_text(testing::cnf_text(std::string(empty_line) + "\r\n" + row.read + "\r\n"), records), 1);
        table.load(records, true);
        row.after(fleet);
        const std::string text = table.text();
        const std::size_t second = text.find("\r\n") + 2;
        EXPECT_EQ(text.substr(second, text.find("\r\n", second) - second), row.read == row.written ? row.read : row.written)
            << row.name;
    }
}

// What a record reads as, and back.
TEST(VehicleTable, RecordsAndVehicles) {
    const VehicleRecord south{0, 0, 0, "S", 0, 0, 0, "W", -5, 360, 0, 0};
    const Vehicle v = vehicle_of(south);
    EXPECT_TRUE(std::signbit(v.lat) && std::signbit(v.lon)) << "on the lines, south and west";
    EXPECT_EQ(v.unit, SpeedUnit::none);
    EXPECT_EQ(record_of(v), south);
    EXPECT_EQ(vehicle_of({0, 0, 0, "N", 0, 0, 0, "E", 0, 0, -1, -1}).unit, SpeedUnit::knots);
    const VehicleRecord rounded = record_of(Vehicle{-(44 * 3600 + 59 * 60 + 59.5), 1.0, 12.5, 13.5, SpeedUnit::kmh});
    EXPECT_EQ(rounded, (VehicleRecord{45, 0, 0, "S", 0, 0, 1, "E", 14, 12, -1, 0}));
}

// A file not read whole leaves vehicle 0 to the panel; the others get what
// it filled.
TEST(VehicleTable, AFileNotReadWhole) {
    Fleet fleet;
    fleet.place(0, 44 * 3600.0, 10 * 3600.0, nullptr);
    VehicleTable table(fleet);
    VehicleRecords records{};
    EXPECT_EQ(read_table_text("45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n"
                              "46,0,\"N\",,1,0,\"E\",1,1,#TRUE#,#FALSE#\r\n1,2",
                              records),
              0);
    table.load(records, false);
    EXPECT_EQ(fleet.vehicle(0).lat, 44 * 3600.0);
    EXPECT_EQ(fleet.vehicle(1).lat, 46 * 3600.0);
    EXPECT_EQ(table.text().substr(0, table.text().find("\r\n")), "44,0,\"N\",,10,0,\"E\",0,0,#FALSE#,#FALSE#");
}

}  // namespace
}  // namespace vadrel
