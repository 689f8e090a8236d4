#include "outputs/vehicle_streams.h"

namespace vadrel {

std::string stream_ports_problem(const std::string& option, int base,
                                 const std::vector<std::pair<int, std::string>>& taken) {
    const int last = base + static_cast<int>(stream_ports) - 1;
    if (base < 1 || last > 65535) {
        return option + ": la porta base va da 1 a " + std::to_string(65535 - static_cast<int>(stream_ports) + 1) +
               " (i mezzi da 0 a " + std::to_string(stream_ports - 1) + " prendono le porte da BASE a BASE + " +
               std::to_string(stream_ports - 1) + "), non " + std::to_string(base);
    }
    for (const auto& [port, what] : taken) {
        if (port >= base && port <= last) {
            return option + ": la porta " + std::to_string(port) + " è già " + what + " (è quella del mezzo " +
                   std::to_string(port - base) + "); scegliere una porta base fuori da " +
                   std::to_string(port - static_cast<int>(stream_ports) + 1) + ".." + std::to_string(port);
        }
    }
    return {};
}

void VehicleStreams::listen(const std::optional<Endpoint>& base, int max_clients) {
    if (base != listen_base_) servers_.clear();
    listen_base_ = base;
    // A new maximum reaches the running servers at the next tick.
    max_clients_ = max_clients;
}

void VehicleStreams::send_to(const std::optional<Endpoint>& base) {
    if (base != send_base_) senders_.clear();
    send_base_ = base;
}

std::optional<int> VehicleStreams::port_of(std::size_t n) const {
    if (!listen_base_ || n >= stream_ports || !failure_of(n).empty()) return std::nullopt;
    return listen_base_->port + static_cast<int>(n);
}

std::string VehicleStreams::failure_of(std::size_t n) const {
    const TcpOutput* running = server(n);
    return running != nullptr && running->started() && !running->listening() ? running->failure() : std::string();
}

std::string VehicleStreams::note() const {
    std::string all;
    for (std::size_t n = 0; n < servers_.size(); ++n) {
        if (const std::string why = failure_of(n); !why.empty()) {
            const Endpoint where{listen_base_->host, static_cast<std::uint16_t>(listen_base_->port + n)};
            all += "  [mezzo " + std::to_string(n) + ": TCP " + where.text() + ": " + why + "]";
        }
    }
    return all;
}

void VehicleStreams::send(const std::vector<std::optional<std::string>>& bytes) {
    const std::size_t count = std::min(bytes.size(), stream_ports);
    if (servers_.size() < count) servers_.resize(count);
    if (senders_.size() < count) senders_.resize(count);
    for (std::size_t n = 0; n < servers_.size(); ++n) {
        const bool in_use = n < count && bytes[n].has_value();
        auto& server = servers_[n];
        if (!in_use || !listen_base_) {
            server.reset();
        } else {
            const Endpoint where{listen_base_->host, static_cast<std::uint16_t>(listen_base_->port + n)};
            if (!server) {
                server = std::make_unique<TcpOutput>(now_);
                server->on_event = [this, n](const std::string& text) { tell(n, text); };
            }
            // The same address only takes the maximum; the first start listens.
            if (!server->started() || server->max_clients() != max_clients_) server->start(where, max_clients_);
            server->send(*bytes[n]);
        }
        auto& sender = senders_[n];
        if (!in_use || !send_base_) {
            sender.reset();
        } else {
            if (!sender) {
                const Endpoint where{send_base_->host, static_cast<std::uint16_t>(send_base_->port + n)};
                sender = std::make_unique<TcpSender>(resolver_, where, now_);
                sender->on_event = [this, n](const std::string& text) { tell(n, text); };
            }
            sender->send(*bytes[n]);
        }
    }
}

void VehicleStreams::tell(std::size_t n, const std::string& text) {
    if (on_event) on_event("mezzo " + std::to_string(n) + ": " + text);
}

}  // namespace vadrel
