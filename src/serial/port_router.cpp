#include "port_router.h"

#include <stdexcept>
#include <utility>

#include "serial/device_port.h"
#include "serial/port_errors.h"
#include "serial/virtual_port.h"

namespace vadrel {

std::string default_device(int number) {
    if (!valid_com_port(number)) return {};
#ifdef _WIN32
    return "COM" + std::to_string(number);
#else
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}

PortRouter::PortRouter() {
    for (const std::int16_t number : com_ports) slot(number).device = default_device(number);
}

PortRouter::~PortRouter() { close(); }

PortRouter::Slot& PortRouter::slot(int number) {
    if (!valid_com_port(number))
        throw std::out_of_range("numero di porta fuori da 1..4: " + std::to_string(number));
    return slots_[static_cast<std::size_t>(number - com_ports.front())];
}

const PortRouter::Slot& PortRouter::slot(int number) const {
    return const_cast<PortRouter*>(this)->slot(number);
}

void PortRouter::use_device(int number, const std::string& device) {
    if (device == virtual_device) {
        use_virtual(number);
        return;
    }
    Slot& target = slot(number);
    target.virtual_path.clear();
    if (target.line && target.line.get() == active_) close();
    target.device = device;
    target.line.reset();
}

const VirtualSerialPort& PortRouter::use_virtual(int number, const std::string& link_path) {
    Slot& target = slot(number);
    auto line = std::make_unique<VirtualSerialPort>(link_path);  // may throw; the slot is untouched then
    const VirtualSerialPort& made = *line;
    if (target.line && target.line.get() == active_) close();
    target.device = made.slave_path();
    target.virtual_path = link_path.empty() ? made.slave_path() : link_path;
    target.line = std::move(line);
    return made;
}

std::string PortRouter::virtual_path(int number) const {
    return valid_com_port(number) ? slot(number).virtual_path : std::string();
}

std::string PortRouter::describe(int number) const {
    if (!valid_com_port(number)) return {};
    const Slot& target = slot(number);
    if (target.line) return target.line->describe();
    return target.device;
}

bool PortRouter::is_open() const { return active_ != nullptr && active_->is_open(); }

void PortRouter::open() {
    if (!valid_com_port(number_))
        throw port_failure(PortError::port_missing, "COM " + std::to_string(number_));
    Slot& target = slot(number_);
    if (is_open() && active_ == target.line.get() && active_settings_ == settings_) return;
    close();
    if (!target.line) {
        if (target.device.empty())
            throw port_failure(PortError::port_missing, "COM " + std::to_string(number_));
        target.line = std::make_unique<DevicePort>(target.device);
    }
    target.line->set_lines(lines_);
    target.line->open(settings_);  // throws PortFailure; nothing is open then
    active_ = target.line.get();
    active_settings_ = settings_;
}

void PortRouter::set_lines(LineListener* lines) {
    lines_ = lines;
    for (Slot& each : slots_) {
        if (each.line) each.line->set_lines(lines);
    }
}

void PortRouter::take_input() {
    if (is_open()) active_->take_input();
}

void PortRouter::close() {
    if (active_ != nullptr) active_->close();
    active_ = nullptr;
}

void PortRouter::set_port_number(std::int16_t number) { number_ = number; }

void PortRouter::set_settings(const std::string& settings) {
    const std::optional<LineSettings> parsed = parse_line_settings(settings);
    if (!parsed) throw port_failure(PortError::settings_invalid, "\"" + settings + "\"");
    settings_ = *parsed;
    settings_text_ = settings;
}

bool PortRouter::write(std::string_view bytes) {
    // A line that is lost closes itself before it throws, so is_open() is
    // false afterwards and the next open() starts afresh.
    return is_open() && active_->write(bytes);
}

}  // namespace vadrel
