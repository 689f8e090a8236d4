#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <exception>

#include "gui/fleet_window.h"
#include "gui/placement.h"
#include "gui/goto_dialog.h"
#include "gui/help_key.h"
#include "gui/route_dialog.h"
#include "gui/italian_qt_texts.h"
#include "gui/map_window.h"
#include "gui/sky_view.h"
#include "gui/monitor.h"
#include "gui/panel_frame.h"
#include "gui/text_box_binding.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

QColor qt_colour(const Colour& colour) { return QColor(colour.red, colour.green, colour.blue); }

// DejaVu Sans in its condensed cut: the captions were laid out for a
// narrower face than the normal cut, which would clip "Secondi" or "miglia/h".
QFont panel_font(const Font& font) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStretch(QFont::Condensed);
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    return f;
}

// The captions read as they stand; Alt and the underlined letter open the entry.
QString with_accelerator(const std::string& caption, char letter) {
    QString text = qt_text(caption);
    const qsizetype at = text.indexOf(QLatin1Char(letter), 0, Qt::CaseInsensitive);
    if (at >= 0) text.insert(at, QLatin1Char('&'));
    return text;
}

// The letters of the panel's own menu entries.
char accelerator_of(const std::string& menu_entry) {
    if (menu_entry == "menu_info") return 'I';
    if (menu_entry == "menu_help") return 'H';
    return 0;
}

}  // namespace

MainWindow::MainWindow(PanelForm& form, QWidget* parent) : QMainWindow(parent), form_(form) {
    setWindowTitle(qt_text(window_caption));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, qt_colour(PanelForm::background));
    grey.setColor(QPalette::Button, qt_colour(PanelForm::background));
    setPalette(grey);
    setFont(panel_font(Font{}));
    build();

    help_key_ = new HelpKey(form_, this);
    qApp->installEventFilter(help_key_);
    // Qt's own Italian for its dialogs (choosing a file), where it is
    // installed; our own texts over it.
    qt_italian_ = new QTranslator(this);
    if (qt_italian_->load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt_italian_);
    }
    italian_ = new ItalianQtTexts(this);
    QCoreApplication::installTranslator(italian_);
    render();
}

MainWindow::~MainWindow() {
    if (routes_ != nullptr && routes_watch_ != 0) routes_->unwatch(routes_watch_);
    if (routes_ != nullptr && keeping_watch_ != 0) routes_->unwatch(keeping_watch_);
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QCoreApplication::removeTranslator(italian_);
        QCoreApplication::removeTranslator(qt_italian_);
        app->removeEventFilter(help_key_);
    }
}

void MainWindow::build() {
    text_boxes_ = new TextBoxBinding([this](const std::function<void()>& event) { forward(event); }, this);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Form1"));
    client->setAutoFillBackground(true);
    client->setFixedSize(pixels(PanelForm::client_width), pixels(PanelForm::client_height));
    setCentralWidget(client);
    widgets_["Form1"] = client;

    for (Control* control : form_.controls()) {
        if (control->kind() == ControlKind::menu_entry) {
            auto& entry = static_cast<MenuEntry&>(*control);
            QAction* action = menuBar()->addAction(with_accelerator(entry.caption(), accelerator_of(entry.name())));
            action->setObjectName(qt_text(entry.name()));
            connect(action, &QAction::triggered, this, [this, &entry] {
                forward([&entry] { entry.click(); });
            });
            continue;
        }
        const auto container = widgets_.find(control->container());
        if (container == widgets_.end()) continue;  // inside a hidden control
        QWidget* widget = make_widget(*control, container->second);
        if (widget == nullptr) continue;
        widgets_[control->name()] = widget;
    }

    // The controls defined first lie on top, as start_stop_button over its frame.
    const auto& controls = form_.controls();
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        if (QWidget* w = control_widget((*it)->name())) w->raise();
    }

    build_menus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void MainWindow::build_menus() {
    QMenu* vehicle_menu = menuBar()->addMenu(QStringLiteral("&Veicolo"));
    vehicle_menu->setObjectName(QStringLiteral("menu_veicolo"));
    vehicle_menu_ = vehicle_menu;
    QAction* vai = vehicle_menu->addAction(QStringLiteral("&Vai a posizione..."));
    vai->setObjectName(QStringLiteral("menu_vai_a_posizione"));
    vai->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(vai, &QAction::triggered, this, &MainWindow::open_go_to);
    QAction* map_action = vehicle_menu->addAction(QStringLiteral("&Mappa"));
    map_action->setObjectName(QStringLiteral("menu_mappa"));
    connect(map_action, &QAction::triggered, this, &MainWindow::open_map);
    QAction* fleet_action = vehicle_menu->addAction(QStringLiteral("&Flotta"));
    fleet_action->setObjectName(QStringLiteral("menu_flotta"));
    connect(fleet_action, &QAction::triggered, this, &MainWindow::open_fleet);
    QAction* sky_options = vehicle_menu->addAction(QStringLiteral("&Cielo"));
    sky_options->setObjectName(QStringLiteral("menu_cielo"));
    connect(sky_options, &QAction::triggered, this, &MainWindow::open_sky);
}

