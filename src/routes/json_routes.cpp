// A JSON list of points, as the control interface takes a route.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "routes/iso_time.h"
#include "routes/route_parsers.h"

namespace vadrel::route_parsing {

namespace {

std::string json_error(QJsonParseError::ParseError error) {
    switch (error) {
        case QJsonParseError::UnterminatedObject: return "un oggetto non è chiuso";
        case QJsonParseError::MissingNameSeparator: return "manca \":\" dopo un nome";
        case QJsonParseError::UnterminatedArray: return "una lista non è chiusa";
        case QJsonParseError::MissingValueSeparator: return "manca una virgola tra due valori";
        case QJsonParseError::IllegalValue: return "valore non valido";
        case QJsonParseError::TerminationByNumber: return "il testo finisce dentro un numero";
        case QJsonParseError::IllegalNumber: return "numero non valido";
        case QJsonParseError::IllegalEscapeSequence: return "sequenza di escape non valida";
        case QJsonParseError::IllegalUTF8String: return "testo non in UTF-8";
        case QJsonParseError::UnterminatedString: return "una stringa non è chiusa";
        case QJsonParseError::MissingObject: return "manca un oggetto";
        case QJsonParseError::DeepNesting: return "troppi livelli annidati";
        case QJsonParseError::DocumentTooLarge: return "documento troppo grande";
        case QJsonParseError::GarbageAtEnd: return "altro testo dopo la fine";
        default: return "testo non valido";
    }
}

}  // namespace

RouteReading read_json_points(const QByteArray& body) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        std::int64_t line = 1, column = 1;
        move_along(std::string_view(body.constData(), static_cast<std::size_t>(body.size())),
                   static_cast<std::size_t>(std::max(error.offset, 0)), line, column);
        return ReadProblem{line, column, "JSON non valido: " + json_error(error.error)};
    }
    return read_json_route(document);
}

}  // namespace vadrel::route_parsing

namespace vadrel {

using route_parsing::Collector;

RouteReading read_json_route(const QJsonDocument& document) {
    const auto point_problem = [](qsizetype index, const std::string& reason) -> std::string {
        return "punto " + std::to_string(index + 1) + ": " + reason;
    };
    QJsonArray points;
    std::string name;
    if (document.isArray()) {
        points = document.array();
    } else {
        const QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() != u"nome" && it.key() != u"punti")
                return ReadProblem{0, 0, "chiave sconosciuta \"" + it.key().toStdString() + "\": sono nome e punti"};
        }
        if (!object.value(u"punti").isArray())
            return ReadProblem{0, 0, "il percorso va dato come lista di punti, o come {\"nome\": ..., \"punti\": [...]}"};
        if (object.contains(u"nome") && !object.value(u"nome").isString())
            return ReadProblem{0, 0, "il nome del percorso deve essere un testo"};
        points = object.value(u"punti").toArray();
        name = object.value(u"nome").toString().toStdString();
    }
    if (points.isEmpty()) return ReadProblem{0, 0, "il percorso non ha punti"};

    Collector out;
    out.begin(name, 0, 0);
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (!points[i].isObject()) return ReadProblem{0, 0, point_problem(i, "ogni punto è un oggetto {\"lat\": ..., \"lon\": ...}")};
        const QJsonObject object = points[i].toObject();
        RoutePoint point;
        bool lat = false, lon = false;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = it.key();
            const QJsonValue value = it.value();
            const std::string label = key.toStdString();
            if (key == u"ora") {
                const std::optional<std::int64_t> t = read_iso_time(value.toString().toStdString());
                if (!value.isString() || !t)
                    return ReadProblem{0, 0, point_problem(i, "l'ora va data come testo ISO 8601, per esempio \"2024-05-01T10:00:00Z\"")};
                point.time = t;
                continue;
            }
            const bool is_lat = key == u"lat" || key == u"latitudine";
            const bool is_lon = key == u"lon" || key == u"longitudine";
            const bool is_speed =
                key == u"velocita" || key == u"velocita_kmh" || key == u"velocita_nodi" || key == u"velocita_ms";
            if (!is_lat && !is_lon && !is_speed)
                return ReadProblem{0, 0, point_problem(i, "chiave sconosciuta \"" + label +
                                                              "\": sono lat, lon, velocita (km/h), velocita_kmh, velocita_nodi, "
                                                              "velocita_ms, ora")};
            if (!value.isDouble()) return ReadProblem{0, 0, point_problem(i, label + " deve essere un numero")};
            const double number = value.toDouble();
            if ((is_lat && lat) || (is_lon && lon) || (is_speed && point.speed))
                return ReadProblem{0, 0, point_problem(i, label + ": il valore è dato due volte")};
            if (is_lat) {
                point.lat = number;
                lat = true;
            } else if (is_lon) {
                point.lon = number;
                lon = true;
            } else if (key == u"velocita_kmh" || key == u"velocita") {
                point.speed = number / 3.6;
            } else if (key == u"velocita_nodi") {
                point.speed = number * 1852.0 / 3600.0;
            } else {
                point.speed = number;
            }
        }
        if (!lat || !lon) return ReadProblem{0, 0, point_problem(i, "mancano lat o lon")};
        if (!out.add(point, 0, 0)) {
            auto problem = std::get<ReadProblem>(out.result());
            problem.reason = point_problem(i, problem.reason);
            return problem;
        }
    }
    out.end();
    return out.result();
}

}  // namespace vadrel
