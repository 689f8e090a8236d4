#include "control_json.h"

#include <QJsonArray>
#include <cmath>

#include "model/numbers.h"
#include "sky/sky_options.h"

namespace vadrel {

namespace {

// Seed values a JSON number holds exactly.
constexpr double largest_exact_whole = 9007199254740991.0;  // 2^53 - 1

double to_1e7(double degrees) { return std::round(degrees * 1e7) / 1e7; }

QString key(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

Refusal unknown_field(const QString& name, const char* known) {
    return Refusal{name.toStdString(), std::string("campo sconosciuto: i campi sono ") + known};
}

// The first field of `body` that is not in `known`, refused.
std::optional<Refusal> unknown_in(const QJsonObject& body, std::initializer_list<std::string_view> known,
                                  const char* listed) {
    for (auto it = body.begin(); it != body.end(); ++it) {
        bool found = false;
        for (std::string_view name : known) found = found || it.key() == key(name);
        if (!found) return unknown_field(it.key(), listed);
    }
    return std::nullopt;
}

// The field's value when it is present and of its kind; a refusal when it is
// present and of another kind.
template <typename T>
using Field = std::variant<std::optional<T>, Refusal>;

Field<double> number_field(const QJsonObject& body, std::string_view name) {
    const QJsonValue value = body.value(key(name));
    if (value.isUndefined()) return std::optional<double>();
    if (!value.isDouble()) return Refusal{std::string(name), "deve essere un numero"};
    return std::optional<double>(value.toDouble());
}

Field<bool> bool_field(const QJsonObject& body, std::string_view name) {
    const QJsonValue value = body.value(key(name));
    if (value.isUndefined()) return std::optional<bool>();
    if (!value.isBool()) return Refusal{std::string(name), "deve essere true o false"};
    return std::optional<bool>(value.toBool());
}

Field<std::string> text_field(const QJsonObject& body, std::string_view name) {
    const QJsonValue value = body.value(key(name));
    if (value.isUndefined()) return std::optional<std::string>();
    if (!value.isString()) return Refusal{std::string(name), "deve essere un testo"};
    return std::optional<std::string>(value.toString().toStdString());
}

// Takes the field into `out` or returns its refusal.
template <typename T>
std::optional<Refusal> take(Field<T> field, std::optional<T>& out) {
    if (auto* refused = std::get_if<Refusal>(&field)) return *refused;
    out = std::get<std::optional<T>>(field);
    return std::nullopt;
}

// "30/300", "" when the fix is never lost.
QString fix_outage_text(const FixOutage& outage) {
    return outage.every > 0 ? QString::number(outage.duration) + u'/' + QString::number(outage.every) : QString();
}

// A number of the sky's options read as its text is read on the command
// line and in vadrel.ini, so the rules and the reasons are those.
template <typename T>
std::optional<Refusal> sky_number(const QJsonObject& body, std::string_view name,
                                  std::variant<T, std::string> (*reader)(std::string_view), T& out) {
    std::optional<double> value;
    if (auto bad = take(number_field(body, name), value)) return bad;
    if (!value) return std::nullopt;
    auto read = reader(QString::number(*value, 'g', 17).toStdString());
    if (auto* why = std::get_if<std::string>(&read)) return Refusal{std::string(name), *why};
    out = std::get<T>(read);
    return std::nullopt;
}

// A text of the sky's options, read as the command line and vadrel.ini read it.
template <typename T>
std::optional<Refusal> sky_text(const QJsonObject& body, std::string_view name,
                                std::variant<T, std::string> (*reader)(std::string_view), T& out) {
    std::optional<std::string> value;
    if (auto bad = take(text_field(body, name), value)) return bad;
    if (!value) return std::nullopt;
    auto read = reader(*value);
    if (auto* why = std::get_if<std::string>(&read)) return Refusal{std::string(name), *why};
    out = std::get<T>(read);
    return std::nullopt;
}

// "" is the default set; any other text a list read_sentence_list takes.
std::variant<std::vector<SentenceKind>, std::string> sentence_list_or_default(std::string_view text) {
    if (text.empty()) return std::vector<SentenceKind>{};
    return read_sentence_list(text);
}

// "" is a fix never lost.
std::variant<FixOutage, std::string> fix_outage_or_none(std::string_view text) {
    if (text.empty()) return FixOutage{};
    return read_fix_outage(text);
}

}  // namespace

const char* mode_name(SendMode mode) {
    switch (mode) {
    case SendMode::radio: return "radio";
    case SendMode::multi: return "multi";
    case SendMode::gps: break;
    }
    return "gps";
}

QJsonArray use_json(InUse in_use) {
    QJsonArray reasons;
    for (UseReason reason : use_reasons) {
        if (in_use.has(reason)) reasons.append(QString::fromUtf8(use_reason_text(reason)));
    }
    return reasons;
}

const char* unit_name(SpeedUnit unit) { return unit == SpeedUnit::knots ? "nodi" : "km/h"; }

QJsonObject vehicle_json(const VehicleEntry& entry) {
    const Vehicle& v = entry.vehicle;
    QJsonObject json{{"numero", static_cast<qint64>(entry.number)},
            {"lat", to_1e7(v.latitude_degrees())},
            {"lon", to_1e7(v.longitude_degrees())},
            {"rotta", v.course},
            {"velocita", v.speed},
            {"unita", unit_name(v.unit)}};
    if (entry.sent_lat && entry.sent_lon) {
        json.insert("lat_inviata", to_1e7(*entry.sent_lat / arc_seconds_per_degree));
        json.insert("lon_inviata", to_1e7(*entry.sent_lon / arc_seconds_per_degree));
    }
    if (!entry.mmsi.empty()) json.insert("mmsi", QString::fromStdString(entry.mmsi));
    if (entry.stream_port) json.insert("porta_flusso", *entry.stream_port);
    if (!entry.stream_problem.empty()) json.insert("errore_flusso", QString::fromStdString(entry.stream_problem));
    json.insert("in_uso", use_json(entry.in_use));
    if (entry.ais) json.insert("ais", identity_json(*entry.ais));
    return json;
}

QJsonObject receiver_json(const ReceiverOptions& options) {
    const Faults& faults = options.faults;
    const SkyOptions& sky = options.sky_options;
    return {{"utc", options.utc},
            {"moto_reale", options.real_motion},
            {"frasi", options.full_set ? "complete" : "rmc"},
            {"quota", options.altitude},
            {"senza_fix", options.no_fix},
            {"satelliti", sky.satellites},
            {"maschera", sky.mask},
            {"ostacoli", QString::fromStdString(obstruction_list_text(sky.obstructions))},
            {"rumore", sky.noise},
            {"frequenza", sky.rate},
            {"talker", sky.talker == Talker::gn ? "GN" : "GP"},
            {"elenco_frasi", QString::fromStdString(sentence_list_text(sky.sentences))},
            {"guasti", QJsonObject{{"attivi", faults.enabled},
                                   {"perdita", faults.loss},
                                   {"checksum", faults.checksum},
                                   {"tronca", faults.cut_short},
                                   {"seme", static_cast<double>(faults.seed)},
                                   {"perdita_fix", fix_outage_text(faults.fix_outage)}}}};
}

QJsonObject identity_json(const AisIdentity& id) {
    return {{"mmsi", QString::fromStdString(mmsi_text(id.mmsi))},
            {"classe", ais_class_text(id.ais_class)},
            {"nome", QString::fromStdString(id.name)},
            {"tipo", id.ship_type},
            {"nominativo", QString::fromStdString(id.call_sign)}};
}

QJsonObject ais_json(const AisSettings& settings) {
    QJsonArray vehicles;
    for (std::size_t n = 0; n < settings.vehicles.size(); ++n) {
        QJsonObject one = identity_json(settings.vehicles[n]);
        one.insert("numero", static_cast<qint64>(n));
        vehicles.append(one);
    }
    return {{"attivi", settings.enabled},
            {"nave_propria", settings.own_ship},
            {"statici_subito", settings.statics_at_once},
            {"mezzi", vehicles}};
}

QJsonObject scenario_json(const ScenarioState& scenario) {
    QJsonObject json{{"file", QString::fromStdString(scenario.file)},
                     {"secondi", scenario.elapsed},
                     {"eventi_fatti", static_cast<qint64>(scenario.done)},
                     {"eventi", static_cast<qint64>(scenario.events)}};
    if (scenario.duration) json.insert("durata", *scenario.duration);
    if (scenario.next_at) {
        json.insert("prossimo", QJsonObject{{"a", *scenario.next_at}, {"evento", QString::fromStdString(scenario.next)}});
    }
    return json;
}

QJsonObject state_json(const ControlState& state) {
    const PortState& port = state.port;
    QJsonArray outputs;
    for (const OutputState& output : state.outputs) {
        QJsonArray clients;
        for (const std::string& client : output.clients) clients.append(QString::fromStdString(client));
        outputs.append(QJsonObject{{"tipo", QString::fromStdString(output.kind)},
                                   {"indirizzo", QString::fromStdString(output.address)},
                                   {"attiva", output.active},
                                   {"errore", QString::fromStdString(output.problem)},
                                   {"client", clients}});
    }
    QJsonArray vehicles;
    for (const VehicleEntry& entry : state.vehicles) vehicles.append(vehicle_json(entry));
    QJsonObject json{{"versione", QString::fromStdString(state.version)},
                     {"modo", mode_name(state.mode)},
                     {"trasmissione", state.transmitting},
                     {"riproduzione", state.replaying},
                     {"mezzo_attuale", static_cast<qint64>(state.current_vehicle)},
                     {"mezzi_in_uso", state.vehicles_in_use},
                     {"mezzi_mobili", state.cycle},
                     {"porta", port_json(port)},
                     {"uscite", outputs},
                     {"ricevitore", receiver_json(state.receiver)},
                     {"tempo", clock_json(state.clock)},
                     {"mezzi", vehicles}};
    if (state.scenario) json.insert("scenario", scenario_json(*state.scenario));
    if (state.pilot) json.insert("pilota", pilot_json(*state.pilot));
    return json;
}

QJsonObject second_json(std::string_view bytes, const std::vector<VehicleEntry>& vehicles, const std::string& utc,
                        const std::vector<ScenarioMark>& marks) {
    QJsonArray list;
    for (const VehicleEntry& entry : vehicles) list.append(vehicle_json(entry));
    // The bytes as Latin-1: every byte one character, NUL and CR LF escaped by JSON.
    QJsonObject second{{"byte", static_cast<qint64>(bytes.size())},
                       {"inviati", QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()))},
                       {"mezzi", list}};
    if (!utc.empty()) second.insert(QStringLiteral("ora"), QString::fromStdString(utc));
    if (marks.empty()) return second;
    QJsonArray played;
    for (const ScenarioMark& mark : marks) {
        played.append(QJsonObject{{"indice", static_cast<qint64>(mark.index)},
                                  {"a", mark.at},
                                  {"evento", QString::fromStdString(mark.text)}});
    }
    second.insert(QStringLiteral("scenario"), played);
    return second;
}