void MainWindow::open_sky() {
    if (sky_ == nullptr) sky_ = new SkyView(form_, this);
    show_beside(*sky_, *this);
}

void MainWindow::set_routes(VehicleRoutes* routes) {
    if (routes_ != nullptr && routes_watch_ != 0) routes_->unwatch(routes_watch_);
    if (routes_ != nullptr && keeping_watch_ != 0) routes_->unwatch(keeping_watch_);
    routes_watch_ = keeping_watch_ = 0;
    routes_ = routes;
    if (map_ != nullptr) map_->set_routes(routes_);
    if (routes_ == nullptr) return;
    // A route given from anywhere (the control interface too) and not kept.
    routes_watch_ = routes_->watch([this](std::size_t n, Fleet::Origin) {
        const std::string& why = routes_->not_kept(n);
        // The route dialog says it itself; one being written is told when done.
        if (why.empty() || routes_->keeping(n) || findChild<RouteDialog*>() != nullptr) return;
        tell_not_kept(n, why);
    });
    // A route found not kept once written.
    keeping_watch_ = routes_->watch_keeping([this](std::size_t n, const std::string& why, bool again) {
        if (why.empty() || again || !routes_->has_route(n) || findChild<RouteDialog*>() != nullptr) return;
        tell_not_kept(n, why);
    });
    if (vehicle_menu_ == nullptr) return;
    QAction* first = vehicle_menu_->actions().value(1);  // after "Vai a posizione..."
    auto* route_action = new QAction(QStringLiteral("&Percorso..."), vehicle_menu_);
    route_action->setObjectName(QStringLiteral("menu_percorso"));
    connect(route_action, &QAction::triggered, this, &MainWindow::open_route);
    auto* remove_route_action = new QAction(QStringLiteral("&Togli percorso"), vehicle_menu_);
    remove_route_action->setObjectName(QStringLiteral("menu_togli_percorso"));
    connect(remove_route_action, &QAction::triggered, this, [this] {
        forward([this] { routes_->take_away(form_.fleet.current(), this); });
    });
    vehicle_menu_->insertAction(first, route_action);
    vehicle_menu_->insertAction(first, remove_route_action);
    // Only for a vehicle that has a route.
    connect(vehicle_menu_, &QMenu::aboutToShow, remove_route_action, [this, remove_route_action] {
        remove_route_action->setEnabled(routes_->has_route(form_.fleet.current()));
    });
}

