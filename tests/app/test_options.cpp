#include <gtest/gtest.h>

#include <array>

#include <filesystem>
#include <fstream>
#include <limits>
#include <tuple>

#include "app/options.h"
#include "support/fakes.h"

namespace vadrel {
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
    EXPECT_EQ(std::tuple(o.senza_finestra, o.cartella, o.porta, o.baud, o.modo, o.mezzi, *o.durata),
              std::tuple(true, "/tmp/x", 3, 9600, Options::Modo::multi, "5", 2.5));
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(std::tuple(*o.registra, *o.riproduci, o.velocita, o.ciclo, o.permesso().damaged, o.permesso().jumps),
              std::tuple(here + "/a.nmea", here + "/b.nmea", 0.5, true, true, true));
    EXPECT_EQ(parsed({"--riproduci", "b", "--velocita", "1000"}).velocita, 1000.0);
    EXPECT_EQ(o.com,
              (std::map<int, PortMapping>{{1, {false, "/dev/ttyUSB0"}}, {2, {true, ""}}, {3, {true, "/tmp/gps"}}}));
    // The longest run still fits the timer's int milliseconds.
    EXPECT_EQ(parsed({"--durata", "2147483"}).durata, durata_massima);
    EXPECT_LE(durata_ms(durata_massima).count(), std::numeric_limits<int>::max());
    const Options defaults = parsed({});
    EXPECT_EQ(std::tuple(defaults.senza_finestra, defaults.porta, defaults.baud, defaults.modo, defaults.com.empty()),
              std::tuple(false, 2, 4800, Options::Modo::gps, true));
}

// Start-up makes the program's folder current: every path must already be
// absolute by then, or it would name something else.
TEST(Options, PathsAreMadeAbsoluteAgainstTheStartingFolder) {
    const std::string here = std::filesystem::current_path().string();
    const Options o = parsed({"--cartella", "./rel/.", "--com", "1=pty:gps0", "--com", "3=dev/../tty0",
                              "--com", "4=ttyUSB0"});
    EXPECT_EQ(o.cartella, here + "/rel");
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
        {"--ricevitore", ""},
    };
    for (const auto& args : rows) EXPECT_NE(refusal(args), "") << ::testing::PrintToString(args);
}

// The receiver options of a run: vadrel.ini's, with each one the command
// line gives instead.
TEST(Options, ReceiverOptionsOverrideTheSettingsFile) {
    OpzioniRicevitore file;
    file.utc = file.moto_reale = file.frasi_complete = file.senza_fix = true;
    file.quota = 50;
    file.guasti = {true, 0.1, 0.2, 0.3, 9, {}};
    file.cielo.ostacoli = {{0, 90, 30}};
    const auto over_file = [&file](OpzioniRicevitore change(OpzioniRicevitore)) { return change(file); };
    const std::vector<std::pair<std::vector<std::string>, OpzioniRicevitore>> rows = {
        {{"--utc=no", "--moto-reale=no", "--frasi", "rmc", "--senza-fix=no"},
         over_file([](OpzioniRicevitore o) {
             o.utc = o.moto_reale = o.frasi_complete = o.senza_fix = false;
             return o;
         })},
        {{"--quota", "-12.5"}, over_file([](OpzioniRicevitore o) { return o.quota = -12.5, o; })},
        {{"--guasti", "no"}, over_file([](OpzioniRicevitore o) { return o.guasti.attivi = false, o; })},
        {{"--guasti", "tronca=0.5,seme=18446744073709551615"},
         over_file([](OpzioniRicevitore o) { return o.guasti = {true, 0, 0, 0.5, 18446744073709551615ULL, {}}, o; })},
        {{"--guasti", "perdita-fix=30/300"},
         over_file([](OpzioniRicevitore o) { return o.guasti = {true, 0, 0, 0, 1, {30, 300}}, o; })},
        {{"--satelliti", "--maschera", "12.5", "--rumore", "3", "--frequenza", "10", "--talker", "gn",
          "--elenco-frasi", "RMC,GSV,HDT"},
         over_file([](OpzioniRicevitore o) {
             o.cielo = {true, 12.5, o.cielo.ostacoli, 3, 10, Talker::gn,
                        {SentenceKind::rmc, SentenceKind::gsv, SentenceKind::hdt}};
             return o;
         })},
        // the command line's obstructions stand for the file's, "no" for none
        {{"--ostacolo", "200-340:40", "--ostacolo", "350-10:20"},
         over_file([](OpzioniRicevitore o) { return o.cielo.ostacoli = {{200, 340, 40}, {350, 10, 20}}, o; })},
        {{"--ostacolo", "no"}, over_file([](OpzioniRicevitore o) { return o.cielo.ostacoli.clear(), o; })},
    };
    for (const auto& [args, expected] : rows) {
        EXPECT_EQ(ricevitore_per(file, parsed(args)), expected) << ::testing::PrintToString(args);
    }
    // the presets over the file in one step; an option after one goes over it
    const std::pair<std::vector<std::string>, std::array<bool, 3>> presets[] = {  // utc, moto_reale, frasi_complete
        {{"--ricevitore", "moderno"}, {true, true, true}},
        {{"--ricevitore", "moderno", "--utc=no"}, {false, true, true}},
        {{"--frasi", "rmc", "--ricevitore", "moderno"}, {true, true, true}},
        {{"--ricevitore", "classico"}, {false, false, false}},
    };
    for (const auto& [args, expected] : presets) {
        const OpzioniRicevitore got = ricevitore_per(expected[0] ? OpzioniRicevitore{} : file, parsed(args));
        EXPECT_EQ((std::array{got.utc, got.moto_reale, got.frasi_complete}), expected)
            << ::testing::PrintToString(args);
    }
    OpzioniRicevitore on;
    on.utc = on.moto_reale = on.frasi_complete = on.senza_fix = true;
    EXPECT_EQ(ricevitore_per({}, parsed({"--utc", "--moto-reale=si", "--frasi", "complete", "--senza-fix"})), on);
}

