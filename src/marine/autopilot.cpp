#include "autopilot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/numbers.h"

namespace vadrel {

namespace {

std::string three_digits(double heading) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", static_cast<int>(std::lround(heading)) % 360);
    return text;
}

}  // namespace

// 0 .. 360 (excluded); a hair below 360 (a bearing's rounding) is 0, or
// the sentences would say 360.0.
double within_compass(double degrees) {
    double value = std::fmod(degrees, 360.0);
    if (value < 0.0) value += 360.0;
    return value >= 360.0 - 1e-9 ? 0.0 : value;
}

double turned_course(double course, double target, double most) {
    target = within_compass(target);
    double difference = std::fmod(target - course, 360.0);
    if (difference > 180.0) difference -= 360.0;
    if (difference <= -180.0) difference += 360.0;
    if (std::abs(difference) <= most) return target;
    return within_compass(course + (difference > 0.0 ? most : -most));
}

void Autopilot::set_on(bool on) {
    if (on == on_) return;
    on_ = on;
    asked_.reset();
    destination_.reset();
    waypoint_.clear();
    source_.clear();
    cross_track_.reset();
    last_heard_.reset();
    last_apb_.reset();
    last_step_.reset();
}

std::optional<Refusal> Autopilot::set_turn_rate(double degrees_per_second) {
    if (!std::isfinite(degrees_per_second) || degrees_per_second <= 0.0 || degrees_per_second > most_turn_rate)
        return Refusal{"virata", "la virata va da più di 0 a " + option_number(most_turn_rate) +
                                     " gradi al secondo, non " + shortest_text(degrees_per_second)};
    turn_rate_ = degrees_per_second;
    return std::nullopt;
}

std::optional<Refusal> Autopilot::set_variation(std::optional<double> degrees) {
    if (degrees && (!std::isfinite(*degrees) || std::abs(*degrees) > 180.0))
        return Refusal{"declinazione", "la declinazione va da -180 a 180 gradi, non " + shortest_text(*degrees)};
    variation_ = degrees;
    return std::nullopt;
}

bool Autopilot::hear(std::string_view line, std::string_view source, double now) {
    if (!on_) return false;
    const std::optional<PilotSentence> sentence = read_pilot_sentence(line);
    if (!sentence) return false;
    if (sentence->cross_track) cross_track_ = sentence->cross_track;
    last_heard_ = now;
    source_ = std::string(source);
    using Kind = PilotSentence::Kind;
    if (sentence->kind == Kind::apb) {
        asked_ = true_heading(*sentence->heading, sentence->magnetic, variation_);
        destination_.reset();
        waypoint_ = sentence->waypoint;
        last_apb_ = now;
    } else if (sentence->kind == Kind::rmb) {
        const bool apb_lately = last_apb_ && now - *last_apb_ < apb_precedence_seconds;
        if (!apb_lately) {
            destination_ = sentence->destination;
            waypoint_ = sentence->waypoint;
        }
    }
    return true;
}

std::optional<double> Autopilot::step(double course, GeoPoint here, double now) {
    const double seconds = last_step_ ? std::max(0.0, now - *last_step_) : 0.0;
    last_step_ = now;
    if (!on_) return std::nullopt;
    // The bearing to the waypoint follows the ship while the RMBs come.
    if (destination_ && !silent(now)) asked_ = within_compass(initial_bearing(here, *destination_));
    if (!asked_) return std::nullopt;
    const double next = turned_course(course, *asked_, turn_rate_ * seconds);
    if (next == course) return std::nullopt;
    return next;
}

std::optional<double> Autopilot::since_last(double now) const {
    if (!last_heard_) return std::nullopt;
    return std::max(0.0, now - *last_heard_);
}

bool Autopilot::silent(double now) const {
    const std::optional<double> since = since_last(now);
    return since && *since >= silence_seconds;
}

std::string Autopilot::status(double now) const {
    if (!on_) return "Pilota: spento";
    if (!asked_) return "Pilota: in attesa di frasi";
    if (silent(now)) {
        return "Pilota: nessuna frase da " + int_text(std::llround(*since_last(now))) + " s, tiene " +
               three_digits(*asked_);
    }
    return "Pilota: rotta " + three_digits(*asked_) + (waypoint_.empty() ? "" : " verso " + waypoint_);
}

}  // namespace vadrel
