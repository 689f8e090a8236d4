#pragma once
// "Vai a posizione...": the operator types where the current vehicle is to
// be, in any form read_position reads; the dialog says at once what it
// understood, or why it cannot, and OK is there only for a position it can
// read. The dialog changes nothing: whoever opened it applies the position,
// at once (OK) or, with `can_reach`, by driving the vehicle there at its
// speed ("Raggiungi").

#include <QDialog>
#include <cstddef>
#include <optional>

#include "panel/form1.h"
#include "motion/position_text.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vadrel::gui {

class GoToDialog : public QDialog {
    Q_OBJECT
public:
    // For the vehicle on the panel now; its position is typed in already,
    // selected, for the operator to type over or change.
    explicit GoToDialog(const Form1& form, QWidget* parent = nullptr, bool can_reach = false);

    // The vehicle the dialog was opened for.
    std::size_t vehicle() const { return vehicle_; }
    // The position typed, when it can be read.
    const std::optional<TypedPosition>& position() const { return position_; }
    // Whether "Raggiungi" closed it (accepted): the vehicle is to drive there.
    bool reach() const { return reach_; }

private:
    void read();

    std::size_t vehicle_;
    QLineEdit* text_;
    QLabel* understood_;
    QPushButton* ok_;
    QPushButton* reach_button_ = nullptr;
    std::optional<TypedPosition> position_;
    bool reach_ = false;
};

}  // namespace vadrel::gui
