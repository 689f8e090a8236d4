#include "system_error.h"

#include <cerrno>
#include <cstring>

namespace vadrel {

std::string italian_reason(int error) {
    switch (error) {
        // files and folders
        case EACCES:
        case EPERM: return "permesso negato";
        case EROFS: return "il disco è di sola lettura";
        case ENOSPC: return "il disco è pieno";
        case EDQUOT: return "lo spazio disponibile per l'utente è esaurito";
        case EFBIG: return "il file supera la dimensione consentita";
        case EIO: return "errore di lettura o scrittura del dispositivo (guasto o scollegato?)";
        case EISDIR: return "al posto del file c'è una cartella";
        case ENOTDIR: return "una parte del percorso non è una cartella";
        case ENOENT: return "il file o la cartella non esiste";
        case EEXIST: return "il nome è già usato";
        case ELOOP: return "troppi collegamenti simbolici (un collegamento che rimanda a sé stesso?)";
        case ENAMETOOLONG: return "nome troppo lungo";
        case ETXTBSY: return "il file è in uso";
        case EBUSY: return "occupato da un altro programma";
        case EXDEV: return "su un altro disco";
        case ENXIO: return "nessun programma legge all'altro capo";
        case ENODEV: return "dispositivo inesistente";
        case EAGAIN: return "risorsa temporaneamente occupata";
        case EINTR: return "interrotto da un segnale";
        case EINVAL: return "valore non valido";
        case EBADF: return "descrittore non valido";
        // resources
        case EMFILE: return "troppi file aperti dal programma";
        case ENFILE: return "troppi file aperti nel sistema";
        case ENOBUFS:
        case ENOMEM: return "memoria esaurita";
        // network
        case ENETUNREACH: return "rete irraggiungibile";
        case EHOSTUNREACH: return "destinazione irraggiungibile";
        case EADDRNOTAVAIL: return "indirizzo non disponibile su questo computer";
        case EADDRINUSE: return "indirizzo già in uso";
        case EAFNOSUPPORT: return "protocollo non disponibile su questo computer";
        case EMSGSIZE: return "datagramma troppo grande";
        case ECONNREFUSED: return "rifiutato dalla destinazione";
        case ECONNRESET: return "collegamento interrotto";
        case EPIPE: return "chi leggeva ha chiuso";
        case ETIMEDOUT: return "tempo scaduto";
        case ENETDOWN: return "rete non attiva";
        default: break;
    }
    const char* name = error != 0 ? ::strerrorname_np(error) : nullptr;
    return "errore di sistema " + std::string(name ? name : "sconosciuto") + " (" + std::to_string(error) + ")";
}

std::string Failure::message() const {
    if (error_ == 0 && why_.empty()) return what_;
    return what_ + ": " + (error_ != 0 ? italian_reason(error_) : why_);
}

}  // namespace vadrel