void MainWindow::tell_not_kept(std::size_t n, const std::string& why) {
    // One box, not modal: the tick and the control interface go on.
    if (not_kept_box_.isNull()) {
        not_kept_box_ = new QMessageBox(this);
        not_kept_box_->setObjectName(QStringLiteral("percorso_non_tenuto"));
        not_kept_box_->setAttribute(Qt::WA_DeleteOnClose);
        not_kept_box_->setWindowTitle(QString::fromUtf8(program_title));
        not_kept_box_->setStandardButtons(QMessageBox::Ok);
        not_kept_box_->setWindowModality(Qt::NonModal);
    }
    not_kept_box_->setText(QStringLiteral("Il mezzo %1 segue il percorso.\n").arg(n) + not_kept_text(why));
    not_kept_box_->show();
}

void MainWindow::open_route() {
    if (routes_ == nullptr) return;
    auto* dialog = new RouteDialog(form_.fleet, *routes_, form_.fleet.current(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] { render(); });
    dialog->open();
}

void MainWindow::reach(std::size_t n, double lat, double lon) {
    if (routes_ == nullptr) return;
    // A route of one point, driven to from where the vehicle is.
    Route there(QStringLiteral("Raggiungi").toStdString());
    if (auto why = there.add({lat, lon})) {
        form_.platform.shell.message_box("Raggiungi: " + *why, program_title);
        return;
    }
    forward([&] {
        if (auto why = routes_->give(n, std::move(there), {RouteEnd::stop, false, 0.0, true}, this))
            form_.platform.shell.message_box("Raggiungi: " + *why, program_title);
    });
}

void MainWindow::set_ais(AisOf ais) {
    ais_ = std::move(ais);
    if (map_ != nullptr) map_->canvas()->set_ais(ais_);
}

void MainWindow::tell_if_standing(std::size_t n) {
    if (map_ == nullptr) return;
    if (routes_ != nullptr && routes_->has_route(n) && form_.fleet.vehicle(n).speed == 0.0) {
        map_->set_note(QStringLiteral("Il mezzo %1 ha velocità 0: partirà quando ne avrà una").arg(n));
    }
    map_->canvas()->update();
}

void MainWindow::open_go_to() {
    // Modal to the panel but without an event loop of its own: opened from
    // the events the multi-user tick lets run, the tick still ends.
    auto* dialog = new GoToDialog(form_, this, routes_ != nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (dialog->reach() && dialog->position() && routes_ != nullptr) {
            // A coordinate not typed stays the vehicle's.
            const std::size_t n = dialog->vehicle();
            const Vehicle& v = form_.fleet.vehicle(n);
            const auto& target = *dialog->position();
            const double lat = target.lat ? target.lat->signed_seconds() : v.lat;
            const double lon = target.lon ? target.lon->signed_seconds() : v.lon;
            reach(n, lat / arc_seconds_per_degree, lon / arc_seconds_per_degree);
            return;
        }
        if (const auto& target = dialog->position()) {
            // Through the fleet's change path, as anyone else's change: the
            // panel shows it at once when it is the current vehicle.
            const auto seconds = [](const std::optional<TypedCoordinate>& c) {
                return c ? std::optional<double>(c->signed_seconds()) : std::nullopt;
            };
            forward([&] { form_.fleet.place(dialog->vehicle(), seconds(target->lat), seconds(target->lon), this); });
        }
    });
    dialog->open();
}

void MainWindow::open_fleet() {
    if (fleet_ == nullptr) fleet_ = new FleetWindow(form_, this);
    show_beside(*fleet_, *this);
}

void MainWindow::set_tiles(const TileSettings& settings, std::function<std::string(const TileSettings&)> keep) {
    tile_settings_ = settings;
    keep_tiles_ = std::move(keep);
    if (map_ != nullptr) map_->set_tiles(tile_settings_, keep_tiles_);
}

