// The program as the operator starts it, on a virtual port.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <array>
#include <chrono>

#include "app/program.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

// Programs need an application object; one for the whole binary.
QCoreApplication& application() {
    static int argc = 1;
    static char name[] = "test_program";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The first line a device's other end reads, the serial port's events let
// run meanwhile; "" after five seconds.
std::string read_line(int master) {
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        char c = 0;
        while (::read(master, &c, 1) == 1) line += c;
    }
    return line;
}

std::string without_pts(std::string text) {
    if (const auto at = text.find("/dev/pts/"); at != std::string::npos)
        text.replace(at, text.find(' ', at) - at, "PTY");
    return text;
}

// What each COM number stands for: --com over the group [porte] of
// vadrel.ini over the default; a device vadrel.ini names that cannot be is
// said at start-up and left out.
TEST(Program, EachComIsTheCommandLinesElseVadrelInisElseTheDefault) {
    application();
    struct Row {
        std::string ini;
        std::vector<std::string> args;
        std::array<std::string, 4> in_use;
        std::string message;  // part of the message at start-up
    };
    const Row rows[] = {
        {"", {}, {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"}, ""},
        {"[porte]\ncom1=/dev/ttyUSB0\ncom3= ttyACM0 \ncom5=/dev/x\n", {},
         {"/dev/ttyUSB0", "/dev/ttyS1", "ttyACM0", "/dev/ttyS3"}, ""},
        {"[porte]\ncom1=/dev/ttyUSB0\ncom2=/dev/ttyUSB1\ncom4=\n", {"--com", "1=pty", "--com", "4=/dev/gps"},
         {"PTY (virtuale) (--com)", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/gps (--com)"}, ""},
        {"[porte]\ncom2=dev/ttyUSB1\n", {}, {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3"},
         "[porte] com2 vuole un percorso completo"},
    };
    for (const Row& row : rows) {
        testing::ScratchFolder folder;
        folder.put("vadrel.ini", row.ini);
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--cartella", folder.path(), "--porta", "3"});
        const auto options = parse_options(args);
        testing::FakeShell shell;
        Program program(std::get<Options>(options), shell);
        program.start();
        for (int number = 1; number <= 4; ++number)
            EXPECT_EQ(without_pts(program.port_in_use(number)), row.in_use[number - 1]) << row.ini << number;
        std::string said;
        for (const std::string& message : shell.messages) said += message;
        EXPECT_EQ(row.message.empty(), said.empty()) << said;
        EXPECT_NE(said.find(row.message), std::string::npos) << row.ini << ": " << said;
        program.stop();
    }
}

// "Porta..." maps the ports --com left alone at once, the panel's open port
// opened again on its new device, and keeps them for the next run.
TEST(Program, AChangedMappingIsUsedAtOnceAndKept) {
    application();
    struct Pty {
        int master = -1;
        int slave = -1;
        std::string device;
    } first, second;
    for (Pty* pty : {&first, &second}) {
        ASSERT_EQ(openpty(&pty->master, &pty->slave, nullptr, nullptr, nullptr), 0);
        pty->device = ttyname(pty->slave);
    }
    testing::ScratchFolder folder;
    folder.put("vadrel.ini", "[porte]\ncom2=" + first.device + "\n");
    const Options options = std::get<Options>(parse_options({"--cartella", folder.path(), "--com", "1=pty"}));
    testing::FakeShell shell;
    {
        Program program(options, shell);  // on COM 2, the first pseudo-terminal
        program.start();
        ASSERT_EQ(program.form().status_label.caption(), "Tx ok");
        const std::string virtual_port = program.port_in_use(1);
        PortSettings wanted;
        wanted.devices = {{1, "/dev/ttyUSB7"}, {2, second.device}, {4, "ttyACM0"}};
        EXPECT_EQ(program.change_ports(wanted), "");
        EXPECT_EQ(program.port_in_use(1), virtual_port) << "the virtual port of --com stays";
        EXPECT_EQ(program.port_in_use(2), second.device);
        EXPECT_EQ(program.port_in_use(4), "ttyACM0");
        EXPECT_EQ(program.form().status_label.caption(), "Tx ok");
        program.transmitter().tick();
        EXPECT_EQ(read_line(second.master).rfind("$GPRMC,", 0), 0u);
        wanted.devices.erase(4);
        EXPECT_EQ(program.change_ports(wanted), "");
        EXPECT_EQ(program.port_in_use(4), "/dev/ttyS3") << "back to the default";
        program.stop();
    }
    EXPECT_EQ(folder.get("vadrel.ini"), "[porte]\ncom1=/dev/ttyUSB7\ncom2=" + second.device + "\n");
    for (const Pty& pty : {first, second}) {
        ::close(pty.master);
        ::close(pty.slave);
    }
}

// The lines the other end reads within five seconds, up to `count`.
std::vector<std::string> read_lines(int master, std::size_t count) {
    std::vector<std::string> lines;
    while (lines.size() < count) {
        std::string line = read_line(master);
        if (line.empty()) break;
        for (std::size_t end = line.find("\r\n"); end != std::string::npos; end = line.find("\r\n")) {
            lines.push_back(line.substr(0, end));
            line.erase(0, end + 2);
        }
    }
    return lines;
}

// AIS targets: vadrel.ini's [ais] with --ais over it; vehicles 0 .. 2 of
// "--mezzi 3" but the current one send after the $GPRMC, on the port; a
// change giving two vehicles one MMSI is refused and changes nothing; one
// accepted is kept, the command line's switch left out of the file.
TEST(Program, AisTargetsFollowTheSecondsSentencesAndTheirChangesAreKept) {
    application();
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    testing::ScratchFolder folder;
    folder.put("vadrel.ini", std::string("[ais]\nattivi=false\nmezzo1_nome=Alfa\n[porte]\ncom2=") + ttyname(slave) + "\n");
    const Options options =
        std::get<Options>(parse_options({"--cartella", folder.path(), "--ais", "--mezzi", "3"}));
    testing::FakeShell shell;
    {
        Program program(options, shell);
        program.start();
        EXPECT_EQ(program.ais().mezzi[1].name, "Alfa");
        program.transmitter().tick();
        // The program's own timer may tick too while the port is read (a
        // wall-clock second passing): its seconds come whole, after this one.
        const std::vector<std::string> first = read_lines(master, 7);
        ASSERT_GE(first.size(), 7u) << "the $GPRMC, then 1 and 5 (two fragments) of vehicles 1 and 2";
        EXPECT_EQ(first[0].rfind("$GPRMC,", 0), 0u);
        for (std::size_t i = 1; i < 7; ++i) EXPECT_EQ(first[i].rfind("!AIVDM,", 0), 0u) << first[i];
        for (std::size_t n = 0; n < fleet_size; ++n) EXPECT_EQ(program.fleet().in_use(n), n < 3) << n;

        AisSettings twice = program.ais();
        twice.mezzi[2].mmsi = twice.mezzi[1].mmsi;
        EXPECT_EQ(program.change_ais(twice), "l'MMSI 900000001 è sia del mezzo 1 sia del mezzo 2");
        EXPECT_EQ(program.ais().mezzi[2].mmsi, 900000002u);
        AisSettings renamed = program.ais();
        renamed.mezzi[2].name = "Bravo";
        EXPECT_EQ(program.change_ais(renamed), "");
        const std::string ini = folder.get("vadrel.ini");
        EXPECT_NE(ini.find("attivi=false"), std::string::npos) << "--ais stays out of the file\n" << ini;
        EXPECT_NE(ini.find("mezzo2_nome=Bravo"), std::string::npos) << ini;
        renamed.attivi = false;
        EXPECT_EQ(program.change_ais(renamed), "");
        program.transmitter().tick();
        const std::vector<std::string> off = read_lines(master, 1);
        ASSERT_GE(off.size(), 1u);
        for (const std::string& line : off) EXPECT_EQ(line.rfind("$GPRMC,", 0), 0u) << "AIS off: the $GPRMC alone";
        EXPECT_FALSE(program.fleet().in_use(1));
        program.stop();
    }
    ::close(master);
    ::close(slave);
}

// The help file is the one in the program's folder; a folder of the
// operator's own (--cartella) without one gets the one installed beside the
// executable (the build puts one beside this test).
TEST(Program, F1OpensTheFoldersHelpOrElseTheOneBesideTheProgram) {
    application();
    const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/vadrel.hlp";
    for (const bool own_help : {false, true}) {
        testing::ScratchFolder folder;
        if (own_help) folder.put("vadrel.hlp", "<html>guida</html>");
        Options options;
        options.cartella = folder.path();
        options.com[2] = PortMapping{true, ""};
        testing::FakeShell shell;
        Program program(options, shell);
        program.start();
        EXPECT_EQ(program.form().help_file, own_help ? folder.at("vadrel.hlp") : beside) << own_help;
        EXPECT_TRUE(program.stop());
    }
}

// What the window's dialogs ask: an output onto a file of the program's
// own, onto the other output or onto a device is refused, and what runs goes
// on as it was.
TEST(Program, AnOutputOntoTheProgramsFilesOrTheOtherOutputChangesNothing) {
    application();
    testing::ScratchFolder folder;
    Options options;
    options.cartella = folder.path();
    options.com[2] = PortMapping{true, ""};
    testing::FakeShell shell;
    Program program(options, shell);
    program.start();
    ASSERT_EQ(program.start_tracks(folder.at("giro.gpx")), "");
    const std::pair<std::string, std::string> recordings[] = {
        {folder.at("vadrel.cnf"), "è un file del programma (" + folder.at("vadrel.cnf") + ")"},
        {folder.at("giro.gpx"), "è il file delle tracce GPX (" + folder.at("giro.gpx") + ")"},
    };
    for (const auto& [path, why] : recordings) {
        EXPECT_EQ(program.start_recording(path), "la registrazione non può andare in " + path + ": " + why);
        EXPECT_FALSE(program.recorder().recording()) << path;
    }
    ASSERT_EQ(program.start_recording(folder.at("giro.nmea")), "");
    const std::pair<std::string, std::string> tracks[] = {
        {folder.at("giro.nmea"), "è il file della registrazione (" + folder.at("giro.nmea") + ")"},
        {"/dev/null", "è un dispositivo, non un file normale"},
    };
    for (const auto& [path, why] : tracks) {
        EXPECT_EQ(program.start_tracks(path), "le tracce GPX non possono andare in " + path + ": " + why);
        EXPECT_EQ(program.tracks()->path(), folder.at("giro.gpx")) << "the tracks go on where they were";
    }
    EXPECT_TRUE(program.stop());
    EXPECT_EQ(folder.get("vadrel.cnf").find("<gpx"), std::string::npos) << "still the table";
}

// A client's change takes the fleet's change path as a panel edit does: the
// panel shows it at once, a refusal leaves everything as it was; the
// command line's vehicles come over the table read at start-up.
TEST(Program, TheControlInterfacesChangesShowOnThePanelAtOnce) {
    application();
    testing::ScratchFolder folder;
    const Options options =
        std::get<Options>(parse_options({"--cartella", folder.path(), "--com", "2=pty", "--rotta", "0=45"}));
    testing::FakeShell shell;
    Program program(options, shell);
    program.start();
    PanelForm& form = program.form();
    EXPECT_EQ(form.course_box.text(), "45") << "the command line's course, over the table's";

    ProgramControl& control = program.control_target();
    int told = 0;
    control.changed = [&told] { ++told; };
    VehiclePatch patch;
    patch.position = "45°30'N 9°12'W";
    patch.course = 270;
    EXPECT_EQ(control.patch_vehicle(0, patch), std::nullopt);
    EXPECT_EQ(
        std::tuple(form.latitude_degrees_box.text(), form.latitude_minutes_box.text(),
                   form.longitude_degrees_box.text(), form.longitude_hemisphere_box.text(), form.course_box.text()),
        std::tuple("45", "30", "9", "W", "270"));
    patch = {};
    patch.course = 400;
    EXPECT_EQ(control.patch_vehicle(0, patch), (Refusal{"rotta", "la rotta va da 0 a 360 gradi, non 400"}));
    EXPECT_EQ(form.course_box.text(), "270");

    EXPECT_EQ(control.set_transmission(false), std::nullopt);
    EXPECT_EQ(form.status_label.caption(), "Stop");
    EXPECT_EQ(control.set_mode(SendMode::multi, 5), std::nullopt);
    EXPECT_EQ(std::tuple(form.multi_user_mode_option.selected(), form.vehicle_count_box.text()), std::tuple(true, "5"));
    EXPECT_EQ(control.set_mode(SendMode::gps, 20).value_or(Refusal{}).field, "mezzi");
    EXPECT_EQ(told, 3) << "the window hears of each change done, not of a refusal";

    const ControlState state = control.state();
    EXPECT_EQ(std::tuple(state.mode, state.transmitting, state.vehicles_in_use, state.port.number, state.port.status),
              std::tuple(SendMode::multi, false, 5, 2, std::string("Stop")));
    EXPECT_TRUE(program.stop());
}

}  // namespace
}  // namespace vadrel
