#include "ais/transmitter.h"

#include <algorithm>
#include <cmath>

namespace vadrel {

namespace {

constexpr std::int32_t ten_thousandths_per_degree = 600000;
constexpr unsigned slots_per_minute = 2250;

// Ten-thousandths of a minute of `arc_seconds`, cut toward zero as the $GPRMC's digits are.
std::int32_t ten_thousandths(double arc_seconds, std::int32_t limit_degrees, std::int32_t unknown) {
    if (!std::isfinite(arc_seconds)) return unknown;
    const double limit = static_cast<double>(limit_degrees) * ten_thousandths_per_degree;
    const auto size = static_cast<std::int32_t>(std::min(std::fabs(arc_seconds) * 500.0 / 3.0, limit));
    return arc_seconds < 0.0 ? -size : size;
}

// Whether the time of the second is known (and makes sense).
bool known(const AisTime& time) {
    return time.second >= 0 && time.second < 60 && time.minute >= 0 && time.minute < 60 && time.hour >= 0 &&
           time.hour < 24;
}

ais::StaticData static_data_of(const AisIdentity& identity, std::size_t vehicle) {
    ais::StaticData data;
    data.mmsi = identity.mmsi;
    data.name = sent_name(identity, vehicle);
    data.call_sign = six_bit_text(identity.call_sign);
    data.ship_type = identity.ship_type;
    data.dimensions = identity.dimensions;
    data.serial = static_cast<std::uint32_t>(vehicle);
    return data;
}

}  // namespace

AisFleet ais_fleet(const Fleet& fleet, std::span<const AisIdentity> identities, bool own_ship) {
    // The fleet's AIS targets are vehicles 0 .. cycle - 1 but the current one.
    std::size_t targets = 0;
    for (std::size_t k = 0; k < fleet_size; ++k) {
        if (fleet.in_use(k).has(UseReason::ais_target)) targets = k + 1;
    }
    const std::size_t current = fleet.current();
    const std::size_t count = std::min(std::max(targets, current + 1), fleet_size);
    return {std::span<const Vehicle>(fleet.vehicles().data(), count), identities, current, own_ship, targets};
}

AisTime ais_time(double steady, double utc) {
    if (!std::isfinite(utc) || std::fabs(utc) > 1e15) return {steady, 0, 0, ais::second_unknown};
    const auto of_day = static_cast<long long>(std::floor(utc)) % 86400;
    const long long seconds = of_day < 0 ? of_day + 86400 : of_day;
    return {steady, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60)};
}

AisFix fix_of(const Vehicle& vehicle) {
    AisFix fix;
    fix.latitude = ten_thousandths(vehicle.lat, 90, ais::latitude_unknown);
    fix.longitude = ten_thousandths(vehicle.lon, 180, ais::longitude_unknown);
    const GroundMotion ground = ground_motion(vehicle);
    const double knots = ground.kmh / km_per_nautical_mile;
    if (std::isfinite(knots)) {
        fix.speed = static_cast<std::uint16_t>(std::min<long>(std::lround(knots * 10.0), ais::speed_highest));
    }
    if (std::isfinite(ground.course)) {
        fix.course = static_cast<std::uint16_t>(std::lround(ground.course * 10.0) % 3600);
        fix.heading = static_cast<std::uint16_t>(std::lround(ground.course) % 360);
    }
    const bool moving = vehicle.speed != 0.0;
    fix.status = moving ? ais::NavigationalStatus::under_way_using_engine : ais::NavigationalStatus::moored;
    fix.motion = {std::isfinite(knots) ? knots : 0.0, std::isfinite(ground.course) ? ground.course : 0.0, !moving};
    return fix;
}

std::uint32_t sotdma_state(const AisTime& time, unsigned slot, unsigned stations_heard) {
    const bool utc = known(time);
    const unsigned sync = utc ? 0 : 3;  // UTC direct, or from the station heard most
    const unsigned timeout = utc ? 7 - static_cast<unsigned>(time.minute) % 8 : 0;
    unsigned sub = 0;
    switch (timeout) {
        case 3:
        case 5:
        case 7: sub = std::min(stations_heard, 16383U); break;
        case 2:
        case 4:
        case 6: sub = slot % slots_per_minute; break;
        case 1: sub = static_cast<unsigned>(time.hour) << 9 | static_cast<unsigned>(time.minute) << 2; break;
        default: sub = slots_per_minute; break;  // the same slot in the next frame
    }
    return sync << 17 | timeout << 14 | (sub & 0x3FFFU);
}

