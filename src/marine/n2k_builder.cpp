#include "marine/n2k_builder.h"

#include "marine/n2k_messages.h"

namespace vadrel {

namespace {

void add_instruments(std::vector<n2k::Message>& out, std::uint8_t sid, const InstrumentReadings& r) {
    out.push_back(n2k::water_speed(sid, r.water_speed_knots));
    const auto wind = [&](const std::optional<WindReading>& reading, n2k::WindReference reference) {
        if (reading) out.push_back(n2k::wind_data(sid, reading->speed_knots, reading->angle, reference));
    };
    wind(r.apparent_wind, n2k::WindReference::apparent);
    wind(r.true_wind_relative, n2k::WindReference::true_boat);
    wind(r.true_wind, n2k::WindReference::true_north);
    if (r.depth_below_transducer) out.push_back(n2k::water_depth(sid, r.depth_below_transducer, r.transducer_offset));
    if (r.water_temperature) out.push_back(n2k::water_temperature(sid, r.water_temperature));
}

}  // namespace

std::vector<std::string> N2kBuilder::lines(const N2kMoment& moment) {
    const std::uint8_t sid = sid_;
    sid_ = sid_ >= n2k::highest_sid ? 0 : static_cast<std::uint8_t>(sid_ + 1);
    std::vector<n2k::Message> messages;
    if (moment.own && moment.own->valid) {
        const OwnShipFix& own = *moment.own;
        messages.push_back(n2k::position_rapid(own.latitude, own.longitude));
        messages.push_back(n2k::cog_sog_rapid(sid, own.course, own.knots));
    }
    if (moment.whole_second && moment.own) {
        const OwnShipFix& own = *moment.own;
        n2k::GnssPosition position{moment.utc_ms, std::nullopt, std::nullopt, std::nullopt, own.valid,
                                   own.valid ? own.satellites : 0, std::nullopt, std::nullopt};
        if (own.valid) {
            position.latitude = own.latitude;
            position.longitude = own.longitude;
            position.altitude = own.altitude;
            position.hdop = own.hdop;
            position.pdop = own.pdop;
        }
        messages.push_back(n2k::gnss_position(sid, position));
        const InstrumentReadings* instruments = moment.instruments;
        if (instruments != nullptr || own.valid) {
            messages.push_back(n2k::vessel_heading(sid, instruments ? instruments->heading_true : own.course,
                                                   instruments ? instruments->deviation : std::nullopt,
                                                   instruments ? instruments->variation : std::nullopt));
        }
        if (instruments) add_instruments(messages, sid, *instruments);
    }
    for (const AisReportSent& sent : moment.reports) messages.push_back(n2k::ais_position(sent));
    for (const AisStaticSent& sent : moment.statics) {
        if (sent.ais_class == AisClass::a) {
            messages.push_back(n2k::ais_static(sent, moment.utc_ms));
        } else {
            messages.push_back(n2k::ais_static_name(sent));
            messages.push_back(n2k::ais_static_type(sent));
        }
    }
    std::vector<std::string> out;
    out.reserve(messages.size());
    for (const n2k::Message& message : messages) out.push_back(n2k::plain_line(message, moment.utc_ms));
    return out;
}

}  // namespace vadrel
