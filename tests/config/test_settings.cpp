// vadrel.ini on a real disk: each group written and read back beside the
// others, what a hand-edited file holds that cannot be used, and the files
// it must not write over.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <optional>

#include "config/ais_settings.h"
#include "config/control_settings.h"
#include "config/output_settings.h"
#include "config/receiver_settings.h"
#include "config/tile_settings.h"
#include "settings_check.h"
#include "support/scratch_folder.h"

namespace vadrel::testing {
namespace {

// A program folder whose vadrel.ini holds `text` (none when empty).
struct Ini {
    ScratchFolder folder;
    std::optional<ProgramFolder> place;
    std::vector<std::string> problems;

    explicit Ini(const std::string& text = "") {
        if (!text.empty()) folder.put("vadrel.ini", text);
        place.emplace(folder.path());
    }
    // What a group's reader makes of the file as it is now.
    template <typename Settings>
    Settings read(Settings (*reader)(const SettingsFile&, std::vector<std::string>&)) {
        problems.clear();
        return reader(SettingsFile(*place), problems);
    }
    // Saved by the group's writer, then read back; "" when the save worked.
    template <typename Settings>
    std::string save(std::string (*writer)(SettingsFile&, const Settings&), const Settings& settings) {
        SettingsFile file(*place);
        return writer(file, settings);
    }
    // The one problem named, or what was named instead.
    std::string problem() const {
        return problems.size() == 1 ? problems[0] : std::to_string(problems.size()) + " problemi";
    }
};

TEST(SettingsFile, EachGroupIsSavedAndReadBackBesideTheOtherGroups) {
    Ini ini("[ricevitore]\nutc=true\n\n[uscite]\nvecchia=1\n");
    OutputSettings outputs;
    outputs.tcp = outputs.udp = true;
    outputs.tcp_address = "::";
    outputs.tcp_port = 2000;
    outputs.tcp_max = 1000;
    outputs.udp_targets = {"192.168.1.255:10110", "[ff02::1]:10110"};
    EXPECT_EQ(ini.read(read_control_settings), ControlSettings{}) << "off unless the file says so";
    EXPECT_EQ(ini.save(save_output_settings, outputs), "");
    const std::string text = ini.folder.get("vadrel.ini");
    EXPECT_NE(text.find("[ricevitore]\nutc=true"), std::string::npos) << text;
    EXPECT_EQ(text.find("vecchia"), std::string::npos) << "the group is replaced as a whole";

    const ControlSettings control{true, "::", 0};
    const OpzioniRicevitore receiver{
        .utc = true, .moto_reale = true, .frasi_complete = true, .quota = -12.5, .senza_fix = true,
        .guasti = {true, 0.125, 0.25, 0.5, 18446744073709551615ULL, {30, 300}},
        .cielo = {true, 12.5, {{200, 340, 40}, {350, 10, 20.5}}, 3, 5, Talker::gn,
                  {SentenceKind::rmc, SentenceKind::gsv, SentenceKind::gll}}};
    AisSettings ais;
    ais.attivi = ais.nave_propria = true;
    ais.mezzi[3] = {247000003, AisClass::b, "Libeccio, è bella", 37, "IABC", {}};
    ais.mezzi[20].name = "Ultimo";
    const TileSettings tiles{true, "http://127.0.0.1:8080/{z}/{x}/{y}.png"};
    EXPECT_EQ(ini.save(save_control_settings, control) + ini.save(save_receiver_settings, receiver) +
                  ini.save(save_ais_settings, ais) + ini.save(save_tile_settings, tiles),
              "");
    EXPECT_EQ(ini.folder.get("vadrel.ini").find("mezzo0_"), std::string::npos) << "only the vehicles set written";
    ini.place.reset();  // a new run
    ini.place.emplace(ini.folder.path());
    EXPECT_EQ(ini.read(read_output_settings), outputs);
    EXPECT_EQ(ini.read(read_control_settings), control);
    EXPECT_EQ(ini.read(read_receiver_settings), receiver);
    EXPECT_EQ(ini.read(read_ais_settings), ais);
    EXPECT_EQ(ini.read(read_tile_settings), tiles);
    EXPECT_EQ(ini.problems, std::vector<std::string>{});

    // written by hand: one target, and a comma left after it
    ini.folder.put("vadrel.ini", "[uscite]\nudp=true\nudp_destinazioni=10.0.0.255:10110,\n");
    EXPECT_EQ(ini.read(read_output_settings).udp_targets, std::vector<std::string>{"10.0.0.255:10110"});
}

// A value that cannot be used is named (file, group, key, value) and leaves
// its output off, not running on a default the file did not ask for.
// (A port out of range: integration.files, settings_out_of_range.)
TEST(SettingsFile, AValueThatCannotBeUsedIsNamedAndLeavesItsOutputOff) {
    const std::tuple<const char*, const char*, bool, bool> rows[] = {
        // text, what is named ("" nothing), tcp, udp
        {"tcp=true\ntcp_porta=2000\nudp=1", "", true, true},
        {"tcp=true\ntcp_porta=10,110", "[uscite] tcp_porta vuole un numero da 0 a 65535, non \"10,110\"", false, false},
        {"tcp=true\ntcp_max_client=0", "[uscite] tcp_max_client vuole un numero da 1 a 1000000, non \"0\"", false,
         false},
        {"tcp=forse\nudp=true", "[uscite] tcp vuole true o false, non \"forse\"", false, true},
        {"tcp=true\nudp=si", "[uscite] udp vuole true o false, non \"si\"", true, false},
    };
    for (const auto& [text, named, tcp, udp] : rows) {
        Ini ini(std::string("[uscite]\n") + text + "\n");
        const OutputSettings read = ini.read(read_output_settings);
        EXPECT_EQ(std::pair(read.tcp, read.udp), std::pair(tcp, udp)) << text;
        const std::vector<std::string> said = {ini.folder.at("vadrel.ini") + ": " + named};
        EXPECT_EQ(ini.problems, *named ? said : std::vector<std::string>{}) << text;
    }
    Ini control("[controllo]\nattivo=true\nporta=99999\n");
    EXPECT_FALSE(control.read(read_control_settings).on);
    EXPECT_EQ(control.problem(),
              control.folder.at("vadrel.ini") + ": [controllo] porta vuole un numero da 0 a 65535, non \"99999\"");
}

// Each receiver value that cannot be used leaves its option off, with a line
// naming the file, the key and the value; faults with one such value stay off.
// A row for each way a value is read: a sky option's own reader (the mask,
// the rate, the list of sentences) goes the way the obstructions go; a flag
// and a height out of range: integration.files, settings_out_of_range.
TEST(SettingsFile, AReceiverValueThatCannotBeUsedLeavesItsOptionOff) {
    const std::pair<const char*, const char*> rows[] = {
        {"frasi=tutte", "frasi vuole rmc o complete"},
        {"quota=alta", "quota vuole un numero, non \"alta\""},
        {"guasti=true\nguasti_perdita=2", "guasti: perdita vuole una frazione da 0 a 1"},
        {"guasti=true\nguasti_perdita=0.1\nguasti_seme=-3", "guasti_seme vuole un numero intero"},
        {"guasti=true\nguasti_perdita_fix=30", "guasti_perdita_fix: perdita-fix vuole DURATA/OGNI"},
        {"ostacoli=\"200-340:40,ovest\"", "ostacoli: un ostacolo si scrive"},
    };
    OpzioniRicevitore expected;
    expected.moto_reale = true;
    for (const auto& [text, named] : rows) {
        Ini ini(std::string("[ricevitore]\n") + text + "\nmoto_reale=1\n");
        EXPECT_EQ(ini.read(read_receiver_settings), expected) << text;
        EXPECT_NE(ini.problem().find(std::string("vadrel.ini: [ricevitore] ") + named), std::string::npos)
            << ini.problem();
    }
}

// An AIS vehicle's value that cannot be used leaves that vehicle as by
// default, with a line naming the file, the group and the key; the others
// are read.
TEST(SettingsFile, AnAisValueThatCannotBeUsedLeavesItsVehicleAsByDefault) {
    const std::tuple<const char*, std::size_t, const char*> rows[] = {
        // text, the vehicle left as by default, named
        {"mezzo2_mmsi=12345678901", 2, "mezzo2_mmsi vuole un MMSI di nove cifre"},
        {"mezzo2_classe=C", 2, "mezzo2_classe vuole A o B, non \"C\""},
        {"mezzo2_tipo=100", 2, "mezzo2_tipo vuole un numero da 0 a 99"},
        {"mezzo2_nome=Nave Grande e Lunga Oltre Venti", 2, "mezzo2_nome: il nome AIS ha al massimo 20 caratteri"},
        {"mezzo2_nominativo=I@X", 2, "mezzo2_nominativo: «@» non si trasmette in AIS"},
        {"mezzo2_mmsi=900000005", 2,
         "l'MMSI 900000005 è sia del mezzo 2 sia del mezzo 5: il mezzo 2 torna a 900000002"},
        {"mezzo7_mmsi=247000001", 7, "sia del mezzo 1 sia del mezzo 7: il mezzo 7 torna a 900000007"},
    };
    for (const auto& [text, vehicle, named] : rows) {
        Ini ini(std::string("[ais]\nattivi=true\nmezzo1_mmsi=247000001\n") + text + "\n");
        const AisSettings read = ini.read(read_ais_settings);
        EXPECT_TRUE(read.attivi && read.mezzi[1].mmsi == 247000001u) << text;
        EXPECT_EQ(read.mezzi[vehicle], default_identity(vehicle)) << text;
        EXPECT_NE(ini.problem().find(named), std::string::npos) << ini.problem();
        EXPECT_EQ(ini.problem().rfind(ini.folder.at("vadrel.ini") + ": [ais] ", 0), 0u) << ini.problem();
    }
}

// The map's street tiles: a hand-written address that cannot be used leaves
// them off. (Each reason an address cannot be used: the map's tests.)
TEST(SettingsFile, TheStreetTilesAreOffWhenTheAddressCannotBeUsed) {
    const std::tuple<const char*, TileSettings, const char*> rows[] = {  // text, read, named ("" nothing)
        {"", TileSettings{}, ""},
        {"strade=true\n", TileSettings{true, default_tile_address}, ""},
        {"strade=true\nindirizzo=file:///etc/{z}/{x}/{y}\n", TileSettings{}, "[mappa] indirizzo"},
        {"strade=forse\n", TileSettings{}, "[mappa] strade"},
    };
    for (const auto& [text, read, named] : rows) {
        Ini ini(std::string("[mappa]\n") + text);
        EXPECT_EQ(ini.read(read_tile_settings), read) << text;
        EXPECT_EQ(ini.problems.size(), *named ? 1u : 0u) << text;
        EXPECT_NE(ini.problem().find(named), std::string::npos) << ini.problem();
    }
}

// A save that cannot be done says why, naming the file, and changes nothing:
// a file that does not read as settings (QSettings would write over it), one
// too big to read whole (its tail would be lost), one its owner made
// read-only, a folder where nothing can be written (as root every folder is
// writable: a folder in the file's place stands for it then).
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
        QFile::setPermissions(folder.dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
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
}  // namespace vadrel::testing
