#pragma once
// Start-up of the panel in the window, and the information menu.

#include "panel/panel_form.h"

namespace vadrel {

// Start-up, once, before vadrel.cnf is read (the program's start): the
// start-up texts on the panel, then the whole panel into the current
// vehicle as one change, so that a first run ended before any tick saves
// what the panel showed (fleet/start_values.h: start_vehicle()).
void start_panel(PanelForm& form);

// The information menu: the about box.
void about_clicked(PanelForm& form);

}  // namespace vadrel
