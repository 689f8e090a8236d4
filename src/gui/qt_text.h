#pragma once
// The model's UTF-8 texts as the window shows them.

#include <QString>
#include <string>

namespace vadrel::gui {

inline QString qt_text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace vadrel::gui