QJsonObject clock_json(const ClockState& clock) {
    return {{"ora", QString::fromStdString(clock.utc)},
            {"velocita_tempo", clock.max ? QJsonValue(QStringLiteral("max")) : QJsonValue(clock.rate)},
            {"in_pausa", clock.paused},
            {"simulato", clock.simulated}};
}

std::variant<ClockChange, Refusal> read_clock_change(const QJsonObject& body) {
    if (auto bad = unknown_in(body, {"velocita_tempo", "in_pausa"}, "velocita_tempo, in_pausa")) return *bad;
    ClockChange change;
    const QJsonValue rate = body.value(QStringLiteral("velocita_tempo"));
    if (rate.isString() && rate.toString() == QStringLiteral("max")) {
        change.max = true;
    } else if (!rate.isUndefined()) {
        if (auto bad = take(number_field(body, "velocita_tempo"), change.rate)) {
            return Refusal{"velocita_tempo", "vuole un numero da 0.1 a 1000, oppure \"max\""};
        }
    }
    if (auto bad = take(bool_field(body, "in_pausa"), change.paused)) return *bad;
    if (!change.rate && !change.max && !change.paused) {
        return Refusal{"velocita_tempo", "manca il campo: velocita_tempo (da 0.1 a 1000, o \"max\") o in_pausa"};
    }
    return change;
}

