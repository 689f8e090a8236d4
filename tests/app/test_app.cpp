// The program's own library: its command line (the table of options, the
// man page and --help), the vehicles' routes kept in a real program folder,
// the program as the operator starts it on a virtual port, the places it
// keeps its files in, and its Qt messages on a standard error nobody reads.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <thread>
#include <tuple>

#include "../routes/textbook.h"
#include "app/fleet_service.h"
#include "app/kept_routes.h"
#include "app/program_panel.h"
#include "panel/wiring.h"
#include "app/line_output.h"
#include "app/option_table.h"
#include "app/options.h"
#include "app/places.h"
#include "app/program.h"
#include "routes/route_files.h"
#include "routes/route_text.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

Options parsed(const std::vector<std::string>& args) {
    auto result = parse_options(args);
    EXPECT_TRUE(std::holds_alternative<Options>(result)) << std::get<std::string>(result);
    return std::get<Options>(result);
}

// The message of `args` refused ("" when they are taken).
std::string refusal(const std::vector<std::string>& args) {
    auto result = parse_options(args);
    return std::holds_alternative<std::string>(result) ? std::get<std::string>(result) : "";
}

// Every option of the table has its paragraph in the man page (".TP", then
// the option in bold), and --help shows each one.
TEST(Options, TheManPageAndTheHelpDescribeEveryOption) {
    std::ifstream in(VADREL_MAN_PAGE);
    ASSERT_TRUE(in) << VADREL_MAN_PAGE;
    std::string line, previous, paragraphs;
    while (std::getline(in, line)) {
        if (previous == ".TP") paragraphs += line + "\n";
        previous = line;
    }
    const std::string help = help_text();
    for (std::string name : option_names()) {
        EXPECT_NE(help.find("  " + name), std::string::npos) << name;
        std::string roff;
        for (const char c : name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(paragraphs.find(" " + roff), std::string::npos) << name << " has no .TP paragraph";
    }
}

TEST(Options, ReadsEveryOption) {
    const Options o = parsed({"--senza-finestra", "--cartella", "/tmp/x", "--com", "2=pty", "--com",
                              "3=pty:/tmp/gps", "--com", "1=/dev/ttyUSB0", "--porta", "3", "--baud",
                              "9600", "--modo", "multi", "--mezzi", "5", "--durata", "2.5", "--registra", "a.nmea",
                              "--riproduci", "b.nmea", "--velocita", "0,5", "--ciclo", "--invia-danneggiate",
                              "--salti-subito"});
    EXPECT_EQ(std::tuple(o.no_window, o.folder, o.com_port, o.baud, o.mode, o.vehicles, *o.duration),
              std::tuple(true, "/tmp/x", 3, 9600, Options::Mode::multi, "5", 2.5));
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(std::tuple(*o.record_to, *o.replay_from, o.speed, o.loop, o.log_leave().damaged, o.log_leave().jumps),
              std::tuple(here + "/a.nmea", here + "/b.nmea", 0.5, true, true, true));
    EXPECT_EQ(parsed({"--riproduci", "b", "--velocita", "1000"}).speed, 1000.0);
    EXPECT_EQ(o.com,
              (std::map<int, PortMapping>{{1, {false, "/dev/ttyUSB0"}}, {2, {true, ""}}, {3, {true, "/tmp/gps"}}}));
    // The longest run still fits the timer's int milliseconds.
    EXPECT_EQ(parsed({"--durata", "2147483"}).duration, max_duration);
    EXPECT_LE(duration_ms(max_duration).count(), std::numeric_limits<int>::max());
    const Options defaults = parsed({});
    EXPECT_EQ(std::tuple(defaults.no_window, defaults.com_port, defaults.baud, defaults.mode, defaults.com.empty()),
              std::tuple(false, 2, 4800, Options::Mode::gps, true));
}

// The tracked fleet's options: each file with its server, in order; the
// part of each file; refusals of bad values (exit 2), as a table.
TEST(Options, TheFleetsOptions) {
    const std::string here = std::filesystem::current_path().string();
    const Options o = parsed({"--flotta", "a.csv", "--flotta-verso", "traccar:127.0.0.1:5023", "--flotta", "/b.json",
                              "--flotta-verso", "nmea:[::1]:10110", "--flotta-intervallo", "5", "--parte", "2/3",
                              "--seme", "9"});
    EXPECT_EQ(o.fleets, (std::vector<std::string>{here + "/a.csv", "/b.json"}));
    EXPECT_EQ(o.fleet_to, (std::vector<std::string>{"traccar:127.0.0.1:5023", "nmea:[::1]:10110"}));
    EXPECT_EQ(std::tuple(o.fleet_interval, o.part, o.parts, o.seed), std::tuple(5, 2, 3, std::optional<std::uint64_t>(9)));
    // (arguments, the start of the refusal)
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--flotta", "a", "--flotta-verso", "gps103:h:1"}, "--flotta-verso: protocollo \"gps103\" sconosciuto"},
        {{"--flotta", "a", "--flotta-verso", "traccar:h"}, "--flotta-verso: traccar: "},
        {{"--flotta"}, "manca il file dopo --flotta"},
        {{"--flotta-intervallo", "0"}, "--flotta-intervallo vuole"},
        {{"--flotta-intervallo", "3601"}, "--flotta-intervallo vuole"},
        {{"--parte", "0/3"}, "--parte vuole K/N"},
        {{"--parte", "4/3"}, "--parte vuole K/N"},
        {{"--parte", "1"}, "--parte vuole K/N"},
        {{"--parte", "1/0"}, "--parte vuole K/N"},
        {{"--seme", "-1"}, "--seme vuole"},
    };
    for (const auto& [args, start] : rows) EXPECT_EQ(refusal(args).substr(0, start.size()), start) << args.front();
    // The pairs are checked on the whole command line, before the program is made.
    EXPECT_EQ(fleet_options_problem(parsed({"--flotta", "a.csv"})),
              "ogni --flotta vuole la sua --flotta-verso (1 --flotta, 0 --flotta-verso)");
    EXPECT_EQ(fleet_options_problem(parsed({"--flotta-verso", "nmea:h:1"})),
              "ogni --flotta vuole la sua --flotta-verso (0 --flotta, 1 --flotta-verso)");
    EXPECT_EQ(fleet_options_problem(o), "");
}

// Start-up makes the program's folder current: every path must already be
// absolute by then, or it would name something else.
TEST(Options, PathsAreMadeAbsoluteAgainstTheStartingFolder) {
    const std::string here = std::filesystem::current_path().string();
    const Options o = parsed({"--cartella", "./rel/.", "--com", "1=pty:gps0", "--com", "3=dev/../tty0",
                              "--com", "4=ttyUSB0"});
    EXPECT_EQ(o.folder, here + "/rel");
    EXPECT_EQ(o.com.at(1).device, here + "/gps0");
    EXPECT_EQ(o.com.at(3).device, here + "/dev/../tty0");
    EXPECT_EQ(o.com.at(4).device, "ttyUSB0");  // a bare name is the serial layer's to find
}

