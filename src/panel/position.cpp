#include "position.h"

#include <cmath>

#include "panel/course_speed.h"

namespace vadrel {

namespace {

std::set<int>& held_keys(PanelForm& form, const CoordinateBoxes& c) {
    return c.latitude ? form.lat_hemisphere_keys : form.lon_hemisphere_keys;
}

std::string& saved_text(PanelForm& form, const CoordinateBoxes& c) {
    return c.latitude ? form.lat_hemisphere_saved : form.lon_hemisphere_saved;
}

double value_of(const Vehicle& v, const CoordinateBoxes& c) { return c.latitude ? v.lat : v.lon; }

// Where the coordinate's boxes put the vehicle, in seconds of arc.
double boxes_value(PanelForm& form, const CoordinateBoxes& c) {
    const NumberReading regional = NumberReading::regional_in(form.platform.format);
    const double now = value_of(current_vehicle(form), c);
    const WholeSeconds was = whole_seconds(now);
    const WholeSeconds shown{int16_from_text((form.*c.degrees).text(), regional).value_or(was.degrees),
                             int16_from_text((form.*c.minutes).text(), regional).value_or(was.minutes),
                             int16_from_text((form.*c.seconds).text(), regional).value_or(was.seconds),
                             (form.*c.hemisphere).text() == std::string(1, c.negative)};
    const std::optional<DrawnCoordinate>& drawn = form.*c.drawn;
    return drawn && drawn->shown == shown ? drawn->exact : arc_seconds_of(shown);
}

void place(PanelForm& form, const CoordinateBoxes& c, double value) {
    const std::optional<double> there = value;
    form.fleet.place(form.fleet.current(), c.latitude ? there : std::nullopt, c.latitude ? std::nullopt : there,
                     &form);
}

}  // namespace

void position_box_changed(PanelForm& form, const CoordinateBoxes& c) {
    if (form.drawing) return;
    const double now = value_of(current_vehicle(form), c);
    const double wanted = boxes_value(form, c);
    if (wanted == now && std::signbit(wanted) == std::signbit(now)) return;
    place(form, c, wanted);
}

void store_panel(PanelForm& form) {
    const std::size_t n = form.fleet.current();
    form.fleet.place(n, boxes_value(form, latitude_boxes), boxes_value(form, longitude_boxes), &form);
    if (const auto speed = box_number(form.speed_box)) form.fleet.set_speed(n, *speed, &form);
    if (const auto course = box_number(form.course_box)) form.fleet.set_course(n, *course, &form);
    form.fleet.set_unit(n, form.mph_option.selected() ? SpeedUnit::knots
                           : form.kmh_option.selected()   ? SpeedUnit::kmh
                                                      : SpeedUnit::none,
                        &form);
}

void hemisphere_box_changed(PanelForm& form, const CoordinateBoxes& c) {
    held_keys(form, c).clear();
    position_box_changed(form, c);
}

void hemisphere_key_down(PanelForm& form, const CoordinateBoxes& c, int key) {
    saved_text(form, c) = (form.*c.hemisphere).text();
    held_keys(form, c).insert(key);
}

// The key decides, not the character: n and N both give "N". Another key
// puts back what the box showed when it went down. Only a key that went down
// in the box since its text last changed counts on release: the key that
// moved the focus here, or a key held while a tick showed another vehicle,
// keeps what the box shows. Shift and the letter may be released in either
// order: each release is the release of its own key.
void hemisphere_key_up(PanelForm& form, const CoordinateBoxes& c, int key) {
    if (held_keys(form, c).erase(key) == 0) return;
    TextBox& box = form.*c.hemisphere;
    if (key == keys::letter(c.positive)) {
        box.set_text(std::string(1, c.positive));
    } else if (key == keys::letter(c.negative)) {
        box.set_text(std::string(1, c.negative));
    } else {
        box.set_text(saved_text(form, c));
    }
}

}  // namespace vadrel
