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

// A vadrel.token there gives its key only when it is private and holds one
// word; the file stays as it is.
TEST(ControlToken, AFileThereIsTakenOnlyWhenPrivateAndAKey) {
    const std::tuple<const char*, unsigned, const char*> rows[] = {  // bytes, mode, "=" and the key, or the refusal
        {"la-mia_chiave.di~prova+1/2=\r\n", 0600, "=la-mia_chiave.di~prova+1/2="},
        {"abcdefghijklmnopqrstuvwxyz\n", 0644, "altri utenti"},
        {"abc\n", 0600, "non contiene una chiave valida"},
        {"abcdefghij klmnopqrstuvwxyz\n", 0600, "non contiene una chiave valida"},
        {"", 0600, "non contiene una chiave valida"},
    };
    for (const auto& [bytes, mode, said] : rows) {
        ScratchFolder scratch;
        scratch.put("vadrel.token", bytes);
        ::chmod(scratch.at("vadrel.token").c_str(), mode);
        ProgramFolder folder(scratch.path());
        const auto token = control_token(folder);
        const auto* key = std::get_if<ControlToken>(&token);
        const std::string got = key ? "=" + key->value : std::get<std::string>(token);
        EXPECT_TRUE(key ? got == said : got.find(said) != std::string::npos) << bytes << ": " << got;
        EXPECT_EQ(scratch.get("vadrel.token"), bytes);
    }
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