// (The end-to-end tests run bad values of --tcp, --udp and --baud, and of the
// options of the vehicles, and read the whole message.)
TEST(Options, BadOptionsGiveAnItalianMessage) {
    const std::vector<std::vector<std::string>> rows = {
        {"--porta", "5"}, {"--porta"}, {"--modo", "auto"}, {"--com", "5=pty"}, {"--com", "2"}, {"--com", "2="},
        {"--com", "2=pty:"}, {"--durata", "0"}, {"--durata", "x"}, {"--cartella"}, {"--boh"}, {"-x"}, {"--mezzi"},
        {"--durata", "3000000"}, {"--tcp"}, {"--tcp-max", "0"}, {"--tcp-max", "x"}, {"--udp"}, {"--utc=forse"},
        {"--senza-fix="}, {"--frasi"}, {"--frasi", "tutte"}, {"--quota", "alta"}, {"--quota", "100000.1"},
        {"--quota", "nan"}, {"--guasti"}, {"--guasti", ""}, {"--guasti", "perdita"}, {"--guasti", "perdita=1.5"},
        {"--guasti", "perdita=0.1,perdita=0.2"}, {"--guasti", "ritardo=0.1"}, {"--guasti", "checksum=0.6,tronca=0.5"},
        {"--guasti", "seme=-1"}, {"--guasti", "seme=18446744073709551616"}, {"--guasti", "tronca=0,1"},
        {"--registra"}, {"--riproduci", ""}, {"--riproduci", "x", "--velocita", "0"},
        {"--riproduci", "x", "--velocita", "1001"}, {"--riproduci", "x", "--velocita", "veloce"}, {"--ciclo"},
        {"--controllo"}, {"--controllo", "nome:80"}, {"--velocita", "2"}, {"--salti-subito"}, {"--ora-attuale"},
        {"--guasti", "perdita-fix=300/30"}, {"--maschera", "91"}, {"--ostacolo", "200-340"}, {"--ostacolo"},
        {"--rumore", "-1"}, {"--frequenza", "3"}, {"--talker", "GL"}, {"--elenco-frasi", "GGA"},
        {"--elenco-frasi", "RMC,RMC"}, {"--ais", "no"}, {"--ricevitore"}, {"--ricevitore", "Moderno"},
        {"--ricevitore", ""}, {"--strumenti=forse"}, {"--vento", "270"}, {"--vento", "270@"}, {"--vento", "@15"},
        {"--vento", "270@15nodo"}, {"--vento", "361@5"}, {"--vento", "90@201"}, {"--corrente", "90@21"},
        {"--corrente"}, {"--profondita", "-1"}, {"--profondita", "12.5,"},
        {"--profondita", "12.5,101"}, {"--temperatura-acqua", "caldo"}, {"--temperatura-acqua", "51"},
    };
    for (const auto& args : rows) EXPECT_NE(refusal(args), "") << ::testing::PrintToString(args);
}

// The instruments' options, each unit of a speed in knots, over what
// vadrel.ini says.
TEST(Options, InstrumentOptionsOverTheSettingsFile) {
    // option, value, wind or current read (degrees, knots)
    const std::tuple<const char*, const char*, Flow> flows[] = {
        {"--vento", "270@15", {270, 15}},
        {"--vento", "0@10nodi", {0, 10}},
        {"--vento", "360@18.52km/h", {360, 10}},
        {"--corrente", "90@1m/s", {90, 3600.0 / 1852.0}},
        {"--corrente", "45,5@2,5", {45.5, 2.5}},
    };
    for (const auto& [option, value, flow] : flows) {
        const Options o = parsed({option, value});
        const std::optional<Flow>& read = std::string(option) == "--vento" ? o.wind : o.current;
        ASSERT_TRUE(read.has_value()) << value;
        EXPECT_DOUBLE_EQ(read->direction, flow.direction) << value;
        EXPECT_NEAR(read->speed_knots, flow.speed_knots, 1e-9) << value;
    }
    InstrumentSettings file;
    file.depth = 40;
    file.transducer_offset = 1;
    file.water_temperature = 20;
    file.wind = {10, 5};
    InstrumentSettings run = instruments_per(file, parsed({"--strumenti", "--profondita", "12.5", "--temperatura-acqua", "14"}));
    EXPECT_EQ(std::tuple(run.enabled, run.depth, run.transducer_offset, run.water_temperature, run.wind),
              std::tuple(true, 12.5, 1.0, 14.0, Flow{10, 5})) << "an offset not given stays the file's";
    run = instruments_per(file, parsed({"--strumenti=no", "--profondita", "3,-0.8"}));
    EXPECT_EQ(std::tuple(run.enabled, run.depth, run.transducer_offset), std::tuple(false, 3.0, -0.8));
    EXPECT_EQ(instruments_per(file, parsed({})), file);
}

// The receiver options of a run: vadrel.ini's, with each one the command
// line gives instead.
TEST(Options, ReceiverOptionsOverrideTheSettingsFile) {
    ReceiverOptions file;
    file.utc = file.real_motion = file.full_set = file.no_fix = true;
    file.altitude = 50;
    file.faults = {true, 0.1, 0.2, 0.3, 9, {}};
    file.sky_options.obstructions = {{0, 90, 30}};
    const auto over_file = [&file](ReceiverOptions change(ReceiverOptions)) { return change(file); };
    const std::vector<std::pair<std::vector<std::string>, ReceiverOptions>> rows = {
        {{"--utc=no", "--moto-reale=no", "--frasi", "rmc", "--senza-fix=no"},
         over_file([](ReceiverOptions o) {
             o.utc = o.real_motion = o.full_set = o.no_fix = false;
             return o;
         })},
        {{"--quota", "-12.5"}, over_file([](ReceiverOptions o) { return o.altitude = -12.5, o; })},
        {{"--guasti", "no"}, over_file([](ReceiverOptions o) { return o.faults.enabled = false, o; })},
        {{"--guasti", "tronca=0.5,seme=18446744073709551615"},
         over_file([](ReceiverOptions o) { return o.faults = {true, 0, 0, 0.5, 18446744073709551615ULL, {}}, o; })},
        {{"--guasti", "perdita-fix=30/300"},
         over_file([](ReceiverOptions o) { return o.faults = {true, 0, 0, 0, 1, {30, 300}}, o; })},
        {{"--satelliti", "--maschera", "12.5", "--rumore", "3", "--frequenza", "10", "--talker", "gn",
          "--elenco-frasi", "RMC,GSV,HDT"},
         over_file([](ReceiverOptions o) {
             o.sky_options = {true, 12.5, o.sky_options.obstructions, 3, 10, Talker::gn,
                        {SentenceKind::rmc, SentenceKind::gsv, SentenceKind::hdt}};
             return o;
         })},
        // the command line's obstructions stand for the file's, "no" for none
        {{"--ostacolo", "200-340:40", "--ostacolo", "350-10:20"},
         over_file([](ReceiverOptions o) { return o.sky_options.obstructions = {{200, 340, 40}, {350, 10, 20}}, o; })},
        {{"--ostacolo", "no"}, over_file([](ReceiverOptions o) { return o.sky_options.obstructions.clear(), o; })},
    };
    for (const auto& [args, expected] : rows) {
        EXPECT_EQ(receiver_for(file, parsed(args)), expected) << ::testing::PrintToString(args);
    }
    // the presets over the file in one step; an option after one goes over it
    const std::pair<std::vector<std::string>, std::array<bool, 3>> presets[] = {  // utc, moto_reale, frasi_complete
        {{"--ricevitore", "moderno"}, {true, true, true}},
        {{"--ricevitore", "moderno", "--utc=no"}, {false, true, true}},
        {{"--frasi", "rmc", "--ricevitore", "moderno"}, {true, true, true}},
        {{"--ricevitore", "classico"}, {false, false, false}},
    };
    for (const auto& [args, expected] : presets) {
        const ReceiverOptions got = receiver_for(expected[0] ? ReceiverOptions{} : file, parsed(args));
        EXPECT_EQ((std::array{got.utc, got.real_motion, got.full_set}), expected)
            << ::testing::PrintToString(args);
    }
    ReceiverOptions on;
    on.utc = on.real_motion = on.full_set = on.no_fix = true;
    EXPECT_EQ(receiver_for({}, parsed({"--utc", "--moto-reale=si", "--frasi", "complete", "--senza-fix"})), on);
}

// The AIS switches of a run: vadrel.ini's, with each one the command line gives instead.
TEST(Options, AisSwitchesOverrideTheSettingsFile) {
    AisSettings file;
    file.own_ship = true;
    file.vehicles[4].name = "Quarto";
    file.statics_at_once = true;
    // the command line, attivi, nave_propria, statici_subito
    const std::tuple<std::vector<std::string>, bool, bool, bool> rows[] = {
        {{}, false, true, true},
        {{"--ais"}, true, true, true},
        {{"--ais=si", "--ais-nave-propria=no"}, true, false, true},
        {{"--ais", "--ais=no"}, false, true, true},
        {{"--ais-statici-subito=no"}, false, true, false},
    };
    for (const auto& [args, enabled, own_ship, statics] : rows) {
        const AisSettings got = ais_per(file, parsed(args));
        EXPECT_EQ(std::tuple(got.enabled, got.own_ship, got.statics_at_once, got.vehicles),
                  std::tuple(enabled, own_ship, statics, file.vehicles))
            << ::testing::PrintToString(args);
    }
}

