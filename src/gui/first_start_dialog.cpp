#include "first_start_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>


namespace vadrel::gui {

namespace {

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QString::fromLatin1(name));
    made->setAutoDefault(false);
    return made;
}

}  // namespace

FirstStartDialog::FirstStartDialog(QWidget& panel, Answer answer, MakePort make_port, int port,
                                   const std::string& why)
    : QDialog(&panel) {
    setObjectName(QStringLiteral("primo_avvio"));
    setWindowTitle(QStringLiteral("vadrel - Primo avvio"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    // The panel keeps the keyboard; a click answers.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMinimumWidth(480);
    auto* column = new QVBoxLayout(this);
    if (answer) column->addWidget(receiver_part(std::move(answer)));
    if (make_port) column->addWidget(port_part(std::move(make_port), port, why));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close_button = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    close_button->setObjectName(QStringLiteral("chiudi"));
    close_button->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    column->addWidget(buttons);
}

QWidget* FirstStartDialog::receiver_part(Answer answer) {
    auto* part = new QGroupBox(QStringLiteral("Ricevitore"), this);
    part->setObjectName(QStringLiteral("parte_ricevitore"));
    auto* classic = button(QStringLiteral("Ricevitore &classico (modem radio)"), "ricevitore_classico", part);
    auto* modern = button(QStringLiteral("Ricevitore &moderno (gpsd, plotter)"), "ricevitore_moderno", part);
    const auto chosen = [this, part, answer = std::move(answer)](ReceiverKind kind) {
        answer(kind);
        answered(*part);
    };
    connect(classic, &QPushButton::clicked, part, [chosen] { chosen(ReceiverKind::classic); });
    connect(modern, &QPushButton::clicked, part, [chosen] { chosen(ReceiverKind::modern); });
    auto* layout = new QVBoxLayout(part);
    layout->addWidget(wrapped(
        QStringLiteral("Quale ricevitore GPS simulare?\n"
                       "Il classico, come i modem radio, manda velocità e rotta sempre a zero (0.0 e 000.0) "
                       "e l'ora locale. Il moderno manda velocità e rotta reali, l'ora UTC e le frasi complete, "
                       "come vogliono gpsd e i plotter.\n"
                       "La scelta resta in vadrel.ini; il menu Opzioni la cambia."),
        part));
    auto* row = new QHBoxLayout;
    row->addWidget(classic);
    row->addWidget(modern);
    layout->addLayout(row);
    return part;
}

QWidget* FirstStartDialog::port_part(MakePort make_port, int port, const std::string& why) {
    auto* part = new QGroupBox(QStringLiteral("Porta seriale"), this);
    part->setObjectName(QStringLiteral("parte_porta"));
    auto* layout = new QVBoxLayout(part);
    layout->addWidget(wrapped(QStringLiteral("La COM %1 non si apre: %2.\n"
                                             "Una porta virtuale (pseudo-terminale) al suo posto fa leggere le "
                                             "frasi a gpsd o a un altro programma; Uscite > Porta... la cambia "
                                             "o sceglie un dispositivo.")
                                  .arg(port)
                                  .arg(QString::fromStdString(why)),
                              part));
    auto* make = button(QStringLiteral("Crea la &porta virtuale COM %1").arg(port), "crea_porta_virtuale", part);
    auto* outcome = wrapped(QString(), part);
    outcome->setObjectName(QStringLiteral("esito_porta"));
    outcome->hide();
    path_ = new QLineEdit(part);
    path_->setObjectName(QStringLiteral("percorso_porta"));
    path_->setReadOnly(true);
    path_->hide();
    auto* copy = button(QStringLiteral("Cop&ia"), "copia_percorso", part);
    copy->hide();
    connect(copy, &QPushButton::clicked, part, [this] { QApplication::clipboard()->setText(path_->text()); });
    connect(make, &QPushButton::clicked, part, [this, make, outcome, copy, make_port = std::move(make_port)] {
        const Made made = make_port();
        outcome->setText(made.problem.empty() ? QStringLiteral("Porta virtuale pronta:")
                                              : QString::fromStdString(made.problem));
        outcome->show();
        if (made.problem.empty()) {
            make->hide();
            path_->setText(QString::fromStdString(made.path));
            path_->show();
            copy->show();
        }
    });
    auto* row = new QHBoxLayout;
    row->addWidget(path_, 1);
    row->addWidget(copy);
    layout->addWidget(make, 0, Qt::AlignLeft);
    layout->addWidget(outcome);
    layout->addLayout(row);
    return part;
}

void FirstStartDialog::answered(QWidget& part) {
    part.hide();
    // Nothing left to ask: gone.
    if (findChild<QWidget*>(QStringLiteral("parte_porta")) == nullptr) close();
    else adjustSize();
}

}  // namespace vadrel::gui
