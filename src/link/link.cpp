#include "link.h"

#include <algorithm>

#include "serial/ports.h"

namespace vadrel {

using link_caption::chosen_closed;
using link_caption::chosen_open;

std::optional<Refusal> port_number_problem(long number) {
    if (valid_com_port(number)) return std::nullopt;
    return Refusal{"numero", "la porta va da " + std::to_string(com_ports.front()) + " a " +
                                 std::to_string(com_ports.back()) + ", non " + std::to_string(number)};
}

std::optional<Refusal> baud_problem(long baud) {
    if (valid_line_speed(baud)) return std::nullopt;
    return Refusal{"baud", "la velocità della linea è " + line_speed_list() + ", non " + std::to_string(baud)};
}

std::optional<Refusal> Link::set_start(int number, int baud) {
    if (auto bad = port_number_problem(number)) return bad;
    if (auto bad = baud_problem(baud)) return bad;
    number_ = number;
    baud_ = baud;
    return std::nullopt;
}

void Link::start(Origin origin) {
    if (number_ == 0) {
        caption_ = chosen_closed;
        tell(LinkChange::closed, origin);
        return;
    }
    opening(origin, [this] {
        port_.set_port_number(static_cast<std::int16_t>(number_));
        port_.set_settings(line_settings_text(baud_));
        port_.open();
    });
}

std::optional<Refusal> Link::choose(int number, Origin origin) {
    if (auto bad = port_number_problem(number)) return bad;
    number_ = number;
    reopen(origin);
    return std::nullopt;
}

void Link::reopen(Origin origin) {
    opening(origin, [this] {
        if (port_.is_open()) port_.close();
        port_.set_port_number(static_cast<std::int16_t>(number_));
        if (const std::string wanted = line_settings_text(baud_); port_.settings() != wanted) port_.set_settings(wanted);
        port_.open();
    });
}

void Link::opening(Origin origin, const std::function<void()>& open) {
    try {
        open();
    } catch (const PortFailure& e) {
        fail(e.what(), origin);
        return;
    }
    problem_.clear();
    caption_ = chosen_open;
    tell(LinkChange::opened, origin);
}

std::optional<Refusal> Link::choose(int number, int baud, Origin origin) {
    if (auto bad = port_number_problem(number)) return bad;
    if (auto bad = baud_problem(baud)) return bad;
    if (baud != baud_) {
        baud_ = baud;
        tell(LinkChange::speed, origin);
    }
    number_ = number;
    reopen(origin);
    return std::nullopt;
}

std::optional<Refusal> Link::set_baud(int baud, Origin origin) {
    if (auto bad = baud_problem(baud)) return bad;
    if (!port_.is_open()) {
        return Refusal{"baud", "nessuna porta è aperta: la velocità si cambia sulla porta aperta, o insieme alla porta "
                               "scelta"};
    }
    baud_ = baud;
    try {
        port_.close();
        port_.set_settings(line_settings_text(baud));
        port_.open();
    } catch (const PortFailure& e) {
        tell(LinkChange::speed, origin);
        fail(e.what(), origin);
        return std::nullopt;
    }
    tell(LinkChange::speed, origin);
    return std::nullopt;
}

std::optional<Refusal> Link::set_device(int number, const std::string& device, Origin origin) {
    if (auto bad = port_number_problem(number)) return bad;
    try {
        devices_.use_device(number, device);
    } catch (const PortFailure& e) {
        // A virtual port that cannot be made: the COM stays as it was.
        return Refusal{"dispositivo", e.what()};
    }
    tell(LinkChange::device, origin);
    // The port chosen is opened again on its new device (the old one is closed by now).
    if (number == number_) reopen(origin);
    return std::nullopt;
}

void Link::set_transmitting(bool on, Origin origin) {
    transmitting_ = on;
    caption_ = !on ? link_caption::stopped : port_.is_open() ? link_caption::sending : link_caption::not_sending;
    tell(LinkChange::transmitting, origin);
}

void Link::lost(const std::string& reason, Origin origin) {
    try {
        if (port_.is_open()) port_.close();
    } catch (const PortFailure&) {
        // the port is gone already
    }
    fail(reason, origin);
}

void Link::close() {
    try {
        if (port_.is_open()) port_.close();
    } catch (const PortFailure&) {
        // a port that fails to close is closed enough
    }
}

void Link::fail(const std::string& reason, Origin origin) {
    problem_ = reason;
    number_ = 0;
    caption_ = chosen_closed;
    tell(LinkChange::closed, origin);
}

Link::WatchId Link::watch(Watcher watcher) {
    const WatchId id = next_watch_++;
    watchers_.emplace_back(id, std::move(watcher));
    return id;
}

void Link::unwatch(WatchId id) {
    std::erase_if(watchers_, [id](const auto& entry) { return entry.first == id; });
}

void Link::tell(LinkChange what, Origin origin) {
    // On a copy: a watcher may come or go meanwhile.
    const auto watchers = watchers_;
    for (const auto& [id, watcher] : watchers) watcher(what, origin);
}

}  // namespace vadrel