TEST(Options, StartOptionsSelectTheButtonsWithoutClicks) {
    testing::Rig rig(false);  // events not wired, as at creation
    const PanelForm& form = rig.form;
    const Options options = parsed({"--porta", "4", "--baud", "2400", "--modo", "radio", "--mezzi", "3"});
    apply_start_options(rig.fleet, rig.link, options, nullptr);
    show_start_options(rig.form, options);
    connect_panel(rig.form);  // the panel draws the link as it finds it
    EXPECT_EQ(std::tuple(form.com4_option.selected(), form.com2_option.selected(), form.baud_2400_option.selected(),
                         form.baud_4800_option.selected(), form.radio_mode_option.selected(),
                         form.standard_mode_option.selected(), form.vehicle_count_box.text()),
              std::tuple(true, false, true, false, true, false, "3"));
    EXPECT_EQ(std::tuple(rig.fleet.mode(), rig.fleet.cycle(), rig.port.calls.size()), std::tuple(Mode::radio, 3, 0u));
}

// The command line over vadrel.ini: only what it names; the last of --tcp
// wins; "no" switches an output off; --udp adds a target each time. (The
// end-to-end test runs "--tcp no" over a vadrel.ini that switches TCP on.)
TEST(Options, NetworkOutputsOverTheSettingsFile) {
    OutputSettings file;
    file.tcp = file.udp = true;
    file.tcp_address = "0.0.0.0";
    file.tcp_port = 2000;
    file.udp_targets = {"192.168.1.255:10110"};
    // the command line; TCP on or off, its address and its most clients; UDP on or off, its targets
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--tcp", "10110"}, "on 127.0.0.1:10110 64; on 192.168.1.255:10110"},
        {{"--tcp", "no", "--tcp", "[::]:0", "--tcp-max", "1000"}, "on [::]:0 1000; on 192.168.1.255:10110"},
        {{"--udp", "no"}, "on 0.0.0.0:2000 64; off 192.168.1.255:10110"},
        {{"--udp", "[::1]:1", "--udp", "plotter:2"}, "on 0.0.0.0:2000 64; on [::1]:1 plotter:2"},
        {{"--udp", "[::1]:1", "--udp", "no", "--udp", "plotter:2"}, "on 0.0.0.0:2000 64; on plotter:2"},
    };
    for (const auto& [args, outputs] : rows) {
        const OutputSettings s = outputs_for(file, parsed(args));
        std::string got = (s.tcp ? "on " : "off ") + Endpoint{s.tcp_address, std::uint16_t(s.tcp_port)}.text() + " " +
                          std::to_string(s.tcp_max) + (s.udp ? "; on" : "; off");
        for (const std::string& target : s.udp_targets) got += " " + target;
        EXPECT_EQ(got, outputs) << ::testing::PrintToString(args);
    }
}

// --n2k: the server's address as --tcp reads it; "no" and a bad value.
TEST(Options, NmeaTwoThousandServer) {
    // Columns: the command line, the server ("" none) or the refusal's start.
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{}, ""},
        {{"--n2k", "10112"}, "127.0.0.1:10112"},
        {{"--n2k", "[::]:0"}, "[::]:0"},
        {{"--n2k", "10112", "--n2k", "no"}, ""},
        {{"--n2k", "::1:10112"}, "--n2k: "},
        {{"--n2k", "70000"}, "--n2k: "},
        {{"--n2k"}, "manca [INDIRIZZO:]PORTA dopo --n2k"},
    };
    for (const auto& [args, wanted] : rows) {
        const std::string refused = refusal(args);
        const auto result = parse_options(args);
        const std::string got = !refused.empty() ? refused.substr(0, wanted.size())
                                : std::get<Options>(result).n2k ? std::get<Options>(result).n2k->text() : "";
        EXPECT_EQ(got, wanted) << ::testing::PrintToString(args);
    }
}

// --controllo over [controllo] of vadrel.ini, as --tcp over [uscite].
TEST(Options, ControlInterfaceOverTheSettingsFile) {
    const ControlSettings file{true, "0.0.0.0", 9000};
    const std::pair<std::vector<std::string>, ControlSettings> rows[] = {
        {{}, file},
        {{"--controllo", "0"}, {true, "127.0.0.1", 0}},
        {{"--controllo", "[::]:8080"}, {true, "::", 8080}},
        {{"--controllo", "8080", "--controllo", "no"}, {false, "0.0.0.0", 9000}},
    };
    for (const auto& [args, wanted] : rows) {
        EXPECT_EQ(control_for(file, parsed(args)), wanted) << ::testing::PrintToString(args);
    }
    EXPECT_FALSE(control_for(ControlSettings{}, parsed({})).on) << "off unless asked for";
}

// --mezzo, --rotta and --velocita-mezzo: one patch a vehicle, the values
// of each option merged, the last one of a kind winning; a refused value
// gives the fleet's own reason after the option.
TEST(Options, VehiclesOfTheRun) {
    const Options o = parsed({"--mezzo", "3=45°30'N 9°12'E", "--rotta", "3=90", "--velocita-mezzo", "3=12,5 nodi",
                              "--velocita-mezzo", "0=20km/h", "--velocita-mezzo", "0=7", "--rotta", "20=359.5"});
    ASSERT_EQ(o.vehicles_set.size(), 3U);
    const VehiclePatch& three = o.vehicles_set.at(3);
    EXPECT_EQ(std::tuple(three.position, three.course, three.speed, three.unit),
              std::tuple(std::optional<std::string>("45°30'N 9°12'E"), std::optional(90.0), std::optional(12.5),
                         std::optional(SpeedUnit::knots)));
    EXPECT_EQ(std::tuple(o.vehicles_set.at(0).speed, o.vehicles_set.at(0).unit),
              std::tuple(std::optional(7.0), std::optional(SpeedUnit::kmh)))
        << "a value without a unit keeps the unit given before";
    EXPECT_EQ(o.vehicles_set.at(20).course, 359.5);

    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--rotta", "21=10"}, "--rotta vuole N=GRADI con N da 0 a 20, non \"21=10\""},
        {{"--rotta", "3=nord"}, "--rotta 3=nord: la rotta è un numero di gradi da 0 a 360"},
        {{"--velocita-mezzo", "1=12 miglia"}, "--velocita-mezzo 1=12 miglia: la velocità è un numero"},
        {{"--mezzo", "2="}, "--mezzo vuole N=POSIZIONE"},
        {{"--mezzo"}, "manca N=POSIZIONE dopo --mezzo"},
    };
    for (const auto& [args, message] : rows) {
        EXPECT_EQ(refusal(args).rfind(message, 0), 0U) << refusal(args) << " (" << message << ")";
    }
}

