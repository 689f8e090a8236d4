#include "second_sentences.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "motion/dead_reckoning.h"
#include "model/civil_time.h"
#include "sky/sky_sentences.h"

namespace vadrel {

namespace {

// The fixed fields of the $GPRMC: a valid fix, no speed or course unless
// the real motion is asked for, no magnetic variation.
constexpr const char* fix_valid = "A";
constexpr const char* still_speed = "0.0";
constexpr const char* still_course = "000.0";
constexpr const char* variation = "000.0";
constexpr const char* variation_side = "W";

// The constellation of a live fix: the satellites of the burst's $GPGSV
// that have a signal, and dilutions of a good open-sky fix.
constexpr std::array<const char*, 7> satellites_in_use{"04", "16", "18", "19", "22", "27", "29"};
constexpr const char* pdop = "1.8";
constexpr const char* hdop = "1.0";
constexpr const char* vdop = "1.5";

std::string without(std::string text, char removed) {
    text.erase(std::remove(text.begin(), text.end(), removed), text.end());
    return text;
}

std::string printed(const char* format, auto... values) {
    char text[64];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Where the vehicle is, as the fields write it.
struct Fix {
    std::string lat, ns, lon, ew;
};

Fix fix_of(const Vehicle& v) {
    return {rmc_coordinate(v.lat, 2), std::signbit(v.lat) ? "S" : "N", rmc_coordinate(v.lon, 3),
            std::signbit(v.lon) ? "W" : "E"};
}

// Speed and course as the sentences write them: the vehicle's over the
// ground with the real motion on, the fixed fields otherwise. A course that
// rounds to 360.0 is 000.0.
struct Motion {
    std::string course, knots, kmh;
};

Motion motion_of(const SecondOfVehicle& s) {
    if (!s.options.real_motion) return {still_course, still_speed, still_speed};
    const GroundMotion ground = ground_motion(s.vehicle);
    const long tenths = std::lround(ground.course * 10.0) % 3600;
    return {printed("%03ld.%ld", tenths / 10, tenths % 10), printed("%.1f", ground.kmh / km_per_nautical_mile),
            printed("%.1f", ground.kmh)};
}

Rmc rmc_of(const SecondOfVehicle& s) {
    const SentenceTime& t = s.time;
    if (s.options.no_fix) return {t.time, "V", "", "", "", "", "", "", t.date, variation, variation_side};
    const Fix f = fix_of(s.vehicle);
    const Motion m = motion_of(s);
    return {t.time, fix_valid, f.lat, f.ns, f.lon, f.ew, m.knots, m.course, t.date, variation, variation_side};
}

Gga gga_of(const SecondOfVehicle& s) {
    if (s.options.no_fix) return {s.time.time, "", "", "", "", "0", "00", "", "", "", "", "", "", ""};
    const Fix f = fix_of(s.vehicle);
    return {s.time.time, f.lat, f.ns, f.lon, f.ew, "1", printed("%02zu", satellites_in_use.size()),
            hdop, printed("%.1f", s.options.altitude), "M", "", "M", "", ""};
}

Vtg vtg_of(const SecondOfVehicle& s) {
    if (s.options.no_fix) return {};
    const Motion m = motion_of(s);
    return {m.course, m.course, m.knots, m.kmh};  // no magnetic variation: the $GPRMC says 000.0
}

Gsa gsa_of(const SecondOfVehicle& s) {
    if (s.options.no_fix) return {"A", "1", {}, "", "", ""};
    Gsa f{"A", "3", {}, pdop, hdop, vdop};
    std::copy(satellites_in_use.begin(), satellites_in_use.end(), f.satellites.begin());
    return f;
}

// The sky of a receiver that hears nothing: the satellites still listed.
Sky unheard(Sky sky) {
    for (SatelliteInView& satellite : sky.satellites) {
        satellite.snr = 0;
        satellite.used = false;
    }
    sky.fix = FixKind::none;
    sky.dilution = {};
    sky.used = 0;
    return sky;
}

std::vector<std::string> full_set_of(const SecondOfVehicle& s) {
    const CivilTime& c = s.time.civil;
    FixTexts fix;
    fix.when = {c.year, c.month, c.day, c.hour, c.minute, c.second, s.time.millisecond};
    fix.fixes_per_second = s.fixes_per_second;
    const Fix f = fix_of(s.vehicle);
    const Motion m = motion_of(s);
    fix.lat = f.lat;
    fix.ns = f.ns;
    fix.lon = f.lon;
    fix.ew = f.ew;
    fix.knots = m.knots;
    fix.course = m.course;
    fix.kmh = m.kmh;
    fix.variation = variation;
    fix.variation_ew = variation_side;
    fix.altitude = printed("%.1f", s.options.altitude + s.altitude_error);
    Sky sky = s.sky ? *s.sky : classic_sky();
    if (s.options.no_fix) sky = unheard(std::move(sky));
    const SkyOptions& sky_options = s.options.sky_options;
    if (!sky_options.sentences.empty()) return full_set(fix, sky, sky_options.sentences, sky_options.talker, s.prefix);
    if (sky_options.satellites) return full_set(fix, sky, full_set_with_sky, sky_options.talker, s.prefix);
    return full_set(fix, sky, classic_full_set, sky_options.talker, s.prefix);
}

const std::string radio_separator("\r\n\0\0\0\0\0", 7);

std::string framed(const std::vector<std::string>& sentences) {
    std::string burst = radio_separator;
    for (const std::string& sentence : sentences) {
        burst += sentence;
        burst += radio_separator;
    }
    return burst;
}

}  // namespace

SentenceTime sentence_time(Clock& clock, const ReceiverOptions& options, int fixes_per_second) {
    SentenceTime t;
    if (!options.utc && !options.full_set) {
        const std::string time = "000000" + without(clock.time_text(), '.');
        t.time = time.substr(time.size() - 6);
        t.date = without(clock.date_text(), '/');
        // The receiver's clock still runs: the noise and the timed losses
        // of the fix count on it, to the whole second.
        t.utc_ms = static_cast<std::int64_t>(std::floor(clock.utc_seconds())) * 1000;
        return t;
    }
    const WallTime now = clock.wall_time();
    t.civil = options.utc ? now.utc : now.local;
    const auto ms_of_civil = [](const CivilTime& c) {
        return ms_of({c.year, c.month, c.day, c.hour, c.minute, c.second, 0});
    };
    t.utc_ms = ms_of_civil(now.utc);
    if (fixes_per_second > 1) {
        // The reading of the fix, from the same clock as the seconds; the
        // zone's offset from the reading of the wall time.
        const std::int64_t period = 1000 / fixes_per_second;
        const auto read = static_cast<std::int64_t>(std::floor(clock.utc_seconds() * 1000.0));
        t.utc_ms = read - (read % period + period) % period;
        const std::int64_t zone = options.utc ? 0 : ms_of_civil(now.local) - ms_of_civil(now.utc);
        const CivilInstant shown = civil_of(t.utc_ms + zone);
        t.civil = {static_cast<int>(shown.year), shown.month, shown.day, shown.hour, shown.minute, shown.second};
        t.millisecond = shown.millisecond;
    }
    t.time = printed("%02d%02d%02d", t.civil.hour, t.civil.minute, t.civil.second);
    t.date = printed("%02d%02d%02d", t.civil.day, t.civil.month, t.civil.year % 100);
    return t;
}

std::vector<std::string> second_sentences(const SecondOfVehicle& s) {
    const ReceiverOptions& o = s.options;
    if (s.mode != Mode::radio && o.full_set) return full_set_of(s);
    const std::string rmc = sentence(rmc_of(s), s.prefix);
    if (s.mode == Mode::radio) {
        if (!o.full_set && !o.no_fix) return {gsv_1, gsv_2, rme, rmc, vtg, gga, gsa};
        return {gsv_1, gsv_2, rme, rmc, sentence(vtg_of(s)), sentence(gga_of(s)), sentence(gsa_of(s))};
    }
    return {rmc};
}

std::string second_bytes(const std::vector<std::string>& sentences, Mode mode) {
    if (mode == Mode::radio) return framed(sentences);
    std::string bytes;
    for (const std::string& sentence : sentences) bytes += sentence + "\r\n";
    return bytes;
}

std::string second_text(const std::vector<std::string>& sentences, Mode mode) {
    if (mode == Mode::radio) return framed(sentences);
    std::string text;
    for (std::size_t i = 0; i < sentences.size(); ++i) text += (i == 0 ? "" : "\r\n") + sentences[i];
    return text;
}

}  // namespace vadrel
