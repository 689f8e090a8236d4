#include "port_errors.h"

#include <string>

namespace vadrel {

namespace {

std::string_view text_of(PortError error) {
    switch (error) {
        case PortError::port_missing: return "porta inesistente";
        case PortError::port_busy: return "porta già in uso o non accessibile";
        case PortError::settings_invalid: return "impostazioni non valide";
        case PortError::settings_refused: return "impostazioni rifiutate dalla porta";
        case PortError::port_lost: return "porta persa durante la scrittura";
        case PortError::virtual_port_not_created: return "porta virtuale non disponibile";
        case PortError::port_error_text: break;
    }
    return "errore della porta";
}

}  // namespace

PortFailure port_failure(PortError error, std::string_view detail) {
    std::string message(text_of(error));
    if (!detail.empty()) {
        message += ": ";
        message += detail;
    }
    return PortFailure(static_cast<int>(error), message);
}

}  // namespace vadrel
