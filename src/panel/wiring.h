#pragma once
// Connects every control's events to the handler that turns it into a
// change of the fleet, and the panel to the fleet and the transmitter it
// shows.

#include "panel/form1.h"

namespace vadrel {

void connect_panel(Form1& form);

}  // namespace vadrel
