#include "marine/n2k_messages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "model/civil_time.h"

namespace vadrel::n2k {

namespace {

constexpr double metres_per_second_per_knot = 1852.0 / 3600.0;
constexpr double kelvin_at_zero_celsius = 273.15;
constexpr double radian = 1e-4;  // the resolution of every angle here
constexpr std::int64_t ms_per_day = 86'400'000;

std::optional<double> known(std::optional<double> value) {
    return value && std::isfinite(*value) ? value : std::nullopt;
}

// A message's bytes, all ones (reserved) until its fields are put.
class Fields {
public:
    explicit Fields(std::size_t bytes) : data_(bytes, 0xFF) {}

    void put(unsigned offset, unsigned bits, std::uint64_t value) {
        if (offset % 8 == 0 && bits % 8 == 0) {  // whole bytes, most fields
            for (unsigned i = 0; i < bits / 8; ++i) data_[offset / 8 + i] = static_cast<std::uint8_t>(value >> (8 * i));
            return;
        }
        for (unsigned i = 0; i < bits; ++i) {
            const unsigned at = offset + i;
            const auto mask = static_cast<std::uint8_t>(1U << (at % 8));
            if ((value >> i) & 1U) {
                data_[at / 8] |= mask;
            } else {
                data_[at / 8] &= static_cast<std::uint8_t>(~mask);
            }
        }
    }
    // `value` / `resolution`, rounded, held within the field's valid values
    // (the top three are not available, error and reserved); nullopt: not available.
    void put_unsigned(unsigned offset, unsigned bits, std::optional<double> value, double resolution) {
        const std::uint64_t missing = bits == 64 ? ~0ULL : (1ULL << bits) - 1;
        if (!known(value)) return put(offset, bits, missing);
        const long double n = std::round(static_cast<long double>(*value) / static_cast<long double>(resolution));
        put(offset, bits, static_cast<std::uint64_t>(std::clamp(n, 0.0L, static_cast<long double>(missing - 3))));
    }
    void put_signed(unsigned offset, unsigned bits, std::optional<double> value, double resolution) {
        const std::int64_t missing = static_cast<std::int64_t>((1ULL << (bits - 1)) - 1);
        std::int64_t n = missing;
        if (known(value)) {
            const long double scaled = std::round(static_cast<long double>(*value) / static_cast<long double>(resolution));
            n = static_cast<std::int64_t>(
                std::clamp(scaled, static_cast<long double>(-missing), static_cast<long double>(missing - 3)));
        }
        put(offset, bits, static_cast<std::uint64_t>(n));
    }
    // An angle of 0 up to 360 degrees (any other turned into it), in radians.
    void put_angle(unsigned offset, std::optional<double> degrees) {
        if (!known(degrees)) return put(offset, 16, 0xFFFF);
        double turned = std::fmod(*degrees, 360.0);
        if (turned < 0.0) turned += 360.0;
        const auto full = std::lround(2.0 * std::numbers::pi / radian);
        const long n = std::lround(turned * std::numbers::pi / 180.0 / radian);
        put(offset, 16, static_cast<std::uint64_t>(n >= full ? 0 : n));
    }
    void put_text(unsigned offset, std::size_t bytes, const std::string& text) {
        for (std::size_t i = 0; i < bytes; ++i) {
            const char c = i < text.size() ? text[i] : '@';  // AIS's own padding
            put(offset + static_cast<unsigned>(8 * i), 8, static_cast<unsigned char>(c));
        }
    }

