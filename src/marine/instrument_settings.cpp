#include "instrument_settings.h"

#include <array>
#include <cmath>

#include "model/numbers.h"

namespace vadrel {

namespace {

struct Limit {
    const char* field;
    double lowest, highest;
    const char* what;
};

std::string text_of(double value) {
    std::string text = std::to_string(value);
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

std::optional<Refusal> outside(const Limit& limit, double value) {
    if (std::isfinite(value) && value >= limit.lowest && value <= limit.highest) return std::nullopt;
    return Refusal{limit.field, std::string(limit.what) + " va da " + text_of(limit.lowest) + " a " +
                                    text_of(limit.highest)};
}

std::optional<double> number(std::string_view text) { return read_number(text, NumberSource::command_line); }

}  // namespace

std::optional<Refusal> instrument_settings_problem(const InstrumentSettings& s) {
    // field, lowest, highest, what the reason calls it; the value beside it.
    const std::array<std::pair<Limit, double>, 8> limits{{
        {{"vento_direzione", 0, 360, "la direzione del vento (gradi veri, da dove soffia)"}, s.wind.direction},
        {{"vento_nodi", 0, 200, "la velocità del vento in nodi"}, s.wind.speed_knots},
        {{"corrente_direzione", 0, 360, "la direzione della corrente (gradi veri, verso dove va)"}, s.current.direction},
        {{"corrente_nodi", 0, 20, "la velocità della corrente in nodi"}, s.current.speed_knots},
        {{"profondita", 0, 11000, "la profondità sotto il trasduttore in metri"}, s.depth},
        {{"offset_trasduttore", -100, 100, "l'offset del trasduttore in metri"}, s.transducer_offset},
        {{"temperatura_acqua", -5, 50, "la temperatura dell'acqua in gradi Celsius"}, s.water_temperature},
        {{"variazione", -180, 180, "la variazione magnetica in gradi (est positiva)"}, s.variation.value_or(0.0)},
    }};
    for (const auto& [limit, value] : limits) {
        if (auto refused = outside(limit, value)) return refused;
    }
    return outside({"deviazione", -90, 90, "la deviazione in gradi (est positiva)"}, s.deviation.value_or(0.0));
}

std::variant<Flow, std::string> read_flow(std::string_view text) {
    const std::string wanted = "GRADI@VALORE con l'unità nodi (se manca), km/h o m/s, per esempio 270@15 o 90@2m/s, non \"" +
                               std::string(text) + "\"";
    const std::size_t at = text.find('@');
    if (at == std::string_view::npos) return wanted;
    std::string_view value = text.substr(at + 1);
    // knots per unit: the unit written after the number, if any.
    constexpr std::array<std::pair<std::string_view, double>, 3> units{{{"nodi", 1.0},
                                                                        {"km/h", 1.0 / 1.852},
                                                                        {"m/s", 3600.0 / 1852.0}}};
    double factor = 1.0;
    for (const auto& [unit, knots] : units) {
        if (value.size() > unit.size() && value.ends_with(unit)) {
            value.remove_suffix(unit.size());
            factor = knots;
            break;
        }
    }
    const auto direction = number(text.substr(0, at));
    const auto speed = number(value);
    if (!direction || !speed) return wanted;
    return Flow{*direction, *speed * factor};
}

std::variant<DepthText, std::string> read_depth(std::string_view text) {
    const std::string wanted =
        "METRI[,OFFSET] con il punto per i decimali, per esempio 12.5 o 12.5,-0.8, non \"" + std::string(text) + "\"";
    const std::size_t comma = text.find(',');
    const auto depth = number(text.substr(0, comma));
    if (!depth) return wanted;
    if (comma == std::string_view::npos) return DepthText{*depth, std::nullopt};
    const auto offset = number(text.substr(comma + 1));
    if (!offset) return wanted;
    return DepthText{*depth, *offset};
}

}  // namespace vadrel
