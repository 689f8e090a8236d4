#include "settings_file.h"

#include <QFile>
#include <QSettings>
#include <cerrno>
#include <cmath>

#include "os/qt_file_error.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

// A settings file is a few hundred bytes; one of more than this is not used.
constexpr std::size_t largest_settings = 1 << 20;

// QSettings' status after a read or a sync; `system_error` is errno right
// after it (QSettings keeps no reason of its own).
std::string status_text(QSettings::Status status, int system_error) {
    switch (status) {
        case QSettings::NoError: return {};
        case QSettings::AccessError:
            return "impossibile leggere o scrivere la copia di lavoro" +
                   (system_error != 0 ? ": " + italian_reason(system_error) : std::string());
        case QSettings::FormatError: return "il file non è nel formato delle impostazioni";
    }
    return "errore sconosciuto";
}

QString key_of(const std::string& group, const std::string& key) {
    return QString::fromStdString(group + "/" + key);
}

// What QSettings is given to write: an empty list or no value as an empty
// text, which it would otherwise write as "@Invalid()", a marker no person
// or other program reads as "none".
QVariant written(const QVariant& value) {
    if (!value.isValid()) return QString();
    if (value.typeId() == QMetaType::QStringList && value.toStringList().isEmpty()) return QString();
    if (value.typeId() == QMetaType::QVariantList && value.toList().isEmpty()) return QString();
    return value;
}

}  // namespace

SettingsFile::SettingsFile(const ProgramFolder& folder)
    : folder_(folder), path_(folder.shown(settings_file_name).toStdString()) {
    std::string bytes;
    const FolderEntry entry = folder_.look(settings_file_name);
    if (entry.kind != FolderEntry::Kind::missing) {
        int error = 0;
        const auto read = folder_.read(settings_file_name, largest_settings + 1, &error);
        if (read && read->size() <= largest_settings) {
            bytes = *read;
        } else if (read) {
            // Read in part, it would be written back in part.
            problem_ = "il file supera " + std::to_string(largest_settings >> 20) + " MiB";
        } else {
            const QString why = not_usable(entry);
            problem_ = !why.isEmpty() ? why.toStdString()
                       : error != 0   ? "impossibile leggere il file: " + italian_reason(error)
                                      : "impossibile leggere il file";
        }
    }
    errno = 0;
    if (!copy_.open() || copy_.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !copy_.flush()) {
        if (problem_.empty()) problem_ = "impossibile preparare la copia di lavoro: " + file_reason(copy_.error(), errno);
    }
    settings_ = std::make_unique<QSettings>(copy_.fileName(), QSettings::IniFormat);
    // QSettings reads lazily; its status tells only after the first read.
    errno = 0;
    settings_->allKeys();
    if (problem_.empty()) problem_ = status_text(settings_->status(), errno);
}

SettingsFile::~SettingsFile() = default;

QVariant SettingsFile::value(const std::string& group, const std::string& key, const QVariant& fallback) const {
    return settings_->value(key_of(group, key), fallback);
}

QString SettingsFile::text(const std::string& group, const std::string& key) const {
    const QVariant read = value(group, key);
    // QSettings splits a value at its commas.
    return read.typeId() == QMetaType::QStringList ? read.toStringList().join(QLatin1Char(',')) : read.toString();
}

std::string SettingsFile::refusal(const std::string& group, const std::string& key, const std::string& wanted) const {
    return path_ + ": [" + group + "] " + key + " vuole " + wanted + ", non \"" + text(group, key).toStdString() + "\"";
}

bool GroupReader::flag(const char* key, bool fallback) {
    const QString text = trimmed(key).toLower();
    if (text.isEmpty()) return fallback;
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return refuse(key, "true o false", fallback);
}

long long GroupReader::integer(const char* key, long long fallback, long long lowest, long long highest) {
    const QString text = trimmed(key);
    if (text.isEmpty()) return fallback;
    bool read = false;
    const long long value = text.toLongLong(&read);
    if (read && value >= lowest && value <= highest) return value;
    return refuse(key, "un numero da " + std::to_string(lowest) + " a " + std::to_string(highest), fallback);
}

double GroupReader::number(const char* key, double fallback) {
    const QString text = trimmed(key);
    if (text.isEmpty()) return fallback;
    bool read = false;
    const double value = text.toDouble(&read);
    return read && std::isfinite(value) ? value : refuse(key, "un numero", fallback);
}

std::uint64_t GroupReader::whole(const char* key, std::uint64_t fallback) {
    const QString text = trimmed(key);
    if (text.isEmpty()) return fallback;
    bool read = false;
    const std::uint64_t value = text.toULongLong(&read);
    return read ? value : refuse(key, "un numero intero da 0 a 18446744073709551615", fallback);
}

std::string GroupReader::text(const char* key, const std::string& fallback) {
    const QString text = trimmed(key);
    return text.isEmpty() ? fallback : text.toStdString();
}

std::string SettingsFile::save_group(const std::string& group, const std::map<std::string, QVariant>& values) {
    if (!problem_.empty()) return "il file " + path_ + " non è stato letto (" + problem_ + ") e resta com'è";
    settings_->remove(QString::fromStdString(group));
    for (const auto& [key, value] : values) settings_->setValue(key_of(group, key), written(value));
    errno = 0;
    settings_->sync();
    if (const std::string why = status_text(settings_->status(), errno); !why.empty())
        return "impossibile salvare " + path_ + ": " + why;
    QFile copy(copy_.fileName());
    errno = 0;
    if (!copy.open(QIODevice::ReadOnly)) return "impossibile salvare " + path_ + ": " + file_reason(copy.error(), errno);
    const QByteArray bytes = copy.readAll();
    if (const FileError error = folder_.replace(settings_file_name, bytes.toStdString()))
        return "impossibile salvare " + path_ + ": " + error.text().toStdString();
    return {};
}

}  // namespace vadrel
