#include "route.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <limits>
#include <numbers>

#include "model/coordinates.h"
#include "model/numbers.h"
#include "model/utf8.h"
#include "routes/iso_time.h"

namespace vadrel {

namespace {

constexpr double fixed_per_degree = 1e7;

}  // namespace

std::optional<std::string> Route::name_problem(std::string_view name) {
    // Bytes first: a name of many bytes is refused without being decoded.
    if (name.size() > 4 * max_name_chars) {
        return "il nome del percorso è più lungo di " + std::to_string(max_name_chars) + " caratteri";
    }
    const std::u32string chars = code_points(name);
    if (chars.size() > max_name_chars) {
        return "il nome del percorso è più lungo di " + std::to_string(max_name_chars) + " caratteri";
    }
    for (const char32_t c : chars) {
        if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) {
            char code[8];
            std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c));
            return std::string("il nome del percorso contiene un carattere che non si può scrivere (U+") + code + ")";
        }
    }
    return std::nullopt;
}

Route::Fixed Route::Fixed::of(double lat_degrees, double lon_degrees) {
    return {static_cast<std::int32_t>(std::lround(lat_degrees * fixed_per_degree)),
            static_cast<std::int32_t>(std::lround(lon_degrees * fixed_per_degree))};
}

// Divided, not multiplied by 1e-7: the quotient is correctly rounded, so a
// coordinate read with up to seven decimals comes back as the same double.
GeoPoint Route::Fixed::degrees() const {
    return {static_cast<double>(lat) / fixed_per_degree, static_cast<double>(lon) / fixed_per_degree};
}

std::optional<std::string> Route::refusal(const RoutePoint& p, GeoPoint kept) const {
    if (auto why = latitude_problem(p.lat)) return why;
    if (auto why = longitude_problem(p.lon)) return why;
    if (p.speed && (!std::isfinite(*p.speed) || *p.speed < 0.0 || *p.speed > max_speed))
        return "la velocità " + shortest_text(*p.speed) + " m/s è fuori campo (da 0 a " +
               shortest_text(std::floor(max_speed)) + " m/s, cioè 32767 nodi)";
    if (points_.size() >= max_points) return "il percorso ha più di 1.000.000 di punti";
    if (p.time && latest_ms_) {
        if (*p.time < *latest_ms_)
            return "l'ora " + iso_time(*p.time) + " viene prima di quella di un punto precedente (" +
                   iso_time(*latest_ms_) + ")";
        if (*p.time - *latest_ms_ > max_leg_ms)
            return "tra l'ora di questo punto e quella del precedente passano più di 49 giorni";
    }
    if (!points_.empty()) {
        const double angle = central_angle(last_vector_, to_vector(kept));
        if (angle > std::numbers::pi - antipode_margin_m / earth_radius_m)
            return "il punto è agli antipodi del precedente: tra i due passano infiniti cerchi massimi, la tratta "
                   "non è definita";
    }
    return std::nullopt;
}

std::optional<std::string> Route::add(const RoutePoint& p) {
    // In range before it is made a fixed number (a NaN or 1e300 has none).
    const bool in_range = on_globe(p.lat, p.lon);
    const Fixed fixed = in_range ? Fixed::of(p.lat, p.lon) : Fixed{};
    if (auto refused = refusal(p, fixed.degrees())) return refused;
    // The legs join the points as kept.
    const Vec3 v = to_vector(fixed.degrees());
    if (!points_.empty()) {
        const double metres = central_angle(last_vector_, v) * earth_radius_m;
        const std::size_t leg = legs_.size();
        legs_.push_back(static_cast<float>(metres));
        length_ += metres;
        const std::optional<double> pace = speed(leg);
        if (pace && *pace > 0.0) {
            paced_seconds_ += metres / *pace;
        } else {
            unpaced_metres_ += metres;
        }
    }
    // Times: kept while every point has one.
    if (timed_ && !p.time) drop_times();
    if (timed_) {
        if (points_.empty()) {
            first_ms_ = *p.time;
        } else {
            leg_ms_.push_back(static_cast<std::uint32_t>(*p.time - last_ms_));
        }
        if (points_.size() % time_stride == 0) time_marks_.push_back(*p.time);
        last_ms_ = *p.time;
    }
    if (p.time) latest_ms_ = p.time;
    // Speeds: none kept until a point has one.
    if (p.speed || !speeds_.empty()) {
        speeds_.grow_to(points_.size(), std::numeric_limits<float>::quiet_NaN());
        speeds_.push_back(p.speed ? static_cast<float>(*p.speed) : std::numeric_limits<float>::quiet_NaN());
    }
    // The run's extent, from the points as kept.
    if (points_.size() % extent_points == 0) {
        extents_.push_back({fixed.lat, fixed.lat, 0.0f, 0.0f, 0.0f});
        run_east_ = 0.0;
    } else {
        Extent& run = extents_.back();
        run_east_ += std::remainder(fixed.degrees().lon - points_[points_.size() - 1].degrees().lon, 360.0);
        const auto east = static_cast<float>(run_east_);
        run.south = std::min(run.south, fixed.lat);
        run.north = std::max(run.north, fixed.lat);
        run.west = std::min(run.west, east);
        run.east = std::max(run.east, east);
        run.last = east;
    }
    points_.push_back(fixed);
    last_vector_ = v;
    return std::nullopt;
}

void Route::drop_times() {
    timed_ = false;
    leg_ms_.clear();
    time_marks_ = {};
}

void Route::shrink() {
    points_.shrink();
    legs_.shrink();
    leg_ms_.shrink();
    time_marks_.shrink_to_fit();
    speeds_.shrink();
    extents_.shrink_to_fit();
}

std::optional<double> Route::speed(std::size_t i) const {
    if (speeds_.empty() || std::isnan(speeds_[i])) return std::nullopt;
    return speeds_[i];
}

std::optional<std::int64_t> Route::time(std::size_t i) const {
    if (!has_times()) return std::nullopt;
    const std::size_t mark = i / time_stride;
    std::int64_t t = time_marks_[mark];
    for (std::size_t k = mark * time_stride; k < i; ++k) t += leg_ms_[k];
    return t;
}

RoutePoint Route::point(std::size_t i) const {
    const GeoPoint p = points_[i].degrees();
    return {p.lat, p.lon, speed(i), time(i)};
}

double Route::travel_seconds(double speed) const {
    if (unpaced_metres_ == 0.0) return paced_seconds_;
    if (!(speed > 0.0)) return std::numeric_limits<double>::infinity();
    return paced_seconds_ + unpaced_metres_ / speed;
}

bool Route::operator==(const Route& other) const {
    if (name_ != other.name_ || size() != other.size()) return false;
    for (std::size_t i = 0; i < size(); ++i) {
        if (!(point(i) == other.point(i))) return false;
    }
    return true;
}

}  // namespace vadrel