void MainWindow::open_map() {
    if (map_ == nullptr) {
        map_ = new MapWindow(form_, this);
        map_->canvas()->identity = identity_;
        map_->canvas()->tracked_devices = devices_;
        map_->set_tiles(tile_settings_, keep_tiles_);
        // "Porta qui il mezzo attuale": the path "Vai a posizione" takes.
        connect(map_->canvas(), &MapCanvas::place_current, this, [this](GeoPoint where) {
            forward([&] {
                form_.fleet.place(form_.fleet.current(), where.lat * arc_seconds_per_degree,
                                  where.lon * arc_seconds_per_degree, this);
            });
        });
        map_->set_routes(routes_);
        map_->canvas()->set_ais(ais_);
        MapCanvas* canvas = map_->canvas();
        connect(canvas, &MapCanvas::reach, this, [this](GeoPoint where) {
            reach(form_.fleet.current(), where.lat, where.lon);
            tell_if_standing(form_.fleet.current());
        });
        // The route's points, a route of the point from where it is when it has none.
        connect(canvas, &MapCanvas::append_to_route, this, [this](GeoPoint where) {
            if (routes_ == nullptr) return;
            const std::size_t n = form_.fleet.current();
            forward([&] {
                if (auto why = routes_->append(n, {where.lat, where.lon}, "Percorso dalla mappa", this))
                    form_.platform.shell.message_box("Aggiungi punto al percorso: " + *why, program_title);
            });
            tell_if_standing(n);
        });
        connect(canvas, &MapCanvas::route_drawn, this, [this](const std::vector<GeoPoint>& points) {
            if (routes_ == nullptr) return;
            const std::size_t n = form_.fleet.current();
            Route drawn("Percorso disegnato");
            for (const GeoPoint& p : points) {
                if (auto why = drawn.add({p.lat, p.lon})) {
                    form_.platform.shell.message_box("Disegna percorso: " + *why, program_title);
                    return;
                }
            }
            forward([&] {
                if (auto why = routes_->give(n, std::move(drawn), {RouteEnd::stop, false, 0.0, true}, this))
                    form_.platform.shell.message_box("Disegna percorso: " + *why, program_title);
            });
            tell_if_standing(n);
        });
    }
    const bool opening = !map_->isVisible();
    show_beside(*map_, *this);
    if (opening) map_->canvas()->refresh();
}

QWidget* MainWindow::make_widget(Control& control, QWidget* container) {
    QWidget* widget = nullptr;
    switch (control.kind()) {
        case ControlKind::text_box: {
            auto& box = static_cast<TextBox&>(control);
            auto* edit = new QLineEdit(container);
            edit->setReadOnly(box.locked());
            edit->setText(qt_text(box.text()));
            text_boxes_->bind(box, edit);
            widget = edit;
            break;
        }
        case ControlKind::option_button: {
            auto& option = static_cast<OptionButton&>(control);
            auto* radio = new QRadioButton(qt_text(option.caption()), container);
            // The model clears the other buttons of the frame, and may leave
            // none selected (the port buttons after a failure).
            radio->setAutoExclusive(false);
            connect(radio, &QRadioButton::clicked, this, [this, &option] {
                forward([&option] { option.select(); });
            });
            widget = radio;
            break;
        }
        case ControlKind::command_button: {
            auto& button = static_cast<CommandButton&>(control);
            auto* push = new QPushButton(qt_text(button.caption()), container);
            // Enter on the focused button clicks it, as space does.
            push->setAutoDefault(true);
            connect(push, &QPushButton::clicked, this, [this, &button] {
                forward([&button] { button.click(); });
            });
            widget = push;
            break;
        }
        case ControlKind::label: {
            auto& label = static_cast<Label&>(control);
            auto* text = new QLabel(qt_text(label.caption()), container);
            text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = text;
            break;
        }
        case ControlKind::frame: {
            auto& frame = static_cast<Frame&>(control);
            widget = new PanelFrame(qt_text(frame.caption()), container);
            break;
        }
        case ControlKind::picture_box: {
            auto* picture = &control == &form_.monitor ? (monitor_ = new Monitor(container))
                                                        : new QFrame(container);
            picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            picture->setLineWidth(2);
            widget = picture;
            break;
        }
        case ControlKind::timer:
        case ControlKind::serial_component:
        case ControlKind::menu_entry:
            return nullptr;
    }
    widget->setObjectName(qt_text(control.name()));
    if (widget != monitor_) widget->setFont(panel_font(control.font()));
    QRect place = pixel_rect(control.geometry());
    // Inside a picture box the places count from inside its border; inside a
    // frame from its outer corner.
    if (auto* picture = qobject_cast<QFrame*>(container);
        picture != nullptr && qobject_cast<QGroupBox*>(container) == nullptr) {
        place.translate(picture->contentsRect().topLeft());
    }
    widget->setGeometry(place);
    return widget;
}

