#include "sky_sentences.h"

#include <cstdio>
#include <string_view>

namespace vadrel {

namespace {

std::string printed(const char* format, auto... values) {
    char text[32];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string one_decimal(double value) { return printed("%.1f", value); }

}  // namespace

void tell_fix(const Sky& sky, Rmc& rmc) {
    if (sky.fix != FixKind::none) {
        rmc.status = "A";
        return;
    }
    rmc.status = "V";
    for (std::string* field : {&rmc.lat, &rmc.ns, &rmc.lon, &rmc.ew, &rmc.speed, &rmc.course}) field->clear();
}

void tell_fix(const Sky& sky, Gga& gga) {
    if (sky.fix == FixKind::none) {
        gga = Gga{gga.time_field, "", "", "", "", "0", "00", "", "", "", "", "", gga.eta_dgps, gga.dgps_station};
        return;
    }
    gga.quality = "1";
    gga.satellites = printed("%02d", sky.used);
    gga.hdop = one_decimal(sky.dilution.hdop);
    if (sky.fix == FixKind::two_d) {
        gga.altitude.clear();
        gga.altitude_unit.clear();
    }
}

void tell_fix(const Sky& sky, Vtg& vtg) {
    if (sky.fix == FixKind::none) vtg = Vtg{};
}

Gsa gsa_of(const Sky& sky) {
    Gsa gsa{"A", "1", {}, "", "", ""};
    if (sky.fix == FixKind::none) return gsa;
    gsa.fix = sky.fix == FixKind::three_d ? "3" : "2";
    std::size_t n = 0;
    for (const SatelliteInView& s : sky.satellites) {
        if (s.used && n < gsa.satellites.size()) gsa.satellites[n++] = printed("%02d", s.prn);
    }
    gsa.pdop = one_decimal(sky.dilution.pdop);
    gsa.hdop = one_decimal(sky.dilution.hdop);
    if (sky.fix == FixKind::three_d) gsa.vdop = one_decimal(sky.dilution.vdop);
    return gsa;
}

std::vector<Gsv> gsv_of(const Sky& sky) {
    const std::size_t in_view = sky.satellites.size();
    const std::size_t sentences = in_view == 0 ? 1 : (in_view + 3) / 4;
    std::vector<Gsv> group(sentences);
    for (std::size_t k = 0; k < sentences; ++k) {
        Gsv& g = group[k];
        g.sentences = printed("%zu", sentences);
        g.this_one = printed("%zu", k + 1);
        g.in_view = printed("%02zu", in_view);
        for (std::size_t i = 0; i < 4 && 4 * k + i < in_view; ++i) {
            const SatelliteInView& s = sky.satellites[4 * k + i];
            g.satellites[i] = {printed("%02d", s.prn), printed("%02d", s.elevation), printed("%03d", s.azimuth),
                              s.snr > 0 ? printed("%02d", s.snr) : ""};
        }
    }
    return group;
}

Gll gll_of(const Rmc& rmc) {
    const bool fix = rmc.status == "A";
    return {rmc.lat, rmc.ns, rmc.lon, rmc.ew, rmc.time_field, fix ? "A" : "V", fix ? "A" : "N"};
}

Hdt hdt_of(const Rmc& rmc) { return {rmc.course}; }

std::string time_field(std::int64_t ms_of_day, int fixes_per_second) {
    const auto seconds = static_cast<int>(ms_of_day / 1000);
    const std::string whole = printed("%02d%02d%02d", seconds / 3600 % 100, seconds / 60 % 60, seconds % 60);
    if (fixes_per_second <= 1) return whole;
    return whole + printed(".%02d", static_cast<int>(ms_of_day % 1000 / 10));
}

std::string with_talker(std::string sentence, Talker talker) {
    if (talker == Talker::gp) return sentence;
    const std::size_t dollar = sentence.find('$');
    if (dollar == std::string::npos || sentence.size() < dollar + 6 || sentence.compare(dollar + 1, 2, "GP") != 0 ||
        sentence.compare(dollar + 3, 3, "GSV") == 0) {
        return sentence;
    }
    sentence[dollar + 2] = 'N';
    const std::size_t star = sentence.rfind('*');
    if (star != std::string::npos && star + 3 == sentence.size()) {
        sentence.replace(star, 3, checksum_field(std::string_view(sentence).substr(0, star)));
    }
    return sentence;
}

Sky classic_sky() {
    Sky sky;
    sky.satellites = {{4, 47, 228, 46, false, true},  {14, 5, 121, 0, false, false}, {16, 16, 303, 39, false, true},
                      {18, 57, 57, 46, false, true},  {19, 64, 163, 46, false, true}, {22, 9, 40, 41, false, true},
                      {27, 39, 196, 44, false, true}, {29, 33, 67, 46, false, true}};
    sky.fix = FixKind::three_d;
    sky.used = 7;
    sky.dilution.pdop = 1.8;
    sky.dilution.hdop = 1.0;
    sky.dilution.vdop = 1.5;
    sky.open_sky = sky.dilution;
    return sky;
}

std::vector<std::string> full_set(const FixTexts& fix, const Sky& sky, std::span<const SentenceKind> kinds,
                                  Talker talker, std::string_view prefix) {
    const CivilInstant& t = fix.when;
    const std::string time =
        time_field(t.hour * 3'600'000LL + t.minute * 60'000LL + t.second * 1000LL + t.millisecond, fix.fixes_per_second);
    const int year = static_cast<int>(t.year);
    Rmc rmc{time,      "A",        fix.lat, fix.ns, fix.lon, fix.ew, fix.knots, fix.course,
            printed("%02d%02d%02d", t.day, t.month, year % 100), fix.variation, fix.variation_ew};
    tell_fix(sky, rmc);
    std::vector<std::string> sentences;
    const auto send = [&](const std::string& sentence) { sentences.push_back(with_talker(sentence, talker)); };
    for (const SentenceKind kind : kinds) {
        switch (kind) {
            case SentenceKind::rmc:
                send(sentence(rmc, prefix));
                break;
            case SentenceKind::gga: {
                Gga gga{time, fix.lat, fix.ns, fix.lon, fix.ew, "", "", "", fix.altitude, "M", "", "M", "", ""};
                tell_fix(sky, gga);
                send(sentence(gga, prefix));
                break;
            }
            case SentenceKind::vtg: {
                Vtg vtg{fix.course, fix.course, fix.knots, fix.kmh};  // no magnetic variation
                tell_fix(sky, vtg);
                send(sentence(vtg, prefix));
                break;
            }
            case SentenceKind::gsa:
                send(sentence(gsa_of(sky), prefix));
                break;
            case SentenceKind::gsv:
                for (const Gsv& g : gsv_of(sky)) send(sentence(g, prefix));
                break;
            case SentenceKind::zda:
                send(sentence(Zda{time, printed("%02d", t.day), printed("%02d", t.month), printed("%04d", year), "00", "00"},
                           prefix));
                break;
            case SentenceKind::gll:
                send(sentence(gll_of(rmc), prefix));
                break;
            case SentenceKind::hdt:
                send(sentence(hdt_of(rmc), prefix));
                break;
        }
    }
    return sentences;
}

}  // namespace vadrel
