#include "map_canvas.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "gui/map_drawing.h"
#include "gui/map_routes.h"
#include "gui/qt_text.h"
#include "gui/route_dialog.h"
#include "gui/tile_layer.h"

namespace vadrel::gui {

namespace {

constexpr double zoom_per_notch = 2.0;
// A notch's zoom drawn over this time, so the eye follows where it goes.
constexpr int zoom_milliseconds = 160;
// How near the pointer comes to a vehicle to point at it.
constexpr double pointing_pixels = 10.0;

// A coordinate in degrees and minutes to a thousandth: 45°30,000'N.
QString degrees_minutes(double degrees, bool latitude) {
    const double size = std::fabs(degrees);
    long long thousandths = std::llround(size * 60000.0);
    const long long whole = thousandths / 60000;
    thousandths -= whole * 60000;
    const QChar letter = latitude ? (degrees < 0 || std::signbit(degrees) ? u'S' : u'N')
                                  : (degrees < 0 || std::signbit(degrees) ? u'W' : u'E');
    return QStringLiteral("%1°%2,%3'%4")
        .arg(whole)
        .arg(thousandths / 1000, 2, 10, QLatin1Char('0'))
        .arg(thousandths % 1000, 3, 10, QLatin1Char('0'))
        .arg(letter);
}

// A distance as the operator reads it: 850 m, 12,4 km.
QString distance_text(double metres) {
    if (!std::isfinite(metres)) return QStringLiteral("\u2014");
    if (metres < 1000.0) return QStringLiteral("%1 m").arg(std::llround(metres));
    return QStringLiteral("%1 km").arg(QLocale(QLocale::Italian).toString(metres / 1000.0, 'f', 1));
}

}  // namespace

MapCanvas::MapCanvas(PanelForm& form, QWidget* parent)
    : QWidget(parent),
      form_(form),
      places_(built_in_places()),
      detail_(MapDetail::built_in()),
      tiles_(new TileLayer(QStandardPaths::writableLocation(QStandardPaths::CacheLocation), this)) {
    setObjectName(QStringLiteral("mappa"));
    setMinimumSize(160, 120);
    // The wheel's zoom, step by step to its scale, round the cursor.
    zooming_.setDuration(zoom_milliseconds);
    zooming_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&zooming_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double scale = value.toDouble();
        if (scale > 0.0) projection_.zoom(projection_.metres_per_pixel() / scale, zoom_anchor_);
        update();
    });
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setCursor(Qt::OpenHandCursor);
    setMouseTracking(true);
    world_ = WorldMap::built_in();
    connect(tiles_, &TileLayer::updated, this, qOverload<>(&QWidget::update));
    // said once, on the map, until the layer is set again
    connect(tiles_, &TileLayer::failed, this, [this](const QString& why) {
        tile_note_ = QStringLiteral("Strade non disponibili: %1. Si mostra la mappa senza rete.").arg(why);
        update();
    });
}

void MapCanvas::set_tiles(const TileSettings& settings) {
    tiles_->set_source(settings.on, QString::fromStdString(settings.address));
    tile_note_.clear();
    update();
}

double MapCanvas::oldest_shown() const {
    return form_.platform.clock.steady_seconds() - TrackHistory::span_seconds;
}

const TrackHistory& MapCanvas::tracks() const { return form_.transmitter.tracks(); }

GeoPoint MapCanvas::live(std::size_t m) const { return geo(form_.fleet.vehicle(m));
}

std::vector<std::size_t> MapCanvas::shown_vehicles() const {
    std::vector<std::size_t> shown;
    const double oldest = oldest_shown();
    for (std::size_t m = 0; m < fleet_size; ++m) {
        const auto& track = tracks().points(m);
        if (form_.fleet.in_use(m) || (!track.empty() && track.back().steady >= oldest)) shown.push_back(m);
    }
    return shown;
}

std::vector<GeoPoint> MapCanvas::fleet_points() const {
    // Where the vehicles are now and the tracks that lead there: a track
    // before the vehicle was last set by hand no longer counts.
    std::vector<GeoPoint> points;
    const double oldest = oldest_shown();
    for (const std::size_t m : shown_vehicles()) {
        const std::uint32_t segment = form_.fleet.vehicle(m).segment;
        for (const TrackPoint& p : tracks().points(m)) {
            if (p.steady >= oldest && p.segment == segment) points.push_back(geo(p));
        }
        points.push_back(live(m));
        // and the route it follows, all of it
        if (const FollowedRoute* followed = routes_ != nullptr ? routes_->route(m) : nullptr) {
            for (std::size_t i = 0; i < followed->route.size(); ++i) {
                const RoutePoint p = followed->route.point(i);
                points.push_back({p.lat, p.lon});
            }
        }
    }
    for (const DeviceDot& d : devices()) points.push_back(d.where);
    return points;
}

