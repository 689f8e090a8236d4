#include "stations_box.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "gui/dialog_fit.h"
#include "gui/encounter_box.h"
#include "gui/qt_text.h"
#include "motion/position_text.h"

namespace vadrel::gui {

namespace {

// "44°05'00"N 9°49'00"E", as "Vai a posizione" says a position.
QString position_text(double lat, double lon) {
    const auto typed = [](double seconds) { return TypedCoordinate{std::fabs(seconds), seconds < 0}; };
    return qt_text(coordinate_text(typed(lat), true) + " " + coordinate_text(typed(lon), false));
}

}  // namespace

StationsBox::StationsBox(StationActions actions, QWidget* parent)
    : QGroupBox(QStringLiteral("Boe e SART in prova"), parent),
      actions_(std::move(actions)),
      buoy_name_(new QLineEdit(this)),
      buoy_position_(new QLineEdit(this)),
      add_(new QPushButton(QStringLiteral("A&ggiungi boa"), this)),
      remove_(new QPushButton(QStringLiteral("Togli l&e boe"), this)),
      sart_position_(new QLineEdit(this)),
      sart_on_(new QCheckBox(QStringLiteral("SART in prova acces&o"), this)),
      on_air_(new QLabel(this)),
      understood_(new QLabel(this)) {
    setObjectName(QStringLiteral("stazioni"));
    buoy_name_->setObjectName(QStringLiteral("boa_nome"));
    buoy_name_->setPlaceholderText(QStringLiteral("BOA NORD"));
    buoy_position_->setObjectName(QStringLiteral("boa_posizione"));
    buoy_position_->setPlaceholderText(QStringLiteral("44 05 N 9 49 E"));
    add_->setObjectName(QStringLiteral("aggiungi_boa"));
    remove_->setObjectName(QStringLiteral("togli_boe"));
    sart_position_->setObjectName(QStringLiteral("sart_posizione"));
    sart_position_->setPlaceholderText(QStringLiteral("44 01 N 10 00 E"));
    sart_on_->setObjectName(QStringLiteral("sart_acceso"));
    for (QPushButton* button : {add_, remove_}) button->setAutoDefault(false);
    on_air_->setObjectName(QStringLiteral("stazioni_in_onda"));
    on_air_->setTextFormat(Qt::PlainText);
    on_air_->setWordWrap(true);
    understood_->setObjectName(QStringLiteral("stazioni_capito"));
    understood_->setTextFormat(Qt::PlainText);
    understood_->setWordWrap(true);
    const auto caption = [this](const char* text, QWidget* buddy) { return buddy_caption(text, buddy, this); };
    auto* grid = new QGridLayout(this);
    grid->addWidget(caption("&Nome della boa:", buoy_name_), 0, 0);
    grid->addWidget(buoy_name_, 0, 1);
    grid->addWidget(caption("Posi&zione:", buoy_position_), 0, 2);
    grid->addWidget(buoy_position_, 0, 3);
    grid->addWidget(add_, 0, 4);
    grid->addWidget(caption("Posizione del SA&RT:", sart_position_), 1, 0);
    grid->addWidget(sart_position_, 1, 1);
    grid->addWidget(sart_on_, 1, 2, 1, 2);
    grid->addWidget(remove_, 1, 4);
    grid->addWidget(scrolling_status(understood_, 2), 2, 0, 1, 5);
    grid->addWidget(scrolling_status(on_air_, 2), 3, 0, 1, 5);
    for (QWidget* box : {buoy_name_, buoy_position_, sart_position_}) box->installEventFilter(this);
    connect(buoy_name_, &QLineEdit::textChanged, this, &StationsBox::read);
    connect(buoy_position_, &QLineEdit::textChanged, this, &StationsBox::read);
    connect(sart_position_, &QLineEdit::textChanged, this, &StationsBox::read);
    connect(add_, &QPushButton::clicked, this, &StationsBox::add_buoy);
    connect(remove_, &QPushButton::clicked, this, [this] {
        StationsOnAir stations = actions_.current();
        stations.buoys.clear();
        change(stations);
    });
    connect(sart_on_, &QCheckBox::toggled, this, &StationsBox::switch_sart);
    const StationsOnAir now = actions_.current();
    if (now.sart) sart_position_->setText(position_text(now.sart->lat, now.sart->lon));
    show_stations();
    read();
}

bool StationsBox::eventFilter(QObject* watched, QEvent* event) {
    if (!is_return_press(event)) return QGroupBox::eventFilter(watched, event);
    if (watched == sart_position_) {
        if (sart_on_->isChecked()) {
            switch_sart(true);  // a new position for the SART on the air
        } else {
            sart_on_->setChecked(true);
        }
    } else if (add_->isEnabled()) {
        add_buoy();
    }
    return true;
}

// What is typed, said as it is typed: the first thing wrong, or what will be sent.
void StationsBox::read() {
    QStringList said;
    bool understood = true;
    if (!buoy_name_->text().isEmpty() || !buoy_position_->text().isEmpty()) {
        const auto name = buoy_name_problem(buoy_name_->text().trimmed().toStdString());
        const auto at = read_both_coordinates(buoy_position_->text().toStdString());
        if (name) said << qt_text(name->reason);
        if (const auto* bad = std::get_if<std::string>(&at)) said << QStringLiteral("boa: ") + qt_text(*bad);
        understood = !name && std::holds_alternative<std::pair<double, double>>(at);
        if (understood) {
            const auto [lat, lon] = std::get<std::pair<double, double>>(at);
            said << QStringLiteral("Boa \"%1\" a %2").arg(buoy_name_->text().trimmed(), position_text(lat, lon));
        }
    }
    add_->setEnabled(understood && !said.isEmpty());
    const auto sart = read_both_coordinates(sart_position_->text().toStdString());
    if (const auto* bad = std::get_if<std::string>(&sart); bad && !sart_position_->text().isEmpty()) {
        said << QStringLiteral("SART: ") + qt_text(*bad);
        understood = false;
    }
    understood_->setText(said.join(QStringLiteral("; ")));
    tint_said(understood_, understood);
}

void StationsBox::add_buoy() {
    const auto at = read_both_coordinates(buoy_position_->text().toStdString());
    if (!std::holds_alternative<std::pair<double, double>>(at)) return read();
    StationsOnAir stations = actions_.current();
    const auto [lat, lon] = std::get<std::pair<double, double>>(at);
    stations.buoys.push_back({buoy_name_->text().trimmed().toStdString(), lat, lon});
    change(stations);
}

void StationsBox::switch_sart(bool on) {
    StationsOnAir stations = actions_.current();
    stations.sart.reset();
    if (on) {
        const auto at = read_both_coordinates(sart_position_->text().toStdString());
        if (const auto* bad = std::get_if<std::string>(&at)) {
            const QSignalBlocker quiet(sart_on_);
            sart_on_->setChecked(false);
            understood_->setText(QStringLiteral("SART: ") + qt_text(*bad));
            tint_said(understood_, false);
            return;
        }
        const auto [lat, lon] = std::get<std::pair<double, double>>(at);
        stations.sart = Sart{lat, lon, default_sart_mmsi};
    }
    change(stations);
}

void StationsBox::change(const StationsOnAir& stations) {
    const Result<std::vector<std::string>> done = actions_.set(stations);
    if (!done) {
        understood_->setText(qt_text(done.message()));
        tint_said(understood_, false);
    } else {
        QStringList lines;
        for (const std::string& line : done.value()) lines << qt_text(line);
        understood_->setText(QStringLiteral("Fatto: ") + lines.join(QStringLiteral("; ")));
        tint_said(understood_, true);
    }
    show_stations();
}

// The stations as the program sends them now.
void StationsBox::show_stations() {
    const StationsOnAir now = actions_.current();
    // A few names, the rest counted: the box keeps its height.
    constexpr std::size_t named = 4;
    QStringList buoys;
    for (std::size_t k = 0; k < std::min(named, now.buoys.size()); ++k) buoys << qt_text(now.buoys[k].name);
    if (now.buoys.size() > named) buoys << QStringLiteral("e altre %1").arg(now.buoys.size() - named);
    on_air_->setText(buoys.isEmpty() ? QStringLiteral("Nessuna boa.")
                                     : QStringLiteral("Boe: ") + buoys.join(QStringLiteral(", ")) + QLatin1Char('.'));
    remove_->setEnabled(!now.buoys.empty());
    const QSignalBlocker quiet(sart_on_);
    sart_on_->setChecked(now.sart.has_value());
}

}  // namespace vadrel::gui
