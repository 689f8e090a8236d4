#pragma once
// The encounter part of "Bersagli AIS...": a vehicle, CPA (nautical miles),
// TCPA (minutes) and the side, read as they are typed (the decimal comma,
// a point too) with what is wrong said under them; "Prepara incontro" hands
// the encounter to the program's own change (the control interface's), and
// from then on the box tells the encounter's CPA and TCPA once a second.

#include <QGroupBox>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ais/encounter.h"
#include "os/result.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vadrel::gui {

struct EncounterActions {
    // The program's change: what was done, one line a change, or why not.
    std::function<Result<std::vector<std::string>>(const EncounterAsk&)> place;
    // The CPA and TCPA of vehicle N from the own ship as they move now.
    std::function<std::optional<Approach>(std::size_t)> approach;
};

// The encounter as the boxes say it: the vehicle a whole number that
// exists, CPA and TCPA numbers (comma or point) the encounter takes, the
// side "dritta" or "sinistra"; or the refusal, its field the box at fault
// ("mezzo", "cpa", "tcpa", "lato").
std::variant<EncounterAsk, Refusal> read_encounter_boxes(const std::string& vehicle, const std::string& cpa,
                                                         const std::string& tcpa, const std::string& side);

// A box's caption, its mnemonic taking the keyboard to the box.
QLabel* buddy_caption(const char* text, QWidget* buddy, QWidget* parent);

// Whether the event is Return or Enter pressed: a box's own action, not the dialog's OK.
bool is_return_press(const QEvent* event);

// What a box understood in green, what is wrong in dark red.
void tint_said(QLabel* label, bool understood);

class EncounterBox : public QGroupBox {
    Q_OBJECT
public:
    EncounterBox(EncounterActions actions, QWidget* parent);
    // Return in one of its boxes prepares the encounter; it is not the dialog's OK.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void read();
    void prepare();
    void tell();

    EncounterActions actions_;
    QComboBox* vehicle_;
    QLineEdit* cpa_;
    QLineEdit* tcpa_;
    QComboBox* side_;
    QPushButton* prepare_;
    QLabel* understood_;
    QLabel* now_;
    std::optional<EncounterAsk> ask_;
    std::optional<std::size_t> followed_;
    QTimer every_second_;
};

}  // namespace vadrel::gui
