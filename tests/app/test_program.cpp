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

}  // namespace
}  // namespace vadrel
