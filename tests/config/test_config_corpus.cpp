// Every file of the fuzzer's seed corpus, read as the program reads it.
// Files named ok-* must read to their end marker, ko-* must not; any other
// file (a find of the fuzzer) only has to read without harm.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "config/configurazione.h"
#include "config_check.h"

namespace vadrel::testing {
namespace {

TEST(ConfigCorpus, EveryFileReadsWithoutHarm) {
    const std::filesystem::path folder = VADREL_CONFIG_CORPUS;
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(fuzzing::check_configurazione(bytes), "") << name;
        std::array<veicolo, numero_mezzi> table{};
        const std::int16_t result = leggi_configurazione_testo(bytes, table);
        if (name.rfind("ok-", 0) == 0) {
            EXPECT_EQ(result, 1) << name;
        } else if (name.rfind("ko-", 0) == 0) {
            EXPECT_EQ(result, 0) << name;
        }
    }
    EXPECT_GE(files, 10) << "the seed corpus is there";
}

}  // namespace
}  // namespace vadrel::testing
