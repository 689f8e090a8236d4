#include "options_menu.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "model/numbers.h"
#include "nmea/faults.h"
#include "gui/dialog_fit.h"
#include "gui/elided_label.h"
#include "gui/qt_text.h"
#include "gui/sky_dialog.h"
#include "sky/sky_options.h"

namespace vadrel::gui {

namespace {

QDoubleSpinBox* share_box(double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0.0, 1.0);
    box->setDecimals(3);
    box->setSingleStep(0.01);
    box->setValue(value);
    return box;
}

}  // namespace

FaultsDialog::FaultsDialog(const Faults& current, QWidget* parent)
    : QDialog(parent),
      enabled_(new QCheckBox(QStringLiteral("Guasti attivi"), this)),
      loss_(share_box(current.loss, this)),
      checksum_(share_box(current.checksum, this)),
      cut_short_(share_box(current.cut_short, this)),
      seed_(new QLineEdit(QString::number(current.seed), this)),
      fix_outage_(new QLineEdit(current.fix_outage.every > 0 ? QStringLiteral("%1/%2")
                                                                    .arg(current.fix_outage.duration)
                                                                    .arg(current.fix_outage.every)
                                                              : QString(),
                                 this)),
      problem_(new QLabel(this)),
      faults_(current) {
    setObjectName(QStringLiteral("guasti"));
    setWindowTitle(QStringLiteral("Guasti"));
    enabled_->setObjectName(QStringLiteral("guasti_attivi"));
    enabled_->setChecked(current.enabled);
    loss_->setObjectName(QStringLiteral("perdita"));
    checksum_->setObjectName(QStringLiteral("checksum"));
    cut_short_->setObjectName(QStringLiteral("tronca"));
    seed_->setObjectName(QStringLiteral("seme"));
    fix_outage_->setObjectName(QStringLiteral("perdita_fix"));
    fix_outage_->setPlaceholderText(QStringLiteral("nessuna"));
    problem_->setObjectName(QStringLiteral("problema"));
    problem_->setWordWrap(true);
    auto* form = new QFormLayout(this);
    form->addRow(enabled_);
    form->addRow(QStringLiteral("Frazione dei secondi non inviati:"), loss_);
    form->addRow(QStringLiteral("Frazione delle frasi con checksum errato:"), checksum_);
    form->addRow(QStringLiteral("Frazione delle frasi troncate:"), cut_short_);
    form->addRow(QStringLiteral("Seme:"), seed_);
    form->addRow(QStringLiteral("Perdita del fix (DURATA/OGNI secondi):"), fix_outage_);
    form->addRow(new QLabel(QStringLiteral("Frazioni da 0 a 1. Lo stesso seme dà gli stessi guasti."), this));
    form->addRow(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FaultsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FaultsDialog::reject);
    form->addRow(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);
}

void FaultsDialog::accept() {
    Faults g{enabled_->isChecked(), loss_->value(), checksum_->value(), cut_short_->value(), 0, {}};
    const std::string seed = seed_->text().trimmed().toStdString();
    const auto read = read_whole<std::uint64_t>(seed, NumberSource::window_box);
    g.seed = read.value_or(0);
    std::string problem = faults_problem(g);
    if (!read) problem = "il seme è un numero intero da 0 a 18446744073709551615";
    if (const std::string outage = fix_outage_->text().trimmed().toStdString(); !outage.empty() && problem.empty()) {
        auto read_outage = read_fix_outage(outage);
        if (const auto* why = std::get_if<std::string>(&read_outage)) {
            problem = *why;
        } else {
            g.fix_outage = std::get<FixOutage>(read_outage);
        }
    }
    problem_->setText(QString::fromStdString(problem));
    adjustSize();
    if (!problem.empty()) return;
    faults_ = g;
    QDialog::accept();
}

