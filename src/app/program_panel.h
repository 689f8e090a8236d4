#pragma once
// The operator's panel over the program, for the window: a view and
// controller of the program's fleet and link, made after the program and
// before its start, gone before it. The headless program has none.
//
//   Program program(options, shell);
//   ProgramPanel panel(program, shell, options);
//   program.start();
//   panel.started();
//   gui::MainWindow window(panel.form());

#include "app/options.h"
#include "app/program.h"
#include "panel/panel_form.h"

namespace vadrel {

class ProgramPanel {
public:
    // The panel with the options' mode and number of vehicles, its events
    // wired; the program's start puts the panel's start-up texts into the
    // current vehicle.
    ProgramPanel(Program& program, Shell& shell, const Options& options);
    ~ProgramPanel();
    ProgramPanel(const ProgramPanel&) = delete;
    ProgramPanel& operator=(const ProgramPanel&) = delete;

    PanelForm& form() { return form_; }
    // After the program's start: the help file F1 opens.
    void started();

private:
    Program& program_;
    PanelForm form_;
};

// The mode button and the text of the number of vehicles as the options
// give them, drawn: they are the panel's state at creation, not clicks.
void show_start_options(PanelForm& form, const Options& options);

}  // namespace vadrel
