#include "sky.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vadrel {

namespace {

struct Solution {
    FixKind fix = FixKind::none;
    Dilution dilution;
};

// The fix of the heard satellites given, highest first (the first max_used
// of them are used).
Solution solve(std::span<const SatelliteInView* const> heard) {
    std::array<Direction, max_used> directions{};
    const std::size_t count = std::min(heard.size(), max_used);
    for (std::size_t i = 0; i < count; ++i) {
        directions[i] = {static_cast<double>(heard[i]->azimuth), static_cast<double>(heard[i]->elevation)};
    }
    const std::span<const Direction> used(directions.data(), count);
    if (const auto d3 = dilution_3d(used); d3 && d3->pdop <= max_dop) return {FixKind::three_d, *d3};
    if (const auto d2 = dilution_2d(used); d2 && d2->hdop <= max_dop) return {FixKind::two_d, *d2};
    return {};
}

void highest_first(std::span<const SatelliteInView*> satellites) {
    std::sort(satellites.begin(), satellites.end(), [](const SatelliteInView* a, const SatelliteInView* b) {
        return a->elevation != b->elevation ? a->elevation > b->elevation : a->prn < b->prn;
    });
}

}  // namespace

bool hides(const Obstruction& o, int azimuth, int elevation) {
    if (elevation >= o.below) return false;
    const double a = azimuth;
    return o.from <= o.to ? (a >= o.from && a <= o.to) : (a >= o.from || a <= o.to);
}

Observer observer_of(const Vehicle& vehicle, double height) {
    return {vehicle.latitude_degrees(), vehicle.longitude_degrees(), height};
}

int snr_at(int elevation) {
    return static_cast<int>(std::lround(30.0 + 20.0 * std::sin(elevation * std::numbers::pi / 180.0)));
}

void choose_fix(Sky& sky) {
    std::vector<const SatelliteInView*> heard;
    heard.reserve(sky.satellites.size());
    for (SatelliteInView& s : sky.satellites) {
        s.used = false;
        if (s.snr > 0) heard.push_back(&s);
    }
    sky.fix = FixKind::none;
    sky.dilution = {};
    sky.used = 0;
    highest_first(heard);
    const Solution fix = solve(heard);
    if (fix.fix == FixKind::none) return;
    const std::size_t n = std::min(heard.size(), max_used);
    sky.fix = fix.fix;
    sky.dilution = fix.dilution;
    sky.used = static_cast<int>(n);
    for (std::size_t i = 0; i < n; ++i) {
        sky.satellites[static_cast<std::size_t>(heard[i] - sky.satellites.data())].used = true;
    }
}

Sky observe(const Constellation& constellation, const Observer& observer, const SkySettings& settings,
            bool signal) {
    // Every satellite above the horizon, as the sentences would carry it.
    constexpr std::size_t all = reference_slots.size();
    std::array<SatelliteInView, all> above{};
    std::size_t count = 0;
    const LocalFrame frame(observer);
    for (const Satellite& satellite : constellation.satellites) {
        const Direction d = frame.direction_to(satellite.position);
        if (!std::isfinite(d.elevation) || !std::isfinite(d.azimuth)) continue;  // an observer nowhere sees nothing
        SatelliteInView& s = above[count];
        s.elevation = static_cast<int>(std::lround(d.elevation));
        if (s.elevation < 0) continue;
        s.prn = satellite.prn;
        s.azimuth = static_cast<int>(std::lround(d.azimuth)) % 360;
        ++count;
    }

    Sky sky;
    sky.satellites.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        SatelliteInView s = above[i];
        if (s.elevation < settings.mask) continue;
        s.hidden = std::any_of(settings.obstructions.begin(), settings.obstructions.end(),
                               [&](const Obstruction& o) { return hides(o, s.azimuth, s.elevation); });
        if (signal && !s.hidden) s.snr = snr_at(s.elevation);
        sky.satellites.push_back(s);
    }
    std::sort(sky.satellites.begin(), sky.satellites.end(),
              [](const SatelliteInView& a, const SatelliteInView& b) { return a.prn < b.prn; });

    choose_fix(sky);

    const bool open = settings.mask == default_mask && settings.obstructions.empty() && signal;
    if (open && sky.fix == FixKind::three_d) {
        sky.open_sky = sky.dilution;
    } else {
        std::array<const SatelliteInView*, all> open_heard{};
        std::size_t m = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (above[i].elevation >= default_mask) open_heard[m++] = &above[i];
        }
        highest_first(std::span(open_heard).first(m));
        const Solution open_fix = solve(std::span(open_heard).first(m));
        if (open_fix.fix == FixKind::three_d) sky.open_sky = open_fix.dilution;
    }
    return sky;
}

}  // namespace vadrel
