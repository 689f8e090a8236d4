// The program as the operator starts it, on a virtual port.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <fstream>

#include "app/program.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

// The help file is the one in the program's folder; a folder of the
// operator's own (--cartella) without one gets the one installed beside the
// executable (the build puts one beside this test).
TEST(Program, F1OpensTheFoldersHelpOrElseTheOneBesideTheProgram) {
    int argc = 1;
    char name[] = "test_program";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const std::string beside = QCoreApplication::applicationDirPath().toStdString() + "/vadrel.hlp";
    for (const bool own_help : {false, true}) {
        QTemporaryDir folder;
        const std::string own = folder.filePath("vadrel.hlp").toStdString();
        if (own_help) std::ofstream(own) << "<html>guida</html>";
        Options options;
        options.cartella = folder.path().toStdString();
        options.com[2] = PortMapping{true, ""};
        testing::FakeShell shell;
        Program program(options, shell);
        program.start();
        EXPECT_EQ(program.form().file_help, own_help ? own : beside) << own_help;
        EXPECT_TRUE(program.stop());
    }
}

// The receiver options come from vadrel.ini with the command line over them;
// a value there that cannot be used is told; a change from the menu is kept
// there, and the file's own choice that the command line overrode stays.
TEST(Program, ReceiverOptionsFromTheSettingsFileAndTheCommandLine) {
    int argc = 1;
    char name[] = "test_program";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    std::ofstream(folder.filePath("vadrel.ini").toStdString()) << "[ricevitore]\nutc=true\nquota=alta\nsenza_fix=true\n";
    Options options;
    options.cartella = folder.path().toStdString();
    options.com[2] = PortMapping{true, ""};
    options.senza_fix = false;
    OpzioniRicevitore expected;
    expected.utc = true;
    {
        testing::FakeShell shell;
        Program program(options, shell);
        program.start();
        EXPECT_EQ(program.form().ricevitore, expected);
        ASSERT_EQ(shell.messages.size(), 1u);
        EXPECT_NE(shell.messages[0].find("[ricevitore] quota vuole un numero"), std::string::npos)
            << shell.messages[0];

        expected.moto_reale = true;
        expected.guasti = {true, 0.5, 0, 0, 9};
        EXPECT_EQ(program.change_receiver(expected), "");
        EXPECT_EQ(program.form().ricevitore, expected);
        expected.guasti.perdita = 0.25;
        EXPECT_EQ(program.change_receiver(expected), "");
        EXPECT_TRUE(program.stop());
    }
    expected.senza_fix = true;
    ProgramFolder place(folder.path().toStdString());
    SettingsFile file(place);
    std::vector<std::string> problems;
    EXPECT_EQ(read_receiver_settings(file, problems), expected);
}

}  // namespace
}  // namespace vadrel
