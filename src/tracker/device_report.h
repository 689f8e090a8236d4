#pragma once
// One report of one tracked device: what a tracking server is told of the
// device at one instant. The devices of a fleet file make them (one a
// device and interval); the protocols' senders (report_sender.h) put them
// into each server's own words. Plain values, no Qt.

#include <cstdint>
#include <string>

namespace vadrel {

struct DeviceReport {
    std::string id;           // the device's identifier, as the fleet file gives it
    double lat = 0.0;         // degrees, north positive
    double lon = 0.0;         // degrees, east positive
    double speed_knots = 0.0; // over ground
    double course = 0.0;      // degrees true, 0 to 360
    double altitude = 0.0;    // metres
    double accuracy = 0.0;    // metres
    std::int64_t utc_ms = 0;  // the simulated instant, milliseconds since 1970 UTC
    std::uint32_t device = 0; // the device's number in its fleet (from 0), for a sender that keeps a state per device
    bool operator==(const DeviceReport&) const = default;
};

}  // namespace vadrel
