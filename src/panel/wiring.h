#pragma once
// Connects every control's events to the handler that turns it into a
// change of the fleet, and the panel to the fleet and the transmitter it
// shows.

#include "panel/panel_form.h"

namespace vadrel {

void connect_panel(PanelForm& form);

}  // namespace vadrel
