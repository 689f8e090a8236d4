#include "tile_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/dialog_fit.h"
#include "gui/dialog_buttons.h"

namespace vadrel::gui {

TileDialog::TileDialog(Change change, QWidget* parent) : QDialog(parent), change_(std::move(change)) {
    setObjectName(QStringLiteral("Strade"));
    setWindowTitle(QStringLiteral("Strade"));
    setMinimumWidth(520);
    on_ = new QCheckBox(QStringLiteral("Mostra le strade (tile scaricate dalla rete)"));
    on_->setObjectName(QStringLiteral("strade_attive"));
    address_ = new QLineEdit;
    address_->setObjectName(QStringLiteral("strade_indirizzo"));
    address_->setToolTip(QStringLiteral("Indirizzo http o https con {z}, {x} e {y}"));
    auto* standard = new QPushButton(QStringLiteral("&Predefinito"));
    standard->setObjectName(QStringLiteral("strade_predefinito"));
    connect(standard, &QPushButton::clicked, this,
            [this] { address_->setText(QString::fromUtf8(default_tile_address)); });
    auto* note = new QLabel(QStringLiteral(
        "Si scaricano solo le tile in vista, poche alla volta, e si tengono nella cache su disco. "
        "Se la rete o il server mancano, la mappa resta quella senza rete."));
    note->setWordWrap(true);
    problem_ = new QLabel;
    problem_->setObjectName(QStringLiteral("strade_problema"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* address_row = new QHBoxLayout;
    address_row->addWidget(address_, 1);
    address_row->addWidget(standard);
    auto* form = new QFormLayout;
    form->addRow(on_);
    form->addRow(QStringLiteral("Indirizzo:"), address_row);
    form->addRow(note);
    form->addRow(problem_);

    QDialogButtonBox* buttons = apply_buttons(*this, [this] { return apply(); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);
}

void TileDialog::open_on(const TileSettings& in_force) {
    on_->setChecked(in_force.on);
    address_->setText(QString::fromStdString(in_force.address));
    problem_->clear();
    show();
    raise();
    activateWindow();
}

TileSettings TileDialog::settings() const {
    return {on_->isChecked(), address_->text().trimmed().toStdString()};
}

bool TileDialog::apply() {
    const TileSettings wanted = settings();
    if (const std::string why = tile_address_problem(wanted.address); !why.empty()) {
        problem_->setText(QStringLiteral("Indirizzo non valido: %1.").arg(QString::fromStdString(why)));
        return false;
    }
    const std::string problem = change_(wanted);
    problem_->setText(problem.empty() ? QString()
                                      : QStringLiteral("Applicato, ma non salvato: %1").arg(QString::fromStdString(problem)));
    return problem.empty();
}

}  // namespace vadrel::gui
