// The full set of one moving vehicle under the sky, fix by fix, for a real
// client (test_gpsd_sky.py writes it into a pseudo-terminal gpsd reads):
//
//   sky_feed START_MS COUNT RATE [maschera=GRADI] [ostacolo=A1-A2:EL]... [talker=GP|GN]
//            [rumore=METRI] [frasi=RMC,GGA,...]
//   sky_feed sposta NOW_MS < LOG
//
// From START_MS (milliseconds since 1970 UTC), COUNT fixes at RATE a second:
// the sentences of each fix on lines of their own, then an empty line. The
// vehicle leaves 45°27'36"N 9°11'24"E on course 045 at 20 knots; its antenna
// at 120 m. The program's own transmitter makes each fix (a modern receiver:
// UTC, real motion, the full set), on a clock that reads START_MS and on.
//
// "sposta": the lines of a log moved in time so that its first timed
// sentence comes at NOW_MS (or less than a second before).

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fleet/fleet.h"
#include "model/track_history.h"
#include "sky/replay_now.h"
#include "sky/sky_options.h"
#include "tick/transmitter.h"
#include "support/utc_clock.h"

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

// Each fix's sentences on lines of their own, then an empty line.
class PrintedFixes : public Output {
public:
    Delivery send(std::string_view bytes) override {
        for (char c : bytes) {
            if (c != '\r') std::putchar(c);
        }
        std::putchar('\n');
        return {Delivery::Serial::closed, {}, true, {}};
    }
};

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
    OpzioniRicevitore receiver = ricevitore_moderno({});
    receiver.quota = 120.0;
    receiver.guasti.seme = 1;
    Cielo& sky = receiver.cielo;
    sky.satelliti = true;
    sky.frequenza = read_or_exit(read_rate(argv[3]), "frequenza");
    sky.frasi.assign(full_set_with_sky.begin(), full_set_with_sky.end());
    for (int i = 4; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::size_t eq = arg.find('=');
        const std::string_view key = arg.substr(0, eq), value = eq == arg.npos ? "" : arg.substr(eq + 1);
        if (key == "maschera") sky.maschera = read_or_exit(read_mask(value), key);
        else if (key == "ostacolo") sky.ostacoli.push_back(read_or_exit(read_obstruction(value), key));
        else if (key == "talker") sky.talker = read_or_exit(read_talker(value), key);
        else if (key == "rumore") sky.rumore = read_or_exit(read_noise(value), key);
        else if (key == "frasi") sky.frasi = read_or_exit(read_sentence_list(value), key);
        else read_or_exit(std::variant<int, std::string>("opzione sconosciuta"), key);
    }

    Fleet fleet;
    fleet.place(0, 45 * 3600.0 + 27 * 60 + 36, 9 * 3600.0 + 11 * 60 + 24, nullptr);
    fleet.set_unit(0, SpeedUnit::knots, nullptr);
    fleet.set_course(0, 45.0, nullptr);
    fleet.set_speed(0, 20.0, nullptr);
    TrackHistory tracks{fleet_size};
    PrintedFixes output;
    testing::UtcClock clock;
    Transmitter transmitter(fleet, tracks, output, clock);
    transmitter.set_receiver(receiver);
    for (long k = 0; k < count; ++k) {
        const std::int64_t fix = k % sky.frequenza;
        clock.utc_ms = start + k * 1000 / sky.frequenza;
        clock.steady = static_cast<double>(clock.utc_ms - start) / 1000.0;
        transmitter.tick(static_cast<int>(fix));
    }
    return 0;
}
