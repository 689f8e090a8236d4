#include "italian_qt_texts.h"

#include <cstring>

namespace vadrel::gui {

namespace {

struct TextPair {
    const char* source;
    const char* italian;
};

// The editing menus of QLineEdit and of the rich-text widgets use the same
// source texts under their own contexts.
constexpr TextPair edit_menu[] = {
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

constexpr TextPair button_texts[] = {
    {"Close", "Chiudi"},
    {"Cancel", "Annulla"},
};

const char* find_text(const TextPair* begin, const TextPair* end, const char* source) {
    for (const TextPair* t = begin; t != end; ++t) {
        if (std::strcmp(t->source, source) == 0) return t->italian;
    }
    return nullptr;
}

}  // namespace

ItalianQtTexts::ItalianQtTexts(QObject* parent) : QTranslator(parent) {}

QString ItalianQtTexts::translate(const char* context, const char* source_text,
                                   const char* /*disambiguation*/, int /*n*/) const {
    if (context == nullptr || source_text == nullptr) return QString();
    const char* found = nullptr;
    if (std::strcmp(context, "QLineEdit") == 0 || std::strcmp(context, "QWidgetTextControl") == 0) {
        found = find_text(std::begin(edit_menu), std::end(edit_menu), source_text);
    } else if (std::strcmp(context, "QPlatformTheme") == 0) {
        found = find_text(std::begin(button_texts), std::end(button_texts), source_text);
    }
    return found != nullptr ? QString::fromUtf8(found) : QString();
}

}  // namespace vadrel::gui
