// vadrel.token in a real program folder: made once with mode 0600, read
// back the same, shown only when made; a file others may read or that holds
// no key is refused and left alone.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <variant>

#include "config/program_folder.h"
#include "control/access.h"
#include "control/control_token.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

using testing::ScratchFolder;

TEST(ControlToken, MadeOncePrivateThenReadBack) {
    ScratchFolder scratch;
    ProgramFolder folder(scratch.path());
    const auto first = control_token(folder);
    ASSERT_TRUE(std::holds_alternative<ControlToken>(first)) << std::get<std::string>(first);
    const ControlToken made = std::get<ControlToken>(first);
    EXPECT_TRUE(made.made);
    EXPECT_EQ(made.value.size(), 43u);
    EXPECT_EQ(scratch.mode("vadrel.token"), 0600u);
    EXPECT_EQ(scratch.get("vadrel.token"), made.value + "\n");
    EXPECT_NE(token_notice(made, folder).find(made.value), std::string::npos);

    const auto again = control_token(folder);
    ASSERT_TRUE(std::holds_alternative<ControlToken>(again));
    EXPECT_EQ(std::get<ControlToken>(again).value, made.value);
    EXPECT_FALSE(std::get<ControlToken>(again).made);
    EXPECT_EQ(token_notice(std::get<ControlToken>(again), folder).find(made.value), std::string::npos)
        << "shown once, when made";
}

TEST(ControlToken, UnusableFilesRefusedAndLeftAlone) {
    struct Row {
        const char* name;
        const char* bytes;
        unsigned mode;
        const char* said;
    };
    for (const Row& row : {Row{"readable by others", "abcdefghijklmnopqrstuvwxyz\n", 0644, "altri utenti"},
                           Row{"too short", "abc\n", 0600, "non contiene una chiave valida"},
                           Row{"two words", "abcdefghij klmnopqrstuvwxyz\n", 0600, "non contiene una chiave valida"},
                           Row{"empty", "", 0600, "non contiene una chiave valida"}}) {
        ScratchFolder scratch;
        scratch.put("vadrel.token", row.bytes);
        ::chmod(scratch.at("vadrel.token").c_str(), row.mode);
        ProgramFolder folder(scratch.path());
        const auto token = control_token(folder);
        ASSERT_TRUE(std::holds_alternative<std::string>(token)) << row.name;
        EXPECT_NE(std::get<std::string>(token).find(row.said), std::string::npos) << row.name;
        EXPECT_EQ(scratch.get("vadrel.token"), row.bytes) << row.name;
    }
}

TEST(ControlToken, KeyOfTheUsersOwnTaken) {
    ScratchFolder scratch;
    scratch.put("vadrel.token", "la-mia_chiave.di~prova+1/2=\r\n");
    ::chmod(scratch.at("vadrel.token").c_str(), 0600);
    ProgramFolder folder(scratch.path());
    const auto token = control_token(folder);
    ASSERT_TRUE(std::holds_alternative<ControlToken>(token));
    EXPECT_EQ(std::get<ControlToken>(token).value, "la-mia_chiave.di~prova+1/2=");
}

TEST(ControlToken, LinkUnderItsNameRefusesTheFolder) {
    ScratchFolder scratch;
    ASSERT_EQ(::symlink("/etc/passwd", scratch.at("vadrel.token").c_str()), 0);
    EXPECT_THROW(ProgramFolder folder(scratch.path()), FolderRefused);
}

TEST(ControlToken, KeysDiffer) {
    std::set<std::string> keys;
    for (int i = 0; i < 100; ++i) keys.insert(new_token());
    EXPECT_EQ(keys.size(), 100u);
}

TEST(SameSecret, ComparesWholeSecrets) {
    EXPECT_TRUE(same_secret("abc", "abc"));
    EXPECT_FALSE(same_secret("abc", "abd"));
    EXPECT_FALSE(same_secret("abc", "ab"));
    EXPECT_FALSE(same_secret("ab", "abc"));
    EXPECT_FALSE(same_secret("", "a"));
    EXPECT_TRUE(same_secret("", ""));
}

}  // namespace
}  // namespace vadrel
