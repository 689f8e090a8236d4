#pragma once
// "Uscite": the network outputs on and off, their address and port, and what
// they are doing: clients connected, sentences skipped, targets and failures.
// Modeless, so the operator can watch it while the panel runs; it costs
// nothing while closed. It only shows and returns a plain OutputSettings;
// applying and keeping them is the caller's.

#include <QDialog>
#include <functional>
#include <string>

#include "os/result.h"
#include "config/output_settings.h"
#include "outputs/network_outputs.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTreeWidget;

namespace vadrel::gui {

class OutputsDialog : public QDialog {
    Q_OBJECT
public:
    // change: applies and keeps the settings; returns what could not be done.
    using Change = std::function<Result<>(const OutputSettings&)>;
    OutputsDialog(const NetworkOutputs& outputs, Change change, QWidget* parent = nullptr);

    // Fills the fields with the settings in force and shows the dialog.
    void open_on_settings();
    // The settings the fields hold.
    OutputSettings settings() const;
    // Copies what the outputs are doing into the dialog (after each tick).
    void refresh();

private:
    // Applies the fields; false, with a message, when something could not be done.
    bool apply();

    const NetworkOutputs& outputs_;
    Change change_;
    QCheckBox* tcp_on_;
    QLineEdit* tcp_address_;
    QSpinBox* tcp_port_;
    QSpinBox* tcp_max_;
    QLabel* tcp_status_;
    QTreeWidget* tcp_clients_;
    QCheckBox* udp_on_;
    QPlainTextEdit* udp_targets_;
    QTreeWidget* udp_status_;
    QCheckBox* streams_on_;
    QLineEdit* streams_address_;
    QSpinBox* streams_port_;
    QPlainTextEdit* send_to_;
    QLineEdit* streams_to_;
    QLabel* streams_status_;
};

}  // namespace vadrel::gui
