#pragma once
// The controls of the simulator on the panel: the mode buttons, the number
// of vehicles of the multi-user cycle, the two vehicle buttons and
// Start/Stop. Each is one change of the fleet.

#include <string>

#include "fleet/start_values.h"
#include "panel/panel_form.h"

namespace vadrel {

// The mode buttons.
void mode_clicked(PanelForm& form, Mode mode);
// "Numero di mezzi mobili" changed.
void vehicle_count_changed(PanelForm& form);
// "-" and "+": the previous and the next vehicle, only while transmission
// is stopped in multi-user mode. They read the number of vehicles by the
// regional conversion (fractions count) and keep the index within the
// table, and leave it alone when that number cannot be read.
void previous_vehicle_clicked(PanelForm& form);
void next_vehicle_clicked(PanelForm& form);
// Start/Stop: transmission off if on, on if off; the ticks go on.
void start_stop_clicked(PanelForm& form);

}  // namespace vadrel
