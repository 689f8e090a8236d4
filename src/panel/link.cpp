#include "link.h"

#include <exception>

#include "panel/view.h"

namespace vadrel {

namespace {

// Runs a port operation with the failure rule of the port choice.
template <typename Operation>
void with_port_rule(PanelForm& form, Operation operation) {
    try {
        operation();
    } catch (const PortFailure& e) {
        form.transmitter.set_port_problem(e.what());
        form.platform.shell.message_box(port_open_error, program_title);
        clear_port_buttons(form);
        show_no_tx(form);
    } catch (const std::exception& e) {
        form.platform.shell.end_program_now(e.what());
    }
}

}  // namespace

void clear_port_buttons(PanelForm& form) {
    for (OptionButton PanelForm::*button : port_buttons) (form.*button).clear();
}

// The port choice's own captions, in their own case beside Start/Stop's
// "Tx OK" and "No Tx": an operator's scripts and screenshots know both.
void show_tx_ok(PanelForm& form) {
    form.transmitter.set_port_problem({});
    form.status_label.set_caption("Tx ok");
    form.status_label.set_colour(Colour::green_status());
}

void show_no_tx(PanelForm& form) {
    form.status_label.set_caption("No tx");
    form.status_label.set_colour(Colour::red_status());
}

void choose_port(PanelForm& form, std::int16_t number) {
    with_port_rule(form, [&] {
        SerialPort& port = form.platform.port;
        if (port.is_open()) port.close();
        port.set_port_number(number);
        port.open();
        show_tx_ok(form);
    });
}

void choose_speed(PanelForm& form, const std::string& settings) {
    with_port_rule(form, [&] {
        SerialPort& port = form.platform.port;
        if (!port.is_open()) return;
        port.close();
        port.set_settings(settings);
        port.open();
    });
}

std::string selected_settings(const PanelForm& form) {
    for (std::size_t i = 0; i < line_speeds.size(); ++i) {
        if ((form.*speed_buttons[i]).selected()) return line_settings_text(line_speeds[i]);
    }
    return line_settings_text(4800);
}

std::int16_t selected_port(const PanelForm& form) {
    for (std::size_t i = 0; i < com_ports.size(); ++i) {
        if ((form.*port_buttons[i]).selected()) return com_ports[i];
    }
    return 0;
}

}  // namespace vadrel
