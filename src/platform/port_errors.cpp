#include "port_errors.h"

#include <string>

namespace vadrel {

std::string_view port_error_text(PortError error) {
    for (const PortErrorEntry& entry : port_error_table) {
        if (entry.error == error) return entry.testo;
    }
    return "errore della porta";
}

PortFailure port_failure(PortError error, std::string_view detail) {
    std::string message(port_error_text(error));
    if (!detail.empty()) {
        message += ": ";
        message += detail;
    }
    return PortFailure(static_cast<int>(error), message);
}

}  // namespace vadrel
