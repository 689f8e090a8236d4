#include "output_settings.h"

#include <QStringList>

namespace vadrel {

namespace {

constexpr const char* outputs_group = "uscite";

}  // namespace

GroupRead<OutputSettings> read_output_settings(const SettingsFile& file) {
    GroupReader read(file, outputs_group);
    OutputSettings settings;
    // A server that cannot be what the file says stays off, as does UDP.
    settings.tcp = read.flag("tcp", settings.tcp);
    settings.tcp_address = read.text("tcp_indirizzo", settings.tcp_address);
    settings.tcp_port = static_cast<int>(read.integer("tcp_porta", settings.tcp_port, 0, 65535));
    settings.tcp_max = static_cast<int>(read.integer("tcp_max_client", settings.tcp_max, 1, 1'000'000));
    if (read.refused() != 0) settings.tcp = false;
    const std::size_t before = read.refused();
    settings.udp = read.flag("udp", settings.udp);
    if (read.refused() != before) settings.udp = false;
    // One target, or several: INI lists are written with commas.
    for (const QString& target : file.value(outputs_group, "udp_destinazioni").toStringList()) {
        if (!target.trimmed().isEmpty()) settings.udp_targets.push_back(target.trimmed().toStdString());
    }
    const std::size_t before_streams = read.refused();
    settings.streams = read.flag("tcp_mezzi", settings.streams);
    settings.streams_address = read.text("tcp_mezzi_indirizzo", settings.streams_address);
    settings.streams_port = static_cast<int>(read.integer("tcp_mezzi_porta", settings.streams_port, 1, 65535));
    if (read.refused() != before_streams) settings.streams = false;
    for (const QString& server : file.value(outputs_group, "tcp_verso").toStringList()) {
        if (!server.trimmed().isEmpty()) settings.send_to.push_back(server.trimmed().toStdString());
    }
    settings.streams_to = read.text("tcp_verso_mezzi", settings.streams_to);
    return read.done(settings);
}

Result<> save_output_settings(SettingsFile& file, const OutputSettings& settings) {
    QStringList targets;
    for (const std::string& target : settings.udp_targets) targets << QString::fromStdString(target);
    QStringList servers;
    for (const std::string& server : settings.send_to) servers << QString::fromStdString(server);
    return file.save_group(outputs_group, {
                                      {"tcp", settings.tcp},
                                      {"tcp_indirizzo", QString::fromStdString(settings.tcp_address)},
                                      {"tcp_porta", settings.tcp_port},
                                      {"tcp_max_client", settings.tcp_max},
                                      {"udp", settings.udp},
                                      {"udp_destinazioni", targets},
                                      {"tcp_mezzi", settings.streams},
                                      {"tcp_mezzi_indirizzo", QString::fromStdString(settings.streams_address)},
                                      {"tcp_mezzi_porta", settings.streams_port},
                                      {"tcp_verso", servers},
                                      {"tcp_verso_mezzi", QString::fromStdString(settings.streams_to)},
                                  });
}

}  // namespace vadrel
