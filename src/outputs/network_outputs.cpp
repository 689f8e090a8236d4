#include "network_outputs.h"

#include <algorithm>

namespace vadrel {

void TcpSenders::set_servers(const std::vector<Endpoint>& servers) {
    std::vector<std::unique_ptr<TcpSender>> kept;
    for (const Endpoint& server : servers) {
        auto same = std::find_if(senders_.begin(), senders_.end(),
                                 [&](const auto& sender) { return sender && sender->server() == server; });
        if (same != senders_.end()) {
            kept.push_back(std::move(*same));
            continue;
        }
        kept.push_back(std::make_unique<TcpSender>(resolver_, server, now_));
        kept.back()->greeting = greeting_;
        kept.back()->on_event = [this](const std::string& text) {
            if (on_event) on_event(text);
        };
    }
    senders_ = std::move(kept);
}

void TcpSenders::set_greeting(std::function<std::string()> greeting) {
    greeting_ = std::move(greeting);
    for (const auto& sender : senders_) sender->greeting = greeting_;
}

OutputSink::Result TcpSenders::send(std::string_view bytes) {
    Result all;
    for (const auto& sender : senders_) {
        const Result one = sender->send(bytes);
        all.running = all.running || one.running;
        all.note += one.note;
    }
    return all;
}

bool TcpSenders::busy() const {
    return std::any_of(senders_.begin(), senders_.end(), [](const auto& sender) { return sender->busy(); });
}

std::vector<Refusal> NetworkOutputs::apply(const OutputSettings& settings,
                                           const std::vector<std::pair<int, std::string>>& taken) {
    settings_ = settings;
    std::vector<Refusal> problems;
    const auto problem = [&](const char* field, const std::string& text) { problems.push_back({field, text}); };
    if (!settings.tcp) {
        tcp_.stop();
    } else if (std::string why = listen_host_problem(settings.tcp_address); !why.empty()) {
        tcp_.stop();
        problem("tcp", "TCP: " + why);
    } else if (settings.tcp_port < 0 || settings.tcp_port > 65535) {
        tcp_.stop();
        problem("tcp", "TCP: la porta va da 0 a 65535, non " + std::to_string(settings.tcp_port));
    } else {
        tcp_.start(Endpoint{settings.tcp_address, static_cast<std::uint16_t>(settings.tcp_port)}, settings.tcp_max);
    }
    std::vector<Endpoint> targets;
    if (settings.udp) {
        for (const std::string& text : settings.udp_targets) {
            auto target = parse_target(text);
            if (auto* why = std::get_if<std::string>(&target)) {
                problem("udp", "UDP: " + *why);
            } else {
                targets.push_back(std::get<Endpoint>(target));
            }
        }
    }
    udp_.set_targets(targets);

    std::vector<Endpoint> servers;
    for (const std::string& text : settings.send_to) {
        auto server = parse_target(text);
        if (auto* why = std::get_if<std::string>(&server)) {
            problem("tcp_verso", "TCP verso: " + *why);
        } else if (std::find(servers.begin(), servers.end(), std::get<Endpoint>(server)) == servers.end()) {
            servers.push_back(std::get<Endpoint>(server));
        }
    }
    senders_.set_servers(servers);

    std::optional<Endpoint> listen_base;
    if (settings.streams) {
        std::vector<std::pair<int, std::string>> others = taken;
        if (settings.tcp && settings.tcp_port != 0) others.emplace_back(settings.tcp_port, "del server TCP");
        if (std::string why = listen_host_problem(settings.streams_address); !why.empty()) {
            problem("tcp_mezzi", "TCP per mezzo: " + why);
        } else if (std::string range = stream_ports_problem("TCP per mezzo", settings.streams_port, others);
                   !range.empty()) {
            problem("tcp_mezzi", range);
        } else {
            listen_base = Endpoint{settings.streams_address, static_cast<std::uint16_t>(settings.streams_port)};
        }
    }
    streams_.listen(listen_base, settings.tcp_max);
    std::optional<Endpoint> send_base;
    if (!settings.streams_to.empty()) {
        auto base = parse_target(settings.streams_to);
        if (auto* why = std::get_if<std::string>(&base)) {
            problem("tcp_verso_mezzi", "TCP verso, per mezzo: " + *why);
        } else if (std::string range = stream_ports_problem("TCP verso, per mezzo", std::get<Endpoint>(base).port);
                   !range.empty()) {
            problem("tcp_verso_mezzi", range);
        } else {
            send_base = std::get<Endpoint>(base);
        }
    }
    streams_.send_to(send_base);
    return problems;
}

GroupRead<OutputSettings> read_network_settings(const SettingsFile& file) {
    GroupRead<OutputSettings> read = read_output_settings(file);
    OutputSettings& settings = read.value;
    std::vector<std::string>& problems = read.problems;
    const std::string where = file.path() + ": [uscite] ";
    if (const std::string why = listen_host_problem(settings.tcp_address); !why.empty()) {
        problems.push_back(where + "tcp_indirizzo: " + why);
        settings.tcp = false;
    }
    std::vector<std::string> usable;
    for (const std::string& target : settings.udp_targets) {
        if (const auto parsed = parse_target(target); const auto* why = std::get_if<std::string>(&parsed)) {
            problems.push_back(where + "udp_destinazioni: " + *why);
        } else {
            usable.push_back(target);
        }
    }
    settings.udp_targets = std::move(usable);
    if (const std::string why = listen_host_problem(settings.streams_address); !why.empty()) {
        problems.push_back(where + "tcp_mezzi_indirizzo: " + why);
        settings.streams = false;
    }
    return read;
}

}  // namespace vadrel
