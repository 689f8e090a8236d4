#include "transmitter.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "marine/instrument_sentences.h"
#include "nmea/faults.h"
#include "tick/second_effects.h"
#include "tick/second_sentences.h"
#include "sky/constellation.h"
#include "sky/sky_sentences.h"

namespace vadrel {

namespace {

// Clears the flag however the tick ends.
class Within {
public:
    explicit Within(bool& flag) : flag_(flag) { flag_ = true; }
    ~Within() { flag_ = false; }
    Within(const Within&) = delete;
    Within& operator=(const Within&) = delete;

private:
    bool& flag_;
};

// Where this second leaves the vehicle, for its track: the speed and course
// over ground (a negative speed goes backwards).
TrackPoint track_point(const Vehicle& v, double steady, double utc) {
    const GroundMotion ground = ground_motion(v);
    TrackPoint point{steady, utc, v.lat / arc_seconds_per_degree, v.lon / arc_seconds_per_degree, ground.kmh / 3.6,
                     ground.course, v.segment};
    return point;
}

// The altitude the second's GGA carries ("$GPGGA,...,254.5,M,..." or
// "$GNGGA", behind a multi-user prefix too); none when no GGA has one.
std::optional<double> carried_altitude(const std::vector<std::string>& sentences) {
    constexpr std::size_t altitude_field = 9;
    for (const std::string& sentence : sentences) {
        const std::size_t dollar = sentence.find('$');
        if (dollar == std::string::npos || sentence.compare(dollar + 3, 4, "GGA,") != 0) continue;
        std::string_view rest(sentence);
        rest = rest.substr(dollar, rest.find('*') == std::string_view::npos ? std::string_view::npos
                                                                           : rest.find('*') - dollar);
        for (std::size_t field = 0; field < altitude_field; ++field) {
            const std::size_t comma = rest.find(',');
            if (comma == std::string_view::npos) return std::nullopt;
            rest.remove_prefix(comma + 1);
        }
        rest = rest.substr(0, rest.find(','));
        double metres = 0.0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), metres);
        if (rest.empty() || error != std::errc() || end != rest.data() + rest.size()) return std::nullopt;
        return metres;
    }
    return std::nullopt;
}

}  // namespace

void Transmitter::set_receiver(const ReceiverOptions& options) {
    if (options.faults != receiver_.faults) dice_ = SplitMix64(options.faults.seed);
    if (options.faults.seed != receiver_.faults.seed || options.sky_options.noise != receiver_.sky_options.noise) noise_.clear();
    if (options.faults.fix_outage != receiver_.faults.fix_outage) outage_origin_ms_.reset();
    receiver_ = options;
}

int Transmitter::fixes_per_second() const {
    if (!receiver_.full_set || fleet_.mode() != Mode::gps_standard) return 1;
    return receiver_.sky_options.rate;
}

void Transmitter::remove_view(TransmitterView& view) { std::erase(views_, &view); }

void Transmitter::tick(int fix_in_second) {
    if (!link_.transmitting() || replaying_ || in_tick_) return;
    const int rate = fixes_per_second();
    const bool main = fix_in_second == 0 || rate > 1;
    const bool streams = streams_ != nullptr && streams_->on();
    if (!main && !(streams && stream_rate(receiver_) > 1)) return;
    const Within within(in_tick_);

    // One reading of the steady clock: each step covers exactly the time
    // from the vehicle's last step to this one.
    const double now = clock_.steady_seconds();
    fleet_.advance(now);

    std::vector<std::string> own;
    std::optional<std::size_t> sent;
    if (main) sent = send_main(now, rate, fix_in_second, streams ? &own : nullptr);
    if (streams) send_streams(std::move(own), now, fix_in_second, fix_in_second == 0 ? sent : std::nullopt);
}

void Transmitter::track(std::size_t n, double now, bool reported) {
    TrackPoint point = track_point(fleet_.vehicle(n), now, clock_.utc_seconds());
    if (const auto shown = reported ? this->reported(n) : std::nullopt) {
        point.reported = true;
        point.reported_lat = shown->lat / arc_seconds_per_degree;
        point.reported_lon = shown->lon / arc_seconds_per_degree;
    }
    tracks_.add(n, point);
}

int Transmitter::stream_rate(const ReceiverOptions& options) {
    return options.full_set ? options.sky_options.rate : 1;
}

