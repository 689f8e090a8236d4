// vadrel.cnf on disk, in the program's folder. The path is always built from
// the folder; the current directory is never changed here.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <array>
#include <cerrno>
#include <optional>

#include "configurazione.h"

namespace vadrel {

namespace {

// A good file is under 2 KB; a file of more than this is read only this far,
// so a huge or endless file cannot hold up the start-up.
constexpr qint64 largest_file = 1 << 20;

QString folder_of(const Form1& form) { return QString::fromStdString(form.cartella_programma); }

std::string_view view_of(const QByteArray& data) {
    return std::string_view(data.constData(), static_cast<std::size_t>(data.size()));
}

QString config_path(const Form1& form) {
    return QDir(folder_of(form)).filePath(QString::fromLatin1(nome_file_configurazione));
}

// The bytes of a regular file, or nothing when missing or unreadable.
std::optional<QByteArray> read_file(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile()) return std::nullopt;  // missing, or a directory, fifo or device
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray data = file.read(largest_file);
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return data;
}

// The system's own reason for a failed file operation, in Italian. A missing
// folder is told from the folder itself, not from the error: a file system
// that refuses the call can report "no such file" too.
QString system_reason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return QStringLiteral("permesso negato");
        case EROFS:
            return QStringLiteral("il disco è di sola lettura");
        case ENOSPC:
            return QStringLiteral("il disco è pieno");
        case EDQUOT:
            return QStringLiteral("lo spazio disponibile per l'utente è esaurito");
        case EFBIG:
            return QStringLiteral("il file supera la dimensione consentita");
        case EIO:
            return QStringLiteral("errore di lettura o scrittura sul disco");
        case EISDIR:
            return QStringLiteral("al posto del file c'è una cartella");
        default:
            return {};
    }
}

// Why the save failed: what the folder shows first, then the error of the call.
QString reason(const Form1& form, const QString& path, const QString& step, int error) {
    const QString folder = form.cartella_programma.empty() ? QStringLiteral(".") : folder_of(form);
    const QFileInfo folder_info(folder);
    QString why;
    if (!folder_info.exists()) {
        why = QStringLiteral("la cartella %1 non esiste").arg(QDir::toNativeSeparators(folder));
    } else if (!folder_info.isDir()) {
        why = QStringLiteral("%1 non è una cartella").arg(QDir::toNativeSeparators(folder));
    } else if (QFileInfo(path).isDir()) {
        why = QStringLiteral("al posto del file c'è una cartella");
    } else {
        why = system_reason(error);
    }
    return why.isEmpty() ? step : step + QStringLiteral(": ") + why;
}

void report(Form1& form, const QString& text) {
    form.platform.shell.message_box(text.toStdString(), program_title);
}

// Writes `data` to `path` through a file beside it renamed over the old one.
// Empty when done, otherwise the Italian reason.
QString save_atomically(const Form1& form, const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    errno = 0;
    // Unbuffered: a buffered write that the disk takes only in part is
    // flushed at commit, where a short write is not reported and the cut
    // file would replace the good one. Written directly, the count tells.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return reason(form, path, QStringLiteral("impossibile creare il file"), errno);
    }
    errno = 0;
    if (file.write(data) != data.size() || file.size() != data.size()) {
        const int error = errno;
        file.cancelWriting();
        return reason(form, path, QStringLiteral("scrittura non riuscita"), error);
    }
    errno = 0;
    if (!file.commit()) {
        return reason(form, path, QStringLiteral("scrittura non riuscita"), errno);
    }
    return {};
}

// A present file that does not read to its end marker was edited or damaged
// outside the program; the table read from it may be only part of it. Keep
// its bytes beside it before the table replaces it.
void keep_damaged_file(Form1& form, const QString& path) {
    const auto data = read_file(path);
    if (!data || data->isEmpty()) return;
    std::array<veicolo, numero_mezzi> scratch{};
    if (leggi_configurazione_testo(view_of(*data), scratch) == 1) return;
    const QString copy = QDir(folder_of(form)).filePath(QString::fromLatin1(nome_copia_configurazione));
    const QString failure = save_atomically(form, copy, *data);
    const QString shown = QDir::toNativeSeparators(path);
    if (failure.isEmpty()) {
        report(form, QStringLiteral("Il file di configurazione %1 non era leggibile per intero.\n"
                                    "Una copia è stata conservata in %2.")
                         .arg(shown, QDir::toNativeSeparators(copy)));
    } else {
        report(form, QStringLiteral("Il file di configurazione %1 non era leggibile per intero e "
                                    "non è stato possibile conservarne una copia in %2 (%3).")
                         .arg(shown, QDir::toNativeSeparators(copy), failure));
    }
}

}  // namespace

std::string percorso_configurazione(const Form1& form) { return config_path(form).toStdString(); }

std::int16_t leggi_configurazione(Form1& form) {
    const auto data = read_file(config_path(form));
    if (!data) return 0;
    return leggi_configurazione_testo(view_of(*data), form.mezzi);
}

bool scrivi_configurazione(Form1& form) {
    const QString path = config_path(form);
    const std::string text = testo_configurazione(form.mezzi);
    keep_damaged_file(form, path);
    const bool existed = QFileInfo(path).isFile();
    const QString failure =
        save_atomically(form, path, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    if (failure.isEmpty()) return true;
    report(form, QStringLiteral("Impossibile salvare la tabella dei veicoli nel file %1: %2.\n%3")
                     .arg(QDir::toNativeSeparators(path), failure,
                          existed ? QStringLiteral("Il file precedente è rimasto invariato.")
                                  : QStringLiteral("Il file non è stato creato.")));
    return false;
}

}  // namespace vadrel