// --incontro, --ais-boa and --ais-sart: what they ask, a later encounter of
// one vehicle standing for the earlier; each refusal with its reason.
TEST(Options, SetPieceAisSituations) {
    const Options o = parsed({"--incontro", "1=0.5,6", "--incontro", "4=1.25,12.5,sinistra", "--incontro",
                              "1=0.2,3,dritta", "--ais-boa", "Boa Nord=44 05 N 9 49 E", "--ais-boa",
                              "Scoglio=-43.5 -10.25", "--ais-sart", "44°01'N 9°50'E"});
    EXPECT_EQ(o.encounters, (std::vector<EncounterAsk>{{4, 1.25, 12.5, Side::port}, {1, 0.2, 3, Side::starboard}}));
    ASSERT_EQ(o.ais_buoys.size(), 2U);
    EXPECT_EQ(std::tuple(o.ais_buoys[0].name, o.ais_buoys[0].lat, o.ais_buoys[0].lon),
              std::tuple(std::string("Boa Nord"), 44 * 3600.0 + 5 * 60.0, 9 * 3600.0 + 49 * 60.0));
    EXPECT_EQ(std::tuple(o.ais_buoys[1].lat, o.ais_buoys[1].lon), std::tuple(-43.5 * 3600.0, -10.25 * 3600.0));
    ASSERT_TRUE(o.ais_sart);
    EXPECT_EQ(std::tuple(o.ais_sart->lat, o.ais_sart->lon, o.ais_sart->mmsi),
              std::tuple(44 * 3600.0 + 60.0, 9 * 3600.0 + 50 * 60.0, 970010001U));

    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--incontro", "1=-0.1,6"}, "--incontro 1=-0.1,6: il CPA"},
        {{"--incontro", "1=0.5,0"}, "--incontro 1=0.5,0: il TCPA"},
        {{"--incontro", "1=0.5,-2"}, "--incontro 1=0.5,-2: il TCPA"},
        {{"--incontro", "1=0,5,6"}, "--incontro vuole N=CPA_MIGLIA,TCPA_MINUTI"},
        {{"--incontro", "1=0.5"}, "--incontro vuole"},
        {{"--incontro", "1=0.5,6,dritta,x"}, "--incontro vuole"},
        {{"--incontro", "21=0.5,6"}, "--incontro vuole"},
        {{"--incontro", "x=0.5,6"}, "--incontro vuole"},
        {{"--incontro"}, "manca N=CPA_MIGLIA,TCPA_MINUTI dopo --incontro"},
        {{"--ais-boa", "Boa"}, "--ais-boa vuole NOME=POSIZIONE"},
        {{"--ais-boa", "=44 N 9 E"}, "--ais-boa =44 N 9 E: manca il nome"},
        {{"--ais-boa", "Boa=44 N"}, "--ais-boa Boa=44 N: servono latitudine e longitudine"},
        {{"--ais-boa", "Boa=nord"}, "--ais-boa Boa=nord: "},
        {{"--ais-boa", std::string(35, 'B') + "=44 N 9 E"}, "--ais-boa " + std::string(35, 'B')},
        {{"--ais-boa", "Boa ☃=44 N 9 E"}, "--ais-boa Boa ☃=44 N 9 E: il nome"},
        {{"--ais-sart", "9 E"}, "--ais-sart 9 E: servono latitudine e longitudine"},
        {{"--ais-sart"}, "manca POSIZIONE dopo --ais-sart"},
    };
    for (const auto& [args, message] : rows) {
        EXPECT_EQ(refusal(args).rfind(message, 0), 0U) << refusal(args) << " (" << message << ")";
    }
}

// The vehicles' routes kept in a real program folder: read back where the
// vehicle was, and every file that cannot be used refused and left as it is.

// Across the 180th meridian, a point with a speed of its own.
const Route round_trip = route_of({{10.0, 179.9}, {10.1, -179.95, 5.5}, {10.2, -179.8}}, "Giro");
const FollowOptions looping{RouteEnd::loop, false, 2.5, false};

RouteProgress along(std::int64_t leg = 1) {
    RouteProgress progress;
    progress.leg = leg;
    progress.fraction = 0.1234567890123;
    progress.rounds = 3;
    progress.course = 87.25;
    return progress;
}

TEST(KeptRoutes, ARestartGoesOnWhereTheVehicleWas) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    KeptRoutes kept(folder);
    ASSERT_EQ(kept.keep(3, round_trip, looping, RouteProgress{}), "");
    ASSERT_EQ(kept.save_progress(3, along()), "");

    KeptRoutes again(folder);
    auto read = again.read(3);
    ASSERT_TRUE(std::holds_alternative<KeptRoutes::Kept>(read)) << std::get<std::string>(read);
    const auto& [route, options, progress] = std::get<KeptRoutes::Kept>(read);
    EXPECT_TRUE(route == round_trip) << "every point, its speed and the name";
    EXPECT_EQ(std::pair(options, progress), std::pair(looping, along()));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(again.read(4)));

    ASSERT_EQ(again.forget(3), "");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(again.read(3)));
    EXPECT_EQ(f.names(), std::vector<std::string>{"vadrel.lock"});
}

// The name of the one GPX in the folder.
std::string kept_gpx(const ScratchFolder& f) {
    std::string found;
    for (const std::string& name : f.names()) {
        if (name.ends_with(".gpx")) found = name;
    }
    return found;
}

// Each damage is refused with its reason, and both files stay as they are.
TEST(KeptRoutes, AFileThatCannotBeUsedIsRefusedAndLeftAlone) {
    const std::string state = "vadrel.percorso.0";
    std::string gpx;
    const auto replace_line = [](std::string text, const std::string& key, const std::string& line) {
        const std::size_t at = text.find(key);
        return text.replace(at, text.find('\n', at) - at, line);
    };
    const std::tuple<const char*, std::function<void(const ScratchFolder&)>, std::string> rows[] = {
        // what, damage, told
        {"a route put in its place",
         [&](const ScratchFolder& f) { f.put(gpx, route_gpx(route_of({{1.0, 2.0}})).toStdString()); },
         ".gpx non è il percorso che"},
        {"an unknown end rule",
         [&](const ScratchFolder& f) { f.put(state, replace_line(f.get(state), "opzioni=", "opzioni=fine=boh")); },
         "fine=boh non è una regola"},
        {"a leg past the route's end",
         [&](const ScratchFolder& f) {
             f.put(state, replace_line(f.get(state), "avanzamento=", "avanzamento=" + progress_text(along(9))));
         },
         "vadrel.percorso.0: l'avanzamento non corrisponde al percorso"},
        {"no route", [&](const ScratchFolder& f) { std::remove(f.at(gpx).c_str()); }, ".gpx manca"},
        {"a state that names no route",
         [&](const ScratchFolder& f) { f.put(state, replace_line(f.get(state), "impronta=", "impronta=../../x")); },
         "non è lo stato di un percorso"},
        {"a fifo for the state",
         [&](const ScratchFolder& f) {
             std::remove(f.at(state).c_str());
             ASSERT_EQ(mkfifo(f.at(state).c_str(), 0600), 0);
         },
         "vadrel.percorso.0 non è un file normale dell'utente"},
    };
    for (const auto& [what, damage, told] : rows) {
        ScratchFolder f;
        ProgramFolder folder(f.path());
        ASSERT_EQ(KeptRoutes(folder).keep(0, round_trip, looping, along()), "");
        gpx = kept_gpx(f);
        ASSERT_EQ(f.names(), (std::vector<std::string>{"vadrel.lock", state, gpx}));
        damage(f);
        const auto bytes = [&] {
            return (std::filesystem::is_fifo(f.at(state)) ? "<fifo>" : f.get(state)) + "|" +
                   (std::filesystem::exists(f.at(gpx)) ? f.get(gpx) : "");
        };
        const std::string before = bytes();
        KeptRoutes kept(folder);
        const auto read = kept.read(0);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << what;
        EXPECT_NE(std::get<std::string>(read).find(told), std::string::npos)
            << what << ": " << std::get<std::string>(read);
        EXPECT_EQ(kept.save_progress(0, RouteProgress{}), "") << what;
        EXPECT_EQ(bytes(), before) << what << ": nothing written for a route that was refused";
    }
}

// A new route is written beside the old one before its state names it: a
// keep cut short at any step leaves the old pair or the new one, whole, and
// the next read takes away what is left over.
TEST(KeptRoutes, AKeepCutShortLeavesTheOldRouteOrTheNewOneWhole) {
    const Route second = route_of({{44.0, 8.0}, {44.1, 8.1}}, "Secondo");
    // The two generations, each complete, made in folders of their own.
    const auto made = [](const Route& route) {
        ScratchFolder f;
        ProgramFolder folder(f.path());
        EXPECT_EQ(KeptRoutes(folder).keep(0, route, looping, along()), "");
        return std::pair(f.get("vadrel.percorso.0"), std::pair(kept_gpx(f), f.get(kept_gpx(f))));
    };
    const auto [old_state, old_gpx] = made(round_trip);
    const auto [new_state, new_gpx] = made(second);
    ASSERT_NE(old_gpx.first, new_gpx.first) << "each route a name of its own";
    // what, the state there, the route files there, the route read
    const std::tuple<const char*, std::string, std::vector<std::pair<std::string, std::string>>, const Route*> rows[] = {
        {"the new route written, not yet named", old_state, {old_gpx, new_gpx}, &round_trip},
        {"the state replaced, the old route not yet removed", new_state, {old_gpx, new_gpx}, &second},
        {"done", new_state, {new_gpx}, &second},
        {"a first route written, no state yet", "", {new_gpx}, nullptr},
        {"an earlier version's files", old_state, {{"vadrel.percorso.0.gpx", old_gpx.second}}, &round_trip},
    };
    for (const auto& [what, state, routes, wanted] : rows) {
        SCOPED_TRACE(what);
        ScratchFolder f;
        if (!state.empty()) f.put("vadrel.percorso.0", state);
        for (const auto& [name, bytes] : routes) f.put(name, bytes);
        ProgramFolder folder(f.path());
        KeptRoutes kept(folder);
        const auto read = kept.read(0);
        if (wanted == nullptr) {
            EXPECT_TRUE(std::holds_alternative<std::monostate>(read));
            EXPECT_EQ(f.names(), std::vector<std::string>{"vadrel.lock"}) << "the left-over taken away";
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<KeptRoutes::Kept>(read)) << std::get<std::string>(read);
        EXPECT_TRUE(std::get<KeptRoutes::Kept>(read).route == *wanted);
        EXPECT_EQ(f.names().size(), 3u) << "the left-over taken away";
        // The progress goes on being saved beside the route read.
        ASSERT_EQ(kept.save_progress(0, along(0)), "");
        ASSERT_TRUE(std::holds_alternative<KeptRoutes::Kept>(KeptRoutes(folder).read(0)));
    }
}

