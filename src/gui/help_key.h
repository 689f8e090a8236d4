#pragma once
// F1 in any window of the program opens the help file: installed on the
// application, it takes the key before any widget does.

#include <QObject>

#include "panel/panel_form.h"

namespace vadrel::gui {

class HelpKey : public QObject {
public:
    HelpKey(PanelForm& form, QObject* parent) : QObject(parent), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PanelForm& form_;
};

}  // namespace vadrel::gui
