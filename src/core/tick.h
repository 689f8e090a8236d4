#pragma once
// The once-a-second transmission tick and the Start/Stop button.

#include "model/form1.h"

namespace vadrel {

// One tick of Timer1: advance the current vehicle, store it, build the
// sentence, write it in the selected mode, echo it and blink Label11.
void Timer1_Timer(Form1& form);

// Start/Stop: switches transmission without stopping the tick.
void Command9_Click(Form1& form);

}  // namespace vadrel