QJsonObject refusal_json(const Refusal& refusal) {
    return {{"errore", QString::fromStdString(refusal.reason)}, {"campo", QString::fromStdString(refusal.field)}};
}

std::variant<VehiclePatch, Refusal> read_vehicle_patch(const QJsonObject& body) {
    // "ais" needs the identity in force: the caller reads it (read_identity).
    if (auto bad = unknown_in(body, {"lat", "lon", "posizione", "rotta", "velocita", "unita", "ais"},
                              "lat, lon, posizione, rotta, velocita, unita, ais")) {
        return *bad;
    }
    VehiclePatch patch;
    std::optional<std::string> unit;
    for (auto bad : {take(number_field(body, "lat"), patch.lat), take(number_field(body, "lon"), patch.lon),
                     take(text_field(body, "posizione"), patch.position),
                     take(number_field(body, "rotta"), patch.course),
                     take(number_field(body, "velocita"), patch.speed), take(text_field(body, "unita"), unit)}) {
        if (bad) return *bad;
    }
    if (unit) {
        if (*unit == "km/h") {
            patch.unit = SpeedUnit::kmh;
        } else if (*unit == "nodi") {
            patch.unit = SpeedUnit::knots;
        } else {
            return Refusal{"unita", "l'unità è \"km/h\" oppure \"nodi\""};
        }
    }
    return patch;
}

