#pragma once
// The protocol and address of a fleet's server, "PROTOCOLLO:INDIRIZZO",
// and the sender that speaks it:
//   traccar:HOST:PORTA   Traccar Client's TCP protocol ($PGID, then $GPRMC)
//   nmea:HOST:PORTA      $GPRMC alone, a connection a device
//   osmand:URL           OsmAnd's HTTP requests
//
//   auto made = make_report_sender("traccar:127.0.0.1:5023", resolver, now);

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "os/name_resolver.h"
#include "tracker/report_sender.h"

namespace vadrel {

struct Destination {
    std::string protocol;  // "traccar", "nmea", "osmand"
    std::string address;   // the rest, as written
};

// The destination read, or why not, in Italian.
std::variant<Destination, std::string> parse_destination(const std::string& text);

// The connections `devices` reporting to `d` keep open: one a device, or
// the OsmAnd sender's few.
std::size_t connections_wanted(const Destination& d, std::size_t devices);

using SenderClock = std::function<std::chrono::steady_clock::time_point()>;
std::variant<std::unique_ptr<ReportSender>, std::string> make_report_sender(const std::string& text,
                                                                            NameResolver& resolver,
                                                                            SenderClock now);

}  // namespace vadrel
