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
#include <charconv>

#include "nmea/faults.h"
#include "gui/dialog_fit.h"
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

FaultsDialog::FaultsDialog(const Guasti& current, QWidget* parent)
    : QDialog(parent),
      attivi_(new QCheckBox(QStringLiteral("Guasti attivi"), this)),
      perdita_(share_box(current.perdita, this)),
      checksum_(share_box(current.checksum, this)),
      tronca_(share_box(current.tronca, this)),
      seme_(new QLineEdit(QString::number(current.seme), this)),
      perdita_fix_(new QLineEdit(current.perdita_fix.every > 0 ? QStringLiteral("%1/%2")
                                                                    .arg(current.perdita_fix.duration)
                                                                    .arg(current.perdita_fix.every)
                                                              : QString(),
                                 this)),
      problema_(new QLabel(this)),
      guasti_(current) {
    setObjectName(QStringLiteral("guasti"));
    setWindowTitle(QStringLiteral("Guasti"));
    attivi_->setObjectName(QStringLiteral("guasti_attivi"));
    attivi_->setChecked(current.attivi);
    perdita_->setObjectName(QStringLiteral("perdita"));
    checksum_->setObjectName(QStringLiteral("checksum"));
    tronca_->setObjectName(QStringLiteral("tronca"));
    seme_->setObjectName(QStringLiteral("seme"));
    perdita_fix_->setObjectName(QStringLiteral("perdita_fix"));
    perdita_fix_->setPlaceholderText(QStringLiteral("nessuna"));
    problema_->setObjectName(QStringLiteral("problema"));
    problema_->setWordWrap(true);
    auto* form = new QFormLayout(this);
    form->addRow(attivi_);
    form->addRow(QStringLiteral("Frazione dei secondi non inviati:"), perdita_);
    form->addRow(QStringLiteral("Frazione delle frasi con checksum errato:"), checksum_);
    form->addRow(QStringLiteral("Frazione delle frasi troncate:"), tronca_);
    form->addRow(QStringLiteral("Seme:"), seme_);
    form->addRow(QStringLiteral("Perdita del fix (DURATA/OGNI secondi):"), perdita_fix_);
    form->addRow(new QLabel(QStringLiteral("Frazioni da 0 a 1. Lo stesso seme dà gli stessi guasti."), this));
    form->addRow(problema_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FaultsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FaultsDialog::reject);
    form->addRow(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);
}

void FaultsDialog::accept() {
    Guasti g{attivi_->isChecked(), perdita_->value(), checksum_->value(), tronca_->value(), 0, {}};
    const std::string seme = seme_->text().trimmed().toStdString();
    const auto read = std::from_chars(seme.data(), seme.data() + seme.size(), g.seme);
    std::string problem = problema_guasti(g);
    if (read.ec != std::errc() || read.ptr != seme.data() + seme.size() || seme.empty()) {
        problem = "il seme è un numero intero da 0 a 18446744073709551615";
    }
    if (const std::string outage = perdita_fix_->text().trimmed().toStdString(); !outage.empty() && problem.empty()) {
        auto read_outage = read_fix_outage(outage);
        if (const auto* why = std::get_if<std::string>(&read_outage)) {
            problem = *why;
        } else {
            g.perdita_fix = std::get<FixOutage>(read_outage);
        }
    }
    problema_->setText(QString::fromStdString(problem));
    adjustSize();
    if (!problem.empty()) return;
    guasti_ = g;
    QDialog::accept();
}

