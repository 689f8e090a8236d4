#include "route_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "routes/follower.h"
#include "routes/geodesy.h"
#include "routes/route_files.h"
#include "gui/dialog_fit.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

// Points shown in the list: enough to see the route's shape and start.
constexpr std::size_t shown_points = 1000;

QString decimal(double value, int places) {
    return QLocale(QLocale::Italian).toString(value, 'f', places);
}

}  // namespace

QString not_kept_text(const std::string& why) {
    return QStringLiteral("Il percorso non è tenuto per il prossimo avvio (%1); vadrel riprova a ogni salvataggio "
                          "della tabella.")
        .arg(qt_text(why));
}

QString duration_text(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0) return QStringLiteral("\u2014");
    const auto whole = static_cast<long long>(std::llround(seconds));
    const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    if (h > 0) return QStringLiteral("%1 h %2 min %3 s").arg(h).arg(m, 2, 10, QChar(u'0')).arg(s, 2, 10, QChar(u'0'));
    if (m > 0) return QStringLiteral("%1 min %2 s").arg(m).arg(s, 2, 10, QChar(u'0'));
    return QStringLiteral("%1 s").arg(s);
}

RouteDialog::RouteDialog(const Fleet& fleet, VehicleRoutes& routes, std::size_t n, QWidget* parent)
    : QDialog(parent), fleet_(fleet), routes_(routes), vehicle_(n) {
    setObjectName(QStringLiteral("percorso"));
    setWindowTitle(QStringLiteral("Percorso - mezzo %1").arg(n));

    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("percorso_file"));
    path_->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("&Sfoglia..."), this);
    browse->setObjectName(QStringLiteral("percorso_sfoglia"));
    auto* open = new QPushButton(QStringLiteral("&Apri"), this);
    open->setObjectName(QStringLiteral("percorso_apri"));
    auto* file_row = new QHBoxLayout;
    file_row->addWidget(path_);
    file_row->addWidget(browse);
    file_row->addWidget(open);

    choice_ = new QComboBox(this);
    choice_->setObjectName(QStringLiteral("percorso_scelta"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("percorso_riassunto"));
    summary_->setWordWrap(true);
    points_ = new QListWidget(this);
    points_->setObjectName(QStringLiteral("percorso_punti"));
    points_->setMinimumHeight(140);

    make_options();

    message_ = new QLabel(this);
    message_->setTextFormat(Qt::PlainText);  // it names the route, whatever its name holds
    message_->setObjectName(QStringLiteral("percorso_messaggio"));
    message_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    apply_ = buttons->addButton(QStringLiteral("A&pplica"), QDialogButtonBox::AcceptRole);
    apply_->setObjectName(QStringLiteral("percorso_applica"));
    apply_->setEnabled(false);
    // Only a click (or Alt+P) gives the route: Enter reads the file.
    apply_->setAutoDefault(false);
    browse->setAutoDefault(false);
    open->setAutoDefault(false);
    path_->installEventFilter(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RouteDialog::apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File:"), file_row);
    form->addRow(QStringLiteral("Percorso del file:"), choice_);
    form->addRow(QString(), summary_);
    form->addRow(QStringLiteral("Punti:"), points_);
    form->addRow(QStringLiteral("Alla fine:"), end_);
    form->addRow(QStringLiteral("Virata:"), turn_);
    form->addRow(QString(), rhythm_);
    form->addRow(QString(), from_here_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);

    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(
            this, QStringLiteral("Percorso"), path_->text(),
            QStringLiteral("Percorsi (*.gpx *.kml *.csv *.txt *.json);;Tutti i file (*)"));
        if (chosen.isEmpty()) return;
        path_->setText(chosen);
        load();
    });
    connect(open, &QPushButton::clicked, this, &RouteDialog::load);
    connect(choice_, &QComboBox::currentIndexChanged, this, &RouteDialog::choose);
    connect(rhythm_, &QCheckBox::toggled, this, &RouteDialog::describe);
    connect(from_here_, &QCheckBox::toggled, this, &RouteDialog::describe);

    show_followed();
}

