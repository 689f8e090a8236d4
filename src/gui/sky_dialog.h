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
    SkyDialog(const SkyOptions& current, QWidget* parent);
    const SkyOptions& sky_options() const { return sky_options_; }
    void accept() override;

private:
    QCheckBox* satellites_;
    QDoubleSpinBox* mask_;
    QLineEdit* obstructions_;
    QDoubleSpinBox* noise_;
    QComboBox* rate_;
    QComboBox* talker_;
    QLineEdit* sentences_;
    QLabel* problem_;
    SkyOptions sky_options_;
};

}  // namespace vadrel::gui
