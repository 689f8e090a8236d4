#include "link.h"

#include <exception>

#include "panel/view.h"

namespace vadrel {

namespace {

// Runs a change of the link; an error that is not the port's ends the program.
template <typename Operation>
void with_port_rule(PanelForm& form, Operation operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        form.platform.shell.end_program_now(e.what());
    }
}

void draw_buttons(PanelForm& form) {
    for (std::size_t i = 0; i < com_ports.size(); ++i) {
        OptionButton& button = form.*port_buttons[i];
        if (com_ports[i] != form.link.port()) button.clear();
    }
    for (std::size_t i = 0; i < com_ports.size(); ++i) {
        if (com_ports[i] == form.link.port()) (form.*port_buttons[i]).select();
    }
}

void draw_speed(PanelForm& form) {
    for (std::size_t i = 0; i < line_speeds.size(); ++i) {
        if (line_speeds[i] == form.link.baud()) (form.*speed_buttons[i]).select();
    }
}

}  // namespace

void choose_port(PanelForm& form, std::int16_t number) {
    if (form.drawing) return;
    with_port_rule(form, [&] { form.link.choose(number, &form); });
}

void choose_speed(PanelForm& form, int baud) {
    if (form.drawing) return;
    with_port_rule(form, [&] { form.link.set_baud(baud, &form); });
}

void draw_link(PanelForm& form) {
    const Drawing drawing(form);
    draw_buttons(form);
    draw_speed(form);
}

void link_changed(PanelForm& form, LinkChange what, Link::Origin origin) {
    switch (what) {
        case LinkChange::opened: {
            const Drawing drawing(form);
            draw_buttons(form);
            form.status_label.set_caption(form.link.caption());
            form.status_label.set_colour(Colour::green_status());
            return;
        }
        case LinkChange::closed:
            // The operator hears of a choice of theirs that failed first,
            // with the panel as it stood: the caption they know, the system's
            // reason below it.
            if (origin == &form && !form.link.problem().empty())
                form.platform.shell.message_box(std::string(port_open_error) + "\n" + form.link.problem(),
                                                program_title);
            {
                const Drawing drawing(form);
                draw_buttons(form);
            }
            form.status_label.set_caption(form.link.caption());
            form.status_label.set_colour(Colour::red_status());
            return;
        case LinkChange::speed:
            if (origin != &form) {
                const Drawing drawing(form);
                draw_speed(form);
            }
            return;
        case LinkChange::transmitting: show_transmission(form); return;
        case LinkChange::device: return;
    }
}

}  // namespace vadrel
