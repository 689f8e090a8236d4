#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "panel/about.h"
#include "panel/lifecycle.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel {
namespace {

namespace fs = std::filesystem;
using testing::Rig;
using testing::cnf_text;
using testing::ScratchFolder;

// One run of the program in a real folder, with fakes around the panel.
struct ProgramRun {
    explicit ProgramRun(const std::string& path) : folder(path), file(folder) {}
    ~ProgramRun() { fs::current_path(fs::temp_directory_path()); }
    void start() { start_panel(rig.form, table, file); }
    bool stop() { return stop_panel(rig.form, table, file); }
    ProgramFolder folder;
    TableFile file;
    Rig rig;
    VehicleTable table{rig.fleet};
};

TEST(Lifecycle, StartUpShowsTheDefaultOrTheStoredVehicleAndOpensThePortOnce) {
    const std::string first = "45,30,\"S\",,9,12,\"W\",12,270,#FALSE#,#TRUE#\r\n";
    const std::tuple<const char*, std::string, const char*, const char*> rows[] = {
        {"first run", "", "44 1,7775 0 N 10 8,0623 0 E 0 0 km", "44 2 0 N 10 8 0 E 0 0 km"},
        {"a good file", cnf_text(first), "45 30 0 S 9 12 0 W 12 270 mi", "45 30 0 S 9 12 0 W 12 270 mi"},
        {"a file cut short keeps the start-up texts", first, "44 1,7775 0 N 10 8,0623 0 E 0 0 km",
         "44 2 0 N 10 8 0 E 0 0 km"},
    };
    for (const auto& [name, file, shown, after_tick] : rows) {
        ScratchFolder f;
        if (!file.empty()) f.put("vadrel.cnf", file);
        ProgramRun run(f.path());
        run.start();
        const PanelForm& form = run.rig.form;
        EXPECT_EQ(testing::panel_text(form), shown) << name;
        EXPECT_EQ(run.rig.port.calls, (std::vector<std::string>{"port 2", "settings 4800,N,8,1", "open 2 4800,N,8,1"}))
            << name;
        EXPECT_EQ(form.status_label.caption(), "Tx ok") << name;
        EXPECT_EQ(form.help_file, f.at("vadrel.hlp")) << name;
        EXPECT_EQ(fs::current_path(), f.path()) << name;
        run.rig.tick(0);  // the first step covers no time: the boxes show where the vehicle is
        EXPECT_EQ(testing::panel_text(form), after_tick) << name;
    }
}

// Closes the port only when open, then writes all 21 records.
TEST(Lifecycle, ShutDownClosesThePortThenWritesAllRecords) {
    for (const bool port_fails : {false, true}) {
        ScratchFolder f;
        ProgramRun run(f.path());
        Rig& rig = run.rig;
        if (port_fails) rig.port.failing_ports = {2};
        run.start();
        EXPECT_EQ(rig.form.status_label.caption(), port_fails ? "No tx" : "Tx ok");
        rig.port.calls.clear();
        EXPECT_TRUE(run.stop());
        EXPECT_EQ(rig.port.calls, std::vector<std::string>(port_fails ? 0 : 1, "close")) << port_fails;
        EXPECT_TRUE(rig.shell.messages.empty());
        // Ended before the first tick: the record holds what the panel showed,
        // the hemisphere letters and the unit of the window's creation included.
        EXPECT_EQ(f.get("vadrel.cnf"), cnf_text("44,2,\"N\",,10,8,\"E\",0,0,#TRUE#,#FALSE#\r\n")) << port_fails;
    }
}

TEST(Lifecycle, StartUpOpensThePortAndSpeedThePanelShows) {
    ScratchFolder f;
    ProgramRun run(f.path());
    Rig& rig = run.rig;
    // selections made when the panel was created, before any handling
    for (OptionButton* b : {&rig.form.com3_option, &rig.form.baud_9600_option}) {
        auto handler = std::move(b->on_click);
        b->on_click = nullptr;
        b->select();
        b->on_click = std::move(handler);
    }
    rig.port.calls.clear();
    run.start();
    EXPECT_EQ(rig.port.calls, (std::vector<std::string>{"port 3", "settings 9600,N,8,1", "open 3 9600,N,8,1"}));
}

// The version and the contact lines are the project's as CMake hands them to
// this test, apart from the header the program reads them through; a line
// CMake does not give is said to be missing, never filled with a made-up
// value; no line break after the last line, which would show an empty one.
TEST(About, TheLinesComeFromTheProject) {
    std::vector<std::string> lines;
    const std::string text = about_box_text() + "\r\n";
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 11u) << text;
    const std::string phone = VADREL_PHONE, web = VADREL_HOMEPAGE_URL;
    EXPECT_EQ(lines[0], VADREL_VENDOR " - Sistemi di navigazione");
    EXPECT_EQ(lines[1], "vadrel - versione " VADREL_PROJECT_VERSION);
    EXPECT_EQ(lines[5], "Tel: " + (phone.empty() ? "nessuno" : phone));
    EXPECT_EQ(lines[7], "E-MAIL: " VADREL_MAINTAINER_EMAIL);
    EXPECT_EQ(lines[10], web.empty() ? "nessun sito: scrivete all'indirizzo qui sopra" : web);
}

}  // namespace
}  // namespace vadrel
