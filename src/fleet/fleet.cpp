#include "fleet.h"

#include <algorithm>
#include <cmath>

#include "model/numbers.h"
#include "motion/dead_reckoning.h"
#include "motion/normalize.h"

namespace vadrel {

namespace {

constexpr double seconds_per_hour = 3600.0;

// Exactly on the line a step keeps the side it came from, as the boxes keep
// their letter there.
void keep_side_of_zero(double& value, double before) {
    if (value == 0.0) value = std::copysign(0.0, before);
}

}  // namespace

const char* use_reason_text(UseReason reason) {
    switch (reason) {
    case UseReason::current: return "attuale";
    case UseReason::cycle: return "ciclo";
    case UseReason::ais_target: return "bersaglio AIS";
    case UseReason::stream: break;
    }
    return "flusso";
}

std::string InUse::text() const {
    std::string text;
    for (UseReason reason : use_reasons) {
        if (!has(reason)) continue;
        if (!text.empty()) text += ", ";
        text += use_reason_text(reason);
    }
    return text;
}

std::optional<Refusal> course_problem(double degrees) {
    if (!std::isfinite(degrees)) return Refusal{"rotta", "la rotta non è un numero"};
    if (degrees < Fleet::speed_limit_low || degrees > Fleet::speed_limit_high) {
        return Refusal{"rotta", "la rotta " + shortest_text(degrees) +
                                    " non sta nel campo della tabella (un numero intero da -32768 a 32767)"};
    }
    if (degrees < 0.0 || degrees > Fleet::course_limit) {
        return Refusal{"rotta", "la rotta va da 0 a 360 gradi, non " + shortest_text(degrees)};
    }
    return std::nullopt;
}

std::optional<Refusal> speed_problem(double speed) {
    if (!std::isfinite(speed)) return Refusal{"velocita", "la velocità non è un numero"};
    if (speed < Fleet::speed_limit_low - 0.5 || speed >= Fleet::speed_limit_high + 0.5) {
        return Refusal{"velocita", "la velocità " + shortest_text(speed) +
                                       " non sta nel campo della tabella (da -32768 a 32767)"};
    }
    return std::nullopt;
}

std::optional<Refusal> Fleet::check_index(std::size_t n) const {
    if (n < fleet_size) return std::nullopt;
    return Refusal{"mezzo", "il mezzo " + std::to_string(n) + " non esiste: i mezzi vanno da 0 a " +
                                std::to_string(fleet_size - 1)};
}

Fleet::WatchId Fleet::watch(Watcher watcher) {
    watchers_.emplace_back(next_watch_, std::move(watcher));
    return next_watch_++;
}

void Fleet::unwatch(WatchId id) {
    std::erase_if(watchers_, [id](const auto& w) { return w.first == id; });
}

void Fleet::tell(std::size_t n, Change what, Origin origin) {
    // By index: a watcher may add or remove watchers.
    for (std::size_t i = 0; i < watchers_.size(); ++i) {
        const Watcher watcher = watchers_[i].second;
        watcher(n, what, origin);
    }
}

std::optional<Refusal> Fleet::place(std::size_t n, std::optional<double> lat, std::optional<double> lon,
                                    Origin origin) {
    if (auto bad = check_index(n)) return bad;
    if (lat && !std::isfinite(*lat)) return Refusal{"lat", "la latitudine non è un numero"};
    if (lon && !std::isfinite(*lon)) return Refusal{"lon", "la longitudine non è un numero"};
    Vehicle& v = vehicles_[n];
    // The longitude first: a latitude past a pole moves it.
    if (lon) {
        v.lon = *lon;
        normalize_lon(v.lon);
    }
    if (lat) {
        v.lat = *lat;
        normalize_lat(v.lat, v.lon);
    }
    ++v.segment;
    if (guide_) guide_->changed_by_hand(n, Change::placed, v, origin);
    tell(n, Change::placed, origin);
    return std::nullopt;
}

std::optional<Refusal> Fleet::set_course(std::size_t n, double degrees, Origin origin) {
    if (auto bad = check_index(n)) return bad;
    if (auto bad = course_problem(degrees)) return bad;
    vehicles_[n].course = degrees;
    if (guide_) guide_->changed_by_hand(n, Change::course, vehicles_[n], origin);
    tell(n, Change::course, origin);
    return std::nullopt;
}

std::optional<Refusal> Fleet::set_speed(std::size_t n, double speed, Origin origin) {
    if (auto bad = check_index(n)) return bad;
    if (auto bad = speed_problem(speed)) return bad;
    vehicles_[n].speed = speed;
    if (guide_) guide_->changed_by_hand(n, Change::speed, vehicles_[n], origin);
    tell(n, Change::speed, origin);
    return std::nullopt;
}

std::optional<Refusal> Fleet::set_unit(std::size_t n, SpeedUnit unit, Origin origin) {
    if (auto bad = check_index(n)) return bad;
    vehicles_[n].unit = unit;
    tell(n, Change::unit, origin);
    return std::nullopt;
}

void Fleet::load(std::size_t n, const Vehicle& vehicle, Origin origin) {
    if (n >= fleet_size || !std::isfinite(vehicle.lat) || !std::isfinite(vehicle.lon) ||
        !std::isfinite(vehicle.course) || !std::isfinite(vehicle.speed)) {
        return;
    }
    Vehicle& v = vehicles_[n];
    v.lon = vehicle.lon;
    normalize_lon(v.lon);
    v.lat = vehicle.lat;
    normalize_lat(v.lat, v.lon);
    v.course = std::clamp(vehicle.course, speed_limit_low, speed_limit_high);
    v.speed = std::clamp(vehicle.speed, speed_limit_low, speed_limit_high);
    v.unit = vehicle.unit;
    ++v.segment;
    for (Change what : {Change::placed, Change::course, Change::speed, Change::unit}) tell(n, what, origin);
}

std::optional<Refusal> Fleet::set_current(std::size_t n, Origin origin) {
    if (auto bad = check_index(n)) return bad;
    current_ = n;
    tell(n, Change::current, origin);
    return std::nullopt;
}

void Fleet::set_mode(Mode mode, Origin origin) {
    mode_ = mode;
    tell(current_, Change::mode, origin);
}

void Fleet::set_cycle(int vehicles, Origin origin) {
    cycle_ = std::clamp(vehicles, 0, largest_cycle);
    tell(current_, Change::cycle, origin);
}

void Fleet::set_targets(bool on, Origin origin) {
    targets_ = on;
    tell(current_, Change::targets, origin);
}

void Fleet::set_streams(bool on, Origin origin) {
    streams_ = on;
    tell(current_, Change::targets, origin);
}

std::size_t Fleet::next_in_cycle() const {
    const std::size_t next = current_ + 1;
    return next >= static_cast<std::size_t>(cycle_) || next >= fleet_size ? 0 : next;
}

InUse Fleet::in_use(std::size_t n) const {
    InUse why;
    if (n >= fleet_size) return why;
    const bool multi = mode_ == Mode::multi_user;
    // "Numero di mezzi mobili" as the mode reads it.
    const bool counted = n < static_cast<std::size_t>(multi ? std::max(cycle_, 1) : cycle_);
    if (n == current_) why.add(UseReason::current);
    if (multi && counted) why.add(UseReason::cycle);
    if (!multi && targets_ && counted && n != current_) why.add(UseReason::ais_target);
    if (streams_ && (counted || n == current_)) why.add(UseReason::stream);
    return why;
}

std::size_t Fleet::vehicles_in_use() const {
    std::size_t count = 0;
    for (std::size_t n = 0; n < fleet_size; ++n) count += in_use(n) ? 1 : 0;
    return count;
}

bool Fleet::moving(std::size_t n) const {
    const InUse why = in_use(n);
    if (!why) return false;
    // A vehicle waiting for its first turn of the cycle stays where it is.
    return !why.has(UseReason::cycle) || why.has(UseReason::current) || vehicles_[n].started;
}

void Fleet::advance(double now) {
    for (std::size_t n = 0; n < fleet_size; ++n) {
        if (moving(n)) advance(n, now);
    }
}

void Fleet::advance(std::size_t n, double now) {
    Vehicle& v = vehicles_[n];
    if (!v.started) {
        v.started = true;
        v.last_step = now;
    }
    const double seconds = now - v.last_step;
    v.last_step = now;
    if (guide_) {
        const double course_before = v.course;
        const double speed_before = v.speed;
        if (guide_->steer(n, v, seconds)) {
            tell(n, Change::moved, nullptr);
            if (v.course != course_before) tell(n, Change::course, nullptr);
            if (v.speed != speed_before) tell(n, Change::speed, nullptr);
            return;
        }
    }
    const double km = v.speed_kmh() * seconds / seconds_per_hour;
    const double lat_before = v.lat;
    const double lon_before = v.lon;
    // Over a pole the longitude half goes on with the turned course, as the
    // motion always has.
    const double after = step_latitude(v.lat, v.lon, v.course, km);
    step_longitude(v.lon, after, km, latitude_radians(v.lat));
    keep_side_of_zero(v.lat, lat_before);
    keep_side_of_zero(v.lon, lon_before);
    tell(n, Change::moved, nullptr);
    if (after != v.course) {
        v.course = after;
        tell(n, Change::course, nullptr);
    }
}

}  // namespace vadrel
