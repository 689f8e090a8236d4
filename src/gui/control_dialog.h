#pragma once
// "Uscite > Controllo...": the control interface on and off, its address and
// port, and what it is doing (where it listens, its connections). Modeless,
// as the network outputs' dialog. It only shows and returns a plain
// ControlSettings; applying and keeping them is the caller's.

#include <QDialog>
#include <functional>
#include <string>

#include "os/result.h"
#include "config/control_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace vadrel::gui {

class ControlDialog : public QDialog {
    Q_OBJECT
public:
    // change: applies and keeps the settings, returns what could not be done;
    // status: what the interface is doing, in Italian.
    using Change = std::function<Result<>(const ControlSettings&)>;
    using Status = std::function<std::string()>;
    ControlDialog(Change change, Status status, QWidget* parent = nullptr);

    // Fills the fields with these settings and shows the dialog.
    void open_on(const ControlSettings& in_force);
    ControlSettings settings() const;
    // Copies the status into the dialog (after each tick).
    void refresh();

private:
    bool apply();

    Change change_;
    Status status_;
    QCheckBox* on_;
    QLineEdit* address_;
    QSpinBox* port_;
    QLabel* status_label_;
};

}  // namespace vadrel::gui