void MainWindow::place_beside_status(QLabel& label) {
    QWidget* client = centralWidget();
    label.setParent(client);
    label.setFont(panel_font(Font{8.25, true}));
    // From the right of the vehicle count's box to the window's edge, under Start/Stop.
    constexpr Geometry room{7500, 5445, PanelForm::client_width - 7500 - 30, 285};
    label.setGeometry(pixel_rect(room));
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label.show();
}

QWidget* MainWindow::control_widget(const std::string& name) const {
    const auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

void MainWindow::forward(const std::function<void()>& event) {
    try {
        event();
    } catch (const std::exception& e) {
        form_.platform.shell.message_box(std::string("Operazione non riuscita: ") + e.what(),
                                         program_title);
    }
    render();
}

void MainWindow::render() {
    for (Control* control : form_.controls()) {
        QWidget* widget = control_widget(control->name());
        if (widget == nullptr) continue;
        const QSignalBlocker blocker(widget);
        switch (control->kind()) {
            case ControlKind::text_box: {
                const auto& box = static_cast<const TextBox&>(*control);
                auto* edit = static_cast<QLineEdit*>(widget);
                const QString text = qt_text(box.text());
                if (edit->text() != text) edit->setText(text);
                const int start = utf16_offset(text, box.selection_start());
                const int end = utf16_offset(text, box.selection_start() + box.selection_length());
                const int shown_start = edit->hasSelectedText() ? edit->selectionStart()
                                                                : edit->cursorPosition();
                const int shown_end =
                    shown_start + static_cast<int>(edit->selectedText().size());
                if (start != shown_start || end != shown_end) {
                    if (end > start) {
                        edit->setSelection(start, end - start);
                    } else {
                        edit->setCursorPosition(start);
                    }
                }
                break;
            }
            case ControlKind::option_button: {
                const auto& option = static_cast<const OptionButton&>(*control);
                static_cast<QRadioButton*>(widget)->setChecked(option.selected());
                break;
            }
            case ControlKind::label: {
                const auto& label = static_cast<const Label&>(*control);
                auto* text = static_cast<QLabel*>(widget);
                text->setText(qt_text(label.caption()));
                if (text->palette().color(QPalette::WindowText) != qt_colour(label.colour())) {
                    QPalette colours = text->palette();
                    colours.setColor(QPalette::WindowText, qt_colour(label.colour()));
                    text->setPalette(colours);
                }
                text->setVisible(label.visible());
                break;
            }
            case ControlKind::picture_box:
                if (widget == monitor_) {
                    QStringList lines;
                    for (const std::string& line : form_.monitor.lines()) lines << qt_text(line);
                    monitor_->set_lines(lines);
                }
                break;
            case ControlKind::command_button:  // captions fixed at build
            case ControlKind::frame:
            case ControlKind::timer:
            case ControlKind::serial_component:
            case ControlKind::menu_entry:
                break;
        }
    }
    // Why the port shows "No Tx": the device and the system's reason, where
    // the operator looks at the port's state.
    const QString reason = qt_text(form_.link.problem());
    for (const char* name : {"Frame5", "Label11"}) {
        if (QWidget* widget = control_widget(name)) widget->setToolTip(reason);
    }
    if (map_ != nullptr) map_->refresh();
    if (sky_ != nullptr) sky_->refresh();
    if (fleet_ != nullptr) fleet_->refresh();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (on_close_) forward(on_close_);
    event->accept();
}

}  // namespace vadrel::gui