std::size_t Transmitter::send_main(double now, int rate, int fix_in_second, std::vector<std::string>* own) {
    const std::size_t n = fleet_.current();
    SecondOfVehicle second{fleet_.vehicle(n), {}, fleet_.mode(), receiver_, {}};
    TrackPoint point = track_point(second.vehicle, now, clock_.utc_seconds());
    if (second.mode == Mode::multi_user) {
        second.prefix = "@" + std::to_string(n);
        fleet_.set_current(fleet_.next_in_cycle(), this);
        tell([&](TransmitterView& view) { view.next_vehicle(); });
    }
    // Read after the events the multi-user step lets run, as the sentence
    // is made then.
    second.fixes_per_second = rate;
    second.time = sentence_time(clock_, second.options, rate);
    receive(second, n);
    last_sky_ = second.sky;
    last_without_fix_ = second.options.no_fix || (second.sky && second.sky->fix == FixKind::none);
    if (fix_observer_) fix_observer_(second, fix_in_second);
    std::vector<std::string> sentences = second_sentences(second);
    if (fix_in_second == 0) {
        if (const auto& shown = reported_[n]) {
            point.reported = true;
            point.reported_lat = shown->lat / arc_seconds_per_degree;
            point.reported_lon = shown->lon / arc_seconds_per_degree;
        }
        point.altitude = carried_altitude(sentences);
        tracks_.add(n, point);
    }
    // GPS standard's own sentences are the current vehicle's stream too.
    if (own != nullptr && second.mode == Mode::gps_standard && rate == stream_rate(receiver_)) *own = sentences;
    const FaultsOfSecond faults = apply_faults(receiver_.faults, dice_, sentences);

    // The bytes are made in the mode whether or not the serial port is open:
    // the other outputs take them all the same. The monitor shows the
    // sentences without their line ends, each with its fault's mark.
    std::vector<std::string> marked(sentences.size());
    for (std::size_t i = 0; i < sentences.size(); ++i) marked[i] = sentences[i] + faults.marks[i];
    std::vector<std::string> supplement = instrument_lines(second.mode, n, now, fix_in_second);
    if (supplement_ && second.mode != Mode::multi_user) {
        SupplementSecond more = supplement_(now);
        supplement.insert(supplement.end(), more.lines.begin(), more.lines.end());
        for (const std::size_t k : more.reported) {
            if (k != n && k < fleet_size) track(k, now, false);
        }
    }
    std::string supplement_bytes;
    for (const std::string& line : supplement) supplement_bytes += line + "\r\n";

    std::string text;
    if (faults.lost) text = lost_second_mark(second.time.time);
    if (!faults.lost || !supplement.empty()) {
        const Delivery delivery = output_.send((faults.lost ? std::string() : second_bytes(sentences, second.mode)) +
                                               supplement_bytes);
        if (delivery.serial != Delivery::Serial::closed || delivery.elsewhere) {
            if (!faults.lost) text = second_text(marked, second.mode);
            // After a radio burst's closing separator the next line starts at once.
            for (const std::string& line : supplement) {
                if (!text.empty() && text.back() != '\0') text += "\r\n";
                text += line;
            }
        }
        text += serial_note(delivery) + delivery.notes;
    }
    show(text, false);
    return n;
}

std::vector<std::string> Transmitter::instrument_lines(Mode mode, std::size_t n, double now, int fix_in_second) {
    if (!instruments_.enabled || mode != Mode::gps_standard) {
        instrument_log_.reset();
        instrument_vehicle_.reset();
        return {};
    }
    if (fix_in_second != 0) return {};
    // Another ship's course is no turn of this one's, its distance not its run.
    if (instrument_vehicle_ != n) instrument_log_.reset();
    instrument_vehicle_ = n;
    last_readings_ = instrument_log_.second(fleet_.vehicle(n), now, instruments_);
    return instrument_sentences(*last_readings_);
}

