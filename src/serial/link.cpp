#include "link.h"

#include <exception>

namespace vadrel {

namespace {

// Runs a port operation with the failure rule of the port choice.
template <typename Operation>
void with_port_rule(Form1& form, Operation operation) {
    try {
        operation();
    } catch (const PortFailure& e) {
        form.motivo_no_tx = e.what();
        form.platform.shell.message_box(errore_apertura, program_title);
        annulla_opt_com(form);
        mostra_no_tx(form);
    } catch (const std::exception& e) {
        form.platform.shell.end_program_now(e.what());
    }
}

}  // namespace

void annulla_opt_com(Form1& form) {
    form.opt_com1.clear();
    form.opt_com2.clear();
    form.opt_com3.clear();
    form.opt_com4.clear();
}

void mostra_tx_ok(Form1& form) {
    form.motivo_no_tx.clear();
    form.Label11.set_caption("Tx ok");
    form.Label11.set_colour(Colour::green_status());
}

void mostra_no_tx(Form1& form) {
    form.Label11.set_caption("No tx");
    form.Label11.set_colour(Colour::red_status());
}

void scegli_porta(Form1& form, std::int16_t numero) {
    with_port_rule(form, [&] {
        SerialPort& port = form.platform.port;
        if (port.is_open()) port.close();
        port.set_port_number(numero);
        port.open();
        mostra_tx_ok(form);
    });
}

void opt_com1_Click(Form1& form) { scegli_porta(form, 1); }
void opt_com2_Click(Form1& form) { scegli_porta(form, 2); }
void opt_com3_Click(Form1& form) { scegli_porta(form, 3); }
void opt_com4_Click(Form1& form) { scegli_porta(form, 4); }

void scegli_velocita(Form1& form, const std::string& impostazioni) {
    with_port_rule(form, [&] {
        SerialPort& port = form.platform.port;
        if (!port.is_open()) return;
        port.close();
        port.set_settings(impostazioni);
        port.open();
    });
}

void Option1_Click(Form1& form) { scegli_velocita(form, "2400,N,8,1"); }
void Option2_Click(Form1& form) { scegli_velocita(form, "4800,N,8,1"); }
void Option3_Click(Form1& form) { scegli_velocita(form, "9600,N,8,1"); }

std::string impostazioni_selezionate(const Form1& form) {
    if (form.Option1.selected()) return "2400,N,8,1";
    if (form.Option3.selected()) return "9600,N,8,1";
    return "4800,N,8,1";
}

std::int16_t porta_selezionata(const Form1& form) {
    if (form.opt_com1.selected()) return 1;
    if (form.opt_com2.selected()) return 2;
    if (form.opt_com3.selected()) return 3;
    if (form.opt_com4.selected()) return 4;
    return 0;
}

void porta_persa(Form1& form, const std::string& motivo) {
    form.motivo_no_tx = motivo;
    try {
        if (form.platform.port.is_open()) form.platform.port.close();
    } catch (const PortFailure&) {
        // the port is gone already
    }
    annulla_opt_com(form);
    mostra_no_tx(form);
}

}  // namespace vadrel
