#include "instrument_sentences.h"

#include <cmath>
#include <cstdio>

#include "nmea/sentences.h"

namespace vadrel {

namespace {

constexpr double metres_per_foot = 0.3048;
constexpr double metres_per_fathom = 1.8288;
constexpr double km_per_nm = 1.852;

std::string printed(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// One decimal; a value that rounds to nothing is 0.0, never -0.0.
std::string tenths(double value) {
    const double rounded = std::round(value * 10.0) / 10.0;
    return printed("%.1f", rounded == 0.0 ? 0.0 : rounded);
}

// An angle in tenths of a degree within 0.0 .. 359.9: 359.96 is 0.0, not 360.0.
std::string angle(double degrees) {
    const long t = std::lround(degrees * 10.0) % 3600;
    return tenths(static_cast<double>(t < 0 ? t + 3600 : t) / 10.0);
}

struct Side {
    std::string value, ew;
};
Side side(const std::optional<double>& degrees) {
    if (!degrees) return {};
    return {tenths(std::abs(*degrees)), *degrees < 0.0 ? "W" : "E"};
}

// The heading or direction against magnetic north; empty without a variation.
std::string magnetic(double true_degrees, const std::optional<double>& variation) {
    return variation ? angle(true_degrees - *variation) : std::string();
}

Mwv mwv(const std::optional<WindReading>& wind, const char* reference) {
    if (!wind) return {"", reference, ""};
    return {angle(wind->angle), reference, tenths(wind->speed_knots)};
}

}  // namespace

std::vector<std::string> instrument_sentences(const InstrumentReadings& r) {
    const Side deviation = side(r.deviation);
    const Side variation = side(r.variation);
    const double compass = r.heading_true - r.variation.value_or(0.0) - r.deviation.value_or(0.0);
    std::vector<std::string> out{
        sentence(Hdg{angle(compass), deviation.value, deviation.ew, variation.value, variation.ew}),
        sentence(Hdt{angle(r.heading_true), "HE"}),
        sentence(Rot{tenths(r.rate_of_turn)}),
        sentence(Vhw{angle(r.heading_true), magnetic(r.heading_true, r.variation), tenths(r.water_speed_knots),
                     tenths(r.water_speed_knots * km_per_nm)}),
    };
    if (r.apparent_wind) out.push_back(sentence(mwv(r.apparent_wind, "R")));
    if (r.true_wind_relative) out.push_back(sentence(mwv(r.true_wind_relative, "T")));
    if (r.true_wind) {
        const WindReading& w = *r.true_wind;
        out.push_back(sentence(Mwd{angle(w.angle), magnetic(w.angle, r.variation), tenths(w.speed_knots),
                                   tenths(w.speed_knots * km_per_nm / 3.6)}));
    }
    if (r.depth_below_transducer) {
        const double metres = *r.depth_below_transducer;
        out.push_back(sentence(Dbt{tenths(metres / metres_per_foot), tenths(metres), tenths(metres / metres_per_fathom)}));
        out.push_back(sentence(Dpt{tenths(metres), tenths(r.transducer_offset)}));
    }
    if (r.water_temperature) out.push_back(sentence(Mtw{tenths(*r.water_temperature)}));
    const std::string run = printed("%.2f", r.distance_run_nm);
    out.push_back(sentence(Vlw{run, run}));
    return out;
}

}  // namespace vadrel
