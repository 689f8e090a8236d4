#include <gtest/gtest.h>

#include <tuple>

#include "support/fakes.h"

namespace vadrel {
namespace {

using testing::Rig;

const char* const tx_ok = "Tx ok green";
const char* const no_tx = "No tx red";

std::string label(const PanelForm& f) {
    return f.status_label.caption() + (f.status_label.colour() == Colour::green_status() ? " green" : " red");
}

int ports_selected(const PanelForm& f) {
    return f.com1_option.selected() + f.com2_option.selected() + f.com3_option.selected() + f.com4_option.selected();
}

TEST(PortChoice, ClosesOpensAndReports) {
    const struct {
        const char* name;
        bool open_before;
        bool stopped;
        std::set<int> failing;
        std::vector<std::string> calls;
        const char* label;
        bool message;
        bool open_after;
    } rows[] = {
        {"open port moves to COM 3", true, false, {}, {"close", "port 3", "open 3 4800,N,8,1"}, tx_ok, false, true},
        {"closed port opens on COM 3", false, false, {}, {"port 3", "open 3 4800,N,8,1"}, tx_ok, false, true},
        {"stopped transmission still shows Tx ok", false, true, {}, {"port 3", "open 3 4800,N,8,1"}, tx_ok, false, true},
        {"a port that fails leaves none open", true, false, {3}, {"close", "port 3", "open 3 4800,N,8,1"}, no_tx, true, false},
    };
    for (const auto& r : rows) {
        Rig rig;
        if (r.open_before) rig.port.force_open();
        if (r.stopped) rig.form.start_stop_button.click();
        rig.port.failing_ports = r.failing;
        rig.form.com3_option.select();
        EXPECT_EQ(rig.port.calls, r.calls) << r.name;
        EXPECT_EQ(label(rig.form), r.label) << r.name;
        EXPECT_EQ(rig.port.is_open(), r.open_after) << r.name;
        EXPECT_EQ(ports_selected(rig.form), r.message ? 0 : 1) << r.name;
        EXPECT_EQ(rig.transmitter.port_problem(), r.message ? "porta inesistente" : "") << r.name;
        EXPECT_EQ(rig.shell.messages, r.message ? std::vector<std::string>{"vadrel: Errore nell'apertura della seriale"}
                                                : std::vector<std::string>{})
            << r.name;
    }
    Rig rig;  // any other error ends the program at once
    rig.port.fail_otherwise = true;
    rig.form.com1_option.select();
    EXPECT_EQ(rig.shell.ended, "guasto imprevisto");
    EXPECT_TRUE(rig.shell.messages.empty());
}

// Without a fix the label says "Senza fix" while transmission runs on an
// open port, and shows again what it showed when the fix is back. (Which
// second has a fix is the transmitter's.)
TEST(StatusLabel, SaysWhileTheFixIsLost) {
    OpzioniRicevitore timed_loss;
    timed_loss.guasti.attivi = true;
    timed_loss.guasti.perdita_fix = {1, 2};
    OpzioniRicevitore no_signal;
    no_signal.senza_fix = true;
    // stopped, the port open, the receiver's options, the ticks, the label after them
    const std::tuple<const char*, bool, bool, OpzioniRicevitore, int, const char*> rows[] = {
        {"a timed loss of the fix, its second second", false, true, timed_loss, 2, "Senza fix red"},
        {"a timed loss of the fix, over", false, true, timed_loss, 3, tx_ok},
        {"a closed port says nothing of the fix", false, false, no_signal, 1, tx_ok},
        {"stopped", true, true, no_signal, 1, "Stop red"},
    };
    for (const auto& [name, stopped, open, options, ticks, shown] : rows) {
        Rig rig;
        if (open) rig.port.force_open();
        rig.transmitter.set_receiver(options);
        rig.form.status_label.set_caption("Tx ok");
        rig.form.status_label.set_colour(Colour::green_status());
        if (stopped) rig.form.start_stop_button.click();
        for (int i = 0; i < ticks; ++i, rig.clock.utc += 1.0) rig.tick();
        EXPECT_EQ(label(rig.form), shown) << name;
    }
}

TEST(SpeedChoice, ReopensAnOpenPortOnlyAndKeepsTheLabel) {
    Rig rig;
    rig.form.baud_9600_option.select();  // port closed: nothing happens to it
    EXPECT_TRUE(rig.port.calls.empty());
    rig.form.com4_option.select();  // a later port choice opens at the former speed
    ASSERT_FALSE(rig.port.calls.empty());
    EXPECT_EQ(rig.port.calls.back(), "open 4 4800,N,8,1");
    EXPECT_TRUE(rig.form.baud_9600_option.selected());
    rig.form.status_label.set_caption("Tx OK");
    const std::pair<OptionButton PanelForm::*, std::string> buttons[] = {{&PanelForm::baud_2400_option, "2400,N,8,1"},
                                                                         {&PanelForm::baud_9600_option, "9600,N,8,1"},
                                                                         {&PanelForm::baud_4800_option, "4800,N,8,1"}};
    for (const auto& [button, text] : buttons) {
        rig.port.calls.clear();
        (rig.form.*button).select();
        EXPECT_EQ(rig.port.calls, (std::vector<std::string>{"close", "settings " + text, "open 4 " + text}));
    }
    EXPECT_EQ(rig.form.status_label.caption(), "Tx OK");
    // a speed choice that fails follows the port-choice rule
    rig.port.failing_ports = {4};
    rig.form.baud_2400_option.select();
    EXPECT_EQ(label(rig.form), no_tx);
}


}  // namespace
}  // namespace vadrel
