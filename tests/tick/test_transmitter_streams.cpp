// Each vehicle's own stream beside the main output: which vehicles have
// one, what each holds in every mode, and that the main output's bytes
// stay as they are.

#include <gtest/gtest.h>

#include "nmea/sentences.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

struct FakeStreams final : VehicleOutput {
    bool streaming = true;
    std::vector<std::vector<std::optional<std::string>>> seconds;
    bool on() const override { return streaming; }
    void send(const std::vector<std::optional<std::string>>& bytes) override { seconds.push_back(bytes); }
};

// Vehicles 0, 1 and 2 of "Numero di mezzi mobili" 3, each at its own
// latitude (44, 45, 46 degrees) heading north at 36 km/h.
struct Fleet3 : Rig {
    FakeStreams streams;
    Fleet3() {
        port.force_open();
        for (std::size_t n = 0; n < 3; ++n) {
            fleet.place(n, (44.0 + static_cast<double>(n)) * 3600.0, 10.0 * 3600.0, nullptr);
            fleet.set_speed(n, 36.0, nullptr);
        }
        fleet.set_cycle(3, nullptr);
        fleet.set_streams(true, nullptr);
        transmitter.set_vehicle_output(&streams);
    }
};

TEST(TransmitterStreams, EachVehicleInUseHasItsOwnGpsStandardSecondInEveryMode) {
    const struct {
        Mode mode;
        const char* main_starts;  // the main output's bytes, as the mode has them
        const char* message;
    } rows[] = {
        {Mode::gps_standard, "$GPRMC,", "GPS standard: the current vehicle's stream is the main output"},
        {Mode::radio, "\r\n", "radio: the main output keeps its burst"},
        {Mode::multi_user, "@1$GPRMC,", "multi-user: the main output keeps its @n, in turn"},
    };
    for (const auto& row : rows) {
        Fleet3 r;
        r.fleet.set_mode(row.mode, nullptr);
        r.tick(0);
        r.tick(1);
        ASSERT_EQ(r.streams.seconds.size(), 2u) << row.message;
        EXPECT_EQ(r.port.written.back().rfind(row.main_starts, 0), 0u) << row.message;
        const auto& second = r.streams.seconds.back();
        ASSERT_EQ(second.size(), fleet_size) << row.message;
        for (std::size_t n = 0; n < fleet_size; ++n) {
            // one $GPRMC, its own latitude, moved on by the second
            const std::string own = "$GPRMC,201528,A," + std::to_string(44 + n) + "00.0";
            EXPECT_EQ(second[n] && second[n]->starts_with(own) && second[n]->find("\r\n") == second[n]->size() - 2,
                      n < 3)
                << row.message << ", vehicle " << n << ": " << second[n].value_or("none");
        }
        EXPECT_EQ(*second[0] == r.port.written.back(), row.mode == Mode::gps_standard) << row.message;
    }
}

TEST(TransmitterStreams, OffTheOtherVehiclesStayWhereTheyAreAndNothingIsMade) {
    Fleet3 r;
    r.streams.streaming = false;
    r.fleet.set_streams(false, nullptr);
    r.tick(0);
    r.tick(60);
    EXPECT_TRUE(r.streams.seconds.empty());
    EXPECT_EQ(r.fleet.vehicle(1).lat, 45.0 * 3600.0);
    // on: every vehicle in use moves with the ticks
    r.streams.streaming = true;
    r.fleet.set_streams(true, nullptr);
    r.tick(60);
    r.tick(60);
    EXPECT_GT(r.fleet.vehicle(1).lat, 45.0 * 3600.0 + 10.0);
}

TEST(TransmitterStreams, TheFaultsStayOnTheMainOutput) {
    Fleet3 r;
    OpzioniRicevitore options;
    options.guasti.attivi = true;
    options.guasti.checksum = 1.0;
    r.transmitter.set_receiver(options);
    r.tick(0);
    r.tick(1);
    ASSERT_FALSE(r.streams.seconds.empty());
    const std::string& own = *r.streams.seconds.back()[0];
    EXPECT_NE(r.port.written.back(), own);
    const std::string body = own.substr(0, own.find('*'));
    EXPECT_EQ(body + checksum_field(body) + "\r\n", own) << "a valid checksum";
}

}  // namespace
}  // namespace vadrel
