// The AIS targets in vadrel.ini on a real disk: saved and read back, and
// what a hand-edited file holds that cannot be used.

#include <gtest/gtest.h>

#include "config/ais_settings.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

TEST(AisSettings, AreSavedAndReadBackOnlyTheVehiclesSetWritten) {
    testing::ScratchFolder folder;
    ProgramFolder place(folder.path());
    AisSettings wanted;
    wanted.attivi = wanted.nave_propria = true;
    wanted.mezzi[3] = {247000003, AisClass::b, "Libeccio, è bella", 37, "IABC", {}};
    wanted.mezzi[20].name = "Ultimo";
    {
        SettingsFile file(place);
        EXPECT_EQ(save_ais_settings(file, wanted), "");
    }
    const std::string text = folder.get("vadrel.ini");
    EXPECT_EQ(text.find("mezzo0_"), std::string::npos) << text;
    EXPECT_NE(text.find("mezzo3_mmsi=247000003"), std::string::npos) << text;
    SettingsFile file(place);
    std::vector<std::string> problems;
    EXPECT_EQ(read_ais_settings(file, problems), wanted);
    EXPECT_TRUE(problems.empty()) << problems.front();
}

// A vehicle's value that cannot be used leaves that vehicle as by default,
// with a line naming the file, the group and the key; the others are read.
TEST(AisSettings, AValueThatCannotBeUsedLeavesItsVehicleAsByDefault) {
    const struct {
        const char* text;
        std::size_t vehicle;  // the one left as by default
        const char* named;
    } rows[] = {
        {"mezzo2_mmsi=12345678901", 2, "[ais] mezzo2_mmsi vuole un MMSI di nove cifre"},
        {"mezzo2_mmsi=0", 2, "mezzo2_mmsi vuole un MMSI"},
        {"mezzo2_classe=C", 2, "mezzo2_classe vuole A o B, non \"C\""},
        {"mezzo2_tipo=100", 2, "mezzo2_tipo vuole un numero da 0 a 99"},
        {"mezzo2_nome=Nave Grande e Lunga Oltre Venti", 2, "mezzo2_nome: il nome AIS ha al massimo 20 caratteri"},
        {"mezzo2_nominativo=I@X", 2, "mezzo2_nominativo: «@» non si trasmette in AIS"},
        {"mezzo2_mmsi=900000005", 2, "l'MMSI 900000005 è sia del mezzo 2 sia del mezzo 5: il mezzo 2 torna a 900000002"},
        {"mezzo7_mmsi=247000001", 7, "sia del mezzo 1 sia del mezzo 7: il mezzo 7 torna a 900000007"},
    };
    for (const auto& r : rows) {
        testing::ScratchFolder folder;
        folder.put("vadrel.ini", std::string("[ais]\nattivi=true\nmezzo1_mmsi=247000001\n") + r.text + "\n");
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        std::vector<std::string> problems;
        const AisSettings read = read_ais_settings(file, problems);
        EXPECT_TRUE(read.attivi) << r.text;
        EXPECT_EQ(read.mezzi[1].mmsi, 247000001u) << r.text;
        EXPECT_EQ(read.mezzi[r.vehicle], default_identity(r.vehicle)) << r.text;
        ASSERT_EQ(problems.size(), 1u) << r.text;
        EXPECT_NE(problems[0].find(r.named), std::string::npos) << problems[0];
        EXPECT_EQ(problems[0].rfind(file.path() + ": [ais] ", 0), 0u) << problems[0];
    }
}

}  // namespace
}  // namespace vadrel
