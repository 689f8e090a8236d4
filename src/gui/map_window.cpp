#include "map_window.h"

#include <cerrno>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QVariantAnimation>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "gui/ais_mark.h"
#include "gui/keys.h"
#include "gui/map_labels.h"
#include "gui/tile_dialog.h"
#include "gui/tile_layer.h"
#include "gui/map_routes.h"
#include "gui/qt_text.h"
#include "gui/route_dialog.h"
#include "os/qt_file_error.h"

namespace vadrel::gui {

namespace {

constexpr double zoom_per_notch = 2.0;
// A notch's zoom drawn over this time, so the eye follows where it goes.
constexpr int zoom_milliseconds = 160;
constexpr double graticule_min_pixels = 90.0;
// How near the pointer comes to a vehicle to point at it.
constexpr double pointing_pixels = 10.0;
// The heading arrow's length beyond the point.
constexpr double arrow_pixels = 16.0;
// An AIS target's triangle, from its centre to its base.
constexpr double ais_size = 7.0;

QFont map_font(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

GeoPoint geo(const TrackPoint& p) { return {p.lat, p.lon}; }
GeoPoint geo(const Vehicle& v) { return {v.lat / arc_seconds_per_degree, v.lon / arc_seconds_per_degree}; }

// Text with a white halo, readable over tracks and lines.
void halo_text(QPainter& painter, QPointF at, const QString& text, const QColor& colour) {
    QPainterPath path;
    path.addText(at, painter.font(), text);
    painter.setPen(QPen(Qt::white, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(path);
}

// The graticule's lines and labels; a label that would fall on a box of
// `avoid` (the scale bar, the north arrow, a banner, the credit) is left out.
// Returns where its labels went, for the other labels to keep off.
std::vector<QRectF> draw_graticule(QPainter& painter, const MapProjection& map, QSizeF size,
                                   const std::vector<QRectF>& avoid) {
    std::vector<QRectF> drawn;
    const double lat_step = graticule_step(map.metres_per_pixel(), MapProjection::earth_radius_m * std::numbers::pi / 180.0,
                                           graticule_min_pixels);
    const double lon_step =
        graticule_step(map.metres_per_pixel(), std::max(map.metres_per_degree_lon(), 1.0), graticule_min_pixels);
    const GeoPoint top_left = map.to_geo({0, 0});
    const GeoPoint bottom_right = map.to_geo({size.width(), size.height()});
    painter.setFont(map_font(7.0));
    const QFontMetricsF metrics(painter.font());
    const QColor line(205, 205, 205);
    const QColor label(90, 90, 90);
    const auto put = [&](QPointF at, const QString& text) {
        // the ink's box at the baseline, with the halo round it
        const QRectF box = metrics.boundingRect(text).translated(at).adjusted(-2, -2, 2, 2);
        for (const QRectF& kept : avoid)
            if (kept.intersects(box)) return;
        halo_text(painter, at, text, label);
        drawn.push_back(box);
    };

    const double south = std::max(bottom_right.lat, -90.0);
    const double north = std::min(top_left.lat, 90.0);
    for (double s = std::ceil(south * 3600.0 / lat_step) * lat_step; s <= north * 3600.0; s += lat_step) {
        const double y = map.to_screen({s / 3600.0, map.centre().lon}).y();
        painter.setPen(QPen(line, 1.0));
        painter.drawLine(QPointF(0, y), QPointF(size.width(), y));
        put({4, y - 3}, graticule_label(s / 3600.0, true, lat_step));
    }
    // longitudes east of the left edge, the short way from the centre
    const double west = map.centre().lon + std::remainder(top_left.lon - map.centre().lon, 360.0);
    const double east = map.centre().lon + std::remainder(bottom_right.lon - map.centre().lon, 360.0);
    const double span = std::min(east - west, 360.0);
    const double first = std::ceil(west * 3600.0 / lon_step) * lon_step;
    for (double s = first; s <= (west + span) * 3600.0; s += lon_step) {
        const double lon = std::remainder(s / 3600.0, 360.0);
        const double x = map.to_screen({map.centre().lat, lon}).x();
        painter.setPen(QPen(line, 1.0));
        painter.drawLine(QPointF(x, 0), QPointF(x, size.height()));
        put({x + 3, size.height() - 6}, graticule_label(lon, false, lon_step));
    }
    return drawn;
}

constexpr double scale_max_pixels = 120.0;

// A line of the world on the screen, its longitudes taken on from each point
// to the next the short way, so that a coast across the 180th meridian, or
// the far side of the globe from the centre, stays one piece.
QPolygonF on_screen(const MapProjection& map, const WorldMap::Line& line) {
    QPolygonF out;
    out.reserve(static_cast<qsizetype>(line.size()));
    const double pixels_per_degree = map.metres_per_degree_lon() / map.metres_per_pixel();
    double previous_lon = 0.0;
    QPointF previous;
    for (const GeoPoint& p : line) {
        QPointF at = map.to_screen(p);
        if (!out.isEmpty()) at.setX(previous.x() + std::remainder(p.lon - previous_lon, 360.0) * pixels_per_degree);
        out << at;
        previous = at;
        previous_lon = p.lon;
    }
    return out;
}

// The sea, the land with its coast, the borders.
void draw_world(QPainter& painter, const MapProjection& map, const WorldMap& world, QSizeF size) {
    painter.fillRect(QRectF(QPointF(0, 0), size), QColor(214, 230, 244));
    const QRectF view(QPointF(-10, -10), size + QSizeF(20, 20));
    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);
    for (const WorldMap::Line& ring : world.land) {
        const QPolygonF shape = on_screen(map, ring);
        if (shape.boundingRect().intersects(view)) land.addPolygon(shape);
    }
    painter.setPen(QPen(QColor(105, 140, 175), 1.0));
    painter.setBrush(QColor(240, 236, 222));
    painter.drawPath(land);
    painter.setPen(QPen(QColor(150, 105, 150), 1.0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    for (const WorldMap::Line& border : world.borders) {
        const QPolygonF line = on_screen(map, border);
        if (line.boundingRect().intersects(view)) painter.drawPolyline(line);
    }
}

// The tip of a moving vehicle's heading arrow, drawn from its point on the
// course it goes over the ground; none for a vehicle standing still.
std::optional<QPointF> arrow_tip(const Vehicle& vehicle, QPointF at, double radius) {
    const GroundMotion motion = ground_motion(vehicle);
    if (!(motion.kmh > 0.0)) return std::nullopt;
    const double angle = motion.course * std::numbers::pi / 180.0;
    return at + QPointF(std::sin(angle), -std::cos(angle)) * (radius + arrow_pixels);
}

// Where the scale bar and the north arrow are drawn: no label goes there.
std::vector<QRectF> kept_clear(QSizeF size) {
    return {QRectF(6.0, size.height() - 46.0, scale_max_pixels + 12.0, 32.0),
            QRectF(size.width() - 36.0, 10.0, 24.0, 48.0)};
}

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

void draw_scale_and_north(QPainter& painter, const MapProjection& map, QSizeF size) {
    const ScaleBar bar = scale_bar(map.metres_per_pixel(), scale_max_pixels);
    const double y = size.height() - 24.0;
    const double x = 12.0;
    painter.fillRect(QRectF(x - 6.0, y - 22.0, bar.pixels + 12.0, 32.0), QColor(255, 255, 255, 220));
    painter.setPen(QPen(Qt::black, 2.0));
    painter.drawLine(QPointF(x, y), QPointF(x + bar.pixels, y));
    painter.drawLine(QPointF(x, y - 5), QPointF(x, y + 5));
    painter.drawLine(QPointF(x + bar.pixels, y - 5), QPointF(x + bar.pixels, y + 5));
    painter.setFont(map_font(8.0));
    halo_text(painter, {x, y - 8}, bar.text, Qt::black);

    // north is up on this plane
    const QPointF tip(size.width() - 24.0, 14.0);
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip + QPointF(8, 26));
    arrow.lineTo(tip + QPointF(0, 19));
    arrow.lineTo(tip + QPointF(-8, 26));
    arrow.closeSubpath();
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::black);
    painter.drawPath(arrow);
    painter.setFont(map_font(9.0, true));
    halo_text(painter, tip + QPointF(-4, 40), QStringLiteral("N"), Qt::black);
}

// Where the map says the street tiles stopped: top left, under nothing.
QRectF note_box(QSizeF size, const QString& text) {
    if (text.isEmpty()) return {};
    const QFontMetricsF metrics(map_font(8.0));
    const QRectF room(0, 0, std::max(size.width() - 60.0, 60.0), size.height());
    const QRectF ink = metrics.boundingRect(room, Qt::TextWordWrap, text);
    return QRectF(6.0, 6.0, ink.width() + 10.0, ink.height() + 6.0);
}

// The tiles' credit, bottom right, over the longitude labels.
QRectF credit_box(QSizeF size, const QString& text) {
    if (text.isEmpty()) return {};
    const QFontMetricsF metrics(map_font(7.0));
    const double width = metrics.horizontalAdvance(text) + 8.0;
    return QRectF(size.width() - width - 2.0, size.height() - metrics.height() - 4.0, width, metrics.height() + 2.0);
}

void draw_box_text(QPainter& painter, const QRectF& box, const QString& text, double points, const QColor& colour) {
    painter.setPen(QPen(QColor(120, 120, 120), 1.0));
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawRect(box);
    painter.setFont(map_font(points));
    painter.setPen(colour);
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignVCenter, text);
}
// A distance as the operator reads it: 850 m, 12,4 km.
QString distance_text(double metres) {
    if (!std::isfinite(metres)) return QStringLiteral("\u2014");
    if (metres < 1000.0) return QStringLiteral("%1 m").arg(std::llround(metres));
    return QStringLiteral("%1 km").arg(QLocale(QLocale::Italian).toString(metres / 1000.0, 'f', 1));
}

// A route's points drawn at most this close together on the screen, and at
// most so many of them for a route: a long route at a wide zoom shows its line.
constexpr double mark_spacing_pixels = 8.0;
constexpr std::size_t max_marks = 400;

}  // namespace

QColor vehicle_colour(std::size_t vehicle) {
    // Strong colours apart from each other and from the map's greys.
    static const QColor colours[] = {
        {220, 30, 30},  {30, 90, 220},  {20, 150, 40},  {230, 130, 0},  {150, 40, 180}, {0, 160, 170},
        {200, 0, 120},  {120, 90, 20},  {90, 170, 0},   {0, 80, 120},   {240, 90, 90},  {100, 100, 255},
        {160, 120, 0},  {0, 120, 60},   {255, 60, 200}, {60, 60, 60},   {180, 80, 0},   {0, 180, 255},
        {130, 0, 0},    {70, 0, 140},   {0, 110, 0},
    };
    return colours[vehicle % std::size(colours)];
}

MapCanvas::MapCanvas(PanelForm& form, QWidget* parent)
    : QWidget(parent),
      form_(form),
      places_(built_in_places()),
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
    return points;
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
        // pointing at a vehicle tells about it
        const auto m = vehicle_at(event->position());
        const QString text = m ? describe(*m) : QString();
        setToolTip(text);
        if (m) {
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
    if (world_) draw_world(painter, projection_, *world_, area);
    tiles_->paint(painter, projection_);
    const QString credit = tiles_->on() ? tiles_->attribution() : QString();
    std::vector<QRectF> clear = kept_clear(area);
    for (const QRectF& box : {note_box(area, tile_note_), credit_box(area, credit)}) {
        if (!box.isEmpty()) clear.push_back(box);
    }
    // The graticule's labels off those boxes; the names and the vehicles'
    // labels off the graticule's.
    for (const QRectF& box : draw_graticule(painter, projection_, area, clear)) clear.push_back(box);

    const std::vector<std::size_t> shown = shown_vehicles();
    if (shown.empty()) {
        painter.setFont(map_font(9.0));
        painter.setPen(QColor(90, 90, 90));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Nessun mezzo da mostrare: la mappa mostra i mezzi\n"
                                        "che hanno trasmesso nell'ultima ora."));
    }
    // A track breaks where the vehicle was set by hand, and where it runs
    // round the far side of the globe.
    const double half_world = MapProjection::earth_radius_m * std::numbers::pi * std::cos(projection_.centre().lat * std::numbers::pi / 180.0) /
                              projection_.metres_per_pixel();
    const double oldest = oldest_shown();
    for (const std::size_t m : shown) {
        QPainterPath path;
        const TrackPoint* previous = nullptr;
        QPointF last;
        for (const TrackPoint& p : tracks().points(m)) {
            if (p.steady < oldest) continue;
            const QPointF at = projection_.to_screen(geo(p));
            if (previous == nullptr || p.segment != previous->segment || std::fabs(at.x() - last.x()) > half_world) {
                path.moveTo(at);
            } else {
                path.lineTo(at);
            }
            previous = &p;
            last = at;
        }
        // on to where the vehicle is now, which moves on between its sentences
        const QPointF now = projection_.to_screen(live(m));
        if (previous != nullptr && form_.fleet.vehicle(m).segment == previous->segment &&
            std::fabs(now.x() - last.x()) <= half_world) {
            path.lineTo(now);
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(vehicle_colour(m), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    }
    for (const QRectF& box : paint_routes(painter, shown)) clear.push_back(box);
    for (const QRectF& box : paint_reported(painter, shown)) clear.push_back(box);
    // the points and labels over every track, the current vehicle on top
    std::vector<std::size_t> order = shown;
    const std::size_t current = form_.fleet.current();
    std::stable_partition(order.begin(), order.end(), [current](std::size_t m) { return m != current; });
    // An AIS target as the plotters draw one, with its name or MMSI.
    const auto target = [this](std::size_t m) -> std::optional<AisIdentity> {
        if (!form_.fleet.in_use(m).has(UseReason::ais_target)) return std::nullopt;
        return ais_ ? ais_(m) : std::nullopt;
    };
    const auto radius_of = [current, &target](std::size_t m) {
        return m == current ? 10.0 : target(m) ? ais_reach(ais_size) : 4.5;
    };
    const auto tip_of = [this, &target, &radius_of](std::size_t m, QPointF at) {
        return target(m) ? std::nullopt : arrow_tip(form_.fleet.vehicle(m), at, radius_of(m));
    };
    const auto label_of = [&target](std::size_t m) {
        const auto ais = target(m);
        return ais ? ais_label(*ais) : QString::number(m);
    };
    for (const std::size_t m : order) {
        const QPointF at = projection_.to_screen(live(m));
        const bool is_current = m == current;
        if (const auto ais = target(m)) {
            painter.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(vehicle_colour(m));
            painter.drawPath(ais_triangle(at, ground_motion(form_.fleet.vehicle(m)).course, ais_size));
            continue;
        }
        // the heading arrow, on the course it goes over the ground
        if (const auto arrow = tip_of(m, at)) {
            const QPointF tip = *arrow;
            const QPointF ahead = (tip - at) / (radius_of(m) + arrow_pixels);
            const QPointF side(-ahead.y(), ahead.x());
            painter.setPen(QPen(Qt::black, is_current ? 2.0 : 1.5, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(at, tip);
            QPainterPath head;
            head.moveTo(tip);
            head.lineTo(tip - ahead * 7.0 + side * 4.0);
            head.lineTo(tip - ahead * 7.0 - side * 4.0);
            head.closeSubpath();
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawPath(head);
        }
        const double radius = is_current ? 6.0 : 4.5;
        painter.setPen(QPen(is_current ? Qt::black : Qt::white, is_current ? 2.5 : 1.5));
        painter.setBrush(vehicle_colour(m));
        painter.drawEllipse(at, radius, radius);
        if (is_current) {
            painter.setPen(QPen(Qt::black, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(at, radius + 4.0, radius + 4.0);
        }
    }
    // the labels where none covers another, the current vehicle's placed first
    std::vector<std::size_t> labelled(order.rbegin(), order.rend());
    std::vector<LabelRequest> requests;
    for (const std::size_t m : labelled) {
        const QFontMetricsF metrics(map_font(9.0, m == current));
        const QRectF ink = metrics.boundingRect(label_of(m));
        const QPointF at = projection_.to_screen(live(m));
        requests.push_back({at, QSizeF(ink.width() + 4.0, metrics.height()), radius_of(m), tip_of(m, at)});
    }
    const std::vector<QRectF> boxes = place_labels(requests, clear);
    // the places' names where nothing of the vehicles' is
    std::vector<QRectF> taken = clear;
    taken.insert(taken.end(), boxes.begin(), boxes.end());
    for (const LabelRequest& r : requests) {
        taken.push_back(QRectF(r.point, r.point).adjusted(-r.radius, -r.radius, r.radius, r.radius));
        if (r.arrow_tip) taken.push_back(QRectF(r.point, *r.arrow_tip).normalized().adjusted(-4, -4, 4, 4));
    }
    places_.paint(painter, projection_, taken);
    for (std::size_t i = 0; i < labelled.size(); ++i) {
        const std::size_t m = labelled[i];
        if (!label_beside(requests[i], boxes[i])) {
            painter.setPen(QPen(vehicle_colour(m), 1.0));
            const QPointF end(std::clamp(requests[i].point.x(), boxes[i].left(), boxes[i].right()),
                              std::clamp(requests[i].point.y(), boxes[i].top(), boxes[i].bottom()));
            painter.drawLine(requests[i].point, end);
        }
        painter.setFont(map_font(9.0, m == current));
        const QFontMetricsF metrics(painter.font());
        halo_text(painter, QPointF(boxes[i].left() + 2.0, boxes[i].top() + metrics.ascent()), label_of(m), Qt::black);
    }
    paint_sketch(painter);
    draw_scale_and_north(painter, projection_, area);
    if (!tile_note_.isEmpty()) draw_box_text(painter, note_box(area, tile_note_), tile_note_, 8.0, QColor(150, 0, 0));
    if (!credit.isEmpty()) draw_box_text(painter, credit_box(area, credit), credit, 7.0, Qt::black);
}

std::vector<QRectF> MapCanvas::paint_routes(QPainter& painter, const std::vector<std::size_t>& shown) const {
    std::vector<QRectF> marks;
    if (routes_ == nullptr) return marks;
    std::vector<std::size_t> order = shown;
    const std::size_t current = form_.fleet.current();
    std::erase(order, current);
    order.push_back(current);  // on top, shown or not
    for (const std::size_t m : order) {
        const FollowedRoute* followed = routes_->route(m);
        if (followed == nullptr) continue;
        const bool is_current = m == current;
        const QColor colour = vehicle_colour(m);
        const RouteParts parts = split_route(followed->route, followed->progress, followed->options, live(m));
        painter.setBrush(Qt::NoBrush);
        QColor faint = colour;
        faint.setAlpha(is_current ? 150 : 90);
        painter.setPen(QPen(faint, is_current ? 2.5 : 1.5, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(legs_on_screen(projection_, followed->route, parts.done));
        painter.drawPolyline(legs_on_screen(projection_, followed->route, parts.approach));
        QColor bold = colour;
        bold.setAlpha(is_current ? 255 : 170);
        painter.setPen(QPen(bold, is_current ? 4.0 : 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(legs_on_screen(projection_, followed->route, parts.left));
        // its points, as squares, where they stand apart on the screen
        painter.setPen(QPen(Qt::black, 1.0));
        painter.setBrush(Qt::white);
        for (const QRectF& box : point_marks(projection_, followed->route, is_current ? 4.0 : 3.0, 8.0,
                                             mark_spacing_pixels, max_marks)) {
            painter.drawRect(box);
            marks.push_back(box);
        }
    }
    return marks;
}

std::vector<QRectF> MapCanvas::paint_reported(QPainter& painter, const std::vector<std::size_t>& shown) const {
    std::vector<QRectF> crosses;
    const double oldest = oldest_shown();
    const double arm = 6.0;
    for (const std::size_t m : shown) {
        const QColor colour = vehicle_colour(m);
        // the track of what was sent, dotted beside the true one
        QPolygonF sent;
        for (const TrackPoint& p : tracks().points(m)) {
            if (p.steady >= oldest && p.reported) sent << projection_.to_screen({p.reported_lat, p.reported_lon});
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colour, 1.0, Qt::DotLine));
        if (sent.size() > 1) painter.drawPolyline(sent);
        const auto reported = form_.transmitter.reported(m);
        if (!reported) continue;
        const QPointF truth = projection_.to_screen(live(m));
        const QPointF at = projection_.to_screen({reported->lat / arc_seconds_per_degree, reported->lon / arc_seconds_per_degree});
        painter.setPen(QPen(colour, 1.0));
        painter.drawLine(truth, at);
        painter.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(at + QPointF(-arm, -arm), at + QPointF(arm, arm));
        painter.drawLine(at + QPointF(-arm, arm), at + QPointF(arm, -arm));
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(at + QPointF(-arm, -arm), at + QPointF(arm, arm));
        painter.drawLine(at + QPointF(-arm, arm), at + QPointF(arm, -arm));
        crosses.emplace_back(at - QPointF(arm, arm), QSizeF(2 * arm, 2 * arm));
    }
    return crosses;
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

MapWindow::MapWindow(PanelForm& form, QWidget* parent) : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("finestra_mappa"));
    setWindowTitle(QStringLiteral("%1 - Mappa").arg(QString::fromUtf8(program_title)));
    // The map closes with the program, not the other way round.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* fit_button = new QPushButton(QStringLiteral("&Adatta"), this);
    fit_button->setObjectName(QStringLiteral("adatta"));
    fit_button->setToolTip(QStringLiteral("Mostra tutti i mezzi e li segue"));
    auto* streets_button = new QPushButton(QStringLiteral("S&trade..."), this);
    streets_button->setObjectName(QStringLiteral("strade"));
    streets_button->setToolTip(QStringLiteral("Strade dalla rete sotto la mappa"));
    auto* save_button = new QPushButton(QStringLiteral("&Salva immagine..."), this);
    save_button->setObjectName(QStringLiteral("salva_immagine"));
    draw_ = new QPushButton(QStringLiteral("&Disegna percorso"), this);
    draw_->setObjectName(QStringLiteral("disegna_percorso"));
    draw_->setCheckable(true);
    draw_->setToolTip(QStringLiteral("Ogni clic sulla mappa aggiunge un punto al percorso del mezzo attuale; "
                                     "doppio clic o Invio: fine; Esc: annulla"));
    draw_->setVisible(false);
    note_ = new QLabel(QStringLiteral("Rotella: ingrandisce e riduce; trascinare: sposta"), this);
    note_->setObjectName(QStringLiteral("nota"));
    canvas_ = new MapCanvas(form, this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fit_button);
    buttons->addWidget(streets_button);
    buttons->addWidget(save_button);
    buttons->addWidget(draw_);
    buttons->addWidget(note_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(canvas_, 1);
    resize(640, 520);

    connect(fit_button, &QPushButton::clicked, canvas_, &MapCanvas::fit);
    connect(save_button, &QPushButton::clicked, this, &MapWindow::ask_and_save);
    connect(streets_button, &QPushButton::clicked, this, [this] {
        if (tile_dialog_ == nullptr) {
            tile_dialog_ = new TileDialog(
                [this](const TileSettings& wanted) {
                    tile_settings_ = wanted;
                    canvas_->set_tiles(wanted);
                    return keep_tiles_ ? keep_tiles_(wanted) : std::string();
                },
                this);
        }
        tile_dialog_->open_on(tile_settings_);
    });
    connect(draw_, &QPushButton::toggled, canvas_, [this](bool on) {
        if (on && !canvas_->drawing()) canvas_->start_drawing();
        if (!on && canvas_->drawing()) canvas_->finish_drawing();
    });
    connect(canvas_, &MapCanvas::drawing_changed, this, [this](bool on) {
        draw_->setChecked(on);
        note_->setText(on ? QStringLiteral("Clic: aggiunge un punto; doppio clic o Invio: fine; Esc: annulla")
                          : QStringLiteral("Rotella: ingrandisce e riduce; trascinare: sposta"));
    });
    close_on_escape(*this);

    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    last_path_ = QDir(QDir(pictures).exists() ? pictures : QDir::homePath()).filePath(QStringLiteral("mappa.png"));
}

void MapWindow::set_tiles(const TileSettings& settings, std::function<std::string(const TileSettings&)> keep) {
    tile_settings_ = settings;
    keep_tiles_ = std::move(keep);
    canvas_->set_tiles(settings);
}

void MapWindow::set_routes(const VehicleRoutes* routes) {
    canvas_->set_routes(routes);
    draw_->setVisible(routes != nullptr);
}

void MapWindow::set_note(const QString& text) { note_->setText(text); }

void MapWindow::refresh() {
    if (isVisible()) canvas_->refresh();
}

QString MapWindow::save_image(const QString& path) const {
    // Written beside and renamed over: a failed save leaves what was there.
    QSaveFile file(path);
    const auto reason = [&file](const char* what, int system_error) {
        return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(what),
                                             QString::fromStdString(file_reason(file.error(), system_error)));
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) return reason("il file non si può creare lì", errno);
    QImageWriter writer(&file, "png");
    errno = 0;
    if (!writer.write(canvas_->grab().toImage())) {
        const int error = errno;
        file.cancelWriting();
        return reason("la scrittura non è riuscita", error);
    }
    errno = 0;
    if (!file.commit()) return reason("la scrittura non è riuscita", errno);
    return {};
}

void MapWindow::ask_and_save() {
    QFileDialog dialog(this, QStringLiteral("Salva immagine della mappa"), last_path_,
                       QStringLiteral("Immagini PNG (*.png)"));
    dialog.setObjectName(QStringLiteral("salva_mappa"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    const QString why = save_image(path);
    if (why.isEmpty()) {
        last_path_ = path;
        note_->setText(QStringLiteral("Immagine salvata: %1").arg(QDir::toNativeSeparators(path)));
    } else {
        form_.platform.shell.message_box(
            QStringLiteral("Impossibile salvare l'immagine %1: %2").arg(path, why).toStdString(), program_title);
    }
}

}  // namespace vadrel::gui
