#pragma once
// The network outputs' settings, the group [uscite] of vadrel.ini:
//
//   [uscite]
//   tcp=true
//   tcp_indirizzo=127.0.0.1
//   tcp_porta=10110
//   tcp_max_client=64
//   udp=true
//   udp_destinazioni=192.168.1.255:10110, 239.192.0.1:10110
//   tcp_mezzi=true
//   tcp_mezzi_indirizzo=127.0.0.1
//   tcp_mezzi_porta=10111
//   tcp_verso=tracker.example:5055
//   tcp_verso_mezzi=tracker.example:6000
//
// The texts are kept as written; the program checks them when it uses them.

#include <string>
#include <vector>

#include "config/settings_file.h"
#include "config/settings_model.h"

namespace vadrel {

struct OutputSettings {
    bool tcp = false;
    std::string tcp_address = "127.0.0.1";
    int tcp_port = 10110;
    int tcp_max = 64;
    bool udp = false;
    std::vector<std::string> udp_targets;  // "HOST:PORT"
    // Each vehicle's stream on its own port, streams_port + k.
    bool streams = false;
    std::string streams_address = "127.0.0.1";
    int streams_port = 10111;
    // Listening servers vadrel connects to: the serial port's bytes to each
    // ("HOST:PORT"), and each vehicle's stream to PORT_BASE + k
    // ("HOST:PORT_BASE", "" for none).
    std::vector<std::string> send_to;
    std::string streams_to;

    bool operator==(const OutputSettings&) const = default;
};

// The settings in the file, the defaults for what is missing. A value that
// cannot be used (a port past 65535, a flag that is not true or false) gets
// a line naming it, and leaves its output off: the TCP server
// for a TCP value, UDP for its flag. The texts (address, targets) are checked
// where they are used (read_network_settings, NetworkOutputs::apply).
GroupRead<OutputSettings> read_output_settings(const SettingsFile& file);
Result<> save_output_settings(SettingsFile& file, const OutputSettings& settings);

// The group as a model, one change path for every source.
using OutputSettingsModel = SettingsModel<OutputSettings>;

}  // namespace vadrel
