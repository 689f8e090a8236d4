#include "port_errors.h"

#include <string>

namespace vadrel {

namespace {

std::string_view text_of(PortError error) {
    switch (error) {
        case PortError::porta_inesistente: return "porta inesistente";
        case PortError::porta_in_uso: return "porta già in uso o non accessibile";
        case PortError::impostazioni_non_valide: return "impostazioni non valide";
        case PortError::impostazioni_rifiutate: return "impostazioni rifiutate dalla porta";
        case PortError::porta_persa: return "porta persa durante la scrittura";
        case PortError::porta_virtuale_non_creata: return "porta virtuale non disponibile";
        case PortError::errore_porta: break;
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