    Message message(std::uint32_t pgn, std::uint8_t priority) && {
        Message out;
        out.pgn = pgn;
        out.priority = priority;
        out.data = std::move(data_);
        return out;
    }

private:
    std::vector<std::uint8_t> data_;
};

std::optional<double> metres_per_second(std::optional<double> knots) {
    if (!known(knots)) return std::nullopt;
    return *knots * metres_per_second_per_knot;
}

std::optional<double> radians(std::optional<double> degrees) {
    if (!known(degrees)) return std::nullopt;
    return *degrees * std::numbers::pi / 180.0;
}

// An AIS angle in tenths of a degree or whole degrees; `unknown` is not available.
std::optional<double> ais_angle(std::uint16_t value, std::uint16_t unknown, double per_degree) {
    if (value >= unknown) return std::nullopt;
    return value / per_degree;
}

std::optional<double> ais_degrees(std::int32_t ten_thousandths_of_minute, std::int32_t unknown) {
    if (ten_thousandths_of_minute == unknown) return std::nullopt;
    return ten_thousandths_of_minute / 600000.0;
}

// The rate of turn a report's indicator stands for, in radians a second.
std::optional<double> ais_rate_of_turn(int indicator) {
    if (indicator <= ais::rate_of_turn_unknown || indicator > 127) return std::nullopt;
    const double root = indicator / 4.733;
    const double degrees_per_minute = std::copysign(root * root, root);
    return degrees_per_minute * std::numbers::pi / 180.0 / 60.0;
}

// Length, beam, the reference point from starboard and from the bow, at
// `offset`; all not available when no size is known.
void put_dimensions(Fields& f, unsigned offset, const ais::Dimensions& size) {
    const bool sized = size != ais::Dimensions{};
    const auto metres = [sized](int value) { return sized ? std::optional<double>(value) : std::nullopt; };
    f.put_unsigned(offset, 16, metres(size.to_bow + size.to_stern), 0.1);
    f.put_unsigned(offset + 16, 16, metres(size.to_port + size.to_starboard), 0.1);
    f.put_unsigned(offset + 32, 16, metres(size.to_starboard), 0.1);
    f.put_unsigned(offset + 48, 16, metres(size.to_bow), 0.1);
}

// 0 and 1: heard on channel A or B; 2 and 3: the own ship's, sent on A or B.
std::uint64_t transceiver(char channel, bool own) { return (channel == 'B' ? 1U : 0U) + (own ? 2U : 0U); }

}  // namespace

std::string plain_line(const Message& message, std::int64_t utc_ms) {
    const CivilInstant t = civil_of(utc_ms);
    char head[96];
    std::snprintf(head, sizeof head, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ,%u,%u,%u,%u,%zu",
                  static_cast<long long>(t.year), t.month, t.day, t.hour, t.minute, t.second, t.millisecond,
                  unsigned{message.priority}, unsigned{message.pgn}, unsigned{message.source},
                  unsigned{message.destination}, message.data.size());
    std::string line = head;
    line.reserve(line.size() + 3 * message.data.size());
    static constexpr char digits[] = "0123456789abcdef";
    for (const std::uint8_t byte : message.data) {
        line += ',';
        line += digits[byte >> 4];
        line += digits[byte & 0xF];
    }
    return line;
}

Message position_rapid(double latitude, double longitude) {
    Fields f(8);
    f.put_signed(0, 32, latitude, 1e-7);
    f.put_signed(32, 32, longitude, 1e-7);
    return std::move(f).message(129025, 2);
}

Message cog_sog_rapid(std::uint8_t sid, std::optional<double> course, std::optional<double> knots) {
    Fields f(8);
    f.put(0, 8, sid);
    f.put(8, 2, 0);  // true
    f.put_angle(16, course);
    f.put_unsigned(32, 16, metres_per_second(knots), 0.01);
    return std::move(f).message(129026, 2);
}

Message gnss_position(std::uint8_t sid, const GnssPosition& p) {
    Fields f(43);
    f.put(0, 8, sid);
    const std::int64_t day = p.utc_ms >= 0 ? p.utc_ms / ms_per_day : (p.utc_ms - ms_per_day + 1) / ms_per_day;
    f.put_unsigned(8, 16, static_cast<double>(day), 1);
    f.put(24, 32, static_cast<std::uint64_t>((p.utc_ms - day * ms_per_day) * 10));
    f.put_signed(56, 64, p.latitude, 1e-16);
    f.put_signed(120, 64, p.longitude, 1e-16);
    f.put_signed(184, 64, p.altitude, 1e-6);
    f.put(248, 4, 0);  // GPS
    f.put(252, 4, p.fix ? 1 : 0);
    f.put(256, 2, 0);  // no integrity checking
    f.put_unsigned(264, 8, p.satellites, 1);
    f.put_signed(272, 16, p.hdop, 0.01);
    f.put_signed(288, 16, p.pdop, 0.01);
    f.put_signed(304, 32, std::nullopt, 0.01);  // no geoidal separation, as the GGA says
    f.put(336, 8, 0);                           // no reference stations
    return std::move(f).message(129029, 3);
}

Message vessel_heading(std::uint8_t sid, std::optional<double> heading, std::optional<double> deviation,
                       std::optional<double> variation) {
    Fields f(8);
    f.put(0, 8, sid);
    f.put_angle(8, heading);
    f.put_signed(24, 16, radians(deviation), radian);
    f.put_signed(40, 16, radians(variation), radian);
    f.put(56, 2, 0);  // true
    return std::move(f).message(127250, 2);
}

Message wind_data(std::uint8_t sid, std::optional<double> knots, std::optional<double> angle, WindReference reference) {
    Fields f(8);
    f.put(0, 8, sid);
    f.put_unsigned(8, 16, metres_per_second(knots), 0.01);
    f.put_angle(24, angle);
    f.put(40, 3, static_cast<std::uint8_t>(reference));
    return std::move(f).message(130306, 2);
}

Message water_depth(std::uint8_t sid, std::optional<double> depth, double offset) {
    Fields f(8);
    f.put(0, 8, sid);
    f.put_unsigned(8, 32, depth, 0.01);
    f.put_signed(40, 16, offset, 0.001);
    f.put(56, 8, 0xFF);  // no range
    return std::move(f).message(128267, 3);
}

Message water_speed(std::uint8_t sid, std::optional<double> knots) {
    Fields f(8);
    f.put(0, 8, sid);
    f.put_unsigned(8, 16, metres_per_second(knots), 0.01);
    f.put(40, 8, 0);  // paddle wheel
    return std::move(f).message(128259, 2);
}

Message water_temperature(std::uint8_t sid, std::optional<double> celsius) {
    Fields f(8);
    f.put(0, 8, sid);
    f.put(8, 8, 0);   // instance
    f.put(16, 8, 0);  // sea temperature
    f.put_unsigned(24, 24, known(celsius) ? std::optional(*celsius + kelvin_at_zero_celsius) : std::nullopt, 0.001);
    return std::move(f).message(130316, 5);
}

Message ais_position(const AisReportSent& sent) {
    const ais::PositionReport& r = sent.report;
    const bool class_a = sent.ais_class == AisClass::a;
    Fields f(class_a ? 28 : 27);
    f.put(0, 6, class_a ? 1 : 18);
    f.put(6, 2, 0);  // not repeated
    f.put(8, 32, r.mmsi);
    f.put_signed(40, 32, ais_degrees(r.longitude, ais::longitude_unknown), 1e-7);
    f.put_signed(72, 32, ais_degrees(r.latitude, ais::latitude_unknown), 1e-7);
    f.put(104, 1, r.accuracy ? 1 : 0);
    f.put(105, 1, r.raim ? 1 : 0);
    f.put(106, 6, std::min<std::uint8_t>(r.second, 63));
    f.put_angle(112, ais_angle(r.course, ais::course_unknown, 10.0));
    const std::optional<double> knots =
        r.speed >= ais::speed_unknown ? std::nullopt : std::optional(r.speed / 10.0);
    f.put_unsigned(128, 16, metres_per_second(knots), 0.01);
    f.put(144, 19, class_a ? r.radio : ais::class_b_cs_radio);
    f.put(163, 5, transceiver(sent.channel, sent.own));
    f.put_angle(168, ais_angle(r.heading, ais::heading_unknown, 1.0));
    if (class_a) {
        f.put_signed(184, 16, ais_rate_of_turn(r.rate_of_turn), 3.125e-5);
        f.put(200, 4, static_cast<std::uint8_t>(r.status));
        f.put(204, 2, r.manoeuvre);
        f.put(208, 3, 0);  // spare
        f.put(216, 8, no_sid);
        return std::move(f).message(129038, 4);
    }
    // Class B "CS": as message 18's flags say (ais/messages.h).
    f.put(184, 10, 0);  // regional application, spare
    f.put(194, 1, 1);   // CS
    f.put(195, 1, 0);   // no display
    f.put(196, 1, 0);   // no DSC
    f.put(197, 1, 1);   // the whole band
    f.put(198, 1, 1);   // message 22 taken
    f.put(199, 1, 0);   // autonomous
    f.put(200, 1, 1);   // ITDMA
    return std::move(f).message(129039, 4);
}

Message ais_static(const AisStaticSent& sent, std::int64_t utc_ms) {
    const ais::StaticData& d = sent.data;
    Fields f(75);
    f.put(0, 6, 5);
    f.put(6, 2, 0);
    f.put(8, 32, d.mmsi);
    f.put_unsigned(40, 32, d.imo == 0 ? std::nullopt : std::optional<double>(d.imo), 1);
    f.put_text(72, 7, d.call_sign);
    f.put_text(128, 20, d.name);
    f.put(288, 8, d.ship_type);
    put_dimensions(f, 296, d.dimensions);
    std::optional<double> eta_day;
    if (d.eta_month >= 1 && d.eta_month <= 12 && d.eta_day >= 1 && d.eta_day <= 31) {
        eta_day = static_cast<double>(days_from_civil(civil_of(utc_ms).year, d.eta_month, d.eta_day));
    }
    f.put_unsigned(360, 16, eta_day, 1);
    std::optional<double> eta_time;
    if (d.eta_hour < 24 && d.eta_minute < 60) eta_time = d.eta_hour * 3600.0 + d.eta_minute * 60.0;
    f.put_unsigned(376, 32, eta_time, 1e-4);
    f.put_unsigned(408, 16, d.draught == 0 ? std::nullopt : std::optional(d.draught / 10.0), 0.01);
    f.put_text(424, 20, d.destination);
    f.put(584, 2, d.ais_version);
    f.put(586, 4, d.epfd);
    f.put(590, 1, d.dte_unavailable ? 1 : 0);
    f.put(592, 5, transceiver(sent.channel, sent.own));
    return std::move(f).message(129794, 6);
}

Message ais_static_name(const AisStaticSent& sent) {
    Fields f(27);
    f.put(0, 6, 24);
    f.put(6, 2, 0);
    f.put(8, 32, sent.data.mmsi);
    f.put_text(40, 20, sent.data.name);
    f.put(200, 5, transceiver(sent.channel, sent.own));
    f.put(208, 8, no_sid);
    return std::move(f).message(129809, 6);
}

Message ais_static_type(const AisStaticSent& sent) {
    const ais::StaticData& d = sent.data;
    Fields f(35);
    f.put(0, 6, 24);
    f.put(6, 2, 0);
    f.put(8, 32, d.mmsi);
    f.put(40, 8, d.ship_type);
    f.put_text(48, 7, d.vendor);
    f.put_text(104, 7, d.call_sign);
    put_dimensions(f, 160, d.dimensions);
    f.put(224, 32, 0xFFFFFFFF);  // no mother ship
    f.put(258, 2, 0);           // spare
    f.put(260, 4, d.epfd);
    f.put(264, 5, transceiver(sent.channel, sent.own));
    f.put(272, 8, no_sid);
    return std::move(f).message(129810, 6);
}

}  // namespace vadrel::n2k