std::variant<bool, Refusal> read_transmission(const QJsonObject& body) {
    if (auto bad = unknown_in(body, {"attiva"}, "attiva")) return *bad;
    std::optional<bool> on;
    if (auto bad = take(bool_field(body, "attiva"), on)) return *bad;
    if (!on) return Refusal{"attiva", "manca il campo: true per trasmettere, false per fermare"};
    return *on;
}

QJsonObject port_json(const PortState& port) {
    return {{"numero", port.number},
            {"dispositivo", QString::fromStdString(port.device)},
            {"baud", port.baud},
            {"aperta", port.open},
            {"stato", QString::fromStdString(port.status)},
            {"errore", QString::fromStdString(port.problem)},
            {"trasmissione", port.transmitting}};
}

std::variant<PortChange, Refusal> read_port_change(const QJsonObject& body) {
    if (auto bad = unknown_in(body, {"numero", "baud", "trasmissione"}, "numero, baud, trasmissione")) return *bad;
    std::optional<double> number, baud;
    PortChange change;
    for (auto bad : {take(number_field(body, "numero"), number), take(number_field(body, "baud"), baud),
                     take(bool_field(body, "trasmissione"), change.transmitting)}) {
        if (bad) return *bad;
    }
    // A whole number; its range is the link's own rule.
    const auto whole = [](const char* field, double value) -> std::variant<long, Refusal> {
        if (value != std::trunc(value) || std::abs(value) > 1e9)
            return Refusal{field, std::string("il campo \"") + field + "\" vuole un numero intero"};
        return static_cast<long>(value);
    };
    if (number) {
        auto n = whole("numero", *number);
        if (auto* bad = std::get_if<Refusal>(&n)) return *bad;
        change.number = static_cast<int>(std::get<long>(n));
    }
    if (baud) {
        auto b = whole("baud", *baud);
        if (auto* bad = std::get_if<Refusal>(&b)) return *bad;
        change.baud = static_cast<int>(std::get<long>(b));
    }
    if (change.empty()) return Refusal{"numero", "manca un campo: numero, baud o trasmissione"};
    return change;
}

