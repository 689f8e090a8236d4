#pragma once
// The AIS fields the NMEA 2000 tests encode: a class A report under way off
// Sydney, and a ship's static and voyage data with every field set.

#include "ais/messages.h"

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

}  // namespace vadrel::testing
