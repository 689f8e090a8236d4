#pragma once
// Start-up and shut-down of the panel, shared by the window and the headless
// run, and the information menu.

#include "config/table_file.h"
#include "panel/panel_form.h"

namespace vadrel {

// Start-up, once, before the panel is first shown: the program's folder
// (the folder of `file`) as current directory, the help file, the default
// position on the panel and into the current vehicle, the vehicle table
// from vadrel.cnf. The port is the link's to open (Link::start).
void start_panel(PanelForm& form, VehicleTable& table, TableFile& file);

// Shut-down: closes the link's port if it is open, then saves the vehicle table.
// Never refuses. Returns false when vadrel.cnf does not hold the table (the
// shell has already said so and where the table is, if anywhere).
bool stop_panel(PanelForm& form, const VehicleTable& table, TableFile& file);

// The operator is told through the shell's message box.
Tell message_box_of(PanelForm& form);

// The information menu: the about box.
void about_clicked(PanelForm& form);

}  // namespace vadrel
