#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "core/tick.h"
#include "panel/lifecycle.h"
#include "support/fakes.h"

namespace vadrel {
namespace {

namespace fs = std::filesystem;
using testing::Rig;

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("vadrel-lifecycle-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder);
    }
    void write_config(const std::string& text) {
        std::ofstream(folder / "vadrel.cnf", std::ios::binary) << text;
    }
    std::string read_config() {
        std::ifstream in(folder / "vadrel.cnf", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path folder;
};

const std::string empty_line = "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#\r\n";
const std::string marker = "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";

TEST_F(Lifecycle, FirstRunShowsTheDefaultPositionAndOpensComTwoOnce) {
    Rig rig;
    Form_Load(rig.form, folder.string());
    const Form1& f = rig.form;
    EXPECT_EQ(f.txt_lat_g.text(), "44");
    EXPECT_EQ(f.txt_lat_p.text(), "1,7775");
    EXPECT_EQ(f.txt_lat_ns.text(), "N");
    EXPECT_EQ(f.txt_lon_g.text(), "10");
    EXPECT_EQ(f.txt_lon_p.text(), "8,0623");
    EXPECT_EQ(f.txt_lon_ew.text(), "E");
    EXPECT_EQ(f.txt_lat_s.text(), "0");
    EXPECT_EQ(f.mezzi[0], (veicolo{44, 2, 0, "", 10, 8, 0, "", 0, 0, 0, 0}));
    EXPECT_EQ(f.mezzi[1], veicolo{});
    EXPECT_EQ(rig.port.calls, (std::vector<std::string>{"port 2", "settings 4800,N,8,1", "open 2 4800,N,8,1"}));
    EXPECT_EQ(f.Label11.caption(), "Tx ok");
    EXPECT_EQ(f.Label11.colour(), Colour::green_status());
    EXPECT_EQ(f.tx_attiva, 1);
    EXPECT_EQ(f.file_help, (folder / "vadrel.hlp").string());
    EXPECT_EQ(fs::current_path(), folder);
    EXPECT_TRUE(rig.shell.messages.empty());
}

TEST_F(Lifecycle, AGoodFileLoadsVehicleZero) {
    std::string text = "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n";
    for (int i = 1; i < 21; ++i) text += empty_line;
    write_config(text + marker);
    Rig rig;
    Form_Load(rig.form, folder.string());
    EXPECT_EQ(rig.form.txt_lat_g.text(), "45");
    EXPECT_EQ(rig.form.txt_lat_p.text(), "30");
    EXPECT_EQ(rig.form.txt_lat_ns.text(), "S");
    EXPECT_EQ(rig.form.txt_lon_ew.text(), "W");
    EXPECT_EQ(rig.form.txt_vel.text(), "12");
    EXPECT_EQ(rig.form.txt_angolo.text(), "270");
    EXPECT_TRUE(rig.form.opt_miglia.selected());
    EXPECT_FALSE(rig.form.opt_km.selected());
}

TEST_F(Lifecycle, AFileCutShortKeepsTheStartUpTextsAndTheRecordsRead) {
    write_config("45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n46,0,\"N\",,9,0,\"E\",1,2,#TRUE#,#FALSE#\r\n");
    Rig rig;
    Form_Load(rig.form, folder.string());
    EXPECT_EQ(rig.form.txt_lat_p.text(), "1,7775");
    EXPECT_EQ(rig.form.mezzi[1].lat_g, 46);
    EXPECT_EQ(rig.form.mezzi[0].lat_g, 45);  // read from the file, not shown
}

TEST_F(Lifecycle, APortFailureAtStartUpShowsNoTxWithoutAMessageAndShutDownStillSaves) {
    Rig rig;
    rig.port.failing_ports = {2};
    Form_Load(rig.form, folder.string());
    EXPECT_TRUE(rig.shell.messages.empty());
    EXPECT_EQ(rig.form.opt_com1.selected() + rig.form.opt_com2.selected() + rig.form.opt_com3.selected() +
                  rig.form.opt_com4.selected(),
              0);
    EXPECT_EQ(rig.form.Label11.caption(), "No tx");
    EXPECT_EQ(rig.form.Label11.colour(), Colour::red_status());
    Timer1_Timer(rig.form);
    EXPECT_TRUE(rig.port.written.empty());
    Command9_Click(rig.form);
    rig.port.calls.clear();
    EXPECT_TRUE(Form_QueryUnload(rig.form));
    EXPECT_TRUE(rig.port.calls.empty()) << "no close of a port that is not open";
    EXPECT_TRUE(fs::exists(folder / "vadrel.cnf"));
}

TEST_F(Lifecycle, ShutDownClosesThePortThenWritesAllRecords) {
    Rig rig;
    Form_Load(rig.form, folder.string());
    rig.port.calls.clear();
    EXPECT_TRUE(Form_QueryUnload(rig.form));
    EXPECT_EQ(rig.port.calls, std::vector<std::string>{"close"});
    // Without a tick the record holds only what the change handling stored:
    // the hemisphere boxes showed N and E from the start, so they never changed.
    std::string expected = "44,2,\"\",,10,8,\"\",0,0,#FALSE#,#FALSE#\r\n";
    for (int i = 1; i < 21; ++i) expected += empty_line;
    EXPECT_EQ(read_config(), expected + marker);
}

TEST_F(Lifecycle, StartUpOpensThePortAndSpeedThePanelShows) {
    Rig rig;
    // selections made when the panel was created, before any handling
    for (OptionButton* b : {&rig.form.opt_com3, &rig.form.Option3}) {
        auto handler = std::move(b->on_click);
        b->on_click = nullptr;
        b->select();
        b->on_click = std::move(handler);
    }
    rig.port.calls.clear();
    Form_Load(rig.form, folder.string());
    EXPECT_EQ(rig.port.calls, (std::vector<std::string>{"port 3", "settings 9600,N,8,1", "open 3 9600,N,8,1"}));
}

TEST_F(Lifecycle, InformationMenuShowsTheAboutBox) {
    Rig rig;
    rig.form.menu_info.click();
    rig.form.menu_info.click();
    EXPECT_EQ(rig.shell.about_shown, 2);
}

}  // namespace
}  // namespace vadrel
