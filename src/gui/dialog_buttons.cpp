#include "dialog_buttons.h"

#include <QDialog>
#include <QPushButton>

namespace vadrel::gui {

QDialogButtonBox* apply_buttons(QDialog& dialog, const std::function<bool()>& apply) {
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    QPushButton* apply_button = buttons->addButton(QStringLiteral("Applica"), QDialogButtonBox::ApplyRole);
    ok->setObjectName(QStringLiteral("ok"));
    apply_button->setObjectName(QStringLiteral("applica"));
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&dialog, apply] {
        if (apply()) dialog.accept();
    });
    QObject::connect(apply_button, &QPushButton::clicked, &dialog, [apply] { apply(); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

}  // namespace vadrel::gui
