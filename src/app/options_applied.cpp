// The command line's choices applied: over vadrel.ini's groups for this
// run, and to the fleet and the link at start-up.

#include "options.h"

#include <stdexcept>

#include "fleet/start_values.h"

namespace vadrel {

namespace {

// A listening address of the command line over the file's: given, it is on
// there; "no" switches it off, the file's address kept for later.
void take_listener(const std::optional<Endpoint>& given, bool off, bool& on, std::string& address, int& port) {
    if (given) {
        on = true;
        address = given->host;
        port = given->port;
    }
    if (off) on = false;
}

}  // namespace

OutputSettings outputs_for(const OutputSettings& file, const Options& options) {
    OutputSettings settings = file;
    take_listener(options.tcp, options.senza_tcp, settings.tcp, settings.tcp_address, settings.tcp_port);
    if (options.tcp_max) settings.tcp_max = *options.tcp_max;
    if (!options.udp.empty()) {
        settings.udp = true;
        settings.udp_targets.clear();
        for (const Endpoint& target : options.udp) settings.udp_targets.push_back(target.text());
    }
    if (options.senza_udp) settings.udp = false;
    take_listener(options.tcp_mezzi, options.senza_tcp_mezzi, settings.streams, settings.streams_address,
                  settings.streams_port);
    if (!options.tcp_verso.empty()) {
        settings.send_to.clear();
        for (const Endpoint& server : options.tcp_verso) settings.send_to.push_back(server.text());
    }
    if (options.senza_tcp_verso) settings.send_to.clear();
    if (options.tcp_verso_mezzi) settings.streams_to = options.tcp_verso_mezzi->text();
    if (options.senza_tcp_verso_mezzi) settings.streams_to.clear();
    return settings;
}

ControlSettings controllo_per(const ControlSettings& file, const Options& options) {
    ControlSettings settings = file;
    take_listener(options.controllo, options.senza_controllo, settings.on, settings.address, settings.port);
    return settings;
}

OpzioniRicevitore ricevitore_per(const OpzioniRicevitore& dal_file, const Options& options) {
    OpzioniRicevitore r = dal_file;
    r.utc = options.utc.value_or(r.utc);
    r.moto_reale = options.moto_reale.value_or(r.moto_reale);
    r.frasi_complete = options.frasi_complete.value_or(r.frasi_complete);
    r.quota = options.quota.value_or(r.quota);
    r.senza_fix = options.senza_fix.value_or(r.senza_fix);
    if (options.guasti && options.guasti->attivi) r.guasti = *options.guasti;
    // "--guasti no" switches them off and keeps the file's rates for later
    if (options.guasti && !options.guasti->attivi) r.guasti.attivi = false;
    Cielo& c = r.cielo;
    c.satelliti = options.satelliti.value_or(c.satelliti);
    c.maschera = options.maschera.value_or(c.maschera);
    c.ostacoli = options.ostacoli.value_or(c.ostacoli);
    c.rumore = options.rumore.value_or(c.rumore);
    c.frequenza = options.frequenza.value_or(c.frequenza);
    c.talker = options.talker.value_or(c.talker);
    c.frasi = options.elenco_frasi.value_or(c.frasi);
    return r;
}

AisSettings ais_per(const AisSettings& dal_file, const Options& options) {
    AisSettings a = dal_file;
    a.attivi = options.ais.value_or(a.attivi);
    a.nave_propria = options.ais_nave_propria.value_or(a.nave_propria);
    a.statici_subito = options.ais_statici_subito.value_or(a.statici_subito);
    return a;
}

std::map<int, PortMapping> ports_for(const PortSettings& file, const Options& options) {
    std::map<int, PortMapping> ports = options.com;
    for (const auto& [number, device] : file.devices) ports.try_emplace(number, PortMapping{false, device});
    return ports;
}

void apply_start_options(Fleet& fleet, Link& link, const Options& options, Fleet::Origin origin) {
    // Checked when the options were read: nothing is refused here.
    if (auto bad = link.set_start(options.porta, options.baud)) throw std::invalid_argument(bad->reason);
    switch (options.modo) {
        case Options::Modo::gps: fleet.set_mode(Mode::gps_standard, origin); break;
        case Options::Modo::radio: fleet.set_mode(Mode::radio, origin); break;
        case Options::Modo::multi: fleet.set_mode(Mode::multi_user, origin); break;
    }
    if (options.mezzi) fleet.set_cycle(vehicles_in_cycle(*options.mezzi), origin);
}

}  // namespace vadrel