// Every step of a keep as the folder saw it (inotify): at each, a start
// would find the state and the route it names, the old pair or the new one.
TEST(KeptRoutes, AtEveryStepOfAKeepTheStateNamesARouteThatIsThere) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    KeptRoutes kept(folder);
    ASSERT_EQ(kept.keep(1, round_trip, looping, along()), "");
    const std::string state = "vadrel.percorso.1", old_gpx = kept_gpx(f);
    std::set<std::string> there;
    for (const std::string& name : f.names()) there.insert(name);
    const Descriptor watch(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_GE(inotify_add_watch(watch.get(), f.path().c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO), 0);
    ASSERT_EQ(kept.keep(1, route_of({{44.0, 8.0}, {44.1, 8.1}}, "Secondo"), looping, along(0)), "");
    const std::string new_gpx = kept_gpx(f);
    ASSERT_NE(new_gpx, old_gpx);
    std::vector<char> events(64 * 1024);
    const ssize_t got = ::read(watch.get(), events.data(), events.size());
    ASSERT_GT(got, 0);
    bool state_new = false;
    std::vector<std::string> steps;
    for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events.data() + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        const std::string name = event->name;
        if (event->mask & (IN_CREATE | IN_MOVED_TO)) there.insert(name);
        if (event->mask & (IN_DELETE | IN_MOVED_FROM)) there.erase(name);
        if (name == state && (event->mask & IN_MOVED_TO)) state_new = true;
        steps.push_back(name);
        const std::string& named = state_new ? new_gpx : old_gpx;
        EXPECT_TRUE(there.count(state) && there.count(named))
            << "after " << ::testing::PrintToString(steps) << ": the state and " << named;
    }
    EXPECT_TRUE(state_new);
    EXPECT_EQ(f.names(), (std::vector<std::string>{"vadrel.lock", state, new_gpx}));
}

// One application for the whole binary: the worker's outcomes come back
// through its event queue.
QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The routes kept on the worker, its outcomes told to the routes and noted
// here as "vehicle why again".
struct KeptOnWorker {
    explicit KeptOnWorker(const ProgramFolder& folder) : kept(folder) {
        application();
        routes.set_keeper(&worker);
        routes.watch_keeping([this](std::size_t n, const std::string& why, bool again) {
            told.push_back(std::to_string(n) + " " + why + (again ? " again" : ""));
        });
    }
    // Every task asked done, and its outcome back on this thread.
    void settle() {
        ASSERT_TRUE(worker.wait(std::chrono::seconds(30)));
        QCoreApplication::sendPostedEvents();
    }
    KeptRoutes kept;
    Fleet fleet;
    VehicleRoutes routes{fleet};
    KeptRoutesWorker worker{kept, [this](std::size_t n, const std::string& why, bool later) {
                                routes.finished(n, why, later);
                            }};
    std::vector<std::string> told;
};

// A route the disk cannot take is not kept, and neither is the old one in
// its place: the vehicle follows the new route, and a start would find
// none. The worker's failure comes back and is tried again with the saves;
// once the disk takes it, it is kept whole.
TEST(KeptRoutes, ARouteTheDiskCannotTakeIsNotKeptUntilItCan) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    KeptOnWorker on(folder);
    ASSERT_EQ(on.kept.keep(2, round_trip, looping, along()), "");
    Route long_one("Lungo");
    for (int i = 0; i < 2000; ++i) ASSERT_FALSE(long_one.add({45.0 + i * 1e-4, 9.0}));
    {
        const FileSizeLimit full(4096);
        ASSERT_FALSE(on.routes.give(2, long_one, {}, nullptr));
        EXPECT_EQ(std::pair(on.routes.keeping(2), on.routes.not_kept(2)),
                  std::pair(true, std::string(VehicleRoutes::keeping_text)))
            << "under way: not said kept";
        EXPECT_EQ(on.routes.keep_again(), std::vector<std::size_t>{}) << "not tried again while under way";
        on.settle();
        EXPECT_FALSE(on.routes.keeping(2));
        EXPECT_NE(on.routes.not_kept(2).find("vadrel.percorso.2."), std::string::npos) << on.routes.not_kept(2);
        ASSERT_EQ(on.told.size(), 1U);
        EXPECT_EQ(on.told[0].rfind("2 ", 0), 0U) << on.told[0];
        on.routes.keep_again();
        on.settle();
        EXPECT_NE(on.routes.not_kept(2), "") << "still full";
        EXPECT_EQ(f.names(), std::vector<std::string>{"vadrel.lock"}) << "no old route in the new one's place, no temporary";
        EXPECT_TRUE(std::holds_alternative<std::monostate>(KeptRoutes(folder).read(2)));
        EXPECT_EQ(on.kept.save_progress(2, along(0)), "") << "no progress for a route not kept";
    }
    on.told.clear();
    on.routes.keep_again();
    on.settle();
    EXPECT_EQ(std::pair(on.routes.not_kept(2), on.told), std::pair(std::string(), std::vector<std::string>{"2  again"}));
    const auto read = KeptRoutes(folder).read(2);
    ASSERT_TRUE(std::holds_alternative<KeptRoutes::Kept>(read)) << std::get<std::string>(read);
    EXPECT_TRUE(std::get<KeptRoutes::Kept>(read).route == long_one);
}

// Keeps, forgets and saves asked one after another are done in that order:
// what is on disk at the end is what was asked last, only the last outcome
// of a vehicle counts, and a progress saved right after a keep names the
// new route.
TEST(KeptRoutes, TheWorkerKeepsInTheOrderAsked) {
    ScratchFolder f;
    ProgramFolder folder(f.path());
    KeptOnWorker on(folder);
    Route other("Altro");
    for (int i = 0; i < 3000; ++i) ASSERT_FALSE(other.add({44.0 + i * 1e-4, 8.0}));
    // vehicle 1: A, B, taken away; vehicle 3: A, taken away, B, its progress.
    ASSERT_FALSE(on.routes.give(1, round_trip, looping, nullptr));
    ASSERT_FALSE(on.routes.give(1, other, looping, nullptr));
    on.routes.take_away(1, nullptr);
    ASSERT_FALSE(on.routes.give(3, round_trip, looping, nullptr));
    on.routes.take_away(3, nullptr);
    ASSERT_FALSE(on.routes.give(3, other, looping, nullptr));
    std::vector<std::string> saved;
    on.worker.save_progress({{3, along()}}, [&](const std::string& problem) { saved.push_back(problem); });
    on.settle();
    EXPECT_EQ(on.told, (std::vector<std::string>{"1 ", "3 "})) << "only the last of each";
    EXPECT_EQ(saved, std::vector<std::string>{""});
    EXPECT_EQ(std::pair(on.routes.keeping(3), on.routes.not_kept(3)), std::pair(false, std::string()));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(KeptRoutes(folder).read(1)));
    const auto read = KeptRoutes(folder).read(3);
    ASSERT_TRUE(std::holds_alternative<KeptRoutes::Kept>(read)) << std::get<std::string>(read);
    EXPECT_TRUE(std::get<KeptRoutes::Kept>(read).route == other);
    EXPECT_EQ(std::get<KeptRoutes::Kept>(read).progress, along());
    EXPECT_EQ(f.names().size(), 3U) << "the lock, the state and its GPX: " << ::testing::PrintToString(f.names());
}

