#include "control_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/dialog_buttons.h"
#include "gui/dialog_fit.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

ControlDialog::ControlDialog(Change change, Status status, QWidget* parent)
    : QDialog(parent), change_(std::move(change)), status_(std::move(status)) {
    setObjectName(QStringLiteral("Controllo"));
    setWindowTitle(QStringLiteral("Interfaccia di controllo"));
    setMinimumWidth(460);
    on_ = new QCheckBox(QStringLiteral("Attiva"));
    on_->setObjectName(QStringLiteral("controllo_attivo"));
    address_ = new QLineEdit;
    address_->setObjectName(QStringLiteral("controllo_indirizzo"));
    address_->setToolTip(QStringLiteral("127.0.0.1: solo questo computer; un altro indirizzo vuole in ogni "
                                        "richiesta la chiave del file vadrel.token"));
    port_ = new QSpinBox;
    port_->setObjectName(QStringLiteral("controllo_porta"));
    port_->setRange(0, 65535);
    port_->setToolTip(QStringLiteral("0: una porta libera qualsiasi"));
    status_label_ = new QLabel;
    status_label_->setObjectName(QStringLiteral("controllo_stato"));
    status_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow(on_);
    form->addRow(QStringLiteral("Indirizzo:"), address_);
    form->addRow(QStringLiteral("Porta:"), port_);
    form->addRow(scrolling_status(status_label_, 4));

    QDialogButtonBox* buttons = apply_buttons(*this, [this] { return apply(); });

    fit_to_screen(*this, form, buttons);
}

void ControlDialog::open_on(const ControlSettings& in_force) {
    on_->setChecked(in_force.on);
    address_->setText(QString::fromStdString(in_force.address));
    port_->setValue(in_force.port);
    show();
    raise();
    activateWindow();
    refresh();
}

ControlSettings ControlDialog::settings() const {
    ControlSettings wanted;
    wanted.on = on_->isChecked();
    wanted.address = address_->text().trimmed().toStdString();
    // "[::1]" as the command line writes it: the brackets are not the address's.
    if (wanted.address.size() > 2 && wanted.address.front() == '[' && wanted.address.back() == ']')
        wanted.address = wanted.address.substr(1, wanted.address.size() - 2);
    wanted.port = port_->value();
    return wanted;
}

bool ControlDialog::apply() {
    const Result<> done = change_(settings());
    refresh();
    if (done) return true;
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("message_box"));
    box.setWindowTitle(QStringLiteral("Interfaccia di controllo"));
    box.setTextFormat(Qt::PlainText);
    box.setText(qt_text(done.message()));
    box.exec();
    return false;
}

void ControlDialog::refresh() {
    if (isVisible()) status_label_->setText(QString::fromStdString(status_()));
}

}  // namespace vadrel::gui
