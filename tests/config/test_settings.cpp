// vadrel.ini on a real disk: the network outputs' group written and read
// back, the other groups kept, and the files it must not write over.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <iterator>

#include "config/control_settings.h"
#include "config/output_settings.h"
#include "settings_check.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

using testing::ScratchFolder;

TEST(SettingsFile, TheOutputsGroupIsSavedAndReadBackBesideTheOtherGroups) {
    ScratchFolder folder;
    folder.put("vadrel.ini", "[ricevitore]\nutc=true\n\n[uscite]\nvecchia=1\n");
    OutputSettings wanted;
    wanted.tcp = true;
    wanted.tcp_address = "::";
    wanted.tcp_port = 2000;
    wanted.tcp_max = 1000;
    wanted.udp = true;
    wanted.udp_targets = {"192.168.1.255:10110", "[ff02::1]:10110"};
    {
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        EXPECT_EQ(save_output_settings(file, wanted), "");
    }
    const std::string text = folder.get("vadrel.ini");
    EXPECT_NE(text.find("[ricevitore]\nutc=true"), std::string::npos) << text;
    EXPECT_EQ(text.find("vecchia"), std::string::npos) << "the group is replaced as a whole";
    ProgramFolder place(folder.path());
    SettingsFile file(place);
    std::vector<std::string> problems;
    EXPECT_EQ(read_output_settings(file, problems), wanted);
    EXPECT_TRUE(problems.empty());

    // written by hand: one target, and a comma left after it
    folder.put("vadrel.ini", "[uscite]\nudp=true\nudp_destinazioni=10.0.0.255:10110,\n");
    SettingsFile by_hand(place);
    EXPECT_EQ(read_output_settings(by_hand, problems).udp_targets, std::vector<std::string>{"10.0.0.255:10110"});
}

// A value that cannot be used is named (file, group, key, value) and leaves
// its output off, not running on a default the file did not ask for.
TEST(SettingsFile, AValueThatCannotBeUsedIsNamedAndLeavesItsOutputOff) {
    const struct {
        const char* text;
        const char* named;  // "" for none
        bool tcp, udp;
    } rows[] = {
        {"tcp=true\ntcp_porta=2000\nudp=1", "", true, true},
        {"tcp=true\ntcp_porta=99999", "[uscite] tcp_porta vuole un numero da 0 a 65535, non \"99999\"", false, false},
        {"tcp=true\ntcp_porta=dieci", "[uscite] tcp_porta vuole un numero da 0 a 65535, non \"dieci\"", false, false},
        {"tcp=true\ntcp_porta=10,110", "[uscite] tcp_porta vuole un numero da 0 a 65535, non \"10,110\"", false, false},
        {"tcp=true\ntcp_max_client=0", "[uscite] tcp_max_client vuole un numero da 1 a 1000000, non \"0\"", false, false},
        {"tcp=forse\nudp=true", "[uscite] tcp vuole true o false, non \"forse\"", false, true},
        {"tcp=true\nudp=si", "[uscite] udp vuole true o false, non \"si\"", true, false},
    };
    for (const auto& r : rows) {
        ScratchFolder folder;
        folder.put("vadrel.ini", std::string("[uscite]\n") + r.text + "\n");
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        std::vector<std::string> problems;
        const OutputSettings read = read_output_settings(file, problems);
        EXPECT_EQ(std::pair(read.tcp, read.udp), std::pair(r.tcp, r.udp)) << r.text;
        const std::vector<std::string> named = {folder.at("vadrel.ini") + ": " + r.named};
        EXPECT_EQ(problems, *r.named ? named : std::vector<std::string>{}) << r.text;
    }
}

// [controllo]: saved and read back beside [uscite]; off unless the file
// says so, and off when a value cannot be used.
TEST(SettingsFile, TheControlGroupIsKeptAndABadValueLeavesTheInterfaceOff) {
    ScratchFolder folder;
    folder.put("vadrel.ini", "[uscite]\ntcp=true\n");
    const ControlSettings wanted{true, "::", 0};
    {
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        std::vector<std::string> problems;
        EXPECT_EQ(read_control_settings(file, problems), ControlSettings{});
        EXPECT_FALSE(ControlSettings{}.on);
        EXPECT_EQ(save_control_settings(file, wanted), "");
    }
    {
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        std::vector<std::string> problems;
        EXPECT_EQ(read_control_settings(file, problems), wanted);
        EXPECT_TRUE(file.value("uscite", "tcp").toBool());
        EXPECT_TRUE(problems.empty());
    }
    folder.put("vadrel.ini", "[controllo]\nattivo=true\nporta=99999\n");
    ProgramFolder place(folder.path());
    SettingsFile file(place);
    std::vector<std::string> problems;
    EXPECT_FALSE(read_control_settings(file, problems).on);
    EXPECT_EQ(problems, std::vector<std::string>{folder.at("vadrel.ini") +
                                                 ": [controllo] porta vuole un numero da 0 a 65535, non \"99999\""});
}

// A save that cannot be done says why, naming the file, and changes nothing:
// a file that does not read as settings (QSettings would write over it), one
// too big to read whole (its tail would be lost), one its owner made read-only, a folder where nothing can be written (as root
// every folder is writable: a folder in the file's place stands for it then).
TEST(SettingsFile, ASaveThatCannotBeDoneSaysWhyAndChangesNothing) {
    enum class Case { unreadable, too_big, read_only, no_writing };
    for (const Case c : {Case::unreadable, Case::too_big, Case::read_only, Case::no_writing}) {
        ScratchFolder folder;
        const std::string path = folder.at("vadrel.ini");
        const std::string before = c == Case::unreadable ? "[uscite\ntcp=1\n"
                                   : c == Case::too_big  ? "[ricevitore]\n" + std::string(1 << 20, ';') + "\nutc=1\n"
                                                         : "[uscite]\ntcp=true\n";
        if (c != Case::no_writing) {
            folder.put("vadrel.ini", before);
            if (c == Case::read_only) chmod(path.c_str(), 0444);
        } else if (::geteuid() == 0) {
            ASSERT_TRUE(QDir().mkdir(QString::fromStdString(path)));
        } else {
            QFile::setPermissions(folder.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        const std::string why = save_output_settings(file, OutputSettings{});
        EXPECT_NE(why.find(path), std::string::npos) << why;
        EXPECT_EQ(why.find("reso di sola lettura dal suo proprietario") != std::string::npos, c == Case::read_only)
            << why;
        if (c != Case::no_writing) {
            EXPECT_EQ(file.problem() != "", c == Case::unreadable || c == Case::too_big) << why;
            EXPECT_EQ(folder.get("vadrel.ini"), before) << why;
        }
        QFile::setPermissions(folder.dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

// ok-* files have nothing to name, ko-* something; any other (a find of the
// fuzzer) only has to hold what the fuzzer checks, on a real disk.
TEST(SettingsFile, EveryFileOfTheSeedCorpusHoldsWhatTheFuzzerChecks) {
    ASSERT_FALSE(std::filesystem::is_empty(VADREL_SETTINGS_CORPUS));
    for (const auto& entry : std::filesystem::directory_iterator(VADREL_SETTINGS_CORPUS)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        ScratchFolder folder;
        std::size_t named = 0;
        EXPECT_EQ(fuzzing::check_settings(bytes, folder.path(), &named), "") << name;
        if (name.rfind("ok-", 0) == 0 || name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(named == 0, name[1] == 'k') << name;
        }
    }
}

}  // namespace
}  // namespace vadrel