OptionsMenu::OptionsMenu(PanelForm& form, QMenuBar& bar, Keep keep)
    : QObject(&bar),
      form_(form),
      keep_(std::move(keep)),
      menu_(bar.addMenu(QStringLiteral("&Opzioni"))),
      in_force_(new ElidedLabel(&bar)) {
    menu_->setObjectName(QStringLiteral("menu_opzioni"));
    in_force_->setObjectName(QStringLiteral("ricevitore_in_uso"));
    in_force_->hide();
    utc_ = checkable("opzione_utc", QStringLiteral("Ora &UTC"), &ReceiverOptions::utc);
    real_motion_ = checkable("opzione_moto_reale", QStringLiteral("&Velocità e rotta reali"),
                            &ReceiverOptions::real_motion);
    full_set_ = checkable("opzione_frasi_complete", QStringLiteral("&Frasi complete"),
                                &ReceiverOptions::full_set);
    // One step for what a receiver of today sends: UTC, the real motion, the
    // full set; and one back to the radio modems' receiver.
    QAction* classic = menu_->addAction(QStringLiteral("Ricevitore &classico"));
    classic->setObjectName(QStringLiteral("opzione_ricevitore_classico"));
    connect(classic, &QAction::triggered, this, [this] { choose_receiver(ReceiverKind::classic); });
    QAction* modern = menu_->addAction(QStringLiteral("&Ricevitore moderno"));
    modern->setObjectName(QStringLiteral("opzione_ricevitore_moderno"));
    connect(modern, &QAction::triggered, this, [this] { choose_receiver(ReceiverKind::modern); });
    QAction* altitude = menu_->addAction(QStringLiteral("&Quota..."));
    altitude->setObjectName(QStringLiteral("opzione_quota"));
    connect(altitude, &QAction::triggered, this, [this] {
        // Numbers as the panel writes them: the comma.
        const QLocale regional = regional_locale(form_.platform.format);
        QInputDialog dialog(menu_->parentWidget()->window());
        dialog.setObjectName(QStringLiteral("quota"));
        dialog.setLocale(regional);
        dialog.setWindowTitle(QStringLiteral("Quota"));
        dialog.setLabelText(QStringLiteral("Quota del $GPGGA in metri, da %1 a %2:")
                                .arg(regional.toString(min_altitude), regional.toString(max_altitude)));
        dialog.setInputMode(QInputDialog::DoubleInput);
        dialog.setDoubleRange(min_altitude, max_altitude);
        dialog.setDoubleDecimals(1);
        dialog.setDoubleValue(form_.transmitter.receiver().altitude);
        if (dialog.exec() != QDialog::Accepted) return;
        ReceiverOptions o = form_.transmitter.receiver();
        o.altitude = dialog.doubleValue();
        change(o);
    });
    QAction* sky_options = menu_->addAction(QStringLiteral("C&ielo e ricevitore..."));
    sky_options->setObjectName(QStringLiteral("opzione_cielo"));
    connect(sky_options, &QAction::triggered, this, [this] {
        ReceiverOptions o = form_.transmitter.receiver();
        SkyDialog dialog(o.sky_options, menu_->parentWidget()->window());
        dialog.setLocale(regional_locale(form_.platform.format));
        if (dialog.exec() != QDialog::Accepted) return;
        o.sky_options = dialog.sky_options();
        change(o);
    });
    menu_->addSeparator();
    no_fix_ = checkable("opzione_senza_fix", QStringLiteral("&Perdita del segnale"), &ReceiverOptions::no_fix);
    faults_ = menu_->addAction(QStringLiteral("&Guasti..."));
    faults_->setObjectName(QStringLiteral("opzione_guasti"));
    // The check mark says whether faults go out; a click always opens the
    // dialog, where they are switched on and off and their rates changed.
    faults_->setCheckable(true);
    connect(faults_, &QAction::triggered, this, [this] {
        refresh();
        ReceiverOptions o = form_.transmitter.receiver();
        FaultsDialog dialog(o.faults, menu_->parentWidget()->window());
        dialog.setLocale(regional_locale(form_.platform.format));
        if (dialog.exec() != QDialog::Accepted) return;
        o.faults = dialog.faults();
        change(o);
    });
    refresh();
}

void OptionsMenu::choose_receiver(ReceiverKind kind) {
    const ReceiverOptions& now = form_.transmitter.receiver();
    change(kind == ReceiverKind::modern ? modern_receiver(now) : classic_receiver(now));
}

QAction* OptionsMenu::checkable(const char* name, const QString& text, bool ReceiverOptions::*option) {
    QAction* action = menu_->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, option](bool checked) {
        ReceiverOptions o = form_.transmitter.receiver();
        o.*option = checked;
        change(o);
    });
    return action;
}

void OptionsMenu::change(const ReceiverOptions& chosen_options) {
    form_.transmitter.set_receiver(chosen_options);
    refresh();
    if (const Result<> kept = keep_(chosen_options); !kept) {
        form_.platform.shell.message_box(kept.message(), program_title);
    }
}

void OptionsMenu::refresh() {
    const ReceiverOptions& o = form_.transmitter.receiver();
    utc_->setChecked(o.utc);
    real_motion_->setChecked(o.real_motion);
    full_set_->setChecked(o.full_set);
    no_fix_->setChecked(o.no_fix);
    faults_->setChecked(o.faults.enabled);
    QString in_force = QString::fromStdString(receiver_in_force(o));
    in_force[0] = in_force[0].toUpper();
    in_force_->setText(in_force);
}

}  // namespace vadrel::gui
