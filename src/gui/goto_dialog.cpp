#include "goto_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "gui/dialog_fit.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

// The vehicle's position as the panel shows it, in the first form the dialog reads.
QString shown_position(const Vehicle& v) {
    const auto typed = [](double exact) {
        const WholeSeconds w = whole_seconds(exact);
        return TypedCoordinate{std::fabs(arc_seconds_of(w)), w.negative};
    };
    return qt_text(coordinate_text(typed(v.lat), true) + " " + coordinate_text(typed(v.lon), false));
}

void colour(QLabel* label, const QColor& c) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, c);
    label->setPalette(p);
}

}  // namespace

GoToDialog::GoToDialog(const PanelForm& form, QWidget* parent, bool can_reach)
    : QDialog(parent), vehicle_(form.fleet.current()) {
    setObjectName(QStringLiteral("vai_a_posizione"));
    setWindowTitle(QStringLiteral("Vai a posizione - mezzo %1").arg(vehicle_));

    auto* prompt = new QLabel(QStringLiteral("&Posizione del mezzo %1:").arg(vehicle_), this);
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("posizione"));
    text_->setMinimumWidth(360);
    prompt->setBuddy(text_);
    understood_ = new QLabel(this);
    understood_->setObjectName(QStringLiteral("capito"));
    understood_->setWordWrap(true);
    auto* examples = new QLabel(QStringLiteral(
        "Esempi: 45 30 0 N 9 12 0 E \u2022 45\u00B030'00\"N 9\u00B012'00\"E \u2022 4530.000,N,00912.000,E "
        "\u2022 45,5 9,2 (gradi decimali, latitudine prima; negativi a sud e a ovest). "
        "Una coordinata sola con la sua lettera sposta solo quella."), this);
    examples->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("ok"));
    if (can_reach) {
        reach_button_ = buttons->addButton(QStringLiteral("&Raggiungi"), QDialogButtonBox::ActionRole);
        reach_button_->setObjectName(QStringLiteral("raggiungi"));
        reach_button_->setToolTip(QStringLiteral("Il mezzo ci va dal punto dove è, alla sua velocità, e lì si ferma"));
        connect(reach_button_, &QPushButton::clicked, this, [this] {
            reach_ = true;
            accept();
        });
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(text_);
    layout->addWidget(understood_);
    layout->addWidget(examples);
    layout->addWidget(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);

    connect(text_, &QLineEdit::textChanged, this, &GoToDialog::read);
    text_->setText(shown_position(form.fleet.vehicle(vehicle_)));
    text_->selectAll();
    read();
}

void GoToDialog::read() {
    const auto read = read_position(text_->text().toStdString());
    if (const auto* reason = std::get_if<std::string>(&read)) {
        position_.reset();
        understood_->setText(qt_text(*reason));
        colour(understood_, QColor(128, 0, 0));
    } else {
        position_ = std::get<TypedPosition>(read);
        const QString lat = position_->lat
                                ? QStringLiteral("latitudine %1").arg(qt_text(coordinate_text(*position_->lat, true)))
                                : QStringLiteral("la latitudine resta com'è");
        const QString lon = position_->lon
                                ? QStringLiteral("longitudine %1").arg(qt_text(coordinate_text(*position_->lon, false)))
                                : QStringLiteral("la longitudine resta com'è");
        QString said = lat + QStringLiteral(", ") + lon;
        said[0] = said[0].toUpper();
        understood_->setText(said);
        colour(understood_, QColor(0, 128, 0));
    }
    ok_->setEnabled(position_.has_value());
    if (reach_button_ != nullptr) reach_button_->setEnabled(position_.has_value());
}

}  // namespace vadrel::gui
