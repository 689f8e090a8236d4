// The program as the operator starts it, on a virtual port; the places it
// keeps its files in; its Qt messages on a standard error nobody reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>
#include <optional>

#include "app/line_output.h"
#include "app/places.h"
#include "app/program.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // name, bytes

// A program started with `args` and "--cartella" a folder of its own that
// holds `files`; stopped when it goes.
struct Started {
    ScratchFolder folder;
    FakeShell shell;
    std::optional<Program> program;
    bool stopped = false;

    explicit Started(std::vector<std::string> args, const Files& files = {}) {
        static int argc = 1;
        static char name[] = "test_program";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);  // one for the whole binary
        for (const auto& [file, bytes] : files) folder.put(file, bytes);
        args.insert(args.end(), {"--cartella", folder.path()});
        program.emplace(std::get<Options>(parse_options(args)), shell);
        program->start();
    }
    Program* operator->() { return &*program; }
    bool stop() { return std::exchange(stopped, true) || program->stop(); }
    ~Started() { stop(); }
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
    ASSERT_EQ(run->form().status_label.caption(), "Tx ok");
    const std::string virtual_port = run->port_in_use(1);
    PortSettings wanted;
    wanted.devices = {{1, "/dev/ttyUSB7"}, {2, second.device}, {4, "ttyACM0"}};
    EXPECT_EQ(run->change_ports(wanted), "");
    EXPECT_EQ(run->port_in_use(1), virtual_port) << "the virtual port of --com stays";
    EXPECT_EQ(run->port_in_use(2) + " " + run->port_in_use(4), second.device + " ttyACM0");
    EXPECT_EQ(run->form().status_label.caption(), "Tx ok");
    wanted.devices.erase(4);
    EXPECT_EQ(run->change_ports(wanted), "");
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
    EXPECT_EQ(run->ais().mezzi[1].name, "Alfa");
    for (std::size_t n = 0; n < fleet_size; ++n) EXPECT_EQ(run->fleet().in_use(n), n < 3) << n;

    AisSettings twice = run->ais();
    twice.mezzi[2].mmsi = twice.mezzi[1].mmsi;
    EXPECT_EQ(run->change_ais(twice), "l'MMSI 900000001 è sia del mezzo 1 sia del mezzo 2");
    EXPECT_EQ(run->ais().mezzi[2].mmsi, 900000002u);
    AisSettings renamed = run->ais();
    renamed.mezzi[2].name = "Bravo";
    EXPECT_EQ(run->change_ais(renamed), "");
    const std::string ini = run.folder.get("vadrel.ini");
    EXPECT_NE(ini.find("attivi=false"), std::string::npos) << "--ais stays out of the file\n" << ini;
    EXPECT_NE(ini.find("mezzo2_nome=Bravo"), std::string::npos) << ini;
    renamed.attivi = false;
    EXPECT_EQ(run->change_ais(renamed), "");
    EXPECT_FALSE(run->fleet().in_use(1)) << "AIS off: the current vehicle alone";
}

// A change of the receiver options (the menu "Opzioni") is kept in
// vadrel.ini beside the file's own choice that the command line overrode.
TEST(Program, AReceiverChangeKeepsTheFilesChoiceTheCommandLineOverrode) {
    Started run({"--com", "2=pty", "--senza-fix=no"}, {{"vadrel.ini", "[ricevitore]\nutc=true\nsenza_fix=true\n"}});
    OpzioniRicevitore expected;
    expected.utc = true;
    EXPECT_EQ(run->receiver(), expected);
    expected.moto_reale = true;
    EXPECT_EQ(run->change_receiver(expected), "");
    EXPECT_TRUE(run.stop());
    run.program.reset();  // its folder free again
    expected.senza_fix = true;
    ProgramFolder place(run.folder.path());
    std::vector<std::string> problems;
    EXPECT_EQ(read_receiver_settings(SettingsFile(place), problems), expected);
}

// The help file is the one in the program's folder; a folder of the
// operator's own (--cartella) without one gets the one installed beside the
// executable (the build puts one beside this test).
TEST(Program, F1OpensTheFoldersHelpOrElseTheOneBesideTheProgram) {
    for (const bool own_help : {false, true}) {
        Started run({"--com", "2=pty"}, own_help ? Files{{"vadrel.hlp", "<html>guida</html>"}} : Files{});
        const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/vadrel.hlp";
        EXPECT_EQ(run->form().help_file, own_help ? run.folder.at("vadrel.hlp") : beside) << own_help;
        EXPECT_TRUE(run.stop());
    }
}

// What the window's dialogs ask while both outputs run: an output onto the
// other one is refused, and what runs goes on as it was. (The end-to-end
// test refuses the program's own files and the other output at start-up.)
TEST(Program, AnOutputOntoTheOtherOutputChangesNothing) {
    Started run({"--com", "2=pty"});
    const ScratchFolder& folder = run.folder;
    ASSERT_EQ(run->start_tracks(folder.at("giro.gpx")), "");
    EXPECT_EQ(run->start_recording(folder.at("giro.gpx")),
              "la registrazione non può andare in " + folder.at("giro.gpx") + ": è il file delle tracce GPX (" +
                  folder.at("giro.gpx") + ")");
    EXPECT_FALSE(run->recorder().recording());
    const std::string recording = folder.at("giro.nmea");
    ASSERT_EQ(run->start_recording(recording), "");
    EXPECT_EQ(run->start_tracks(recording),
              "le tracce GPX non possono andare in " + recording + ": è il file della registrazione (" + recording +
                  ")");
    EXPECT_EQ(run->tracks()->path(), folder.at("giro.gpx")) << "the tracks go on where they were";
}

// A client's change takes the fleet's change path as a panel edit does: the
// panel shows it at once, a refusal leaves everything as it was; the
// command line's vehicles come over the table read at start-up.
TEST(Program, TheControlInterfacesChangesShowOnThePanelAtOnce) {
    Started run({"--com", "2=pty", "--rotta", "0=45"});
    PanelForm& form = run->form();
    EXPECT_EQ(form.course_box.text(), "45") << "the command line's course, over the table's";
    ProgramControl& control = run->control_target();
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
    EXPECT_EQ(std::pair(state.mode, state.port.status), std::pair(SendMode::multi, std::string("Stop")))
        << "the state as the panel shows it";
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
            cartella_tabella(given ? std::optional(tree.path("mine")) : std::nullopt, exe_dir, data);
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
        const QString found = percorso_help(tree.help("mine"), QString::fromStdString(tree.path(bin)));
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

}  // namespace
}  // namespace vadrel::testing
