#pragma once
// The model's UTF-8 texts as the window shows them.

#include <QLocale>
#include <QString>
#include <string>

#include "model/numbers.h"
#include "model/utf8.h"

namespace vadrel::gui {

// A text may hold a name or a value from a file or a client: its control
// characters are shown written out (model/utf8.h), its line feeds kept.
inline QString qt_text(const std::string& text) { return QString::fromStdString(printable(text, LineFeeds::kept)); }

// The regional format as Qt's number boxes write and read it: "0,0" with the
// comma, no grouping in a box.
inline QLocale regional_locale(RegionalFormat format) {
    QLocale locale = format.decimal == ',' ? QLocale(QLocale::Italian, QLocale::Italy) : QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

}  // namespace vadrel::gui
