#pragma once
// The window's menus beside the panel's own and the dialogs behind them,
// wired to the program: "Uscite" (Rete..., Porta..., Controllo...,
// Flotta per server...),
// "Registrazione", "Opzioni" with the AIS entry, and "File" with
// "Apri scenario..."; the clock and a scenario's progress on the status line. Made after the main
// window and gone before it.

#include <QTimer>
#include <memory>

class QMenu;

#include "app/options.h"
#include "gui/clock_status.h"
#include "gui/control_dialog.h"
#include "gui/main_window.h"
#include "gui/options_menu.h"
#include "gui/outputs_dialog.h"
#include "gui/pilot_entry.h"
#include "gui/port_dialog.h"
#include "gui/recording_menu.h"
#include "gui/scenario_menu.h"
#include "gui/server_fleet_dialog.h"

namespace vadrel {

class Program;

class WindowMenus {
public:
    // `ending`: whether a termination signal has come (a log being read stops).
    WindowMenus(Program& program, PanelForm& form, gui::MainWindow& window, Shell& shell, const bool& ending);
    ~WindowMenus();
    WindowMenus(const WindowMenus&) = delete;
    WindowMenus& operator=(const WindowMenus&) = delete;

    // What a first start (no vadrel.ini yet) asks beside the panel: the
    // receiver, unless the command line chose it; a virtual port, when the
    // port chosen did not open (a computer without serial ports) and the
    // command line did not map it.
    void first_start(const Options& options);

    // The device behind each port button, on its tooltip.
    void show_ports();

    gui::OptionsMenu& options() { return options_menu_; }

private:
    Program& program_;
    PanelForm& form_;
    gui::MainWindow& window_;
    gui::OutputsDialog outputs_;
    gui::PortDialog ports_;
    gui::ControlDialog control_;
    QMenu* outputs_menu_;  // before the menus that follow it on the bar
    gui::RecordingMenu recording_menu_;
    gui::OptionsMenu options_menu_;
    // "File" > "Apri scenario...", and the clock on the status line.
    gui::ScenarioMenu scenario_menu_;
    gui::ClockStatus clock_status_;
    // "Pilota automatico" in "Opzioni", and its line under the panel.
    std::unique_ptr<gui::PilotEntry> pilot_entry_;
    QTimer redraw_;
    // The receiver options' menu follows the model, whoever changes it.
    std::size_t receiver_watch_ = 0;
    std::size_t pilot_watch_ = 0;
    // "Uscite" > "Flotta per server...".
    gui::ServerFleetDialog server_fleet_;
};

}  // namespace vadrel
