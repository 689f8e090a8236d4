#include "help_key.h"

#include <QKeyEvent>

namespace vadrel::gui {

bool HelpKey::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1) return false;
    if (!key->isAutoRepeat()) form_.platform.shell.show_help(form_.help_file);
    return true;
}

}  // namespace vadrel::gui
