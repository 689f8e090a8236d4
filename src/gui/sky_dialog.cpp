#include "sky_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "gui/dialog_fit.h"
#include "sky/sky_options.h"

namespace vadrel::gui {

namespace {

QString obstructions_text(const std::vector<Obstruction>& list) {
    QStringList texts;
    for (const Obstruction& o : list) texts << QString::fromStdString(obstruction_text(o));
    return texts.join(QStringLiteral(" "));
}

}  // namespace

SkyDialog::SkyDialog(const Cielo& current, QWidget* parent)
    : QDialog(parent),
      satelliti_(new QCheckBox(QStringLiteral("Satelliti dalle orbite (GSV, satelliti usati, diluizioni, fix 2D)"), this)),
      maschera_(new QDoubleSpinBox(this)),
      ostacoli_(new QLineEdit(obstructions_text(current.ostacoli), this)),
      rumore_(new QDoubleSpinBox(this)),
      frequenza_(new QComboBox(this)),
      talker_(new QComboBox(this)),
      frasi_(new QLineEdit(QString::fromStdString(sentence_list_text(current.frasi)), this)),
      problema_(new QLabel(this)),
      cielo_(current) {
    setObjectName(QStringLiteral("cielo"));
    setWindowTitle(QStringLiteral("Cielo e ricevitore"));
    satelliti_->setObjectName(QStringLiteral("satelliti"));
    satelliti_->setChecked(current.satelliti);
    maschera_->setObjectName(QStringLiteral("maschera"));
    maschera_->setRange(0.0, 90.0);
    maschera_->setDecimals(1);
    maschera_->setValue(current.maschera);
    ostacoli_->setObjectName(QStringLiteral("ostacoli"));
    ostacoli_->setPlaceholderText(QStringLiteral("nessuno; per esempio 200-340:40"));
    rumore_->setObjectName(QStringLiteral("rumore"));
    rumore_->setRange(0.0, max_noise);
    rumore_->setDecimals(1);
    rumore_->setValue(current.rumore);
    frequenza_->setObjectName(QStringLiteral("frequenza"));
    for (const int rate : fix_rates) {
        frequenza_->addItem(QString::number(rate), rate);
        if (rate == current.frequenza) frequenza_->setCurrentIndex(frequenza_->count() - 1);
    }
    talker_->setObjectName(QStringLiteral("talker"));
    talker_->addItem(QStringLiteral("GP"));
    talker_->addItem(QStringLiteral("GN"));
    talker_->setCurrentIndex(current.talker == Talker::gn ? 1 : 0);
    frasi_->setObjectName(QStringLiteral("elenco_frasi"));
    frasi_->setPlaceholderText(QStringLiteral("predefinito"));
    problema_->setObjectName(QStringLiteral("problema"));
    problema_->setWordWrap(true);
    auto* form = new QFormLayout(this);
    form->addRow(satelliti_);
    form->addRow(QStringLiteral("Maschera di elevazione (gradi):"), maschera_);
    form->addRow(QStringLiteral("Ostacoli (AZIMUT1-AZIMUT2:ELEVAZIONE, separati da spazi):"), ostacoli_);
    form->addRow(QStringLiteral("Rumore di posizione (metri, 0: nessuno):"), rumore_);
    form->addRow(QStringLiteral("Posizioni al secondo:"), frequenza_);
    form->addRow(QStringLiteral("Talker:"), talker_);
    form->addRow(QStringLiteral("Elenco delle frasi (RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT):"), frasi_);
    form->addRow(new QLabel(QStringLiteral("Valgono con le frasi complete; il seme del rumore è quello dei guasti."), this));
    form->addRow(problema_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SkyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SkyDialog::reject);
    form->addRow(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);
}

void SkyDialog::accept() {
    Cielo c;
    c.satelliti = satelliti_->isChecked();
    c.maschera = maschera_->value();
    c.rumore = rumore_->value();
    c.frequenza = frequenza_->currentData().toInt();
    c.talker = talker_->currentIndex() == 1 ? Talker::gn : Talker::gp;
    std::string problem;
    const QStringList parts = ostacoli_->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        auto read = read_obstruction(part.toStdString());
        if (const auto* why = std::get_if<std::string>(&read)) {
            problem = *why;
            break;
        }
        c.ostacoli.push_back(std::get<Obstruction>(read));
    }
    if (const std::string list = frasi_->text().trimmed().toUpper().toStdString(); !list.empty() && problem.empty()) {
        auto read = read_sentence_list(list);
        if (const auto* why = std::get_if<std::string>(&read)) {
            problem = *why;
        } else {
            c.frasi = std::get<std::vector<SentenceKind>>(read);
        }
    }
    problema_->setText(QString::fromStdString(problem));
    adjustSize();
    if (!problem.empty()) return;
    cielo_ = c;
    QDialog::accept();
}

}  // namespace vadrel::gui
