#include "sentence_table.h"

#include <algorithm>
#include <cstdio>

#include "sky/sky_sentences.h"

namespace vadrel {

namespace {

std::string two_digits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::vector<std::string> build_rmc(const FullSetFix& f) { return {sentence(f.rmc, f.prefix)}; }

std::vector<std::string> build_gga(const FullSetFix& f) {
    Gga gga{f.time, f.fix.lat, f.fix.ns, f.fix.lon, f.fix.ew, "", "", "", f.fix.altitude, "M", "", "M", "", ""};
    tell_fix(f.sky, gga);
    return {sentence(gga, f.prefix)};
}

std::vector<std::string> build_vtg(const FullSetFix& f) {
    Vtg vtg{f.fix.course, f.fix.course, f.fix.knots, f.fix.kmh};  // no magnetic variation
    tell_fix(f.sky, vtg);
    return {sentence(vtg, f.prefix)};
}

std::vector<std::string> build_gsa(const FullSetFix& f) { return {sentence(gsa_of(f.sky), f.prefix)}; }

std::vector<std::string> build_gsv(const FullSetFix& f) {
    std::vector<std::string> group;
    for (const Gsv& g : gsv_of(f.sky)) group.push_back(sentence(g, f.prefix));
    return group;
}

std::vector<std::string> build_zda(const FullSetFix& f) {
    const CivilInstant& t = f.fix.when;
    char year[16];
    std::snprintf(year, sizeof year, "%04d", static_cast<int>(t.year));
    return {sentence(Zda{f.time, two_digits(t.day), two_digits(t.month), year, "00", "00"}, f.prefix)};
}

std::vector<std::string> build_gll(const FullSetFix& f) { return {sentence(gll_of(f.rmc), f.prefix)}; }

std::vector<std::string> build_hdt(const FullSetFix& f) { return {sentence(hdt_of(f.rmc), f.prefix)}; }

const std::array<SentenceRow, 9> table{{
    // name, kind in the full set, its builder there, where it may go
    {name_of(SentenceKind::rmc), SentenceKind::rmc, build_rmc, SentIn::gps_standard | SentIn::radio_burst | SentIn::full_set},
    {name_of(SentenceKind::gga), SentenceKind::gga, build_gga, SentIn::radio_burst | SentIn::full_set},
    {name_of(SentenceKind::vtg), SentenceKind::vtg, build_vtg, SentIn::radio_burst | SentIn::full_set},
    {name_of(SentenceKind::gsa), SentenceKind::gsa, build_gsa, SentIn::radio_burst | SentIn::full_set},
    {name_of(SentenceKind::gsv), SentenceKind::gsv, build_gsv, SentIn::radio_burst | SentIn::full_set},
    {name_of(SentenceKind::zda), SentenceKind::zda, build_zda, SentIn::full_set},
    {name_of(SentenceKind::gll), SentenceKind::gll, build_gll, SentIn::full_set},
    {name_of(SentenceKind::hdt), SentenceKind::hdt, build_hdt, SentIn::full_set},
    {"RME", std::nullopt, nullptr, SentIn::radio_burst},
}};

}  // namespace

const std::array<SentenceRow, 9>& sentence_table() { return table; }

const SentenceRow* sentence_row(std::string_view name) {
    const auto found = std::find_if(table.begin(), table.end(), [name](const SentenceRow& r) { return r.name == name; });
    return found == table.end() ? nullptr : &*found;
}

const SentenceRow& sentence_row(SentenceKind kind) {
    const auto found = std::find_if(table.begin(), table.end(), [kind](const SentenceRow& r) { return r.kind == kind; });
    return *found;  // every kind has its row (tests hold it)
}

std::string sentence_names_in(std::uint8_t where) {
    std::string names;
    for (const SentenceRow& row : table) {
        if ((row.where & where) != 0) names += (names.empty() ? "" : ", ") + std::string(row.name);
    }
    return names;
}

}  // namespace vadrel
