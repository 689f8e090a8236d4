#include "ais/fixed_stations.h"

#include <algorithm>
#include <cmath>

namespace vadrel {

namespace {

constexpr std::size_t longest_buoy_name = ais::aid_name_chars + ais::aid_name_extension_chars;

// Whether a schedule of `interval` seconds is due at `now`: the first call,
// or a call at its nominal time or after (half a tick early counts).
bool due(std::optional<double>& last, double now, double interval) {
    if (last && now < *last + interval - 0.5) return false;
    last = last ? *last + interval * std::max(1.0, std::floor((now - *last + 0.5) / interval)) : now;
    return true;
}

// The position fields as a vehicle's report cuts them.
AisFix fix_at(double lat, double lon) {
    Vehicle at;
    at.lat = lat;
    at.lon = lon;
    return fix_of(at);
}

}  // namespace

std::optional<Refusal> buoy_name_problem(const std::string& name) {
    if (name.empty()) return Refusal{"boa", "manca il nome della boa"};
    const std::string sent = six_bit_text(name);
    if (sent.size() > longest_buoy_name) {
        return Refusal{"boa", "il nome di una boa ha al più " + std::to_string(longest_buoy_name) +
                                  " caratteri, non " + std::to_string(sent.size())};
    }
    if (sent.find('?') != std::string::npos && name.find('?') == std::string::npos) {
        return Refusal{"boa", "il nome \"" + name + "\" ha caratteri che l'AIS non trasmette (lettere, cifre, "
                              "spazi e segni comuni)"};
    }
    return std::nullopt;
}

std::optional<Refusal> stations_problem(const StationsOnAir& stations) {
    const auto off_globe = [](double lat, double lon) {
        return !(std::fabs(lat) <= 90.0 * 3600.0) || !(std::fabs(lon) <= 180.0 * 3600.0);
    };
    if (stations.buoys.size() > most_buoys)
        return Refusal{"boa", "al più " + std::to_string(most_buoys) + " boe, non " + std::to_string(stations.buoys.size())};
    for (const Buoy& buoy : stations.buoys) {
        if (auto bad = buoy_name_problem(buoy.name)) return bad;
        if (off_globe(buoy.lat, buoy.lon))
            return Refusal{"boa", "la boa \"" + buoy.name + "\" ha la latitudine fino a 90 gradi e la longitudine "
                                  "fino a 180"};
    }
    if (stations.sart && off_globe(stations.sart->lat, stations.sart->lon))
        return Refusal{"sart", "il SART ha la latitudine fino a 90 gradi e la longitudine fino a 180"};
    return std::nullopt;
}

void FixedStations::set(std::vector<Buoy> buoys, std::optional<Sart> sart) {
    buoys_ = std::move(buoys);
    sart_ = sart;
    last_aids_.reset();
    last_burst_.reset();
    last_text_.reset();
}

char FixedStations::next_channel() {
    channel_b_ = !channel_b_;
    return channel_b_ ? 'A' : 'B';
}

std::vector<std::string> FixedStations::second(const AisTime& time) {
    time_ = time;
    std::vector<std::string> out;
    if (!buoys_.empty() && due(last_aids_, time.steady, aid_interval)) {
        std::vector<std::string> reports = aids(framer_);
        out.insert(out.end(), reports.begin(), reports.end());
    }
    if (sart_ && due(last_burst_, time.steady, sart_interval)) burst(out);
    return out;
}

std::vector<std::string> FixedStations::aid_sentences() const {
    // A framer of its own: the sequence ids on the air stay as they are.
    ais::Framer framer;
    return aids(framer);
}

std::vector<std::string> FixedStations::aids(ais::Framer& framer) const {
    std::vector<std::string> out;
    for (std::size_t k = 0; k < buoys_.size(); ++k) {
        ais::AidToNavigation aid;
        aid.mmsi = first_aid_mmsi + static_cast<std::uint32_t>(k);
        aid.name = six_bit_text(buoys_[k].name);
        const AisFix fix = fix_at(buoys_[k].lat, buoys_[k].lon);
        aid.latitude = fix.latitude;
        aid.longitude = fix.longitude;
        aid.second = static_cast<std::uint8_t>(time_.second);
        framer.frame(ais::aid_to_navigation(aid), ais::Talker::others, k % 2 == 0 ? 'A' : 'B', out);
    }
    return out;
}

void FixedStations::burst(std::vector<std::string>& out) {
    ais::PositionReport report;
    report.mmsi = sart_->mmsi;
    report.status = ais::NavigationalStatus::sart_active;
    report.speed = 0;
    report.accuracy = true;
    const AisFix fix = fix_at(sart_->lat, sart_->lon);
    report.latitude = fix.latitude;
    report.longitude = fix.longitude;
    report.second = static_cast<std::uint8_t>(time_.second);
    report.radio = sotdma_state(time_, 0, 0);
    if (due(last_text_, time_.steady, sart_text_interval)) {
        framer_.frame(ais::safety_broadcast(sart_->mmsi, sart_test_text), ais::Talker::others, next_channel(), out);
    }
    for (int k = 0; k < sart_burst; ++k) framer_.frame(ais::class_a_position(report), ais::Talker::others, next_channel(), out);
}

}  // namespace vadrel
