#pragma once
// The serial link as the panel works it: the port buttons, the speed buttons,
// the status of the port in Label11 and the reaction to a lost port.

#include <array>
#include <cstdint>
#include <string>

#include "panel/form1.h"
#include "serial/ports.h"

namespace vadrel {

// The buttons of COM 1 to COM 4 and of the line speeds, in the order of
// com_ports and line_speeds.
inline constexpr std::array<OptionButton Form1::*, com_ports.size()> port_buttons{
    &Form1::opt_com1, &Form1::opt_com2, &Form1::opt_com3, &Form1::opt_com4};
inline constexpr std::array<OptionButton Form1::*, line_speeds.size()> speed_buttons{
    &Form1::Option1, &Form1::Option2, &Form1::Option3};

// The message of a port that cannot be opened.
inline constexpr const char* port_open_error = "Errore nell'apertura della seriale";

// Clears the four port buttons; touches neither the port nor the label.
void clear_port_buttons(Form1& form);

// "Tx ok" in green (the port's problem forgotten), "No tx" in red.
void show_tx_ok(Form1& form);
void show_no_tx(Form1& form);

// Port choice: close the open port, set number N, open, "Tx ok". A port
// failure keeps its reason as the transmitter's port problem, shows the
// message, clears the port buttons and shows "No tx"; any other error ends
// the program at once.
void choose_port(Form1& form, std::int16_t number);

// Speed choice: only on an open port, which is closed, given the settings
// text and opened again. Its failures follow the port-choice rule.
void choose_speed(Form1& form, const std::string& settings);

// The settings text of the speed button selected, "4800,N,8,1" if none is.
std::string selected_settings(const Form1& form);
// The number of the port button selected, 0 if none is.
std::int16_t selected_port(const Form1& form);

}  // namespace vadrel