std::vector<std::string> AisTransmitter::second(const AisTime& time, const AisFleet& fleet) {
    std::vector<std::string> out;
    positions_sent_.clear();
    reports_sent_.clear();
    statics_sent_.clear();
    const std::size_t in_use = std::min(fleet.vehicles.size(), stations_.size());
    for (std::size_t k = 0; k < stations_.size(); ++k) {
        const bool own = k == fleet.current;
        if (k >= in_use || (own && !fleet.own_ship) || (!own && k >= fleet.targets)) {
            stations_[k].reset();
            continue;
        }
        AisIdentity fallback;
        if (k >= fleet.identities.size()) fallback = default_identity(k);
        const AisIdentity& identity = k < fleet.identities.size() ? fleet.identities[k] : fallback;
        std::optional<Station>& station = stations_[k];
        if (station && (station->own != own || station->identity.mmsi != identity.mmsi ||
                        station->identity.ais_class != identity.ais_class)) {
            station.reset();
        }
        if (!station) {
            station.emplace();
            station->own = own;
            station->identity = identity;
            station->static_data = static_data_of(identity, k);
        } else if (station->identity != identity) {
            station->identity = identity;
            station->static_data = static_data_of(identity, k);
            station->transponder.amend();
        }
        AisFix fix = fix_of(fleet.vehicles[k]);
        if (fleet.under_way.test(k) && fix.status == ais::NavigationalStatus::moored) {
            fix.status = ais::NavigationalStatus::under_way_using_engine;
            fix.motion.moored = false;
        }
        send(*station, k, fix, time, in_use - 1, out);
    }
    return out;
}

void AisTransmitter::send(Station& station, std::size_t vehicle, const AisFix& fix, const AisTime& time,
                          std::size_t stations_heard, std::vector<std::string>& out) {
    const AisClass ais_class = station.identity.ais_class;
    const Transponder::Due due = station.transponder.due(time.steady, ais_class, fix.motion);
    const ais::Talker talker = station.own ? ais::Talker::own : ais::Talker::others;
    // The static data first: a display that meets a class B station's
    // message 18 before its 24 shows a nameless target (and some never
    // put the name on it).
    if (due.static_data) {
        const char channel = station.transponder.next_channel();
        send_static(station, channel, framer_, out);
        statics_sent_.push_back({ais_class, station.static_data, channel, station.own});
    }
    if (due.position) {
        ais::PositionReport report;
        report.mmsi = station.identity.mmsi;
        report.status = fix.status;
        report.speed = fix.speed;
        report.accuracy = true;  // the simulated position is exact
        report.longitude = fix.longitude;
        report.latitude = fix.latitude;
        report.course = fix.course;
        report.heading = fix.heading;
        report.second = static_cast<std::uint8_t>(known(time) ? time.second : ais::second_unknown);
        const unsigned slot = static_cast<unsigned>(std::max(report.second % 60, 0)) * slots_per_minute / 60 +
                              static_cast<unsigned>(vehicle);
        report.radio = sotdma_state(time, slot, static_cast<unsigned>(stations_heard));
        const ais::Payload payload =
            ais_class == AisClass::a ? ais::class_a_position(report) : ais::class_b_position(report);
        const char channel = station.transponder.next_channel();
        framer_.frame(payload, talker, channel, out);
        positions_sent_.push_back(vehicle);
        reports_sent_.push_back({ais_class, report, channel, station.own});
    }
}

void AisTransmitter::send_static(const Station& station, char channel, ais::Framer& framer, std::vector<std::string>& out) {
    const ais::Talker talker = station.own ? ais::Talker::own : ais::Talker::others;
    if (station.identity.ais_class == AisClass::a) {
        framer.frame(ais::static_and_voyage(station.static_data), talker, channel, out);
    } else {
        // Both parts on one channel: a receiver (gpsd) pairs B with the A
        // it heard on the same channel.
        framer.frame(ais::static_part_a(station.static_data), talker, channel, out);
        framer.frame(ais::static_part_b(station.static_data), talker, channel, out);
    }
}

std::vector<std::string> AisTransmitter::static_sentences() const {
    std::vector<std::string> out;
    // A framer of its own and channel A: the sequence ids and the
    // transponders' turns of A and B on the air stay as they are.
    ais::Framer framer;
    for (const std::optional<Station>& station : stations_) {
        if (station) send_static(*station, 'A', framer, out);
    }
    return out;
}

}  // namespace vadrel
