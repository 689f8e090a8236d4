// Runs the panel for many seconds in no time, on a fake clock and a fake
// port, and writes what the port was given to standard output: the real
// sentences of a long run for the real clients of test_faults.py, and for
// the golden files of test_golden.py.
//
//   receiver_ticks SECONDS [--tabella FILE] [--modo M] [--mezzi N] [receiver options of vadrel...]
//
// The vehicle goes at 100 km/h on course 45 from the start-up position, or
// the vehicles are those of FILE, a vadrel.cnf; the clock starts at
// 10:00:00 on 9 May 2003 and goes one second a tick.
#include <fstream>
#include <iostream>
#include <iterator>

#include "app/options.h"
#include "app/program_panel.h"
#include "config/vehicle_table.h"
#include "support/fakes.h"

int main(int argc, char** argv) {
    using namespace vadrel;
    if (argc < 2) {
        std::cerr << "uso: receiver_ticks SECONDI [opzioni]\n";
        return 2;
    }
    const long seconds = std::stol(argv[1]);
    std::vector<std::string> args(argv + 2, argv + argc);
    std::string table_text;
    if (args.size() >= 2 && args[0] == "--tabella") {
        std::ifstream in(args[1], std::ios::binary);
        table_text.assign(std::istreambuf_iterator<char>(in), {});
        args.erase(args.begin(), args.begin() + 2);
    }
    const auto parsed = parse_options(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << *error << "\n";
        return 2;
    }
    const Options& options = std::get<Options>(parsed);
    testing::Rig rig;
    apply_start_options(rig.fleet, rig.link, options, nullptr);
    show_start_options(rig.form, options);
    rig.transmitter.set_receiver(receiver_for({}, options));
    rig.port.force_open();
    for (auto [box, text] : {std::pair{&rig.form.latitude_degrees_box, "44"}, {&rig.form.longitude_degrees_box, "10"},
                             {&rig.form.course_box, "45"}, {&rig.form.speed_box, "100"}}) {
        box->set_text(text);
    }
    VehicleTable table(rig.fleet);
    if (!table_text.empty()) {
        VehicleRecords records;
        if (read_table_text(table_text, records) != 1) {
            std::cerr << "tabella non leggibile\n";
            return 2;
        }
        table.load(records, true);
    }
    for (long i = 0; i < seconds; ++i) {
        const long t = 10 * 3600 + i;
        rig.clock.wall.local = rig.clock.wall.utc = {2003, 5, 9, static_cast<int>(t / 3600 % 24),
                                                     static_cast<int>(t / 60 % 60), static_cast<int>(t % 60)};
        rig.tick();
        for (const std::string& bytes : rig.port.written) std::cout << bytes;
        rig.port.written.clear();
    }
    return 0;
}
