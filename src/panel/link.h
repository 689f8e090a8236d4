#pragma once
// The serial link as the panel works it: the port buttons, the speed buttons,
// the status of the port in status_label and the reaction to a lost port.

#include <array>
#include <cstdint>
#include <string>

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

// Clears the four port buttons; touches neither the port nor the label.
void clear_port_buttons(PanelForm& form);

// The port opened (its problem forgotten) or failed: status_label shows the
// state by the one rule of show_transmission.
void show_tx_ok(PanelForm& form);
void show_no_tx(PanelForm& form);

// Port choice: close the open port, set number N, open, show the status. A
// port failure keeps its reason as the transmitter's port problem, shows the
// message, clears the port buttons and shows "No Tx"; any other error ends
// the program at once.
void choose_port(PanelForm& form, std::int16_t number);

// Speed choice: only on an open port, which is closed, given the settings
// text and opened again. Its failures follow the port-choice rule.
void choose_speed(PanelForm& form, const std::string& settings);

// The settings text of the speed button selected, "4800,N,8,1" if none is.
std::string selected_settings(const PanelForm& form);
// The number of the port button selected, 0 if none is.
std::int16_t selected_port(const PanelForm& form);

}  // namespace vadrel
