#pragma once
// OK, Annulla and Applica at the foot of a dialog that applies its settings:
// Applica applies them and the dialog stays, OK applies them and closes when
// they were taken, Annulla closes. The buttons are named "ok" and "applica"
// for the tests.

#include <QDialogButtonBox>
#include <functional>

class QDialog;

namespace vadrel::gui {

// `apply` says whether the settings were taken.
QDialogButtonBox* apply_buttons(QDialog& dialog, const std::function<bool()>& apply);

}  // namespace vadrel::gui
