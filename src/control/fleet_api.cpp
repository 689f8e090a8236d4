#include "fleet_api.h"

#include <QJsonArray>
#include <QUrlQuery>

#include "control/control_json.h"

namespace vadrel {

namespace {

using namespace http_status;

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

QJsonObject tracker_json(const TrackerOverview& overview) {
    QJsonArray servers;
    for (const TrackerServerView& s : overview.servers) {
        servers.append(QJsonObject{{"protocollo", text(s.protocol)},
                                   {"indirizzo", text(s.address)},
                                   {"file", text(s.file)},
                                   {"dispositivi", static_cast<double>(s.devices)},
                                   {"inviati", static_cast<double>(s.sent)},
                                   {"saltati", static_cast<double>(s.skipped)},
                                   {"connessioni", static_cast<double>(s.connections)},
                                   {"stato", text(s.state)}});
    }
    return {{"dispositivi", static_cast<double>(overview.devices)},
            {"inviati", static_cast<double>(overview.sent)},
            {"saltati", static_cast<double>(overview.skipped)},
            {"server", servers}};
}

QJsonObject tracked_device_json(const TrackedDeviceView& d) {
    QJsonObject json{{"id", text(d.id)},
                     {"lat", d.lat},
                     {"lon", d.lon},
                     {"rotta", d.course},
                     {"velocita_kmh", d.speed_kmh},
                     {"intervallo", d.interval}};
    json.insert("ultimo_rapporto_ms", d.last_report_ms < 0 ? QJsonValue() : QJsonValue(static_cast<double>(d.last_report_ms)));
    return json;
}

std::optional<ApiReply> fleet_answer(Action action, const QString& id, ControlTarget& target) {
    switch (action) {
    case Action::fleet: return ApiReply{ok, tracker_json(target.tracker()), {}};
    case Action::tracked_device: {
        const auto device = target.tracked_device(id.toStdString());
        if (!device) return refused(not_found, "nessun dispositivo della flotta ha l'id " + id.left(64).toStdString(), "id");
        return ApiReply{ok, tracked_device_json(*device), {}};
    }
    default: return std::nullopt;
    }
}

std::variant<ApiReply, std::string> fleet_destination(const ApiRequest& request) {
    const QUrlQuery query(request.query);
    const QString destination = query.queryItemValue("verso", QUrl::FullyDecoded);
    if (destination.isEmpty())
        return refused(bad_request, "manca ?verso=PROTOCOLLO:INDIRIZZO (traccar:HOST:PORTA, nmea:HOST:PORTA)", "verso");
    return destination.toStdString();
}

ApiReply fleet_replaced(ControlTarget& target, const ControlTarget::BodyPlay& put) {
    const Result<> done = put();
    if (const Refusal* refusal = done.refusal()) return ApiReply{bad_request, refusal_json(*refusal), {}};
    if (!done) return ApiReply{unavailable, refusal_json({{}, done.message()}), {}};
    return ApiReply{ok, tracker_json(target.tracker()), {}};
}

}  // namespace vadrel
