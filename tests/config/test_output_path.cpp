// An output path against the program's own files, the log replayed and the
// other output, on a real disk: refused with both paths named, however the
// path reaches them.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "config/output_path.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

TEST(OutputPath, OwnFilesTheReplayedLogAndTheOtherOutputAreRefused) {
    ScratchFolder program, elsewhere;
    program.put("vadrel.cnf", "tabella");
    program.put("vadrel.ini", "[porte]\n");
    ProgramFolder folder(program.path());  // makes vadrel.lock
    elsewhere.put("viaggio.nmea", "# registro\n");
    ASSERT_EQ(::symlink(program.at("vadrel.cnf").c_str(), elsewhere.at("tabella.gpx").c_str()), 0);
    ASSERT_EQ(::link(program.at("vadrel.ini").c_str(), elsewhere.at("copia.nmea").c_str()), 0);
    ASSERT_EQ(::symlink("viaggio.nmea", elsewhere.at("altro.nmea").c_str()), 0);
    ASSERT_EQ(::mkfifo(elsewhere.at("fifo").c_str(), 0600), 0);
    const std::vector<RoleFile> others = {{FileRole::replay, elsewhere.at("viaggio.nmea")},
                                          {FileRole::tracks, elsewhere.at("giro.gpx")}};
    struct Row {
        std::string path;
        FileRole role;
        std::string refusal;  // what the message says after the path; "" when allowed
    };
    const Row rows[] = {
        {program.at("vadrel.cnf"), FileRole::recording, "è un file del programma (" + program.at("vadrel.cnf") + ")"},
        {elsewhere.at("tabella.gpx"), FileRole::tracks, "è un file del programma (" + program.at("vadrel.cnf") + ")"},
        {elsewhere.at("copia.nmea"), FileRole::recording, "è un file del programma (" + program.at("vadrel.ini") + ")"},
        {program.at("vadrel.lock"), FileRole::tracks, "è un file del programma (" + program.at("vadrel.lock") + ")"},
        // names of the program's own that are not there yet
        {program.at("vadrel.cnf.bak.9"), FileRole::recording, "è un file del programma (" + program.at("vadrel.cnf.bak.9") + ")"},
        {elsewhere.at("../" + program.path().substr(program.path().rfind('/') + 1) + "/vadrel.cnf.nuovo.2"),
         FileRole::tracks, "è un file del programma (" + program.at("vadrel.cnf.nuovo.2") + ")"},
        {elsewhere.at("altro.nmea"), FileRole::recording,
         "è il registro che si riproduce (" + elsewhere.at("viaggio.nmea") + ")"},
        {elsewhere.at("giro.gpx"), FileRole::recording, "è il file delle tracce GPX (" + elsewhere.at("giro.gpx") + ")"},
        {elsewhere.at("fifo"), FileRole::tracks, "è un FIFO, non un file normale"},
        {"/dev/null", FileRole::recording, "è un dispositivo, non un file normale o un FIFO"},
        {elsewhere.path(), FileRole::tracks, "è una cartella, non un file normale"},
        {elsewhere.at("manca/giro.nmea"), FileRole::recording, "il file o la cartella non esiste"},
        {elsewhere.at("fifo"), FileRole::recording, ""},
        {elsewhere.at("nuovo.nmea"), FileRole::recording, ""},
        {program.at("tracce.gpx"), FileRole::tracks, ""},
    };
    for (const Row& row : rows) {
        const std::string why = output_refusal(row.path, row.role, folder, others);
        if (row.refusal.empty()) {
            EXPECT_EQ(why, "") << row.path;
            continue;
        }
        const std::string start = row.role == FileRole::recording ? "la registrazione non può andare in "
                                                                  : "le tracce GPX non possono andare in ";
        EXPECT_EQ(why, start + row.path + ": " + row.refusal) << row.path;
    }
    EXPECT_EQ(program.get("vadrel.cnf"), "tabella") << "nothing opened for writing";
}

}  // namespace
}  // namespace vadrel::testing
