#include "italian.h"

#include <cstring>

namespace vadrel::gui {

namespace {

struct Testo {
    const char* source;
    const char* italiano;
};

// The editing menus of QLineEdit and of the rich-text widgets use the same
// source texts under their own contexts.
constexpr Testo menu_modifica[] = {
    {"&Undo", "&Annulla"},
    {"&Redo", "&Ripeti"},
    {"Cu&t", "&Taglia"},
    {"&Copy", "&Copia"},
    {"&Paste", "I&ncolla"},
    {"Delete", "Elimina"},
    {"Select All", "Seleziona tutto"},
    {"Copy &Link Location", "Copia l'indirizzo del co&llegamento"},
    {"Insert Unicode control character", "Inserisci carattere di controllo Unicode"},
};

constexpr Testo pulsanti[] = {
    {"Close", "Chiudi"},
    {"Cancel", "Annulla"},
};

const char* cerca(const Testo* begin, const Testo* end, const char* source) {
    for (const Testo* t = begin; t != end; ++t) {
        if (std::strcmp(t->source, source) == 0) return t->italiano;
    }
    return nullptr;
}

}  // namespace

TestiQtItaliani::TestiQtItaliani(QObject* parent) : QTranslator(parent) {}

QString TestiQtItaliani::translate(const char* context, const char* source_text,
                                   const char* /*disambiguation*/, int /*n*/) const {
    if (context == nullptr || source_text == nullptr) return QString();
    const char* found = nullptr;
    if (std::strcmp(context, "QLineEdit") == 0 || std::strcmp(context, "QWidgetTextControl") == 0) {
        found = cerca(std::begin(menu_modifica), std::end(menu_modifica), source_text);
    } else if (std::strcmp(context, "QPlatformTheme") == 0) {
        found = cerca(std::begin(pulsanti), std::end(pulsanti), source_text);
    }
    return found != nullptr ? QString::fromUtf8(found) : QString();
}

}  // namespace vadrel::gui