// The program as the operator starts it, on a virtual port.

using Files = std::vector<std::pair<std::string, std::string>>;  // name, bytes

// A program started with `args` and "--cartella" a folder of its own that
// holds `files`; stopped when it goes.
struct Started {
    ScratchFolder folder;
    FakeShell shell;
    std::optional<Program> program;
    // The window's panel over it.
    std::optional<ProgramPanel> panel;
    bool stopped = false;

    explicit Started(std::vector<std::string> args, const Files& files = {}) {
        application();
        for (const auto& [file, bytes] : files) folder.put(file, bytes);
        args.insert(args.end(), {"--cartella", folder.path()});
        const Options options = std::get<Options>(parse_options(args));
        program.emplace(options, shell);
        panel.emplace(*program, shell, options);
        program->start();
        panel->started();
    }
    Program* operator->() { return &*program; }
    PanelForm& form() { return panel->form(); }
    bool stop() { return std::exchange(stopped, true) || program->stop(); }
    ~Started() {
        stop();
        panel.reset();
    }
};

// A pseudo-terminal, as the device behind a COM number.
struct Pty {
    int master = -1, slave = -1;
    std::string device;
    Pty() {
        openpty(&master, &slave, nullptr, nullptr, nullptr);
        device = ttyname(slave);
    }
    ~Pty() {
        ::close(master);
        ::close(slave);
    }
};

// What each COM number stands for: --com over the group [porte] of
// vadrel.ini over the default; a device vadrel.ini names that cannot be is
// said at start-up and left out.
TEST(Program, EachComIsTheCommandLinesElseVadrelInisElseTheDefault) {
    const std::tuple<std::string, std::vector<std::string>, std::string, std::string> rows[] = {
        // vadrel.ini, the command line, COM 1 to 4, part of the message at start-up
        {"", {}, "/dev/ttyS0 /dev/ttyS1 /dev/ttyS2 /dev/ttyS3 ", ""},
        {"[porte]\ncom1=/dev/ttyUSB0\ncom3= ttyACM0 \ncom5=/dev/x\n", {},
         "/dev/ttyUSB0 /dev/ttyS1 ttyACM0 /dev/ttyS3 ", ""},
        {"[porte]\ncom1=/dev/ttyUSB0\ncom2=/dev/ttyUSB1\ncom4=\n", {"--com", "1=pty", "--com", "4=/dev/gps"},
         "PTY (virtuale) (--com) /dev/ttyUSB1 /dev/ttyS2 /dev/gps (--com) ", ""},
        {"[porte]\ncom2=dev/ttyUSB1\n", {}, "/dev/ttyS0 /dev/ttyS1 /dev/ttyS2 /dev/ttyS3 ",
         "[porte] com2 vuole un percorso completo"},
    };
    for (auto [ini, args, in_use, message] : rows) {
        args.insert(args.end(), {"--porta", "3"});
        Started run(args, {{"vadrel.ini", ini}});
        std::string devices;
        for (int number = 1; number <= 4; ++number) devices += run->port_in_use(number) + " ";
        if (const auto at = devices.find("/dev/pts/"); at != std::string::npos)
            devices.replace(at, devices.find(' ', at) - at, "PTY");
        EXPECT_EQ(devices, in_use) << ini;
        const std::string said = run.shell.messages.empty() ? "" : run.shell.messages[0];
        EXPECT_EQ(run.shell.messages.size(), message.empty() ? 0u : 1u) << said;
        EXPECT_NE(said.find(message), std::string::npos) << ini << ": " << said;
    }
}

// "Porta..." maps the ports --com left alone at once, the panel's open port
// opened again on its new device, and keeps them for the next run. (The real
// program under Xvfb reads its sentences on the new device.)
TEST(Program, AChangedMappingIsUsedAtOnceAndKept) {
    const Pty first, second;
    Started run({"--com", "1=pty"}, {{"vadrel.ini", "[porte]\ncom2=" + first.device + "\n"}});
    // on COM 2, the first pseudo-terminal
    ASSERT_EQ(run.form().status_label.caption(), "Tx ok");
    const std::string virtual_port = run->port_in_use(1);
    PortSettings wanted;
    wanted.devices = {{1, "/dev/ttyUSB7"}, {2, second.device}, {4, "ttyACM0"}};
    EXPECT_TRUE(run->port_settings().change(wanted, nullptr).ok());
    EXPECT_EQ(run->port_in_use(1), virtual_port) << "the virtual port of --com stays";
    EXPECT_EQ(run->port_in_use(2) + " " + run->port_in_use(4), second.device + " ttyACM0");
    EXPECT_EQ(run.form().status_label.caption(), "Tx ok");
    wanted.devices.erase(4);
    EXPECT_TRUE(run->port_settings().change(wanted, nullptr).ok());
    EXPECT_EQ(run->port_in_use(4), "/dev/ttyS3") << "back to the default";
    EXPECT_TRUE(run.stop());
    EXPECT_EQ(run.folder.get("vadrel.ini"), "[porte]\ncom1=/dev/ttyUSB7\ncom2=" + second.device + "\n");
}

// AIS targets: vadrel.ini's [ais] with --ais over it, vehicles 0 .. 2 of
// "--mezzi 3" in use (what they send is the end-to-end test's); a change
// giving two vehicles one MMSI is refused and changes nothing; one accepted
// is kept, the command line's switch left out of the file.
TEST(Program, AisTargetsAreInUseAndTheirChangesAreKept) {
    Started run({"--com", "2=pty", "--ais", "--mezzi", "3"},
                {{"vadrel.ini", "[ais]\nattivi=false\nmezzo1_nome=Alfa\n"}});
    EXPECT_EQ(run->ais().vehicles[1].name, "Alfa");
    for (std::size_t n = 0; n < fleet_size; ++n) EXPECT_EQ(static_cast<bool>(run->fleet().in_use(n)), n < 3) << n;

    AisSettings twice = run->ais();
    twice.vehicles[2].mmsi = twice.vehicles[1].mmsi;
    const Result<> refused = run->ais_settings().change(twice, nullptr);
    ASSERT_NE(refused.refusal(), nullptr);
    EXPECT_EQ(refused.message(), "l'MMSI 900000001 è sia del mezzo 1 sia del mezzo 2");
    EXPECT_EQ(run->ais().vehicles[2].mmsi, 900000002u);
    AisSettings renamed = run->ais();
    renamed.vehicles[2].name = "Bravo";
    EXPECT_TRUE(run->ais_settings().change(renamed, nullptr).ok());
    const std::string ini = run.folder.get("vadrel.ini");
    EXPECT_NE(ini.find("attivi=false"), std::string::npos) << "--ais stays out of the file\n" << ini;
    EXPECT_NE(ini.find("mezzo2_nome=Bravo"), std::string::npos) << ini;
    renamed.enabled = false;
    EXPECT_TRUE(run->ais_settings().change(renamed, nullptr).ok());
    EXPECT_FALSE(run->fleet().in_use(1)) << "AIS off: the current vehicle alone";
}

