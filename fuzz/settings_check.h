#pragma once
// What must hold for any bytes in vadrel.ini: every value read is within its
// range (a refused one named with the file and its group); a file that cannot
// be used is never written over; and in one that can, each group saved as it
// was read reads back the same, with nothing more to name. Shared by the
// fuzzer and the corpus test; `folder` is a folder of the caller's own.

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "config/instrument_settings_model.h"
#include "config/output_settings.h"
#include "config/port_settings.h"
#include "config/receiver_settings.h"

namespace vadrel::fuzzing {

struct SettingsRead {
    OutputSettings outputs;
    ReceiverOptions receiver;
    PortSettings ports;
    InstrumentSettings instruments;
    std::vector<std::string> problems;
    bool operator==(const SettingsRead&) const = default;
};

inline SettingsRead read_settings(const SettingsFile& file) {
    SettingsRead read;
    const auto take = [&read](auto group) {
        read.problems.insert(read.problems.end(), group.problems.begin(), group.problems.end());
        return std::move(group.value);
    };
    read.outputs = take(read_output_settings(file));
    read.receiver = take(read_receiver_settings(file));
    read.ports = take(read_port_settings(file));
    read.instruments = take(read_instrument_settings(file));
    return read;
}

// Empty when all holds, otherwise what did not. `named`, when given, gets
// how many values the file had that could not be used (the file itself
// counting as one when it could not be used at all).
inline std::string check_settings(std::string_view bytes, const std::string& folder, std::size_t* named = nullptr) {
    const std::string path = folder + "/" + settings_file_name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ProgramFolder place(folder);
    SettingsRead first;
    {
        SettingsFile file(place);
        first = read_settings(file);
        if (named != nullptr) *named = first.problems.size() + (file.problem().empty() ? 0 : 1);
        const OutputSettings& o = first.outputs;
        if (o.tcp_port < 0 || o.tcp_port > 65535 || o.tcp_max < 1 || o.tcp_max > 1'000'000) return "a TCP value out of range";
        if (!altitude_problem(first.receiver.altitude).empty()) return "a height out of range";
        if (!faults_problem(first.receiver.faults).empty()) return "fault rates out of range";
        if (instrument_settings_problem(first.instruments)) return "an instrument's value out of range";
        for (const auto& [number, device] : first.ports.devices) {
            if (number < 1 || number > 4 || !device_problem(device).empty()) return "a port's device that cannot be";
        }
        for (const std::string& problem : first.problems) {
            if (problem.rfind(file.path() + ": [", 0) != 0) return "a refusal that names no file and group: " + problem;
        }
        if (!file.problem().empty()) {
            if (save_output_settings(file, o).ok()) return "a file that could not be used was saved";
            std::ifstream in(path, std::ios::binary);
            if (std::string(std::istreambuf_iterator<char>(in), {}) != bytes) return "a file that could not be used changed";
            return {};
        }
        for (const Result<>& saved : {save_output_settings(file, o), save_receiver_settings(file, first.receiver),
                                     save_port_settings(file, first.ports),
                                     save_instrument_settings(file, first.instruments)}) {
            if (!saved) return "a save failed: " + saved.message();
        }
    }
    SettingsFile again(place);
    first.problems.clear();
    if (!(read_settings(again) == first)) return "the groups saved as read read back otherwise";
    return {};
}

}  // namespace vadrel::fuzzing
