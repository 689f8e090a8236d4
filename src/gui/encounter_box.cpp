#include "encounter_box.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "fleet/fleet.h"
#include "gui/dialog_fit.h"
#include "gui/qt_text.h"
#include "model/numbers.h"

namespace vadrel::gui {

namespace {

QString with_comma(double value, int decimals) {
    return QLocale(QLocale::Italian).toString(value, 'f', decimals);
}

// As the window writes a number typed: the shortest, with the comma.
QString written_number(double value) { return qt_text(shortest_text(value)).replace(QLatin1Char('.'), QLatin1Char(',')); }

}  // namespace

void tint_said(QLabel* label, bool understood) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, understood ? QColor(0, 128, 0) : QColor(128, 0, 0));
    label->setPalette(p);
}

std::variant<EncounterAsk, Refusal> read_encounter_boxes(const std::string& vehicle, const std::string& cpa,
                                                         const std::string& tcpa, const std::string& side) {
    const auto n = read_whole<long long>(vehicle, NumberSource::window_box);
    if (!n || *n < 0 || !vehicle_exists(static_cast<std::size_t>(*n)))
        return Refusal{"mezzo", "il mezzo è un numero " + vehicle_range() + ", non \"" + vehicle + "\""};
    const auto miles = read_number(cpa, NumberSource::window_box);
    if (!miles) return Refusal{"cpa", "il CPA è un numero di miglia nautiche (0,5), non \"" + cpa + "\""};
    const auto minutes = read_number(tcpa, NumberSource::window_box);
    if (!minutes) return Refusal{"tcpa", "il TCPA è un numero di minuti (6), non \"" + tcpa + "\""};
    if (auto bad = encounter_values_problem(*miles, *minutes)) return Refusal{*miles < 0 ? "cpa" : "tcpa", bad->reason};
    if (side != "dritta" && side != "sinistra") return Refusal{"lato", "il lato è dritta o sinistra"};
    return EncounterAsk{static_cast<std::size_t>(*n), *miles, *minutes, side == "sinistra" ? Side::port : Side::starboard};
}

EncounterBox::EncounterBox(EncounterActions actions, QWidget* parent)
    : QGroupBox(QStringLiteral("Incontro con la nave propria (il mezzo attuale)"), parent),
      actions_(std::move(actions)),
      vehicle_(new QComboBox(this)),
      cpa_(new QLineEdit(QStringLiteral("0,5"), this)),
      tcpa_(new QLineEdit(QStringLiteral("6"), this)),
      side_(new QComboBox(this)),
      prepare_(new QPushButton(QStringLiteral("Prepara &incontro"), this)),
      understood_(new QLabel(this)),
      now_(new QLabel(this)) {
    setObjectName(QStringLiteral("incontro"));
    vehicle_->setObjectName(QStringLiteral("incontro_mezzo"));
    vehicle_->setEditable(true);
    vehicle_->setInsertPolicy(QComboBox::NoInsert);
    for (std::size_t n = 1; n < fleet_size; ++n) vehicle_->addItem(QString::number(n));
    cpa_->setObjectName(QStringLiteral("incontro_cpa"));
    tcpa_->setObjectName(QStringLiteral("incontro_tcpa"));
    side_->setObjectName(QStringLiteral("incontro_lato"));
    side_->addItems({QStringLiteral("dritta"), QStringLiteral("sinistra")});
    prepare_->setObjectName(QStringLiteral("prepara_incontro"));
    prepare_->setAutoDefault(false);
    prepare_->setToolTip(QStringLiteral("Mette il mezzo dove, con la sua rotta e velocità e quelle della nave propria, "
                                        "passa al CPA dato tra TCPA minuti; lo fa bersaglio AIS"));
    understood_->setObjectName(QStringLiteral("incontro_capito"));
    understood_->setWordWrap(true);
    understood_->setTextFormat(Qt::PlainText);
    now_->setObjectName(QStringLiteral("incontro_ora"));
    now_->setTextFormat(Qt::PlainText);
    const auto caption = [this](const char* text, QWidget* buddy) { return buddy_caption(text, buddy, this); };
    auto* grid = new QGridLayout(this);
    grid->addWidget(caption("&Mezzo:", vehicle_), 0, 0);
    grid->addWidget(vehicle_, 0, 1);
    grid->addWidget(caption("&CPA (miglia):", cpa_), 0, 2);
    grid->addWidget(cpa_, 0, 3);
    grid->addWidget(caption("&TCPA (minuti):", tcpa_), 0, 4);
    grid->addWidget(tcpa_, 0, 5);
    grid->addWidget(caption("&Lato:", side_), 1, 0);
    grid->addWidget(side_, 1, 1);
    grid->addWidget(prepare_, 1, 2, 1, 2, Qt::AlignLeft);
    grid->addWidget(now_, 1, 4, 1, 2);
    grid->addWidget(scrolling_status(understood_, 2), 2, 0, 1, 6);
    for (QWidget* box : std::initializer_list<QWidget*>{vehicle_, vehicle_->lineEdit(), cpa_, tcpa_, side_})
        box->installEventFilter(this);
    connect(vehicle_, &QComboBox::currentTextChanged, this, &EncounterBox::read);
    connect(cpa_, &QLineEdit::textChanged, this, &EncounterBox::read);
    connect(tcpa_, &QLineEdit::textChanged, this, &EncounterBox::read);
    connect(side_, &QComboBox::currentTextChanged, this, &EncounterBox::read);
    connect(prepare_, &QPushButton::clicked, this, &EncounterBox::prepare);
    every_second_.setInterval(1000);
    connect(&every_second_, &QTimer::timeout, this, &EncounterBox::tell);
    read();
}