QString MapCanvas::describe(const DeviceDots& dots, const DotCell& dot) const {
    if (dot.count > 1)
        return QStringLiteral("%1 dispositivi della flotta qui: ingrandire per vederli uno a uno").arg(dot.count);
    const DeviceDot& d = dots.device(dot);
    return QStringLiteral("Dispositivo %1 (flotta per server)\n%2 %3\nVelocità %4 Km/h, rotta %5°")
        .arg(qt_text(d.id), degrees_minutes(d.where.lat, true), degrees_minutes(d.where.lon, false))
        .arg(whole_number(d.speed_kmh))
        .arg(whole_number(d.course), 3, 10, QLatin1Char('0'));
}

std::optional<std::size_t> MapCanvas::vehicle_at(QPointF point) const {
    std::optional<std::size_t> nearest;
    double best = pointing_pixels;
    for (const std::size_t m : shown_vehicles()) {
        const QPointF d = projection_.to_screen(live(m)) - point;
        const double distance = std::hypot(d.x(), d.y());
        // the current vehicle, drawn on top, wins a tie
        if (distance < best || (distance == best && m == form_.fleet.current())) {
            best = distance;
            nearest = m;
        }
    }
    return nearest;
}

QString MapCanvas::describe(std::size_t m) const {
    const auto route_and_mmsi = [this](std::size_t n) {
        QString text;
        if (const FollowedRoute* followed = routes_ != nullptr ? routes_->route(n) : nullptr) {
            const QString name = followed->route.name().empty() ? QStringLiteral("senza nome")
                                                               : qt_text(followed->route.name());
            if (followed->progress.finished) {
                text += QStringLiteral("\nPercorso \u00ab%1\u00bb: finito").arg(name);
            } else {
                const RouteSummary left = routes_->summary(n);
                text += QStringLiteral("\nPercorso \u00ab%1\u00bb: fatti %2, mancano %3")
                            .arg(name, distance_text(left.done_m), distance_text(left.left_m));
            }
            // Being written is not "not kept": said once it is known.
            const std::string& why = routes_->not_kept(n);
            if (!why.empty() && !routes_->keeping(n)) text += QStringLiteral("\n") + not_kept_text(why);
        }
        if (const auto ais = ais_ ? ais_(n) : std::nullopt) {
            text += QStringLiteral("\nMMSI %1").arg(ais->mmsi, 9, 10, QLatin1Char('0'));
        }
        return text;
    };
    const Vehicle& v = form_.fleet.vehicle(m);
    const QString unit = v.unit == SpeedUnit::knots ? QStringLiteral("miglia/h") : QStringLiteral("Km/h");
    const std::string why = form_.fleet.in_use(m).text();
    return QStringLiteral("Mezzo %1%2\n%3 %4\nVelocità %5 %6, rotta %7°")
        .arg(m)
        .arg(why.empty() ? QString() : QStringLiteral(" (%1)").arg(QString::fromStdString(why)))
        .arg(degrees_minutes(v.latitude_degrees(), true), degrees_minutes(v.longitude_degrees(), false))
        .arg(whole_number(v.speed))
        .arg(unit)
        .arg(whole_number(v.course), 3, 10, QLatin1Char('0')) +
           route_and_mmsi(m) + (identity && !identity(m).isEmpty() ? QStringLiteral("\n") + identity(m) : QString());
}

void MapCanvas::bring_current_here(QPointF point) { emit place_current(projection_.to_geo(point)); }

