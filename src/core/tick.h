#pragma once
// The once-a-second transmission tick and the Start/Stop button.

#include "model/form1.h"

namespace vadrel {

// One tick of Timer1: advance the current vehicle, store it, build the
// sentence, write it in the selected mode, echo it and blink Label11.
void Timer1_Timer(Form1& form);

// Start/Stop: switches transmission without stopping the tick.
void Command9_Click(Form1& form);

// While a log is replayed the ticks are paused and Label11 says so; at its
// end Label11 shows again what it showed, unless something set it meanwhile
// (Start/Stop, a port chosen or lost), and the ticks go on.
void inizia_riproduzione(Form1& form);
void finisci_riproduzione(Form1& form);
// A second of the log sent: the monitor shows it as the tick shows its own,
// with what the outputs did; a serial port lost is closed and shown "No tx"
// as the tick does.
void mostra_riproduzione(Form1& form, const std::string& bytes, const Delivery& delivery);

}  // namespace vadrel
