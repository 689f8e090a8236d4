#include "output_settings.h"

#include <QStringList>

namespace vadrel {

namespace {

constexpr const char* group = "uscite";

int number(const SettingsFile& file, const std::string& key, int fallback, int lowest, int highest,
           std::vector<std::string>& problems) {
    const QVariant value = file.value(group, key);
    if (!value.isValid()) return fallback;
    bool ok = false;
    const int read = value.toString().trimmed().toInt(&ok);
    if (ok && read >= lowest && read <= highest) return read;
    problems.push_back(
        file.refusal(group, key, "un numero da " + std::to_string(lowest) + " a " + std::to_string(highest)));
    return fallback;
}

}  // namespace

OutputSettings read_output_settings(const SettingsFile& file, std::vector<std::string>& problems) {
    OutputSettings settings;
    settings.tcp = file.value(group, "tcp", settings.tcp).toBool();
    settings.tcp_address = file.value(group, "tcp_indirizzo", QString::fromStdString(settings.tcp_address))
                               .toString().trimmed().toStdString();
    settings.tcp_port = number(file, "tcp_porta", settings.tcp_port, 0, 65535, problems);
    settings.tcp_max = number(file, "tcp_max_client", settings.tcp_max, 1, 1'000'000, problems);
    settings.udp = file.value(group, "udp", settings.udp).toBool();
    // One target, or several: INI lists are written with commas.
    for (const QString& target : file.value(group, "udp_destinazioni").toStringList()) {
        if (!target.trimmed().isEmpty()) settings.udp_targets.push_back(target.trimmed().toStdString());
    }
    return settings;
}

std::string save_output_settings(SettingsFile& file, const OutputSettings& settings) {
    QStringList targets;
    for (const std::string& target : settings.udp_targets) targets << QString::fromStdString(target);
    return file.save_group(group, {
                                      {"tcp", settings.tcp},
                                      {"tcp_indirizzo", QString::fromStdString(settings.tcp_address)},
                                      {"tcp_porta", settings.tcp_port},
                                      {"tcp_max_client", settings.tcp_max},
                                      {"udp", settings.udp},
                                      {"udp_destinazioni", targets},
                                  });
}

}  // namespace vadrel