// The AIS switches of a run: vadrel.ini's, with each one the command line gives instead.
TEST(Options, AisSwitchesOverrideTheSettingsFile) {
    AisSettings file;
    file.nave_propria = true;
    file.mezzi[4].name = "Quarto";
    const std::tuple<std::vector<std::string>, bool, bool> rows[] = {  // the command line, attivi, nave_propria
        {{}, false, true},
        {{"--ais"}, true, true},
        {{"--ais=si", "--ais-nave-propria=no"}, true, false},
        {{"--ais", "--ais=no"}, false, true},
    };
    for (const auto& [args, attivi, nave_propria] : rows) {
        const AisSettings got = ais_per(file, parsed(args));
        EXPECT_EQ(std::tuple(got.attivi, got.nave_propria, got.mezzi), std::tuple(attivi, nave_propria, file.mezzi))
            << ::testing::PrintToString(args);
    }
}

TEST(Options, StartOptionsSelectTheButtonsWithoutClicks) {
    testing::Rig rig(false);  // events not wired, as at creation
    const PanelForm& form = rig.form;
    apply_start_options(rig.form, parsed({"--porta", "4", "--baud", "2400", "--modo", "radio", "--mezzi", "3"}));
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
        EXPECT_EQ(controllo_per(file, parsed(args)), wanted) << ::testing::PrintToString(args);
    }
    EXPECT_FALSE(controllo_per(ControlSettings{}, parsed({})).on) << "off unless asked for";
}

// --mezzo, --rotta and --velocita-mezzo: one patch a vehicle, the values
// of each option merged, the last one of a kind winning; a refused value
// gives the fleet's own reason after the option.
TEST(Options, VehiclesOfTheRun) {
    const Options o = parsed({"--mezzo", "3=45°30'N 9°12'E", "--rotta", "3=90", "--velocita-mezzo", "3=12,5 nodi",
                              "--velocita-mezzo", "0=20km/h", "--velocita-mezzo", "0=7", "--rotta", "20=359.5"});
    ASSERT_EQ(o.mezzi_impostati.size(), 3U);
    const VehiclePatch& three = o.mezzi_impostati.at(3);
    EXPECT_EQ(std::tuple(three.position, three.course, three.speed, three.unit),
              std::tuple(std::optional<std::string>("45°30'N 9°12'E"), std::optional(90.0), std::optional(12.5),
                         std::optional(SpeedUnit::knots)));
    EXPECT_EQ(std::tuple(o.mezzi_impostati.at(0).speed, o.mezzi_impostati.at(0).unit),
              std::tuple(std::optional(7.0), std::optional(SpeedUnit::kmh)))
        << "a value without a unit keeps the unit given before";
    EXPECT_EQ(o.mezzi_impostati.at(20).course, 359.5);

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

}  // namespace
}  // namespace vadrel
