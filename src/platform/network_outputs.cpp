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

}  // namespace vadrel