// Buoys and the SART put on the air while the program runs, through the
// control target the window uses: the AIS targets on for the run and not
// kept, a refusal leaving the stations as they were.
TEST(Program, StationsChangeWhileItRuns) {
    Started run({"--com", "2=pty"});
    ProgramControl& control = run->control_target();
    EXPECT_EQ(control.stations(), StationsOnAir{});
    const StationsOnAir asked{{{"BOA NORD", 44 * 3600.0, 9 * 3600.0}}, Sart{44 * 3600.0, 10 * 3600.0, default_sart_mmsi}};
    const auto done = control.set_stations(asked);
    ASSERT_TRUE(done.ok()) << done.message();
    EXPECT_EQ(done.value(), (std::vector<std::string>{"bersagli AIS attivi per questa esecuzione",
                                                      "1 boa, il SART in prova acceso"}));
    EXPECT_EQ(control.stations(), asked);
    EXPECT_TRUE(run->ais().enabled);
    StationsOnAir unnamed = asked;
    unnamed.buoys.push_back({"", 0, 0});
    const auto refused = control.set_stations(unnamed);
    ASSERT_NE(refused.refusal(), nullptr);
    EXPECT_EQ(refused.refusal()->field, "boa");
    EXPECT_EQ(control.stations(), asked) << "refused as a whole";
    const auto none = control.set_stations({});
    ASSERT_TRUE(none.ok());
    EXPECT_EQ(none.value(), std::vector<std::string>{"0 boe, nessun SART"});
    EXPECT_EQ(control.stations(), StationsOnAir{});
    EXPECT_EQ(run.folder.get("vadrel.ini").find("attivi=true"), std::string::npos) << "for this run only";
}

// A change of the receiver options (the menu "Opzioni") is kept in
// vadrel.ini beside the file's own choice that the command line overrode.
TEST(Program, AReceiverChangeKeepsTheFilesChoiceTheCommandLineOverrode) {
    Started run({"--com", "2=pty", "--senza-fix=no"}, {{"vadrel.ini", "[ricevitore]\nutc=true\nsenza_fix=true\n"}});
    ReceiverOptions expected;
    expected.utc = true;
    EXPECT_EQ(run->receiver(), expected);
    expected.real_motion = true;
    EXPECT_TRUE(run->receiver_settings().change(expected, nullptr).ok());
    EXPECT_TRUE(run.stop());
    run.program.reset();  // its folder free again
    expected.no_fix = true;
    ProgramFolder place(run.folder.path());
    EXPECT_EQ(read_receiver_settings(SettingsFile(place)).value, expected);
}

// The help file is the one in the program's folder; a folder of the
// operator's own (--cartella) without one gets the one installed beside the
// executable (the build puts one beside this test).
TEST(Program, F1OpensTheFoldersHelpOrElseTheOneBesideTheProgram) {
    for (const bool own_help : {false, true}) {
        Started run({"--com", "2=pty"}, own_help ? Files{{"vadrel.hlp", "<html>guida</html>"}} : Files{});
        const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/vadrel.hlp";
        EXPECT_EQ(run.form().help_file, own_help ? run.folder.at("vadrel.hlp") : beside) << own_help;
        EXPECT_EQ(std::filesystem::current_path(), run.folder.path()) << "the program's folder is the current one";
        EXPECT_TRUE(run.stop());
    }
}

// What the window's dialogs ask while both outputs run: an output onto the
// other one is refused, and what runs goes on as it was. (The end-to-end
// test refuses the program's own files and the other output at start-up.)
TEST(Program, AnOutputOntoTheOtherOutputChangesNothing) {
    Started run({"--com", "2=pty"});
    const ScratchFolder& folder = run.folder;
    Recordings& files = run->recordings();
    ASSERT_TRUE(files.start_tracks(folder.at("giro.gpx")).ok());
    EXPECT_EQ(files.start_recording(folder.at("giro.gpx")).message(),
              "la registrazione non può andare in " + folder.at("giro.gpx") + ": è il file delle tracce GPX (" +
                  folder.at("giro.gpx") + ")");
    EXPECT_FALSE(files.recorder().recording());
    const std::string recording = folder.at("giro.nmea");
    ASSERT_TRUE(files.start_recording(recording).ok());
    const Result<> refused = files.start_tracks(recording);
    EXPECT_NE(refused.refusal(), nullptr) << "a file given, not a failure of the system";
    EXPECT_EQ(refused.message(),
              "le tracce GPX non possono andare in " + recording + ": è il file della registrazione (" + recording +
                  ")");
    EXPECT_EQ(files.tracks()->path(), folder.at("giro.gpx")) << "the tracks go on where they were";
}

// A client's change takes the fleet's change path as a panel edit does: the
// panel shows it at once, a refusal leaves everything as it was; the
// command line's vehicles come over the table read at start-up.
TEST(Program, TheControlInterfacesChangesShowOnThePanelAtOnce) {
    Started run({"--com", "2=pty", "--rotta", "0=45"});
    PanelForm& form = run.form();
    EXPECT_EQ(form.course_box.text(), "45") << "the command line's course, over the table's";
    ProgramControl& control = run->control_target();
    int told = 0;
    control.changed = [&told] { ++told; };
    VehiclePatch patch;
    patch.position = "45°30'N 9°12'W";
    patch.course = 270;
    EXPECT_TRUE(control.patch_vehicle(0, patch).ok());
    EXPECT_EQ(
        std::tuple(form.latitude_degrees_box.text(), form.latitude_minutes_box.text(),
                   form.longitude_degrees_box.text(), form.longitude_hemisphere_box.text(), form.course_box.text()),
        std::tuple("45", "30", "9", "W", "270"));
    patch = {};
    patch.course = 400;
    EXPECT_EQ(*control.patch_vehicle(0, patch).refusal(), (Refusal{"rotta", "la rotta va da 0 a 360 gradi, non 400"}));
    EXPECT_EQ(form.course_box.text(), "270");
    EXPECT_TRUE(control.set_transmission(false).ok());
    EXPECT_EQ(form.status_label.caption(), "Stop");
    EXPECT_TRUE(control.set_mode(SendMode::multi, 5).ok());
    EXPECT_EQ(std::tuple(form.multi_user_mode_option.selected(), form.vehicle_count_box.text()), std::tuple(true, "5"));
    EXPECT_EQ(control.set_mode(SendMode::gps, 20).refusal()->field, "mezzi");
    EXPECT_EQ(told, 3) << "the window hears of each change done, not of a refusal";
    const ControlState state = control.state();
    EXPECT_EQ(std::pair(state.mode, state.port.status), std::pair(SendMode::multi, std::string("Stop")))
        << "the state as the panel shows it";

    // The link through the same target: the open COM 2 at 9600 and Start,
    // drawn on the panel's buttons and label; a refused port changes nothing.
    PortChange faster;
    faster.baud = 9600;
    faster.transmitting = true;
    EXPECT_TRUE(control.change_port(faster).ok());
    EXPECT_EQ(std::tuple(form.baud_9600_option.selected(), form.baud_4800_option.selected(),
                         form.com2_option.selected(), form.status_label.caption()),
              std::tuple(true, false, true, "Tx OK"));
    PortChange wrong = faster;
    wrong.number = 5;
    wrong.transmitting = false;
    EXPECT_EQ(control.change_port(wrong).refusal()->field, "numero");
    const PortState port = control.port();
    EXPECT_EQ(std::tuple(port.number, port.baud, port.open, port.transmitting, port.status),
              std::tuple(2, 9600, true, true, std::string("Tx OK")));
    EXPECT_EQ(told, 4);
}