void MapCanvas::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("menu_mappa_contesto"));
    QAction* here = menu.addAction(QStringLiteral("&Porta qui il mezzo attuale (%1)").arg(form_.fleet.current()));
    here->setObjectName(QStringLiteral("porta_qui"));
    const QPointF at = event->pos();
    connect(here, &QAction::triggered, this, [this, at] { bring_current_here(at); });
    if (routes_ != nullptr) {
        const GeoPoint where = projection_.to_geo(at);
        QAction* reach_here = menu.addAction(QStringLiteral("&Raggiungi"));
        reach_here->setObjectName(QStringLiteral("raggiungi_qui"));
        reach_here->setToolTip(QStringLiteral("Il mezzo attuale ci va dal punto dove è, alla sua velocità"));
        connect(reach_here, &QAction::triggered, this, [this, where] { emit reach(where); });
        QAction* append = menu.addAction(QStringLiteral("&Aggiungi punto al percorso"));
        append->setObjectName(QStringLiteral("aggiungi_punto"));
        connect(append, &QAction::triggered, this, [this, where] { emit append_to_route(where); });
    }
    menu.exec(event->globalPos());
}

void MapCanvas::start_drawing() {
    if (routes_ == nullptr) return;
    drawing_ = true;
    sketch_.clear();
    setCursor(Qt::CrossCursor);
    setFocus(Qt::OtherFocusReason);
    emit drawing_changed(true);
    update();
}

void MapCanvas::finish_drawing() {
    if (!drawing_) return;
    std::vector<GeoPoint> points = std::move(sketch_);
    cancel_drawing();
    if (!points.empty()) emit route_drawn(std::move(points));
}

void MapCanvas::cancel_drawing() {
    if (!drawing_) return;
    drawing_ = false;
    sketch_.clear();
    setCursor(Qt::OpenHandCursor);
    emit drawing_changed(false);
    update();
}

