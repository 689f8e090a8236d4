#pragma once
// The receiver under a sky, for the full set (Cielo): the satellites from
// their orbits, the elevation mask, the obstructions, the position noise,
// the fixes a second, the talker and the list of sentences. OK refuses what
// cannot be used, saying why under the fields, with the command line's words.

#include <QDialog>

#include "model/receiver_options.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace vadrel::gui {

class SkyDialog : public QDialog {
    Q_OBJECT
public:
    SkyDialog(const Cielo& current, QWidget* parent);
    const Cielo& cielo() const { return cielo_; }
    void accept() override;

private:
    QCheckBox* satelliti_;
    QDoubleSpinBox* maschera_;
    QLineEdit* ostacoli_;
    QDoubleSpinBox* rumore_;
    QComboBox* frequenza_;
    QComboBox* talker_;
    QLineEdit* frasi_;
    QLabel* problema_;
    Cielo cielo_;
};

}  // namespace vadrel::gui