void RouteDialog::make_options() {
    end_ = new QComboBox(this);
    end_->setObjectName(QStringLiteral("percorso_fine"));
    end_->addItem(QStringLiteral("Ferma all'ultimo punto"), static_cast<int>(RouteEnd::stop));
    end_->addItem(QStringLiteral("Ciclo: di nuovo dal primo punto"), static_cast<int>(RouteEnd::loop));
    end_->addItem(QStringLiteral("Indietro lungo il percorso"), static_cast<int>(RouteEnd::back));
    rhythm_ = new QCheckBox(QStringLiteral("&Ritmo della traccia (alle ore dei punti)"), this);
    rhythm_->setObjectName(QStringLiteral("percorso_ritmo"));
    turn_ = new QDoubleSpinBox(this);
    turn_->setObjectName(QStringLiteral("percorso_virata"));
    turn_->setRange(0.0, 360.0);
    turn_->setDecimals(1);
    turn_->setSuffix(QStringLiteral(" °/s"));
    turn_->setSpecialValueText(QStringLiteral("immediata"));
    from_here_ = new QCheckBox(QStringLiteral("Dal punto &attuale (ci va da dove è)"), this);
    from_here_->setObjectName(QStringLiteral("percorso_da_qui"));
}

void RouteDialog::show_followed() {
    const FollowedRoute* followed = routes_.route(vehicle_);
    if (followed == nullptr) return;
    end_->setCurrentIndex(end_->findData(static_cast<int>(followed->options.end)));
    turn_->setValue(followed->options.turn_rate);
    rhythm_->setChecked(followed->options.track_times);
    // "Dal punto attuale" always starts unticked: the approach may be long.
    const QString now = QStringLiteral("Il mezzo %1 segue ora il percorso \"%2\" (%3 punti): un altro lo sostituisce.")
                            .arg(vehicle_).arg(qt_text(followed->route.name())).arg(followed->route.size());
    const std::string& not_kept = routes_.not_kept(vehicle_);
    if (not_kept.empty() || routes_.keeping(vehicle_)) {
        say(now, false);
    } else {
        say(now + QStringLiteral("\n") + not_kept_text(not_kept), true);
    }
}

bool RouteDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the path box reads the file; the dialog does not see it.
    if (watched == path_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            load();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RouteDialog::say(const QString& text, bool problem) {
    message_->setText(text);
    QPalette p = message_->palette();
    p.setColor(QPalette::WindowText, problem ? QColor(128, 0, 0) : palette().color(QPalette::WindowText));
    message_->setPalette(p);
}

void RouteDialog::load() {
    const QString path = path_->text().trimmed();
    read_.clear();
    choice_->clear();
    points_->clear();
    summary_->clear();
    apply_->setEnabled(false);
    if (path.isEmpty()) {
        say(QStringLiteral("Scrivere o scegliere il file del percorso."), true);
        return;
    }
    RouteReading reading = read_route_file(QFile::encodeName(path).toStdString());
    if (const auto* problem = std::get_if<ReadProblem>(&reading)) {
        say(QStringLiteral("Il percorso non si legge: ") + qt_text(problem->message()), true);
        return;
    }
    read_ = std::move(std::get<std::vector<Route>>(reading));
    say(QStringLiteral("%1 percorsi nel file.").arg(read_.size()), false);
    if (read_.size() == 1) say(QStringLiteral("Un percorso nel file."), false);
    const QSignalBlocker quiet(choice_);
    for (std::size_t i = 0; i < read_.size(); ++i) {
        const std::string& name = read_[i].name();
        choice_->addItem(
            QStringLiteral("%1. %2").arg(i + 1).arg(name.empty() ? QStringLiteral("(senza nome)") : qt_text(name)));
    }
    choose();
}

void RouteDialog::choose() {
    points_->clear();
    const int index = choice_->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= read_.size()) return;
    const Route& route = read_[static_cast<std::size_t>(index)];
    const std::size_t shown = std::min(route.size(), shown_points);
    for (std::size_t i = 0; i < shown; ++i) {
        const RoutePoint p = route.point(i);
        QString line = QStringLiteral("%1: %2, %3").arg(i + 1).arg(decimal(p.lat, 6), decimal(p.lon, 6));
        if (p.speed) line += QStringLiteral(" \u2022 %1 km/h").arg(decimal(*p.speed * 3.6, 1));
        points_->addItem(line);
    }
    if (route.size() > shown) points_->addItem(QStringLiteral("... e altri %1 punti").arg(route.size() - shown));
    rhythm_->setEnabled(route.has_times());
    if (!route.has_times()) rhythm_->setChecked(false);
    describe();
    apply_->setEnabled(true);
}