std::variant<ModeChange, Refusal> read_mode(const QJsonObject& body) {
    if (auto bad = unknown_in(body, {"modo", "mezzi"}, "modo, mezzi")) return *bad;
    std::optional<std::string> name;
    std::optional<double> vehicles;
    if (auto bad = take(text_field(body, "modo"), name)) return *bad;
    if (auto bad = take(number_field(body, "mezzi"), vehicles)) return *bad;
    ModeChange change;
    if (!name) return Refusal{"modo", "manca il campo: \"gps\", \"radio\" oppure \"multi\""};
    if (*name == "gps") {
        change.mode = SendMode::gps;
    } else if (*name == "radio") {
        change.mode = SendMode::radio;
    } else if (*name == "multi") {
        change.mode = SendMode::multi;
    } else {
        return Refusal{"modo", "il modo è \"gps\", \"radio\" oppure \"multi\""};
    }
    if (vehicles) {
        if (auto bad = cycle_problem(*vehicles)) return *bad;
        change.vehicles = static_cast<int>(*vehicles);
    }
    return change;
}

std::variant<ReceiverOptions, Refusal> read_receiver(const QJsonObject& body, const ReceiverOptions& current) {
    if (auto bad = unknown_in(body,
                              {"utc", "moto_reale", "frasi", "quota", "senza_fix", "guasti", "satelliti", "maschera",
                               "ostacoli", "rumore", "frequenza", "talker", "elenco_frasi"},
                              "utc, moto_reale, frasi, quota, senza_fix, guasti, satelliti, maschera, ostacoli, "
                              "rumore, frequenza, talker, elenco_frasi")) {
        return *bad;
    }
    ReceiverOptions options = current;
    std::optional<bool> utc, real_motion, no_fix;
    std::optional<std::string> sentences;
    std::optional<double> altitude;
    for (auto bad : {take(bool_field(body, "utc"), utc), take(bool_field(body, "moto_reale"), real_motion),
                     take(bool_field(body, "senza_fix"), no_fix), take(text_field(body, "frasi"), sentences),
                     take(number_field(body, "quota"), altitude)}) {
        if (bad) return *bad;
    }
    if (utc) options.utc = *utc;
    if (real_motion) options.real_motion = *real_motion;
    if (no_fix) options.no_fix = *no_fix;
    if (sentences) {
        if (*sentences != "rmc" && *sentences != "complete") {
            return Refusal{"frasi", "le frasi sono \"rmc\" oppure \"complete\""};
        }
        options.full_set = *sentences == "complete";
    }
    if (altitude) {
        if (const std::string why = altitude_problem(*altitude); !why.empty()) return Refusal{"quota", why};
        options.altitude = *altitude;
    }
    SkyOptions& sky = options.sky_options;
    std::optional<bool> satellites;
    if (auto bad = take(bool_field(body, "satelliti"), satellites)) return *bad;
    if (satellites) sky.satellites = *satellites;
    for (auto bad : {sky_number(body, "maschera", read_mask, sky.mask),
                     sky_number(body, "rumore", read_noise, sky.noise),
                     sky_number(body, "frequenza", read_rate, sky.rate),
                     sky_text(body, "ostacoli", read_obstruction_list, sky.obstructions),
                     sky_text(body, "talker", read_talker, sky.talker),
                     sky_text(body, "elenco_frasi", sentence_list_or_default, sky.sentences)}) {
        if (bad) return *bad;
    }
    const QJsonValue faults_value = body.value("guasti");
    if (faults_value.isUndefined()) return options;
    if (!faults_value.isObject()) return Refusal{"guasti", "deve essere un oggetto JSON"};
    const QJsonObject faults = faults_value.toObject();
    if (auto bad = unknown_in(faults, {"attivi", "perdita", "checksum", "tronca", "seme", "perdita_fix"},
                              "attivi, perdita, checksum, tronca, seme, perdita_fix")) {
        bad->field = "guasti." + bad->field;
        return *bad;
    }
    std::optional<bool> on;
    std::optional<double> loss, checksum, cut, seed;
    for (auto bad : {take(bool_field(faults, "attivi"), on), take(number_field(faults, "perdita"), loss),
                     take(number_field(faults, "checksum"), checksum), take(number_field(faults, "tronca"), cut),
                     take(number_field(faults, "seme"), seed)}) {
        if (bad) {
            bad->field = "guasti." + bad->field;
            return *bad;
        }
    }
    Faults& g = options.faults;
    if (on) g.enabled = *on;
    if (loss) g.loss = *loss;
    if (checksum) g.checksum = *checksum;
    if (cut) g.cut_short = *cut;
    if (seed) {
        if (*seed != std::trunc(*seed) || *seed < 0 || *seed > largest_exact_whole) {
            return Refusal{"guasti.seme", "il seme è un numero intero da 0 a 9007199254740991"};
        }
        g.seed = static_cast<std::uint64_t>(*seed);
    }
    if (auto bad = sky_text(faults, "perdita_fix", fix_outage_or_none, g.fix_outage)) {
        bad->field = "guasti." + bad->field;
        return *bad;
    }
    if (const std::string why = faults_problem(g); !why.empty()) return Refusal{"guasti", why};
    return options;
}