void Transmitter::send_streams(std::vector<std::string> own_of_current, double now, int fix_in_second,
                               std::optional<std::size_t> tracked) {
    const int rate = stream_rate(receiver_);
    const SentenceTime time = sentence_time(clock_, receiver_, rate);
    // The main output may have moved the multi-user cycle on: its vehicle
    // was the one before the current one, and its own sentences were not
    // kept.
    const std::size_t kept = own_of_current.empty() ? fleet_size : fleet_.current();
    std::vector<std::optional<std::string>> bytes(fleet_size);
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (!fleet_.in_use(n).has(UseReason::stream) || !fleet_.moving(n)) continue;
        if (n == kept) {
            bytes[n] = second_bytes(own_of_current, Mode::gps_standard);
        } else {
            SecondOfVehicle second{fleet_.vehicle(n), {}, Mode::gps_standard, receiver_, time};
            second.fixes_per_second = rate;
            // The noise of a vehicle is a function of its time: asked again
            // for the same fix it says the same.
            receive(second, n);
            bytes[n] = second_bytes(second_sentences(second), Mode::gps_standard);
        }
        if (fix_in_second == 0 && n != tracked) track(n, now, true);
    }
    streams_->send(bytes);
}

void Transmitter::receive(SecondOfVehicle& second, std::size_t n) {
    const std::int64_t now_ms = second.time.utc_ms;
    const Faults& faults = receiver_.faults;
    if (faults.enabled && faults.fix_outage.every > 0) {
        if (!outage_origin_ms_) outage_origin_ms_ = now_ms;
        if (fix_lost(faults.fix_outage, *outage_origin_ms_, now_ms)) second.options.no_fix = true;
    }
    const SkyOptions& sky_options = receiver_.sky_options;
    if (sky_options.satellites && (receiver_.full_set || sky_options.noise > 0.0)) {
        second.sky = observe(constellation_at(now_ms), observer_of(second.vehicle, receiver_.altitude),
                             {sky_options.mask, sky_options.obstructions}, !second.options.no_fix);
    }
    if (reported_.size() <= n) reported_.resize(n + 1);
    reported_[n].reset();
    if (sky_options.noise > 0.0) {
        while (noise_.size() <= n) noise_.emplace_back(sky_options.noise, faults.seed, noise_.size());
        Sky sky = second.sky ? *second.sky : classic_sky();
        if (second.options.no_fix) sky.fix = FixKind::none;
        const Offset error = noise_[n].step(now_ms, sky);
        // Only what is said moves: the fleet's vehicle keeps its true position.
        const ArcPosition shown = displaced(second.vehicle.lat, second.vehicle.lon, error);
        second.vehicle.lat = shown.lat;
        second.vehicle.lon = shown.lon;
        reported_[n] = shown;
        second.altitude_error = error.up;
    }
    if (effects_ == nullptr) return;
    const ArcPosition before{second.vehicle.lat, second.vehicle.lon};
    effects_->affect(second, n);
    if (second.vehicle.lat != before.lat || second.vehicle.lon != before.lon) {
        reported_[n] = ArcPosition{second.vehicle.lat, second.vehicle.lon};
    }
}

std::string Transmitter::serial_note(const Delivery& delivery) {
    switch (delivery.serial) {
        case Delivery::Serial::skipped:
            ++skipped_writes_;
            return "  [non inviato: linea ancora occupata; saltati " + std::to_string(skipped_writes_) + "]";
        case Delivery::Serial::lost:
            // The link closes the port and tells its views (the panel's buttons).
            link_.lost(delivery.loss, this);
            return "  [non inviato: " + link_.problem() + "]";
        case Delivery::Serial::closed:
            // A port closed by a failure says why on each line.
            if (!link_.problem().empty()) return "  [non inviato: " + link_.problem() + "]";
            break;
        case Delivery::Serial::written:
            break;
    }
    return {};
}

void Transmitter::show(const std::string& text, bool replayed) {
    tell([&](TransmitterView& view) { view.second_shown(text, replayed); });
}

void Transmitter::begin_replay() {
    if (replaying_) return;
    replaying_ = true;
    tell([&](TransmitterView& view) { view.replay_changed(true); });
}

void Transmitter::end_replay() {
    if (!replaying_) return;
    replaying_ = false;
    tell([&](TransmitterView& view) { view.replay_changed(false); });
}

void Transmitter::show_replayed(const std::string& bytes, const Delivery& delivery) {
    std::string text;
    if (delivery.serial != Delivery::Serial::closed || delivery.elsewhere) {
        text = bytes;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    }
    text += serial_note(delivery);
    text += delivery.notes;
    show(text, true);
}

}  // namespace vadrel
