// The full set of one moving vehicle under the sky, fix by fix, for a real
// client (test_gpsd_sky.py writes it into a pseudo-terminal gpsd reads):
//
//   sky_feed START_MS COUNT RATE [maschera=GRADI] [ostacolo=A1-A2:EL]... [talker=GP|GN]
//            [rumore=METRI] [frasi=RMC,GGA,...]
//   sky_feed sposta NOW_MS < LOG
//
// From START_MS (milliseconds since 1970 UTC), COUNT fixes at RATE a second:
// the sentences of each fix on lines of their own, then an empty line. The
// vehicle leaves 45°27'36"N 9°11'24"E on course 045 at 20 knots, stepped by
// the fleet model; its antenna at 120 m.
//
// "sposta": the lines of a log moved in time so that its first timed
// sentence comes at NOW_MS (or less than a second before).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fleet/fleet.h"
#include "motion/dead_reckoning.h"
#include "sky/replay_now.h"
#include "sky/sky_options.h"

using namespace vadrel;

namespace {

template <typename T>
T read_or_exit(std::variant<T, std::string> read, std::string_view option) {
    if (auto* problem = std::get_if<std::string>(&read)) {
        std::fprintf(stderr, "sky_feed: %.*s: %s\n", static_cast<int>(option.size()), option.data(), problem->c_str());
        std::exit(2);
    }
    return std::get<T>(read);
}

std::string printed(const char* format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

// Each line of standard input moved to the present.
int move_to_now(std::int64_t now_ms) {
    std::optional<std::int64_t> by;
    char line[4096];
    while (std::fgets(line, sizeof line, stdin)) {
        if (!by) {
            if (const auto first = sentence_time(line)) by = seconds_to_now(*first, now_ms);
        }
        std::fputs(by ? moved_in_time(line, *by).c_str() : line, stdout);
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "sposta") return move_to_now(std::atoll(argv[2]));
    if (argc < 4) {
        std::fprintf(stderr, "uso: sky_feed START_MS COUNT RATE [opzione=valore]...\n");
        return 2;
    }
    const std::int64_t start = std::atoll(argv[1]);
    const long count = std::atol(argv[2]);
    const int rate = read_or_exit(read_rate(argv[3]), "frequenza");
    SkySettings settings;
    Talker talker = Talker::gp;
    double noise_m = 0.0;
    std::vector<SentenceKind> kinds(full_set_with_sky.begin(), full_set_with_sky.end());
    for (int i = 4; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::size_t eq = arg.find('=');
        const std::string_view key = arg.substr(0, eq), value = eq == arg.npos ? "" : arg.substr(eq + 1);
        if (key == "maschera") settings.mask = read_or_exit(read_mask(value), key);
        else if (key == "ostacolo") settings.obstructions.push_back(read_or_exit(read_obstruction(value), key));
        else if (key == "talker") talker = read_or_exit(read_talker(value), key);
        else if (key == "rumore") noise_m = read_or_exit(read_noise(value), key);
        else if (key == "frasi") kinds = read_or_exit(read_sentence_list(value), key);
        else read_or_exit(std::variant<int, std::string>("opzione sconosciuta"), key);
    }

    Fleet fleet;
    fleet.place(0, 45 * 3600.0 + 27 * 60 + 36, 9 * 3600.0 + 11 * 60 + 24, nullptr);
    fleet.set_unit(0, SpeedUnit::knots, nullptr);
    fleet.set_course(0, 45.0, nullptr);
    fleet.set_speed(0, 20.0, nullptr);
    PositionNoise noise(noise_m, 1, 0);
    for (long k = 0; k < count; ++k) {
        const std::int64_t t = start + k * 1000 / rate;
        fleet.advance(0, static_cast<double>(t - start) / 1000.0);
        const Vehicle& v = fleet.vehicle(0);
        const Sky sky = observe(constellation_at(t), observer_of(v, 120.0), settings);
        const ArcPosition shown = displaced(v.lat, v.lon, noise.step(t, sky));
        const GroundMotion motion = ground_motion(v);
        FixTexts fix{civil_of(t),
                     rate,
                     rmc_coordinate(std::fabs(shown.lat), 2),
                     shown.lat < 0 ? "S" : "N",
                     rmc_coordinate(std::fabs(shown.lon), 3),
                     shown.lon < 0 ? "W" : "E",
                     printed("%.1f", motion.kmh / km_per_nautical_mile),
                     printed("%05.1f", motion.course),
                     printed("%.1f", motion.kmh),
                     "",
                     "",
                     "120.0"};
        for (const std::string& sentence : full_set(fix, sky, kinds, talker)) std::printf("%s\n", sentence.c_str());
        std::printf("\n");
    }
    return 0;
}
