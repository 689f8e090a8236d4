#pragma once
// The menu "Opzioni": what the simulated receiver sends. Checkable entries
// switch UTC, the real speed and course, the full set and the loss of the
// signal; "Quota..." asks the altitude of $GPGGA; "Cielo e ricevitore..."
// opens the sky of the full set (SkyDialog); "Guasti..." is checked
// while faults are injected and opens a small dialog of their rates and
// seed. A change reaches the panel at once (it counts from the next second)
// and is handed to `keep`, which keeps it in the settings file; what `keep`
// says went wrong is shown in a message box.

#include <QDialog>
#include <QObject>
#include <functional>
#include <string>

#include "panel/panel_form.h"

class QAction;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;

namespace vadrel::gui {

// The rates of the faults and their seed. OK refuses what cannot be used,
// saying why under the fields.
class FaultsDialog : public QDialog {
    Q_OBJECT
public:
    FaultsDialog(const Faults& current, QWidget* parent);
    // The faults as the fields say, on or off as the box says.
    const Faults& faults() const { return faults_; }
    void accept() override;

private:
    QCheckBox* enabled_;
    QDoubleSpinBox* loss_;
    QDoubleSpinBox* checksum_;
    QDoubleSpinBox* cut_short_;
    QLineEdit* seed_;
    QLineEdit* fix_outage_;
    QLabel* problem_;
    Faults faults_;
};

class OptionsMenu : public QObject {
    Q_OBJECT
public:
    using Keep = std::function<std::string(const ReceiverOptions&)>;
    OptionsMenu(PanelForm& form, QMenuBar& bar, Keep keep);

    // The check marks as the panel has them (after SIGUSR1, say).
    void refresh();
    // The menu, for the entries other options add to it.
    QMenu& menu() { return *menu_; }

private:
    void change(const ReceiverOptions& chosen_options);
    QAction* checkable(const char* name, const QString& text, bool ReceiverOptions::*option);

    PanelForm& form_;
    Keep keep_;
    QMenu* menu_;
    QAction* utc_;
    QAction* real_motion_;
    QAction* full_set_;
    QAction* no_fix_;
    QAction* faults_;
};

}  // namespace vadrel::gui