bool MapCanvas::event(QEvent* event) {
    // While drawing, Enter and Esc are the drawing's, not the window's (Esc closes it).
    if (drawing_ && event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void MapCanvas::keyPressEvent(QKeyEvent* event) {
    if (drawing_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        finish_drawing();
    } else if (drawing_ && event->key() == Qt::Key_Escape) {
        cancel_drawing();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void MapCanvas::hideEvent(QHideEvent* event) {
    // A drawing left in a closed window would catch the clicks when it opens again.
    cancel_drawing();
    QWidget::hideEvent(event);
}

void MapCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    // The double click's first click has added its point.
    if (drawing_ && event->button() == Qt::LeftButton) {
        finish_drawing();
    } else {
        QWidget::mouseDoubleClickEvent(event);
    }
}

void MapCanvas::fit() {
    zooming_.stop();
    following_ = true;
    projection_.set_viewport(size());
    projection_.fit(fleet_points());
    update();
}

void MapCanvas::refresh() {
    if (following_) {
        projection_.fit(fleet_points());
    }
    update();
}

void MapCanvas::resizeEvent(QResizeEvent* /*event*/) {
    projection_.set_viewport(size());
    if (following_) projection_.fit(fleet_points());
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0) return;
    following_ = false;
    // From where a zoom under way has got to, towards its end times this notch.
    const double from = projection_.metres_per_pixel();
    const double to = (zooming_.state() == QAbstractAnimation::Running ? zoom_target_ : from) /
                      std::pow(zoom_per_notch, notches);
    zoom_target_ = to;
    zoom_anchor_ = event->position();
    zooming_.stop();
    zooming_.setStartValue(from);
    zooming_.setEndValue(to);
    zooming_.start();
    event->accept();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    drag_ = event->position();
    pressed_at_ = event->position();
    dragged_ = false;
    setCursor(Qt::ClosedHandCursor);
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (drawing_) {
        pointer_ = event->position();
        update();
    }
    if (!drag_) {
        // pointing at a vehicle tells about it; else at a device of the fleet
        const auto m = vehicle_at(event->position());
        QString text = m ? describe(*m) : QString();
        if (!m) {
            const std::vector<DeviceDot> all = devices();
            const DeviceDots dots(projection_, all, size());
            if (const auto dot = dots.dot_at(event->position(), pointing_pixels)) text = describe(dots, *dot);
        }
        setToolTip(text);
        if (!text.isEmpty()) {
            QToolTip::showText(event->globalPosition().toPoint(), text, this);
        } else {
            QToolTip::hideText();
        }
        return;
    }
    if (!dragged_ && (event->position() - pressed_at_).manhattanLength() < QApplication::startDragDistance()) return;
    following_ = false;
    dragged_ = true;
    projection_.pan(event->position() - *drag_);
    drag_ = event->position();
    update();
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = drag_ && !dragged_;
    drag_.reset();
    setCursor(drawing_ ? Qt::CrossCursor : Qt::OpenHandCursor);
    if (click && drawing_) {
        const GeoPoint where = projection_.to_geo(event->position());
        if (std::fabs(where.lat) > 90.0) {
            // beyond a pole, zoomed far out: no place to go
            QToolTip::showText(event->globalPosition().toPoint(),
                               QStringLiteral("Fuori dalla Terra: punto non aggiunto"), this);
            return;
        }
        sketch_.push_back(where);
        update();
        return;
    }
    // a click on a vehicle tells about it, as pointing does
    if (click) {
        if (const auto m = vehicle_at(event->position())) {
            setToolTip(describe(*m));
            QToolTip::showText(event->globalPosition().toPoint(), describe(*m), this);
        }
    }
}

void MapCanvas::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QSizeF area = size();
    // the coast close up read on a worker the first time; drawn once it is in
    detail_.want_land(projection_, [this] {
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    });
    if (world_) draw_world(painter, projection_, *world_, area, &detail_);
    // The credit only over tiles drawn.
    const QString credit = tiles_->paint(painter, projection_) > 0 ? tiles_->attribution() : QString();
    const std::vector<std::size_t> shown = shown_vehicles();
    const FleetMarks marks(form_, projection_, routes_, ais_, oldest_shown());
    // The banner where it covers no vehicle; no label over the banner, the
    // credit, the scale bar or a vehicle.
    const std::vector<QRectF> points = marks.point_boxes(shown);
    const std::vector<DeviceDot> all_devices = devices();
    const DeviceDots dots(projection_, all_devices, area);
    const QRectF note = note_box(area, tile_note_, points);
    // Too close for any name on the view: the nearest place said in a box.
    const QString near = places_.nearby(projection_);
    std::vector<QRectF> off_note = points;
    if (!note.isEmpty()) off_note.push_back(note);
    const QRectF near_box = note_box(area, near, off_note);
    // How many devices of the fleet the view holds, off the other notes.
    const QString counted = dots.count_text();
    if (!near_box.isEmpty()) off_note.push_back(near_box);
    const QRectF count_box = note_box(area, counted, off_note);
    std::vector<QRectF> clear = kept_clear(area);
    for (const QRectF& box : {note, near_box, count_box, credit_box(area, credit)}) {
        if (!box.isEmpty()) clear.push_back(box);
    }
    std::vector<QRectF> graticule_clear = clear;
    graticule_clear.insert(graticule_clear.end(), points.begin(), points.end());
    // The names and the vehicles' labels off the graticule's.
    for (const QRectF& box : draw_graticule(painter, projection_, area, graticule_clear)) clear.push_back(box);

    if (shown.empty() && all_devices.empty()) {
        painter.setFont(map_font(9.0));
        painter.setPen(QColor(90, 90, 90));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Nessun mezzo da mostrare: la mappa mostra i mezzi\n"
                                        "che hanno trasmesso nell'ultima ora."));
    }
    marks.paint_tracks(painter, shown);
    for (const QRectF& box : marks.paint_routes(painter, shown)) clear.push_back(box);
    for (const QRectF& box : marks.paint_reported(painter, shown)) clear.push_back(box);
    // Under the points: where no place is free of them, they still show.
    if (!tile_note_.isEmpty()) draw_box_text(painter, note, tile_note_, 8.0, QColor(150, 0, 0));
    if (!near.isEmpty()) draw_box_text(painter, near_box, near, 8.0, QColor(50, 50, 50));
    if (!counted.isEmpty()) draw_box_text(painter, count_box, counted, 8.0, QColor(90, 60, 0));
    // Beside the vehicles, under them.
    dots.paint_dots(painter);
    marks.paint_points(painter, shown);
    dots.paint_labels(painter, marks.paint_labels(painter, shown, clear, places_));
    paint_sketch(painter);
    draw_scale_and_north(painter, projection_, area);
    if (!credit.isEmpty()) draw_box_text(painter, credit_box(area, credit), credit, 7.0, Qt::black);
}

void MapCanvas::paint_sketch(QPainter& painter) const {
    if (!drawing_) return;
    std::vector<GeoPoint> line = sketch_;
    if (pointer_ && !line.empty()) line.push_back(projection_.to_geo(*pointer_));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 2.0, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(legs_on_screen(projection_, line));
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(QColor(255, 220, 0));
    for (const GeoPoint& p : sketch_) painter.drawEllipse(projection_.to_screen(p), 4.0, 4.0);
}

}  // namespace vadrel::gui