// A scenario sent to the running program: each group it may carry is either
// taken, through the same change as the control interface's own, or refused
// whole with its group and key before anything changes (the `modo: multi`
// ahead of it is not taken either). Nothing is accepted and left aside.
TEST(Program, AScenarioForTheRunningProgramTakesEachGroupOrRefusesIt) {
    Started run({"--com", "2=pty"});
    ProgramControl& control = run->control_target();
    using Taken = std::function<bool(Program&)>;
    const Taken refused;
    // the scenario's settings, the field refused ("" when taken), part of the reason, what a taken one did
    const std::vector<std::tuple<const char*, const char*, const char*, Taken>> rows{
        {"pilota: {attivo: true, virata: 5}\n", "", "",
         [](Program& p) { return p.pilot().pilot().on() && p.pilot().pilot().turn_rate() == 5.0; }},
        {"pilota: {attivo: false}\n", "", "", [](Program& p) { return !p.pilot().pilot().on(); }},
        {"pilota: {declinazione: 3}\n", "pilota.declinazione", "PATCH /api/v1/pilota cambia attivo e virata", refused},
        {"pilota: {udp_ascolto: 10111}\n", "pilota.udp_ascolto", "la porta UDP del pilota si apre all'avvio", refused},
        {"ricevitore: {utc: true, frequenza: 5}\n", "", "",
         [](Program& p) { return p.receiver().utc && p.receiver().sky_options.rate == 5; }},
        {"ais: {attivi: true, nave_propria: true}\n", "", "",
         [](Program& p) { return p.ais().enabled && p.ais().own_ship; }},
        {"ais: {boa: [\"NORD=44 05 N 9 49 E\"]}\n", "ais.boa", "vale solo all'avvio del programma", refused},
        {"ais: {sart: \"44 05 N 9 49 E\"}\n", "ais.sart", "vale solo all'avvio del programma", refused},
        {"incontro: [\"1=0.5,6\"]\n", "incontro", "POST /api/v1/ais/incontri", refused},
        {"strumenti: true\nvento: 270@15\n", "", "",
         [](Program& p) { return p.control_target().instruments().enabled; }},
        {"mezzi:\n  - {numero: 1, rotta: 33}\n", "", "", [](Program& p) { return p.fleet().vehicle(1).course == 33.0; }},
        {"mezzi:\n  - {numero: 1, percorso: giro.gpx}\n", "mezzi.percorso", "con un evento", refused},
        {"uscite: {tcp: 10110}\n", "uscite.tcp", "vale solo all'avvio del programma", refused},
        {"uscite: {n2k: 10111}\n", "uscite.n2k", "vale solo all'avvio del programma", refused},
        {"flotta_intervallo: 5\n", "flotta_intervallo", "vale solo all'avvio del programma", refused},
        {"registra: r.nmea\n", "registra", "vale solo all'avvio del programma", refused},
    };
    for (const auto& [settings, field, reason, taken] : rows) {
        ASSERT_TRUE(control.set_mode(SendMode::gps, std::nullopt).ok());
        const std::string text = std::string("modo: multi\n") + settings;
        const Result<> played = control.play_scenario(QByteArray::fromStdString(text));
        if (*field == '\0') {
            EXPECT_TRUE(played.ok()) << settings << played.message();
            EXPECT_EQ(control.state().mode, SendMode::multi) << settings;
            EXPECT_TRUE(taken(*run.program)) << settings;
        } else {
            ASSERT_NE(played.refusal(), nullptr) << settings;
            EXPECT_EQ(played.refusal()->field, field) << settings;
            EXPECT_NE(played.refusal()->reason.find(reason), std::string::npos) << played.refusal()->reason;
            EXPECT_EQ(control.state().mode, SendMode::gps) << settings << ": nothing changes";
        }
    }
}

// Where the program keeps its table and finds its help, in a scratch tree:
// a build folder, an installed tree (bin and share/vadrel as the install
// rules lay them out), a folder of the operator's and a user's data folder.
const QString bin = QStringLiteral("installed/" VADREL_BINDIR);
const QString share = QStringLiteral("installed/" VADREL_DATADIR "/vadrel");

// Folders made on demand; help files only where a row says.
struct Tree {
    QTemporaryDir dir;
    std::string path(const QString& relative) const {
        QDir().mkpath(dir.filePath(relative));
        return dir.filePath(relative).toStdString();
    }
    QString help(const QString& folder) const {
        return QDir(QString::fromStdString(path(folder))).filePath("vadrel.hlp");
    }
};

TEST(Places, TheTableLivesWhereTheOperatorMayKeepIt) {
    const std::tuple<const char*, bool, QString, bool, const char*> rows[] = {
        // name, --cartella given, the executable's folder, read-only, where the table goes
        {"the folder of --cartella first", true, bin, false, "mine"},
        {"a build folder keeps it beside the executable", false, "build", false, "build"},
        {"a build folder the user may not write in", false, "build", true, "data"},
    };
    for (const auto& [name, given, exe, read_only, expected] : rows) {
        if (read_only && geteuid() == 0) continue;  // root writes anywhere; the package check runs it as a user
        Tree tree;
        QFile(tree.help(share)).open(QIODevice::WriteOnly);
        const std::string exe_dir = tree.path(exe), data = tree.path("data");
        if (read_only) QFile::setPermissions(QString::fromStdString(exe_dir), QFile::ReadOwner | QFile::ExeOwner);
        const std::string chosen =
            table_folder_of(given ? std::optional(tree.path("mine")) : std::nullopt, exe_dir, data);
        EXPECT_EQ(chosen, tree.path(expected)) << name;
    }
}

TEST(Places, TheHelpIsTheFirstOneFound) {
    const std::pair<std::vector<QString>, QString> rows[] = {  // folders holding a vadrel.hlp, the one found ("" none)
        {{"mine", bin, share}, "mine"},
        {{bin, share}, bin},
        {{share}, share},
        {{}, ""},
    };
    for (const auto& [helps, expected] : rows) {
        Tree tree;
        for (const QString& folder : helps) QFile(tree.help(folder)).open(QIODevice::WriteOnly);
        const QString found = route_help(tree.help("mine"), QString::fromStdString(tree.path(bin)));
        EXPECT_EQ(found, expected.isEmpty() ? QString() : tree.help(expected)) << expected.toStdString();
    }
}

// Standard error is a pipe nobody drains: Qt's own handler would wait in its
// write for ever. Routed, the warning is dropped and the program goes on;
// once the reader drains the pipe, the next warning comes out whole.
TEST(QtMessages, AWarningWhileNobodyReadsIsDroppedNotWaitedFor) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_EQ(::dup2(ends[1], STDERR_FILENO), STDERR_FILENO);
    // Filled through a nonblocking description of its own: standard error's
    // stays blocking, as a shell leaves it.
    const int filler = ::open(("/proc/self/fd/" + std::to_string(ends[1])).c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    route_qt_messages();

    ::alarm(10);  // a warning that waits ends the test here
    qWarning("lost");
    char drained[65536];
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    while (::read(ends[0], drained, sizeof drained) > 0) {
    }
    qWarning("seen");
    const ssize_t got = ::read(ends[0], drained, sizeof drained);
    ::alarm(0);

    qInstallMessageHandler(nullptr);
    ::dup2(saved, STDERR_FILENO);
    for (const int fd : {saved, filler, ends[0], ends[1]}) ::close(fd);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(drained, static_cast<std::size_t>(got)), "seen\n");
}

// A fleet file read on another thread (the window's dialog) and put in on
// this one; a refused file changes nothing; a second to the same server
// replaces the first; remove stops it.
TEST(FleetServiceTest, ReadOffTheLoopPutInOnItReplacedAndRemoved) {
    QTemporaryDir dir;
    const std::string good = dir.filePath("flotta.csv").toStdString();
    const std::string bad = dir.filePath("rotto.csv").toStdString();
    std::ofstream(good) << "id;lat;lon;rotta;velocita_kmh\ntaxi-1;45;7;0;10\ntaxi-2;45.1;7;0;10\n";
    std::ofstream(bad) << "id;lat;lon;rotta;velocita_kmh\nok-1;45;7;0;10\nrotto-1;95;7;0;10\n";
    FleetService fleets(parsed({}), 1);
    const std::string server = "traccar:127.0.0.1:9";
    FleetService::Install install;
    std::thread([&] { install = fleets.prepare_file(good, server, 5); }).join();
    EXPECT_EQ(fleets.devices(), 0u) << "nothing in before it is put in";
    EXPECT_EQ(install(), "");
    ASSERT_EQ(fleets.overview().servers.size(), 1u);
    EXPECT_EQ(fleets.overview().servers[0].file, good);
    EXPECT_EQ(fleets.device("taxi-2")->interval, 5) << "the dialog's interval";
    EXPECT_EQ(fleets.prepare_file(bad, server, 5)(), bad + ":3: lat: \"95\" è fuori campo (da -90 a 90)");
    EXPECT_EQ(fleets.prepare_file(good, "gopher:1", 5)().rfind("verso: ", 0), 0u);
    EXPECT_EQ(fleets.devices(), 2u) << "a refusal changes nothing";
    EXPECT_EQ(fleets.replace("id;lat;lon;rotta;velocita_kmh\nbus-1;45;7;0;10\n", server), "");
    EXPECT_EQ(fleets.devices(), 1u) << "the same server's fleet replaced";
    EXPECT_TRUE(fleets.remove(server));
    EXPECT_FALSE(fleets.remove(server));
    EXPECT_EQ(fleets.devices(), 0u);
}

}  // namespace
}  // namespace vadrel::testing
