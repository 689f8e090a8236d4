// The map's street tiles in vadrel.ini on a real disk: saved and read back,
// and a hand-written address that cannot be used leaves them off.

#include <gtest/gtest.h>

#include "config/tile_settings.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

TEST(TileSettings, SavedReadBackAndOffWhenTheAddressCannotBeUsed) {
    testing::ScratchFolder folder;
    ProgramFolder place(folder.path());
    const TileSettings wanted{true, "http://127.0.0.1:8080/{z}/{x}/{y}.png"};
    {
        SettingsFile file(place);
        EXPECT_EQ(save_tile_settings(file, wanted), "");
    }
    std::vector<std::string> problems;
    EXPECT_EQ(read_tile_settings(SettingsFile(place), problems), wanted);
    EXPECT_TRUE(problems.empty());

    const struct {
        const char* text;
        TileSettings read;
        const char* named;  // in the one problem, "" for none
    } rows[] = {
        {"", TileSettings{}, ""},
        {"strade=true\n", TileSettings{true, default_tile_address}, ""},
        {"strade=true\nindirizzo=file:///etc/{z}/{x}/{y}\n", TileSettings{}, "[mappa] indirizzo"},
        {"strade=true\nindirizzo=https://a.example/{z}/{x}.png\n", TileSettings{}, "[mappa] indirizzo"},
        {"strade=forse\n", TileSettings{}, "[mappa] strade"},
    };
    for (const auto& r : rows) {
        folder.put("vadrel.ini", std::string("[mappa]\n") + r.text);
        std::vector<std::string> said;
        EXPECT_EQ(read_tile_settings(SettingsFile(place), said), r.read) << r.text;
        if (*r.named == '\0') {
            EXPECT_TRUE(said.empty()) << r.text;
        } else {
            ASSERT_EQ(said.size(), 1u) << r.text;
            EXPECT_NE(said.front().find(r.named), std::string::npos) << said.front();
        }
    }
}

}  // namespace
}  // namespace vadrel
