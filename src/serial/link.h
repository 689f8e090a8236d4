#pragma once
// The serial link as the panel works it: the port buttons, the speed buttons,
// the status of the port in Label11 and the reaction to a lost port.

#include <cstdint>
#include <string>

#include "model/form1.h"

namespace vadrel {

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
void opt_com1_Click(Form1& form);
void opt_com2_Click(Form1& form);
void opt_com3_Click(Form1& form);
void opt_com4_Click(Form1& form);

// Speed choice: only on an open port, which is closed, given the settings
// text and opened again. Its failures follow the port-choice rule.
void scegli_velocita(Form1& form, const std::string& impostazioni);
void Option1_Click(Form1& form);
void Option2_Click(Form1& form);
void Option3_Click(Form1& form);

// The settings text of the speed button selected, "4800,N,8,1" if none is.
std::string impostazioni_selezionate(const Form1& form);
// The number of the port button selected, 0 if none is.
std::int16_t porta_selezionata(const Form1& form);

// A write that failed on an open port (the adapter went away): the port is
// closed and the panel shows it as a port that failed to open.
// `motivo` is the port's message, kept in motivo_no_tx.
void porta_persa(Form1& form, const std::string& motivo);

}  // namespace vadrel
