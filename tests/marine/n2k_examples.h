#pragma once
// The values the NMEA 2000 tests encode: a class A report under way off
// Sydney, a ship's static and voyage data with every field set, and every
// instrument reading.

#include "ais/messages.h"
#include "marine/instrument_readings.h"

namespace vadrel::testing {

inline ais::PositionReport report_of(std::uint32_t mmsi) {
    ais::PositionReport r;
    r.mmsi = mmsi;
    r.status = ais::NavigationalStatus::under_way_using_engine;
    r.speed = 123;  // 12.3 kn
    r.accuracy = true;
    r.latitude = -33 * 600000 - 513408;   // 33 deg 51.3408' S
    r.longitude = 151 * 600000 + 129180;  // 151 deg 12.9180' E
    r.course = 2005;
    r.heading = 200;
    r.second = 30;
    return r;
}

inline ais::StaticData static_example() {
    ais::StaticData data;
    data.mmsi = 247123450;
    data.imo = 9074729;
    data.call_sign = "IABC";
    data.name = "NAVE CITTA";
    data.ship_type = 60;
    data.dimensions = {100, 20, 5, 7};
    data.eta_month = 12;
    data.eta_day = 24;
    data.eta_hour = 18;
    data.eta_minute = 30;
    data.draught = 35;
    data.destination = "GENOVA";
    return data;
}

// Heading 12, 9.5 kn through the water, the wind of a ship north at 10 kn
// under a true wind from 270 at 15 kn, 12.5 m of water, 14 degrees.
inline InstrumentReadings instrument_example() {
    InstrumentReadings r;
    r.heading_true = 12.0;
    r.water_speed_knots = 9.5;
    r.apparent_wind = WindReading{303.7, 18.03};
    r.true_wind_relative = WindReading{270.0, 15.0};
    r.true_wind = WindReading{270.0, 15.0};
    r.depth_below_transducer = 12.5;
    r.transducer_offset = 0.5;
    r.water_temperature = 14.0;
    return r;
}

}  // namespace vadrel::testing
