#pragma once
// The serial link as the panel works it: the port buttons, the speed buttons,
// the status of the port in Label11 and the reaction to a lost port.

#include <array>
#include <cstdint>
#include <string>

#include "model/form1.h"

namespace vadrel {

// The panel's serial ports, COM 1 to COM 4, with their buttons: the one
// table of port numbers for the panel, the command line and the port layer.
struct PortaCom {
    std::int16_t numero;
    OptionButton Form1::*bottone;
};
inline constexpr std::array<PortaCom, 4> porte_com{
    {{1, &Form1::opt_com1}, {2, &Form1::opt_com2}, {3, &Form1::opt_com3}, {4, &Form1::opt_com4}}};
constexpr bool porta_com_valida(long numero) {
    return numero >= porte_com.front().numero && numero <= porte_com.back().numero;
}

// The line speeds of the speed buttons, the one table of line speeds for the
// panel, the command line and the port layer. The line is always no parity,
// 8 data bits, 1 stop bit.
struct VelocitaLinea {
    int baud;
    OptionButton Form1::*bottone;
};
inline constexpr std::array<VelocitaLinea, 3> velocita_linea{
    {{2400, &Form1::Option1}, {4800, &Form1::Option2}, {9600, &Form1::Option3}}};
bool velocita_valida(long baud);
// "4800,N,8,1"
std::string impostazioni_di(int baud);
// "2400, 4800 o 9600", for messages.
std::string elenco_velocita();

// The message of a port that cannot be opened.
inline constexpr const char* errore_apertura = "Errore nell'apertura della seriale";

// Clears the four port buttons; touches neither the port nor the label.
void annulla_opt_com(Form1& form);

// "Tx ok" in green, "No tx" in red.
void mostra_tx_ok(Form1& form);
void mostra_no_tx(Form1& form);

// Port choice: close the open port, set number N, open, "Tx ok". A port
// failure keeps its reason in motivo_no_tx, shows the message, clears the
// port buttons and shows "No tx"; any other error ends the program at once.
void scegli_porta(Form1& form, std::int16_t numero);

// Speed choice: only on an open port, which is closed, given the settings
// text and opened again. Its failures follow the port-choice rule.
void scegli_velocita(Form1& form, const std::string& impostazioni);

// The settings text of the speed button selected, "4800,N,8,1" if none is.
std::string impostazioni_selezionate(const Form1& form);
// The number of the port button selected, 0 if none is.
std::int16_t porta_selezionata(const Form1& form);

// A write that failed on an open port (the adapter went away): the port is
// closed and the panel shows it as a port that failed to open.
// `motivo` is the port's message, kept in motivo_no_tx.
void porta_persa(Form1& form, const std::string& motivo);

}  // namespace vadrel
