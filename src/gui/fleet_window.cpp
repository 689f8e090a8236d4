#include "fleet_window.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "gui/keys.h"
#include "model/numbers.h"
#include "motion/position_text.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

QString coordinate(double arc_seconds, bool latitude) {
    const WholeSeconds w = whole_seconds(arc_seconds);
    return qt_text(coordinate_text(TypedCoordinate{std::fabs(arc_seconds_of(w)), w.negative}, latitude));
}

QString unit_name(SpeedUnit unit) { return unit == SpeedUnit::knots ? QStringLiteral("miglia/h") : QStringLiteral("Km/h"); }

// A number under the decimal comma or a point; nullopt for anything else.
std::optional<double> typed_number(const QString& typed) {
    return read_number(typed.trimmed().toStdString(), NumberSource::window_box);
}

}  // namespace

FleetWindow::FleetWindow(PanelForm& form, QWidget* parent) : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("flotta"));
    setWindowTitle(QStringLiteral("vadrel - Flotta"));

    table_ = new QTableWidget(static_cast<int>(fleet_size), columns, this);
    table_->setObjectName(QStringLiteral("tabella_flotta"));
    table_->setHorizontalHeaderLabels({QStringLiteral("N."), QStringLiteral("In uso"), QStringLiteral("Latitudine"),
                                       QStringLiteral("Longitudine"), QStringLiteral("Rotta"),
                                       QStringLiteral("Velocità"), QStringLiteral("Unità"),
                                       QStringLiteral("Ultima frase (UTC)")});
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    for (int row = 0; row < table_->rowCount(); ++row) {
        for (int column = 0; column < columns; ++column) {
            auto* item = new QTableWidgetItem;
            const bool editable = column >= col_latitude && column <= col_unit;
            if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            if (column == col_number || column == col_course || column == col_speed) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            table_->setItem(row, column, item);
        }
    }
    table_->setToolTip(QStringLiteral(
        "Doppio clic, F2 o un tasto per cambiare posizione, rotta, velocità o unità.\n"
        "Posizione come in Vai a posizione (45 30 0 N, 45,5), rotta da 0 a 360, unità Km/h o miglia/h."));

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("motivo"));
    note_->setWordWrap(true);
    QPalette red = note_->palette();
    red.setColor(QPalette::WindowText, QColor(128, 0, 0));
    note_->setPalette(red);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(note_);

    draw_all();
    // Each column as wide as its title and its widest cell, the current
    // vehicle's bold one included, as the values change.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setCurrentCell(0, col_latitude);
    // Wide enough for every column with a bold row, beside the scroll bar;
    // tall enough for the rows without scrolling where the screen allows.
    const int width = table_->horizontalHeader()->length() + 2 * table_->frameWidth() +
                      table_->verticalScrollBar()->sizeHint().width() + 40;
    const int height = table_->verticalHeader()->length() + table_->horizontalHeader()->height() +
                       2 * table_->frameWidth() + 8;
    // Its size to begin with, not its least: a small screen may hold it
    // beside the panel only smaller, scrolling.
    table_->setMinimumSize(320, 160);
    const QMargins margins = layout->contentsMargins();
    resize(std::min(width, 1000) + margins.left() + margins.right(),
           std::min(height, 620) + margins.top() + margins.bottom() + layout->spacing() + note_->sizeHint().height());

    watch_ = form_.fleet.watch([this](std::size_t n, Change what, Fleet::Origin) {
        if (changes_use(what)) {
            draw_all();
        } else {
            draw_row(n);
        }
    });
    connect(table_, &QTableWidget::itemChanged, this, &FleetWindow::edited);
    // Escape in a cell being edited gives up the edit (the editor takes it
    // first); elsewhere it closes the window, as in the program's other windows.
    close_on_escape(*this);
}

FleetWindow::~FleetWindow() { form_.fleet.unwatch(watch_); }

QString FleetWindow::note() const { return note_->text(); }

void FleetWindow::showEvent(QShowEvent* event) {
    draw_all();
    QWidget::showEvent(event);
}

void FleetWindow::refresh() {
    if (isVisible()) draw_all();
}

void FleetWindow::draw_all() {
    for (std::size_t n = 0; n < fleet_size; ++n) draw_row(n);
}

