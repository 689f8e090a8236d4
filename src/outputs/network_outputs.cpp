#include "network_outputs.h"

namespace vadrel {

std::string NetworkOutputs::apply(const OutputSettings& settings) {
    settings_ = settings;
    std::string problems;
    const auto problem = [&](const std::string& text) { problems += (problems.empty() ? "" : "\n") + text; };
    if (!settings.tcp) {
        tcp_.stop();
    } else if (std::string why = listen_host_problem(settings.tcp_address); !why.empty()) {
        tcp_.stop();
        problem("TCP: " + why);
    } else if (settings.tcp_port < 0 || settings.tcp_port > 65535) {
        tcp_.stop();
        problem("TCP: la porta va da 0 a 65535, non " + std::to_string(settings.tcp_port));
    } else {
        tcp_.start(Endpoint{settings.tcp_address, static_cast<std::uint16_t>(settings.tcp_port)}, settings.tcp_max);
    }
    std::vector<Endpoint> targets;
    if (settings.udp) {
        for (const std::string& text : settings.udp_targets) {
            auto target = parse_target(text);
            if (auto* why = std::get_if<std::string>(&target)) {
                problem("UDP: " + *why);
            } else {
                targets.push_back(std::get<Endpoint>(target));
            }
        }
    }
    udp_.set_targets(targets);
    return problems;
}

OutputSettings read_network_settings(const SettingsFile& file, std::vector<std::string>& problems) {
    OutputSettings settings = read_output_settings(file, problems);
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
    return settings;
}

}  // namespace vadrel
