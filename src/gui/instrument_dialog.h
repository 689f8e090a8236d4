#pragma once
// "Opzioni" > "Strumenti di bordo...": whether the current vehicle's
// instruments speak after each second in GPS standard, and what they are
// told: the true wind (from where, knots), the current (to where, knots),
// the depth under the transducer and its offset, the water's temperature,
// the compass's variation and deviation (empty: not known). Numbers with
// the decimal comma, as the rest of the window (a point is read too).
// OK and Applica refuse a field that is no number or out of range, saying why under the
// fields and putting the cursor there; what it accepts goes to the
// program's change.

#include <QDialog>
#include <array>
#include <functional>

#include "config/instrument_settings_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace vadrel::gui {

// The program's change: done, or refused or failed with the reason.
using InstrumentChange = std::function<Result<>(const InstrumentSettings&)>;

class InstrumentDialog : public QDialog {
    Q_OBJECT
public:
    InstrumentDialog(const InstrumentSettings& current, InstrumentChange change, QWidget* parent);
    const InstrumentSettings& settings() const { return settings_; }
    // The fields checked and given to the change (OK, Applica): whether it took them.
    bool apply();

    static constexpr std::size_t field_count = 9;

private:
    InstrumentChange change_;
    QCheckBox* enabled_;
    std::array<QLineEdit*, field_count> fields_{};
    QLabel* problem_;
    InstrumentSettings settings_;
};

// Adds "Strumenti di bordo..." to the menu: the dialog on the settings in force.
void add_instrument_entry(QMenu& menu, std::function<InstrumentSettings()> current, InstrumentChange change);

}  // namespace vadrel::gui