void FleetWindow::draw_row(std::size_t n) {
    if (n >= fleet_size) return;
    const Fleet& fleet = form_.fleet;
    const Vehicle& v = fleet.vehicle(n);
    const QString use = qt_text(fleet.in_use(n).text());
    QString last;
    const auto& points = form_.transmitter.tracks().points(n);
    if (!points.empty()) {
        last = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::floor(points.back().utc)), Qt::UTC)
                   .toString(QStringLiteral("HH:mm:ss"));
    }
    const QString texts[columns] = {QString::number(n),
                                    use,
                                    coordinate(v.lat, true),
                                    coordinate(v.lon, false),
                                    QString::number(whole_number(v.course)),
                                    QString::number(whole_number(v.speed)),
                                    unit_name(v.unit),
                                    last};
    const int row = static_cast<int>(n);
    const bool was = drawing_;
    drawing_ = true;
    for (int column = 0; column < columns; ++column) {
        QTableWidgetItem* item = table_->item(row, column);
        if (item != nullptr && item->text() != texts[column]) item->setText(texts[column]);
    }
    QFont font = table_->font();
    font.setBold(n == fleet.current());
    for (int column = 0; column < columns; ++column) {
        if (QTableWidgetItem* item = table_->item(row, column)) {
            if (item->font() != font) item->setFont(font);
        }
    }
    drawing_ = was;
}

void FleetWindow::edited(QTableWidgetItem* item) {
    if (drawing_ || item == nullptr) return;
    const auto n = static_cast<std::size_t>(item->row());
    const std::optional<Refusal> refusal = apply(n, item->column(), item->text());
    say(refusal);
    // What the vehicle has now: the value taken as the fleet keeps it, or
    // the one it had.
    draw_row(n);
}

std::optional<Refusal> FleetWindow::apply(std::size_t n, int column, const QString& typed) {
    Fleet& fleet = form_.fleet;
    switch (column) {
        case col_latitude:
        case col_longitude: {
            // A lone number is degrees of this column's coordinate; anything
            // else is read as "Vai a posizione" reads it, its letters saying
            // which coordinate.
            if (const auto degrees = typed_number(typed)) {
                const double seconds = *degrees * arc_seconds_per_degree;
                return column == col_latitude ? fleet.place(n, seconds, std::nullopt, this)
                                          : fleet.place(n, std::nullopt, seconds, this);
            }
            const auto read = read_position(typed.toStdString());
            if (const auto* reason = std::get_if<std::string>(&read)) {
                return Refusal{column == col_latitude ? "lat" : "lon", *reason};
            }
            const auto& where = std::get<TypedPosition>(read);
            const auto seconds = [](const std::optional<TypedCoordinate>& c) {
                return c ? std::optional<double>(c->signed_seconds()) : std::nullopt;
            };
            return fleet.place(n, seconds(where.lat), seconds(where.lon), this);
        }
        case col_course: {
            const auto value = typed_number(typed);
            if (!value) return Refusal{"rotta", "la rotta è un numero di gradi da 0 a 360, non «" + typed.toStdString() + "»"};
            return fleet.set_course(n, *value, this);
        }
        case col_speed: {
            const auto value = typed_number(typed);
            if (!value) return Refusal{"velocita", "la velocità è un numero, non «" + typed.toStdString() + "»"};
            return fleet.set_speed(n, *value, this);
        }
        case col_unit: {
            const QString name = typed.trimmed().toLower();
            if (name == QStringLiteral("km/h") || name == QStringLiteral("km") || name == QStringLiteral("kmh")) {
                return fleet.set_unit(n, SpeedUnit::kmh, this);
            }
            if (name == QStringLiteral("miglia/h") || name == QStringLiteral("miglia") || name == QStringLiteral("nodi")) {
                return fleet.set_unit(n, SpeedUnit::knots, this);
            }
            return Refusal{"unita", "l'unità è Km/h o miglia/h, non «" + typed.toStdString() + "»"};
        }
        default:
            return std::nullopt;
    }
}

void FleetWindow::say(const std::optional<Refusal>& refusal) {
    if (!refusal) {
        note_->clear();
        return;
    }
    QString reason = qt_text(refusal->reason);
    if (!reason.isEmpty()) reason[0] = reason[0].toUpper();
    note_->setText(reason);
}

}  // namespace vadrel::gui
