#pragma once
// The AIS sentences of one second for the vehicles in use: every vehicle
// other than the current one is a target the own ship hears (!AIVDM), and
// the current one, when asked, is the own ship (!AIVDO). Each sends as its
// transponder would (schedule.h): class A message 1 and 5, class B message
// 18 and 24 A and B.
//
//   AisTransmitter ais;                                  // one for the program
//   AisFleet fleet{vehicles_in_use, identities, current, false};
//   for (const std::string& s : ais.second({clock.steady(), 14, 5, 27}, fleet))
//       bytes += s + "\r\n";                             // after the second's own sentences
//
// Plain values in, sentences out: no clock read, no Qt. A vehicle that
// leaves the vehicles in use, or changes between own ship and target, or
// takes another MMSI or class, starts again as a new station (its static
// data at once); another change of its identity sends its static data at
// the next second.

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ais/identity.h"
#include "ais/schedule.h"
#include "ais/sentences.h"
#include "fleet/fleet.h"

namespace vadrel {

// The time of the second the messages tell.
struct AisTime {
    double steady = 0.0;  // the steady clock, seconds: the schedule's time
    int hour = 0;         // UTC
    int minute = 0;
    int second = ais::second_unknown;  // 0 .. 59; 60 when the time is not known
};

struct AisFleet {
    std::span<const Vehicle> vehicles;        // the vehicles in use, 0 .. n-1
    std::span<const AisIdentity> identities;  // theirs by number; one missing is default_identity
    std::size_t current = 0;                  // the own ship
    bool own_ship = false;                    // the own ship too, as !AIVDO
    // Vehicles from this number on are no targets: those between the last
    // target and an own ship past them are not in use.
    std::size_t targets = fleet_size;
    // Vehicles that report under way even when still (an encounter's
    // targets): status 0 and the 10 s rhythm, not moored and 3 minutes.
    std::bitset<fleet_size> under_way{};
};

// The stations of the fleet as it stands: its vehicles up to the current
// one, the targets those the fleet has in use as AIS targets
// (Fleet::in_use), the identities by vehicle.
AisFleet ais_fleet(const Fleet& fleet, std::span<const AisIdentity> identities, bool own_ship);
// The second at the steady time `steady` and the UTC clock's `utc` (seconds
// since 1970): hour, minute and second of the day; not known (60) when the
// clock gives no number.
AisTime ais_time(double steady, double utc);

// A vehicle's state as the position report carries it: the exact position
// cut to a ten-thousandth of a minute as the $GPRMC cuts it (so both tell
// the same digits), the speed over ground to a tenth of a knot and the
// course to a tenth of a degree rounded as the $GPRMC rounds them with the
// real motion, the heading the course in whole degrees; moored at speed 0,
// under way using engine otherwise.
struct AisFix {
    std::int32_t latitude = ais::latitude_unknown;
    std::int32_t longitude = ais::longitude_unknown;
    std::uint16_t speed = ais::speed_unknown;
    std::uint16_t course = ais::course_unknown;
    std::uint16_t heading = ais::heading_unknown;
    ais::NavigationalStatus status = ais::NavigationalStatus::not_defined;
    AisMotion motion;  // for the schedule
};
AisFix fix_of(const Vehicle& vehicle);

// The communication state of a class A report (SOTDMA): synchronised to
// UTC when the time is known, the slot's time-out counting down with the
// minutes, and the sub-message its time-out calls for (stations heard,
// slot number, UTC hour and minute, slot offset).
std::uint32_t sotdma_state(const AisTime& time, unsigned slot, unsigned stations_heard);

// A message a second sent, as its fields: for another form of the same
// report (NMEA 2000), so both always tell the same.
// `own`: the own ship's (!AIVDO), transmitted rather than heard.
struct AisReportSent {
    AisClass ais_class = AisClass::a;
    ais::PositionReport report;
    char channel = 'A';
    bool own = false;
};
struct AisStaticSent {
    AisClass ais_class = AisClass::a;
    ais::StaticData data;
    char channel = 'A';
    bool own = false;
};

class AisTransmitter {
public:
    std::vector<std::string> second(const AisTime& time, const AisFleet& fleet);
    // The vehicles whose position report the last second sent, in order.
    const std::vector<std::size_t>& positions_sent() const { return positions_sent_; }
    // The position reports and static data the last second sent, in order.
    const std::vector<AisReportSent>& reports_sent() const { return reports_sent_; }
    const std::vector<AisStaticSent>& statics_sent() const { return statics_sent_; }
    // The static data (message 5, or 24 A and B) of every station the last
    // second sent, for a receiver that has just begun to listen: the
    // schedule on the air, and the sequence ids of its sentences, are left
    // as they are.
    std::vector<std::string> static_sentences() const;

private:
    // No default member initializer here: clang decides whether the optional
    // can make a Station while this class is still being defined, and would
    // say no. emplace() value-initialises it (own false).
    struct Station {
        bool own;
        AisIdentity identity;
        ais::StaticData static_data;
        Transponder transponder;
    };
    static void send_static(const Station& station, char channel, ais::Framer& framer, std::vector<std::string>& out);
    void send(Station& station, std::size_t vehicle, const AisFix& fix, const AisTime& time,
              std::size_t stations_heard, std::vector<std::string>& out);

    std::array<std::optional<Station>, fleet_size> stations_;
    std::vector<std::size_t> positions_sent_;
    std::vector<AisReportSent> reports_sent_;
    std::vector<AisStaticSent> statics_sent_;
    ais::Framer framer_;
};

}  // namespace vadrel
