#pragma once
// The serial link as the panel works it: the port buttons and the speed
// buttons change the link (link/link.h) and show it, and status_label shows
// its state.

#include <array>
#include <cstdint>

#include "panel/panel_form.h"
#include "serial/ports.h"

namespace vadrel {

// The buttons of COM 1 to COM 4 and of the line speeds, in the order of
// com_ports and line_speeds.
inline constexpr std::array<OptionButton PanelForm::*, com_ports.size()> port_buttons{
    &PanelForm::com1_option, &PanelForm::com2_option, &PanelForm::com3_option, &PanelForm::com4_option};
inline constexpr std::array<OptionButton PanelForm::*, line_speeds.size()> speed_buttons{
    &PanelForm::baud_2400_option, &PanelForm::baud_4800_option, &PanelForm::baud_9600_option};

// The message of a port that cannot be opened.
inline constexpr const char* port_open_error = "Errore nell'apertura della seriale";

// Port choice: the link closes the open port and opens COM number. A port
// failure shows the message, clears the port buttons and shows "No tx"; any
// other error ends the program at once.
void choose_port(PanelForm& form, std::int16_t number);

// Speed choice: the link's speed from now on; an open port is opened again
// at it. Its failures follow the port-choice rule.
void choose_speed(PanelForm& form, int baud);

// The port and speed buttons as the link has them; runs no handling.
void draw_link(PanelForm& form);

// The panel as a view of the link: a port opened or closed (a message for
// a choice of the operator's that failed), the speed, transmission.
void link_changed(PanelForm& form, LinkChange what, Link::Origin origin);

}  // namespace vadrel
