// The receiver options in vadrel.ini on a real disk: saved and read back, and
// what a hand-edited file holds that cannot be used.

#include <gtest/gtest.h>

#include "config/receiver_settings.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

TEST(ReceiverSettings, AreSavedAndReadBack) {
    testing::ScratchFolder folder;
    ProgramFolder place(folder.path());
    OpzioniRicevitore wanted;
    wanted.utc = wanted.moto_reale = wanted.frasi_complete = wanted.senza_fix = true;
    wanted.quota = -12.5;
    wanted.guasti = {true, 0.125, 0.25, 0.5, 18446744073709551615ULL, {30, 300}};
    wanted.cielo = {true, 12.5, {{200, 340, 40}, {350, 10, 20.5}}, 3, 5, Talker::gn,
                    {SentenceKind::rmc, SentenceKind::gsv, SentenceKind::gll}};
    {
        SettingsFile file(place);
        EXPECT_EQ(save_receiver_settings(file, wanted), "");
    }
    SettingsFile file(place);
    std::vector<std::string> problems;
    EXPECT_EQ(read_receiver_settings(file, problems), wanted);
    EXPECT_TRUE(problems.empty());
}

// Each value that cannot be used leaves its option off, with a line naming
// the file, the key and the value; faults with one such value stay off.
TEST(ReceiverSettings, AValueThatCannotBeUsedLeavesItsOptionOffAndIsNamed) {
    const struct {
        const char* text;
        const char* named;
    } rows[] = {
        {"utc=forse", "utc vuole true o false, non \"forse\""},
        {"frasi=tutte", "frasi vuole rmc o complete"},
        {"quota=alta", "quota vuole un numero, non \"alta\""},
        {"quota=200000", "quota vuole un numero di metri da -1000 a 100000"},
        {"guasti=true\nguasti_perdita=2", "guasti: perdita vuole una frazione da 0 a 1"},
        {"guasti=true\nguasti_checksum=0.6\nguasti_tronca=0.6", "guasti: checksum e tronca insieme"},
        {"guasti=true\nguasti_perdita=0.1\nguasti_seme=-3", "guasti_seme vuole un numero intero"},
        {"guasti=true\nguasti_perdita_fix=30", "guasti_perdita_fix: perdita-fix vuole DURATA/OGNI"},
        {"maschera=95", "maschera: la maschera di elevazione va da 0 a 90 gradi"},
        {"ostacoli=\"200-340:40,ovest\"", "ostacoli: un ostacolo si scrive"},
        {"frequenza=4", "frequenza: la frequenza è di 1, 2, 5 o 10"},
        {"elenco_frasi=GGA", "elenco_frasi: l'elenco delle frasi comprende sempre RMC"},
    };
    for (const auto& r : rows) {
        testing::ScratchFolder folder;
        folder.put("vadrel.ini", std::string("[ricevitore]\n") + r.text + "\nmoto_reale=1\n");
        ProgramFolder place(folder.path());
        SettingsFile file(place);
        std::vector<std::string> problems;
        OpzioniRicevitore expected;
        expected.moto_reale = true;
        EXPECT_EQ(read_receiver_settings(file, problems), expected) << r.text;
        ASSERT_EQ(problems.size(), 1u) << r.text;
        EXPECT_NE(problems[0].find(r.named), std::string::npos) << problems[0];
        EXPECT_NE(problems[0].find("vadrel.ini: [ricevitore] "), std::string::npos) << problems[0];
    }
}

}  // namespace
}  // namespace vadrel