std::variant<AisIdentity, Refusal> read_identity(const QJsonValue& value, const AisIdentity& current) {
    const auto in_ais = [](Refusal refusal) {
        refusal.field = "ais." + refusal.field;
        return refusal;
    };
    if (!value.isObject()) return Refusal{"ais", "deve essere un oggetto JSON"};
    const QJsonObject body = value.toObject();
    if (auto bad = unknown_in(body, {"mmsi", "classe", "nome", "tipo", "nominativo"},
                              "mmsi, classe, nome, tipo, nominativo")) {
        return in_ais(*bad);
    }
    AisIdentity id = current;
    std::optional<std::string> mmsi, ais_class, name, call_sign;
    std::optional<double> type;
    for (auto bad : {take(text_field(body, "mmsi"), mmsi), take(text_field(body, "classe"), ais_class),
                     take(text_field(body, "nome"), name), take(text_field(body, "nominativo"), call_sign),
                     take(number_field(body, "tipo"), type)}) {
        if (bad) return in_ais(*bad);
    }
    // The dialog's rules: its readers, then identity_problem.
    if (mmsi) {
        const auto read = read_mmsi(*mmsi);
        if (const auto* bad = std::get_if<Refusal>(&read)) return in_ais(*bad);
        id.mmsi = std::get<std::uint32_t>(read);
    }
    if (ais_class) {
        const auto read = read_ais_class(*ais_class);
        if (const auto* bad = std::get_if<Refusal>(&read)) return in_ais(*bad);
        id.ais_class = std::get<AisClass>(read);
    }
    if (type) {
        if (*type != std::trunc(*type) || *type < 0 || *type > 99) {
            return in_ais({"tipo", "il tipo di nave AIS va da 0 (non disponibile) a 99, non " +
                                       QString::number(*type).toStdString()});
        }
        id.ship_type = static_cast<std::uint8_t>(*type);
    }
    if (name) id.name = *name;
    if (call_sign) id.call_sign = *call_sign;
    if (auto bad = identity_problem(id)) return in_ais(*bad);
    return id;
}

