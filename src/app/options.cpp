#include "options.h"

#include <cmath>
#include <system_error>

#include "app/option_table.h"
#include "app/option_values.h"
#include "outputs/vehicle_streams.h"

namespace vadrel {

namespace {

using Kind = OptionSpec::Kind;
using Read = std::optional<std::string>;

}  // namespace

std::optional<double> read_speed(const std::string& text) {
    if (text == "max") return 0.0;
    const auto value = finite_number(text);
    if (!value || !(*value >= min_speed && *value <= max_speed)) return std::nullopt;
    return value;
}

std::chrono::milliseconds duration_ms(double seconds) {
    return std::chrono::milliseconds(std::llround(seconds * 1000.0));
}

std::string help_text() {
    constexpr std::size_t column = 24;
    std::string text =
        "Uso: vadrel [opzioni]\n"
        "Simulatore GPS: invia frasi NMEA 0183 su una porta seriale, una volta al secondo.\n"
        "\n"
        "Opzioni:\n";
    const OptionSpec* previous = nullptr;
    for (const OptionSpec& spec : option_table()) {
        if (spec.argument == nullptr) {  // a heading
            text += "\n" + std::string(spec.help) + "\n";
            continue;
        }
        // A line without a name shows another form of the option above it.
        const char* name = spec.name != nullptr ? spec.name : previous->name;
        if (spec.name != nullptr) previous = &spec;
        std::string head = "  " + std::string(name);
        if (*spec.argument != '\0') head += (spec.kind == Kind::on_off ? "" : " ") + std::string(spec.argument);
        std::string lines = spec.help;
        std::string indent(column, ' ');
        if (head.size() + 2 > column) {
            text += head + "\n";
            head = indent;
        } else {
            head.resize(column, ' ');
        }
        std::size_t start = 0;
        while (start < lines.size()) {
            std::size_t end = lines.find('\n', start);
            if (end == std::string::npos) end = lines.size();
            text += (start == 0 ? head : indent) + lines.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
    return text;
}

std::vector<std::string> option_names() {
    std::vector<std::string> names;
    for (const OptionSpec& spec : option_table()) {
        if (spec.name != nullptr) names.emplace_back(spec.name);
    }
    return names;
}

std::variant<Options, std::string> parse_options(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inline_value;
        if (const std::size_t eq = name.find('='); eq != std::string::npos && name.rfind("--", 0) == 0) {
            inline_value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "-h") name = "--help";
        const OptionSpec* spec = find_option(name);
        // Only the on/off switches take "=si" and "=no"; any other "=" is
        // part of an unknown option.
        if (spec == nullptr || (inline_value && spec->kind != Kind::on_off)) {
            return "opzione sconosciuta: \"" + args[i] + "\" (vadrel --help elenca le opzioni)";
        }
        std::optional<std::string> value = inline_value;
        if (spec->kind == Kind::value && i + 1 < args.size()) value = args[++i];
        if (const Read problem = spec->read(o, value)) return *problem;
    }
    if (o.tcp_vehicles) {
        std::vector<std::pair<int, std::string>> taken;
        if (o.tcp && o.tcp->port != 0) taken.emplace_back(o.tcp->port, "del server TCP (--tcp)");
        if (o.control && o.control->port != 0)
            taken.emplace_back(o.control->port, "dell'interfaccia di controllo (--controllo)");
        if (std::string why = stream_ports_problem("--tcp-mezzi", o.tcp_vehicles->port, taken); !why.empty()) return why;
    }
    if (!o.replay_from && (o.speed != 1.0 || o.loop || o.send_damaged || o.jumps_at_once || o.current_time))
        return "--velocita, --ciclo, --invia-danneggiate, --salti-subito e --ora-attuale valgono solo con --riproduci";
    return o;
}

}  // namespace vadrel