void EncounterBox::read() {
    const auto read = read_encounter_boxes(vehicle_->currentText().toStdString(), cpa_->text().toStdString(),
                                           tcpa_->text().toStdString(), side_->currentText().toStdString());
    if (const auto* refusal = std::get_if<Refusal>(&read)) {
        ask_.reset();
        understood_->setText(qt_text(refusal->reason));
        tint_said(understood_, false);
    } else {
        ask_ = std::get<EncounterAsk>(read);
        understood_->setText(QStringLiteral("Il mezzo %1 passerà a %2 miglia sulla %3 tra %4 minuti")
                                 .arg(ask_->vehicle)
                                 .arg(written_number(ask_->cpa_miles), side_->currentText(), written_number(ask_->tcpa_minutes)));
        tint_said(understood_, true);
    }
    prepare_->setEnabled(ask_.has_value());
}

QLabel* buddy_caption(const char* text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setBuddy(buddy);
    return label;
}

bool is_return_press(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool EncounterBox::eventFilter(QObject* watched, QEvent* event) {
    if (!is_return_press(event)) return QGroupBox::eventFilter(watched, event);
    prepare();
    return true;
}

void EncounterBox::prepare() {
    if (!ask_ || !actions_.place) return;
    const Result<std::vector<std::string>> done = actions_.place(*ask_);
    if (!done) {
        understood_->setText(qt_text(done.message()));
        tint_said(understood_, false);
        return;
    }
    QStringList lines;
    for (const std::string& line : done.value()) lines << qt_text(line);
    understood_->setText(QStringLiteral("Fatto: ") + lines.join(QStringLiteral("; ")));
    tint_said(understood_, true);
    followed_ = ask_->vehicle;
    tell();
    every_second_.start();
}

void EncounterBox::tell() {
    if (!followed_ || !actions_.approach) return;
    const std::optional<Approach> now = actions_.approach(*followed_);
    if (!now) {
        now_->setText(QStringLiteral("Mezzo %1: stessa rotta e velocità, la distanza non cambia")
                          .arg(*followed_));
        return;
    }
    const QString when = now->tcpa_minutes >= 0
                             ? QStringLiteral("TCPA %1 minuti").arg(with_comma(now->tcpa_minutes, 1))
                             : QStringLiteral("passato da %1 minuti").arg(with_comma(-now->tcpa_minutes, 1));
    now_->setText(QStringLiteral("Mezzo %1: CPA %2 miglia, %3").arg(*followed_).arg(with_comma(now->cpa_miles, 2), when));
}

}  // namespace vadrel::gui
