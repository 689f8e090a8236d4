#include "sender_factory.h"

#include "outputs/network_address.h"
#include "tracker/nmea_sender.h"
#include "tracker/osmand_sender.h"
#include "tracker/traccar_sender.h"

namespace vadrel {

std::variant<Destination, std::string> parse_destination(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        return "\"" + text + "\" non è PROTOCOLLO:INDIRIZZO (traccar:HOST:PORTA, nmea:HOST:PORTA, osmand:URL)";
    Destination d{text.substr(0, colon), text.substr(colon + 1)};
    if (d.protocol == "traccar" || d.protocol == "nmea") {
        auto where = parse_target(d.address);
        if (auto* problem = std::get_if<std::string>(&where)) return d.protocol + ": " + *problem;
        return d;
    }
    if (d.protocol == "osmand") {
        if (const std::string why = OsmandSender::check(d.address); !why.empty()) return "osmand: " + why;
        return d;
    }
    return "protocollo \"" + d.protocol + "\" sconosciuto: traccar, nmea o osmand";
}

std::size_t connections_wanted(const Destination& d, std::size_t devices) {
    return d.protocol == "osmand" ? static_cast<std::size_t>(OsmandSender::most_connections) : devices;
}

std::variant<std::unique_ptr<ReportSender>, std::string> make_report_sender(const std::string& text,
                                                                            NameResolver& resolver,
                                                                            SenderClock now) {
    auto parsed = parse_destination(text);
    if (auto* problem = std::get_if<std::string>(&parsed)) return *problem;
    const Destination& d = std::get<Destination>(parsed);
    if (d.protocol == "osmand") return std::make_unique<OsmandSender>(resolver, d.address, std::move(now));
    Endpoint server = std::get<Endpoint>(parse_target(d.address));
    if (d.protocol == "traccar") return std::make_unique<TraccarSender>(std::move(server), resolver, std::move(now));
    return std::make_unique<NmeaSender>(std::move(server), resolver, std::move(now));
}

}  // namespace vadrel
