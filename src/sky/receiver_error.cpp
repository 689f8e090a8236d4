#include "receiver_error.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "fleet/vehicle.h"
#include "sky/wgs84.h"

namespace vadrel {

namespace {

// A seed of its own for each vehicle: SplitMix64's own mixing of the seed
// and the index, so that the vehicles' sequences are not one sequence
// shifted (as consecutive seeds of SplitMix64 would be).
std::uint64_t vehicle_seed(std::uint64_t seed, std::size_t vehicle) {
    SplitMix64 mix(seed ^ (0xD1B54A32D192ED03ULL * (static_cast<std::uint64_t>(vehicle) + 1)));
    return mix.next();
}

}  // namespace

double decay(double x) {
    if (!(x > 0.0)) return 1.0;
    if (x > 800.0) return 0.0;  // below the smallest double
    // e^-x = (e^-y)^(2^k) with y = x / 2^k at most 2^-10, where seven terms
    // of the series are exact to the last bit; halving and squaring round
    // the same everywhere.
    int halvings = 0;
    double y = x;
    while (y > 1.0 / 1024.0) {
        y *= 0.5;
        ++halvings;
    }
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 7; ++n) {
        term = term * -y / n;
        sum += term;
    }
    for (int i = 0; i < halvings; ++i) sum *= sum;
    return sum;
}

PositionNoise::PositionNoise(double sigma, std::uint64_t seed, std::size_t vehicle)
    : sigma_(std::isfinite(sigma) && sigma > 0.0 ? sigma : 0.0), dice_(vehicle_seed(seed, vehicle)) {}

double PositionNoise::deviate() {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) sum += dice_.uniform();
    return sum - 6.0;
}

Offset PositionNoise::step(std::int64_t utc_ms, const Sky& sky) {
    if (!last_ms_ || utc_ms < *last_ms_) {
        for (double& z : walk_) z = deviate();
    } else if (utc_ms > *last_ms_) {
        const double dt = (static_cast<double>(utc_ms) - static_cast<double>(*last_ms_)) / 1000.0;
        const double phi = decay(dt / correlation_s);
        const double fresh = std::sqrt(1.0 - phi * phi);
        for (double& z : walk_) z = phi * z + fresh * deviate();
    }
    last_ms_ = utc_ms;
    if (sky.fix == FixKind::none || sigma_ <= 0.0) return {};
    const auto worse = [](double now, double open) { return open > 0.0 ? now / open : now; };
    const double horizontal = sigma_ * worse(sky.dilution.hdop, sky.open_sky.hdop);
    const double vertical = sigma_ * worse(sky.dilution.vdop, sky.open_sky.vdop);
    return {walk_[0] * horizontal, walk_[1] * horizontal, walk_[2] * vertical};
}

ArcPosition displaced(double lat, double lon, const Offset& offset) {
    const double phi = lat / arc_seconds_per_degree * std::numbers::pi / 180.0;
    const double s = std::sin(phi);
    const double w = 1.0 - wgs84::eccentricity_squared * s * s;
    const double meridian = wgs84::semi_major_axis * (1.0 - wgs84::eccentricity_squared) / (w * std::sqrt(w));
    const double normal = wgs84::semi_major_axis / std::sqrt(w);
    const double arc_per_radian = 180.0 / std::numbers::pi * arc_seconds_per_degree;
    // Within a few metres of a pole the east offset turns about it; a
    // parallel of a micrometre's radius is taken as that small.
    const double parallel = std::fmax(normal * std::cos(phi), 1e-6);
    constexpr double pole = latitude_limit;
    constexpr double half_turn = longitude_limit;
    ArcPosition p{std::remainder(lat + offset.north / meridian * arc_per_radian, 2 * half_turn),
                  lon + offset.east / parallel * arc_per_radian};
    if (p.lat > pole || p.lat < -pole) {
        p.lat = (p.lat > 0 ? half_turn : -half_turn) - p.lat;
        p.lon += half_turn;
    }
    p.lon = std::remainder(p.lon, 2 * half_turn);
    return p;
}

bool fix_lost(const FixOutage& outage, std::int64_t origin_ms, std::int64_t now_ms) {
    constexpr std::int64_t longest = std::numeric_limits<std::int64_t>::max() / 1000;
    if (outage.duration <= 0 || outage.every <= outage.duration || outage.every > longest) return false;
    const std::int64_t period = outage.every * 1000;
    std::int64_t into = (now_ms - origin_ms) % period;
    if (into < 0) into += period;
    return into >= period - outage.duration * 1000;
}

}  // namespace vadrel