OptionsMenu::OptionsMenu(PanelForm& form, QMenuBar& bar, Keep keep)
    : QObject(&bar),
      form_(form),
      keep_(std::move(keep)),
      menu_(bar.addMenu(QStringLiteral("&Opzioni"))),
      in_force_(new QLabel(&bar)) {
    menu_->setObjectName(QStringLiteral("menu_opzioni"));
    in_force_->setObjectName(QStringLiteral("ricevitore_in_uso"));
    in_force_->hide();
    utc_ = checkable("opzione_utc", QStringLiteral("Ora &UTC"), &OpzioniRicevitore::utc);
    moto_reale_ = checkable("opzione_moto_reale", QStringLiteral("&Velocità e rotta reali"),
                            &OpzioniRicevitore::moto_reale);
    frasi_complete_ = checkable("opzione_frasi_complete", QStringLiteral("&Frasi complete"),
                                &OpzioniRicevitore::frasi_complete);
    // One step for what a receiver of today sends: UTC, the real motion, the
    // full set; and one back to the radio modems' receiver.
    QAction* classic = menu_->addAction(QStringLiteral("Ricevitore &classico"));
    classic->setObjectName(QStringLiteral("opzione_ricevitore_classico"));
    connect(classic, &QAction::triggered, this, [this] { choose_receiver(ReceiverKind::classic); });
    QAction* moderno = menu_->addAction(QStringLiteral("&Ricevitore moderno"));
    moderno->setObjectName(QStringLiteral("opzione_ricevitore_moderno"));
    connect(moderno, &QAction::triggered, this, [this] { choose_receiver(ReceiverKind::modern); });
    QAction* quota = menu_->addAction(QStringLiteral("&Quota..."));
    quota->setObjectName(QStringLiteral("opzione_quota"));
    connect(quota, &QAction::triggered, this, [this] {
        // Numbers as the panel writes them: the comma.
        const QLocale regional = regional_locale(form_.platform.format);
        QInputDialog dialog(menu_->parentWidget()->window());
        dialog.setObjectName(QStringLiteral("quota"));
        dialog.setLocale(regional);
        dialog.setWindowTitle(QStringLiteral("Quota"));
        dialog.setLabelText(QStringLiteral("Quota del $GPGGA in metri, da %1 a %2:")
                                .arg(regional.toString(quota_minima), regional.toString(quota_massima)));
        dialog.setInputMode(QInputDialog::DoubleInput);
        dialog.setDoubleRange(quota_minima, quota_massima);
        dialog.setDoubleDecimals(1);
        dialog.setDoubleValue(form_.transmitter.receiver().quota);
        if (dialog.exec() != QDialog::Accepted) return;
        OpzioniRicevitore o = form_.transmitter.receiver();
        o.quota = dialog.doubleValue();
        change(o);
    });
    QAction* cielo = menu_->addAction(QStringLiteral("&Cielo e ricevitore..."));
    cielo->setObjectName(QStringLiteral("opzione_cielo"));
    connect(cielo, &QAction::triggered, this, [this] {
        OpzioniRicevitore o = form_.transmitter.receiver();
        SkyDialog dialog(o.cielo, menu_->parentWidget()->window());
        dialog.setLocale(regional_locale(form_.platform.format));
        if (dialog.exec() != QDialog::Accepted) return;
        o.cielo = dialog.cielo();
        change(o);
    });
    menu_->addSeparator();
    senza_fix_ = checkable("opzione_senza_fix", QStringLiteral("&Perdita del segnale"), &OpzioniRicevitore::senza_fix);
    guasti_ = menu_->addAction(QStringLiteral("&Guasti..."));
    guasti_->setObjectName(QStringLiteral("opzione_guasti"));
    // The check mark says whether faults go out; a click always opens the
    // dialog, where they are switched on and off and their rates changed.
    guasti_->setCheckable(true);
    connect(guasti_, &QAction::triggered, this, [this] {
        refresh();
        OpzioniRicevitore o = form_.transmitter.receiver();
        FaultsDialog dialog(o.guasti, menu_->parentWidget()->window());
        dialog.setLocale(regional_locale(form_.platform.format));
        if (dialog.exec() != QDialog::Accepted) return;
        o.guasti = dialog.guasti();
        change(o);
    });
    refresh();
}

void OptionsMenu::choose_receiver(ReceiverKind kind) {
    const OpzioniRicevitore& now = form_.transmitter.receiver();
    change(kind == ReceiverKind::modern ? ricevitore_moderno(now) : classic_receiver(now));
}

QAction* OptionsMenu::checkable(const char* name, const QString& text, bool OpzioniRicevitore::*option) {
    QAction* action = menu_->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, option](bool checked) {
        OpzioniRicevitore o = form_.transmitter.receiver();
        o.*option = checked;
        change(o);
    });
    return action;
}

void OptionsMenu::change(const OpzioniRicevitore& opzioni) {
    form_.transmitter.set_receiver(opzioni);
    refresh();
    if (const std::string problem = keep_(opzioni); !problem.empty()) {
        form_.platform.shell.message_box(problem, program_title);
    }
}

void OptionsMenu::refresh() {
    const OpzioniRicevitore& o = form_.transmitter.receiver();
    utc_->setChecked(o.utc);
    moto_reale_->setChecked(o.moto_reale);
    frasi_complete_->setChecked(o.frasi_complete);
    senza_fix_->setChecked(o.senza_fix);
    guasti_->setChecked(o.guasti.attivi);
    QString in_force = QString::fromStdString(receiver_in_force(o));
    in_force[0] = in_force[0].toUpper();
    in_force_->setText(in_force);
}

}  // namespace vadrel::gui
