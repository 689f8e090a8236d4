#include "program_panel.h"

#include "panel/lifecycle.h"
#include "panel/view.h"
#include "panel/wiring.h"

namespace vadrel {

ProgramPanel::ProgramPanel(Program& program, Shell& shell, const Options& options)
    : program_(program),
      form_(program.fleet(), program.link(), program.transmitter(),
            Platform{program.clock(), shell, RegionalFormat::italian()}) {
    show_start_options(form_, options);
    connect_panel(form_);
    program_.place_start_vehicle = [this] { start_panel(form_); };
}

ProgramPanel::~ProgramPanel() { program_.place_start_vehicle = nullptr; }

void ProgramPanel::started() { form_.help_file = program_.help_file(); }

void show_start_options(PanelForm& form, const Options& options) {
    const Drawing drawing(form);
    switch (options.mode) {
        case Options::Mode::gps: form.standard_mode_option.select(); break;
        case Options::Mode::radio: form.radio_mode_option.select(); break;
        case Options::Mode::multi: form.multi_user_mode_option.select(); break;
    }
    // The text as given: the box shows it, the fleet took the cycle it reads as.
    if (options.vehicles) form.vehicle_count_box.set_text(*options.vehicles);
}

}  // namespace vadrel
