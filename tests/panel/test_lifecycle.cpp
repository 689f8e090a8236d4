#include <gtest/gtest.h>

#include <algorithm>
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

const std::string empty_line = "0,0,\"\",,0,0,\"\",0,0,#FALSE#,#FALSE#\r\n";
const std::string marker = "\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\",\"#\"\r\n";

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override {
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(folder);
    }
    std::string config() {
        std::stringstream s;
        s << std::ifstream(folder / "vadrel.cnf", std::ios::binary).rdbuf();
        return s.str();
    }
    const fs::path folder = fs::temp_directory_path() / ("vadrel-start-" + std::to_string(std::random_device{}()));
};

TEST_F(Lifecycle, StartUpShowsTheDefaultOrTheStoredVehicleAndOpensThePortOnce) {
    const std::string first = "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n";
    std::string good = first;
    for (int i = 1; i < 21; ++i) good += empty_line;
    const struct {
        const char* name;
        std::string file;
        const char* shown;
        int lat_g_0;
    } rows[] = {
        {"first run", "", "44 1,7775 0 N 10 8,0623 0 E 0 0 km", 44},
        {"a good file", good + marker, "45 30 0 S 9 12 0 W 12 270 mi", 45},
        {"a file cut short keeps the start-up texts", first, "44 1,7775 0 N 10 8,0623 0 E 0 0 km", 45},
    };
    for (const auto& r : rows) {
        if (!r.file.empty()) std::ofstream(folder / "vadrel.cnf", std::ios::binary) << r.file;
        Rig rig;
        Form_Load(rig.form, folder.string());
        EXPECT_EQ(testing::panel_text(rig.form), r.shown) << r.name;
        EXPECT_EQ(rig.form.mezzi[0].lat_g, r.lat_g_0) << r.name;
        EXPECT_EQ(rig.port.calls, (std::vector<std::string>{"port 2", "settings 4800,N,8,1", "open 2 4800,N,8,1"}))
            << r.name;
        EXPECT_EQ(rig.form.Label11.caption(), "Tx ok") << r.name;
        EXPECT_EQ(rig.form.file_help, (folder / "vadrel.hlp").string()) << r.name;
        EXPECT_EQ(fs::current_path(), folder) << r.name;
        fs::remove(folder / "vadrel.cnf");
    }
}

TEST_F(Lifecycle, ShutDownClosesThePortThenWritesAllRecords) {
    Rig rig;
    Form_Load(rig.form, folder.string());
    rig.port.calls.clear();
    EXPECT_TRUE(Form_QueryUnload(rig.form));
    EXPECT_EQ(rig.port.calls, std::vector<std::string>{"close"});
    // Ended before the first tick: the record holds what the panel showed,
    // the hemisphere letters and the unit of the window's creation included.
    std::string expected = "44,2,\"N\",,10,8,\"E\",0,0,#TRUE#,#FALSE#\r\n";
    for (int i = 1; i < 21; ++i) expected += empty_line;
    EXPECT_EQ(config(), expected + marker);
}

// Due west along 44 00 N and due north along 10 08 E, ten minutes a run at
// 100 km/h: the other coordinate stays on its minute, tick after tick and
// through three restarts from the saved file.
TEST_F(Lifecycle, CardinalCoursesStayOnTheirMinuteAcrossRestarts) {
    const struct {
        const char* first_line;
        const char* course;
        const char* field;
    } rows[] = {
        {"44,0,\"N\",,10,8,\"E\",100,270,#TRUE#,#FALSE#", "270", "4400.0000"},
        {"44,0,\"N\",,10,8,\"E\",100,360,#TRUE#,#FALSE#", "360", "01008.0000"},
    };
    for (const auto& r : rows) {
        std::string file = std::string(r.first_line) + "\r\n";
        for (int i = 1; i < 21; ++i) file += empty_line;
        std::ofstream(folder / "vadrel.cnf", std::ios::binary) << file + marker;
        for (int run = 1; run <= 3; ++run) {
            Rig rig;
            rig.port.force_open();
            Form_Load(rig.form, folder.string());
            for (int second = 0; second < 600; ++second) {
                rig.clock.steady += 1.0;
                Timer1_Timer(rig.form);
                const std::string& field = std::string(r.course) == "270" ? rig.form.rmc_lat : rig.form.rmc_lon;
                ASSERT_EQ(field, r.field) << "course " << r.course << ", run " << run << ", second " << second;
            }
            ASSERT_TRUE(Form_QueryUnload(rig.form));
        }
        const std::string saved = config();
        const std::string kept = std::string(r.course) == "270" ? "44,0,\"N\"," : ",10,8,\"E\",";
        EXPECT_NE(saved.substr(0, saved.find('\r')).find(kept), std::string::npos) << saved.substr(0, 60);
    }
}

TEST_F(Lifecycle, APortFailureAtStartUpShowsNoTxWithoutAMessageAndShutDownStillSaves) {
    Rig rig;
    rig.port.failing_ports = {2};
    Form_Load(rig.form, folder.string());
    EXPECT_TRUE(rig.shell.messages.empty());
    EXPECT_FALSE(rig.form.opt_com2.selected());
    EXPECT_EQ(rig.form.Label11.caption(), "No tx");
    EXPECT_EQ(rig.form.Label11.colour(), Colour::red_status());
    Command9_Click(rig.form);
    rig.port.calls.clear();
    EXPECT_TRUE(Form_QueryUnload(rig.form));
    EXPECT_TRUE(rig.port.calls.empty()) << "no close of a port that is not open";
    const std::string saved = config();
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 22) << saved;
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
    rig.form.menu_info.click();
    EXPECT_EQ(rig.shell.about_shown, 1);
}

}  // namespace
}  // namespace vadrel