void RouteDialog::describe() {
    const int index = choice_->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= read_.size()) return;
    const Route& route = read_[static_cast<std::size_t>(index)];
    const Vehicle& v = fleet_.vehicle(vehicle_);
    const double kmh = std::fabs(v.speed_kmh());
    QString text = QStringLiteral("%1 punti, %2 km").arg(route.size()).arg(decimal(route.length() / 1000.0, 3));
    const bool rhythm = rhythm_->isChecked() && route.has_times();
    const double track_seconds = static_cast<double>(route.duration_ms()) / 1000.0;
    double seconds = 0.0;
    if (rhythm) {
        seconds = track_seconds;
        text += QStringLiteral("; al ritmo della traccia: %1").arg(duration_text(seconds));
    } else {
        seconds = route.travel_seconds(kmh / 3.6);
        text += QStringLiteral("; alla velocità del mezzo (%1 km/h): %2").arg(decimal(kmh, 1), duration_text(seconds));
        if (!std::isfinite(seconds)) text += QStringLiteral(" (il mezzo è fermo)");
    }
    if (from_here_->isChecked() && route.size() > 0) {
        // The first leg, from where the vehicle is: at the track's mean speed
        // with its rhythm, otherwise at the vehicle's.
        const RoutePoint first = route.point(0);
        const double approach =
            distance_m(vadrel::GeoPoint{v.lat / arc_seconds_per_degree, v.lon / arc_seconds_per_degree},
                       vadrel::GeoPoint{first.lat, first.lon});
        const double speed = rhythm ? (track_seconds > 0.0 ? route.length() / track_seconds : 0.0) : kmh / 3.6;
        const double approach_seconds = approach == 0.0 ? 0.0 : speed > 0.0 ? approach / speed : INFINITY;
        text += QStringLiteral(".\nDal punto attuale al primo punto: %1 km, %2; in tutto %3 km, %4")
                    .arg(decimal(approach / 1000.0, 3), duration_text(approach_seconds),
                         decimal((approach + route.length()) / 1000.0, 3), duration_text(seconds + approach_seconds));
    }
    summary_->setText(text);
}

void RouteDialog::apply() {
    const int index = choice_->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= read_.size()) return;
    FollowOptions options;
    options.end = static_cast<RouteEnd>(end_->currentData().toInt());
    options.track_times = rhythm_->isChecked();
    options.turn_rate = turn_->value();
    options.from_here = from_here_->isChecked();
    // A copy: the file's routes stay in the dialog should the route be refused.
    if (const auto why = routes_.give(vehicle_, read_[static_cast<std::size_t>(index)], options, this)) {
        say(QStringLiteral("Percorso rifiutato: ") + qt_text(*why), true);
        return;
    }
    // Followed but not kept: the dialog stays open to say so.
    if (const std::string& not_kept = routes_.not_kept(vehicle_); !not_kept.empty() && !routes_.keeping(vehicle_)) {
        say(QStringLiteral("Il mezzo %1 segue il percorso.\n").arg(vehicle_) + not_kept_text(not_kept), true);
        apply_->setEnabled(false);
        return;
    }
    accept();
}

}  // namespace vadrel::gui
