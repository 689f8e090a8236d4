#include "view.h"

#include "panel/link.h"
#include "panel/simulation_controls.h"

namespace vadrel {

namespace {

void draw_coordinate(PanelForm& form, const CoordinateBoxes& c, double value) {
    const WholeSeconds shown = whole_seconds(value);
    (form.*c.degrees).set_text(int_text(shown.degrees));
    (form.*c.minutes).set_text(int_text(shown.minutes));
    (form.*c.seconds).set_text(int_text(shown.seconds));
    (form.*c.hemisphere).set_text(std::string(1, shown.negative ? c.negative : c.positive));
    form.*c.drawn = DrawnCoordinate{shown, value};
}

void draw_number(TextBox& box, double value, bool always) {
    const std::int16_t shown = whole_number(value);
    if (always || int16_from_text(box.text(), NumberReading::leading()) != shown) box.set_text(int_text(shown));
}

void draw_mode(PanelForm& form) {
    const Drawing drawing(form);
    switch (form.fleet.mode()) {
        case Mode::gps_standard: form.standard_mode_option.select(); break;
        case Mode::radio: form.radio_mode_option.select(); break;
        case Mode::multi_user: form.multi_user_mode_option.select(); break;
    }
}

void draw_cycle(PanelForm& form) {
    if (vehicles_in_cycle(form.vehicle_count_box.text()) == form.fleet.cycle()) return;
    const Drawing drawing(form);
    form.vehicle_count_box.set_text(int_text(form.fleet.cycle()));
}

}  // namespace

const Vehicle& current_vehicle(const PanelForm& form) { return form.fleet.vehicle(form.fleet.current()); }

void draw_position(PanelForm& form) {
    const Drawing drawing(form);
    const Vehicle& v = current_vehicle(form);
    draw_coordinate(form, latitude_boxes, v.lat);
    draw_coordinate(form, longitude_boxes, v.lon);
}

void draw_course(PanelForm& form, bool always) {
    const Drawing drawing(form);
    draw_number(form.course_box, current_vehicle(form).course, always);
}

void draw_speed(PanelForm& form, bool always) {
    const Drawing drawing(form);
    draw_number(form.speed_box, current_vehicle(form).speed, always);
}

namespace {
constexpr const char* replay_caption_text = "Riproduce";  // fits the label beside Start/Stop
}  // namespace

void draw_unit(PanelForm& form) {
    const Drawing drawing(form);
    const SpeedUnit unit = current_vehicle(form).unit;
    form.kmh_option.set_selected(unit == SpeedUnit::kmh);
    form.mph_option.set_selected(unit == SpeedUnit::knots);
}

void draw_vehicle(PanelForm& form) {
    const Drawing drawing(form);
    form.current_vehicle_box.set_text(int_text(static_cast<long long>(form.fleet.current())));
    draw_position(form);
    draw_speed(form, true);
    draw_course(form, true);
    draw_unit(form);
}

void show_transmission(PanelForm& form) {
    if (!form.link.transmitting()) {
        form.status_label.set_caption(link_caption::stopped);
        form.status_label.set_colour(Colour::red_status());
        form.status_label.set_visible(true);
    } else if (form.link.open()) {
        form.status_label.set_caption(link_caption::sending);
        form.status_label.set_colour(Colour::green_status());
    } else {
        form.status_label.set_caption(link_caption::not_sending);
        form.status_label.set_colour(Colour::red_status());
    }
}

namespace {

constexpr const char* no_fix_caption = "Senza fix";

// While the receiver has no fix (the loss of the signal, a timed loss, a sky
// that gives none) status_label says so; when the fix is back it shows again
// what it showed. Captions set meanwhile (Start/Stop, a port chosen or lost)
// stand.
void show_fix(PanelForm& form) {
    const bool lost = form.link.transmitting() && form.link.open() && form.transmitter.without_fix();
    const bool shown = form.status_label.caption() == no_fix_caption;
    if (lost && !shown) {
        form.held_caption = form.status_label.caption();
        form.held_colour = form.status_label.colour();
        form.status_label.set_caption(no_fix_caption);
        form.status_label.set_colour(Colour::red_status());
    } else if (!lost && shown) {
        form.status_label.set_caption(form.held_caption);
        form.status_label.set_colour(form.held_colour);
    }
}

}  // namespace

namespace {

// The unit the option buttons show, none when neither is selected.
SpeedUnit shown_unit(const PanelForm& form) {
    if (form.kmh_option.selected()) return SpeedUnit::kmh;
    if (form.mph_option.selected()) return SpeedUnit::knots;
    return SpeedUnit::none;
}

// A vehicle never given a unit takes the one the panel shows, so that a
// speed typed for it means what the operator reads beside it.
void give_shown_unit(PanelForm& form, std::size_t n, SpeedUnit unit) {
    if (unit == SpeedUnit::none || form.fleet.vehicle(n).unit != SpeedUnit::none) return;
    form.fleet.set_unit(n, unit, &form);
}

}  // namespace

void watch_model(PanelForm& form) {
    if (form.fleet_watch != 0) return;
    form.fleet_watch = form.fleet.watch([&form](std::size_t n, Change what, Fleet::Origin origin) {
        const bool elsewhere = origin != &form;
        switch (what) {
            case Change::current:
                give_shown_unit(form, form.fleet.current(), shown_unit(form));
                draw_vehicle(form);
                return;
            case Change::mode: if (elsewhere) draw_mode(form); return;
            case Change::cycle: {
                const SpeedUnit unit = shown_unit(form);
                for (int i = 0; i < form.fleet.cycle(); ++i) give_shown_unit(form, static_cast<std::size_t>(i), unit);
                if (elsewhere) draw_cycle(form);
                return;
            }
            default: break;
        }
        // A speed or course given elsewhere (the fleet table, the control
        // interface) to a vehicle without a unit: the unit the panel shows.
        if ((what == Change::speed || what == Change::course) && origin != nullptr)
            give_shown_unit(form, n, shown_unit(form));
        if (n != form.fleet.current() || !elsewhere) return;
        switch (what) {
            case Change::placed:
            case Change::moved: draw_position(form); break;
            case Change::course: draw_course(form, false); break;
            case Change::speed: draw_speed(form, false); break;
            case Change::unit: draw_unit(form); break;
            default: break;
        }
    });
    form.link_watch = form.link.watch([&form](LinkChange what, Link::Origin origin) { link_changed(form, what, origin); });
    draw_link(form);
    form.transmitter.add_view(form);
}

// ---- the panel as the transmitter's view ----

void PanelForm::second_shown(const std::string& text, bool replayed) {
    if (monitor.current_y() > monitor.height()) monitor.clear();
    monitor.print(text);
    if (replayed) return;
    show_fix(*this);
    status_label.set_visible(!status_label.visible());
}

void PanelForm::next_vehicle() {
    // The box reads the cycle's number as the fleet took it: past the
    // largest it shows the largest.
    if (vehicles_in_cycle(vehicle_count_box.text()) > largest_cycle) {
        vehicle_count_box.set_text(int_text(largest_cycle));
    }
    platform.shell.run_pending_events();
}

// While a log plays status_label says so; at its end it shows again what it
// showed, unless something set it meanwhile (Start/Stop, a port chosen or
// lost).
void PanelForm::replay_changed(bool playing) {
    status_label.set_visible(true);
    if (playing) {
        held_caption = status_label.caption();
        held_colour = status_label.colour();
        status_label.set_caption(replay_caption_text);
        status_label.set_colour(Colour::green_status());
        return;
    }
    if (status_label.caption() != replay_caption_text) return;
    if (!link.transmitting()) {
        show_transmission(*this);
    } else {
        status_label.set_caption(held_caption);
        status_label.set_colour(held_colour);
    }
}

}  // namespace vadrel
