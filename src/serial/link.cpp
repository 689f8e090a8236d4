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

bool velocita_valida(long baud) {
    for (const VelocitaLinea& v : velocita_linea) {
        if (v.baud == baud) return true;
    }
    return false;
}

std::string impostazioni_di(int baud) { return std::to_string(baud) + ",N,8,1"; }

std::string elenco_velocita() {
    std::string text;
    for (std::size_t i = 0; i < velocita_linea.size(); ++i) {
        if (i > 0) text += i + 1 == velocita_linea.size() ? " o " : ", ";
        text += std::to_string(velocita_linea[i].baud);
    }
    return text;
}

void annulla_opt_com(Form1& form) {
    for (const PortaCom& p : porte_com) (form.*p.bottone).clear();
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

void scegli_velocita(Form1& form, const std::string& impostazioni) {
    with_port_rule(form, [&] {
        SerialPort& port = form.platform.port;
        if (!port.is_open()) return;
        port.close();
        port.set_settings(impostazioni);
        port.open();
    });
}

std::string impostazioni_selezionate(const Form1& form) {
    for (const VelocitaLinea& v : velocita_linea) {
        if ((form.*v.bottone).selected()) return impostazioni_di(v.baud);
    }
    return impostazioni_di(4800);
}

std::int16_t porta_selezionata(const Form1& form) {
    for (const PortaCom& p : porte_com) {
        if ((form.*p.bottone).selected()) return p.numero;
    }
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
