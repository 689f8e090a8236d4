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

SkyDialog::SkyDialog(const SkyOptions& current, QWidget* parent)
    : QDialog(parent),
      satellites_(new QCheckBox(QStringLiteral("Satelliti dalle orbite (GSV, satelliti usati, diluizioni, fix 2D)"), this)),
      mask_(new QDoubleSpinBox(this)),
      obstructions_(new QLineEdit(obstructions_text(current.obstructions), this)),
      noise_(new QDoubleSpinBox(this)),
      rate_(new QComboBox(this)),
      talker_(new QComboBox(this)),
      sentences_(new QLineEdit(QString::fromStdString(sentence_list_text(current.sentences)), this)),
      problem_(new QLabel(this)),
      sky_options_(current) {
    setObjectName(QStringLiteral("cielo"));
    setWindowTitle(QStringLiteral("Cielo e ricevitore"));
    satellites_->setObjectName(QStringLiteral("satelliti"));
    satellites_->setChecked(current.satellites);
    mask_->setObjectName(QStringLiteral("maschera"));
    mask_->setRange(0.0, 90.0);
    mask_->setDecimals(1);
    mask_->setValue(current.mask);
    obstructions_->setObjectName(QStringLiteral("ostacoli"));
    obstructions_->setPlaceholderText(QStringLiteral("nessuno; per esempio 200-340:40"));
    noise_->setObjectName(QStringLiteral("rumore"));
    noise_->setRange(0.0, max_noise);
    noise_->setDecimals(1);
    noise_->setValue(current.noise);
    rate_->setObjectName(QStringLiteral("frequenza"));
    for (const int rate : fix_rates) {
        rate_->addItem(QString::number(rate), rate);
        if (rate == current.rate) rate_->setCurrentIndex(rate_->count() - 1);
    }
    talker_->setObjectName(QStringLiteral("talker"));
    talker_->addItem(QStringLiteral("GP"));
    talker_->addItem(QStringLiteral("GN"));
    talker_->setCurrentIndex(current.talker == Talker::gn ? 1 : 0);
    sentences_->setObjectName(QStringLiteral("elenco_frasi"));
    sentences_->setPlaceholderText(QStringLiteral("predefinito"));
    problem_->setObjectName(QStringLiteral("problema"));
    problem_->setWordWrap(true);
    auto* form = new QFormLayout(this);
    form->addRow(satellites_);
    form->addRow(QStringLiteral("Maschera di elevazione (gradi):"), mask_);
    form->addRow(QStringLiteral("Ostacoli (AZIMUT1-AZIMUT2:ELEVAZIONE, separati da spazi):"), obstructions_);
    form->addRow(QStringLiteral("Rumore di posizione (metri, 0: nessuno):"), noise_);
    form->addRow(QStringLiteral("Posizioni al secondo:"), rate_);
    form->addRow(QStringLiteral("Talker:"), talker_);
    form->addRow(QStringLiteral("Elenco delle frasi (RMC,GGA,VTG,GSA,GSV,ZDA,GLL,HDT):"), sentences_);
    form->addRow(new QLabel(QStringLiteral("Valgono con le frasi complete; il seme del rumore è quello dei guasti."), this));
    form->addRow(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SkyDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SkyDialog::reject);
    form->addRow(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);
}

void SkyDialog::accept() {
    SkyOptions c;
    c.satellites = satellites_->isChecked();
    c.mask = mask_->value();
    c.noise = noise_->value();
    c.rate = rate_->currentData().toInt();
    c.talker = talker_->currentIndex() == 1 ? Talker::gn : Talker::gp;
    std::string problem;
    const QStringList parts = obstructions_->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        auto read = read_obstruction(part.toStdString());
        if (const auto* why = std::get_if<std::string>(&read)) {
            problem = *why;
            break;
        }
        c.obstructions.push_back(std::get<Obstruction>(read));
    }
    if (const std::string list = sentences_->text().trimmed().toUpper().toStdString(); !list.empty() && problem.empty()) {
        auto read = read_sentence_list(list);
        if (const auto* why = std::get_if<std::string>(&read)) {
            problem = *why;
        } else {
            c.sentences = std::get<std::vector<SentenceKind>>(read);
        }
    }
    problem_->setText(QString::fromStdString(problem));
    adjustSize();
    if (!problem.empty()) return;
    sky_options_ = c;
    QDialog::accept();
}

}  // namespace vadrel::gui
