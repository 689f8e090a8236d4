#include "qt_file_error.h"

#include "os/system_error.h"

namespace vadrel {

std::string file_reason(QFileDevice::FileError error, int system_error) {
    if (system_error != 0) return italian_reason(system_error);
    switch (error) {
        case QFileDevice::NoError: break;
        case QFileDevice::ReadError: return "lettura non riuscita";
        case QFileDevice::WriteError: return "scrittura non riuscita";
        case QFileDevice::FatalError: return "errore grave del file";
        case QFileDevice::ResourceError: return "risorse del sistema esaurite";
        case QFileDevice::OpenError: return "il file non si apre";
        case QFileDevice::AbortError: return "operazione interrotta";
        case QFileDevice::TimeOutError: return "tempo scaduto";
        case QFileDevice::RemoveError: return "il file non si può togliere";
        case QFileDevice::RenameError: return "il file non si può rinominare";
        case QFileDevice::PositionError: return "posizione non valida nel file";
        case QFileDevice::ResizeError: return "il file non si può ridimensionare";
        case QFileDevice::PermissionsError: return "i permessi del file non si possono cambiare";
        case QFileDevice::CopyError: return "copia non riuscita";
        case QFileDevice::UnspecifiedError: break;
    }
    return "errore sconosciuto";
}

}  // namespace vadrel
