#include "threats.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "sky/receiver_error.h"
#include "sky/sky_sentences.h"
#include "tick/second_sentences.h"

namespace vadrel {

namespace {

// The first three of the heard (strongest first) whose geometry gives a 2D
// fix keep their figures; the sky is left with none heard when no three do.
void keep_three(Sky& sky, const std::vector<SatelliteInView*>& heard, const std::vector<int>& figures) {
    const std::size_t n = heard.size();
    for (std::size_t i = 0; i + 2 < n; ++i) {
        for (std::size_t j = i + 1; j + 1 < n; ++j) {
            for (std::size_t k = j + 1; k < n; ++k) {
                for (const std::size_t m : {i, j, k}) heard[m]->snr = figures[m];
                choose_fix(sky);
                if (sky.fix == FixKind::two_d) return;
                for (const std::size_t m : {i, j, k}) heard[m]->snr = 0;
            }
        }
    }
}

}  // namespace

Sky jammed_sky(Sky sky, double share) {
    std::vector<SatelliteInView*> heard;
    for (SatelliteInView& s : sky.satellites) {
        if (s.snr > 0) heard.push_back(&s);
    }
    if (share < 1.0 / 3.0) {
        const int drop = static_cast<int>(std::lround(jamming_drop_db * share * 3.0));
        for (SatelliteInView* s : heard) s->snr = s->snr - drop < weakest_heard_snr ? 0 : s->snr - drop;
    } else {
        // The strongest first; of two alike the higher, then the lower PRN.
        std::sort(heard.begin(), heard.end(), [](const SatelliteInView* a, const SatelliteInView* b) {
            if (a->snr != b->snr) return a->snr > b->snr;
            return a->elevation != b->elevation ? a->elevation > b->elevation : a->prn < b->prn;
        });
        for (SatelliteInView* s : heard) s->snr = std::max(s->snr - jamming_drop_db, weakest_heard_snr);
        const std::vector<int> figures = [&] {
            std::vector<int> kept;
            for (const SatelliteInView* s : heard) kept.push_back(s->snr);
            return kept;
        }();
        for (SatelliteInView* s : heard) s->snr = 0;
        if (share < 2.0 / 3.0) keep_three(sky, heard, figures);
    }
    choose_fix(sky);
    return sky;
}

void Threats::drift(const Drift& drift, std::int64_t utc_ms) {
    if (drift.metres_per_second <= 0.0) {
        drift_.reset();
        return;
    }
    drift_ = Since{drift, utc_ms};
}

void Threats::jam(double seconds, std::int64_t utc_ms) {
    jamming_ = Jamming{utc_ms, std::llround(seconds * 1000.0)};
}

bool Threats::jamming(std::int64_t utc_ms) const {
    return jamming_ && utc_ms >= jamming_->start_ms && utc_ms < jamming_->start_ms + jamming_->length_ms;
}

void Threats::affect(SecondOfVehicle& second, std::size_t /*n*/) {
    const std::int64_t now = now_ms_ ? *now_ms_ : second.time.utc_ms;
    const SkyOptions& sky_options = second.options.sky_options;
    if (drift_ && now >= drift_->start_ms) {
        const double metres = drift_->drift.metres_per_second * static_cast<double>(now - drift_->start_ms) / 1000.0;
        const double course = drift_->drift.course * std::numbers::pi / 180.0;
        const ArcPosition shown =
            displaced(second.vehicle.lat, second.vehicle.lon, {metres * std::sin(course), metres * std::cos(course), 0.0});
        second.vehicle.lat = shown.lat;
        second.vehicle.lon = shown.lon;
        if (second.sky && sky_options.satellites) {
            for (SatelliteInView& s : second.sky->satellites) {
                if (s.snr > 0) s.snr = spoofed_snr;
            }
        }
    }
    if (jamming(now)) {
        const double share = static_cast<double>(now - jamming_->start_ms) / static_cast<double>(jamming_->length_ms);
        if (second.sky || second.options.full_set) {
            second.sky = jammed_sky(second.sky ? *second.sky : classic_sky(), share);
        }
        if (share >= 2.0 / 3.0) second.options.no_fix = true;
    }
}

}  // namespace vadrel
