#include "option_values.h"

#include <cmath>
#include <filesystem>
#include <set>
#include <system_error>

#include "model/numbers.h"
#include "sky/sky_options.h"

namespace vadrel {

std::optional<long> whole_number(const std::string& text) { return read_whole<long>(text, NumberSource::command_line); }

std::optional<double> finite_number(const std::string& text) { return read_number(text, NumberSource::command_line); }

std::optional<double> seconds(const std::string& text) {
    const auto value = finite_number(text);
    if (!value || *value <= 0 || *value > max_duration) return std::nullopt;
    return value;
}

// A path of the command line as an absolute path, taken against the folder
// the program was started in: start-up makes the program's folder current,
// after which a relative path would name something else. The bytes are kept
// as they are, so a name that is not UTF-8 still names the same file. The
// "." parts and a trailing slash go, so messages name "/home/a/vadrel.cnf",
// not "/home/a/./vadrel.cnf"; a ".." stays, as a link before it may lead
// elsewhere than its parent.
std::string absolute_path(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    std::filesystem::path tidy;
    for (const std::filesystem::path& part : absolute) {
        if (part != "." && !part.empty()) tidy /= part;
    }
    return tidy.string();
}

// "perdita=P,checksum=P,tronca=P,seme=N", each part at most once, in any
// order; what is left out is 0 (the seed 1).
std::variant<Faults, std::string> read_faults(const std::string& text) {
    const std::string usage =
        "--guasti vuole perdita=P,checksum=P,tronca=P,seme=N,perdita-fix=DURATA/OGNI (P da 0 a 1) oppure no";
    Faults g;
    g.enabled = true;
    std::set<std::string> seen;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string part = text.substr(start, end - start);
        start = end + 1;
        const std::size_t eq = part.find('=');
        if (eq == std::string::npos) return usage + ", non \"" + text + "\"";
        const std::string key = part.substr(0, eq);
        const std::string value = part.substr(eq + 1);
        if (!seen.insert(key).second) return "--guasti: " + key + " è dato due volte";
        if (key == "perdita-fix") {
            auto outage = read_fix_outage(value);
            if (const auto* problem = std::get_if<std::string>(&outage)) return "--guasti: " + *problem;
            g.fix_outage = std::get<FixOutage>(outage);
            continue;
        }
        if (key == "seme") {
            const auto seed = read_whole<std::uint64_t>(value, NumberSource::command_line);
            if (!seed) return "--guasti: seme vuole un numero intero da 0 a 18446744073709551615, non \"" + value + "\"";
            g.seed = *seed;
            continue;
        }
        double* rate = key == "perdita" ? &g.loss : key == "checksum" ? &g.checksum : key == "tronca" ? &g.cut_short : nullptr;
        if (rate == nullptr) {
            return "--guasti: \"" + key + "\" non è un guasto (valgono perdita, checksum, tronca, perdita-fix e seme)";
        }
        const auto number = finite_number(value);
        if (!number) return "--guasti: " + key + " vuole una frazione da 0 a 1, non \"" + value + "\"";
        *rate = *number;
    }
    if (const std::string problem = faults_problem(g); !problem.empty()) return "--guasti: " + problem;
    return g;
}


}  // namespace vadrel
