#include "instrument_json.h"

#include <QJsonValue>

#include <array>
#include <functional>

namespace vadrel {

namespace {

// Each number of the settings under its JSON name.
struct NumberField {
    const char* name;
    std::function<double&(InstrumentSettings&)> of;
};

const std::array<NumberField, 7>& number_fields() {
    static const std::array<NumberField, 7> fields{{
        {"vento_direzione", [](InstrumentSettings& s) -> double& { return s.wind.direction; }},
        {"vento_nodi", [](InstrumentSettings& s) -> double& { return s.wind.speed_knots; }},
        {"corrente_direzione", [](InstrumentSettings& s) -> double& { return s.current.direction; }},
        {"corrente_nodi", [](InstrumentSettings& s) -> double& { return s.current.speed_knots; }},
        {"profondita", [](InstrumentSettings& s) -> double& { return s.depth; }},
        {"offset_trasduttore", [](InstrumentSettings& s) -> double& { return s.transducer_offset; }},
        {"temperatura_acqua", [](InstrumentSettings& s) -> double& { return s.water_temperature; }},
    }};
    return fields;
}

constexpr const char* all_fields =
    "attivi, vento_direzione, vento_nodi, corrente_direzione, corrente_nodi, profondita, offset_trasduttore, "
    "temperatura_acqua, variazione, deviazione";

QJsonValue correction_json(const std::optional<double>& degrees) {
    return degrees ? QJsonValue(*degrees) : QJsonValue(QJsonValue::Null);
}

// One field of the body into the settings; a refusal when it is not one of
// them or of the wrong kind.
std::optional<Refusal> take_field(const QString& name, const QJsonValue& value, InstrumentSettings& s) {
    const std::string field = name.toStdString();
    if (name == QLatin1String("attivi")) {
        if (!value.isBool()) return Refusal{field, "deve essere true o false"};
        s.enabled = value.toBool();
        return std::nullopt;
    }
    if (name == QLatin1String("variazione") || name == QLatin1String("deviazione")) {
        if (!value.isNull() && !value.isDouble()) return Refusal{field, "deve essere un numero di gradi, o null"};
        (name == QLatin1String("variazione") ? s.variation : s.deviation) =
            value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
        return std::nullopt;
    }
    for (const NumberField& number : number_fields()) {
        if (name != QLatin1String(number.name)) continue;
        if (!value.isDouble()) return Refusal{field, "deve essere un numero"};
        number.of(s) = value.toDouble();
        return std::nullopt;
    }
    return Refusal{field, std::string("campo sconosciuto: i campi sono ") + all_fields};
}

}  // namespace

QJsonObject instrument_json(const InstrumentSettings& settings) {
    InstrumentSettings s = settings;
    QJsonObject json{{"attivi", s.enabled},
                     {"variazione", correction_json(s.variation)},
                     {"deviazione", correction_json(s.deviation)}};
    for (const NumberField& number : number_fields()) json.insert(QLatin1String(number.name), number.of(s));
    return json;
}

std::variant<InstrumentSettings, Refusal> read_instruments(const QJsonObject& body, const InstrumentSettings& current) {
    InstrumentSettings s = current;
    for (auto it = body.begin(); it != body.end(); ++it) {
        if (auto refused = take_field(it.key(), it.value(), s)) return *refused;
    }
    if (auto refused = instrument_settings_problem(s)) return *refused;
    return s;
}

}  // namespace vadrel
