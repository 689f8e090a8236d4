// vadrel.ini on a real disk: the network outputs' group written and read
// back, the other groups kept, and the files it must not write over.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "config/output_settings.h"
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

// Numbers that are no numbers keep their defaults, each with a line that
// names the file, the key and the value.
TEST(SettingsFile, AValueThatIsNoNumberKeepsItsDefaultAndIsNamed) {
    ScratchFolder folder;
    folder.put("vadrel.ini", "[uscite]\ntcp=true\ntcp_porta=dieci\ntcp_max_client=0\n");
    ProgramFolder place(folder.path());
    SettingsFile file(place);
    std::vector<std::string> problems;
    const OutputSettings read = read_output_settings(file, problems);
    EXPECT_EQ(std::tuple(read.tcp, read.tcp_port, read.tcp_max), std::tuple(true, 10110, 64));
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("vadrel.ini: [uscite] tcp_porta vuole un numero da 0 a 65535, non \"dieci\""),
              std::string::npos)
        << problems[0];
}

// A save that cannot be done says why, naming the file, and changes nothing:
// a file that does not read as settings (QSettings would write over it), one
// its owner made read-only, a folder where nothing can be written (as root
// every folder is writable: a folder in the file's place stands for it then).
TEST(SettingsFile, ASaveThatCannotBeDoneSaysWhyAndChangesNothing) {
    enum class Case { unreadable, read_only, no_writing };
    for (const Case c : {Case::unreadable, Case::read_only, Case::no_writing}) {
        ScratchFolder folder;
        const std::string path = folder.at("vadrel.ini");
        const std::string before = c == Case::unreadable ? "[uscite\ntcp=1\n" : "[uscite]\ntcp=true\n";
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
            EXPECT_EQ(file.problem() != "", c == Case::unreadable) << why;
            EXPECT_EQ(folder.get("vadrel.ini"), before) << why;
        }
        QFile::setPermissions(folder.dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

}  // namespace
}  // namespace vadrel