std::variant<AisSettings, Refusal> read_ais(const QJsonObject& body, const AisSettings& current) {
    if (auto bad = unknown_in(body, {"attivi", "nave_propria", "statici_subito"},
                              "attivi, nave_propria, statici_subito (le identità dei mezzi si cambiano con "
                              "PATCH /api/v1/mezzi/{n} e il campo ais)")) {
        return *bad;
    }
    AisSettings settings = current;
    std::optional<bool> on, own_ship, statics;
    for (auto bad : {take(bool_field(body, "attivi"), on), take(bool_field(body, "nave_propria"), own_ship),
                     take(bool_field(body, "statici_subito"), statics)}) {
        if (bad) return *bad;
    }
    if (on) settings.enabled = *on;
    if (own_ship) settings.own_ship = *own_ship;
    if (statics) settings.statics_at_once = *statics;
    return settings;
}

std::variant<EncounterAsk, Refusal> read_encounter(const QJsonObject& body) {
    if (auto bad = unknown_in(body, {"mezzo", "cpa", "tcpa", "lato"}, "mezzo, cpa, tcpa, lato")) return *bad;
    std::optional<double> vehicle, cpa, tcpa;
    std::optional<std::string> side;
    for (auto bad : {take(number_field(body, "mezzo"), vehicle), take(number_field(body, "cpa"), cpa),
                     take(number_field(body, "tcpa"), tcpa), take(text_field(body, "lato"), side)}) {
        if (bad) return *bad;
    }
    if (!vehicle || *vehicle < 0 || *vehicle != std::floor(*vehicle) || !vehicle_exists(static_cast<std::size_t>(*vehicle)))
        return Refusal{"mezzo", "il mezzo è un numero " + vehicle_range()};
    if (!cpa) return Refusal{"cpa", "manca il CPA, in miglia nautiche"};
    if (!tcpa) return Refusal{"tcpa", "manca il TCPA, in minuti"};
    if (side && *side != "dritta" && *side != "sinistra") return Refusal{"lato", "il lato è dritta o sinistra"};
    if (auto bad = encounter_values_problem(*cpa, *tcpa)) return Refusal{*cpa < 0 ? "cpa" : "tcpa", bad->reason};
    return EncounterAsk{static_cast<std::size_t>(*vehicle), *cpa, *tcpa,
                        side == "sinistra" ? Side::port : Side::starboard};
}
QJsonObject pilot_json(const PilotState& pilot) {
    const auto or_null = [](const std::optional<double>& value) { return value ? QJsonValue(*value) : QJsonValue(); };
    QJsonValue cross_track;
    if (pilot.cross_track_nm) {
        cross_track = QJsonObject{{"miglia", *pilot.cross_track_nm}, {"correggi", QString(QChar::fromLatin1(pilot.steer))}};
    }
    return {{"attivo", pilot.on},
            {"virata", pilot.turn_rate},
            {"declinazione", or_null(pilot.variation)},
            {"rotta_chiesta", or_null(pilot.asked)},
            {"verso", QString::fromStdString(pilot.waypoint)},
            {"fonte", QString::fromStdString(pilot.source)},
            {"ultima_frase_s", or_null(pilot.since_last)},
            {"xte", cross_track},
            {"stato", QString::fromStdString(pilot.status)}};
}

std::variant<PilotChange, Refusal> read_pilot_change(const QJsonObject& body) {
    if (auto bad = unknown_in(body, {"attivo", "virata"}, "attivo, virata (gli altri si leggono soltanto)")) return *bad;
    PilotChange change;
    for (auto bad : {take(bool_field(body, "attivo"), change.on), take(number_field(body, "virata"), change.turn_rate)}) {
        if (bad) return *bad;
    }
    return change;
}

}  // namespace vadrel
