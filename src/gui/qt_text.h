#pragma once
// The model's UTF-8 texts as the window shows them.

#include <QString>
#include <string>

#include "model/utf8.h"

namespace vadrel::gui {

// A text may hold a name or a value from a file or a client: its control
// characters are shown written out (model/utf8.h), its line feeds kept.
inline QString qt_text(const std::string& text) { return QString::fromStdString(printable(text, LineFeeds::kept)); }

}  // namespace vadrel::gui
