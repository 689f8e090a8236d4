#include "tile_settings.h"

#include <QUrl>

namespace vadrel {

namespace {

constexpr const char* map_group = "mappa";

}  // namespace

std::string tile_address_problem(const std::string& address) {
    const QString text = QString::fromStdString(address).trimmed();
    if (text.isEmpty()) return "manca l'indirizzo";
    for (const char* field : {"{z}", "{x}", "{y}"}) {
        if (!text.contains(QLatin1String(field))) return std::string("l'indirizzo non contiene ") + field;
    }
    const QUrl url(text);
    if (!url.isValid()) return "l'indirizzo non è scritto come un indirizzo web";
    const QString scheme = url.scheme().toLower();
    if (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))
        return "l'indirizzo non comincia con http:// o https://";
    if (url.host().isEmpty()) return "l'indirizzo non ha un server";
    return {};
}

GroupRead<TileSettings> read_tile_settings(const SettingsFile& file) {
    GroupReader read(file, map_group);
    TileSettings settings;
    settings.on = read.flag("strade", settings.on);
    settings.address = read.text("indirizzo", settings.address);
    if (const std::string why = tile_address_problem(settings.address); !why.empty()) {
        settings.address = read.refuse("indirizzo", "un indirizzo http o https con {z}, {x} e {y}",
                                       std::string(default_tile_address));
    }
    // A layer that cannot be what the file says stays off.
    if (read.refused() != 0) settings.on = false;
    return read.done(settings);
}

Result<> save_tile_settings(SettingsFile& file, const TileSettings& settings) {
    return file.save_group(map_group, {
                                      {"strade", settings.on},
                                      {"indirizzo", QString::fromStdString(settings.address)},
                                  });
}

}  // namespace vadrel
